// MMX conversion routines. Chosen only when scanline_size is 1 and the width is a multiple of
// 4, so each visits exactly height rows and converts whole groups of four pixels.
//
// Each line converter takes eight pixels per step (a last group of four when the width is not a
// multiple of 8), keeps its inputs in locals so that the stores cannot make the compiler reload
// them, and builds 64-bit values from table entries with MOVD and the unpack instructions rather
// than through memory.
#include <mmintrin.h>

#include <cstring>

#include "gfx/blit/blit.h"
#include "gfx/blit/blit_routines.h"
#include "gfx/blit/unaligned.h"
#include "gfx/gfx_context.h"

namespace {

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
// A 32-bit value in the low half, zero above.
inline __m64 low(uint32_t v) {
    return _mm_cvtsi32_si64(static_cast<int>(v));
}
// Two 32-bit values as the two lanes, first in the low half.
inline __m64 pair(uint32_t first, uint32_t second) {
    return _mm_unpacklo_pi32(low(first), low(second));
}

// A formula applied to each 32-bit lane: the palette's conversion to the display format.
using lane_format = __m64 (*)(__m64 v);

// Palette entry P to the display formats, as in the plain forms.
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

// What a line converter reads besides the line itself.
struct line_inputs {
    int32_t width;
    const uint32_t* palette;   // palette sources: the entries in the display format
    const uint32_t* expansion; // 16-bit sources to 24 and 32 bits: expand16_table
};

using line_converter = void (*)(uint8_t* destination, const uint8_t* source,
                                const line_inputs& inputs);

// The walk: every dirty line converted, clean lines skipped. For palette sources the 256
// device palette entries are converted to the display format once per call, two at a time.
template <line_converter convert, lane_format palette_format = nullptr>
void mmx_walk(uint8_t* destination, int32_t destination_pitch) {
    const gfx_context* screen = gfx_screen;
    if (screen == nullptr || screen->visible_buffer == nullptr || screen->dirty == nullptr) {
        return;
    }
    uint32_t palette[256];
    line_inputs inputs{screen->width, nullptr, expand16_table};
    const uint8_t* source = screen->visible_buffer;
    const uint8_t* dirty = screen->dirty;
    const int32_t height = screen->height;
    const int32_t pitch = screen->pitch;
    for (int32_t y = 0; y < height; ++y) {
        if (dirty[y] != 0) {
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
        source += pitch;
        destination += destination_pitch;
    }
    _mm_empty();
}

// Twelve bytes from four 24-bit values e0-e3 (top bytes zero), and 24 bytes from eight: the
// values shifted into place in 64-bit words.
inline void store_24_eight(uint8_t* row, __m64 e0, __m64 e1, __m64 e2, __m64 e3, __m64 e4, __m64 e5,
                           __m64 e6, __m64 e7) {
    store64(row, either(either(e0, _mm_slli_si64(e1, 24)), _mm_slli_si64(e2, 48)));
    store64(row + 8, either(either(_mm_srli_si64(e2, 16), _mm_slli_si64(e3, 8)),
                            either(_mm_slli_si64(e4, 32), _mm_slli_si64(e5, 56))));
    store64(row + 16,
            either(either(_mm_srli_si64(e5, 8), _mm_slli_si64(e6, 16)), _mm_slli_si64(e7, 40)));
}
inline void store_24_four(uint8_t* row, __m64 e0, __m64 e1, __m64 e2, __m64 e3) {
    store64(row, either(either(e0, _mm_slli_si64(e1, 24)), _mm_slli_si64(e2, 48)));
    store32(row + 8, static_cast<uint32_t>(
                         _mm_cvtsi64_si32(either(_mm_srli_si64(e2, 16), _mm_slli_si64(e3, 8)))));
}

// Palette sources. The converted entries are 32-bit values; for 15/16-bit displays their low
// halves are the pixels.
void palette_to_16(uint8_t* destination, const uint8_t* source, const line_inputs& inputs) {
    const uint32_t* palette = inputs.palette;
    const int32_t width = inputs.width;
    int32_t x = 0;
    for (; x + 8 <= width; x += 8) {
        const uint8_t* s = source + x;
        const __m64 a = _mm_unpacklo_pi16(low(palette[s[0]]), low(palette[s[1]]));
        const __m64 b = _mm_unpacklo_pi16(low(palette[s[2]]), low(palette[s[3]]));
        const __m64 c = _mm_unpacklo_pi16(low(palette[s[4]]), low(palette[s[5]]));
        const __m64 d = _mm_unpacklo_pi16(low(palette[s[6]]), low(palette[s[7]]));
        store64(destination + 2 * x, _mm_unpacklo_pi32(a, b));
        store64(destination + 2 * x + 8, _mm_unpacklo_pi32(c, d));
    }
    if (x < width) {
        const uint8_t* s = source + x;
        const __m64 a = _mm_unpacklo_pi16(low(palette[s[0]]), low(palette[s[1]]));
        const __m64 b = _mm_unpacklo_pi16(low(palette[s[2]]), low(palette[s[3]]));
        store64(destination + 2 * x, _mm_unpacklo_pi32(a, b));
    }
}

void palette_to_24(uint8_t* destination, const uint8_t* source, const line_inputs& inputs) {
    const uint32_t* palette = inputs.palette;
    const int32_t width = inputs.width;
    int32_t x = 0;
    for (; x + 8 <= width; x += 8) {
        const uint8_t* s = source + x;
        store_24_eight(destination + 3 * x, low(palette[s[0]]), low(palette[s[1]]),
                       low(palette[s[2]]), low(palette[s[3]]), low(palette[s[4]]),
                       low(palette[s[5]]), low(palette[s[6]]), low(palette[s[7]]));
    }
    if (x < width) {
        const uint8_t* s = source + x;
        store_24_four(destination + 3 * x, low(palette[s[0]]), low(palette[s[1]]),
                      low(palette[s[2]]), low(palette[s[3]]));
    }
}

void palette_to_32(uint8_t* destination, const uint8_t* source, const line_inputs& inputs) {
    const uint32_t* palette = inputs.palette;
    const int32_t width = inputs.width;
    int32_t x = 0;
    for (; x + 8 <= width; x += 8) {
        const uint8_t* s = source + x;
        uint8_t* d = destination + 4 * x;
        store64(d, pair(palette[s[0]], palette[s[1]]));
        store64(d + 8, pair(palette[s[2]], palette[s[3]]));
        store64(d + 16, pair(palette[s[4]], palette[s[5]]));
        store64(d + 24, pair(palette[s[6]], palette[s[7]]));
    }
    if (x < width) {
        const uint8_t* s = source + x;
        uint8_t* d = destination + 4 * x;
        store64(d, pair(palette[s[0]], palette[s[1]]));
        store64(d + 8, pair(palette[s[2]], palette[s[3]]));
    }
}

// 16-bit sources to 15/16-bit displays: four 16-bit lanes per value, sixteen pixels per step.
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
void line_16_to_16(uint8_t* destination, const uint8_t* source, const line_inputs& inputs) {
    const int32_t bytes = 2 * inputs.width;
    int32_t i = 0;
    for (; i + 32 <= bytes; i += 32) {
        const __m64 a = load64(source + i);
        const __m64 b = load64(source + i + 8);
        const __m64 c = load64(source + i + 16);
        const __m64 d = load64(source + i + 24);
        store64(destination + i, format(a));
        store64(destination + i + 8, format(b));
        store64(destination + i + 16, format(c));
        store64(destination + i + 24, format(d));
    }
    for (; i < bytes; i += 8)
        store64(destination + i, format(load64(source + i)));
}

// The expansion of one 16-bit pixel: two table lookups by its bytes.
inline uint32_t expand16(const uint32_t* table, const uint8_t* pixel) {
    return table[pixel[0]] | table[256 + pixel[1]];
}

void line_16_to_24(uint8_t* destination, const uint8_t* source, const line_inputs& inputs) {
    const uint32_t* table = inputs.expansion;
    const int32_t width = inputs.width;
    int32_t x = 0;
    for (; x + 8 <= width; x += 8) {
        const uint8_t* s = source + 2 * x;
        store_24_eight(destination + 3 * x, low(expand16(table, s)), low(expand16(table, s + 2)),
                       low(expand16(table, s + 4)), low(expand16(table, s + 6)),
                       low(expand16(table, s + 8)), low(expand16(table, s + 10)),
                       low(expand16(table, s + 12)), low(expand16(table, s + 14)));
    }
    if (x < width) {
        const uint8_t* s = source + 2 * x;
        store_24_four(destination + 3 * x, low(expand16(table, s)), low(expand16(table, s + 2)),
                      low(expand16(table, s + 4)), low(expand16(table, s + 6)));
    }
}

void line_16_to_32(uint8_t* destination, const uint8_t* source, const line_inputs& inputs) {
    const uint32_t* table = inputs.expansion;
    const int32_t width = inputs.width;
    int32_t x = 0;
    for (; x + 8 <= width; x += 8) {
        const uint8_t* s = source + 2 * x;
        uint8_t* d = destination + 4 * x;
        store64(d, pair(expand16(table, s), expand16(table, s + 2)));
        store64(d + 8, pair(expand16(table, s + 4), expand16(table, s + 6)));
        store64(d + 16, pair(expand16(table, s + 8), expand16(table, s + 10)));
        store64(d + 24, pair(expand16(table, s + 12), expand16(table, s + 14)));
    }
    if (x < width) {
        const uint8_t* s = source + 2 * x;
        uint8_t* d = destination + 4 * x;
        store64(d, pair(expand16(table, s), expand16(table, s + 2)));
        store64(d + 8, pair(expand16(table, s + 4), expand16(table, s + 6)));
    }
}

// 32-bit sources, two pixels per 64-bit value.
//
// To 15/16 bits: one multiply-add puts red and blue in place (the weights move one of them up;
// with the other at weight 1 both stay three bits too high), green is masked and shifted. A
// 15-bit result stays below 0x8000, so the signed pack stores it exactly; a 16-bit one is formed
// in the upper half of each lane instead, so that the arithmetic shift back sign-extends it.
template <uint32_t blue_weight, uint32_t red_weight, uint32_t green_mask, int green_shift>
inline __m64 s32_to_16(__m64 s) {
    const __m64 weights =
        _mm_set_pi16(static_cast<short>(red_weight), static_cast<short>(blue_weight),
                     static_cast<short>(red_weight), static_cast<short>(blue_weight));
    const __m64 red_blue = _mm_madd_pi16(mask(s, 0x00F800F8), weights);
    const __m64 green = mask(s, green_mask);
    if constexpr (green_mask == 0xF800)
        return either(right(red_blue, 3), right(green, green_shift));
    return _mm_srai_pi32(either(left(red_blue, 13), left(green, 16 - green_shift)), 16);
}
// Red and blue exchanged, green also in the top byte: the low half from a multiply-add of green
// (shifted) and red, the high half from the pixel's low half moved up.
inline __m64 s_to_32_rgb(__m64 s) {
    const __m64 green_red = _mm_madd_pi16(mask(s, 0x00FFFF00), splat16(1));
    return either(mask(green_red, 0xFFFF), left(s, 16));
}
// Two pixels' low three bytes as six bytes, bytes 6 and 7 zero.
inline __m64 packed_24(__m64 s) {
    const __m64 first = _mm_and_si64(s, _mm_set_pi32(0, 0xFFFFFF));
    const __m64 second = _mm_and_si64(s, _mm_set_pi32(0xFFFFFF, 0));
    return either(first, _mm_srli_si64(second, 8));
}

template <lane_format format>
void line_32_to_16(uint8_t* destination, const uint8_t* source, const line_inputs& inputs) {
    const int32_t width = inputs.width;
    int32_t x = 0;
    for (; x + 8 <= width; x += 8) {
        const uint8_t* s = source + 4 * x;
        const __m64 a = format(load64(s));
        const __m64 b = format(load64(s + 8));
        const __m64 c = format(load64(s + 16));
        const __m64 d = format(load64(s + 24));
        store64(destination + 2 * x, _mm_packs_pi32(a, b));
        store64(destination + 2 * x + 8, _mm_packs_pi32(c, d));
    }
    if (x < width) {
        const uint8_t* s = source + 4 * x;
        store64(destination + 2 * x, _mm_packs_pi32(format(load64(s)), format(load64(s + 8))));
    }
}

// To 24 bits: each pair packed to six bytes, then four pairs shifted into three 64-bit words.
template <lane_format order>
void line_32_to_24(uint8_t* destination, const uint8_t* source, const line_inputs& inputs) {
    const int32_t width = inputs.width;
    int32_t x = 0;
    for (; x + 8 <= width; x += 8) {
        const uint8_t* s = source + 4 * x;
        uint8_t* d = destination + 3 * x;
        const __m64 a = packed_24(order(load64(s)));
        const __m64 b = packed_24(order(load64(s + 8)));
        const __m64 c = packed_24(order(load64(s + 16)));
        const __m64 e = packed_24(order(load64(s + 24)));
        store64(d, either(a, _mm_slli_si64(b, 48)));
        store64(d + 8, either(_mm_srli_si64(b, 16), _mm_slli_si64(c, 32)));
        store64(d + 16, either(_mm_srli_si64(c, 32), _mm_slli_si64(e, 16)));
    }
    if (x < width) {
        const uint8_t* s = source + 4 * x;
        uint8_t* d = destination + 3 * x;
        const __m64 a = packed_24(order(load64(s)));
        const __m64 b = packed_24(order(load64(s + 8)));
        store64(d, either(a, _mm_slli_si64(b, 48)));
        store32(d + 8, static_cast<uint32_t>(_mm_cvtsi64_si32(_mm_srli_si64(b, 16))));
    }
}

template <lane_format format>
void line_32_to_32(uint8_t* destination, const uint8_t* source, const line_inputs& inputs) {
    const int32_t bytes = 4 * inputs.width;
    int32_t i = 0;
    for (; i + 32 <= bytes; i += 32) {
        const __m64 a = load64(source + i);
        const __m64 b = load64(source + i + 8);
        const __m64 c = load64(source + i + 16);
        const __m64 d = load64(source + i + 24);
        store64(destination + i, format(a));
        store64(destination + i + 8, format(b));
        store64(destination + i + 16, format(c));
        store64(destination + i + 24, format(d));
    }
    for (; i < bytes; i += 8)
        store64(destination + i, format(load64(source + i)));
}

// The weights and green placement of the four 32-to-15/16 conversions.
inline __m64 s_to_15_bgr(__m64 s) {
    return s32_to_16<1, 0x400, 0xF800, 6>(s);
}
inline __m64 s_to_15_rgb(__m64 s) {
    return s32_to_16<0x400, 1, 0xF800, 6>(s);
}
inline __m64 s_to_16_bgr(__m64 s) {
    return s32_to_16<1, 0x800, 0xFC00, 5>(s);
}
inline __m64 s_to_16_rgb(__m64 s) {
    return s32_to_16<0x800, 1, 0xFC00, 5>(s);
}
// The 24-bit RGB order is the 32-bit one's low three bytes.
inline __m64 s_to_24_rgb(__m64 s) {
    return s_to_32_rgb(s);
}

} // namespace

void mmx_blit_8_to_15_rgb(uint8_t* destination, int32_t destination_pitch) {
    mmx_walk<palette_to_16, p_to_15_rgb>(destination, destination_pitch);
}
void mmx_blit_8_to_16_rgb(uint8_t* destination, int32_t destination_pitch) {
    mmx_walk<palette_to_16, p_to_16_rgb>(destination, destination_pitch);
}
void mmx_blit_8_to_24_rgb(uint8_t* destination, int32_t destination_pitch) {
    mmx_walk<palette_to_24, low_24>(destination, destination_pitch);
}
void mmx_blit_8_to_32_rgb(uint8_t* destination, int32_t destination_pitch) {
    mmx_walk<palette_to_32, unchanged>(destination, destination_pitch);
}
void mmx_blit_8_to_15_bgr(uint8_t* destination, int32_t destination_pitch) {
    mmx_walk<palette_to_16, p_to_15_bgr>(destination, destination_pitch);
}
void mmx_blit_8_to_16_bgr(uint8_t* destination, int32_t destination_pitch) {
    mmx_walk<palette_to_16, p_to_16_bgr>(destination, destination_pitch);
}
void mmx_blit_8_to_24_bgr(uint8_t* destination, int32_t destination_pitch) {
    mmx_walk<palette_to_24, reversed_24>(destination, destination_pitch);
}
void mmx_blit_8_to_32_bgr(uint8_t* destination, int32_t destination_pitch) {
    mmx_walk<palette_to_32, p_to_32_bgr>(destination, destination_pitch);
}

void mmx_blit_16_to_15_rgb(uint8_t* destination, int32_t destination_pitch) {
    mmx_walk<line_16_to_16<s16_to_15_rgb>>(destination, destination_pitch);
}
void mmx_blit_16_to_16_rgb(uint8_t* destination, int32_t destination_pitch) {
    mmx_walk<line_16_to_16<s16_to_16_rgb>>(destination, destination_pitch);
}
void mmx_blit_16_to_15_bgr(uint8_t* destination, int32_t destination_pitch) {
    mmx_walk<line_16_to_16<s16_to_15_bgr>>(destination, destination_pitch);
}
void mmx_blit_16_to_24(uint8_t* destination, int32_t destination_pitch) {
    mmx_walk<line_16_to_24>(destination, destination_pitch);
}
void mmx_blit_16_to_32(uint8_t* destination, int32_t destination_pitch) {
    mmx_walk<line_16_to_32>(destination, destination_pitch);
}

void mmx_blit_32_to_15_rgb(uint8_t* destination, int32_t destination_pitch) {
    mmx_walk<line_32_to_16<s_to_15_rgb>>(destination, destination_pitch);
}
void mmx_blit_32_to_16_rgb(uint8_t* destination, int32_t destination_pitch) {
    mmx_walk<line_32_to_16<s_to_16_rgb>>(destination, destination_pitch);
}
void mmx_blit_32_to_24_rgb(uint8_t* destination, int32_t destination_pitch) {
    mmx_walk<line_32_to_24<s_to_24_rgb>>(destination, destination_pitch);
}
void mmx_blit_32_to_32_rgb(uint8_t* destination, int32_t destination_pitch) {
    mmx_walk<line_32_to_32<s_to_32_rgb>>(destination, destination_pitch);
}
void mmx_blit_32_to_15_bgr(uint8_t* destination, int32_t destination_pitch) {
    mmx_walk<line_32_to_16<s_to_15_bgr>>(destination, destination_pitch);
}
void mmx_blit_32_to_16_bgr(uint8_t* destination, int32_t destination_pitch) {
    mmx_walk<line_32_to_16<s_to_16_bgr>>(destination, destination_pitch);
}
void mmx_blit_32_to_24_bgr(uint8_t* destination, int32_t destination_pitch) {
    mmx_walk<line_32_to_24<unchanged>>(destination, destination_pitch);
}
