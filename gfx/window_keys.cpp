// Virtual keys to the PC keyboard's set-1 scan codes, which index key_state; key_state from the
// keyboard state; and the key buffer and event of a key message.
#include "gfx/internal/window_keys.h"

#include "gfx/internal/gfx_context.h"
#include "gfx/internal/input_state.h"

// {scancode, first virtual key, second virtual key or 0}
constexpr scancode_row scancode_table[scancode_table_size] = {
    {1, 27, 0},     // Escape
    {2, 49, 0},     // 1
    {3, 50, 0},     // 2
    {4, 51, 0},     // 3
    {5, 52, 0},     // 4
    {6, 53, 0},     // 5
    {7, 54, 0},     // 6
    {8, 55, 0},     // 7
    {9, 56, 0},     // 8
    {10, 57, 0},    // 9
    {11, 48, 0},    // 0
    {12, 189, 109}, // OEM minus, keypad subtract
    {13, 187, 0},   // OEM plus
    {14, 8, 0},     // Backspace
    {15, 9, 0},     // Tab
    {16, 81, 0},    // Q
    {17, 87, 0},    // W
    {18, 69, 0},    // E
    {19, 82, 0},    // R
    {20, 84, 0},    // T
    {21, 89, 0},    // Y
    {22, 85, 0},    // U
    {23, 73, 0},    // I
    {24, 79, 0},    // O
    {25, 80, 0},    // P
    {26, 219, 0},   // OEM 4
    {27, 221, 0},   // OEM 6
    {28, 13, 0},    // Return
    {29, 17, 0},    // Control
    {30, 65, 0},    // A
    {31, 83, 0},    // S
    {32, 68, 0},    // D
    {33, 70, 0},    // F
    {34, 71, 0},    // G
    {35, 72, 0},    // H
    {36, 74, 0},    // J
    {37, 75, 0},    // K
    {38, 76, 0},    // L
    {39, 186, 0},   // OEM 1
    {40, 222, 0},   // OEM 7
    {41, 192, 0},   // OEM 3
    {42, 16, 0},    // Shift (left)
    {43, 220, 0},   // OEM 5
    {44, 90, 0},    // Z
    {45, 88, 0},    // X
    {46, 67, 0},    // C
    {47, 86, 0},    // V
    {48, 66, 0},    // B
    {49, 78, 0},    // N
    {50, 77, 0},    // M
    {51, 188, 0},   // OEM comma
    {52, 190, 0},   // OEM period
    {53, 191, 111}, // OEM 2, keypad divide
    {54, 16, 0},    // Shift (right)
    {55, 106, 0},   // keypad multiply
    {56, 18, 0},    // Alt
    {57, 32, 0},    // Space
    {58, 20, 0},    // Caps Lock
    {59, 112, 0},   // F1
    {60, 113, 0},   // F2
    {61, 114, 0},   // F3
    {62, 115, 0},   // F4
    {63, 116, 0},   // F5
    {64, 117, 0},   // F6
    {65, 118, 0},   // F7
    {66, 119, 0},   // F8
    {67, 120, 0},   // F9
    {68, 121, 0},   // F10
    {69, 144, 0},   // Num Lock
    {70, 145, 0},   // Scroll Lock
    {71, 36, 103},  // Home, keypad 7
    {72, 38, 104},  // Up, keypad 8
    {73, 33, 105},  // Page Up, keypad 9
    {75, 37, 100},  // Left, keypad 4
    {77, 39, 102},  // Right, keypad 6
    {78, 107, 0},   // keypad add
    {79, 35, 97},   // End, keypad 1
    {80, 40, 98},   // Down, keypad 2
    {81, 34, 99},   // Page Down, keypad 3
    {82, 45, 96},   // Insert, keypad 0
    {83, 46, 110},  // Delete, keypad decimal
    {87, 122, 0},   // F11
    {88, 123, 0},   // F12
    {91, 91, 0},    // left Windows key
    {92, 92, 0},    // right Windows key
    {93, 93, 0},    // Applications
    {0, 0, 0},
};

int32_t scancode_of_virtual_key(int32_t vk) {
    if (vk <= 0 || vk > 255) return 0;
    for (const scancode_row* row = scancode_table; row->scancode != 0; ++row) {
        if (row->first_virtual_key == vk || row->second_virtual_key == vk) return row->scancode;
    }
    return 0;
}

void key_state_from_keyboard(const uint8_t* keys) {
    if (!gfx_screen) return;
    for (const scancode_row* row = scancode_table; row->scancode != 0; ++row) {
        bool down = (keys[row->first_virtual_key] & 0x80) != 0;
        if (row->second_virtual_key) down = down || (keys[row->second_virtual_key] & 0x80) != 0;
        gfx_screen->key_state[row->scancode] = down ? 1 : 0;
    }
}

bool key_message(int32_t type, int32_t virtual_key, int32_t code, int32_t repeat) {
    if (type != event_key_released && code > 255)
        for (int32_t i = 0; i < repeat; ++i)
            post_key(code);
    if (virtual_key == virtual_key_f10 || virtual_key == virtual_key_menu || code == close_key)
        return false;
    if (gfx_screen) {
        const event_record event{
            type,
            {scancode_of_virtual_key(virtual_key), (code >= 0 && code <= 255) ? code : 0, 0, 0}};
        post_event(&event);
    }
    return true;
}
