// The graphics screen: opening, changing and closing it, the window title, what the open screen
// is, the screen lock and dirty lines, and the pages. Program's thread.
#pragma once
#include <cstdint>

struct text;

// Mode flags: the flags argument of screen_res and screen_mode, passed on to the driver.
constexpr uint32_t fullscreen = 0x01;       // full screen instead of a window
constexpr uint32_t opengl = 0x02;           // an OpenGL window (gfx/win32/opengl.h); depth >= 16
constexpr uint32_t no_switch = 0x04;        // Alt+Enter does not switch window and full screen
constexpr uint32_t no_frame = 0x08;         // a window without a frame
constexpr uint32_t shaped_window = 0x10;    // shaped by a colour key; implies the two above
constexpr uint32_t always_on_top = 0x20;    // a topmost window
constexpr uint32_t alpha_primitives = 0x40; // 32-bit plotting blends colours of alpha < 255
constexpr uint32_t high_priority = 0x80;    // the window thread at a raised priority
constexpr uint32_t null_driver_request = 0xFFFFFFFFu; // -1: the null driver, no other flag

// Opens a screen of width x height pixels (1 to 2047 wide and high, as the text grid of 8 x 8
// cells has at most 255 columns and rows) at depth bits per pixel (1, 2, 4, 8, 15, 16, 24 or 32;
// 15 is kept as 16 and 24 as 32) with pages pages (below 1: one), closing any open screen first.
// refresh_rate (Hz, 0 for the display's own) is passed to the driver. The screen starts with
// every page in the background colour (0 at 8 bits and fewer, 0xFF000000 at 32), the
// foreground colour white (15 at 8 bits), the 8 x 8 font, the 256-entry default palette, work
// and visible page 0, and the text cursor at the top left. The driver: the one that the
// environment variable QXGFX names, if it starts; otherwise the first that starts of DirectX,
// GDI, OpenGL (Windows) or X11 (the native build, where DISPLAY names a reachable X server);
// the null driver when QXGFX is "null" or the build has no other. Each driver is tried at
// refresh_rate and at 0, then all again with fullscreen inverted. Returns 0; error 1 for a bad
// size or depth (nothing changes) or when no driver starts (the open screen is then closed, and
// the text console is in use). The first screen opened registers close_screen to run at exit.
int32_t screen_res(int32_t width, int32_t height, int32_t depth, int32_t pages, uint32_t flags,
                   int32_t refresh_rate);
// Opens numbered mode mode (1, 2, 7 to 21; see below) as screen_res does, or with mode 0 closes
// the screen and clears the text console to 80 x 25. For modes 14 to 21 a depth of 8, 15, 16,
// 24 or 32 replaces the mode's 8 bits; other modes keep their depth (depth 0: the mode's own).
// Returns 0, or error 1 for another mode number (nothing changes) or when no driver starts.
//   mode  size         depth  text grid  font    palette
//    1    320 x 200      2    40 x 25    8 x 8   16 (4 pixel values through a CGA map)
//    2    640 x 200      1    80 x 25    8 x 8   16 (black and white); lines shown twice
//    7    320 x 200      4    40 x 25    8 x 8   16
//    8    640 x 200      4    80 x 25    8 x 8   16; lines shown twice
//    9    640 x 350      4    80 x 25    8 x 14  64 (16 pixel values through a map)
//   10    640 x 350      1    80 x 25    8 x 14   2
//   11    640 x 480      1    80 x 30    8 x 16   2
//   12    640 x 480      4    80 x 30    8 x 16  256
//   13    320 x 200      8    40 x 25    8 x 8   256
//   14    320 x 240      8    40 x 30    8 x 8   256
//   15    400 x 300      8    50 x 37    8 x 8   256
//   16    512 x 384      8    64 x 24    8 x 16  256
//   17    640 x 400      8    80 x 25    8 x 16  256
//   18    640 x 480      8    80 x 30    8 x 16  256
//   19    800 x 600      8   100 x 37    8 x 16  256
//   20   1024 x 768      8   128 x 48    8 x 16  256
//   21   1280 x 1024     8   160 x 64    8 x 16  256
int32_t screen_mode(int32_t mode, int32_t depth, int32_t pages, uint32_t flags,
                    int32_t refresh_rate);
// screen_mode(mode, 0, 0, 0, 0), then, when that succeeds and a page number is not 0,
// page_set(work_page, visible_page). Returns the result of screen_mode.
int32_t screen_mode_pages(int32_t mode, int32_t work_page, int32_t visible_page);
// Sets the window title: the first 127 bytes of title, now and for every later screen (before
// any is set, the executable's name without its extension). Releases a temporary title.
// Returns 0.
int32_t set_window_title(text* title);
// The window title (empty until a screen is opened or a title set).
const char* window_title();
// Closes the open screen and its window; the text console is in use again (not cleared).
// Nothing when no screen is open. Runs at exit once a screen has been opened.
void close_screen();

// What the open screen is.
struct screen_info {
    int32_t mode;   // 1 to 21, or -1 for a screen opened by screen_res
    int32_t width;  // pixels
    int32_t height; // pixels
    int32_t depth;  // bits per pixel as stored: 1, 2, 4, 8, 16 or 32
    int32_t pages;
    int32_t work_page;    // where drawing goes
    int32_t visible_page; // what is shown
    const char* driver;   // "DirectX", "GDI", "OpenGL", "X11" or "Null"
};
// Fills info with the open screen's description and returns 0; with no screen open fills it
// with zeros (driver null) and returns error 1.
int32_t screen_describe(screen_info* info);

// The screen lock. Drawing operations take it themselves; a program takes it only around its
// own writes through screen_ptr, or to keep several operations from being shown half done. It
// is counted: the driver's window thread, which copies dirty lines of the visible page to the
// display, waits while the program holds it, so hold it briefly. Nothing with no screen open.
inline void screen_lock();
// Marks lines first to last of the visible page dirty (first below 0: 0; last below 0: the last
// line; (1, 0) marks nothing) when drawing goes to the visible page, then releases one level of
// the lock. Marked lines are copied to the display within about 10 ms.
inline void screen_unlock(int32_t first, int32_t last);
// Chooses the work page (where drawing and text go) and the visible page (what is shown); a
// number outside 0 to pages - 1 leaves that page as it is, and both negative mean 0 and 0.
// Showing another page marks every line dirty. Returns the previous pages as
// visible << 8 | work; -1 with no screen open.
int32_t page_set(int32_t work, int32_t visible);
// Copies the graphics view's rectangle and the text cells of page source (negative: the work
// page) to page destination (negative: the visible page), marking the copied lines dirty when
// the destination is shown. Under the OpenGL driver instead shows the frame drawn with OpenGL
// (gl_flip, then gl_poll_events). Returns 0; error 1 with no screen open or for a page number
// at or above the screen's pages.
int32_t page_copy(int32_t source, int32_t destination);
// The first byte of the work page's pixels, for a program that writes pixels itself: height
// lines of width pixels, bytes per pixel 1 (depths up to 8: one pixel value per byte), 2 (5:6:5)
// or 4 (0xAARRGGBB), no gap between lines. Write under screen_lock, then screen_unlock with the
// lines written. Null with no screen open. Valid until the screen is closed or changed.
uint8_t* screen_ptr();

// The inline lock works on the library's own record of the open screen.
#include "gfx/internal/gfx_context.h"
