// Drawing state, pixel routines, coordinate mapping and pixel plotting.
#pragma once
#include "gfx/internal/gfx_context.h"
#include "gfx/plotting.h"

#include <cstddef>
#include <cstdint>
#include <emmintrin.h>

struct draw_state;

using put_pixel_routine = void (*)(draw_state* state, int32_t x, int32_t y, uint32_t colour);
using get_pixel_routine = uint32_t (*)(draw_state* state, int32_t x, int32_t y);
using fill_pixels_routine = void (*)(void* destination, uint32_t colour, size_t count);
using copy_pixels_routine = void (*)(void* destination, const void* source, size_t count);
using fill_bytes_routine = void (*)(void* destination, uint32_t value, size_t count);
using copy_bytes_routine = void (*)(void* destination, const void* source, size_t count);

// Bits of draw_state::flags.
constexpr uint32_t draw_prepare_screen = 0x1;
constexpr uint32_t draw_image_target = 0x2;
constexpr uint32_t draw_view_set = 0x10;
constexpr uint32_t draw_view_absolute = 0x20;

struct draw_state {
    int32_t screen_id; // the gfx_context id this state was prepared for
    int32_t work_page;
    uint8_t** lines; // start of each line of the current target
    int32_t lines_capacity;
    int32_t target_bpp;
    int32_t target_pitch;
    void* target; // image drawn into; null: the screen
    float last_x;
    float last_y;
    int32_t view_x;
    int32_t view_y;
    int32_t view_w;
    int32_t view_h;
    int32_t saved_view[4];
    uint32_t fg_color; // in the target's pixel format
    uint32_t bg_color;
    put_pixel_routine put_pixel;
    get_pixel_routine get_pixel;
    fill_pixels_routine fill_pixels;
    uint32_t flags;
    // The screen id for which the program's plots may take plot_pixel's straight path: the
    // prepared 32-bit screen, a relative view, the plain routines chosen, no blending. 0 when
    // not; whatever changes the target, the flags or the routines sets it to 0.
    int32_t straight_id;
    bool straight_locks; // the screen's driver has a lock or an unlock
    // The image target's geometry as its header gave it when it was prepared: a plot into the
    // same address under another header (the image freed, a new one allocated in its place)
    // prepares the target afresh.
    uint8_t* target_data;
    int32_t target_width;
    int32_t target_height;
};

// The process-wide pixel routines for the pixel size in use.
extern put_pixel_routine put_plain;
extern get_pixel_routine get_plain;
extern fill_pixels_routine fill_plain;
extern put_pixel_routine put_blend;
extern fill_pixels_routine fill_blend;
extern fill_pixels_routine fill_depth;
extern copy_pixels_routine copy_depth; // count in pixels
extern fill_bytes_routine fill_bytes;  // mmx_fill8 or memset
extern copy_bytes_routine copy_bytes;  // mmx_copy or memcpy

// The plain fills and blends, installed where the processor has no MMX.
void plain_fill16(void* destination, uint32_t colour, size_t count);
void plain_fill32(void* destination, uint32_t colour, size_t count);
void plain_blend_pixel32(draw_state* state, int32_t x, int32_t y, uint32_t colour);
void plain_blend_span32(void* destination, uint32_t colour, size_t count);

// Installs the pixel routines for a pixel size of bpp bytes. With MMX present (and a screen
// open) sets context flag 0x1000000 and uses the MMX fills, copies and blends.
void select_pixel_routines(int32_t bpp);

// Coordinate types of two points (the low three bits; plotting.h has the one-point types).
constexpr int32_t coords_two_absolute = 0;
constexpr int32_t coords_second_relative = 1;
constexpr int32_t coords_first_relative = 2;
constexpr int32_t coords_both_relative = 3;

draw_state* get_draw_state();
// Makes image (null: the screen) the drawing target; false, with the target left as it was,
// for an image whose header is impossible or whose line table cannot be grown, and for the
// screen when its line table is missing.
bool prepare_target(draw_state* state, void* image);
// How prepare_target grows the line table (realloc). Tests replace it to make it fail.
extern void* (*line_table_reallocate)(void* lines, size_t size);
void select_transfer(draw_state* state, uint32_t colour);
uint32_t convert_color(int32_t target_bpp, uint32_t colour);
void apply_relative(draw_state* state, int32_t type, float* x1, float* y1, float* x2, float* y2);
void map_point(const draw_state* state, float x, float y, int32_t* px, int32_t* py);

// The state that plot_pixel's straight path reads: the process-wide record once a graphics
// call has made it, before that a blank stand-in (whose straight_id matches no screen).
extern draw_state* plot_state;

// The processor's truncation to 32 bits, as unsigned: a value out of range gives 0x80000000,
// which lies outside every view.
inline uint32_t plot_truncate(double v) {
    return static_cast<uint32_t>(_mm_cvttsd_si32(_mm_set_sd(v)));
}

// The straight path's point, rounded half away from zero and placed in the view; false when it
// falls outside. Rounding lands in 0 .. w - 1 exactly when -0.5 < v and the truncation of
// v + 0.5 (exact in double) is below w.
inline bool straight_point(const draw_state* s, float x, float y, int32_t* px, int32_t* py) {
    if (!(x > -0.5f && y > -0.5f)) return false;
    const uint32_t rx = plot_truncate(static_cast<double>(x) + 0.5);
    const uint32_t ry = plot_truncate(static_cast<double>(y) + 0.5);
    if (rx >= static_cast<uint32_t>(s->view_w) || ry >= static_cast<uint32_t>(s->view_h))
        return false;
    *px = static_cast<int32_t>(rx) + s->view_x;
    *py = static_cast<int32_t>(ry) + s->view_y;
    return true;
}

// plot_pixel out of line: every case.
void plot_pixel_any(void* target, float x, float y, uint32_t colour, int32_t type, int32_t preset);

// Plots a point. The program's own case, an absolute point in a given colour on the prepared
// 32-bit screen (straight_id), is done in place in the caller: the point is rounded half away
// from zero, clipped to the view, and under the screen lock its line marked dirty and the pixel
// set, as the general case would. A driver without lock and unlock (straight_locks clear) makes
// that lock a pair of counter moves that cancel, so it is left out. Every other case goes to
// plot_pixel_any.
inline void plot_pixel(void* target, float x, float y, uint32_t colour, int32_t type,
                       int32_t preset) {
    gfx_context* c = gfx_screen;
    draw_state* s = plot_state;
    if (!c || s->straight_id != c->id || target || type != coords_point) {
        plot_pixel_any(target, x, y, colour, type, preset);
        return;
    }
    s->last_x = x;
    s->last_y = y;
    int32_t px, py;
    if (!straight_point(s, x, y, &px, &py)) return;
    const bool locks = s->straight_locks;
    if (locks) screen_lock_context(c);
    if (s->lines[0] == c->visible_buffer) [[likely]]
        c->dirty[py] = 1;
    reinterpret_cast<uint32_t*>(s->lines[py])[px] = colour; // the plain 32-bit put
    if (locks) screen_unlock_context(c);
}

// Starts loading into the cache the pixel that plot_pixel(nullptr, x, y, colour, coords_point,
// 0) would write on its straight path, so that a caller who knows its coming points can have
// them ready; changes nothing else, and does nothing off that path.
inline void plot_pixel_ahead(float x, float y) {
    const gfx_context* c = gfx_screen;
    const draw_state* s = plot_state;
    int32_t px, py;
    if (!c || s->straight_id != c->id || !straight_point(s, x, y, &px, &py)) return;
    _mm_prefetch(reinterpret_cast<const char*>(s->lines[py]) + 4 * px, _MM_HINT_T0);
}
