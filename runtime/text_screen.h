// The text screen: the grid of character cells that print_bytes writes, on the open graphics
// screen or, with no screen, on the text console. Its size, the text view (the rows that
// printing scrolls and that clearing the view clears), the cursor and the colours. Rows and
// columns are 1-based here unless said otherwise. Program's thread.
#pragma once
#include <cstdint>

// The mode of text_clear when the caller names none: the graphics view when one has been set,
// else the whole screen when the text view spans the grid, else the text view.
constexpr int32_t text_clear_unspecified = -65536;

// The grid's size in cells. On the screen: its text grid. On the console: its window (80 x 25
// when there is no console).
void text_screen_size(int32_t* columns, int32_t* rows);
// Sets the grid to columns x rows (below 1: that one unchanged); returns the previous size as
// columns | rows << 16. On the screen only sizes that give cells of 8 x 8, 8 x 14 or 8 x 16
// pixels are taken (otherwise nothing changes); taking one chooses that font, resets the
// graphics view, the text view and the cursor, and clears the screen. On the console the window
// takes the size (as far as the display allows; the native build's terminal keeps its own) and
// the result is the size set; 0 when there is no console.
int32_t text_width(int32_t columns, int32_t rows);
// Clears, in the background colour: mode 0 the whole screen (the work page) and puts the
// cursor at the top of the text view; 2 the text view's rows, cursor likewise; 1 (and any
// other mode on the screen) only the graphics view, cursor unchanged; text_clear_unspecified
// as said above. On the console mode 1 does nothing and clearing uses the console's colours.
// Clearing the screen also puts the last point (for relative plotting) at the view's centre,
// except with mode 2.
void text_clear(int32_t mode);
// Sets the text view to rows top to bottom (1-based, inclusive); 0 means the first or the last
// row, a negative value keeps that end. With move_cursor the cursor goes to the view's first
// row, column 1. Returns the view as top | bottom << 16, or 0 (nothing changed) when the rows
// are outside the grid or bottom < top.
int32_t text_view(int32_t top, int32_t bottom, int32_t move_cursor);
// The text view's first and last rows, 0-based.
int32_t view_top_row();
int32_t view_bottom_row();
// Moves the cursor to row, column (1-based; 0 keeps that coordinate). A row outside the text
// view or a column outside the grid moves nothing; cursor_visible is applied all the same: 1
// shows, 0 hides the console's cursor, -1 leaves it (the screen draws no cursor). Returns the
// new position: on the screen ((row-1) << 8 | (column-1)) + 0x101, on the console column |
// row << 8, plus 0x10000 when its cursor was visible (0 when there is no console). Moving the
// cursor clears a pending line wrap.
int32_t text_locate(int32_t row, int32_t column, int32_t cursor_visible);
// Reads the console's window and buffer again after something outside the run-time changed
// them; nothing on the screen.
void view_update();
// Sets the text colours and returns the previous ones. flags bit 0: no foreground given; bit 1:
// no background given. On the screen the colours are those of plotting (see plot_pixel): at
// depths 15 to 32 0xAARRGGBB, at 8 bits and fewer a pixel value (modes 1, 7, 8 and 9 are
// different: in modes 7 to 9 the foreground is a pixel value 0 to 15 and the background sets
// palette entry 0; in mode 1 the background chooses the CGA palette and the foreground sets
// entry 0). The previous colours come back as fg | bg << 16 at depths up to 8, as the
// foreground 0xFFRRGGBB at 16 bits, as the foreground at 32 bits. On the console: nothing, 0.
uint32_t text_color(uint32_t foreground, uint32_t background, int32_t flags);
