// Key buffer, key state and event queue of the graphics screen: the window's side, and the
// key operations that the mode set installs in console_hooks.
#pragma once
#include "gfx/input.h"

#include <cstdint>

struct text;

constexpr int32_t key_buffer_size = 16;

// Process-wide key ring; it survives mode changes and holds at most 15 codes.
extern int32_t key_buffer[key_buffer_size];
extern int32_t key_head;
extern int32_t key_tail;
extern int32_t key_hit_flag; // 1 when a key was posted since the last read or sleep check

// Window side. post_key takes no lock (the window thread holds window_lock);
// post_event takes the screen's event_lock. A full ring drops its oldest entry.
void post_key(int32_t code);
void post_event(const event_record* record);

// Program's side (with get_key and the rest of gfx/input.h); each takes the screen lock around
// its access. get_key also clears key_hit_flag.
int32_t take_key_hit();      // previous key_hit_flag, which becomes 0
int32_t key_hit_graphics();  // 1 when the ring is not empty; 0 with no screen
int32_t key_wait_graphics(); // waits (20 ms steps) for a code; 0 at once with no screen
text* key_read_text_graphics();
// Empties the key ring (for tests and a fresh start).
void key_buffer_clear();
