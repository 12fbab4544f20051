// Key-event translation shared by the console reader and the graphics window. The platform
// files supply key_code_of, which maps the virtual key to its character and calls this.
#pragma once
#include <cstdint>

// Control-key-state bits of a console key event.
constexpr uint32_t right_alt_pressed = 0x1;
constexpr uint32_t left_alt_pressed = 0x2;
constexpr uint32_t right_ctrl_pressed = 0x4;
constexpr uint32_t left_ctrl_pressed = 0x8;
constexpr uint32_t shift_pressed = 0x10;
constexpr uint32_t enhanced_key = 0x100;

// The translation proper. map_virtual_key(virtual_key) gives the character that the keyboard
// layout assigns to a virtual key (0 for none); it is called only for scan codes 0 to 88.
int32_t key_code_translate(int32_t character, int32_t scancode, int32_t virtual_key,
                           uint32_t control_state, int32_t no_fallback,
                           uint32_t (*map_virtual_key)(int32_t virtual_key));
