#include "runtime/text_output.h"

#include "runtime/os/os.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace {

enum class byte_kind : uint8_t { printable, bell, backspace, tab, line_feed, carriage_return };

// What each byte does; every byte not listed is printed unchanged.
constexpr std::array<byte_kind, 256> byte_kinds = [] {
    std::array<byte_kind, 256> kinds{};
    kinds[7] = byte_kind::bell;
    kinds[8] = byte_kind::backspace;
    kinds[9] = byte_kind::tab;
    kinds[10] = byte_kind::line_feed;
    kinds[13] = byte_kind::carriage_return;
    return kinds;
}();

constexpr uint32_t bell_frequency = 1000; // Hz
constexpr uint32_t bell_milliseconds = 250;

// The running column after n more cells, wrapped into the region.
int32_t advance(const text_output* record, int32_t x, int32_t n) {
    x += n;
    if (x > record->right) {
        int32_t width = record->right - record->left + 1;
        x = (x - record->left) % width + record->left;
    }
    return x;
}

// The high bit of each of the eight bytes (in memory order, low byte first) that lies in 7 to
// 13, the range that holds every control character (and the printable 11 and 12). No byte
// borrows from or carries into its neighbour, so every flag is exact.
uint64_t control_range_flags(uint64_t bytes) {
    constexpr uint64_t ones = 0x0101010101010101ull;
    uint64_t low = bytes & ones * 127;
    return (ones * (127 + 14) - low) & ~bytes & (low + ones * (127 - 6)) & ones * 128;
}
static_assert(std::endian::native == std::endian::little, "bytes load low byte first");

// The number of printable bytes at the start of bytes, at most limit, eight at a time.
int32_t printable_run(const unsigned char* bytes, int32_t limit) {
    int32_t n = 0;
    for (; n + 8 <= limit; n += 8) {
        uint64_t eight;
        std::memcpy(&eight, bytes + n, 8);
        for (uint64_t flags = control_range_flags(eight); flags != 0; flags &= flags - 1) {
            int32_t k = n + (std::countr_zero(flags) >> 3);
            if (byte_kinds[bytes[k]] != byte_kind::printable) return k;
        }
    }
    while (n < limit && byte_kinds[bytes[n]] == byte_kind::printable)
        ++n;
    return n;
}

// Spaces from column x to the next tab stop, counted from the left edge: 1 to 8.
int32_t tab_spaces(const text_output* record, int32_t x) {
    int32_t column = x - record->left;
    return ((column + 8) & ~7) - column;
}

// Cells further out than any device has would let the column arithmetic overflow.
constexpr int32_t coordinate_limit = 1 << 16;

bool within_limit(int32_t v) {
    return v >= -coordinate_limit && v <= coordinate_limit;
}

bool region_usable(const text_output* record) {
    return record->left <= record->right && within_limit(record->left) &&
           within_limit(record->right) && within_limit(record->top) &&
           within_limit(record->bottom) && within_limit(record->cursor_x) &&
           within_limit(record->cursor_y);
}

bool below_bottom(const text_output* record) {
    return record->bottom != -1 && record->cursor_y > record->bottom;
}

void scroll_to_cursor(text_output* record) {
    record->scroll(record, record->left, record->top, record->right, record->bottom,
                   record->cursor_y - record->bottom);
}

} // namespace

void write_wrapped(text_output* record, const char* bytes, int32_t count) {
    if (!region_usable(record)) return;
    while (count > 0) {
        // Unsigned, so that a cursor beyond the right edge writes the rest rather than looping.
        auto room = static_cast<uint32_t>(record->right - record->cursor_x + 1);
        int32_t chunk = static_cast<uint32_t>(count) < room ? count : static_cast<int32_t>(room);
        if (below_bottom(record)) scroll_to_cursor(record);
        if (chunk > 0 && record->write(record, bytes, chunk) != 1) return;
        bytes += chunk;
        count -= chunk;
        record->cursor_x += chunk;
        if (record->cursor_x == record->right + 1) {
            record->cursor_x = record->left;
            record->cursor_y += 1;
        }
    }
}

void print_text(text_output* record, const char* bytes, int32_t length, int32_t newline_returns) {
    if (length <= 0 || !region_usable(record)) return;
    const auto* in = reinterpret_cast<const unsigned char*>(bytes);
    char buffer[text_output_buffer_size + 8]; // the slack lets a tab store 8 spaces at once
    int32_t count = 0;
    // The running column, where the buffered bytes end. Rows need no running copy: the flush
    // counts them itself.
    int32_t x = record->cursor_x;
    bool moved = false; // a move was applied since the last flush

    auto flush = [&] {
        write_wrapped(record, buffer, count);
        count = 0;
        moved = false;
        // The same column unless a write failed; moves then start from where it stopped.
        x = record->cursor_x;
    };

    int32_t i = 0;
    while (i < length) {
        byte_kind kind = byte_kinds[in[i]];
        if (kind == byte_kind::printable) {
            // A whole run of printable bytes at once, as far as the buffer has room.
            if (count == text_output_buffer_size) flush();
            int32_t room = text_output_buffer_size - count;
            int32_t run = 1 + printable_run(in + i + 1, std::min(length - i, room) - 1);
            std::memcpy(buffer + count, in + i, static_cast<size_t>(run));
            count += run;
            x = advance(record, x, run);
            i += run;
            continue;
        }
        ++i;
        int32_t dx = 0, dy = 0;
        switch (kind) {
        case byte_kind::bell:
            os_beep(bell_frequency, bell_milliseconds);
            continue;
        case byte_kind::tab: {
            int32_t spaces = tab_spaces(record, x);
            if (count + spaces > text_output_buffer_size) {
                flush();
                spaces = tab_spaces(record, x);
            }
            std::memcpy(buffer + count, "        ", 8); // the slack takes the surplus
            count += spaces;
            x = advance(record, x, spaces);
            continue;
        }
        case byte_kind::backspace:
            if (count > 0) flush();
            dx = x > record->left ? -1 : 0;
            break;
        case byte_kind::line_feed:
            if (count > 0) flush();
            dx = newline_returns ? record->left - x : 0;
            dy = 1;
            break;
        case byte_kind::carriage_return:
            if (count > 0) flush();
            dx = record->left - x;
            break;
        case byte_kind::printable:
            break;
        }
        record->cursor_x += dx;
        record->cursor_y += dy;
        x = record->cursor_x;
        moved = true;
    }

    if (count > 0) {
        write_wrapped(record, buffer, count); // text written below the bottom has scrolled
        return;
    }
    if (moved && below_bottom(record)) scroll_to_cursor(record);
}
