// Key buffer, key state and event queue of the graphics screen, and the key, mouse and sleep
// operations that the mode set installs in console_hooks.
#pragma once
#include <cstdint>

struct text;
struct event_record;

constexpr int32_t key_buffer_size = 16;
constexpr int32_t close_key = 0x6BFF; // the window's close button

// Process-wide key ring; it survives mode changes and holds at most 15 codes.
extern int32_t key_buffer[key_buffer_size];
extern int32_t key_head;
extern int32_t key_tail;
extern int32_t key_hit_flag; // 1 when a key was posted since the last read or sleep check

// Window side. post_key takes no lock (the window thread holds window_lock);
// post_event takes the screen's event_lock. A full ring drops its oldest entry.
void post_key(int32_t code);
void post_event(const event_record* record);

// Application side; each takes the screen lock around its access.
int32_t get_key();           // oldest code or 0, then clears key_hit_flag
int32_t take_key_hit();      // previous key_hit_flag, which becomes 0
int32_t key_hit_graphics();  // 1 when the ring is not empty; 0 with no screen
int32_t key_wait_graphics(); // waits (20 ms steps) for a code; 0 at once with no screen
text* key_read_text_graphics();
int32_t key_down(int32_t scancode); // -1 while down, else 0
void key_sleep(int32_t milliseconds);
int32_t mouse_read(int32_t* x, int32_t* y, int32_t* wheel, int32_t* buttons, int32_t* clip);
int32_t mouse_set(int32_t x, int32_t y, int32_t cursor, int32_t clip);
// Empties the key ring (for tests and a fresh start).
void key_buffer_clear();
