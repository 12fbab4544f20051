// X11 display driver of the native build: the window state that its rooms share (the driver and
// its operations, the window thread, the event handling, the key translation) and what they
// call in each other. The driver record is x11_driver (gfx/screen.h).
#pragma once
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

#include <cstdint>

#include "gfx/blit/blit.h"

struct os_semaphore;
struct os_thread;

// The image the window thread puts: the framebuffer's size times the whole-multiple scale.
struct x11_image {
    XImage* image; // null while there is none
    XShmSegmentInfo segment;
    bool shared; // in a shared-memory segment (XShmPutImage), else plain (XPutImage)
};

// Atoms of the window manager protocols the window takes part in.
struct x11_atoms {
    Atom wm_protocols;
    Atom wm_delete_window;
    Atom net_wm_state;
    Atom net_wm_state_fullscreen;
    Atom net_wm_state_above;
    Atom net_wm_pid;
    Atom net_supporting_wm_check;
    Atom motif_wm_hints;
};

// Cleared whole by init, like the Windows drivers' window state.
struct x11_window_state {
    Display* display;
    Visual* visual;
    int visual_depth;
    Window window;
    GC gc;
    Cursor blank_cursor; // made on the first hide
    x11_atoms atoms;
    conversion_routine blitter;
    int32_t bytes_per_pixel; // of the display format
    // The framebuffer converted, one display row per framebuffer row, when the window shows it
    // scaled; null at scale 1, where the conversion writes into the image itself.
    uint8_t* converted;
    int32_t converted_pitch;
    x11_image shown;
    int32_t width; // framebuffer size on the display: height is lines times the scan-line size
    int32_t height;
    int32_t window_width;
    int32_t window_height;
    int32_t scale;    // whole multiple, at least 1
    int32_t offset_x; // where the scaled framebuffer starts in the window (centred)
    int32_t offset_y;
    uint32_t flags; // screen flags; fullscreen toggles with Alt+Enter
    const char* title;
    int32_t running;      // the window thread loops while nonzero; read through x11_running()
    int32_t start_result; // what opening the window gave, for init
    os_semaphore* started;
    os_thread* thread;
    bool repaint;   // the whole image is to be put again (exposed, or made anew)
    int32_t active; // the window has the keyboard focus
    // Mouse state, in framebuffer pixels.
    int32_t mouse_x;
    int32_t mouse_y;
    int32_t mouse_wheel;
    int32_t mouse_hwheel;
    int32_t mouse_buttons; // 0x01 left, 0x02 right, 0x04 middle, 0x08 and 0x10 extra buttons
    int32_t mouse_in_client;
    int32_t cursor_visible;
    int32_t mouse_clipped;
    bool moved_before; // last_root_x and last_root_y hold a position
    int32_t last_root_x;
    int32_t last_root_y;
    uint32_t last_press_time; // for double clicks
    int32_t last_press_button;
    // Keys held, by X key code, and the virtual key each went down as.
    uint8_t keycode_down[256];
    uint8_t keycode_virtual_key[256];
};

extern x11_window_state x11_state;

// Whether images may go through shared memory (MIT-SHM). Tests clear it to take the plain path
// that a remote display takes.
extern bool x11_shared_memory_allowed;

// The window thread's passes and puts since the process started, and the display rows of the
// last put.
struct x11_present_record {
    uint32_t passes;
    uint32_t puts;
    int32_t last_top;
    int32_t last_rows;
};
x11_present_record x11_presents();

// The lock of the screen (x11_window_lock.cpp): the program's side is the driver's lock and
// unlock, the window thread's side its own pair. Chosen by init, before the window thread runs.
void x11_choose_lock();
void x11_lock();
void x11_unlock();
void x11_window_lock();
void x11_window_unlock();

bool x11_running();
// The monotonic clock in nanoseconds, and a sleep until a time of it.
int64_t x11_now();
void x11_sleep_until(int64_t time);

// The window thread (x11_window_thread.cpp): opens the window, signals init, then presents and
// handles the window's events every 10 ms until running is cleared.
void x11_window_thread(void* argument);
// Releases what the window thread opened: image, segment, window, display connection.
void x11_close_window();
// The window's size changed: a new scale, and a new image when the scale is new. Under the lock.
void x11_window_resized(int32_t width, int32_t height);
// Alt+Enter: between a window and the whole screen, unless the screen has no_switch.
void x11_fullscreen_switch();
// Marks every framebuffer line dirty. Under the lock.
void x11_mark_all_dirty();

// One X event into the key buffer, key_state, the event queue and the mouse state
// (x11_events.cpp). Under the lock.
void x11_handle_event(XEvent* event);

// A key event's virtual key, set-1 scan code and typed character (x11_key_translation.cpp).
struct x11_key {
    int32_t virtual_key;
    int32_t scancode; // as a PC keyboard sends the key
    bool extended;    // a key of the extended block (grey arrows, right Ctrl and Alt ...)
    bool has_character;
    int32_t character;     // the typed byte (Latin-1), as the translation takes it
    int32_t character_437; // the same in code page 437, signed, as the key buffer takes it
};
x11_key x11_key_of(XKeyEvent* event);
