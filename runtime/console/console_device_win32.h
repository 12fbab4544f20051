// The console device record of the Windows builds, shared by key input and the text screen.
#pragma once
#include <windows.h>

#include <cstdint>

struct console_device {
    HANDLE console_input;
    HANDLE console_buffers[4]; // entry 0 is the standard output handle; the others stay empty
    int32_t active_buffer;
    int32_t shown_buffer;
    SMALL_RECT console_region; // the text screen inside the buffer, inclusive
    SMALL_RECT saved_window;   // the console window as last read
    int32_t region_fixed;      // set once text_width has sized the console
    int32_t region_read;
    int32_t handles_fetched;
};

extern console_device console_state;

// Fetches the standard handles on first use and adds processed input to the input mode.
void console_handles_fetch();
// Reads the region once, on first need.
void console_region_ensure();
// Reads the region again, unless text_width has fixed it.
void console_region_read();
// No usable console: the region is empty (output redirected, no console window).
bool console_absent();
HANDLE console_output();
