// MMX conversion routines. Chosen only when scanline_size is 1 and the width is a multiple of
// 4, so each visits exactly height rows and converts whole groups of four pixels.
#include <mmintrin.h>

#include <cstring>

#include "gfx/blit/blit.h"
#include "gfx/blit/unaligned.h"
#include "gfx/blit/blit_routines.h"
#include "gfx/gfx_context.h"

namespace {

inline __m64 lanes(uint32_t low, uint32_t high) {
    return _mm_set_pi32(static_cast<int>(high), static_cast<int>(low));
}
inline __m64 splat32(uint32_t v) {
    return _mm_set1_pi32(static_cast<int>(v));
}
inline __m64 splat16(uint32_t v) {
    return _mm_set1_pi16(static_cast<short>(v));
}
inline __m64 mask(__m64 v, uint32_t m) {
    return _mm_and_si64(v, splat32(m));
}
inline __m64 either(__m64 a, __m64 b) {
    return _mm_or_si64(a, b);
}
inline __m64 right(__m64 v, int n) {
    return _mm_srli_pi32(v, n);
}
inline __m64 left(__m64 v, int n) {
    return _mm_slli_pi32(v, n);
}

// A formula applied to each 32-bit lane (or 16-bit lane for 16-bit sources).
using lane_format = __m64 (*)(__m64 v);

// What a line converter reads besides the line itself. For palette sources the walk converts
// the 256 device palette entries to the display format once per call, two at a time.
struct line_inputs {
    int32_t width;
    const uint32_t* palette;
    const uint32_t* expansion;
};

using line_converter = void (*)(uint8_t* destination, const uint8_t* source,
                                const line_inputs& inputs);

template <line_converter convert, lane_format palette_format = nullptr>
void mmx_walk(uint8_t* destination, int32_t destination_pitch) {
    const gfx_context* screen = gfx_screen;
    if (screen == nullptr || screen->visible_buffer == nullptr || screen->dirty == nullptr) {
        return;
    }
    uint32_t palette[256];
    line_inputs inputs{screen->width, nullptr, expand16_table};
    const uint8_t* source = screen->visible_buffer;
    for (int32_t y = 0; y < screen->height; ++y) {
        if (screen->dirty[y] != 0) {
            if constexpr (palette_format != nullptr) {
                if (inputs.palette == nullptr) {
                    const auto* entries = reinterpret_cast<const uint8_t*>(screen->device_palette);
                    auto* converted = reinterpret_cast<uint8_t*>(palette);
                    for (int32_t i = 0; i < 256 * 4; i += 8) {
                        store64(converted + i, palette_format(load64(entries + i)));
                    }
                    inputs.palette = palette;
                }
            }
            convert(destination, source, inputs);
        }
        source += screen->pitch;
        destination += destination_pitch;
    }
    _mm_empty();
}

// Sources: four pixels as two 64-bit values of two 32-bit lanes each, in line order.
struct group {
    __m64 first;  // pixels x, x + 1
    __m64 second; // pixels x + 2, x + 3
};
using group_fetch = group (*)(const uint8_t* line, int32_t x, const line_inputs& inputs);

// Converted palette entries of four indices read as one 32-bit word.
inline group palette_entries(const uint8_t* line, int32_t x, const line_inputs& inputs) {
    const uint32_t indices = load32(line + x);
    const uint32_t* palette = inputs.palette;
    return {lanes(palette[indices & 0xFF], palette[(indices >> 8) & 0xFF]),
            lanes(palette[(indices >> 16) & 0xFF], palette[indices >> 24])};
}
inline group true_colours(const uint8_t* line, int32_t x, const line_inputs&) {
    return {load64(line + 4 * x), load64(line + 4 * x + 8)};
}
// A 16-bit pixel's bytes index the two halves of the table directly.
inline uint32_t expand16(const uint32_t* table, const uint8_t* pixel) {
    return table[pixel[0]] | table[256 + pixel[1]];
}
inline group expansions(const uint8_t* line, int32_t x, const line_inputs& inputs) {
    const uint32_t* table = inputs.expansion;
    const uint8_t* pixels = line + 2 * x;
    return {lanes(expand16(table, pixels), expand16(table, pixels + 2)),
            lanes(expand16(table, pixels + 4), expand16(table, pixels + 6))};
}

// Palette entry P and 32-bit pixel S to the display formats, as in the plain forms.
inline __m64 p_to_15_bgr(__m64 p) {
    return either(either(mask(left(p, 7), 0x7C00), mask(right(p, 6), 0x3E0)),
                  mask(right(p, 19), 0x1F));
}
inline __m64 p_to_15_rgb(__m64 p) {
    return either(either(mask(right(p, 3), 0x1F), mask(right(p, 6), 0x3E0)),
                  mask(right(p, 9), 0x7C00));
}
inline __m64 p_to_16_bgr(__m64 p) {
    return either(either(mask(left(p, 8), 0xF800), mask(right(p, 5), 0x7E0)),
                  mask(right(p, 19), 0x1F));
}
inline __m64 p_to_16_rgb(__m64 p) {
    return either(either(mask(right(p, 3), 0x1F), mask(right(p, 5), 0x7E0)),
                  mask(right(p, 8), 0xF800));
}
inline __m64 p_to_32_bgr(__m64 p) {
    return either(either(mask(left(p, 16), 0xFF0000), mask(p, 0xFF00)), right(p, 16));
}
inline __m64 unchanged(__m64 p) {
    return p;
}
// Three bytes in memory order bits 16-23, 8-15, 0-7.
inline __m64 reversed_24(__m64 p) {
    return either(either(mask(right(p, 16), 0xFF), mask(p, 0xFF00)), mask(left(p, 16), 0xFF0000));
}
inline __m64 low_24(__m64 p) {
    return mask(p, 0xFFFFFF);
}

inline __m64 s_to_15_bgr(__m64 s) {
    return p_to_15_rgb(s);
}
inline __m64 s_to_15_rgb(__m64 s) {
    return either(either(mask(right(s, 19), 0x1F), mask(right(s, 6), 0x3E0)),
                  mask(left(s, 7), 0x7C00));
}
inline __m64 s_to_16_bgr(__m64 s) {
    return p_to_16_rgb(s);
}
inline __m64 s_to_16_rgb(__m64 s) {
    return either(either(mask(right(s, 19), 0x1F), mask(right(s, 5), 0x7E0)),
                  mask(left(s, 8), 0xF800));
}
inline __m64 s_to_32_rgb(__m64 s) {
    const __m64 colour = mask(s, 0xFFFFFF);
    return either(either(right(colour, 16), mask(s, 0xFF00)), left(colour, 16));
}

// Stores of one group of four converted pixels.
using group_store = void (*)(uint8_t* row, int32_t x, __m64 first, __m64 second);

// Lanes hold 16-bit results; sign-extending them first makes the saturating pack exact.
inline void store_16(uint8_t* row, int32_t x, __m64 first, __m64 second) {
    const __m64 a = _mm_srai_pi32(_mm_slli_pi32(first, 16), 16);
    const __m64 b = _mm_srai_pi32(_mm_slli_pi32(second, 16), 16);
    store64(row + 2 * x, _mm_packs_pi32(a, b));
}
// Lanes hold 24-bit results: twelve bytes, the four values' low three bytes in order.
inline void store_24(uint8_t* row, int32_t x, __m64 first, __m64 second) {
    const __m64 v0 = _mm_and_si64(first, _mm_cvtsi32_si64(0xFFFFFF));
    const __m64 v1 = _mm_and_si64(_mm_srli_si64(first, 8), lanes(0xFF000000, 0xFFFF));
    const __m64 v2 = _mm_slli_si64(second, 48);
    store64(row + 3 * x, either(either(v0, v1), v2));
    const __m64 tail = either(_mm_and_si64(_mm_srli_si64(second, 16), _mm_cvtsi32_si64(0xFF)),
                              _mm_srli_si64(second, 24));
    store32(row + 3 * x + 8, static_cast<uint32_t>(_mm_cvtsi64_si32(tail)));
}
inline void store_32(uint8_t* row, int32_t x, __m64 first, __m64 second) {
    store64(row + 4 * x, first);
    store64(row + 4 * x + 8, second);
}

template <group_fetch fetch, lane_format format, group_store store>
void convert_groups(uint8_t* destination, const uint8_t* source, const line_inputs& inputs) {
    for (int32_t x = 0; x + 4 <= inputs.width; x += 4) {
        const group pixels = fetch(source, x, inputs);
        store(destination, x, format(pixels.first), format(pixels.second));
    }
}

// Palette entries already in a 15/16-bit format: four pixels per 64-bit store.
void convert_palette_16(uint8_t* destination, const uint8_t* source, const line_inputs& inputs) {
    const uint32_t* palette = inputs.palette;
    for (int32_t x = 0; x + 4 <= inputs.width; x += 4) {
        const uint32_t indices = load32(source + x);
        const uint32_t first = palette[indices & 0xFF] | (palette[(indices >> 8) & 0xFF] << 16);
        const uint32_t second = palette[(indices >> 16) & 0xFF] | (palette[indices >> 24] << 16);
        store64(destination + 2 * x, lanes(first, second));
    }
}

// 16-bit sources to 15/16-bit displays: four 16-bit lanes per value, eight pixels per step.
inline __m64 s16_to_15_bgr(__m64 s) {
    return either(_mm_and_si64(s, splat16(0x1F)),
                  _mm_and_si64(_mm_srli_pi16(s, 1), splat16(0x7FE0)));
}
inline __m64 s16_to_15_rgb(__m64 s) {
    return either(either(_mm_srli_pi16(s, 11), _mm_and_si64(_mm_srli_pi16(s, 1), splat16(0x3E0))),
                  _mm_and_si64(_mm_slli_pi16(s, 10), splat16(0x7C00)));
}
inline __m64 s16_to_16_rgb(__m64 s) {
    return either(either(_mm_srli_pi16(s, 11), _mm_and_si64(s, splat16(0x7E0))),
                  _mm_slli_pi16(s, 11));
}

template <lane_format format>
void convert_16_to_16(uint8_t* destination, const uint8_t* source, const line_inputs& inputs) {
    const int32_t width = inputs.width;
    int32_t x = 0;
    for (; x + 8 <= width; x += 8) {
        store64(destination + 2 * x, format(load64(source + 2 * x)));
        store64(destination + 2 * x + 8, format(load64(source + 2 * x + 8)));
    }
    if (x + 4 <= width) store64(destination + 2 * x, format(load64(source + 2 * x)));
}

} // namespace

void mmx_blit_8_to_15_rgb(uint8_t* destination, int32_t destination_pitch) {
    mmx_walk<convert_palette_16, p_to_15_rgb>(destination, destination_pitch);
}
void mmx_blit_8_to_16_rgb(uint8_t* destination, int32_t destination_pitch) {
    mmx_walk<convert_palette_16, p_to_16_rgb>(destination, destination_pitch);
}
void mmx_blit_8_to_24_rgb(uint8_t* destination, int32_t destination_pitch) {
    mmx_walk<convert_groups<palette_entries, unchanged, store_24>, low_24>(destination,
                                                                           destination_pitch);
}
void mmx_blit_8_to_32_rgb(uint8_t* destination, int32_t destination_pitch) {
    mmx_walk<convert_groups<palette_entries, unchanged, store_32>, unchanged>(destination,
                                                                              destination_pitch);
}
void mmx_blit_8_to_15_bgr(uint8_t* destination, int32_t destination_pitch) {
    mmx_walk<convert_palette_16, p_to_15_bgr>(destination, destination_pitch);
}
void mmx_blit_8_to_16_bgr(uint8_t* destination, int32_t destination_pitch) {
    mmx_walk<convert_palette_16, p_to_16_bgr>(destination, destination_pitch);
}
void mmx_blit_8_to_24_bgr(uint8_t* destination, int32_t destination_pitch) {
    mmx_walk<convert_groups<palette_entries, unchanged, store_24>, reversed_24>(destination,
                                                                                destination_pitch);
}
void mmx_blit_8_to_32_bgr(uint8_t* destination, int32_t destination_pitch) {
    mmx_walk<convert_groups<palette_entries, unchanged, store_32>, p_to_32_bgr>(destination,
                                                                                destination_pitch);
}

void mmx_blit_16_to_15_rgb(uint8_t* destination, int32_t destination_pitch) {
    mmx_walk<convert_16_to_16<s16_to_15_rgb>>(destination, destination_pitch);
}
void mmx_blit_16_to_16_rgb(uint8_t* destination, int32_t destination_pitch) {
    mmx_walk<convert_16_to_16<s16_to_16_rgb>>(destination, destination_pitch);
}
void mmx_blit_16_to_15_bgr(uint8_t* destination, int32_t destination_pitch) {
    mmx_walk<convert_16_to_16<s16_to_15_bgr>>(destination, destination_pitch);
}
void mmx_blit_16_to_24(uint8_t* destination, int32_t destination_pitch) {
    mmx_walk<convert_groups<expansions, unchanged, store_24>>(destination, destination_pitch);
}
void mmx_blit_16_to_32(uint8_t* destination, int32_t destination_pitch) {
    mmx_walk<convert_groups<expansions, unchanged, store_32>>(destination, destination_pitch);
}

void mmx_blit_32_to_15_rgb(uint8_t* destination, int32_t destination_pitch) {
    mmx_walk<convert_groups<true_colours, s_to_15_rgb, store_16>>(destination, destination_pitch);
}
void mmx_blit_32_to_16_rgb(uint8_t* destination, int32_t destination_pitch) {
    mmx_walk<convert_groups<true_colours, s_to_16_rgb, store_16>>(destination, destination_pitch);
}
void mmx_blit_32_to_24_rgb(uint8_t* destination, int32_t destination_pitch) {
    mmx_walk<convert_groups<true_colours, reversed_24, store_24>>(destination, destination_pitch);
}
void mmx_blit_32_to_32_rgb(uint8_t* destination, int32_t destination_pitch) {
    mmx_walk<convert_groups<true_colours, s_to_32_rgb, store_32>>(destination, destination_pitch);
}
void mmx_blit_32_to_15_bgr(uint8_t* destination, int32_t destination_pitch) {
    mmx_walk<convert_groups<true_colours, s_to_15_bgr, store_16>>(destination, destination_pitch);
}
void mmx_blit_32_to_16_bgr(uint8_t* destination, int32_t destination_pitch) {
    mmx_walk<convert_groups<true_colours, s_to_16_bgr, store_16>>(destination, destination_pitch);
}
void mmx_blit_32_to_24_bgr(uint8_t* destination, int32_t destination_pitch) {
    mmx_walk<convert_groups<true_colours, low_24, store_24>>(destination, destination_pitch);
}
