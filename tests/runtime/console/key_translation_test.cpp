#include "runtime/console/console.h"

#include <gtest/gtest.h>

namespace {

// Virtual keys, scan codes and control-key states as a console key event carries them.
constexpr int32_t vk_shift = 0x10, vk_control = 0x11, vk_menu = 0x12, vk_escape = 0x1B,
                  vk_space = 0x20, vk_home = 0x24, vk_up = 0x26, vk_tab = 0x09, vk_f1 = 0x70,
                  vk_f12 = 0x7B;
constexpr uint32_t left_alt = 0x2, right_alt = 0x1, left_ctrl = 0x8, shift = 0x10, enhanced = 0x100;

struct translation {
    const char* key;
    int32_t character, scancode, virtual_key;
    uint32_t control_state;
    int32_t code;
};

void expect_translations(std::initializer_list<translation> cases) {
    for (const translation& t : cases)
        EXPECT_EQ(key_code_of(t.character, t.scancode, t.virtual_key, t.control_state, 0), t.code)
            << t.key;
}

TEST(KeyCodeOf, CharactersComeThroughUnchanged) {
    expect_translations({
        {"space", ' ', 57, vk_space, 0, 32},
        {"Escape", 27, 1, vk_escape, 0, 27},
        {"Ctrl+A", 1, 30, 'A', left_ctrl, 1},
        {"a", 'a', 30, 'A', 0, 'a'},
        {"Shift+a", 'A', 30, 'A', shift, 'A'},
        {"character 0xE9 with no scan code", static_cast<int8_t>(0xE9), 0, 0, 0, 0xE9},
        {"character beyond the scan-code table", 'q', 100, 0, 0, 'q'},
    });
}

TEST(KeyCodeOf, FunctionKeysGiveTheirColumnsExtendedCode) {
    expect_translations({
        {"F1", 0, 59, vk_f1, 0, 0x3BFF},
        {"Shift+F1", 0, 59, vk_f1, shift, 0x54FF},
        {"Ctrl+F1", 0, 59, vk_f1, left_ctrl, 0x5EFF},
        {"Alt+F1", 0, 59, vk_f1, left_alt, 0x68FF},
        {"F10", 0, 68, 0x79, 0, 0x44FF},
        {"F12", 0, 88, vk_f12, 0, 0x86FF},
        {"Alt+F12", 0, 88, vk_f12, right_alt, 0x8CFF},
        {"Shift+Tab", 9, 15, vk_tab, shift, 0x0FFF},
    });
}

TEST(KeyCodeOf, CursorKeysAgreeWithAndWithoutTheEnhancedFlag) {
    expect_translations({
        {"grey Up", 0, 72, vk_up, enhanced, 0x48FF},
        {"keypad 8 without Num Lock", 0, 72, vk_up, 0, 0x48FF},
        {"Ctrl+grey Home", 0, 71, vk_home, left_ctrl | enhanced, 0x77FF},
        {"Ctrl+keypad Home", 0, 71, vk_home, left_ctrl, 0x77FF},
        {"Alt+grey Delete", 0, 83, 0x2E, left_alt | enhanced, 0xA3FF},
        {"Shift+grey Up keeps Up", 0, 72, vk_up, shift | enhanced, 0x48FF},
    });
}

TEST(KeyCodeOf, EnhancedKeysWithoutExtendedCodeGiveTheirValueOrNothing) {
    expect_translations({
        {"keypad Enter with Ctrl", 0, 28, 0x0D, left_ctrl | enhanced, 10},
        {"keypad / with Shift", 0, 53, 0x6F, shift | enhanced, 63},
        {"Alt+keypad /", 0, 53, 0x6F, left_alt | enhanced, 0xA4FF},
        {"enhanced key with no row", 0, 29, vk_control, enhanced, -1},
    });
}

TEST(KeyCodeOf, AltWithALetterOrDigitGivesTheExtendedCode) {
    expect_translations({
        {"Alt+x", 'x', 45, 'X', left_alt, 0x2DFF},
        {"Alt+X", 'X', 45, 'X', left_alt, 0x2DFF},
        {"Alt+Q", 'q', 16, 'Q', left_alt, 0x10FF},
        {"Alt+1", '1', 2, '1', left_alt, 0x78FF},
        {"Alt+7 keeps the code of Alt+minus", '7', 8, '7', left_alt, 0x82FF},
        {"Alt+Backspace", 8, 14, 0x08, left_alt, 0xE0FF},
    });
}

TEST(KeyCodeOf, AltWithACharacterTheLayoutDoesNotGiveKeepsTheCharacter) {
    // AltGr+Q on a layout that puts "@" there: right Alt with left Ctrl.
    expect_translations({
        {"AltGr+Q", '@', 16, 'Q', right_alt | left_ctrl, '@'},
    });
}

TEST(KeyCodeOf, ModifiersAndKeysWithoutCodeGiveNothing) {
    expect_translations({
        {"Shift alone", 0, 42, vk_shift, shift, -1},
        {"Ctrl alone", 0, 29, vk_control, left_ctrl, -1},
        {"Alt alone", 0, 56, vk_menu, left_alt, -1},
        {"Caps Lock", 0, 58, 0x14, 0, -1},
        {"Shift+keypad Up without character", 0, 72, vk_up, shift, -1},
    });
}

TEST(KeyCodeOf, NoFallbackDropsPlainCharacters) {
    EXPECT_EQ(key_code_of('a', 30, 'A', 0, 1), -1);
    EXPECT_EQ(key_code_of(0, 59, vk_f1, 0, 1), 0x3BFF);
}

} // namespace
