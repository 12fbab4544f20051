// The pixel-format conversions and the MMX memory primitives. A screen of any mode or size
// with pixels, palette and dirty lines of the input's own is converted to every display format
// the input names, into rows of any pitch (bottom-up ones too), by the plain form and, where
// the selector would take it, the MMX form: both must give the same rows, and clean rows and
// the bytes between rows must stay as they were. The MMX fills and copy must match the plain
// ones; the blends run for their memory accesses.
// Input: a byte choosing the form, then its arguments.
#include "fuzz/fuzz_screen.h"
#include "gfx/blit/blit.h"
#include "gfx/draw_state.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

constexpr uint8_t untouched = 0xA5;

// The rows that routine converts into a fresh block of rows_bytes-long rows pitch apart
// (upwards from the last when pitch is negative), all other bytes checked untouched.
std::vector<uint8_t> convert(conversion_routine routine, int32_t rows, int32_t row_bytes,
                             int32_t pitch) {
    const size_t span = static_cast<size_t>(std::abs(pitch));
    std::vector<uint8_t> block(
        span * static_cast<size_t>(rows - 1) + static_cast<size_t>(row_bytes), untouched);
    uint8_t* first = pitch < 0 ? block.data() + span * static_cast<size_t>(rows - 1) : block.data();
    routine(first, pitch);
    std::vector<uint8_t> converted;
    for (int32_t row = 0; row < rows; ++row) {
        const uint8_t* start = first + static_cast<ptrdiff_t>(row) * pitch;
        const bool dirty = gfx_screen->dirty[row / gfx_screen->scanline_size] != 0;
        for (int32_t i = 0; i < row_bytes; ++i)
            if (!dirty && start[i] != untouched) std::abort(); // a clean row is left alone
        converted.insert(converted.end(), start, start + row_bytes);
    }
    for (int32_t row = 0; row + 1 < rows; ++row) // nor is anything between rows written
        for (size_t i = static_cast<size_t>(row_bytes); i < span; ++i)
            if (block[span * static_cast<size_t>(row) + i] != untouched) std::abort();
    return converted;
}

void conversions(fuzz_input& in) {
    // Modes 1 to 8 have every depth below 8 and the two-row lines; larger modes add nothing
    // but time.
    if (!open_screen(in, 96, 8)) return;
    gfx_context* c = gfx_screen;
    // Pixels: the input's bytes, repeated over the page; a palette of its own; dirty lines.
    size_t count;
    const uint8_t* pattern = in.bytes(in.range(1, 64), &count);
    const size_t page = static_cast<size_t>(c->pitch) * static_cast<size_t>(c->height);
    uint8_t* pixels = screen_ptr();
    for (size_t i = 0; count > 0 && i < page; ++i)
        pixels[i] = pattern[i % count];
    for (int32_t n = in.range(0, 8); n > 0; --n)
        palette_change(in.range(0, 255), in.range(0, 255), in.range(0, 255), in.range(0, 255));
    const uint8_t dirty_every = in.byte();
    for (int32_t line = 0; line < c->height; ++line)
        c->dirty[line] = static_cast<uint8_t>((line * 7 + dirty_every) % 5 < dirty_every % 6);

    static constexpr std::array<int32_t, 7> display_depths = {8, 15, 16, 24, 32, 0, 12};
    const uint32_t mmx = c->flags & context_mmx;
    for (int32_t n = in.range(1, 4); n > 0; --n) {
        const int32_t depth = in.pick(display_depths);
        const int32_t rgb_order = in.byte() < 128 ? 0 : in.argument(1, 1);
        const int32_t row_bytes = c->width * (depth == 15 ? 2 : (depth + 7) / 8);
        const int32_t pitch = (row_bytes + in.range(0, 7)) * (in.byte() < 64 ? -1 : 1);
        const int32_t rows = c->height * c->scanline_size;
        c->flags &= ~context_mmx;
        const conversion_routine plain = select_blitter(depth, rgb_order);
        c->flags |= mmx;
        const conversion_routine chosen = select_blitter(depth, rgb_order);
        if (!plain || row_bytes == 0) continue;
        const std::vector<uint8_t> expected = convert(plain, rows, row_bytes, pitch);
        if (chosen == plain) continue;
        std::vector<uint8_t> got = convert(chosen, rows, row_bytes, pitch);
        // The RGB-order 16-to-15 MMX form may leave a green bit in the unused top bit.
        if (c->depth == 16 && depth == 15 && rgb_order != 0)
            for (size_t i = 1; i < got.size(); i += 2)
                got[i] = static_cast<uint8_t>((got[i] & 0x7F) | (expected[i] & 0x80));
        if (got != expected) std::abort();
    }
}

// The MMX fills and copy against the plain ones, into blocks exactly as long as they write.
void primitives(fuzz_input& in) {
    const size_t n = static_cast<size_t>(in.range(0, 300));
    const uint32_t value = in.u32();
    std::vector<uint8_t> got(4 * n), expected(4 * n);
    for (size_t i = 0; i < got.size(); ++i)
        got[i] = expected[i] = static_cast<uint8_t>(i * 37 + value);
    std::vector<uint8_t> bytes(n), plain_bytes(n);
    switch (in.byte() % 6) {
    case 0:
        mmx_fill8(bytes.data(), value, n);
        std::fill(plain_bytes.begin(), plain_bytes.end(), static_cast<uint8_t>(value));
        if (bytes != plain_bytes) std::abort();
        return;
    case 1:
        mmx_copy(bytes.data(), got.data(), n);
        if (!std::equal(bytes.begin(), bytes.end(), got.begin())) std::abort();
        return;
    case 2:
        got.resize(2 * n);
        expected.resize(2 * n);
        mmx_fill16(got.data(), value, n);
        plain_fill16(expected.data(), value, n);
        break;
    case 3:
        mmx_fill32(got.data(), value, n);
        plain_fill32(expected.data(), value, n);
        break;
    case 4:
        mmx_blend_span32(got.data(), value, n);
        return;
    case 5: {
        uint8_t* line = got.data();
        draw_state target{};
        target.lines = &line;
        if (n > 0) mmx_blend_pixel32(&target, static_cast<int32_t>(n - 1), 0, value);
        return;
    }
    }
    if (got != expected) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_input in{data, size};
    screen_session session;
    if (in.byte() & 1)
        conversions(in);
    else
        primitives(in);
    return 0;
}
