#include "runtime/console/console.h"
#include "runtime/console/key_translation.h"

namespace {

// The characters of a US layout for the virtual keys that carry one, standing in for the
// keyboard-layout query of the Windows builds. Keypad digits map to no character there.
struct layout_entry {
    uint8_t virtual_key;
    char character;
};

constexpr layout_entry us_layout[] = {
    {0x08, '\b'}, {0x09, '\t'}, {0x0D, '\r'}, {0x1B, '\x1b'}, {0x20, ' '}, {0x6A, '*'},
    {0x6B, '+'},  {0x6D, '-'},  {0x6E, '.'},  {0x6F, '/'},    {0xBA, ';'}, {0xBB, '='},
    {0xBC, ','},  {0xBD, '-'},  {0xBE, '.'},  {0xBF, '/'},    {0xC0, '`'}, {0xDB, '['},
    {0xDC, '\\'}, {0xDD, ']'},  {0xDE, '\''},
};

uint32_t layout_character(int32_t virtual_key) {
    if ((virtual_key >= '0' && virtual_key <= '9') || (virtual_key >= 'A' && virtual_key <= 'Z'))
        return static_cast<uint32_t>(virtual_key);
    for (const layout_entry& entry : us_layout)
        if (entry.virtual_key == virtual_key) return static_cast<uint8_t>(entry.character);
    return 0;
}

} // namespace

int32_t key_code_of(int32_t character, int32_t scancode, int32_t virtual_key,
                    uint32_t control_state, int32_t no_fallback) {
    return key_code_translate(character, scancode & 0xFFFF, virtual_key, control_state, no_fallback,
                              layout_character);
}
