// Input on the graphics screen besides keys as text: key codes one at a time, the state of
// single keys, the mouse, the event queue, and sleeping until a key. The screen's window thread
// fills the key buffer, the key state and the event queue; these read them on the program's
// thread.
#pragma once
#include <cstdint>

// The key code of the window's close button (read as text: 255 then "k").
constexpr int32_t close_key = 0x6BFF;

// An event of the screen's window: a type and four fields whose meaning depends on the type.
struct event_record {
    int32_t type;
    int32_t field[4];
};
static_assert(sizeof(event_record) == 20);

enum event_type : int32_t {
    event_key_pressed = 1,           // scan code, character (0 for an extended key)
    event_key_released = 2,          // scan code, character
    event_key_repeated = 3,          // scan code, character (auto-repeat)
    event_mouse_moved = 4,           // x, y (window pixels), dx, dy since the last move
    event_button_pressed = 5,        // button: 1 left, 2 right, 4 middle, 8 and 16 the extras
    event_button_released = 6,       // button
    event_button_double_clicked = 7, // button
    event_wheel = 8,                 // the wheel's new position
    event_mouse_entered = 9,
    event_mouse_left = 10,
    event_focus_gained = 11,
    event_focus_lost = 12,
    event_close = 13,            // the window's close button
    event_horizontal_wheel = 14, // the horizontal wheel's new position
};

// The oldest code in the screen's key buffer, removed; 0 when none waits. The buffer (15 codes,
// the oldest dropped when full) belongs to the process: it survives a mode change, and keys
// left in it can be read with no screen open. Codes as key_read_text's (runtime/key_input.h).
// Never waits.
int32_t get_key();
// -1 while the key of set-1 scan code scancode (0 to 127: 1 Escape, 28 Enter, 57 space, 72 up,
// 75 left, 77 right, 80 down) is held down in the screen's window, else 0; 0 with no screen
// open or another scan code.
int32_t key_down(int32_t scancode);
// Sleeps milliseconds: -1 until a key is typed in the screen's window; 100 or more at most that
// long, ending within 50 ms of a key typed; below 100 (and above 0) that long, keys or not. A
// key typed since the last key was read ends -1 and 100 or more at once. With no screen open
// no key comes, so -1 waits for ever.
void key_sleep(int32_t milliseconds);
// Reads the mouse in window pixels: x, y, the wheel's position, the buttons held (1 left,
// 2 right, 4 middle) and whether the pointer is clipped to the window (1) or not (0). wheel,
// buttons and clip may be null. Returns 0; error 1 (every output -1) with no screen open, with
// a driver that has no mouse (the null driver), or while the window is inactive or the pointer
// outside it.
int32_t mouse_read(int32_t* x, int32_t* y, int32_t* wheel, int32_t* buttons, int32_t* clip);
// Moves the pointer to x, y (window pixels; x negative: where it is), shows (1) or hides (0)
// it (negative: as it is) and clips it to the window (1) or frees it (0; negative: as it is).
// Returns 0; error 1 with no screen open or a driver without a mouse.
int32_t mouse_set(int32_t x, int32_t y, int32_t cursor, int32_t clip);
// Takes the oldest event of the screen's queue into *record and returns 1; 0 (record untouched)
// when the queue is empty or no screen is open. The queue holds 127 events, the oldest dropped
// when full, and starts empty with every mode set.
int32_t get_event(event_record* record);
