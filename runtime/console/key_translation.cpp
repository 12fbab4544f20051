#include "runtime/console/key_translation.h"

#include <array>
#include <cctype>
#include <cstddef>

namespace {

// One row per scan code 0 to 88 (set 1): the key alone, with Shift, with Ctrl, with Alt.
// A value above 0xFF holds an extended code in its high byte; 0 means none in that column.
struct key_row {
    uint16_t normal, shift, ctrl, alt;
};

constexpr std::array<key_row, 89> key_table{{
    {0, 0, 0, 0},                     //  0
    {0, 0, 0, 0x0100},                //  1 Esc
    {0, 0, 0, 0x7800},                //  2 digit 1
    {0, 0, 0x0300, 0x7900},           //  3 digit 2
    {0, 0, 0, 0x7A00},                //  4 digit 3
    {0, 0, 0, 0x7B00},                //  5 digit 4
    {0, 0, 0, 0x7C00},                //  6 digit 5
    {0, 0, 0, 0x7D00},                //  7 digit 6
    {0, 0, 0, 0x8200},                //  8 digit 7: the same code as Alt+minus
    {0, 0, 0, 0x8300},                //  9 digit 8: the same code as Alt+equals
    {0, 0, 0, 0x8000},                // 10 digit 9
    {0, 0, 0, 0x8100},                // 11 digit 0
    {0, 0, 0, 0x8200},                // 12 minus
    {0, 0, 0, 0x8300},                // 13 equals
    {0, 0, 0, 0xE000},                // 14 Backspace
    {0, 0x0F00, 0x9400, 0x0F00},      // 15 Tab
    {0, 0, 0, 0x1000},                // 16 Q
    {0, 0, 0, 0x1100},                // 17 W
    {0, 0, 0, 0x1200},                // 18 E
    {0, 0, 0, 0x1300},                // 19 R
    {0, 0, 0, 0x1400},                // 20 T
    {0, 0, 0, 0x1500},                // 21 Y
    {0, 0, 0, 0x1600},                // 22 U
    {0, 0, 0, 0x1700},                // 23 I
    {0, 0, 0, 0x1800},                // 24 O
    {0, 0, 0, 0x1900},                // 25 P
    {0, 0, 0, 0x1A00},                // 26 [
    {0, 0, 0, 0x1B00},                // 27 ]
    {0, 0, 0, 0x1C00},                // 28 Enter
    {0, 0, 0, 0},                     // 29 Ctrl
    {0, 0, 0, 0x1E00},                // 30 A
    {0, 0, 0, 0x1F00},                // 31 S
    {0, 0, 0, 0x2000},                // 32 D
    {0, 0, 0, 0x2100},                // 33 F
    {0, 0, 0, 0x2200},                // 34 G
    {0, 0, 0, 0x2300},                // 35 H
    {0, 0, 0, 0x2400},                // 36 J
    {0, 0, 0, 0x2500},                // 37 K
    {0, 0, 0, 0x2600},                // 38 L
    {0, 0, 0, 0x2700},                // 39 ;
    {0, 0, 0, 0x2800},                // 40 ' (quote)
    {0, 0, 0, 0x2900},                // 41 ` (back quote)
    {0, 0, 0, 0},                     // 42 left Shift
    {0, 0, 0, 0},                     // 43 backslash
    {0, 0, 0, 0x2C00},                // 44 Z
    {0, 0, 0, 0x2D00},                // 45 X
    {0, 0, 0, 0x2E00},                // 46 C
    {0, 0, 0, 0x2F00},                // 47 V
    {0, 0, 0, 0x3000},                // 48 B
    {0, 0, 0, 0x3100},                // 49 N
    {0, 0, 0, 0x3200},                // 50 M
    {0, 0, 0, 0x3300},                // 51 , (comma)
    {0, 0, 0, 0x3400},                // 52 . (full stop)
    {0, 0, 0, 0x3500},                // 53 / (slash)
    {0, 0, 0, 0},                     // 54 right Shift
    {0, 0, 0, 0},                     // 55 keypad *
    {0, 0, 0, 0},                     // 56 Alt
    {0, 0, 0, 0},                     // 57 space
    {0, 0, 0, 0},                     // 58 Caps Lock
    {0x3B00, 0x5400, 0x5E00, 0x6800}, // 59 F1
    {0x3C00, 0x5500, 0x5F00, 0x6900}, // 60 F2
    {0x3D00, 0x5600, 0x6000, 0x6A00}, // 61 F3
    {0x3E00, 0x5700, 0x6100, 0x6B00}, // 62 F4
    {0x3F00, 0x5800, 0x6200, 0x6C00}, // 63 F5
    {0x4000, 0x5900, 0x6300, 0x6D00}, // 64 F6
    {0x4100, 0x5A00, 0x6400, 0x6E00}, // 65 F7
    {0x4200, 0x5B00, 0x6500, 0x6F00}, // 66 F8
    {0x4300, 0x5C00, 0x6600, 0x7000}, // 67 F9
    {0x4400, 0x5D00, 0x6700, 0x7100}, // 68 F10
    {0, 0, 0, 0},                     // 69 Num Lock
    {0, 0, 0, 0},                     // 70 Scroll Lock
    {0x4700, 0, 0x7700, 0},           // 71 keypad 7 / Home
    {0x4800, 0, 0x8D00, 0},           // 72 keypad 8 / Up
    {0x4900, 0, 0x8400, 0},           // 73 keypad 9 / Page Up
    {0, 0, 0, 0},                     // 74 keypad -
    {0x4B00, 0, 0x7300, 0},           // 75 keypad 4 / Left
    {0x4C00, 0, 0x8F00, 0x4C00},      // 76 keypad 5
    {0x4D00, 0, 0x7400, 0},           // 77 keypad 6 / Right
    {0, 0, 0, 0},                     // 78 keypad +
    {0x4F00, 0, 0x7500, 0},           // 79 keypad 1 / End
    {0x5000, 0, 0x9100, 0},           // 80 keypad 2 / Down
    {0x5100, 0, 0x7600, 0},           // 81 keypad 3 / Page Down
    {0x5200, 0, 0x9200, 0},           // 82 keypad 0 / Insert
    {0x5300, 0, 0x9300, 0},           // 83 keypad . / Delete
    {0, 0, 0, 0},                     // 84
    {0, 0, 0, 0},                     // 85
    {0, 0, 0, 0},                     // 86
    {0x8500, 0x8700, 0x8900, 0x8B00}, // 87 F11
    {0x8600, 0x8800, 0x8A00, 0x8C00}, // 88 F12
}};

// Keys the console flags as enhanced and that carry no character. Here a value of 0xFF or
// less is the code itself, a larger one an extended code, 0 no key.
struct enhanced_key_row {
    uint16_t scancode, normal, shift, ctrl, alt;
};

constexpr std::array<enhanced_key_row, 12> enhanced_key_table{{
    {28, 13, 13, 10, 0xA600},             // keypad Enter
    {53, 47, 63, 0x9500, 0xA400},         // keypad /
    {71, 0x4700, 0x4700, 0x7700, 0x9700}, // Home
    {72, 0x4800, 0x4800, 0x8D00, 0x9800}, // Up
    {73, 0x4900, 0x4900, 0x8400, 0x9900}, // Page Up
    {75, 0x4B00, 0x4B00, 0x7300, 0x9B00}, // Left
    {77, 0x4D00, 0x4D00, 0x7400, 0x9D00}, // Right
    {79, 0x4F00, 0x4F00, 0x7500, 0x9F00}, // End
    {80, 0x5000, 0x5000, 0x9100, 0xA000}, // Down
    {81, 0x5100, 0x5100, 0x7600, 0xA100}, // Page Down
    {82, 0x5200, 0x5200, 0x9200, 0xA200}, // Insert
    {83, 0x5300, 0x5300, 0x9300, 0xA300}, // Delete
}};

constexpr int32_t extended(uint32_t value) {
    return static_cast<int32_t>((value & 0xFF00) | 0xFF);
}

int32_t enhanced_code(int32_t scancode, uint32_t alt, uint32_t ctrl, uint32_t shift) {
    for (const enhanced_key_row& row : enhanced_key_table) {
        if (row.scancode != scancode) continue;
        uint32_t value = row.normal;
        if (alt || ctrl || shift) {
            value = alt ? row.alt : ctrl ? row.ctrl : row.shift;
            if (value == 0) return -1;
        }
        return value <= 0xFF ? static_cast<int32_t>(value) : extended(value);
    }
    return -1;
}

// The other case of a layout character, judged by the C library's classification for the
// current locale; characters outside one byte have no case here.
uint32_t other_case(uint32_t k) {
    if (k > 0xFF) return k;
    int c = static_cast<int>(k);
    if (std::isupper(c)) return static_cast<uint32_t>(std::tolower(c));
    if (std::islower(c)) return static_cast<uint32_t>(std::toupper(c));
    return k;
}

} // namespace

int32_t key_code_translate(int32_t character, int32_t scancode, int32_t virtual_key,
                           uint32_t control_state, int32_t no_fallback,
                           uint32_t (*map_virtual_key)(int32_t virtual_key)) {
    uint32_t c = static_cast<uint32_t>(character) & 0xFF;
    uint32_t alt = control_state & (right_alt_pressed | left_alt_pressed);
    uint32_t ctrl = control_state & (right_ctrl_pressed | left_ctrl_pressed);
    uint32_t shift = control_state & shift_pressed;

    if (c == 0 && (control_state & enhanced_key)) return enhanced_code(scancode, alt, ctrl, shift);

    bool is_extended = false;
    uint32_t value = 0;
    if (scancode >= 0 && scancode <= 88) {
        uint32_t k = map_virtual_key(virtual_key) & 0xFFFF;
        uint32_t k2 = other_case(k);
        const key_row& row = key_table[static_cast<size_t>(scancode)];
        value = alt ? row.alt : ctrl ? row.ctrl : shift ? row.shift : c != 0 ? k : row.normal;
        // A character that the layout does not give this key (AltGr combinations) stays a
        // character rather than becoming the key's extended code.
        is_extended = value > 0xFF && (c == k || c == k2);
    }
    if (is_extended) return extended(value);
    if (no_fallback == 0 && c != 0) return static_cast<int32_t>(c);
    return -1;
}
