// The DirectDraw driver's recovery paths on Wine: failed openings, lost surfaces and keyboards,
// a display mode changed under it, the fullscreen switch, and the program's thread calling in
// meanwhile. Seams answer where Wine cannot be made to fail.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "gfx/screen.h"
#include "tests/gfx/win32/ddraw_seams.h"
#include "tests/gfx/win32/test_window.h"

namespace {

HRESULT accept_any_mode(const display_mode_request&) {
    return DD_OK;
}

// The program's thread can take window_lock, as its next plot would.
bool program_thread_gets_the_lock() {
    return wait_for([] {
        if (!TryEnterCriticalSection(&window_lock)) return false;
        LeaveCriticalSection(&window_lock);
        return true;
    });
}

// The close button reaches the program: its event arrives.
bool close_button_arrives() {
    PostMessageA(locked(window_state.hwnd), WM_CLOSE, 0, 0);
    return wait_for([] {
        const std::vector<event_record> events = take_events();
        return std::any_of(events.begin(), events.end(),
                           [](const event_record& e) { return e.type == event_close; });
    });
}

const LPARAM alt_enter = (28 << 16) | (1 << 29) | 1;

class DdrawRecovery : public DdrawTest {};

// Changes the display format the primary surface reports.
void (*format_change)(DDPIXELFORMAT* format);
void change_format(const std::string& name, void* subject) {
    if (name == "format" && format_change) format_change(static_cast<DDPIXELFORMAT*>(subject));
}

TEST_F(DdrawRecovery, EachFailedOpeningFailsTheInitAndLeavesNothingOpen) {
    struct failure {
        const char* call;
        HRESULT result;
        void (*format)(DDPIXELFORMAT*);
    };
    const failure failures[] = {
        {"query", E_NOINTERFACE, nullptr},               // no IDirectDraw2
        {"input", DIERR_OLDDIRECTINPUTVERSION, nullptr}, // no DirectInput
        {"format", DD_OK, [](DDPIXELFORMAT* f) { f->dwFlags &= ~DDPF_RGB; }},
        {"format", DD_OK, [](DDPIXELFORMAT* f) { f->dwRGBBitCount = 4; }}, // no conversion
        {"keyboard", DIERR_DEVICENOTREG, nullptr},
    };
    for (const failure& f : failures) {
        SCOPED_TRACE(f.call);
        format_change = f.format;
        start_recording({{f.call, f.result, -1}}, change_format);
        EXPECT_EQ(open_test_screen_on(directdraw_driver, 320, 200, 32), -1);
        EXPECT_EQ(recorded_count(f.call), 1);
        // The opening stopped there: the keyboard comes last.
        EXPECT_EQ(recorded_count("keyboard"), std::string(f.call) == "keyboard" ? 1 : 0);
        expect_nothing_open();
        close_test_screen();
        stop_recording();
    }
}

// Whether another thread could enter window_lock when the window thread locked the target to
// convert the framebuffer into it: 1 held, 0 free, -1 not seen yet.
std::atomic<int32_t> window_lock_at_surface_lock{-1};
void check_window_lock(const std::string& name, void*) {
    if (name != "lock T" || window_lock_at_surface_lock != -1) return;
    bool entered = false;
    std::thread other([&entered] {
        entered = TryEnterCriticalSection(&window_lock) != FALSE;
        if (entered) LeaveCriticalSection(&window_lock);
    });
    other.join();
    window_lock_at_surface_lock = entered ? 0 : 1;
}

// The window procedure blits and closes surfaces inside window_lock; a pass that locked the
// surface first and then waited for window_lock could wait on a thread that waits on it.
TEST_F(DdrawRecovery, TheTargetIsLockedInsideWindowLock) {
    ASSERT_EQ(open_test_screen_on(directdraw_driver, 320, 200, 32), 0);
    window_lock_at_surface_lock = -1;
    start_recording({}, check_window_lock);
    lock();
    std::memset(gfx_screen->dirty, 1, 200);
    unlock();
    EXPECT_TRUE(wait_for([] { return window_lock_at_surface_lock != -1; }));
    EXPECT_EQ(window_lock_at_surface_lock, 1);
}

// At a call of the program's thread, the window thread builds the presentation anew (a display
// mode change) before the call goes on.
std::atomic<bool> rebuild_at_call;
std::atomic<bool> rebuilt;
void rebuild_presentation(const std::string& name, void*) {
    if ((name != "blank" && name != "modes") || !rebuild_at_call.exchange(false)) return;
    const HWND before = locked(window_state.hwnd);
    watch_ddraw_references();
    answer_call({"lost P", DDERR_SURFACELOST, 1});
    answer_call({"restore P", DDERR_WRONGMODE, 1});
    rebuilt = wait_for([before] {
        const HWND now = locked(window_state.hwnd);
        return now && now != before;
    });
}

// The window thread frees ddraw.dll when it closes the presentation; Windows unmaps it with its
// last reference, under a call still running in it (Wine never unloads it).
TEST_F(DdrawRecovery, CallsOfTheProgramsThreadKeepDdrawLoadedWhileThePresentationIsRebuilt) {
    ASSERT_EQ(open_test_screen_on(directdraw_driver, 320, 200, 32), 0);
    const int32_t driver_references = ddraw_references();
    start_recording({}, rebuild_presentation);
    struct program_call {
        const char* name;
        void (*run)();
    };
    const program_call calls[] = {
        {"wait_vsync", [] { directdraw_driver.wait_vsync(); }},
        {"fetch_modes",
         [] {
             int32_t count = 0;
             std::free(directdraw_driver.fetch_modes(32, &count));
         }},
    };
    for (const program_call& call : calls) {
        SCOPED_TRACE(call.name);
        rebuilt = false;
        rebuild_at_call = true;
        call.run();
        EXPECT_TRUE(rebuilt);
        EXPECT_GE(ddraw_references_fewest(), 1);
        EXPECT_EQ(ddraw_references(), driver_references);
    }
}

TEST_F(DdrawRecovery, TheProgramCanEndWhileTheDisplayCannotBeHad) {
    ASSERT_EQ(open_test_screen_on(directdraw_driver, 320, 200, 32), 0);
    // The display mode changed and every try to build the presentation anew fails: the tries
    // go on, 300 ms apart, without holding the program's thread off.
    start_recording({{"lost P", DDERR_SURFACELOST, 1},
                     {"restore P", DDERR_WRONGMODE, 1},
                     {"query", E_NOINTERFACE, -1}});
    EXPECT_TRUE(wait_for([] { return recorded_count("query") >= 2; }));
    EXPECT_TRUE(program_thread_gets_the_lock());
    answer_call({"query", DD_OK, 0});
    EXPECT_TRUE(wait_for([] { return IsWindow(locked(window_state.hwnd)) != FALSE; }));

    // Another program holds the display: the surfaces cannot be restored, from the passes or a
    // repaint, and the window still handles its messages.
    answer_call({"lost P", DDERR_SURFACELOST, -1});
    answer_call({"restore P", DDERR_NOEXCLUSIVEMODE, -1});
    EXPECT_TRUE(wait_for([] { return recorded_count("restore P") >= 3; }));
    InvalidateRect(locked(window_state.hwnd), nullptr, FALSE);
    drain_input();
    EXPECT_TRUE(close_button_arrives());
    EXPECT_TRUE(program_thread_gets_the_lock());
}

TEST_F(DdrawRecovery, AnInactiveFullscreenWindowOnlyHandlesItsMessages) {
    display_mode_seam = accept_any_mode;
    ASSERT_EQ(open_test_screen_on(directdraw_driver, 320, 200, 32, fullscreen), 0);
    const HWND window = window_state.hwnd;
    SendMessageA(window, WM_ACTIVATE, WA_INACTIVE, 0);
    start_recording();
    drain_input();
    // Messages handled one after the other: passes ran meanwhile, one at least whole.
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(close_button_arrives());
    EXPECT_EQ(recorded_calls(), std::vector<std::string>{});

    SendMessageA(window, WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_TRUE(
        wait_for([] { return recorded_count("lost P") > 0 && recorded_count("keys") > 0; }));
}

TEST_F(DdrawRecovery, AltEnterGoesFullscreenAndBackToTheWindowsPlace) {
    display_mode_seam = accept_any_mode;
    ASSERT_EQ(open_test_screen_on(directdraw_driver, 320, 200, 32), 0);
    set_window_pos(40, 30);
    auto window_at = [](int32_t x, int32_t y) {
        RECT rect{};
        GetWindowRect(locked(window_state.hwnd), &rect);
        return rect.left == x && rect.top == y;
    };
    ASSERT_TRUE(wait_for([&] { return window_at(40, 30); }));
    start_recording();

    SendMessageA(locked(window_state.hwnd), WM_SYSKEYDOWN, VK_RETURN, alt_enter);
    lock();
    EXPECT_NE(window_state.flags & fullscreen, 0u);
    EXPECT_EQ(ddraw_state.target_surface, ddraw_state.primary_surface);
    RECT rect{};
    GetWindowRect(window_state.hwnd, &rect);
    EXPECT_EQ(rect.right - rect.left, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(rect.bottom - rect.top, GetSystemMetrics(SM_CYSCREEN));
    unlock();
    // A window is not blanked when it closes, and leaves the display mode alone.
    EXPECT_EQ(recorded_count("fill P"), 0);
    EXPECT_EQ(recorded_count("desktop"), 0);

    SendMessageA(locked(window_state.hwnd), WM_SYSKEYDOWN, VK_RETURN, alt_enter);
    // The fullscreen display was blanked before its mode went back.
    EXPECT_EQ(recorded_calls({"fill P", "desktop"}),
              (std::vector<std::string>{"fill P", "desktop"}));
    lock();
    EXPECT_EQ(window_state.flags & fullscreen, 0u);
    EXPECT_NE(ddraw_state.target_surface, ddraw_state.primary_surface);
    unlock();
    EXPECT_TRUE(window_at(40, 30));
}

// The keyboard reads since the answers were planned; the first is answered as lost. key_state
// entry 1 is marked just before it, and what the entry holds at the next read is kept.
std::atomic<int32_t> keyboard_reads;
std::atomic<int32_t> mark_at_next_read;
void mark_key_state(const std::string& name, void*) {
    if (name != "keys") return;
    const int32_t read = ++keyboard_reads;
    lock();
    if (read == 1) gfx_screen->key_state[1] = 1;
    if (read == 2) mark_at_next_read = gfx_screen->key_state[1];
    unlock();
}

TEST_F(DdrawRecovery, ALostKeyboardIsAcquiredAgainAndKeyStateWaitsForTheNextRead) {
    ASSERT_EQ(open_test_screen_on(directdraw_driver, 320, 200, 32), 0);
    for (HRESULT lost : {DIERR_INPUTLOST, DIERR_NOTACQUIRED}) {
        SCOPED_TRACE(lost);
        keyboard_reads = 0;
        mark_at_next_read = -1;
        start_recording({{"keys", lost, 1}}, mark_key_state);
        EXPECT_TRUE(wait_for([] { return recorded_count("keys") >= 3; }));
        std::vector<std::string> reads = recorded_calls({"keys", "acquire"});
        reads.resize(3);
        EXPECT_EQ(reads, (std::vector<std::string>{"keys", "acquire", "keys"}));
        EXPECT_EQ(mark_at_next_read, 1);
        EXPECT_TRUE(wait_for([] { return locked(gfx_screen->key_state[1]) == 0; }));
        stop_recording();
    }
}

} // namespace
