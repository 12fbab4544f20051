// Plain conversion routines: the line walk with scan-line repetition, and one line converter
// per source and display format.
#include <cstring>

#include "gfx/blit/blit.h"
#include "gfx/blit/blit_routines.h"
#include "gfx/blit/unaligned.h"
#include "gfx/internal/draw_state.h"
#include "gfx/internal/gfx_context.h"

namespace {

inline void store24(uint8_t* p, uint32_t b0, uint32_t b1, uint32_t b2) {
    p[0] = static_cast<uint8_t>(b0);
    p[1] = static_cast<uint8_t>(b1);
    p[2] = static_cast<uint8_t>(b2);
}

using pixel_format = uint32_t (*)(uint32_t p);

// What a line converter reads besides the line itself. For palette sources the walk converts
// the 256 device palette entries to the display format once per call, so that each pixel
// costs one lookup.
struct line_inputs {
    int32_t width;
    int32_t pitch;
    const uint32_t* palette;
    const uint32_t* expansion;
};

using line_converter = void (*)(uint8_t* destination, const uint8_t* source,
                                const line_inputs& inputs);

// Visits height x scanline_size display rows; a dirty framebuffer line is converted anew into
// each of its rows, a clean one leaves them untouched.
template <line_converter convert, pixel_format palette_format = nullptr>
void walk_lines(uint8_t* destination, int32_t destination_pitch) {
    const gfx_context* screen = gfx_screen;
    if (screen == nullptr || screen->visible_buffer == nullptr || screen->dirty == nullptr ||
        screen->scanline_size < 1 || screen->width < 1) {
        return;
    }
    uint32_t palette[256];
    line_inputs inputs{screen->width, screen->pitch, nullptr, expand16_table};
    const uint8_t* source = screen->visible_buffer;
    const uint8_t* dirty = screen->dirty;
    const int32_t rows = screen->height * screen->scanline_size;
    int32_t repeat = 0;
    for (int32_t row = 0; row < rows; ++row) {
        if (*dirty != 0) {
            if constexpr (palette_format != nullptr) {
                if (inputs.palette == nullptr) {
                    for (int32_t i = 0; i < 256; ++i) {
                        palette[i] = palette_format(screen->device_palette[i]);
                    }
                    inputs.palette = palette;
                }
            }
            convert(destination, source, inputs);
        }
        destination += destination_pitch;
        if (++repeat == screen->scanline_size) {
            repeat = 0;
            source += screen->pitch;
            ++dirty;
        }
    }
}

// Source pixels as 32-bit values: a converted palette entry or a 32-bit framebuffer pixel.
using pixel_fetch = uint32_t (*)(const uint8_t* line, int32_t x, const line_inputs& inputs);
inline uint32_t palette_entry(const uint8_t* line, int32_t x, const line_inputs& inputs) {
    return inputs.palette[line[x]];
}
inline uint32_t true_colour(const uint8_t* line, int32_t x, const line_inputs&) {
    return load32(line + 4 * x);
}

// Palette entry P to the display formats.
constexpr uint32_t p_to_15_bgr(uint32_t p) {
    return ((p << 7) & 0x7C00) | ((p >> 6) & 0x3E0) | ((p >> 19) & 0x1F);
}
constexpr uint32_t p_to_15_rgb(uint32_t p) {
    return ((p >> 3) & 0x1F) | ((p >> 6) & 0x3E0) | ((p >> 9) & 0x7C00);
}
constexpr uint32_t p_to_16_bgr(uint32_t p) {
    return ((p << 8) & 0xF800) | ((p >> 5) & 0x7E0) | ((p >> 19) & 0x1F);
}
constexpr uint32_t p_to_16_rgb(uint32_t p) {
    return ((p >> 3) & 0x1F) | ((p >> 5) & 0x7E0) | ((p >> 8) & 0xF800);
}
constexpr uint32_t p_to_32_bgr(uint32_t p) {
    return ((p << 16) & 0xFF0000) | (p & 0xFF00) | (p >> 16);
}
// Palette entries that need no conversion (RGB order at 32 bits, and the 24-bit stores).
constexpr uint32_t same(uint32_t p) {
    return p;
}

// 32-bit framebuffer pixel S to the display formats.
constexpr uint32_t s_to_15_bgr(uint32_t s) {
    return ((s >> 3) & 0x1F) | ((s >> 6) & 0x3E0) | ((s >> 9) & 0x7C00);
}
constexpr uint32_t s_to_15_rgb(uint32_t s) {
    return ((s >> 19) & 0x1F) | ((s >> 6) & 0x3E0) | ((s << 7) & 0x7C00);
}
constexpr uint32_t s_to_16_bgr(uint32_t s) {
    return ((s >> 3) & 0x1F) | ((s >> 5) & 0x7E0) | ((s >> 8) & 0xF800);
}
constexpr uint32_t s_to_16_rgb(uint32_t s) {
    return ((s >> 19) & 0x1F) | ((s >> 5) & 0x7E0) | ((s << 8) & 0xF800);
}
constexpr uint32_t s_to_32_rgb(uint32_t s) {
    return ((s & 0xFFFFFF) >> 16) | (s & 0xFF00) | ((s & 0xFFFFFF) << 16);
}

// 15/16-bit displays: two pixels per 32-bit store, the first in the low half.
template <pixel_fetch fetch, pixel_format format>
void line_to_16(uint8_t* destination, const uint8_t* source, const line_inputs& inputs) {
    const int32_t width = inputs.width;
    int32_t x = 0;
    for (; x + 1 < width; x += 2) {
        const uint32_t first = format(fetch(source, x, inputs));
        const uint32_t second = format(fetch(source, x + 1, inputs));
        store32(destination + 2 * x, first | (second << 16));
    }
    if (x < width) store16(destination + 2 * x, format(fetch(source, x, inputs)));
}

// 24-bit displays from palette and 32-bit sources: three byte stores per pixel. RGB order
// puts bits 0-7 first, BGR order bits 16-23 first.
template <pixel_fetch fetch, bool low_byte_first>
void line_to_24(uint8_t* destination, const uint8_t* source, const line_inputs& inputs) {
    for (int32_t x = 0; x < inputs.width; ++x, destination += 3) {
        const uint32_t p = fetch(source, x, inputs);
        if (low_byte_first) {
            store24(destination, p, p >> 8, p >> 16);
        } else {
            store24(destination, p >> 16, p >> 8, p);
        }
    }
}

template <pixel_fetch fetch, pixel_format format>
void line_to_32(uint8_t* destination, const uint8_t* source, const line_inputs& inputs) {
    for (int32_t x = 0; x < inputs.width; ++x) {
        store32(destination + 4 * x, format(fetch(source, x, inputs)));
    }
}

// 16-bit sources to 15/16-bit displays work on two pixels read as one 32-bit word; the masks
// keep each pixel's bits inside its own half.
constexpr uint32_t pair_16_to_15_bgr(uint32_t s) {
    return (s & 0x001F001F) | ((s >> 1) & 0x7FE07FE0);
}
constexpr uint32_t pair_16_to_15_rgb(uint32_t s) {
    return ((s >> 11) & 0x001F001F) | ((s >> 1) & 0x03E003E0) | ((s << 10) & 0x7C007C00);
}
constexpr uint32_t pair_16_to_16_rgb(uint32_t s) {
    return ((s >> 11) & 0x001F001F) | (s & 0x07E007E0) | ((s << 11) & 0xF800F800);
}

template <pixel_format pair_format>
void line_16_to_16(uint8_t* destination, const uint8_t* source, const line_inputs& inputs) {
    const int32_t width = inputs.width;
    int32_t x = 0;
    for (; x + 1 < width; x += 2) {
        store32(destination + 2 * x, pair_format(load32(source + 2 * x)));
    }
    if (x < width) store16(destination + 2 * x, pair_format(load16(source + 2 * x)));
}

inline uint32_t expand16(const uint32_t* table, uint32_t s) {
    return table[s & 0xFF] | table[256 + ((s >> 8) & 0xFF)];
}

// Four pixels read as two words become three words: the low three bytes of each expansion.
void line_16_to_24(uint8_t* destination, const uint8_t* source, const line_inputs& inputs) {
    const uint32_t* table = inputs.expansion;
    const int32_t width = inputs.width;
    int32_t x = 0;
    for (; x + 3 < width; x += 4, source += 8, destination += 12) {
        const uint32_t first_pair = load32(source);
        const uint32_t second_pair = load32(source + 4);
        const uint32_t e0 = expand16(table, first_pair);
        const uint32_t e1 = expand16(table, first_pair >> 16);
        const uint32_t e2 = expand16(table, second_pair);
        const uint32_t e3 = expand16(table, second_pair >> 16);
        store32(destination, e0 | (e1 << 24));
        store32(destination + 4, (e1 >> 8) | (e2 << 16));
        store32(destination + 8, (e2 >> 16) | (e3 << 8));
    }
    for (; x < width; ++x, source += 2, destination += 3) {
        const uint32_t e = expand16(table, load16(source));
        store24(destination, e, e >> 8, e >> 16);
    }
}

void line_16_to_32(uint8_t* destination, const uint8_t* source, const line_inputs& inputs) {
    const uint32_t* table = inputs.expansion;
    const int32_t width = inputs.width;
    int32_t x = 0;
    for (; x + 1 < width; x += 2) {
        const uint32_t pair = load32(source + 2 * x);
        store32(destination + 4 * x, expand16(table, pair));
        store32(destination + 4 * x + 4, expand16(table, pair >> 16));
    }
    if (x < width) store32(destination + 4 * x, expand16(table, load16(source + 2 * x)));
}

void line_copy(uint8_t* destination, const uint8_t* source, const line_inputs& inputs) {
    const size_t count = static_cast<size_t>(inputs.pitch);
    if (copy_bytes != nullptr) {
        copy_bytes(destination, source, count);
    } else {
        std::memcpy(destination, source, count);
    }
}

} // namespace

void blit_copy_lines(uint8_t* destination, int32_t destination_pitch) {
    walk_lines<line_copy>(destination, destination_pitch);
}

void blit_8_to_15_rgb(uint8_t* destination, int32_t destination_pitch) {
    walk_lines<line_to_16<palette_entry, same>, p_to_15_rgb>(destination, destination_pitch);
}
void blit_8_to_16_rgb(uint8_t* destination, int32_t destination_pitch) {
    walk_lines<line_to_16<palette_entry, same>, p_to_16_rgb>(destination, destination_pitch);
}
void blit_8_to_24_rgb(uint8_t* destination, int32_t destination_pitch) {
    walk_lines<line_to_24<palette_entry, true>, same>(destination, destination_pitch);
}
void blit_8_to_32_rgb(uint8_t* destination, int32_t destination_pitch) {
    walk_lines<line_to_32<palette_entry, same>, same>(destination, destination_pitch);
}
void blit_8_to_15_bgr(uint8_t* destination, int32_t destination_pitch) {
    walk_lines<line_to_16<palette_entry, same>, p_to_15_bgr>(destination, destination_pitch);
}
void blit_8_to_16_bgr(uint8_t* destination, int32_t destination_pitch) {
    walk_lines<line_to_16<palette_entry, same>, p_to_16_bgr>(destination, destination_pitch);
}
void blit_8_to_24_bgr(uint8_t* destination, int32_t destination_pitch) {
    walk_lines<line_to_24<palette_entry, false>, same>(destination, destination_pitch);
}
void blit_8_to_32_bgr(uint8_t* destination, int32_t destination_pitch) {
    walk_lines<line_to_32<palette_entry, same>, p_to_32_bgr>(destination, destination_pitch);
}

void blit_16_to_15_rgb(uint8_t* destination, int32_t destination_pitch) {
    walk_lines<line_16_to_16<pair_16_to_15_rgb>>(destination, destination_pitch);
}
void blit_16_to_16_rgb(uint8_t* destination, int32_t destination_pitch) {
    walk_lines<line_16_to_16<pair_16_to_16_rgb>>(destination, destination_pitch);
}
void blit_16_to_15_bgr(uint8_t* destination, int32_t destination_pitch) {
    walk_lines<line_16_to_16<pair_16_to_15_bgr>>(destination, destination_pitch);
}
void blit_16_to_24(uint8_t* destination, int32_t destination_pitch) {
    walk_lines<line_16_to_24>(destination, destination_pitch);
}
void blit_16_to_32(uint8_t* destination, int32_t destination_pitch) {
    walk_lines<line_16_to_32>(destination, destination_pitch);
}

void blit_32_to_15_rgb(uint8_t* destination, int32_t destination_pitch) {
    walk_lines<line_to_16<true_colour, s_to_15_rgb>>(destination, destination_pitch);
}
void blit_32_to_16_rgb(uint8_t* destination, int32_t destination_pitch) {
    walk_lines<line_to_16<true_colour, s_to_16_rgb>>(destination, destination_pitch);
}
void blit_32_to_24_rgb(uint8_t* destination, int32_t destination_pitch) {
    walk_lines<line_to_24<true_colour, false>>(destination, destination_pitch);
}
void blit_32_to_32_rgb(uint8_t* destination, int32_t destination_pitch) {
    walk_lines<line_to_32<true_colour, s_to_32_rgb>>(destination, destination_pitch);
}
void blit_32_to_15_bgr(uint8_t* destination, int32_t destination_pitch) {
    walk_lines<line_to_16<true_colour, s_to_15_bgr>>(destination, destination_pitch);
}
void blit_32_to_16_bgr(uint8_t* destination, int32_t destination_pitch) {
    walk_lines<line_to_16<true_colour, s_to_16_bgr>>(destination, destination_pitch);
}
void blit_32_to_24_bgr(uint8_t* destination, int32_t destination_pitch) {
    walk_lines<line_to_24<true_colour, true>>(destination, destination_pitch);
}
