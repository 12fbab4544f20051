// The 512-slot ring of console key codes and the close-key mailbox. The ring belongs to the
// thread that polls the console; other threads (the console control handler, a hang-up
// signal) only post the close key, which the next poll moves into the ring.
#pragma once
#include <cstdint>

constexpr int32_t close_key = 0x6BFF;

// Appends code; when the ring is full the oldest code is dropped. Sets the key-hit flag.
void console_key_store(int32_t code);
// Removes and returns the oldest code, or -1 when the ring is empty.
int32_t console_key_take();
// 1 when a code has been stored since the flag was last cleared.
int32_t console_key_hit_flag();
void console_key_hit_clear();

// Safe from any thread and from a signal handler: counts one close key for the next drain.
void console_close_post();
// Stores every posted close key into the ring; run by the polling thread.
void console_close_drain();
