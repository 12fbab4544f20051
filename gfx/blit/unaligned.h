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
inline void store32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, sizeof v); }
inline void store16(uint8_t* p, uint32_t v) {
    const uint16_t h = static_cast<uint16_t>(v);
    std::memcpy(p, &h, sizeof h);
}

#ifdef __MMX__
#include <mmintrin.h>

inline __m64 load64(const uint8_t* p) {
    __m64 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
inline void store64(uint8_t* p, __m64 v) { std::memcpy(p, &v, sizeof v); }
#endif
