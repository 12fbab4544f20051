// Pixel routines per pixel size: plain, blending and MMX variants, chosen once per target.
#include "gfx/blit/blit.h"
#include "gfx/internal/draw_state.h"
#include "gfx/internal/gfx_context.h"

#include <cstring>

namespace {

void put8(draw_state* s, int32_t x, int32_t y, uint32_t c) { s->lines[y][x] = static_cast<uint8_t>(c); }
void put16(draw_state* s, int32_t x, int32_t y, uint32_t c) {
    reinterpret_cast<uint16_t*>(s->lines[y])[x] = static_cast<uint16_t>(c);
}
void put32(draw_state* s, int32_t x, int32_t y, uint32_t c) {
    reinterpret_cast<uint32_t*>(s->lines[y])[x] = c;
}
uint32_t get8(draw_state* s, int32_t x, int32_t y) { return s->lines[y][x]; }
uint32_t get16(draw_state* s, int32_t x, int32_t y) {
    return reinterpret_cast<uint16_t*>(s->lines[y])[x];
}
uint32_t get32(draw_state* s, int32_t x, int32_t y) {
    return reinterpret_cast<uint32_t*>(s->lines[y])[x];
}

void fill8(void* d, uint32_t c, size_t n) {
    fill_bytes(d, c, n);
}

// The blend keeps the source's alpha; the MMX blends blend the top byte like the others.
uint32_t blend(uint32_t s, uint32_t d) {
    uint32_t a = s >> 24;
    uint32_t rb = ((d & 0xFF00FF) + ((((s & 0xFF00FF) - (d & 0xFF00FF)) * a) >> 8)) & 0xFF00FF;
    uint32_t gg = ((d & 0xFF00) + ((((s & 0xFF00) - (d & 0xFF00)) * a) >> 8)) & 0xFF00;
    return rb | gg | (s & 0xFF000000);
}

void copy1(void* d, const void* s, size_t n) { copy_bytes(d, s, n); }
void copy2(void* d, const void* s, size_t n) { copy_bytes(d, s, 2 * n); }
void copy4(void* d, const void* s, size_t n) { copy_bytes(d, s, 4 * n); }

void plain_fill_bytes(void* d, uint32_t v, size_t n) { std::memset(d, static_cast<int>(v & 0xFF), n); }
void plain_copy_bytes(void* d, const void* s, size_t n) { std::memcpy(d, s, n); }

} // namespace

void plain_fill16(void* d, uint32_t c, size_t n) {
    auto* p = static_cast<uint16_t*>(d);
    for (size_t i = 0; i < n; ++i)
        p[i] = static_cast<uint16_t>(c);
}
void plain_fill32(void* d, uint32_t c, size_t n) {
    auto* p = static_cast<uint32_t*>(d);
    for (size_t i = 0; i < n; ++i)
        p[i] = c;
}
void plain_blend_pixel32(draw_state* s, int32_t x, int32_t y, uint32_t c) {
    uint32_t* p = reinterpret_cast<uint32_t*>(s->lines[y]) + x;
    *p = blend(c, *p);
}
void plain_blend_span32(void* d, uint32_t c, size_t n) {
    auto* p = static_cast<uint32_t*>(d);
    for (size_t i = 0; i < n; ++i)
        p[i] = blend(c, p[i]);
}

put_pixel_routine put_plain = put32;
get_pixel_routine get_plain = get32;
fill_pixels_routine fill_plain = plain_fill32;
put_pixel_routine put_blend = put32;
fill_pixels_routine fill_blend = plain_fill32;
fill_pixels_routine fill_depth = plain_fill32;
copy_pixels_routine copy_depth = copy4;
fill_bytes_routine fill_bytes = plain_fill_bytes;
copy_bytes_routine copy_bytes = plain_copy_bytes;

void select_pixel_routines(int32_t bpp) {
    bool mmx = (cpu_features() & cpu_mmx) != 0;
    bool alpha = false;
    if (gfx_screen) {
        if (mmx) gfx_screen->flags |= context_mmx;
        mmx = (gfx_screen->flags & context_mmx) != 0;
        alpha = (gfx_screen->flags & context_alpha) != 0;
    }
    fill_bytes = mmx ? mmx_fill8 : plain_fill_bytes;
    // A driver's window thread copies lines with copy_bytes while the mode set that started it
    // selects the routines again: only a change is written, and none comes after the first.
    const copy_bytes_routine copy = mmx ? mmx_copy : plain_copy_bytes;
    if (copy_bytes != copy) copy_bytes = copy;
    switch (bpp) {
    case 1:
        put_plain = put_blend = put8;
        get_plain = get8;
        fill_plain = fill_blend = fill8;
        copy_depth = copy1;
        break;
    case 2:
        put_plain = put_blend = put16;
        get_plain = get16;
        fill_plain = fill_blend = mmx ? mmx_fill16 : plain_fill16;
        copy_depth = copy2;
        break;
    default:
        put_plain = put32;
        get_plain = get32;
        fill_plain = mmx ? mmx_fill32 : plain_fill32;
        put_blend = alpha ? (mmx ? mmx_blend_pixel32 : plain_blend_pixel32) : put32;
        fill_blend = alpha ? (mmx ? mmx_blend_span32 : plain_blend_span32) : fill_plain;
        copy_depth = copy4;
        break;
    }
    fill_depth = fill_plain;
}
