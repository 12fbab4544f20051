// The text console: key input, text screen and cursor. Windows builds use the Win32 console
// API; the native build has a small POSIX stand-in with the same operations.
#pragma once
#include <cstdint>

// Key input. Codes: 1-255 a character, (e << 8) | 0xFF an extended key, 0x6BFF the close key.
int32_t console_key_poll();    // moves every waiting console input event into the ring; 0
int32_t console_key_read();    // oldest code, or -1 when none waits; never waits
int32_t console_key_waiting(); // polls; 1 when a code waits (it stays in the ring), else 0
constexpr int32_t console_ring_size = 512;

// Hands standard input to a line read (on 1) and back to the key poll (on 0). The native
// build's key poll reads the terminal a character at a time without waiting; a line read
// needs the terminal's own line editing and a read that waits. Nothing on Windows, whose
// console keeps its line input.
void console_line_input(int32_t on);

// Translation of a key event into a key code, or -1 (shared with the graphics window).
int32_t key_code_of(int32_t character, int32_t scancode, int32_t virtual_key,
                    uint32_t control_state, int32_t no_fallback);

// Clears the console device record (run at the run-time's global start-up).
void console_state_clear();

// Text screen: each consults its console_hooks entry first.
void text_screen_size(int32_t* columns, int32_t* rows);
int32_t text_width(int32_t columns, int32_t rows);
void text_clear(int32_t mode);
int32_t text_view(int32_t top, int32_t bottom, int32_t move_cursor);
int32_t view_top_row();
int32_t view_bottom_row();
void set_view_rows(int32_t top, int32_t bottom);
// Keeps the text view inside a screen that now has rows rows: its bottom moves up to the last
// row, and a view that starts below the screen becomes the whole screen again.
void view_rows_fit(int32_t rows);
int32_t text_locate(int32_t row, int32_t column, int32_t cursor_visible);
void view_update();
// Sets the text colours (flags bit 0: no foreground given, bit 1: no background given) and
// returns the previous ones, on the graphics screen; the console's colours are left as they are
// (0).
uint32_t text_color(uint32_t foreground, uint32_t background, int32_t flags);

// Prints length bytes on the text console, in its current colours; with no usable console
// (output redirected) the bytes go to standard output unchanged. Mask bit 0x8: go on with
// length 0, which settles a pending line wrap.
void console_print(const char* bytes, int32_t length, int32_t mask);
