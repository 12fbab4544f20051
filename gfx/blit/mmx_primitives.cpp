// MMX forms of the memory and span primitives. Like the blitters' MMX half they use SSE2
// (128-bit registers), which the product requires and which is faster than MMX's 64 bits.
// Fills handle remainders of 1, 2 and 4 units first, then whole 16-byte stores; the copy aligns
// its stores to 16 bytes. Every routine leaves the MMX state clear for floating-point code.
#include <emmintrin.h>
#include <mmintrin.h>

#include <cstring>

#include "gfx/blit/blit.h"
#include "gfx/blit/unaligned.h"
#include "gfx/internal/draw_state.h"

namespace {

// Copies fewer than 16 bytes forward: 1, 2, 4 and 8 as the bits of count say. Returns the
// destination's end.
inline uint8_t* copy_small(uint8_t* d, const uint8_t*& s, size_t count) {
    if (count & 1) *d++ = *s++;
    if (count & 2) {
        std::memcpy(d, s, 2);
        d += 2;
        s += 2;
    }
    if (count & 4) {
        std::memcpy(d, s, 4);
        d += 4;
        s += 4;
    }
    if (count & 8) {
        store_low64(d, load_low64(s));
        d += 8;
        s += 8;
    }
    return d;
}

// Stores the 16-byte pattern blocks times from destination onward.
inline void fill_blocks(uint8_t* destination, __m128i pattern, size_t blocks) {
    for (; blocks >= 4; blocks -= 4, destination += 64) {
        store128(destination, pattern);
        store128(destination + 16, pattern);
        store128(destination + 32, pattern);
        store128(destination + 48, pattern);
    }
    for (; blocks > 0; --blocks, destination += 16)
        store128(destination, pattern);
}

inline __m128i pattern32(uint32_t value) {
    return _mm_set1_epi32(static_cast<int>(value));
}

// Each byte of d: (d + floor((c - d) * a / 256)) mod 256, with colour_words the colour's bytes
// as 16-bit words (twice) and alpha_words a. Only bits 8-15 of the product matter, and the low
// 16 bits of a 16-bit multiply hold them even when it overflows.
inline __m128i blend_words(__m128i d, __m128i colour_words, __m128i alpha_words) {
    const __m128i product = _mm_mullo_epi16(_mm_sub_epi16(colour_words, d), alpha_words);
    return _mm_and_si128(_mm_add_epi16(d, _mm_srli_epi16(product, 8)), _mm_set1_epi16(0xFF));
}

} // namespace

void mmx_copy(void* destination, const void* source, size_t count) {
    auto* d = static_cast<uint8_t*>(destination);
    const auto* s = static_cast<const uint8_t*>(source);
    // Bytes up to a 16-byte boundary of the destination first, so that the run stores whole
    // aligned blocks, then what is left after the last block.
    size_t head = (0 - reinterpret_cast<uintptr_t>(d)) & 15;
    if (head > count) head = count;
    d = copy_small(d, s, head);
    count -= head;
    // Eight blocks per step: all eight loads issue before the first store.
    size_t blocks = count / 16;
    for (; blocks >= 8; blocks -= 8, d += 128, s += 128) {
        __m128i run[8];
        for (int i = 0; i < 8; ++i)
            run[i] = load128(s + 16 * i);
        for (int i = 0; i < 8; ++i)
            _mm_store_si128(reinterpret_cast<__m128i*>(d + 16 * i), run[i]);
    }
    for (; blocks > 0; --blocks, d += 16, s += 16)
        _mm_store_si128(reinterpret_cast<__m128i*>(d), load128(s));
    copy_small(d, s, count & 15);
    _mm_empty();
}

void mmx_fill8(void* destination, uint32_t value, size_t count) {
    auto* d = static_cast<uint8_t*>(destination);
    const uint32_t word = (value & 0xFF) * 0x01010101u;
    const __m128i pattern = pattern32(word);
    if (count & 1) *d++ = static_cast<uint8_t>(word);
    if (count & 2) {
        store16(d, word);
        d += 2;
    }
    if (count & 4) {
        store32(d, word);
        d += 4;
    }
    if (count & 8) {
        store_low64(d, pattern);
        d += 8;
    }
    fill_blocks(d, pattern, count / 16);
    _mm_empty();
}

void mmx_fill16(void* destination, uint32_t value, size_t count) {
    auto* d = static_cast<uint8_t*>(destination);
    const uint32_t word = (value & 0xFFFF) * 0x00010001u;
    const __m128i pattern = pattern32(word);
    if (count & 1) {
        store16(d, word);
        d += 2;
    }
    if (count & 2) {
        store32(d, word);
        d += 4;
    }
    if (count & 4) {
        store_low64(d, pattern);
        d += 8;
    }
    fill_blocks(d, pattern, count / 8);
    _mm_empty();
}

void mmx_fill32(void* destination, uint32_t value, size_t count) {
    auto* d = static_cast<uint8_t*>(destination);
    const __m128i pattern = pattern32(value);
    if (count & 1) {
        store32(d, value);
        d += 4;
    }
    if (count & 2) {
        store_low64(d, pattern);
        d += 8;
    }
    if (count & 4) {
        store128(d, pattern);
        d += 16;
    }
    fill_blocks(d, pattern, (count / 8) * 2);
    _mm_empty();
}

void mmx_blend_span32(void* destination, uint32_t colour, size_t count) {
    auto* d = static_cast<uint8_t*>(destination);
    const uint32_t a = colour >> 24;
    if (count & 1) {
        // The odd pixel is blended in wrapping 32-bit arithmetic, red and blue together.
        const uint32_t old = load32(d);
        const uint32_t rb =
            ((old & 0x00FF00FF) + ((((colour & 0x00FF00FF) - (old & 0x00FF00FF)) * a) >> 8)) &
            0x00FF00FF;
        const uint32_t ag =
            ((old & 0xFF00FF00) + ((((colour & 0xFF00FF00) - (old & 0xFF00FF00)) >> 8) * a)) &
            0xFF00FF00;
        store32(d, rb | ag);
        d += 4;
    }
    // The other pixels in pairs, two pairs per step.
    const __m128i zero = _mm_setzero_si128();
    const __m128i colour_words = _mm_unpacklo_epi8(pattern32(colour), zero);
    const __m128i alpha_words = _mm_set1_epi16(static_cast<short>(a));
    size_t pairs = count / 2;
    for (; pairs >= 2; pairs -= 2, d += 16) {
        const __m128i old = load128(d);
        const __m128i low = blend_words(_mm_unpacklo_epi8(old, zero), colour_words, alpha_words);
        const __m128i high = blend_words(_mm_unpackhi_epi8(old, zero), colour_words, alpha_words);
        store128(d, _mm_packus_epi16(low, high));
    }
    if (pairs > 0) {
        const __m128i low =
            blend_words(_mm_unpacklo_epi8(load_low64(d), zero), colour_words, alpha_words);
        store_low64(d, _mm_packus_epi16(low, low));
    }
    _mm_empty();
}

void mmx_blend_pixel32(draw_state* target, int32_t x, int32_t y, uint32_t colour) {
    if (target == nullptr || target->lines == nullptr) return;
    uint8_t* pixel = target->lines[y] + 4 * static_cast<ptrdiff_t>(x);
    const uint32_t a = colour >> 24;
    const __m128i zero = _mm_setzero_si128();
    const __m128i old = _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(load32(pixel))), zero);
    const __m128i fresh = _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(colour)), zero);
    // d * (256 - a) + c * a stays below 65536, so 16-bit words hold it exactly.
    const __m128i sum =
        _mm_add_epi16(_mm_mullo_epi16(old, _mm_set1_epi16(static_cast<short>(256 - a))),
                      _mm_mullo_epi16(fresh, _mm_set1_epi16(static_cast<short>(a))));
    store32(pixel, static_cast<uint32_t>(
                       _mm_cvtsi128_si32(_mm_packus_epi16(_mm_srli_epi16(sum, 8), zero))));
    _mm_empty();
}
