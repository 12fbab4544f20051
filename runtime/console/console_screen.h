// The platform side of the text screen, beneath the shared view and cursor logic.
#pragma once
#include <cstdint>

// The console form of text_locate: a row or column below 1 keeps the current one. Returns the
// column in bits 0-7, the row in bits 8-15 and bit 16 when the cursor was visible before;
// 0 when there is no console.
int32_t console_locate(int32_t row, int32_t column, int32_t cursor_visible);
// The console cursor's column, 1-based within the text screen; 1 when there is no console.
int32_t console_cursor_column();
