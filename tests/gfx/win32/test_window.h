// Helpers of the window and GDI tests: a graphics context built by hand around a real GDI
// window, real messages, and the X display read back with xwd.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "gfx/internal/gfx_context.h"
#include "tests/gfx/screenshot.h"

// Builds a context of width x height pixels at the given depth (1 to 32; stored as the mode set
// stores it), makes it the open screen and starts the GDI driver on it. Returns the driver's
// init result; the context stays open either way until close_test_screen.
int32_t open_test_screen(int32_t width, int32_t height, int32_t depth, uint32_t flags = 0,
                         int32_t scanline_size = 1, const char* title = "win32_tests");
// The same on another driver.
int32_t open_test_screen_on(const display_driver& driver, int32_t width, int32_t height,
                            int32_t depth, uint32_t flags = 0);
// Stops the screen's driver and frees the context.
void close_test_screen();

// Empties the key ring and the event queue.
void drain_input();
std::vector<event_record> take_events();

// Lets the window thread run a few passes.
void settle(DWORD milliseconds = 120);

// Threads of this process.
int32_t thread_count();
// Waits up to 10 s for the threads to fall to count: threads told to end without being
// joined, and Wine's own helper threads, end soon after.
void wait_for_thread_count(int32_t count);

// Runs a command of the host system (through /bin/sh) and waits for it; its exit code, or -1.
int run_host_command(const std::string& command);
bool host_tool_available(const char* name);

// A host path as Wine shows it: drive Z: is the host's root.
std::string windows_path(const char* host_path);

// The X display, read back with xwd.
screenshot take_screenshot();

// Screen position of a client point of the graphics window.
POINT client_to_screen(int32_t x, int32_t y);
// Colour at a client point in a screenshot.
uint32_t client_pixel(const screenshot& shot, int32_t x, int32_t y);
// Whether two colours differ by at most tolerance in each channel.
bool near_colour(uint32_t a, uint32_t b, int32_t tolerance = 8);
