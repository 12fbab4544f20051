// MMX forms of the memory and span primitives. Remainders of 1, 2 and 4 units go first, then
// 8-byte moves; every routine leaves the MMX state clear for floating-point code.
#include <mmintrin.h>

#include <cstring>

#include "gfx/blit/blit.h"
#include "gfx/blit/unaligned.h"
#include "gfx/draw_state.h"

namespace {

// Stores the 8-byte pattern blocks times from destination onward.
inline void fill_blocks(uint8_t* destination, __m64 pattern, size_t blocks) {
    for (; blocks >= 4; blocks -= 4, destination += 32) {
        move_store64(destination, pattern);
        move_store64(destination + 8, pattern);
        move_store64(destination + 16, pattern);
        move_store64(destination + 24, pattern);
    }
    for (; blocks > 0; --blocks, destination += 8)
        move_store64(destination, pattern);
}

inline __m64 pattern32(uint32_t value) {
    return _mm_set1_pi32(static_cast<int>(value));
}

// Each of the four bytes: (d + floor((c - d) * a / 256)) mod 256. Only bits 8-15 of the
// product matter, and the low 16 bits of a 16-bit multiply hold them even when it overflows.
inline __m64 blend_span_bytes(__m64 d, __m64 colour_words, __m64 alpha_words) {
    const __m64 zero = _mm_setzero_si64();
    const __m64 byte_mask = _mm_set1_pi16(0xFF);
    __m64 low = _mm_unpacklo_pi8(d, zero);
    __m64 high = _mm_unpackhi_pi8(d, zero);
    low = _mm_add_pi16(
        low, _mm_srli_pi16(_mm_mullo_pi16(_mm_sub_pi16(colour_words, low), alpha_words), 8));
    high = _mm_add_pi16(
        high, _mm_srli_pi16(_mm_mullo_pi16(_mm_sub_pi16(colour_words, high), alpha_words), 8));
    return _mm_packs_pu16(_mm_and_si64(low, byte_mask), _mm_and_si64(high, byte_mask));
}

} // namespace

void mmx_copy(void* destination, const void* source, size_t count) {
    auto* d = static_cast<uint8_t*>(destination);
    const auto* s = static_cast<const uint8_t*>(source);
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
    size_t blocks = count / 8;
    for (; blocks >= 8; blocks -= 8, d += 64, s += 64) {
        const __m64 a = move_load64(s);
        const __m64 b = move_load64(s + 8);
        const __m64 c = move_load64(s + 16);
        const __m64 e = move_load64(s + 24);
        const __m64 f = move_load64(s + 32);
        const __m64 g = move_load64(s + 40);
        const __m64 h = move_load64(s + 48);
        const __m64 i = move_load64(s + 56);
        move_store64(d, a);
        move_store64(d + 8, b);
        move_store64(d + 16, c);
        move_store64(d + 24, e);
        move_store64(d + 32, f);
        move_store64(d + 40, g);
        move_store64(d + 48, h);
        move_store64(d + 56, i);
    }
    for (; blocks > 0; --blocks, d += 8, s += 8)
        move_store64(d, move_load64(s));
    _mm_empty();
}

void mmx_fill8(void* destination, uint32_t value, size_t count) {
    auto* d = static_cast<uint8_t*>(destination);
    const uint32_t word = (value & 0xFF) * 0x01010101u;
    if (count & 1) *d++ = static_cast<uint8_t>(word);
    if (count & 2) {
        store16(d, word);
        d += 2;
    }
    if (count & 4) {
        store32(d, word);
        d += 4;
    }
    fill_blocks(d, pattern32(word), count / 8);
    _mm_empty();
}

void mmx_fill16(void* destination, uint32_t value, size_t count) {
    auto* d = static_cast<uint8_t*>(destination);
    const uint32_t word = (value & 0xFFFF) * 0x00010001u;
    if (count & 1) {
        store16(d, word);
        d += 2;
    }
    if (count & 2) {
        store32(d, word);
        d += 4;
    }
    const __m64 pattern = pattern32(word);
    if (count & 4) {
        move_store64(d, pattern);
        d += 8;
    }
    fill_blocks(d, pattern, (count / 8) * 2);
    _mm_empty();
}

void mmx_fill32(void* destination, uint32_t value, size_t count) {
    auto* d = static_cast<uint8_t*>(destination);
    if (count & 1) {
        store32(d, value);
        d += 4;
    }
    const __m64 pattern = pattern32(value);
    if (count & 2) {
        move_store64(d, pattern);
        d += 8;
    }
    if (count & 4) {
        move_store64(d, pattern);
        move_store64(d + 8, pattern);
        d += 16;
    }
    fill_blocks(d, pattern, (count / 8) * 4);
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
    const __m64 colour_words =
        _mm_unpacklo_pi8(_mm_cvtsi32_si64(static_cast<int>(colour)), _mm_setzero_si64());
    const __m64 alpha_words = _mm_set1_pi16(static_cast<short>(a));
    for (size_t pairs = count / 2; pairs > 0; --pairs, d += 8) {
        store64(d, blend_span_bytes(load64(d), colour_words, alpha_words));
    }
    _mm_empty();
}

void mmx_blend_pixel32(draw_state* target, int32_t x, int32_t y, uint32_t colour) {
    if (target == nullptr || target->lines == nullptr) return;
    uint8_t* pixel = target->lines[y] + 4 * static_cast<ptrdiff_t>(x);
    const uint32_t a = colour >> 24;
    const __m64 zero = _mm_setzero_si64();
    const __m64 old = _mm_unpacklo_pi8(_mm_cvtsi32_si64(static_cast<int>(load32(pixel))), zero);
    const __m64 fresh = _mm_unpacklo_pi8(_mm_cvtsi32_si64(static_cast<int>(colour)), zero);
    // d * (256 - a) + c * a stays below 65536, so 16-bit words hold it exactly.
    const __m64 sum = _mm_add_pi16(_mm_mullo_pi16(old, _mm_set1_pi16(static_cast<short>(256 - a))),
                                   _mm_mullo_pi16(fresh, _mm_set1_pi16(static_cast<short>(a))));
    store32(pixel,
            static_cast<uint32_t>(_mm_cvtsi64_si32(_mm_packs_pu16(_mm_srli_pi16(sum, 8), zero))));
    _mm_empty();
}
