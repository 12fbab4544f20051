// The device-independent text output engine. A device (the graphics screen, the text console)
// fills a text_output record with its two operations, its text region and its cursor, and
// hands byte strings to print_text; the engine interprets the control characters, wraps at
// the region's right edge and writes printable bytes in runs, one device call per run and row.
#pragma once
#include <cstdint>

struct text_output {
    void* device; // the device's own context; the engine never reads it
    // Scrolls rows top to bottom of the region up by rows rows and leaves cursor_y at bottom.
    void (*scroll)(text_output* record, int32_t left, int32_t top, int32_t right, int32_t bottom,
                   int32_t rows);
    // Writes count bytes at the cursor, all on the cursor's row; 1 means success. It need not
    // move the cursor: the engine does.
    int32_t (*write)(text_output* record, const char* bytes, int32_t count);
    int32_t left, top, right, bottom; // inclusive cells; bottom -1: the region never scrolls
    int32_t cursor_x, cursor_y;       // updated by the engine
};

// Size of the engine's run buffer: a flush writes at most this many bytes.
constexpr int32_t text_output_buffer_size = 1024;

// Prints length bytes at the record's cursor. Bell sounds a beep (1000 Hz, 250 ms); backspace,
// carriage return and line feed move the cursor (a line feed also returns to the left edge
// when newline_returns is nonzero); tab prints spaces up to the next multiple of 8 columns
// from the left edge; every other byte is printed unchanged. A move that leaves the cursor
// below the bottom scrolls at the end of the call; text written below it scrolls first. The
// cursor may be left one row below the bottom after text that ends at the right edge. Nothing
// is printed when the region has no column, or when the region or the cursor lies beyond
// +/-65536.
void print_text(text_output* record, const char* bytes, int32_t length, int32_t newline_returns);

// Writes count printable bytes at the cursor, split at the right edge into one write per row,
// scrolling first whenever the cursor is below the bottom. A write that fails drops the rest.
void write_wrapped(text_output* record, const char* bytes, int32_t count);
