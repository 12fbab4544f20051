// Helpers of the native X11 tests: a connection of the test's own to the X display, pixels read
// back from the server, and the process's threads, files and shared-memory segments.
#pragma once
// GoogleTest first: Xlib's macros (None, Bool) are names inside it.
#include "tests/gfx/screenshot.h"

#include <X11/Xlib.h>

#include <cstdint>
#include <string>
#include <vector>

// The test's connection to the display that DISPLAY names (XInitThreads first); null when there
// is none. Opened once.
Display* test_display();
// Why the X tests cannot run here, or empty when they can: an X display and xdotool.
std::string x11_unavailable();

// Pixels of a window's rectangle as the server holds them, 0x00RRGGBB, row by row.
std::vector<uint32_t> window_pixels(Window window, int32_t x, int32_t y, int32_t width,
                                    int32_t height);
// The whole screen.
screenshot take_screenshot();
// Where a window's top-left pixel is on the screen.
void window_origin(Window window, int32_t* x, int32_t* y);
// The top-level window whose class (WM_CLASS) is the given one, or None.
Window window_of_class(const char* window_class);
// Windows on the screen: the root window's children.
int32_t top_level_windows();
// What a window manager sends when the window's close button is pressed.
void send_close_request(Window window);

// Runs a command through /bin/sh and waits for it; its exit status, or -1.
int run_command(const std::string& command);

// Threads and open files of this process, and the shared-memory segments it created.
int32_t thread_count();
int32_t open_files();
int32_t shared_memory_segments();
