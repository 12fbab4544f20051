#include "gfx/draw_state.h"
#include "gfx/gfx_context.h"
#include "gfx/input_state.h"
#include "gfx/screen.h"
#include "runtime/console/console.h"
#include "runtime/console_hooks.h"
#include "runtime/key_input.h"
#include "runtime/mutex.h"
#include "runtime/os/os.h"
#include "runtime/runtime.h"
#include "runtime/text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// A driver list that records every init call and lets one chosen driver succeed.
struct init_call {
    std::string driver;
    int32_t refresh_rate;
    uint32_t flags;
};
std::vector<init_call> calls;
std::string accepting;
int32_t exits;

template <int N> int32_t recording_init(const char*, int32_t, int32_t, int32_t, int32_t rate, uint32_t flags) {
    static const char* const names[] = {"DirectX", "GDI", "OpenGL"};
    calls.push_back({names[N], rate, flags});
    return accepting == names[N] ? 0 : -1;
}
void recording_exit() { ++exits; }
void no_lock() {}

display_driver recording_driver(const char* name, decltype(display_driver::init) init) {
    display_driver d{};
    d.name = name;
    d.init = init;
    d.exit = recording_exit;
    d.lock = d.unlock = no_lock;
    return d;
}

const display_driver recording[3] = {
    recording_driver("DirectX", recording_init<0>),
    recording_driver("GDI", recording_init<1>),
    recording_driver("OpenGL", recording_init<2>),
};
const display_driver* const recording_list[] = {&recording[0], &recording[1], &recording[2], nullptr};

const console_hooks_table no_hooks{};

class ScreenMode : public testing::Test {
  protected:
    void SetUp() override {
        runtime_start();
        os_set_environment("QXGFX", "null");
    }
    void TearDown() override {
        close_screen();
        driver_list = default_driver_list;
        os_set_environment("QXGFX", nullptr);
    }
};

TEST_F(ScreenMode, ApplicationScreenIs32BitWithBlackPixels) {
    ASSERT_EQ(screen_res(1280, 768, 24, 1, 0, 0), 0);
    gfx_context* c = gfx_screen;
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->mode, -1);
    EXPECT_EQ(c->depth, 32);
    EXPECT_EQ(c->bpp, 4);
    EXPECT_EQ(c->pitch, 5120);
    EXPECT_EQ(c->color_mask, 0xFFFFFFFFu);
    EXPECT_EQ(c->aspect, 1.0f);
    EXPECT_EQ(c->text_cols, 160);
    EXPECT_EQ(c->text_rows, 96);
    EXPECT_EQ(c->driver, &null_driver);
    draw_state* s = get_draw_state();
    EXPECT_EQ(s->fg_color, 0xFFFFFFFFu);
    EXPECT_EQ(s->bg_color, 0xFF000000u);
    const auto* pixels = reinterpret_cast<const uint32_t*>(c->visible_buffer);
    for (int32_t i = 0; i < 1280 * 768; ++i) ASSERT_EQ(pixels[i], 0xFF000000u) << i;
    EXPECT_NE(console_hooks.key_read_text, nullptr);
    EXPECT_NE(console_hooks.page_copy, nullptr);
}

TEST_F(ScreenMode, Depth15IsStoredAs16BitPixelsAnd24As32) {
    ASSERT_EQ(screen_res(320, 200, 15, 1, 0, 0), 0);
    EXPECT_EQ(gfx_screen->depth, 16);
    EXPECT_EQ(gfx_screen->bpp, 2);
    EXPECT_EQ(gfx_screen->color_mask, 0xFFFFu);
    ASSERT_EQ(screen_res(320, 200, 24, 1, 0, 0), 0);
    int32_t id24 = gfx_screen->id;
    EXPECT_EQ(gfx_screen->depth, 32);
    ASSERT_EQ(screen_res(320, 200, 32, 1, 0, 0), 0);
    EXPECT_EQ(gfx_screen->depth, 32);
    EXPECT_EQ(gfx_screen->id, id24 + 1);
}

TEST_F(ScreenMode, NumberedModesTakeTheirTableEntries) {
    ASSERT_EQ(screen_mode(13, 0, 0, 0, 0), 0);
    EXPECT_FLOAT_EQ(gfx_screen->aspect, 0.8333333f);
    EXPECT_EQ(gfx_screen->depth, 8);
    EXPECT_EQ(get_draw_state()->fg_color, 15u);
    ASSERT_EQ(screen_mode(2, 0, 0, 0, 0), 0);
    EXPECT_EQ(gfx_screen->scanline_size, 2);
    EXPECT_EQ(gfx_screen->height, 200); // shown on 400 display lines
    ASSERT_EQ(screen_mode(18, 32, 0, 0, 0), 0);
    EXPECT_EQ(gfx_screen->depth, 32);
    EXPECT_EQ(gfx_screen->width, 640);
    ASSERT_EQ(screen_mode(13, 32, 0, 0, 0), 0);
    EXPECT_EQ(gfx_screen->depth, 8); // a requested depth counts only above mode 13
}

TEST_F(ScreenMode, EmptyAndUnknownModesAndBadSizesAreRefusedWithoutChange) {
    ASSERT_EQ(screen_res(320, 200, 32, 1, 0, 0), 0);
    gfx_context* open = gfx_screen;
    for (int32_t mode : {3, 4, 5, 6, 22, -1}) EXPECT_EQ(screen_mode(mode, 0, 0, 0, 0), 1) << mode;
    EXPECT_EQ(screen_res(0, 200, 32, 1, 0, 0), 1);
    EXPECT_EQ(screen_res(320, -1, 32, 1, 0, 0), 1);
    EXPECT_EQ(screen_res(320, 200, 12, 1, 0, 0), 1);
    EXPECT_EQ(screen_res(2048, 200, 32, 1, 0, 0), 1); // 256 text columns do not fit in 8 bits
    EXPECT_EQ(error_number(), 1);
    EXPECT_EQ(gfx_screen, open);
}

TEST_F(ScreenMode, ModeZeroClosesTheScreenAndEmptiesTheHooks) {
    ASSERT_EQ(screen_res(320, 200, 32, 2, 0, 0), 0);
    EXPECT_EQ(gfx_screen->num_pages, 2);
    EXPECT_EQ(screen_mode(0, 0, 0, 0, 0), 0);
    EXPECT_EQ(gfx_screen, nullptr);
    EXPECT_EQ(console_hooks.key_read_text, nullptr);
    EXPECT_EQ(console_hooks.page_set, nullptr);
    EXPECT_EQ(expand16_table, nullptr);
}

TEST_F(ScreenMode, WithoutANameEveryDriverIsTriedTwiceThenWithFullscreenInverted) {
    os_set_environment("QXGFX", nullptr);
    driver_list = recording_list;
    calls.clear();
    accepting = "none";
    EXPECT_EQ(screen_res(320, 200, 32, 1, 0, 60), 1);
    EXPECT_EQ(gfx_screen, nullptr);
    EXPECT_EQ(std::memcmp(&console_hooks, &no_hooks, sizeof no_hooks), 0);
    ASSERT_EQ(calls.size(), 12u);
    const char* order[] = {"DirectX", "GDI", "OpenGL"};
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(calls[i].driver, order[(i / 2) % 3]) << i;
        EXPECT_EQ(calls[i].refresh_rate, i % 2 ? 0 : 60) << i;
        EXPECT_EQ(calls[i].flags, i < 6 ? 0u : fullscreen) << i;
    }
}

TEST_F(ScreenMode, ANamedDriverIsTriedFirstAndAgainBeforeTheFullscreenPass) {
    os_set_environment("QXGFX", "gdi");
    driver_list = recording_list;
    calls.clear();
    accepting = "none";
    EXPECT_EQ(screen_res(320, 200, 32, 1, fullscreen, 0), 1);
    // Every try is followed by one with refresh rate 0; keep the first of each pair.
    std::vector<std::string> tries;
    std::vector<uint32_t> try_flags;
    for (size_t i = 0; i < calls.size(); i += 2) {
        tries.push_back(calls[i].driver);
        try_flags.push_back(calls[i].flags);
    }
    std::vector<std::string> expected = {"GDI", "DirectX", "GDI", "OpenGL", "GDI",
                                         "DirectX", "GDI", "OpenGL"};
    EXPECT_EQ(tries, expected);
    for (size_t i = 0; i < try_flags.size(); ++i)
        EXPECT_EQ(try_flags[i], i < 5 ? fullscreen : 0u) << i;
}

TEST_F(ScreenMode, ASuccessfulInitEndsTheSearchAndFailedTriesAreFollowedByExit) {
    os_set_environment("QXGFX", nullptr);
    driver_list = recording_list;
    calls.clear();
    exits = 0;
    accepting = "OpenGL";
    ASSERT_EQ(screen_res(320, 200, 32, 1, 0, 0), 0);
    EXPECT_EQ(gfx_screen->driver, &recording[2]);
    EXPECT_EQ(calls.size(), 5u);
    EXPECT_EQ(exits, 4);
}

TEST_F(ScreenMode, NullInAnySpellingTakesTheNullDriver) {
    driver_list = recording_list;
    calls.clear();
    os_set_environment("QXGFX", "NULL");
    ASSERT_EQ(screen_res(320, 200, 32, 1, 0, 0), 0);
    EXPECT_EQ(gfx_screen->driver, &null_driver);
    EXPECT_TRUE(calls.empty());
}

TEST_F(ScreenMode, AnUnknownNameAddsTwoPassesOverAllDrivers) {
    os_set_environment("QXGFX", "vga");
    driver_list = recording_list;
    calls.clear();
    accepting = "none";
    EXPECT_EQ(screen_res(320, 200, 32, 1, 0, 0), 1);
    EXPECT_EQ(calls.size(), 12u);
}

int32_t allocations_left;
void* failing_allocate(size_t count, size_t size) {
    return allocations_left-- > 0 ? std::calloc(count, size) : nullptr;
}

TEST_F(ScreenMode, AFailedAllocationReleasesWhatWasBuiltAndReportsError4) {
    int32_t console_rows = 0;
    text_screen_size(nullptr, &console_rows);
    ASSERT_EQ(screen_res(64, 32, 32, 2, 0, 0), 0);
    int32_t failures = 0;
    for (int32_t allowed = 0;; ++allowed) {
        allocations_left = allowed;
        screen_allocate = failing_allocate;
        int32_t result = screen_res(64, 32, 32, 2, 0, 0);
        screen_allocate = std::calloc;
        if (result == 0) break;
        ++failures;
        EXPECT_EQ(result, 4) << allowed;
        EXPECT_EQ(error_number(), 4);
        EXPECT_EQ(gfx_screen, nullptr) << allowed;
        EXPECT_EQ(expand16_table, nullptr);
        EXPECT_EQ(std::memcmp(&console_hooks, &no_hooks, sizeof no_hooks), 0) << allowed;
        // The console's whole screen again, not the 64 x 32 screen's four text rows.
        EXPECT_EQ(view_bottom_row(), console_rows - 1) << allowed;
        ASSERT_LT(allowed, 100);
    }
    EXPECT_GE(failures, 8); // context, page table, two pages, dirty flags, tables, cells
    ASSERT_NE(gfx_screen, nullptr);
    plot_pixel(nullptr, 1, 1, 0xFFFFFFFFu, coords_point, 0); // the screen that did open works
    EXPECT_EQ(reinterpret_cast<uint32_t*>(gfx_screen->visible_buffer)[65], 0xFFFFFFFFu);
}

os_semaphore* no_semaphore(int32_t, int32_t) {
    return nullptr;
}

TEST_F(ScreenMode, AnEventMutexWithoutItsSemaphoreFailsTheModeSetWithError4) {
    mutex_semaphore_create = no_semaphore;
    const int32_t result = screen_res(64, 32, 32, 1, 0, 0);
    mutex_semaphore_create = os_semaphore_create;
    EXPECT_EQ(result, 4);
    EXPECT_EQ(gfx_screen, nullptr);
    EXPECT_EQ(console_hooks.key_read_text, nullptr);
}

// A driver with a mouse: get_mouse reports (7, 8), wheel 9, button 1; set_mouse keeps its place.
int32_t mouse_x, mouse_y;
display_driver make_mouse_driver() {
    display_driver d{};
    d.name = "Mouse";
    d.init = [](const char*, int32_t, int32_t, int32_t, int32_t, uint32_t) -> int32_t { return 0; };
    d.get_mouse = [](int32_t* x, int32_t* y, int32_t* wheel, int32_t* buttons, int32_t* clip) {
        *x = 7;
        *y = 8;
        *wheel = 9;
        *buttons = 1;
        *clip = 0;
        return 0;
    };
    d.set_mouse = [](int32_t x, int32_t y, int32_t, int32_t) {
        mouse_x = x;
        mouse_y = y;
    };
    return d;
}
const display_driver mouse_driver = make_mouse_driver();
const display_driver* const mouse_list[] = {&mouse_driver, nullptr};

void post_keys(std::initializer_list<int32_t> codes) {
    for (int32_t code : codes)
        post_key(code);
}

// Each of the 27 slots is called and shows the effect that only its own operation has: slots
// of one signature could otherwise change places unnoticed. Closing the screen empties them
// and gives the console its own text view.
TEST_F(ScreenMode, EachHookSlotHoldsItsOwnOperation) {
    int32_t console_rows = 0;
    text_screen_size(nullptr, &console_rows);
    os_set_environment("QXGFX", nullptr);
    driver_list = mouse_list;
    key_buffer_clear();
    ASSERT_EQ(screen_mode(13, 0, 2, 0, 0), 0); // 320 x 200 x 8, a 40 x 25 grid, two pages
    const console_hooks_table& h = console_hooks;

    post_key('a');
    EXPECT_EQ(text_compare(h.key_read_text(), "a"), 0); // 1
    post_key('b');
    EXPECT_EQ(h.input_redirected(), 0); // 25
    EXPECT_EQ(h.key_hit(), 1);          // 3
    EXPECT_EQ(h.key_wait(), 'b');       // 2
    post_key('c');
    h.sleep(100); // 24: ends at once on the key, taking its hit but not the key
    EXPECT_EQ(key_hit_flag, 0);
    EXPECT_EQ(get_key(), 'c');

    EXPECT_EQ(h.locate(5, 10, -1), 0x050A); // 6
    EXPECT_EQ(h.column(), 10);              // 8
    EXPECT_EQ(h.row(), 5);                  // 9
    int32_t a = 0, b = 0;
    h.position(&a, &b); // 10
    EXPECT_EQ(a, 10);
    EXPECT_EQ(b, 5);
    h.size(&a, &b); // 11
    EXPECT_EQ(a, 40);
    EXPECT_EQ(b, 25);
    EXPECT_EQ(h.color(0x80, 0x20, 0), 15u); // 5: the previous foreground 15 on 0
    EXPECT_EQ(get_draw_state()->fg_color, 0x80u);
    h.print("Z", 1, 0); // 12
    const uint16_t wide[1] = {'Y'};
    h.print_wide(wide, 1, 0);              // 13
    EXPECT_EQ(h.read_cell(10, 5, 0), 'Z'); // 23
    EXPECT_EQ(h.read_cell(11, 5, 0), 'Y');
    EXPECT_EQ(h.read_cell(10, 5, 1), 0x2080u); // 0x80 on 0x20
    h.clear(0);                                // 4
    EXPECT_EQ(h.read_cell(10, 5, 0), ' ');
    EXPECT_EQ(h.column(), 1);
    EXPECT_EQ(h.row(), 1);

    char buffer[8];
    post_keys({'h', 'i', 13});
    EXPECT_EQ(h.read_string(buffer, 8), buffer); // 14
    EXPECT_STREQ(buffer, "hi\r");
    text line{};
    post_keys({'o', 'k', 13});
    EXPECT_EQ(h.line_input(nullptr, &line, 0, 0, 0, 0), 0); // 21
    EXPECT_EQ(text_compare(&line, "ok"), 0);
    text_free(&line);
    uint16_t units[3] = {1, 1, 1};
    post_keys({'w', 13});
    EXPECT_EQ(h.line_input_wide(nullptr, units, 3, 0, 0, 0), 0); // 22
    EXPECT_EQ(units[0], 'w');
    EXPECT_EQ(units[1], 0);

    gfx_screen->key_state[30] = 1;
    EXPECT_EQ(h.key_down(30), -1); // 15
    EXPECT_EQ(h.key_down(31), 0);
    EXPECT_EQ(h.port_read(0x3DA), 8);     // 18
    EXPECT_EQ(h.port_write(0x3C8, 1), 0); // 19
    for (int32_t i = 0; i < 3; ++i)
        h.port_write(0x3C9, 63);
    EXPECT_EQ(gfx_screen->device_palette[1], 0xFFFFFFu);
    int32_t x = 0, y = 0, wheel = 0, buttons = 0, clip = 0;
    EXPECT_EQ(h.get_mouse(&x, &y, &wheel, &buttons, &clip), 0); // 16
    EXPECT_EQ(x, 7);
    EXPECT_EQ(wheel, 9);
    EXPECT_EQ(h.set_mouse(3, 4, 1, 0), 0); // 17
    EXPECT_EQ(mouse_x, 3);
    EXPECT_EQ(mouse_y, 4);

    gfx_screen->pages[0][5] = 9;
    EXPECT_EQ(h.page_copy(0, 1), 0); // 26
    EXPECT_EQ(gfx_screen->pages[1][5], 9);
    EXPECT_EQ(h.page_set(1, 0), 0); // 27: returns the previous pages, visible 0 and work 0
    EXPECT_EQ(get_draw_state()->work_page, 1);
    EXPECT_EQ(h.width(40, 0), 40 | (25 << 16)); // 7: returns the previous grid
    h.view_update();                            // 20: does nothing

    ASSERT_NE(text_view(3, 9, 1), 0);
    close_screen();
    EXPECT_EQ(std::memcmp(&console_hooks, &no_hooks, sizeof no_hooks), 0);
    EXPECT_EQ(view_top_row(), 0);
    EXPECT_EQ(view_bottom_row(), console_rows - 1);
}

TEST_F(ScreenMode, WindowTitleIsCutTo127Bytes) {
    std::string long_title(300, 't');
    EXPECT_EQ(set_window_title(text_make(long_title.data(), 300)), 0);
    EXPECT_EQ(std::string(window_title()), std::string(127, 't'));
    EXPECT_EQ(text_pool_in_use(), 0);
}

} // namespace
