// Text on the graphics screen that the run-time's text operations (runtime/print.h,
// runtime/text_screen.h) do not cover: where the cursor is, what a cell holds, and printing
// UTF-16. Program's thread.
#pragma once
#include <cstdint>

// The text cursor's column and row, 1-based; 0 and 0 with no screen open. column or row may be
// null.
void text_position_graphics(int32_t* column, int32_t* row);
// What cell (column, row) of the work page holds (1-based; 0 outside the grid or with no screen
// open): what 0 its character code; otherwise its colours: foreground + background * 16 at
// depths up to 4, foreground + background * 256 at 8 bits, the foreground (what 2: the
// background) as 0xFFRRGGBB at 16 bits and as stored at 32 bits. print_bytes, text_clear and
// scrolling keep the cells; plotting and writes through screen_ptr do not.
uint32_t read_cell_graphics(int32_t column, int32_t row, int32_t what);
// Prints length UTF-16 units as print_bytes prints bytes: a unit below 256 as that byte, any
// other as "?" (a high surrogate taking its low surrogate with it). Nothing with no screen open.
void text_print_wide_graphics(const uint16_t* units, int32_t length, int32_t mask);
