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

#ifdef __MMX__
#include <mmintrin.h>

inline __m64 load64(const uint8_t* p) {
    __m64 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
inline void store64(uint8_t* p, __m64 v) {
    std::memcpy(p, &v, sizeof v);
}

// Loads and stores of values that are only moved, not computed on (copies and fills). With MMX
// registers alone, GCC moves such a value through two 32-bit registers; on 32-bit x86 these
// keep it in an MMX register.
#if defined(__i386__)
using unaligned_u64 = uint64_t __attribute__((may_alias, aligned(1)));
inline __m64 move_load64(const uint8_t* p) {
    __m64 v;
    asm("movq %1, %0" : "=y"(v) : "m"(*reinterpret_cast<const unaligned_u64*>(p)));
    return v;
}
inline void move_store64(uint8_t* p, __m64 v) {
    asm("movq %1, %0" : "=m"(*reinterpret_cast<unaligned_u64*>(p)) : "y"(v));
}
#else
inline __m64 move_load64(const uint8_t* p) {
    return load64(p);
}
inline void move_store64(uint8_t* p, __m64 v) {
    store64(p, v);
}
#endif
#endif
