// Placeholder until the conversions are built.
#include "gfx/blit/blit.h"

#include <cstring>

conversion_routine select_blitter(int32_t, int32_t) { return nullptr; }
void blit_copy_lines(uint8_t*, int32_t) {}
uint32_t cpu_features() { return 0; }
void mmx_copy(void* d, const void* s, size_t n) { std::memcpy(d, s, n); }
void mmx_fill8(void* d, uint32_t v, size_t n) { std::memset(d, static_cast<int>(v & 0xFF), n); }
void mmx_fill16(void*, uint32_t, size_t) {}
void mmx_fill32(void*, uint32_t, size_t) {}
void mmx_blend_span32(void*, uint32_t, size_t) {}
void mmx_blend_pixel32(draw_state*, int32_t, int32_t, uint32_t) {}
