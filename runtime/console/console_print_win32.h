// The Win32 console as a device of the text output engine.
#pragma once
#include "runtime/text_output.h"

#include <windows.h>

#include <cstdint>

// Set when output ended one row below the bottom of the text view and the cursor was parked
// on the view's last cell instead of scrolling; the next print (or placing the cursor)
// settles it.
extern int32_t console_wrap_pending;

// The device record of one console_print call.
struct console_print_device {
    int32_t region_left, region_top, region_right, region_bottom;
    int32_t buffer_width, buffer_height; // 80 x 25 when the buffer cannot be read
    uint16_t attribute;                  // of written and cleared cells; 7 when unreadable
    HANDLE output;
    int32_t view_is_part; // the text view is not the whole region: scroll only its rows
};

// How console_print reads the buffer's size, attribute and cursor (GetConsoleScreenBufferInfo)
// and writes redirected output (WriteFile). Tests replace them where Wine cannot make a
// console's buffer unreadable or a write to a file partial.
extern BOOL(WINAPI* console_buffer_info)(HANDLE output, CONSOLE_SCREEN_BUFFER_INFO* info);
extern BOOL(WINAPI* console_write_file)(HANDLE file, LPCVOID bytes, DWORD count, LPDWORD written,
                                        LPOVERLAPPED overlapped);

// Writes count cells at the cursor in the device's attribute: 1 on success.
int32_t console_write_run(text_output* record, const char* bytes, int32_t count);
// Scrolls the record's region (the arguments equal it) up by rows rows: inside the text view
// when that is part of the region; otherwise by moving the region down a taller buffer
// first, then by scrolling the whole buffer.
void console_scroll(text_output* record, int32_t left, int32_t top, int32_t right, int32_t bottom,
                    int32_t rows);
