// Keys of the graphics window, shared by the platform window layers: the virtual keys and their
// set-1 scan codes, which index key_state, and what a key message gives the key buffer and the
// event queue.
#pragma once
#include <cstdint>

// Virtual keys that the shared translation treats apart.
constexpr int32_t virtual_key_menu = 18; // Alt
constexpr int32_t virtual_key_f10 = 121;

// Virtual key to scan code: 86 keys, then a row whose scancode is 0.
struct scancode_row {
    uint8_t scancode;
    uint8_t first_virtual_key;
    uint8_t second_virtual_key; // 0 when none
};
constexpr int32_t scancode_table_size = 87;
extern const scancode_row scancode_table[scancode_table_size];
// Scan code of the first row naming vk, or 0.
int32_t scancode_of_virtual_key(int32_t vk);

// key_state of the open screen from a keyboard state (256 bytes by virtual key, top bit set
// while the key is down), one entry per row of the table.
void key_state_from_keyboard(const uint8_t* keys);

// A key message: type is event_key_pressed, event_key_repeated or event_key_released, code the
// key's translation (key_code_of). A press or repeat puts an extended code into the key buffer
// repeat times; then the key event is posted, unless the key is F10 or Alt, which would open the
// system menu, or the code is the close key, already in the buffer. Returns false when the
// message is swallowed so: no event, and no default handling either.
bool key_message(int32_t type, int32_t virtual_key, int32_t code, int32_t repeat);
