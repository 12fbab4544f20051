// The MMX half of the blitter table. Chosen only when the processor has MMX, scanline_size is 1
// and the width is a multiple of 4, so each routine visits exactly height rows and converts
// whole groups of four pixels.
//
// The SIMD half uses SSE2 (128-bit registers) where it is faster than MMX: the product requires
// SSE2 (its floating point is compiled for it), so every processor that runs it has both, and
// 64-bit MMX steps lose to the 128-bit code the compiler makes of the plain forms. Converters
// take sixteen pixels (same-size ones 64 bytes) per step, then smaller groups for what is left:
// a line's four-pixel groups are never split. Every routine still ends with EMMS, so
// floating-point code that follows is unaffected.
#include <emmintrin.h>
#include <mmintrin.h>

#include "gfx/blit/blit.h"
#include "gfx/blit/blit_routines.h"
#include "gfx/blit/unaligned.h"
#include "gfx/internal/gfx_context.h"

namespace {

inline __m128i splat32(uint32_t v) {
    return _mm_set1_epi32(static_cast<int>(v));
}
inline __m128i splat16(uint32_t v) {
    return _mm_set1_epi16(static_cast<short>(v));
}
inline __m128i mask(__m128i v, uint32_t m) {
    return _mm_and_si128(v, splat32(m));
}
inline __m128i mask16(__m128i v, uint32_t m) {
    return _mm_and_si128(v, splat16(m));
}
inline __m128i either(__m128i a, __m128i b) {
    return _mm_or_si128(a, b);
}
inline __m128i right(__m128i v, int n) {
    return _mm_srli_epi32(v, n);
}
inline __m128i left(__m128i v, int n) {
    return _mm_slli_epi32(v, n);
}
// Four 32-bit values, the first in the lowest lane.
inline __m128i four(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    return _mm_setr_epi32(static_cast<int>(a), static_cast<int>(b), static_cast<int>(c),
                          static_cast<int>(d));
}

// A formula applied to each 32-bit lane (or 16-bit lane, for 16-bit sources).
using lane_format = __m128i (*)(__m128i v);

// Palette entry P to the display formats, as in the plain forms.
inline __m128i p_to_15_bgr(__m128i p) {
    return either(either(mask(left(p, 7), 0x7C00), mask(right(p, 6), 0x3E0)),
                  mask(right(p, 19), 0x1F));
}
inline __m128i p_to_15_rgb(__m128i p) {
    return either(either(mask(right(p, 3), 0x1F), mask(right(p, 6), 0x3E0)),
                  mask(right(p, 9), 0x7C00));
}
inline __m128i p_to_16_bgr(__m128i p) {
    return either(either(mask(left(p, 8), 0xF800), mask(right(p, 5), 0x7E0)),
                  mask(right(p, 19), 0x1F));
}
inline __m128i p_to_16_rgb(__m128i p) {
    return either(either(mask(right(p, 3), 0x1F), mask(right(p, 5), 0x7E0)),
                  mask(right(p, 8), 0xF800));
}
inline __m128i p_to_32_bgr(__m128i p) {
    return either(either(mask(left(p, 16), 0xFF0000), mask(p, 0xFF00)), right(p, 16));
}
inline __m128i unchanged(__m128i p) {
    return p;
}
// Three bytes in memory order bits 16-23, 8-15, 0-7: bytes 0 and 2 exchanged by swapping the
// 16-bit halves of each lane, byte 1 kept.
inline __m128i reversed_24(__m128i p) {
    constexpr int halves_swapped = _MM_SHUFFLE(2, 3, 0, 1);
    const __m128i outer = mask(p, 0x00FF00FF);
    const __m128i swapped =
        _mm_shufflehi_epi16(_mm_shufflelo_epi16(outer, halves_swapped), halves_swapped);
    return either(swapped, mask(p, 0xFF00));
}
inline __m128i low_24(__m128i p) {
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
// device palette entries are converted to the display format once per call, four at a time.
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
                    for (int32_t i = 0; i < 256 * 4; i += 16) {
                        store128(converted + i, palette_format(load128(entries + i)));
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

// Four pixels with zero top bytes as twelve bytes, bytes 12-15 zero: within each 64-bit half the
// odd pixel moves down next to the even one, then the upper six bytes move down next to the
// lower six.
inline __m128i pack_24(__m128i p) {
    const __m128i pairs = either(_mm_and_si128(p, _mm_set_epi32(0, -1, 0, -1)),
                                 _mm_slli_epi64(_mm_srli_epi64(p, 32), 24));
    return either(_mm_move_epi64(pairs), _mm_slli_si128(_mm_srli_si128(pairs, 8), 6));
}
// Lanes 0-1 from the first value and 2-3 from the second, as the selector chooses.
template <int selector> inline __m128i pick(__m128i low_pair_from, __m128i high_pair_from) {
    return _mm_castps_si128(_mm_shuffle_ps(_mm_castsi128_ps(low_pair_from),
                                           _mm_castsi128_ps(high_pair_from), selector));
}
// Sixteen pixels as 48 bytes, the line taken as four groups of four: value k holds pixel k of
// every group, top bytes zero (those of p3 may hold anything). Each group's three 24-bit words
// are formed lane by lane, as the plain 16-to-24 form forms them for one group, and then
// interleaved into memory order: fewer shuffles than packing each group on its own.
inline void store_24_groups(uint8_t* row, __m128i p0, __m128i p1, __m128i p2, __m128i p3) {
    const __m128i w0 = either(p0, left(p1, 24));
    const __m128i w1 = either(right(p1, 8), left(p2, 16));
    const __m128i w2 = either(right(p2, 16), left(p3, 8));
    // Groups g0-g3 as g0w0 g0w1 g0w2 g1w0 | g1w1 g1w2 g2w0 g2w1 | g2w2 g3w0 g3w1 g3w2.
    const __m128i w0w1_low = _mm_unpacklo_epi32(w0, w1);  // g0w0 g0w1 g1w0 g1w1
    const __m128i w0w1_high = _mm_unpackhi_epi32(w0, w1); // g2w0 g2w1 g3w0 g3w1
    const __m128i w2w0_low = _mm_unpacklo_epi32(w2, w0);  // g0w2 g0w0 g1w2 g1w0
    const __m128i w2w0_high = _mm_unpackhi_epi32(w2, w0); // g2w2 g2w0 g3w2 g3w0
    const __m128i w1w2_low = _mm_unpacklo_epi32(w1, w2);  // g0w1 g0w2 g1w1 g1w2
    const __m128i w1w2_high = _mm_unpackhi_epi32(w1, w2); // g2w1 g2w2 g3w1 g3w2
    store128(row, pick<_MM_SHUFFLE(3, 0, 1, 0)>(w0w1_low, w2w0_low));
    store128(row + 16, pick<_MM_SHUFFLE(1, 0, 3, 2)>(w1w2_low, w0w1_high));
    store128(row + 32, pick<_MM_SHUFFLE(3, 2, 3, 0)>(w2w0_high, w1w2_high));
}
// The same from sixteen pixels in line order, four per value: transposed into groups first.
inline void store_24_sixteen(uint8_t* row, __m128i a, __m128i b, __m128i c, __m128i d) {
    const __m128i ab_low = _mm_unpacklo_epi32(a, b);  // a0 b0 a1 b1
    const __m128i cd_low = _mm_unpacklo_epi32(c, d);  // c0 d0 c1 d1
    const __m128i ab_high = _mm_unpackhi_epi32(a, b); // a2 b2 a3 b3
    const __m128i cd_high = _mm_unpackhi_epi32(c, d); // c2 d2 c3 d3
    store_24_groups(row, _mm_unpacklo_epi64(ab_low, cd_low), _mm_unpackhi_epi64(ab_low, cd_low),
                    _mm_unpacklo_epi64(ab_high, cd_high), _mm_unpackhi_epi64(ab_high, cd_high));
}
// Eight and four packed pixels (twelve bytes per value) as 24 and 12 bytes.
inline void store_24_eight(uint8_t* row, __m128i a, __m128i b) {
    store128(row, either(a, _mm_slli_si128(b, 12)));
    store_low64(row + 16, _mm_srli_si128(b, 4));
}
inline void store_24_four(uint8_t* row, __m128i a) {
    store_low64(row, a);
    store32(row + 8, static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(a, 8))));
}

// Palette sources: four converted entries per value, fetched by four index bytes read as one
// word (one load instead of four keeps the load ports for the entries).
inline __m128i fetch_four(const uint32_t* palette, const uint8_t* s) {
    const uint32_t i = load32(s);
    return four(palette[i & 0xFF], palette[(i >> 8) & 0xFF], palette[(i >> 16) & 0xFF],
                palette[i >> 24]);
}
// For 15/16-bit displays the low halves of the converted entries are the pixels: eight of them
// gathered into one value, and four into the low half.
inline __m128i entry(const uint32_t* palette, uint32_t index) {
    return _mm_cvtsi32_si128(static_cast<int>(palette[index]));
}
inline __m128i fetch_four_16(const uint32_t* palette, const uint8_t* s) {
    const uint32_t i = load32(s);
    return _mm_unpacklo_epi32(
        _mm_unpacklo_epi16(entry(palette, i & 0xFF), entry(palette, (i >> 8) & 0xFF)),
        _mm_unpacklo_epi16(entry(palette, (i >> 16) & 0xFF), entry(palette, i >> 24)));
}
inline __m128i fetch_eight_16(const uint32_t* palette, const uint8_t* s) {
    return _mm_unpacklo_epi64(fetch_four_16(palette, s), fetch_four_16(palette, s + 4));
}

void palette_to_16(uint8_t* destination, const uint8_t* source, const line_inputs& inputs) {
    const uint32_t* palette = inputs.palette;
    const int32_t width = inputs.width;
    int32_t x = 0;
    for (; x + 16 <= width; x += 16) {
        store128(destination + 2 * x, fetch_eight_16(palette, source + x));
        store128(destination + 2 * x + 16, fetch_eight_16(palette, source + x + 8));
    }
    if (x + 8 <= width) {
        store128(destination + 2 * x, fetch_eight_16(palette, source + x));
        x += 8;
    }
    if (x < width) store_low64(destination + 2 * x, fetch_four_16(palette, source + x));
}

// Pixel k of every group of four of a palette line (line pixels k, 4 + k, 8 + k, 12 + k), for
// store_24_groups.
inline __m128i entries_of_byte(const uint32_t* palette, const uint32_t* words, int byte) {
    const int shift = 8 * byte;
    return four(palette[(words[0] >> shift) & 0xFF], palette[(words[1] >> shift) & 0xFF],
                palette[(words[2] >> shift) & 0xFF], palette[(words[3] >> shift) & 0xFF]);
}

void palette_to_24(uint8_t* destination, const uint8_t* source, const line_inputs& inputs) {
    const uint32_t* palette = inputs.palette;
    const int32_t width = inputs.width;
    int32_t x = 0;
    for (; x + 16 <= width; x += 16) {
        const uint8_t* s = source + x;
        const uint32_t words[4] = {load32(s), load32(s + 4), load32(s + 8), load32(s + 12)};
        store_24_groups(destination + 3 * x, entries_of_byte(palette, words, 0),
                        entries_of_byte(palette, words, 1), entries_of_byte(palette, words, 2),
                        entries_of_byte(palette, words, 3));
    }
    if (x + 8 <= width) {
        store_24_eight(destination + 3 * x, pack_24(fetch_four(palette, source + x)),
                       pack_24(fetch_four(palette, source + x + 4)));
        x += 8;
    }
    if (x < width) store_24_four(destination + 3 * x, pack_24(fetch_four(palette, source + x)));
}

void palette_to_32(uint8_t* destination, const uint8_t* source, const line_inputs& inputs) {
    const uint32_t* palette = inputs.palette;
    const int32_t width = inputs.width;
    int32_t x = 0;
    for (; x + 8 <= width; x += 8) {
        store128(destination + 4 * x, fetch_four(palette, source + x));
        store128(destination + 4 * x + 16, fetch_four(palette, source + x + 4));
    }
    if (x < width) store128(destination + 4 * x, fetch_four(palette, source + x));
}

// 16-bit sources to 15/16-bit displays: eight 16-bit lanes per value.
inline __m128i s16_to_15_bgr(__m128i s) {
    return either(mask16(s, 0x1F), mask16(_mm_srli_epi16(s, 1), 0x7FE0));
}
inline __m128i s16_to_15_rgb(__m128i s) {
    return either(either(_mm_srli_epi16(s, 11), mask16(_mm_srli_epi16(s, 1), 0x3E0)),
                  mask16(_mm_slli_epi16(s, 10), 0x7C00));
}
inline __m128i s16_to_16_rgb(__m128i s) {
    return either(either(_mm_srli_epi16(s, 11), mask16(s, 0x7E0)), _mm_slli_epi16(s, 11));
}

// Puts the whole 16-byte lanes of bytes bytes through format, four lanes per step; returns the
// bytes done.
template <lane_format format>
int32_t format_lanes(uint8_t* destination, const uint8_t* source, int32_t bytes) {
    int32_t i = 0;
    for (; i + 64 <= bytes; i += 64) {
        const __m128i a = load128(source + i);
        const __m128i b = load128(source + i + 16);
        const __m128i c = load128(source + i + 32);
        const __m128i d = load128(source + i + 48);
        store128(destination + i, format(a));
        store128(destination + i + 16, format(b));
        store128(destination + i + 32, format(c));
        store128(destination + i + 48, format(d));
    }
    for (; i + 16 <= bytes; i += 16)
        store128(destination + i, format(load128(source + i)));
    return i;
}

// The line is 2 x width bytes, a multiple of 8: 64 bytes per step, then 16, then 8.
template <lane_format format>
void line_16_to_16(uint8_t* destination, const uint8_t* source, const line_inputs& inputs) {
    const int32_t bytes = 2 * inputs.width;
    const int32_t i = format_lanes<format>(destination, source, bytes);
    if (i < bytes) store_low64(destination + i, format(load_low64(source + i)));
}

// The expansions of eight 16-bit pixels, as expand16_table's fill for the order gives them:
// pixels 0-3 in first, 4-7 in second. Green lands in bits 10-15 of each pixel's low half; the
// 5-bit channel that goes to bits 3-7 of the low half and the one that goes to bits 3-7 of the
// high half depend on the order.
template <bool rgb_order> inline void expand_eight(__m128i s, __m128i* first, __m128i* second) {
    const __m128i green = mask16(_mm_slli_epi16(s, 5), 0xFC00);
    const __m128i bits_0_4 = mask16(_mm_slli_epi16(s, 3), 0xF8);
    const __m128i bits_11_15 = mask16(_mm_srli_epi16(s, 8), 0xF8);
    const __m128i low_half = either(green, rgb_order ? bits_11_15 : bits_0_4);
    const __m128i high_half = rgb_order ? bits_0_4 : bits_11_15;
    *first = _mm_unpacklo_epi16(low_half, high_half);
    *second = _mm_unpackhi_epi16(low_half, high_half);
}

template <bool rgb_order>
void line_16_to_24(uint8_t* destination, const uint8_t* source, const line_inputs& inputs) {
    const int32_t width = inputs.width;
    __m128i a, b, c, d;
    int32_t x = 0;
    for (; x + 16 <= width; x += 16) {
        expand_eight<rgb_order>(load128(source + 2 * x), &a, &b);
        expand_eight<rgb_order>(load128(source + 2 * x + 16), &c, &d);
        store_24_sixteen(destination + 3 * x, a, b, c, d);
    }
    if (x + 8 <= width) {
        expand_eight<rgb_order>(load128(source + 2 * x), &a, &b);
        store_24_eight(destination + 3 * x, pack_24(a), pack_24(b));
        x += 8;
    }
    if (x < width) {
        expand_eight<rgb_order>(load_low64(source + 2 * x), &a, &b);
        store_24_four(destination + 3 * x, pack_24(a));
    }
}

template <bool rgb_order>
void line_16_to_32(uint8_t* destination, const uint8_t* source, const line_inputs& inputs) {
    const int32_t width = inputs.width;
    __m128i a, b, c, d;
    int32_t x = 0;
    for (; x + 16 <= width; x += 16) {
        expand_eight<rgb_order>(load128(source + 2 * x), &a, &b);
        expand_eight<rgb_order>(load128(source + 2 * x + 16), &c, &d);
        uint8_t* row = destination + 4 * x;
        store128(row, a);
        store128(row + 16, b);
        store128(row + 32, c);
        store128(row + 48, d);
    }
    if (x + 8 <= width) {
        expand_eight<rgb_order>(load128(source + 2 * x), &a, &b);
        store128(destination + 4 * x, a);
        store128(destination + 4 * x + 16, b);
        x += 8;
    }
    if (x < width) {
        expand_eight<rgb_order>(load_low64(source + 2 * x), &a, &b);
        store128(destination + 4 * x, a);
    }
}

// A table that holds something other than one of select_blitter's two fills is looked up
// pixel by pixel, as the plain forms do.
inline uint32_t expand16(const uint32_t* table, const uint8_t* pixel) {
    return table[pixel[0]] | table[256 + pixel[1]];
}
void line_16_to_24_lookup(uint8_t* destination, const uint8_t* source, const line_inputs& inputs) {
    const uint32_t* table = inputs.expansion;
    for (int32_t x = 0; x < inputs.width; x += 4, source += 8, destination += 12) {
        const uint32_t e0 = expand16(table, source);
        const uint32_t e1 = expand16(table, source + 2);
        const uint32_t e2 = expand16(table, source + 4);
        const uint32_t e3 = expand16(table, source + 6);
        store32(destination, e0 | (e1 << 24));
        store32(destination + 4, (e1 >> 8) | (e2 << 16));
        store32(destination + 8, (e2 >> 16) | (e3 << 8));
    }
}
void line_16_to_32_lookup(uint8_t* destination, const uint8_t* source, const line_inputs& inputs) {
    const uint32_t* table = inputs.expansion;
    for (int32_t x = 0; x < inputs.width; ++x)
        store32(destination + 4 * x, expand16(table, source + 2 * x));
}

// The order of select_blitter's fill that the table holds, or -1 for any other contents.
int32_t expansion_order(const uint32_t* table) {
    if (table == nullptr) return -1;
    for (int32_t order = 0; order < 2; ++order) {
        uint32_t i = 0;
        while (i < 512 && table[i] == expand16_entry(i, order))
            ++i;
        if (i == 512) return order;
    }
    return -1;
}

// 32-bit sources, four pixels per value.
//
// To 15/16 bits: one multiply-add puts red and blue in place (the weights move one of them up;
// with the other at weight 1 both stay three bits too high), green is masked and shifted. A
// 15-bit result stays below 0x8000, so the signed pack stores it exactly; a 16-bit one is formed
// in the upper half of each lane instead, so that the arithmetic shift back sign-extends it.
template <uint32_t blue_weight, uint32_t red_weight, uint32_t green_mask, int green_shift>
inline __m128i s32_to_16(__m128i s) {
    const __m128i weights = splat32((red_weight << 16) | blue_weight);
    const __m128i red_blue = _mm_madd_epi16(mask(s, 0x00F800F8), weights);
    const __m128i green = mask(s, green_mask);
    if constexpr (green_mask == 0xF800)
        return either(right(red_blue, 3), right(green, green_shift));
    return _mm_srai_epi32(either(left(red_blue, 13), left(green, 16 - green_shift)), 16);
}
inline __m128i s_to_15_bgr(__m128i s) {
    return s32_to_16<1, 0x400, 0xF800, 6>(s);
}
inline __m128i s_to_15_rgb(__m128i s) {
    return s32_to_16<0x400, 1, 0xF800, 6>(s);
}
inline __m128i s_to_16_bgr(__m128i s) {
    return s32_to_16<1, 0x800, 0xFC00, 5>(s);
}
inline __m128i s_to_16_rgb(__m128i s) {
    return s32_to_16<0x800, 1, 0xFC00, 5>(s);
}
// Red and blue exchanged, green also in the top byte.
inline __m128i s_to_32_rgb(__m128i s) {
    return either(either(mask(right(s, 16), 0xFF), mask(s, 0xFF00)), left(s, 16));
}
// The 24-bit RGB order: red and blue exchanged, top byte zero.
inline __m128i s_to_24_rgb(__m128i s) {
    return reversed_24(s);
}

template <lane_format format>
void line_32_to_16(uint8_t* destination, const uint8_t* source, const line_inputs& inputs) {
    const int32_t width = inputs.width;
    int32_t x = 0;
    for (; x + 16 <= width; x += 16) {
        const uint8_t* s = source + 4 * x;
        const __m128i a = format(load128(s));
        const __m128i b = format(load128(s + 16));
        const __m128i c = format(load128(s + 32));
        const __m128i d = format(load128(s + 48));
        store128(destination + 2 * x, _mm_packs_epi32(a, b));
        store128(destination + 2 * x + 16, _mm_packs_epi32(c, d));
    }
    if (x + 8 <= width) {
        const uint8_t* s = source + 4 * x;
        store128(destination + 2 * x, _mm_packs_epi32(format(load128(s)), format(load128(s + 16))));
        x += 8;
    }
    if (x < width) {
        const __m128i a = format(load128(source + 4 * x));
        store_low64(destination + 2 * x, _mm_packs_epi32(a, a));
    }
}

template <lane_format format>
void line_32_to_24(uint8_t* destination, const uint8_t* source, const line_inputs& inputs) {
    const int32_t width = inputs.width;
    int32_t x = 0;
    for (; x + 16 <= width; x += 16) {
        const uint8_t* s = source + 4 * x;
        store_24_sixteen(destination + 3 * x, format(load128(s)), format(load128(s + 16)),
                         format(load128(s + 32)), format(load128(s + 48)));
    }
    if (x + 8 <= width) {
        const uint8_t* s = source + 4 * x;
        store_24_eight(destination + 3 * x, pack_24(format(load128(s))),
                       pack_24(format(load128(s + 16))));
        x += 8;
    }
    if (x < width) store_24_four(destination + 3 * x, pack_24(format(load128(source + 4 * x))));
}

// The line is 4 x width bytes, a multiple of 16.
template <lane_format format>
void line_32_to_32(uint8_t* destination, const uint8_t* source, const line_inputs& inputs) {
    format_lanes<format>(destination, source, 4 * inputs.width);
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
// The expansion is computed for the order whose fill the table holds; any other table is
// looked up.
template <line_converter bgr_fill, line_converter rgb_fill, line_converter lookup>
void mmx_walk_expansion(uint8_t* destination, int32_t destination_pitch) {
    switch (expansion_order(expand16_table)) {
    case 0:
        mmx_walk<bgr_fill>(destination, destination_pitch);
        break;
    case 1:
        mmx_walk<rgb_fill>(destination, destination_pitch);
        break;
    default:
        mmx_walk<lookup>(destination, destination_pitch);
        break;
    }
}
void mmx_blit_16_to_24(uint8_t* destination, int32_t destination_pitch) {
    mmx_walk_expansion<line_16_to_24<false>, line_16_to_24<true>, line_16_to_24_lookup>(
        destination, destination_pitch);
}
void mmx_blit_16_to_32(uint8_t* destination, int32_t destination_pitch) {
    mmx_walk_expansion<line_16_to_32<false>, line_16_to_32<true>, line_16_to_32_lookup>(
        destination, destination_pitch);
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
    mmx_walk<line_32_to_24<low_24>>(destination, destination_pitch);
}
