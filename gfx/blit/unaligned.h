// Loads and stores at any byte address. Display rows of 15-, 16- and 24-bit formats and 16-bit
// framebuffer lines need not be 4-byte aligned, so every access goes through memcpy (one move
// after optimisation).
#pragma once
#include <cstdint>
#include <cstring>

inline uint32_t load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
inline uint32_t load16(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
inline void store32(uint8_t* p, uint32_t v) {
    std::memcpy(p, &v, sizeof v);
}
inline void store16(uint8_t* p, uint32_t v) {
    const uint16_t h = static_cast<uint16_t>(v);
    std::memcpy(p, &h, sizeof h);
}

// The same for 16- and 8-byte SIMD values (SSE2 registers); an 8-byte load fills the low half and
// clears the high one.
#include <emmintrin.h>

inline __m128i load128(const uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
inline __m128i load_low64(const uint8_t* p) {
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
}
inline void store128(uint8_t* p, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}
inline void store_low64(uint8_t* p, __m128i v) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), v);
}
