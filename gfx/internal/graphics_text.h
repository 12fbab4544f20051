// Text on the graphics screen: glyphs of the current font drawn into the work page, the text
// cursor, the character cells of each page, scrolling of the text view, clearing, colours and
// the text grid. These are the screen's forms of the run-time's text operations: the mode set
// installs them in console_hooks (slots 4 to 14 and 21 to 23).
#pragma once
#include "gfx/screen_text.h"
#include "runtime/text_screen.h"

#include <cstdint>

struct text;

// Prints length bytes at the text cursor through the run-time's text output engine (a line
// feed also returns). Output that ends exactly one row below the text view parks the cursor on
// the view's last cell with a wrap pending, which the next print settles first. Nothing
// happens for length 0 unless mask has 0x8 (which settles a pending wrap).
void text_print_graphics(const char* bytes, int32_t length, int32_t mask);

// 0: the whole work page; 2: the text view; text_clear_unspecified: as text_clear says; any
// other: the graphics view. Cleared cells hold spaces in the current colours.
void text_clear_graphics(int32_t mode);
// Sets the colours (flags bit 0: no foreground given, bit 1: no background given) and returns
// the previous ones: fg | bg << 16 at depths up to 8, the foreground as 0xFFRRGGBB at depth 16,
// the foreground at depth 32.
uint32_t text_color_graphics(uint32_t foreground, uint32_t background, int32_t flags);
// 1-based row and column (below 1: unchanged); returns ((row-1) << 8 | (column-1)) + 0x101 of
// the new position. Clears a pending wrap.
int32_t text_locate_graphics(int32_t row, int32_t column, int32_t visible);
// Sets the grid to columns x rows (below 1: unchanged) when that gives cells of 8 x 8, 8 x 14 or
// 8 x 16 pixels; returns the previous columns | rows << 16.
int32_t text_width_graphics(int32_t columns, int32_t rows);
int32_t text_column_graphics(); // 1-based
int32_t text_row_graphics();    // 1-based
void text_size_graphics(int32_t* columns, int32_t* rows);

// The line editor: reads keys into buffer until Enter, with a block cursor (219) at the
// insertion point; at most size - 1 characters (Enter included when there is room), then a
// zero byte. Null with no screen open.
char* read_string_graphics(char* buffer, int32_t size);
// Prompt (and "? " with question), a line through the run-time's line reader, CR LF with
// newline, the line stored in destination. 0, or error 4 when the line could not be read.
int32_t line_input_graphics(text* prompt, text* destination, int32_t size, int32_t fill,
                            int32_t question, int32_t newline);
int32_t line_input_wide_graphics(text* prompt, void* destination, int32_t size, int32_t fill,
                                 int32_t question, int32_t newline);
