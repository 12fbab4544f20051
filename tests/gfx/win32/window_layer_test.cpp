// The window layer around a real GDI window: class and title, mouse and window operations,
// the screen lock across the two threads, and repeated start and shutdown.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "gfx/screen.h"
#include "gfx/win32/gdi_driver.h"
#include "tests/gfx/win32/test_window.h"

namespace {

class WindowLayer : public testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(open_test_screen(320, 200, 32), 0); }
    void TearDown() override { close_test_screen(); }
    // Lets the procedure see the cursor where it now is.
    void refresh_mouse_in_client() { SendMessageA(window_state.hwnd, WM_NULL, 0, 0); }
};

TEST(WindowTitle, LongTitleIsCutInClassNameAndShownWhole) {
    std::string title;
    for (int i = 0; i < 200; ++i)
        title += static_cast<char>('a' + i % 26);
    ASSERT_EQ(open_test_screen(320, 200, 32, 0, 1, title.c_str()), 0);
    EXPECT_EQ(std::string(window_state.class_name), "qxgfxclass_" + title.substr(0, 128));
    char caption[256] = {};
    GetWindowTextA(window_state.hwnd, caption, sizeof caption);
    EXPECT_EQ(std::string(caption), title);
    close_test_screen();
}

TEST_F(WindowLayer, SetMouseClampsCursorToClientButStoresRequest) {
    lock(); // as the screen lock holds it: the window's own move message comes after the check
    set_mouse(5000, 5000, -1, -1);
    EXPECT_EQ(window_input.mouse_x, 5000);
    EXPECT_EQ(window_input.mouse_y, 5000);
    unlock();
    settle(); // the display reports the pointer's new place a little later
    POINT cursor{};
    GetCursorPos(&cursor);
    POINT corner = client_to_screen(319, 199);
    EXPECT_EQ(cursor.x, corner.x);
    EXPECT_EQ(cursor.y, corner.y);
}

TEST_F(WindowLayer, SetMouseWithNegativeXLeavesCursor) {
    set_mouse(20, 20, -1, -1);
    settle();
    POINT before{};
    GetCursorPos(&before);
    set_mouse(-1, 50, -1, -1);
    settle();
    POINT after{};
    GetCursorPos(&after);
    EXPECT_EQ(after.x, before.x);
    EXPECT_EQ(after.y, before.y);
    EXPECT_EQ(window_input.mouse_x, 20);
}

TEST_F(WindowLayer, SetMouseShowsAndHidesCursorAndClips) {
    set_mouse(-1, -1, 0, 1);
    EXPECT_EQ(window_input.cursor_visible, 0);
    EXPECT_EQ(window_state.mouse_clipped, 1);
    RECT clip{};
    GetClipCursor(&clip);
    POINT origin = client_to_screen(0, 0);
    EXPECT_EQ(clip.left, origin.x);
    EXPECT_EQ(clip.top, origin.y);
    EXPECT_EQ(clip.right, origin.x + 320);
    set_mouse(-1, -1, 1, 0);
    EXPECT_EQ(window_input.cursor_visible, 1);
    EXPECT_EQ(window_state.mouse_clipped, 0);
}

TEST_F(WindowLayer, GetMouseReportsOnlyInsideTheClient) {
    set_mouse(30, 40, -1, -1);
    settle();
    refresh_mouse_in_client();
    int32_t x = -5, y = -5, wheel = -5, buttons = -5, clip = -5;
    ASSERT_EQ(get_mouse(&x, &y, &wheel, &buttons, &clip), 0);
    EXPECT_EQ(x, 30);
    EXPECT_EQ(y, 40);
    EXPECT_EQ(buttons, 0);
    EXPECT_EQ(clip, 0);

    POINT origin = client_to_screen(0, 0);
    SetCursorPos(origin.x - 20, origin.y - 40);
    settle();
    refresh_mouse_in_client();
    x = -5;
    EXPECT_EQ(get_mouse(&x, &y, &wheel, &buttons, &clip), -1);
    EXPECT_EQ(x, -5); // nothing written
}

TEST_F(WindowLayer, SetWindowPosKeepsCoordinateGivenAsMinimum) {
    RECT before{};
    GetWindowRect(window_state.hwnd, &before);
    const int32_t previous = set_window_pos(INT32_MIN, 100);
    EXPECT_EQ(previous, (before.left & 0xFFFF) | (before.top << 16));
    settle();
    RECT after{};
    GetWindowRect(window_state.hwnd, &after);
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.top, 100);
    EXPECT_EQ(after.right - after.left, before.right - before.left);
}

TEST_F(WindowLayer, SetWindowPosInFullscreenDoesNothing) {
    RECT before{};
    GetWindowRect(window_state.hwnd, &before);
    window_state.flags |= fullscreen;
    EXPECT_EQ(set_window_pos(10, 10), 0);
    window_state.flags &= ~fullscreen;
    settle();
    RECT after{};
    GetWindowRect(window_state.hwnd, &after);
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.top, before.top);
}

// Lower bounds only: a sleep never ends early by more than the timer's granularity.
TEST_F(WindowLayer, WaitVsyncSleepsOneRefreshPeriod) {
    gfx_screen->refresh_rate = 1;
    DWORD start = GetTickCount();
    wait_vsync();
    const DWORD one_hertz = GetTickCount() - start;
    gfx_screen->refresh_rate = 0;
    start = GetTickCount();
    wait_vsync();
    const DWORD unknown = GetTickCount() - start;
    EXPECT_GE(one_hertz, 900u);
    EXPECT_GE(unknown, 10u);
    EXPECT_LT(unknown, one_hertz);
}

TEST_F(WindowLayer, WindowTitleChangesWhileScreenIsLocked) {
    screen_lock();
    gfx_screen->driver->set_window_title("locked title");
    screen_unlock(1, 0);
    char caption[64] = {};
    GetWindowTextA(window_state.hwnd, caption, sizeof caption);
    EXPECT_STREQ(caption, "locked title");
}

TEST_F(WindowLayer, ExitReleasesHeldScreenLockAndJoinsThread) {
    screen_lock();
    screen_lock();
    gdi_driver.exit();
    EXPECT_EQ(gfx_screen->flags & context_locked, 0u);
    EXPECT_EQ(gfx_screen->lock_count, 0);
    EXPECT_EQ(window_input.window_thread_handle, nullptr);
    WNDCLASSA registered{};
    EXPECT_FALSE(GetClassInfoA(GetModuleHandleA(nullptr), window_state.class_name, &registered));
}

TEST_F(WindowLayer, LockKeepsWindowThreadFromPresenting) {
    lock();
    gfx_screen->dirty[5] = 1;
    settle(60);
    EXPECT_EQ(gfx_screen->dirty[5], 1);
    unlock();
    settle(60);
    EXPECT_EQ(gfx_screen->dirty[5], 0);
}

TEST_F(WindowLayer, SetPaletteStoresBytesWithNoCollapseFlag) {
    lock(); // keeps the window thread from applying (and clearing) the change meanwhile
    window_state.palette_changed = 0;
    set_palette(5, 300, 20, 255);
    set_palette(256, 1, 2, 3); // no such entry: ignored
    EXPECT_EQ(window_state.palette[5].peRed, 44);
    EXPECT_EQ(window_state.palette[5].peGreen, 20);
    EXPECT_EQ(window_state.palette[5].peBlue, 255);
    EXPECT_EQ(window_state.palette[5].peFlags, PC_NOCOLLAPSE);
    EXPECT_EQ(window_state.palette_changed, 1);
    unlock();
}

TEST(WindowFlags, StyleFollowsFrameSwitchAndTopmostFlags) {
    ASSERT_EQ(open_test_screen(320, 200, 32), 0);
    LONG_PTR style = GetWindowLongPtrA(window_state.hwnd, GWL_STYLE);
    EXPECT_NE(style & WS_CAPTION, 0);
    EXPECT_NE(style & WS_MAXIMIZEBOX, 0);
    close_test_screen();

    ASSERT_EQ(open_test_screen(320, 200, 32, no_switch | always_on_top), 0);
    style = GetWindowLongPtrA(window_state.hwnd, GWL_STYLE);
    EXPECT_NE(style & WS_CAPTION, 0);
    EXPECT_EQ(style & WS_MAXIMIZEBOX, 0);
    EXPECT_NE(GetWindowLongPtrA(window_state.hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    close_test_screen();

    ASSERT_EQ(open_test_screen(320, 200, 32, no_frame), 0);
    style = GetWindowLongPtrA(window_state.hwnd, GWL_STYLE);
    EXPECT_NE(style & WS_POPUP, 0);
    EXPECT_EQ(style & WS_CAPTION, 0);
    RECT client{};
    GetClientRect(window_state.hwnd, &client);
    EXPECT_EQ(client.right, 320);
    EXPECT_EQ(client.bottom, 200);
    close_test_screen();
}

TEST(WindowFlags, HighPriorityRaisesWindowThreadWhileActive) {
    ASSERT_EQ(open_test_screen(320, 200, 32, high_priority), 0);
    EXPECT_EQ(GetThreadPriority(window_input.window_thread_handle), THREAD_PRIORITY_ABOVE_NORMAL);
    SendMessageA(window_state.hwnd, WM_ACTIVATE, WA_INACTIVE, 0);
    EXPECT_EQ(GetThreadPriority(window_input.window_thread_handle), THREAD_PRIORITY_NORMAL);
    SendMessageA(window_state.hwnd, WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_EQ(GetThreadPriority(window_input.window_thread_handle), THREAD_PRIORITY_ABOVE_NORMAL);
    close_test_screen();
}

// The process's open handles, counted by asking after every handle value in use here. (Under
// Wine GetProcessHandleCount reports no count.)
int32_t open_handle_count() {
    int32_t count = 0;
    DWORD flags = 0;
    for (uintptr_t value = 4; value < 0x4000; value += 4)
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
    return count;
}

TEST(WindowLifecycle, StartAndExitTwentyTimesLeaksNoHandlesOrThreads) {
    ASSERT_EQ(open_test_screen(160, 100, 32), 0);
    close_test_screen();
    const int32_t threads_before = thread_count();
    const int32_t handles_before = open_handle_count();
    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(open_test_screen(160, 100, 32), 0) << "round " << i;
        EXPECT_NE(window_state.hwnd, nullptr);
        close_test_screen();
        EXPECT_EQ(window_input.window_thread_handle, nullptr);
    }
    EXPECT_LE(open_handle_count(), handles_before + 2);
    EXPECT_EQ(thread_count(), threads_before);
    WNDCLASSA registered{};
    EXPECT_FALSE(GetClassInfoA(GetModuleHandleA(nullptr), "qxgfxclass_win32_tests", &registered));
}

BOOL WINAPI failing_duplicate(HANDLE, HANDLE, HANDLE, LPHANDLE, DWORD, BOOL, DWORD) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
}

// Without a duplicate of its handle the window thread cannot be joined: the start fails, the
// thread ends by itself, and neither start event nor the critical section is left behind.
TEST(WindowLifecycle, AStartThatCannotKeepTheThreadHandleLeavesNothingBehind) {
    ASSERT_EQ(open_test_screen(160, 100, 32), 0);
    close_test_screen();
    const int32_t threads_before = thread_count();
    const int32_t handles_before = open_handle_count();
    window_duplicate_handle = failing_duplicate;
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(open_test_screen(160, 100, 32), -1) << "round " << i;
        EXPECT_EQ(window_input.window_thread_handle, nullptr);
        // Wine gives a critical section a debug record while it is initialised.
        EXPECT_EQ(window_lock.DebugInfo, nullptr) << "round " << i;
        close_test_screen();
    }
    window_duplicate_handle = DuplicateHandle;
    wait_for_thread_count(threads_before);
    EXPECT_EQ(thread_count(), threads_before);
    EXPECT_LE(open_handle_count(), handles_before + 2);
    ASSERT_EQ(open_test_screen(160, 100, 32), 0);
    close_test_screen();
}

} // namespace
