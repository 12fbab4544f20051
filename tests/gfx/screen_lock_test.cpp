#include "gfx/internal/draw_state.h"
#include "gfx/internal/gfx_context.h"
#include "gfx/screen.h"
#include "runtime/os/os.h"
#include "runtime/runtime.h"

#include "tests/gfx/locking_driver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

class ScreenLock : public testing::Test {
  protected:
    void SetUp() override {
        runtime_start();
        os_set_environment("QXGFX", nullptr);
        driver_list = locking_list;
        locks = unlocks = 0;
    }
    void TearDown() override {
        close_screen();
        driver_list = default_driver_list;
    }
};

TEST_F(ScreenLock, NestedLocksCallTheDriverOnlyAtTheOutermostLevel) {
    ASSERT_EQ(screen_res(64, 32, 32, 1, 0, 0), 0);
    locks = unlocks = 0;
    screen_lock();
    screen_lock();
    EXPECT_EQ(locks, 1);
    EXPECT_TRUE(gfx_screen->flags & context_locked);
    screen_unlock(1, 0);
    EXPECT_EQ(unlocks, 0);
    screen_unlock(1, 0);
    EXPECT_EQ(unlocks, 1);
    EXPECT_FALSE(gfx_screen->flags & context_locked);
    screen_unlock(1, 0); // unmatched: nothing happens
    EXPECT_EQ(unlocks, 1);
}

TEST_F(ScreenLock, EveryPlotTakesTheDriversLockUnlessItIsAlreadyHeld) {
    ASSERT_EQ(screen_res(64, 32, 32, 1, 0, 0), 0);
    locks = unlocks = 0;
    for (int32_t i = 0; i < 3; ++i)
        plot_pixel(nullptr, i, 2, 0xFFFFFFFFu, coords_point, 0);
    EXPECT_EQ(locks, 3);
    EXPECT_EQ(unlocks, 3);
    screen_lock();
    for (int32_t i = 0; i < 3; ++i)
        plot_pixel(nullptr, i, 3, 0xFFFFFFFFu, coords_point, 0);
    EXPECT_EQ(locks, 4);
    EXPECT_EQ(gfx_screen->lock_count, 1);
    screen_unlock(1, 0);
    EXPECT_EQ(unlocks, 4);
    EXPECT_EQ(gfx_screen->dirty[3], 1);
}

TEST_F(ScreenLock, UnlockMarksTheGivenLinesOfTheVisiblePage) {
    ASSERT_EQ(screen_res(64, 32, 32, 1, 0, 0), 0);
    std::memset(gfx_screen->dirty, 0, 32);
    screen_lock();
    screen_unlock(5, 2);
    for (int32_t y = 0; y < 32; ++y)
        EXPECT_EQ(gfx_screen->dirty[y], 0);
    screen_lock();
    screen_unlock(0, -1);
    for (int32_t y = 0; y < 32; ++y)
        EXPECT_EQ(gfx_screen->dirty[y], 1);
}

TEST_F(ScreenLock, DrawingIntoAHiddenPageMarksNothing) {
    ASSERT_EQ(screen_res(64, 32, 32, 2, 0, 0), 0);
    EXPECT_EQ(page_set(1, 0), 0);
    std::memset(gfx_screen->dirty, 0, 32);
    plot_pixel(nullptr, 3, 3, 0xFFFFFFFFu, coords_point, 0);
    EXPECT_EQ(gfx_screen->dirty[3], 0);
    EXPECT_EQ(reinterpret_cast<uint32_t*>(gfx_screen->pages[1])[3 * 64 + 3], 0xFFFFFFFFu);
    EXPECT_EQ(page_set(-1, 1), 1); // previous: visible 0, work 1
    EXPECT_EQ(gfx_screen->visible_buffer, gfx_screen->pages[1]);
    EXPECT_EQ(gfx_screen->dirty[0], 1); // a new visible page is shown whole
}

TEST_F(ScreenLock, OutOfRangePagesAreIgnoredOrRefused) {
    ASSERT_EQ(screen_res(64, 32, 32, 1, 0, 0), 0);
    EXPECT_EQ(page_set(1, 1), 0);
    EXPECT_EQ(get_draw_state()->work_page, 0);
    EXPECT_EQ(page_copy(0, 0), 0);
    EXPECT_EQ(page_copy(0, 1), 1);
    EXPECT_EQ(page_copy(1, 0), 1);
}

TEST_F(ScreenLock, PageCopyCopiesTheViewAndMarksItsLines) {
    ASSERT_EQ(screen_res(64, 32, 32, 2, 0, 0), 0);
    page_set(1, 0);
    plot_pixel(nullptr, 7, 9, 0xFF123456u, coords_point, 0);
    std::memset(gfx_screen->dirty, 0, 32);
    EXPECT_EQ(page_copy(1, 0), 0);
    EXPECT_EQ(reinterpret_cast<uint32_t*>(gfx_screen->pages[0])[9 * 64 + 7], 0xFF123456u);
    for (int32_t y = 0; y < 32; ++y)
        EXPECT_EQ(gfx_screen->dirty[y], 1);
    EXPECT_EQ(screen_ptr(), gfx_screen->pages[1]);
}

TEST_F(ScreenLock, NoScreenMeansNoPages) {
    close_screen();
    EXPECT_EQ(page_set(0, 0), -1);
    EXPECT_EQ(page_copy(0, 0), 1);
    EXPECT_EQ(screen_ptr(), nullptr);
    screen_lock();
    screen_unlock(0, -1);
}

// The window thread copies and clears dirty lines under the driver's lock while the program
// plots; a line is never seen half-written and every plotted pixel reaches the copy.
struct presenter {
    std::atomic<bool> running{true};
    std::vector<uint32_t> shown;
    int32_t passes = 0;
};

void present_loop(void* argument) {
    auto* p = static_cast<presenter*>(argument);
    gfx_context* c = gfx_screen;
    while (p->running.load()) {
        window_mutex.lock();
        for (int32_t y = 0; y < c->height; ++y) {
            if (!c->dirty[y]) continue;
            std::memcpy(&p->shown[static_cast<size_t>(y) * c->width],
                        c->visible_buffer + y * c->pitch, c->pitch);
            c->dirty[y] = 0;
        }
        ++p->passes;
        window_mutex.unlock();
        os_sleep(1);
    }
}

TEST_F(ScreenLock, AWindowThreadCopyingDirtyLinesSeesEveryPlottedPixel) {
    ASSERT_EQ(screen_res(64, 32, 32, 1, 0, 0), 0);
    presenter p;
    p.shown.assign(64 * 32, 0);
    os_thread* thread = os_thread_start(present_loop, &p);
    ASSERT_NE(thread, nullptr);
    for (int32_t round = 0; round < 200; ++round)
        for (int32_t i = 0; i < 64; ++i)
            plot_pixel(nullptr, static_cast<float>(i), static_cast<float>((i + round) % 32),
                       0xFF000000u | static_cast<uint32_t>(round), coords_point, 0);
    os_sleep(20);
    p.running = false;
    os_thread_join(thread);
    window_mutex.lock();
    for (int32_t y = 0; y < 32; ++y)
        if (gfx_screen->dirty[y])
            std::memcpy(&p.shown[static_cast<size_t>(y) * 64], gfx_screen->visible_buffer + y * 256,
                        256);
    window_mutex.unlock();
    EXPECT_EQ(std::memcmp(p.shown.data(), gfx_screen->visible_buffer, 64 * 32 * 4), 0);
    EXPECT_GT(p.passes, 0);
}

} // namespace
