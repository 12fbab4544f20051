// X key events as the Windows builds see keys: the virtual key and set-1 scan code that the shared
// translation (key_code_of) and the scan-code table take, and the typed character, in code page
// 437 for the key buffer.
#include <X11/keysym.h>

#include "gfx/internal/window_keys.h"
#include "gfx/x11/x11_driver.h"

namespace {

// Keys without a Latin-1 character: {keysym, virtual key, scan code, extended}, as a PC keyboard
// and the Windows builds give them.
struct keysym_key {
    uint32_t keysym;
    uint8_t virtual_key;
    uint8_t scancode;
    bool extended;
};

// clang-format off
constexpr keysym_key keysym_keys[] = {
    {XK_BackSpace,    8, 14, false},
    {XK_Tab,          9, 15, false},
    {XK_Return,      13, 28, false},
    {XK_Pause,       19, 69, false},
    {XK_Scroll_Lock, 145, 70, false},
    {XK_Escape,      27,  1, false},
    {XK_Home,        36, 71, true},
    {XK_Left,        37, 75, true},
    {XK_Up,          38, 72, true},
    {XK_Right,       39, 77, true},
    {XK_Down,        40, 80, true},
    {XK_Prior,       33, 73, true},
    {XK_Next,        34, 81, true},
    {XK_End,         35, 79, true},
    {XK_Print,       44, 55, true},
    {XK_Insert,      45, 82, true},
    {XK_Menu,        93, 93, true},
    {XK_Num_Lock,   144, 69, true},
    {XK_KP_Enter,    13, 28, true},
    {XK_KP_Home,     36, 71, false},
    {XK_KP_Left,     37, 75, false},
    {XK_KP_Up,       38, 72, false},
    {XK_KP_Right,    39, 77, false},
    {XK_KP_Down,     40, 80, false},
    {XK_KP_Prior,    33, 73, false},
    {XK_KP_Next,     34, 81, false},
    {XK_KP_End,      35, 79, false},
    {XK_KP_Begin,    12, 76, false},
    {XK_KP_Insert,   45, 82, false},
    {XK_KP_Delete,   46, 83, false},
    {XK_KP_Multiply, 106, 55, false},
    {XK_KP_Add,     107, 78, false},
    {XK_KP_Subtract, 109, 74, false},
    {XK_KP_Decimal, 110, 83, false},
    {XK_KP_Divide,  111, 53, true},
    {XK_KP_0,        96, 82, false},
    {XK_KP_1,        97, 79, false},
    {XK_KP_2,        98, 80, false},
    {XK_KP_3,        99, 81, false},
    {XK_KP_4,       100, 75, false},
    {XK_KP_5,       101, 76, false},
    {XK_KP_6,       102, 77, false},
    {XK_KP_7,       103, 71, false},
    {XK_KP_8,       104, 72, false},
    {XK_KP_9,       105, 73, false},
    {XK_F1,         112, 59, false},
    {XK_F2,         113, 60, false},
    {XK_F3,         114, 61, false},
    {XK_F4,         115, 62, false},
    {XK_F5,         116, 63, false},
    {XK_F6,         117, 64, false},
    {XK_F7,         118, 65, false},
    {XK_F8,         119, 66, false},
    {XK_F9,         120, 67, false},
    {XK_F10,        121, 68, false},
    {XK_F11,        122, 87, false},
    {XK_F12,        123, 88, false},
    {XK_Shift_L,     16, 42, false},
    {XK_Shift_R,     16, 54, false},
    {XK_Control_L,   17, 29, false},
    {XK_Control_R,   17, 29, true},
    {XK_Caps_Lock,   20, 58, false},
    {XK_Alt_L,       18, 56, false},
    {XK_Alt_R,       18, 56, true},
    {XK_Super_L,     91, 91, true},
    {XK_Super_R,     92, 92, true},
    {XK_Delete,      46, 83, true},
};

// Virtual keys of the punctuation keys of a US keyboard, by their unshifted character.
struct punctuation_key {
    char character;
    uint8_t virtual_key;
};
constexpr punctuation_key punctuation_keys[] = {
    {';', 186}, {'=', 187}, {',', 188}, {'-', 189}, {'.', 190}, {'/', 191},
    {'`', 192}, {'[', 219}, {'\\', 220}, {']', 221}, {'\'', 222},
};

// Latin-1 characters 0xA0 to 0xFF in code page 437: the Windows conversion's choice, the
// nearest letter where the code page has no such character.
constexpr uint8_t cp437_of_latin1[96] = {
    0xFF, 0xAD, 0x9B, 0x9C, 0x0F, 0x9D, 0xDD, 0x15, 0x22, 0x63, 0xA6, 0xAE, 0xAA, 0x2D, 0x72, 0x5F,
    0xF8, 0xF1, 0xFD, 0x33, 0x27, 0xE6, 0x14, 0xFA, 0x2C, 0x31, 0xA7, 0xAF, 0xAC, 0xAB, 0x5F, 0xA8,
    0x41, 0x41, 0x41, 0x41, 0x8E, 0x8F, 0x92, 0x80, 0x45, 0x90, 0x45, 0x45, 0x49, 0x49, 0x49, 0x49,
    0x44, 0xA5, 0x4F, 0x4F, 0x4F, 0x4F, 0x99, 0x78, 0x4F, 0x55, 0x55, 0x55, 0x9A, 0x59, 0x5F, 0xE1,
    0x85, 0xA0, 0x83, 0x61, 0x84, 0x86, 0x91, 0x87, 0x8A, 0x82, 0x88, 0x89, 0x8D, 0xA1, 0x8C, 0x8B,
    0x64, 0xA4, 0x95, 0xA2, 0x93, 0x6F, 0x94, 0xF6, 0x6F, 0x97, 0xA3, 0x96, 0x81, 0x79, 0x5F, 0x98,
};
// clang-format on

constexpr bool keypad(KeySym keysym) {
    return keysym >= XK_KP_Space && keysym <= XK_KP_9;
}

const keysym_key* keysym_row(KeySym keysym) {
    for (const keysym_key& row : keysym_keys)
        if (row.keysym == keysym) return &row;
    return nullptr;
}

// The virtual key of a key that types a character of the US layout; 0 for others.
int32_t character_virtual_key(KeySym keysym) {
    if (keysym >= 'a' && keysym <= 'z') return static_cast<int32_t>(keysym - 'a' + 'A');
    if ((keysym >= '0' && keysym <= '9') || keysym == ' ') return static_cast<int32_t>(keysym);
    for (const punctuation_key& row : punctuation_keys)
        if (static_cast<KeySym>(row.character) == keysym) return row.virtual_key;
    return 0;
}

// What the Windows keyboard translation leaves without a character although X types one: the
// Delete key, and Ctrl with a digit, a sign or Tab.
bool windows_types_nothing(KeySym keysym, unsigned state) {
    if (keysym == XK_Delete || keysym == XK_KP_Delete) return true;
    if (!(state & ControlMask)) return false;
    return keysym == XK_Tab || (keysym >= '!' && keysym < 'A') || (keysym > 'Z' && keysym < 'a');
}

int32_t character_437(uint8_t byte) {
    if (byte < 0x80) return byte;
    if (byte < 0xA0) return '?';
    return static_cast<int8_t>(cp437_of_latin1[byte - 0xA0]);
}

} // namespace

x11_key x11_key_of(XKeyEvent* event) {
    char typed[8] = {};
    KeySym looked_up = NoSymbol;
    const int count = XLookupString(event, typed, sizeof typed, &looked_up, nullptr);
    // The key itself is its unshifted symbol; keypad keys are what Num Lock makes them.
    const KeySym keysym = keypad(looked_up) ? looked_up : XLookupKeysym(event, 0);

    x11_key key{};
    if (const keysym_key* row = keysym_row(keysym)) {
        key.virtual_key = row->virtual_key;
        key.scancode = row->scancode;
        key.extended = row->extended;
    } else {
        key.virtual_key = character_virtual_key(keysym);
        key.scancode = scancode_of_virtual_key(key.virtual_key);
    }
    if (count == 1 && !windows_types_nothing(looked_up, event->state)) {
        const auto byte = static_cast<uint8_t>(typed[0]);
        key.has_character = true;
        key.character = byte;
        key.character_437 = character_437(byte);
    }
    return key;
}
