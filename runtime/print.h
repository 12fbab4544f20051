// The run-time's print operation: the one way a program prints a byte string. Program's
// thread.
#pragma once
#include <cstdint>

// Mask bit: go on even with nothing to print, which settles a pending line wrap.
constexpr int32_t print_settle_wrap = 0x8;

// Prints length bytes at the text cursor: on the open graphics screen (the glyphs of its font,
// in the text colours, inside its text view) or, with no screen, on the text console (and to
// standard output unchanged when that is redirected). Bell beeps; backspace, carriage return
// and line feed move the cursor (a line feed also returns to the left edge); tab advances to
// the next multiple of 8 columns; every other byte prints as its glyph. Text wraps at the right
// edge and scrolls the text view at its bottom. An empty print does nothing unless mask has
// print_settle_wrap.
void print_bytes(const char* bytes, int32_t length, int32_t mask);
