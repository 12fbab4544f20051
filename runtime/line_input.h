// The run-time's line input: one line read from the graphics screen's line editor while a
// screen is open (otherwise from standard input) and stored into a text variable, a field of
// bytes or a buffer of UTF-16 units. Program's thread.
#pragma once
#include <cstdint>

struct text;

// The line editor's buffer: a line of up to 1022 characters and its Enter, then a zero byte.
constexpr int32_t line_read_size = 1024;

// Reads one line: with a screen open through its line editor (keys typed in the window are
// echoed at the text cursor with a block cursor; backspace erases; Enter ends the line),
// otherwise from standard input. Returns the line without its ending Enter (CR, or LF or CR LF
// from standard input) as a new temporary; null when no line could be read (the input had
// ended, or no memory).
text* line_read();

// Stores line (a temporary is released) into destination: a size of 0 or less means a text
// variable (text assignment); a size above 0 a field of that many bytes, which takes at most
// size bytes and, with fill, is padded with spaces to size. 0, or error 4 without memory.
int32_t line_store(text* destination, int32_t size, int32_t fill, text* line);
// Stores line into destination, a buffer of size UTF-16 units: each byte becomes the unit of
// its value, at most size - 1 of them, then a zero; with fill every unit after the line is
// zero. Nothing is stored for a size below 1 (error 1). A temporary line is released.
int32_t line_store_wide(void* destination, int32_t size, int32_t fill, text* line);

// Prints prompt (may be null; a temporary is released) and, with question, "? "; reads a line
// with line_read; on the screen with newline ends the line (CR LF); stores the line as
// line_store does. 0, or error 4 when no line could be read.
int32_t line_input(text* prompt, text* destination, int32_t size, int32_t fill, int32_t question,
                   int32_t newline);
// The same into a buffer of size UTF-16 units, as line_store_wide stores.
int32_t line_input_wide(text* prompt, void* destination, int32_t size, int32_t fill,
                        int32_t question, int32_t newline);
