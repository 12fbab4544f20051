#include "gfx/draw_state.h"
#include "gfx/gfx_context.h"
#include "gfx/screen.h"
#include "runtime/console/console.h"
#include "runtime/console_hooks.h"
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

TEST_F(ScreenMode, WindowTitleIsCutTo127Bytes) {
    std::string long_title(300, 't');
    EXPECT_EQ(set_window_title(text_make(long_title.data(), 300)), 0);
    EXPECT_EQ(std::string(window_title()), std::string(127, 't'));
    EXPECT_EQ(text_pool_in_use(), 0);
}

} // namespace
