// Throughput of the text output engine: print_text in calls of 4096 bytes into an 80 x 25
// region whose device does nothing, for plain text, text with a tab every 8 bytes and text
// with a line feed every 40 bytes. Prints one line per kind: print <kind> <MB per second>
// <ratio to memcpy of the same bytes>, the best of the batches.
// Usage: print_bench [batches [megabytes per batch [kind]]]   (default 7 batches of 64 MB,
// every kind). Under callgrind, 'print_bench 1 4 plain' counts the instructions of one kind
// (divide print_text's inclusive count by the 8,000,000 bytes of the two passes).
#include "runtime/internal/text_output.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr size_t call_size = 4096;

int32_t write_nothing(text_output*, const char*, int32_t) {
    return 1;
}

void scroll_nothing(text_output* record, int32_t, int32_t, int32_t, int32_t bottom, int32_t) {
    record->cursor_y = bottom;
}

// Text of size bytes: letters, with every period-th byte replaced by special (none when 0).
std::string sample(size_t size, size_t period, char special) {
    std::string bytes(size, ' ');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = period && i % period == period - 1 ? special : static_cast<char>('a' + i % 26);
    return bytes;
}

template <typename Work> double best_seconds(int32_t batches, Work work) {
    work(); // warm the caches
    double best = 1e30;
    for (int32_t batch = 0; batch < batches; ++batch) {
        const auto start = std::chrono::steady_clock::now();
        work();
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        if (elapsed.count() < best) best = elapsed.count();
    }
    return best;
}

} // namespace

int main(int argc, char** argv) {
    const int32_t batches = argc > 1 ? std::atoi(argv[1]) : 7;
    const int32_t megabytes = argc > 2 ? std::atoi(argv[2]) : 64;
    const char* only = argc > 3 ? argv[3] : nullptr;
    if (batches < 1 || megabytes < 1) {
        std::fputs("usage: print_bench [batches [megabytes per batch [kind]]]\n", stderr);
        return 2;
    }
    const size_t calls = static_cast<size_t>(megabytes) * 1000000 / call_size;
    const double bytes = static_cast<double>(calls * call_size);

    // The baseline: copying the same bytes in the same calls.
    std::vector<char> copy(call_size);
    const std::string plain = sample(call_size, 0, 0);
    const double copy_seconds = best_seconds(batches, [&] {
        for (size_t call = 0; call < calls; ++call) {
            std::memcpy(copy.data(), plain.data(), call_size);
            asm volatile("" : : "r"(copy.data()) : "memory");
        }
    });
    std::printf("memcpy %.0f MB/s\n", bytes / copy_seconds / 1e6);

    struct kind {
        const char* name;
        std::string text;
    };
    const kind kinds[] = {
        {"plain", plain},
        {"tab_every_8", sample(call_size, 8, '\t')},
        {"line_feed_every_40", sample(call_size, 40, '\n')},
    };
    for (const kind& k : kinds) {
        if (only && std::strcmp(only, k.name) != 0) continue;
        text_output record{};
        record.scroll = scroll_nothing;
        record.write = write_nothing;
        record.right = 79;
        record.bottom = 24;
        const double seconds = best_seconds(batches, [&] {
            for (size_t call = 0; call < calls; ++call)
                print_text(&record, k.text.data(), static_cast<int32_t>(call_size), 1);
        });
        std::printf("print %s %.0f MB/s %.3f\n", k.name, bytes / seconds / 1e6,
                    copy_seconds / seconds);
    }
    return 0;
}
