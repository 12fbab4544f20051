#include "console_test_win32.h"

#include "runtime/console/console.h"
#include "runtime/console/console_keys_win32.h"
#include "runtime/key_input.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

INPUT_RECORD key_event(bool down, WORD virtual_key, WORD scancode, char character, DWORD state,
                       WORD repeat = 1) {
    INPUT_RECORD record{};
    record.EventType = KEY_EVENT;
    KEY_EVENT_RECORD& key = record.Event.KeyEvent;
    key.bKeyDown = down;
    key.wRepeatCount = repeat;
    key.wVirtualKeyCode = virtual_key;
    key.wVirtualScanCode = scancode;
    key.uChar.AsciiChar = character;
    key.dwControlKeyState = state;
    return record;
}

INPUT_RECORD press(WORD virtual_key, WORD scancode, char character, DWORD state = 0) {
    return key_event(true, virtual_key, scancode, character, state);
}

INPUT_RECORD release(WORD virtual_key, WORD scancode, char character, DWORD state = 0) {
    return key_event(false, virtual_key, scancode, character, state);
}

class ConsoleKeys : public ::testing::Test {
  protected:
    void SetUp() override {
        console = console_for_test();
        FlushConsoleInputBuffer(console.input);
        while (console_key_read() != -1) {
        }
    }

    void feed(const std::vector<INPUT_RECORD>& records) {
        DWORD written = 0;
        ASSERT_TRUE(WriteConsoleInputA(console.input, records.data(),
                                       static_cast<DWORD>(records.size()), &written));
        ASSERT_EQ(written, records.size());
    }

    std::vector<int32_t> read_all() {
        std::vector<int32_t> codes;
        for (int32_t code; (code = console_key_read()) != -1;)
            codes.push_back(code);
        return codes;
    }

    test_console console{};
};

using codes = std::vector<int32_t>;

TEST_F(ConsoleKeys, CharactersReadAsTheirCodes) {
    feed({press(VK_SPACE, 57, ' '), release(VK_SPACE, 57, ' '), press(VK_ESCAPE, 1, 27),
          press('A', 30, 1, LEFT_CTRL_PRESSED)});
    EXPECT_EQ(read_all(), (codes{32, 27, 1}));
}

TEST_F(ConsoleKeys, FunctionAndCursorKeysReadAsExtendedCodes) {
    feed({press(VK_F1, 59, 0), press(VK_F1, 59, 0, SHIFT_PRESSED),
          press(VK_F12, 88, 0, LEFT_ALT_PRESSED), press(VK_UP, 72, 0, ENHANCED_KEY),
          press(VK_UP, 72, 0), press(VK_HOME, 71, 0, LEFT_CTRL_PRESSED | ENHANCED_KEY),
          press('X', 45, 'x', LEFT_ALT_PRESSED)});
    EXPECT_EQ(read_all(), (codes{0x3BFF, 0x54FF, 0x8CFF, 0x48FF, 0x48FF, 0x77FF, 0x2DFF}));
}

TEST_F(ConsoleKeys, ModifiersAloneAndReleasesGiveNoCode) {
    feed({press(VK_SHIFT, 42, 0, SHIFT_PRESSED), release(VK_SHIFT, 42, 0),
          press(VK_CONTROL, 29, 0, LEFT_CTRL_PRESSED), release(VK_CONTROL, 29, 0),
          press(VK_MENU, 56, 0, LEFT_ALT_PRESSED), release(VK_MENU, 56, 0), release('A', 30, 'a')});
    EXPECT_EQ(read_all(), codes{});
}

TEST_F(ConsoleKeys, KeyDownWithRepeatCountZeroGivesNoCode) {
    feed({key_event(true, 'A', 30, 'a', 0, 0), press('B', 48, 'b')});
    EXPECT_EQ(read_all(), codes{'b'});
}

TEST_F(ConsoleKeys, OtherEventsAreConsumed) {
    INPUT_RECORD focus{};
    focus.EventType = FOCUS_EVENT;
    focus.Event.FocusEvent.bSetFocus = TRUE;
    feed({focus, press('A', 30, 'a')});
    EXPECT_EQ(read_all(), codes{'a'});
    DWORD waiting = 1;
    GetNumberOfConsoleInputEvents(console.input, &waiting);
    EXPECT_EQ(waiting, 0u);
}

std::vector<INPUT_RECORD> alt_keypad(std::initializer_list<int> digits) {
    std::vector<INPUT_RECORD> records{press(VK_MENU, 56, 0, LEFT_ALT_PRESSED)};
    // Keypad digit scan codes: 0 is 82, 1-3 are 79-81, 4-6 are 75-77, 7-9 are 71-73.
    constexpr WORD scancodes[10] = {82, 79, 80, 81, 75, 76, 77, 71, 72, 73};
    for (int digit : digits) {
        auto key = static_cast<WORD>(VK_NUMPAD0 + digit);
        records.push_back(press(key, scancodes[digit], 0, LEFT_ALT_PRESSED));
        records.push_back(release(key, scancodes[digit], 0, LEFT_ALT_PRESSED));
    }
    records.push_back(release(VK_MENU, 56, 0));
    return records;
}

TEST_F(ConsoleKeys, AltWithKeypadDigitsTypesTheCharacterOnRelease) {
    feed(alt_keypad({6, 6}));
    EXPECT_EQ(read_all(), codes{66});
}

TEST_F(ConsoleKeys, AltKeypadValueIsCutToAByte) {
    feed(alt_keypad({3, 2, 2}));
    EXPECT_EQ(read_all(), codes{66});
}

TEST_F(ConsoleKeys, AltWithKeypadZeroAloneGivesNothing) {
    feed(alt_keypad({0}));
    EXPECT_EQ(read_all(), codes{});
}

TEST_F(ConsoleKeys, AnotherKeyEndsAnAltKeypadSequence) {
    std::vector<INPUT_RECORD> records = alt_keypad({6, 7});
    records.pop_back(); // Alt stays down
    records.push_back(press(VK_SHIFT, 42, 0, SHIFT_PRESSED | LEFT_ALT_PRESSED));
    feed(records);
    EXPECT_EQ(read_all(), codes{67});
}

TEST_F(ConsoleKeys, FullRingDropsTheOldestKey) {
    std::vector<INPUT_RECORD> records{press('A', 30, 'a'), press('B', 48, 'b')};
    for (int i = 0; i < 510; ++i)
        records.push_back(press('C', 46, 'c'));
    feed(records);
    console_key_poll();
    codes read = read_all();
    ASSERT_EQ(read.size(), 511u);
    EXPECT_EQ(read.front(), 'b');
    EXPECT_EQ(read.back(), 'c');
}

TEST_F(ConsoleKeys, CloseNotificationsReadAsTheCloseKey) {
    EXPECT_TRUE(console_ctrl_handler(CTRL_CLOSE_EVENT));
    EXPECT_TRUE(console_ctrl_handler(CTRL_LOGOFF_EVENT));
    EXPECT_TRUE(console_ctrl_handler(CTRL_SHUTDOWN_EVENT));
    // Ctrl+C, Ctrl+Break and unknown notifications keep the system's default handling.
    EXPECT_FALSE(console_ctrl_handler(CTRL_C_EVENT));
    EXPECT_FALSE(console_ctrl_handler(CTRL_BREAK_EVENT));
    EXPECT_FALSE(console_ctrl_handler(7));
    EXPECT_EQ(read_all(), (codes{0x6BFF, 0x6BFF, 0x6BFF}));
}

TEST_F(ConsoleKeys, CloseAndExtendedKeysReadAsCharacter255AndTheirCode) {
    feed({press(VK_LEFT, 75, 0, ENHANCED_KEY)});
    console_ctrl_handler(CTRL_CLOSE_EVENT);
    EXPECT_EQ(text_compare(key_read_text(), "\xFFK"), 0);
    EXPECT_EQ(text_compare(key_read_text(), "\xFFk"), 0);
    EXPECT_EQ(text_compare(key_read_text(), ""), 0);
}

DWORD WINAPI post_closes(void*) {
    for (int i = 0; i < 300; ++i)
        console_ctrl_handler(CTRL_CLOSE_EVENT);
    return 0;
}

TEST_F(ConsoleKeys, CloseKeysFromTheHandlerThreadAreNotLostDuringPolls) {
    HANDLE thread = CreateThread(nullptr, 0, post_closes, nullptr, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    int32_t closes = 0, letters = 0;
    for (int round = 0; round < 2000 && closes < 300; ++round) {
        feed({press('A', 30, 'a')});
        for (int32_t code; (code = console_key_read()) != -1;) {
            if (code == 0x6BFF)
                ++closes;
            else if (code == 'a')
                ++letters;
            else
                ADD_FAILURE() << "unexpected code " << code;
        }
    }
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    for (int32_t code : read_all())
        closes += code == 0x6BFF;
    EXPECT_EQ(closes, 300);
    EXPECT_GT(letters, 0);
}

TEST_F(ConsoleKeys, RedirectedInputReadsNoKey) {
    HANDLE file = redirect_file("console_keys_input.txt");
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, "abc\r\n", 5, &written, nullptr);
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    SetStdHandle(STD_INPUT_HANDLE, file);
    console_state_clear();
    EXPECT_EQ(console_key_read(), -1);
    EXPECT_EQ(text_compare(key_read_text(), ""), 0);
    CloseHandle(file);
    console_for_test();
}

} // namespace
