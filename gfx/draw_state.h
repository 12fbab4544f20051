// Drawing state, pixel routines, coordinate mapping and pixel plotting.
#pragma once
#include <cstddef>
#include <cstdint>

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

// Coordinate types: the low three bits; bit 31 set means no colour was given.
constexpr int32_t coords_two_absolute = 0;
constexpr int32_t coords_second_relative = 1;
constexpr int32_t coords_first_relative = 2;
constexpr int32_t coords_both_relative = 3;
constexpr int32_t coords_point = 4;
constexpr int32_t coords_point_relative = 5;
constexpr int32_t coords_no_colour = INT32_MIN;

// Image header of the new form; pixel data start 32 bytes after it.
constexpr uint32_t image_new_header = 7;

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
void reset_view();
void plot_pixel(void* target, float x, float y, uint32_t colour, int32_t type, int32_t preset);
