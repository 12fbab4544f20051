// Window layer shared by the display drivers: the window state, class and window creation,
// the window thread's start-up handshake and shutdown, the message pump, and the driver
// operations that several drivers have in common. The window procedure that the pump feeds
// is in window_procedure.cpp.
#pragma once
#include <windows.h>

#include <cstdint>

#include "gfx/blit/blit.h"
#include "gfx/internal/window_keys.h"

using set_layered_window_attributes_entry = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);
using monitor_from_window_entry = HMONITOR(WINAPI*)(HWND, DWORD);
using monitor_from_point_entry = HMONITOR(WINAPI*)(POINT, DWORD);
using flash_window_ex_entry = BOOL(WINAPI*)(PFLASHWINFO);
using track_mouse_event_entry = BOOL(WINAPI*)(LPTRACKMOUSEEVENT);

constexpr size_t class_name_size = 140;
constexpr char class_prefix[] = "qxgfxclass_";

// Cleared whole, with zero bytes, by every driver's init before anything else.
struct window_layer_state {
    int32_t os_version; // major * 256 + minor
    HINSTANCE instance;
    WNDCLASSA window_class;
    HWND hwnd;
    PALETTEENTRY palette[256];
    conversion_routine blitter; // null: the framebuffer is presented as it is
    HMONITOR monitor;
    int32_t running; // the window thread loops while nonzero; read through running_now()
    int32_t palette_changed;
    int32_t active; // the window is active and not minimised
    int32_t width;
    int32_t height; // framebuffer height times the scan-line size
    int32_t depth;  // at least 8
    uint32_t flags; // screen flags; fullscreen toggles with the switch
    int32_t refresh_rate;
    const char* title; // not copied
    char class_name[class_name_size];
    // Driver hooks.
    int32_t (*open_window)();
    void (*close_window)();
    void (*paint_window)();
    void (*window_thread)(HANDLE start_event);
    int32_t mouse_clipped;
    // USER32 entry points that older systems lack; null when missing.
    set_layered_window_attributes_entry set_layered_window_attributes;
    monitor_from_window_entry monitor_from_window;
    monitor_from_point_entry monitor_from_point;
    flash_window_ex_entry flash_window_ex;
    track_mouse_event_entry track_mouse_event; // the timer emulation when missing
};

// A growable character buffer for WM_CHAR conversion; capacity in characters.
template <typename T> struct conversion_buffer {
    T* data;
    int32_t capacity;
};

// Mouse and input tracking state; lives outside the cleared record.
struct window_input_state {
    int32_t mouse_x;
    int32_t mouse_y;
    int32_t mouse_wheel;
    int32_t mouse_hwheel;
    int32_t mouse_buttons; // 0x01 left, 0x02 right, 0x04 middle, 0x08 and 0x10 extra buttons
    int32_t previous_buttons;
    int32_t mouse_in_client;
    int32_t cursor_visible;
    int32_t mouse_tracking;
    int32_t last_cursor_x; // 0xFFFF: no move seen yet
    int32_t last_cursor_y;
    UINT enter_message;
    HANDLE window_thread_handle;
    BOOL saved_screensaver;
    conversion_buffer<wchar_t> wide_buffer;
    conversion_buffer<char> oem_buffer;
};

extern window_layer_state window_state;
extern window_input_state window_input;
// Entered by the window thread around each pass and by the program's thread through lock.
// Exists only while there is a window thread.
extern CRITICAL_SECTION window_lock;
// How window_start duplicates the window thread's handle (DuplicateHandle). Tests replace it
// to make the duplication fail.
extern decltype(&DuplicateHandle) window_duplicate_handle;

constexpr int32_t no_cursor_position = 0xFFFF;
constexpr UINT_PTR leave_timer_id = 2;

// Clears the window state (the first step of every driver's init).
void window_state_clear();
// Whether the window thread should keep looping (read across threads).
bool running_now();

// Starts the window layer: looks up the optional entry points, registers the class and, except
// in opengl mode, starts the driver's window thread and waits until it has opened its window
// or ended. 0 on success, -1 when the thread failed to open the window.
int32_t window_start(const char* title, int32_t width, int32_t height, int32_t depth,
                     int32_t refresh_rate, uint32_t flags);
// Stops the window thread, closes the presentation, restores the screen saver, unregisters the
// class and frees the cursor. Does nothing when the layer is not running.
void window_exit();

// Driver operations common to several drivers.
void lock();
void unlock();
void set_palette(int32_t index, int32_t red, int32_t green, int32_t blue);
void wait_vsync(); // sleep form: 1000 / refresh rate ms, 16 ms when the rate is unknown
int32_t get_mouse(int32_t* x, int32_t* y, int32_t* wheel, int32_t* buttons, int32_t* clip);
void set_mouse(int32_t x, int32_t y, int32_t cursor, int32_t clip);
void set_window_title(const char* title);
// Moves the window; 0x80000000 keeps a coordinate. Returns the previous position, left in the
// low 16 bits and top in the high 16 bits; 0 in fullscreen mode.
int32_t set_window_pos(int32_t x, int32_t y);

void get_desktop_info(int32_t* width, int32_t* height, int32_t* depth, int32_t* refresh);
// The display mode of the window's size and depth, for ChangeDisplaySettingsA; the refresh
// rate is passed but not named in dmFields, so the system keeps its own choice of rate.
DEVMODEA window_display_mode();
// The display's modes of a depth as width * 65536 + height, in the system's order, from
// EnumDisplaySettingsA; paired also takes 15 for 16, 24 for 32 and the other way round. A
// malloc'd list (null when empty) and its length; short of memory it stops with what it has.
int32_t* display_settings_modes(int32_t depth, bool paired, int32_t* count);
HWND get_window_handle();
// Creates the driver's window of the registered class; -1 when it cannot be created.
int32_t create_driver_window(DWORD style, DWORD ex_style, int32_t x, int32_t y, int32_t width,
                             int32_t height);
// Dispatches every waiting message of the graphics window.
void pump_messages();
void clip_cursor_to_client();

// Window procedure of the class (window_procedure.cpp).
LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
// Mouse-leave tracking by a 100 ms timer, for systems without TrackMouseEvent.
BOOL WINAPI track_mouse_event_emulation(LPTRACKMOUSEEVENT request);
void CALLBACK leave_check_timer(HWND window, UINT message, UINT_PTR timer_id, DWORD time);

// key_state from the keyboard state of the calling thread, one entry per row of the table: the
// window thread's pass (GDI) and the OpenGL driver's poll_events.
void refresh_key_state();
