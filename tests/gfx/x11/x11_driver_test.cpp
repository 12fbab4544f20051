// The X11 driver on a real X server: the mode set's choice, pixels read back from the server,
// the dirty band, keys typed with xdotool, the pointer, the close button, full screen, and the
// resources of many mode sets.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

#include <algorithm>
#include <signal.h>

#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "app/frame.h"
#include "app/model.h"
#include "gfx/internal/builtin_data.h"
#include "gfx/internal/gfx_context.h"
#include "gfx/internal/input_state.h"
#include "gfx/screen.h"
#include "gfx/x11/x11_driver.h"
#include "runtime/mutex.h"
#include "runtime/os/os.h"
#include "runtime/runtime.h"
#include "runtime/text.h"
#include "tests/gfx/typed_keys.h"
#include "tests/gfx/x11/x11_display.h"

namespace {

void pause_for(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// Waits until the window thread has run count more passes (at most 5 s).
void wait_passes(uint32_t count = 3) {
    const uint32_t until = x11_presents().passes + count;
    for (int waited = 0; waited < 5000 && x11_presents().passes < until; waited += 5)
        pause_for(5);
}

std::vector<int32_t> take_keys() {
    std::vector<int32_t> keys;
    for (int32_t code; (code = get_key()) != 0;)
        keys.push_back(code);
    return keys;
}

std::vector<int32_t> take_event_types() {
    std::vector<int32_t> types;
    gfx_context* c = gfx_screen;
    mutex_lock(c->event_lock);
    for (; c->event_head != c->event_tail; c->event_head = (c->event_head + 1) % event_queue_size)
        types.push_back(c->events[c->event_head].type);
    mutex_unlock(c->event_lock);
    return types;
}

// Whether the window thread put its image through shared memory; it may make a new image.
bool image_shared() {
    screen_lock();
    const bool shared = x11_state.shown.shared;
    screen_unlock(1, 0);
    return shared;
}

bool has(const std::vector<int32_t>& list, int32_t value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

// Runs xdotool and lets the window thread handle what it did: the server has handled xdotool's
// requests once the test's own connection has made a round trip after them.
void type(const std::string& xdotool_arguments) {
    run_command("xdotool " + xdotool_arguments);
    XSync(test_display(), False);
    wait_passes();
}

// The same for keys that put a code into the key buffer: waits for it (at most 5 s), on a busy
// machine the window thread may read the events passes later.
void type_key(const std::string& xdotool_arguments) {
    type(xdotool_arguments);
    for (int waited = 0; waited < 5000 && !key_hit_graphics(); waited += 10)
        pause_for(10);
    wait_passes(2);
}

// Writes pixel values into the framebuffer (bpp bytes each) and marks every line.
template <typename Value> void draw(Value (*value)(int32_t x, int32_t y)) {
    screen_lock();
    for (int32_t y = 0; y < gfx_screen->height; ++y) {
        auto* line = reinterpret_cast<Value*>(gfx_screen->visible_buffer + y * gfx_screen->pitch);
        for (int32_t x = 0; x < gfx_screen->width; ++x)
            line[x] = value(x, y);
    }
    screen_unlock(0, -1);
}

class X11Screen : public testing::Test {
  protected:
    void SetUp() override {
        const std::string reason = x11_unavailable();
        if (!reason.empty()) GTEST_SKIP() << reason;
        static bool started = false;
        if (!started) {
            runtime_start();
            started = true;
        }
        os_set_environment("QXGFX", nullptr);
        driver_list = default_driver_list;
        key_buffer_clear();
    }
    void TearDown() override {
        close_screen();
        x11_shared_memory_allowed = true;
    }
    // Opens a screen that the X11 driver presents and waits for it to show.
    void open(int32_t width, int32_t height, int32_t depth, uint32_t flags = 0) {
        ASSERT_EQ(screen_res(width, height, depth, 1, flags, 0), 0);
        ASSERT_EQ(gfx_screen->driver, &x11_driver);
        wait_passes();
    }
    Window window() const { return x11_state.window; }
};

TEST_F(X11Screen, ChosenWhereTheDisplayCanBeReachedNullOtherwise) {
    open(64, 32, 32);
    os_set_environment("QXGFX", "null");
    ASSERT_EQ(screen_res(64, 32, 32, 1, 0, 0), 0);
    EXPECT_EQ(gfx_screen->driver, &null_driver);
    os_set_environment("QXGFX", "x11");
    ASSERT_EQ(screen_res(64, 32, 32, 1, 0, 0), 0);
    EXPECT_EQ(gfx_screen->driver, &x11_driver);
    const std::string display = std::getenv("DISPLAY");
    os_set_environment("DISPLAY", ":999");
    ASSERT_EQ(screen_res(64, 32, 32, 1, 0, 0), 0);
    EXPECT_EQ(gfx_screen->driver, &null_driver);
    os_set_environment("DISPLAY", nullptr);
    ASSERT_EQ(screen_res(64, 32, 32, 1, 0, 0), 0);
    EXPECT_EQ(gfx_screen->driver, &null_driver);
    os_set_environment("DISPLAY", display.c_str());
}

// Through a shared-memory segment, and through plain requests as on a remote display.
class X11Pixels : public X11Screen, public testing::WithParamInterface<bool> {
  protected:
    void SetUp() override {
        X11Screen::SetUp();
        if (IsSkipped()) return;
        int major = 0, minor = 0;
        Bool pixmaps = False;
        if (GetParam() && !XShmQueryVersion(test_display(), &major, &minor, &pixmaps))
            GTEST_SKIP() << "the X server has no MIT-SHM";
        x11_shared_memory_allowed = GetParam();
    }
};

TEST_P(X11Pixels, TrueColourScreenReadsBackAsDrawn) {
    open(64, 32, 32);
    EXPECT_EQ(image_shared(), GetParam());
    draw<uint32_t>([](int32_t x, int32_t y) {
        return 0xFF000000u | static_cast<uint32_t>(x * 4) << 16 |
               static_cast<uint32_t>(y * 8) << 8 | static_cast<uint32_t>(x + y);
    });
    wait_passes();
    const std::vector<uint32_t> shown = window_pixels(window(), 0, 0, 64, 32);
    ASSERT_EQ(shown.size(), 64u * 32u);
    EXPECT_EQ(shown[0], 0x000000u);
    EXPECT_EQ(shown[63], 0xFC003Fu);          // (63, 0)
    EXPECT_EQ(shown[31 * 64 + 1], 0x04F820u); // (1, 31)
    int32_t wrong = 0;
    for (int32_t y = 0; y < 32; ++y)
        for (int32_t x = 0; x < 64; ++x)
            if (shown[y * 64 + x] !=
                (uint32_t(x * 4) << 16 | uint32_t(y * 8) << 8 | uint32_t(x + y)))
                ++wrong;
    EXPECT_EQ(wrong, 0);
}

TEST_P(X11Pixels, Mode13ShowsTheDefaultPalette) {
    ASSERT_EQ(screen_mode(13, 0, 1, 0, 0), 0);
    ASSERT_EQ(gfx_screen->driver, &x11_driver);
    // Pixel value (x / 20) + 16 * (y / 12): a 16 x 16 grid of cells, one per palette entry.
    draw<uint8_t>([](int32_t x, int32_t y) {
        return static_cast<uint8_t>(std::min(x / 20, 15) + 16 * std::min(y / 12, 15));
    });
    wait_passes();
    const std::vector<uint32_t> shown = window_pixels(window(), 0, 0, 320, 200);
    ASSERT_EQ(shown.size(), 320u * 200u);
    auto cell = [&](int32_t index) {
        return shown[(index / 16 * 12 + 6) * 320 + index % 16 * 20 + 10];
    };
    EXPECT_EQ(cell(0), 0x000000u);
    EXPECT_EQ(cell(1), 0x0000AAu);
    EXPECT_EQ(cell(15), 0xFFFFFFu);
    EXPECT_EQ(cell(33), 0x4000FFu);
    const uint8_t* rgb = palette256()->colors;
    std::vector<int32_t> wrong;
    for (int32_t index = 0; index < 256; ++index)
        if (cell(index) != (uint32_t{rgb[3 * index]} << 16 | uint32_t{rgb[3 * index + 1]} << 8 |
                            rgb[3 * index + 2]))
            wrong.push_back(index);
    EXPECT_EQ(wrong, std::vector<int32_t>{});
}

INSTANTIATE_TEST_SUITE_P(Images, X11Pixels, testing::Values(true, false),
                         [](const testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "SharedMemory" : "Plain");
                         });

TEST_F(X11Screen, PutsOnlyTheBandOfDirtyLines) {
    open(320, 200, 32);
    const x11_present_record before = x11_presents();
    wait_passes();
    EXPECT_EQ(x11_presents().puts, before.puts); // nothing dirty, nothing put

    screen_lock();
    screen_unlock(10, 10);
    wait_passes();
    x11_present_record now = x11_presents();
    EXPECT_EQ(now.puts, before.puts + 1);
    EXPECT_EQ(now.last_top, 10);
    EXPECT_EQ(now.last_rows, 1);

    screen_lock();
    screen_lock();
    screen_unlock(10, 10);
    screen_unlock(150, 150);
    wait_passes();
    now = x11_presents();
    EXPECT_EQ(now.puts, before.puts + 2);
    EXPECT_EQ(now.last_top, 10);
    EXPECT_EQ(now.last_rows, 141);
}

TEST_F(X11Screen, TypedKeysGiveTheCodesTheyGiveUnderWine) {
    open(320, 200, 32);
    expect_typed_keys(type_key, take_keys);
    // Latin-1 letters beyond the keyboard's own: xdotool puts them on a spare key, which Wine does
    // not follow. In code page 437, read signed, as the Windows conversion gives them.
    take_keys();
    type_key("key eacute ssharp");
    EXPECT_EQ(take_keys(), (std::vector<int32_t>{-126, -31}));
}

TEST_F(X11Screen, HeldKeyShowsInKeyStateAndRepeats) {
    open(320, 200, 32);
    take_event_types();
    type("keydown space");
    pause_for(900); // past the server's auto-repeat delay
    wait_passes();
    EXPECT_EQ(key_down(57), -1);
    type("keyup space");
    EXPECT_EQ(key_down(57), 0);
    const std::vector<int32_t> types = take_event_types();
    ASSERT_FALSE(types.empty());
    EXPECT_EQ(types.front(), event_key_pressed);
    EXPECT_TRUE(has(types, event_key_repeated));
    EXPECT_EQ(types.back(), event_key_released);
}

TEST_F(X11Screen, CloseButtonPostsCloseKeyAndEventAndKeepsWindow) {
    open(320, 200, 32);
    take_event_types();
    send_close_request(window());
    wait_passes();
    EXPECT_EQ(take_keys(), std::vector<int32_t>{0x6BFF});
    EXPECT_EQ(take_event_types(), std::vector<int32_t>{event_close});
    EXPECT_EQ(window_of_class("qxgfxclass_x11_tests"), window());
}

TEST_F(X11Screen, PointerAndFocusReachMouseAndEventQueue) {
    open(320, 200, 32);
    int32_t left = 0, top = 0;
    window_origin(window(), &left, &top);
    type("mousemove " + std::to_string(left - 20) + " " + std::to_string(top - 20));
    take_event_types();
    type("mousemove " + std::to_string(left + 30) + " " + std::to_string(top + 40));
    type("mousemove " + std::to_string(left + 31) + " " + std::to_string(top + 42));
    type("click 1");
    type("click --repeat 2 --delay 80 3");
    type("click 4");
    int32_t x = -1, y = -1, wheel = -1, buttons = -1, clip = -1;
    EXPECT_EQ(mouse_read(&x, &y, &wheel, &buttons, &clip), 0);
    EXPECT_EQ(x, 31);
    EXPECT_EQ(y, 42);
    EXPECT_EQ(wheel, 1);
    EXPECT_EQ(buttons, 0);
    type("mousemove " + std::to_string(left - 20) + " " + std::to_string(top - 20));
    EXPECT_EQ(take_event_types(),
              (std::vector<int32_t>{event_mouse_entered, event_mouse_moved, event_button_pressed,
                                    event_button_released, event_button_pressed,
                                    event_button_released, event_button_double_clicked,
                                    event_button_released, event_wheel, event_mouse_left}));

    EXPECT_EQ(mouse_set(10, 20, -1, -1), 0);
    XSync(test_display(), False);
    Window root = None, child = None;
    int root_x = 0, root_y = 0, win_x = 0, win_y = 0;
    unsigned mask = 0;
    XQueryPointer(test_display(), window(), &root, &child, &root_x, &root_y, &win_x, &win_y, &mask);
    EXPECT_EQ(win_x, 10);
    EXPECT_EQ(win_y, 20);

    XSetInputFocus(test_display(), None, RevertToNone, CurrentTime);
    XSync(test_display(), False);
    wait_passes();
    XSetInputFocus(test_display(), window(), RevertToParent, CurrentTime);
    XSync(test_display(), False);
    wait_passes();
    const std::vector<int32_t> focus = take_event_types();
    EXPECT_TRUE(has(focus, event_focus_lost));
    EXPECT_EQ(focus.back(), event_focus_gained);
}

TEST_F(X11Screen, WindowOperations) {
    open(320, 200, 32);
    text* title = text_make("renamed", 7);
    EXPECT_EQ(set_window_title(title), 0);
    char* name = nullptr;
    XFetchName(test_display(), window(), &name);
    ASSERT_NE(name, nullptr);
    EXPECT_STREQ(name, "renamed");
    XFree(name);

    x11_driver.set_window_pos(100, 50);
    XSync(test_display(), False);
    EXPECT_EQ(x11_driver.set_window_pos(INT32_MIN, 60), 100 | 50 << 16);
    XSync(test_display(), False);
    int32_t left = 0, top = 0;
    window_origin(window(), &left, &top);
    EXPECT_EQ(left, 100);
    EXPECT_EQ(top, 60);

    // Hidden and held in the window; the screen closes with both still in force.
    EXPECT_EQ(mouse_set(5, 6, 0, 1), 0);
    XSync(test_display(), False);
    wait_passes();
    int32_t x = -1, y = -1, clip = -1;
    EXPECT_EQ(mouse_read(&x, &y, nullptr, nullptr, &clip), 0);
    EXPECT_EQ(x, 5);
    EXPECT_EQ(y, 6);
    EXPECT_EQ(clip, 1);

    int32_t count = 0;
    int32_t* modes = x11_driver.fetch_modes(32, &count);
    ASSERT_EQ(count, 1);
    const int screen = DefaultScreen(test_display());
    EXPECT_EQ(modes[0],
              DisplayWidth(test_display(), screen) * 65536 + DisplayHeight(test_display(), screen));
    std::free(modes);
}

// Without a window manager the full-screen window covers the screen by itself; 640 x 480 on a
// screen of at least 1280 x 960 shows at twice the size, centred.
TEST_F(X11Screen, FullScreenScalesByWholeMultiplesAndAltEnterSwitchesBack) {
    const int screen = DefaultScreen(test_display());
    const int32_t screen_width = DisplayWidth(test_display(), screen);
    const int32_t screen_height = DisplayHeight(test_display(), screen);
    if (screen_width < 1280 || screen_height < 960) GTEST_SKIP() << "the screen is too small";
    open(640, 480, 32, fullscreen);
    draw<uint32_t>([](int32_t x, int32_t y) {
        return x == 0 && y == 0 ? 0xFFFF0000u : x == 639 && y == 479 ? 0xFF0000FFu : 0xFF00FF00u;
    });
    wait_passes(5);
    const int32_t scale = std::min(screen_width / 640, screen_height / 480);
    const int32_t left = (screen_width - 640 * scale) / 2;
    const int32_t top = (screen_height - 480 * scale) / 2;
    const screenshot shot = take_screenshot();
    EXPECT_EQ(shot.pixel(left, top), 0xFF0000u);
    EXPECT_EQ(shot.pixel(left + scale - 1, top + scale - 1), 0xFF0000u);
    EXPECT_EQ(shot.pixel(left + scale, top + scale), 0x00FF00u);
    EXPECT_EQ(shot.pixel(left + 640 * scale - 1, top + 480 * scale - 1), 0x0000FFu);
    EXPECT_EQ(shot.pixel(left - 1, top), 0x000000u); // the border
    type("key alt+Return");
    wait_passes(5);
    XWindowAttributes attributes{};
    XGetWindowAttributes(test_display(), window(), &attributes);
    EXPECT_EQ(attributes.width, 640);
    EXPECT_EQ(attributes.height, 480);
    EXPECT_EQ(window_pixels(window(), 639, 479, 1, 1), std::vector<uint32_t>{0x0000FF});
}

TEST_F(X11Screen, TwentyModeSetsLeaveNoThreadFileWindowOrSegment) {
    const int32_t threads = thread_count();
    const int32_t files = open_files();
    const int32_t windows = top_level_windows();
    const int32_t segments = shared_memory_segments();
    for (int32_t i = 0; i < 20; ++i) {
        if (i % 2)
            ASSERT_EQ(screen_mode(13, 0, 1, 0, 0), 0);
        else
            ASSERT_EQ(screen_res(640, 480, 32, 1, 0, 0), 0);
        ASSERT_EQ(gfx_screen->driver, &x11_driver);
        EXPECT_EQ(shared_memory_segments(), segments + (image_shared() ? 1 : 0));
    }
    close_screen();
    XSync(test_display(), False);
    EXPECT_EQ(thread_count(), threads);
    EXPECT_EQ(open_files(), files);
    EXPECT_EQ(top_level_windows(), windows);
    EXPECT_EQ(shared_memory_segments(), segments);
}

// An 8-bit display has no TrueColor visual to convert for: the window thread gives up after it
// opened the connection, and every try of the mode set leaves nothing behind.
TEST_F(X11Screen, ADisplayWithoutAConversionFailsAndLeavesNothing) {
    FILE* started = popen(CLOUDDISK_SOURCE_DIR "/scripts/xvfb-start 320x240x8", "r");
    ASSERT_NE(started, nullptr);
    char display[32] = {};
    int pid = 0;
    const bool read = std::fscanf(started, "%31s %d", display, &pid) == 2;
    pclose(started);
    ASSERT_TRUE(read) << "no 8-bit Xvfb could be started";
    const std::string own = std::getenv("DISPLAY");
    const int32_t threads = thread_count();
    const int32_t files = open_files();
    os_set_environment("DISPLAY", display);
    EXPECT_EQ(screen_res(320, 200, 32, 1, 0, 0), 1);
    EXPECT_EQ(gfx_screen, nullptr);
    os_set_environment("DISPLAY", own.c_str());
    kill(pid, SIGTERM);
    EXPECT_EQ(thread_count(), threads);
    EXPECT_EQ(open_files(), files);
}

// The program's frames plot on the program's thread while the window thread presents: under
// ThreadSanitizer this runs without a report.
TEST_F(X11Screen, ProgramFramesPlotWhileTheWindowThreadPresents) {
    open(1280, 768, 24);
    static model_state model;
    ASSERT_EQ(model_allocate(&model), 0);
    frame_loop loop{};
    start_frames(&loop, &model, 812.7);
    const uint32_t puts = x11_presents().puts;
    for (int32_t frame = 0; frame < 100; ++frame)
        run_frames(&loop, loop.frame);
    wait_passes();
    EXPECT_GT(x11_presents().puts, puts);
    EXPECT_EQ(window_pixels(window(), 640, 384, 2, 2),
              (std::vector<uint32_t>{0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF}));
}

} // namespace
