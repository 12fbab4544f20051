// The window procedure driven by real messages sent to a real GDI window.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "gfx/internal/input_state.h"
#include "gfx/win32/gdi_driver.h"
#include "tests/gfx/typed_keys.h"
#include "tests/gfx/win32/test_window.h"

namespace {

LPARAM key_lparam(int32_t scancode, int32_t repeat = 1, bool extended = false,
                  bool was_down = false) {
    LPARAM value = (repeat & 0xFFFF) | (scancode << 16);
    if (extended) value |= 1 << 24;
    if (was_down) value |= 1 << 30;
    return value;
}

std::vector<int32_t> take_keys() {
    std::vector<int32_t> keys;
    while (key_head != key_tail) {
        keys.push_back(key_buffer[key_head]);
        key_head = (key_head + 1) & (key_buffer_size - 1);
    }
    return keys;
}

std::vector<int32_t> types_of(const std::vector<event_record>& events) {
    std::vector<int32_t> types;
    for (const event_record& event : events)
        types.push_back(event.type);
    return types;
}

class WindowMessages : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(open_test_screen(320, 200, 32), 0);
        window = window_state.hwnd;
        SendMessageA(window, WM_ACTIVATE, WA_ACTIVE, 0);
        settle(50);
        drain_input();
    }
    void TearDown() override { close_test_screen(); }
    // Keys of the display go where the pointer is when no window manager gives the focus.
    void point_at_window() {
        SetForegroundWindow(window);
        POINT inside = client_to_screen(20, 20);
        SetCursorPos(inside.x, inside.y);
        settle();
    }
    LRESULT send(UINT message, WPARAM wparam, LPARAM lparam) {
        return SendMessageA(window, message, wparam, lparam);
    }
    HWND window = nullptr;
};

TEST_F(WindowMessages, TypedSpaceAndEscapeReachKeyRingAsCharacters) {
    send(WM_CHAR, ' ', key_lparam(57));
    send(WM_CHAR, 27, key_lparam(1));
    EXPECT_EQ(take_keys(), (std::vector<int32_t>{32, 27}));
    EXPECT_TRUE(take_events().empty()); // characters post no event
}

TEST_F(WindowMessages, CharacterRepeatCountAddsItThatOften) {
    send(WM_CHAR, 'a', key_lparam(30, 2));
    send(WM_CHAR, 0, key_lparam(0));
    EXPECT_EQ(take_keys(), (std::vector<int32_t>{'a', 'a', 0}));
}

TEST_F(WindowMessages, CharacterConvertsToCodePage437) {
    if (GetACP() != 1252) GTEST_SKIP() << "needs the Western code page";
    send(WM_CHAR, 0xE9, key_lparam(0)); // e acute: 0x82 in code page 437, read signed
    send(WM_CHAR, 0x80, key_lparam(0)); // the euro sign has no code page 437 form
    EXPECT_EQ(take_keys(), (std::vector<int32_t>{-126, '?'}));
}

TEST_F(WindowMessages, KeyDownOfCharacterKeyPostsPressWithScancodeAndCharacter) {
    send(WM_KEYDOWN, VK_SPACE, key_lparam(57));
    std::vector<event_record> events = take_events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].type, event_key_pressed);
    EXPECT_EQ(events[0].field[0], 57);
    EXPECT_EQ(events[0].field[1], 32);
    EXPECT_TRUE(take_keys().empty()); // the character comes with WM_CHAR
}

TEST_F(WindowMessages, FunctionKeyReachesKeyRingAsExtendedCode) {
    send(WM_KEYDOWN, VK_F1, key_lparam(59));
    EXPECT_EQ(take_keys(), (std::vector<int32_t>{0x3BFF}));
    std::vector<event_record> events = take_events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].type, event_key_pressed);
    EXPECT_EQ(events[0].field[0], 59);
    EXPECT_EQ(events[0].field[1], 0);
}

TEST_F(WindowMessages, ExtendedKeyIsBufferedOncePerRepeat) {
    send(WM_KEYDOWN, VK_UP, key_lparam(72, 3, true));
    EXPECT_EQ(take_keys(), (std::vector<int32_t>{0x48FF, 0x48FF, 0x48FF}));
    EXPECT_EQ(types_of(take_events()), (std::vector<int32_t>{event_key_pressed}));
}

TEST_F(WindowMessages, HeldKeyPostsRepeatAndReleasePostsRelease) {
    send(WM_KEYDOWN, VK_LEFT, key_lparam(75, 1, true, true));
    send(WM_KEYUP, VK_LEFT, key_lparam(75, 1, true, true) | (1u << 31));
    EXPECT_EQ(types_of(take_events()),
              (std::vector<int32_t>{event_key_repeated, event_key_released}));
    EXPECT_EQ(take_keys(), (std::vector<int32_t>{0x4BFF})); // the release adds nothing
}

// Released keys carry bits 30 and 31.
LPARAM key_up_lparam(int32_t scancode) {
    return key_lparam(scancode, 1, false, true) | static_cast<LPARAM>(0x80000000u);
}

// The system menu opens when F10 or Alt is released; its modal loop would hold the window
// thread, so the messages are sent with a time limit.
TEST_F(WindowMessages, F10AndAltAlonePostNoEventAndOpenNoMenu) {
    const auto send_briefly = [this](UINT message, WPARAM wparam, LPARAM lparam) {
        DWORD_PTR result = 0;
        SendMessageTimeoutA(window, message, wparam, lparam, SMTO_NORMAL, 2000, &result);
    };
    send_briefly(WM_SYSKEYDOWN, VK_MENU, key_lparam(56) | (1 << 29));
    send_briefly(WM_SYSKEYUP, VK_MENU, key_up_lparam(56));
    send_briefly(WM_KEYDOWN, VK_MENU, key_lparam(56));
    send_briefly(WM_KEYUP, VK_MENU, key_up_lparam(56));
    send_briefly(WM_SYSKEYDOWN, VK_F10, key_lparam(68));
    send_briefly(WM_SYSKEYUP, VK_F10, key_up_lparam(68));
    settle(50);
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
    const bool in_menu = (info.flags & (GUI_INMENUMODE | GUI_SYSTEMMENUMODE)) != 0;
    if (in_menu) PostMessageA(window, WM_CANCELMODE, 0, 0);
    EXPECT_FALSE(in_menu);
    EXPECT_TRUE(take_events().empty());
    // A system key-down counts as a press, so F10's code is there to be read.
    EXPECT_EQ(take_keys(), (std::vector<int32_t>{0x44FF}));
}

TEST_F(WindowMessages, SystemKeyDownIsReportedAsPress) {
    send(WM_SYSKEYDOWN, 'X', key_lparam(45) | (1 << 29));
    std::vector<event_record> events = take_events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].type, event_key_pressed);
    EXPECT_EQ(events[0].field[0], 45);
}

TEST_F(WindowMessages, CloseButtonPostsCloseKeyAndEventAndKeepsWindow) {
    EXPECT_EQ(send(WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(take_keys(), (std::vector<int32_t>{0x6BFF}));
    EXPECT_EQ(types_of(take_events()), (std::vector<int32_t>{event_close}));
    EXPECT_TRUE(IsWindow(window));
}

TEST_F(WindowMessages, WheelBySeveralNotchesMovesOneStep) {
    const int32_t start = window_input.mouse_wheel;
    send(WM_MOUSEWHEEL, MAKEWPARAM(0, 3 * WHEEL_DELTA), 0);
    EXPECT_EQ(window_input.mouse_wheel, start + 1);
    send(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-2 * WHEEL_DELTA)), 0);
    send(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), 0);
    EXPECT_EQ(window_input.mouse_wheel, start - 1);
    std::vector<event_record> events = take_events();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].type, event_wheel);
    EXPECT_EQ(events[0].field[0], start + 1);
    EXPECT_EQ(events[2].field[0], start - 1);
}

TEST_F(WindowMessages, HorizontalWheelHasItsOwnPositionAndEvent) {
    send(WM_MOUSEHWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
    std::vector<event_record> events = take_events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].type, event_horizontal_wheel);
    EXPECT_EQ(events[0].field[0], 1);
}

TEST_F(WindowMessages, ButtonsSetAndClearTheirBits) {
    send(WM_LBUTTONDOWN, MK_LBUTTON, 0);
    send(WM_RBUTTONDBLCLK, MK_RBUTTON, 0);
    EXPECT_EQ(window_input.mouse_buttons, 0x03);
    send(WM_LBUTTONUP, 0, 0);
    send(WM_RBUTTONUP, 0, 0);
    EXPECT_EQ(window_input.mouse_buttons, 0);
    std::vector<event_record> events = take_events();
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].type, event_button_pressed);
    EXPECT_EQ(events[0].field[0], 0x01);
    EXPECT_EQ(events[1].type, event_button_double_clicked);
    EXPECT_EQ(events[1].field[0], 0x02);
    EXPECT_EQ(events[2].type, event_button_released);
    EXPECT_EQ(events[2].field[0], 0x01);
    EXPECT_EQ(events[3].field[0], 0x02);
}

TEST_F(WindowMessages, ExtraButtonsReportTheBitsThatChanged) {
    send(WM_XBUTTONDOWN, MAKEWPARAM(MK_XBUTTON2, XBUTTON2), 0);
    send(WM_XBUTTONDOWN, MAKEWPARAM(MK_XBUTTON1 | MK_XBUTTON2, XBUTTON1), 0);
    EXPECT_EQ(window_input.mouse_buttons, 0x18);
    send(WM_XBUTTONUP, MAKEWPARAM(MK_XBUTTON1, XBUTTON2), 0);
    EXPECT_EQ(window_input.mouse_buttons, 0x08);
    std::vector<event_record> events = take_events();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].field[0], 0x10);
    EXPECT_EQ(events[1].field[0], 0x08);
    EXPECT_EQ(events[2].type, event_button_released);
    EXPECT_EQ(events[2].field[0], 0x10);
}

TEST_F(WindowMessages, FirstMovePostsEnterAndLaterMovesOnlyWhenCursorMoved) {
    POINT inside = client_to_screen(40, 30);
    SetCursorPos(inside.x, inside.y);
    settle();
    send(WM_MOUSELEAVE, 0, 0); // forget any tracking that the real pointer started
    drain_input();

    send(WM_MOUSEMOVE, 0, MAKELPARAM(40, 30));
    EXPECT_EQ(types_of(take_events()), (std::vector<int32_t>{event_mouse_entered}));
    EXPECT_EQ(window_input.mouse_x, 40);
    EXPECT_EQ(window_input.mouse_y, 30);

    send(WM_MOUSEMOVE, 0, MAKELPARAM(40, 30)); // the cursor has not moved
    EXPECT_TRUE(take_events().empty());

    SetCursorPos(inside.x + 7, inside.y + 5);
    send(WM_MOUSEMOVE, 0, MAKELPARAM(47, 35));
    settle(); // the system's own move message may come first; only one of them sees the change
    std::vector<event_record> events = take_events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].type, event_mouse_moved);
    EXPECT_EQ(events[0].field[0], 47);
    EXPECT_EQ(events[0].field[1], 35);
    EXPECT_EQ(events[0].field[2], 7);
    EXPECT_EQ(events[0].field[3], 5);
}

TEST_F(WindowMessages, DeactivationWhileTrackedPostsLeaveThenFocusLost) {
    POINT inside = client_to_screen(10, 10);
    SetCursorPos(inside.x, inside.y);
    settle();
    send(WM_MOUSELEAVE, 0, 0);
    send(window_input.enter_message, 0, 0);
    ASSERT_EQ(window_input.mouse_tracking, 1);
    drain_input();

    send(WM_ACTIVATE, WA_INACTIVE, 0);
    EXPECT_EQ(types_of(take_events()), (std::vector<int32_t>{event_mouse_left, event_focus_lost}));
    EXPECT_EQ(window_state.active, 0);
    EXPECT_EQ(window_input.mouse_tracking, 0);
}

// The leave emulation's timer check, called as the timer would call it.
TEST_F(WindowMessages, LeaveCheckReportsLeaveOnlyOnceCursorIsOutside) {
    POINT inside = client_to_screen(10, 10);
    SetCursorPos(inside.x, inside.y);
    settle();
    send(window_input.enter_message, 0, 0);
    window_input.mouse_tracking = 1;
    drain_input();
    leave_check_timer(window, WM_TIMER, leave_timer_id, 0);
    settle(60);
    EXPECT_TRUE(take_events().empty());

    POINT outside = client_to_screen(-30, -30);
    SetCursorPos(outside.x, outside.y);
    settle(300);
    drain_input(); // whatever the system's own tracking reported
    window_input.mouse_tracking = 1;
    leave_check_timer(window, WM_TIMER, leave_timer_id, 0);
    settle(60);
    // The system's own tracking may report the same leave a little late.
    std::vector<int32_t> types = types_of(take_events());
    ASSERT_FALSE(types.empty());
    EXPECT_EQ(types, std::vector<int32_t>(types.size(), event_mouse_left));
    EXPECT_EQ(window_input.mouse_tracking, 0);
}

TEST(LeaveEmulation, OnlyLeaveRequestsAreServed) {
    TRACKMOUSEEVENT request{};
    request.cbSize = sizeof request;
    request.dwFlags = TME_HOVER | TME_LEAVE;
    EXPECT_FALSE(track_mouse_event_emulation(&request));
    EXPECT_FALSE(track_mouse_event_emulation(nullptr));
}

TEST_F(WindowMessages, ActivationClearsKeyStateAndButtons) {
    send(WM_LBUTTONDOWN, MK_LBUTTON, 0);
    gfx_screen->key_state[57] = 1;
    send(WM_ACTIVATE, WA_INACTIVE, 0);
    EXPECT_EQ(gfx_screen->key_state[57], 0);
    EXPECT_EQ(window_input.mouse_buttons, 0);
}

TEST_F(WindowMessages, MouseLeaveWhileInactiveIsIgnored) {
    send(WM_ACTIVATE, WA_INACTIVE, 0);
    drain_input();
    send(WM_MOUSELEAVE, 0, 0);
    EXPECT_TRUE(take_events().empty());
}

TEST_F(WindowMessages, FullscreenSwitchWithNoSwitchOnlyReportsLeave) {
    close_test_screen();
    ASSERT_EQ(open_test_screen(320, 200, 32, no_switch), 0);
    window = window_state.hwnd;
    send(WM_ACTIVATE, WA_ACTIVE, 0);
    send(window_input.enter_message, 0, 0);
    window_input.mouse_tracking = 1;
    drain_input();
    EXPECT_EQ(send(WM_SYSKEYDOWN, VK_RETURN, key_lparam(28) | (1 << 29)), 0);
    EXPECT_EQ(types_of(take_events()), (std::vector<int32_t>{event_mouse_left}));
    EXPECT_EQ(window_state.flags & fullscreen, 0u);
    EXPECT_EQ(window_state.hwnd, window);
}

// Whatever the display allows (a virtual display keeps its mode, so the switch falls back to
// a window), it ends with a new window whose style matches the flag.
TEST_F(WindowMessages, AltEnterRecreatesThePresentation) {
    EXPECT_EQ(send(WM_SYSKEYDOWN, VK_RETURN, key_lparam(28) | (1 << 29)), 0);
    HWND now = window_state.hwnd;
    ASSERT_TRUE(IsWindow(now));
    EXPECT_FALSE(IsWindow(window)); // the old window is gone
    const LONG_PTR style = GetWindowLongPtrA(now, GWL_STYLE);
    if (window_state.flags & fullscreen)
        EXPECT_NE(style & WS_POPUP, 0);
    else
        EXPECT_NE(style & WS_CAPTION, 0);
    EXPECT_EQ(window_state.active, 1);
    EXPECT_EQ(window_input.mouse_tracking, 0);
}

int32_t no_presentation() {
    return -1;
}

// Neither the fullscreen presentation nor the window again: the driver stops presenting (the
// window thread, which applies the palette and draws every pass, must not touch what is not
// there) and the screen still closes cleanly.
TEST_F(WindowMessages, ASwitchThatCanOpenNeitherPresentationStopsPresenting) {
    lock();
    window_state.open_window = no_presentation;
    unlock();
    EXPECT_EQ(send(WM_SYSKEYDOWN, VK_RETURN, key_lparam(28) | (1 << 29)), 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(window_state.hwnd, nullptr);
    EXPECT_EQ(window_state.blitter, nullptr);
    settle(100);
    const uint32_t presents = gdi_present_count();
    lock();
    std::memset(gfx_screen->dirty, 1, 200);
    window_state.palette_changed = 1;
    unlock();
    settle(200);
    EXPECT_EQ(gdi_present_count(), presents);
    EXPECT_TRUE(running_now());
}

TEST_F(WindowMessages, MaximisingSwitchesPresentationInsteadOfMaximising) {
    send(WM_SIZE, SIZE_MAXIMIZED, MAKELPARAM(1600, 1000));
    HWND now = window_state.hwnd;
    ASSERT_TRUE(IsWindow(now));
    EXPECT_NE(now, window);
    EXPECT_FALSE(IsZoomed(now));
}

TEST_F(WindowMessages, KeyStateFollowsKeysPressedOnTheDisplay) {
    if (!host_tool_available("xdotool")) GTEST_SKIP() << "xdotool missing";
    point_at_window();
    run_host_command("xdotool keydown space");
    settle(200);
    EXPECT_EQ(gfx_screen->key_state[57], 1);
    run_host_command("xdotool keyup space");
    settle(200);
    EXPECT_EQ(gfx_screen->key_state[57], 0);
}

TEST_F(WindowMessages, KeysTypedOnTheDisplayReachKeyRing) {
    if (!host_tool_available("xdotool")) GTEST_SKIP() << "xdotool missing";
    point_at_window();
    expect_typed_keys(
        [](const std::string& arguments) {
            run_host_command("xdotool " + arguments);
            settle(200);
        },
        take_keys);
}

TEST(ScancodeTable, VirtualKeysMapToSetOneScancodes) {
    EXPECT_EQ(scancode_of_virtual_key(VK_ESCAPE), 1);
    EXPECT_EQ(scancode_of_virtual_key('0'), 11);
    EXPECT_EQ(scancode_of_virtual_key(VK_SUBTRACT), 12);
    EXPECT_EQ(scancode_of_virtual_key(VK_SHIFT), 42); // the first of the two shift rows
    EXPECT_EQ(scancode_of_virtual_key(VK_NUMPAD7), 71);
    EXPECT_EQ(scancode_of_virtual_key(VK_DECIMAL), 83);
    EXPECT_EQ(scancode_of_virtual_key(VK_F12), 88);
    EXPECT_EQ(scancode_of_virtual_key(VK_APPS), 93);
}

TEST(ScancodeTable, UnknownKeysMapToZero) {
    EXPECT_EQ(scancode_of_virtual_key(0), 0);
    EXPECT_EQ(scancode_of_virtual_key(VK_F13), 0);
    EXPECT_EQ(scancode_of_virtual_key(VK_NUMPAD5), 0);
    EXPECT_EQ(scancode_of_virtual_key(300), 0);
}

TEST(ScancodeTable, HasEightySixKeysAndEndsWithZeroRow) {
    int32_t keys = 0;
    while (scancode_table[keys].scancode != 0)
        ++keys;
    EXPECT_EQ(keys, 86);
    EXPECT_EQ(scancode_table[53].scancode, 54); // the second shift row
    EXPECT_EQ(scancode_table[53].first_virtual_key, VK_SHIFT);
}

} // namespace
