// DirectDraw driver: presents the framebuffer through IDirectDraw2 surfaces and reads the
// keyboard through DirectInput. Both libraries are loaded at run time, so the program starts
// without them and the driver's init simply fails. Its record is directdraw_driver
// (gfx/screen.h).
#pragma once
#define DIRECTINPUT_VERSION 0x0300
#include <windows.h>
// After windows.h, which they need.
#include <ddraw.h>
#include <dinput.h>

#include <atomic>
#include <cstdint>

#include "gfx/win32/window_layer.h"

// The driver's own state, besides the window state of the window layer.
struct ddraw_driver_state {
    HMODULE ddraw_library;
    HMODULE dinput_library;
    IDirectDraw2* direct_draw;
    IDirectDrawSurface* primary_surface;
    // Receives the framebuffer: the primary surface in fullscreen mode, an off-screen surface
    // of width x height in windowed mode.
    IDirectDrawSurface* target_surface;
    IDirectDrawClipper* clipper;       // windowed mode
    IDirectDrawPalette* ddraw_palette; // 8-bit displays
    IDirectInputA* direct_input;
    IDirectInputDeviceA* keyboard_device;
    // Outer position of the window in windowed mode; kept across a fullscreen switch.
    int32_t window_x;
    int32_t window_y;
    // Display rows above framebuffer row 0 when fullscreen had to use a taller mode.
    int32_t y_offset;
    int32_t vsync_requested; // set by ddraw_wait_vsync, cleared by the window thread
    HANDLE vsync_event;      // manual reset; signalled when the vertical blank has begun
    // Window thread only. The next pass blits the whole surface: set by opening, restoring,
    // a palette change; cleared by every whole blit (ddraw_paint).
    int32_t whole_blit_pending;
    RECT blitted_client; // the client area, on the screen, of the last whole blit
    // Window thread only. Set when the display mode changed under the driver: the presentation
    // is built anew by a later pass, at recreation_tick or after it. Cleared by a successful
    // opening.
    int32_t recreation_pending;
    DWORD recreation_tick;
};
extern ddraw_driver_state ddraw_state;

// The driver's init: -1 for opengl and shaped_window screens; otherwise centres the window
// and starts the window layer with depths below 8 raised to 8.
int32_t ddraw_init(const char* title, int32_t width, int32_t height, int32_t depth,
                   int32_t refresh_rate, uint32_t flags);
// Waits for the start of the vertical blank; the window thread's next copy follows it.
void ddraw_wait_vsync();
// Display modes of exactly the given depth (16-bit modes with a 5-bit green count as 15) as
// width * 65536 + height; the caller frees the array. Null and count 0 when there is none.
// Works with the driver closed too, loading DirectDraw for the call.
int32_t* ddraw_fetch_modes(int32_t depth, int32_t* count);

// Window-layer hooks, run in the window thread.
int32_t ddraw_open_window();
void ddraw_close_window();
void ddraw_paint();
void ddraw_window_thread(HANDLE start_event);
// What restore_lost_surfaces found. restored: the surfaces' contents are gone, so every line was
// marked dirty and a whole blit is due. lost: they cannot be used now (another program holds
// the display, or its mode changed and the presentation waits to be built anew); a later pass
// tries again.
enum class surface_state { intact, restored, lost };
// Restores lost surfaces before a lock or a blit, once: it never waits, so that it may run
// inside window_lock, from the window procedure too.
surface_state restore_lost_surfaces();

// A display format as the conversions name it: depth 15 for a 16-bit format with a 5-bit green,
// rgb_order 1 when red takes the low bits.
struct display_format {
    int32_t depth;
    int32_t rgb_order;
};
display_format display_format_of(const DDPIXELFORMAT& format);

// Passes of the window thread that converted the framebuffer into the surface and blitted it,
// since the process started (the benchmarks' presents per second).
uint32_t ddraw_present_count();

// Fullscreen: sets the requested mode or the nearest usable one (paired depth, then taller
// heights up to 1024) and returns the rows above framebuffer row 0, or -1 when none is usable.
int32_t set_fullscreen_mode(int32_t width, int32_t height, int32_t depth, int32_t refresh_rate);
// The DirectDraw device of the window layer's monitor, into device; false for the default.
bool device_of_monitor(HMODULE ddraw_library, GUID* device);

// DirectInput keyboard: the device with the 256-key data format, acquired; -1 on failure.
int32_t open_keyboard();
void close_keyboard();
// key_state from the device's state, written under window_lock; a lost device is acquired
// again instead.
void refresh_key_state_from_device();

// How the driver takes and drops its references to ddraw.dll and dinput.dll. Tests count them:
// Wine never unloads ddraw.dll, so a reference dropped too early shows nowhere else.
struct ddraw_system_calls {
    HMODULE(WINAPI* load_library)(LPCSTR name);
    BOOL(WINAPI* free_library)(HMODULE module);
};
extern const ddraw_system_calls ddraw_platform_calls; // the system's own
extern ddraw_system_calls ddraw_system;               // what the driver calls
// An IDirectDraw2 object on the device (null: the default one) from the library; null when
// it cannot be had.
IDirectDraw2* create_direct_draw(HMODULE ddraw_library, GUID* device);

// Test seams, null in the program. The first answers SetDisplayMode requests instead of the
// display. The second sees each call named below before it is made (subject: the interface it
// is made on) and answers in its place with a nonzero result; pixel_format is shown after
// GetPixelFormat, with the DDPIXELFORMAT as subject, which the seam may change.
struct display_mode_request {
    int32_t width;
    int32_t height;
    int32_t depth;
    int32_t refresh_rate;
    uint32_t flags;
};
enum class ddraw_call {
    is_lost,             // primary or target surface, in the passes
    restore,             // the same
    lock,                // target surface, to convert the framebuffer into it
    blt,                 // primary surface, windowed presentation
    fill,                // primary surface, blanked before a fullscreen close
    restore_display,     // IDirectDraw2, RestoreDisplayMode at a fullscreen close
    wait_vertical_blank, // IDirectDraw2, from ddraw_wait_vsync
    enum_display_modes,  // IDirectDraw2, from ddraw_fetch_modes
    query_interface,     // IDirectDraw, for IDirectDraw2
    create_direct_input, // the DirectInputCreateA export (subject null)
    pixel_format,        // the primary surface's format
    create_keyboard,     // IDirectInputA, CreateDevice
    get_device_state,    // the keyboard device, in the passes
    acquire,             // the keyboard device, after GetDeviceState found it lost
};
using display_mode_answer = HRESULT (*)(const display_mode_request& request);
using ddraw_answer = HRESULT (*)(ddraw_call call, void* subject);
extern std::atomic<display_mode_answer> display_mode_seam;
extern std::atomic<ddraw_answer> ddraw_seam;
// The seam's answer for a call, DD_OK (make the call) when there is no seam.
HRESULT ddraw_seam_answer(ddraw_call call, void* subject);
