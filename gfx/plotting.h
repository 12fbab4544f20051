// Plotting points on the graphics screen or into an image, and the graphics view. Program's
// thread.
#pragma once
#include <cstdint>

// Coordinate types of plot_pixel: an absolute point, or one relative to the last point plotted.
constexpr int32_t coords_point = 4;
constexpr int32_t coords_point_relative = 5;
// Or-ed into a coordinate type: no colour is given; the foreground (or with a nonzero preset
// the background) colour of text_color is taken instead.
constexpr int32_t coords_no_colour = INT32_MIN;

// First word of an image of the new form. Such an image is a header of five 32-bit words,
// image_new_header, bytes per pixel (1, 2 or 4), width, height and the bytes from one line to
// the next, followed 32 bytes after its start by its pixels. (The old form: a 16-bit word
// width << 3, a 16-bit height, then the pixels 4 bytes after its start in the screen's pixel
// size.) Pixel data of 2 and 4 bytes must lie on their own alignment.
constexpr uint32_t image_new_header = 7;

// Plots one point of colour at (x, y) on the screen's work page (target null) or into the image
// target. x and y are rounded half away from zero (0.5 is pixel 1, -0.5 pixel -1, 0.49 pixel 0)
// and a point outside the screen (or image) is dropped. colour is, by the target's depth:
// - 32 bits: 0xAARRGGBB, stored as it is; on a screen opened with alpha_primitives a colour of
//   alpha a below 0xFF is blended instead: red, green and blue each become pixel + (colour -
//   pixel) * a / 256, the alpha too where the processor has MMX (else the colour's alpha);
// - 16 bits: 0xAARRGGBB, stored as 5:6:5;
// - 8 bits and fewer: a pixel value (its low byte: 0 to 2^depth - 1, a palette index).
// type is coords_point or coords_point_relative (x and y added to the last point), optionally
// with coords_no_colour. The point given (after adding) becomes the last point. A point on the
// visible page marks its line dirty. Nothing with no screen open, or for an image whose header
// no image can have.
inline void plot_pixel(void* target, float x, float y, uint32_t colour, int32_t type,
                       int32_t preset);
// Starts loading into the processor's cache the pixel that plot_pixel(nullptr, x, y, colour,
// coords_point, 0) would write on a 32-bit screen, for a program that knows its next points.
// Changes nothing.
inline void plot_pixel_ahead(float x, float y);
// Makes the graphics view (what plotting clips to and text_clear(1) clears) the whole screen
// again. Nothing with no screen open.
void reset_view();

// The inline plot works on the library's own drawing state.
#include "gfx/internal/draw_state.h"
