// The text output engine with a device that checks what it is handed: prints of any bytes into
// regions and from cursors of any values, with writes that sometimes fail.
// Input: a region and a cursor, then prints, each a byte of flags, a length and the bytes.
#include "fuzz/fuzz_input.h"
#include "runtime/text_output.h"

#include <cstdlib>
#include <string>
#include <string_view>

namespace {

struct checking_device {
    fuzz_input* in;
    bool failing;        // writes may fail, as the input says
    bool failed = false; // one did
    std::string written;
};

checking_device* device_of(text_output* record) {
    return static_cast<checking_device*>(record->device);
}

int32_t write(text_output* record, const char* bytes, int32_t count) {
    checking_device* d = device_of(record);
    // One run of printable bytes, at most one buffer, never a control character.
    if (count < 1 || count > text_output_buffer_size) std::abort();
    for (int32_t i = 0; i < count; ++i)
        if (std::string_view("\a\b\t\n\r").find(bytes[i]) != std::string_view::npos) std::abort();
    if (d->failing && d->in->byte() < 32) {
        d->failed = true;
        return 0;
    }
    d->written.append(bytes, static_cast<size_t>(count));
    return 1;
}

void scroll(text_output* record, int32_t, int32_t, int32_t, int32_t bottom, int32_t rows) {
    if (rows < 1) std::abort(); // the engine scrolls only from below the bottom
    record->cursor_y = bottom;
}

// The input's printable bytes, tabs and controls left out: what a device that never fails
// must be handed, in order, between the spaces.
std::string visible(std::string_view bytes) {
    std::string kept;
    for (char c : bytes)
        if (std::string_view("\a\b\t\n\r ").find(c) == std::string_view::npos) kept += c;
    return kept;
}

// A region as devices have them, with the cursor in it (or on the row below, where the last
// print left it).
bool ordinary(const text_output& r) {
    auto small = [](int32_t v) { return v >= -4096 && v <= 4096; };
    return small(r.left) && small(r.right) && small(r.top) && small(r.bottom) &&
           small(r.cursor_y) && r.left <= r.right && r.cursor_x >= r.left &&
           r.cursor_x <= r.right && r.cursor_y >= r.top &&
           (r.bottom == -1 || r.cursor_y <= r.bottom + 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_input in{data, size};
    checking_device device{&in, false, false, {}};
    text_output record{};
    record.device = &device;
    record.scroll = scroll;
    record.write = write;
    record.left = in.argument(0, 100);
    record.right = in.argument(0, 100);
    record.top = in.argument(0, 50);
    record.bottom = in.byte() < 32 ? -1 : in.argument(0, 50);
    record.cursor_x = in.argument(-2, 102);
    record.cursor_y = in.argument(-2, 52);
    while (!in.empty()) {
        const uint8_t flags = in.byte();
        device.failing = flags & 1;
        size_t length;
        const auto* bytes = reinterpret_cast<const char*>(in.bytes(in.range(0, 4000), &length));
        device.written.clear();
        device.failed = false;
        const bool whole = ordinary(record);
        print_text(&record, bytes, static_cast<int32_t>(length), flags & 2);
        // From a cursor in an ordinary region the device is handed every printable byte in
        // order, nothing changed or added, unless a write failed.
        if (whole && !device.failed && visible(device.written) != visible({bytes, length}))
            std::abort();
    }
    return 0;
}
