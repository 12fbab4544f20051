#include "gfx/gfx_context.h"
#include "gfx/input_state.h"
#include "gfx/screen.h"
#include "runtime/console_hooks.h"
#include "runtime/key_input.h"
#include "runtime/os/os.h"
#include "runtime/runtime.h"
#include "runtime/text.h"

#include "tests/gfx/locking_driver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <mutex>

namespace {

void post_from_window_thread(int32_t code) {
    std::lock_guard<std::mutex> held(window_mutex);
    post_key(code);
}

class InputState : public testing::Test {
  protected:
    void SetUp() override {
        runtime_start();
        os_set_environment("QXGFX", nullptr);
        driver_list = locking_list;
        ASSERT_EQ(screen_res(64, 32, 32, 1, 0, 0), 0);
        key_buffer_clear();
    }
    void TearDown() override {
        close_screen();
        driver_list = default_driver_list;
        key_buffer_clear();
    }
    static std::string read_text() {
        text variable{};
        text_assign(&variable, key_read_text());
        std::string result(text_bytes(&variable), text_length(&variable));
        text_free(&variable);
        return result;
    }
};

TEST_F(InputState, SixteenKeysLeaveTheLastFifteen) {
    for (int32_t code = 1; code <= 16; ++code) post_key(code);
    EXPECT_EQ(get_key(), 2);
    for (int32_t code = 3; code <= 16; ++code) EXPECT_EQ(get_key(), code);
    EXPECT_EQ(get_key(), 0);
}

TEST_F(InputState, KeysReadAsTextOfLengthZeroOneOrTwo) {
    EXPECT_EQ(read_text(), "");
    post_key(' ');
    post_key(27);
    post_key(0x4BFF);
    post_key(close_key);
    post_key(-126); // code page 437 character 130 in its signed form
    EXPECT_EQ(read_text(), " ");
    EXPECT_EQ(read_text(), "\x1b");
    EXPECT_EQ(read_text(), "\xffK");
    EXPECT_EQ(read_text(), "\xffk");
    EXPECT_EQ(read_text(), "\x82");
    EXPECT_EQ(read_text(), "");
    EXPECT_EQ(text_pool_in_use(), 0);
}

TEST_F(InputState, KeyReadingFallsBackToTheConsoleWithoutAScreen) {
    post_key(' ');
    close_screen();
    EXPECT_EQ(console_hooks.key_read_text, nullptr);
    EXPECT_EQ(read_text(), ""); // the console has no key; the ring keeps its key
    ASSERT_EQ(screen_res(64, 32, 32, 1, 0, 0), 0);
    EXPECT_EQ(read_text(), " "); // the ring survives mode changes
}

TEST_F(InputState, KeyHitTellsWithoutRemoving) {
    EXPECT_EQ(key_hit(), 0);
    post_key('a');
    EXPECT_EQ(key_hit(), 1);
    EXPECT_EQ(key_hit(), 1);
    EXPECT_EQ(key_wait(), 'a');
    EXPECT_EQ(key_hit(), 0);
}

TEST_F(InputState, KeyDownReadsTheKeyStateWithinRange) {
    gfx_screen->key_state[1] = 1;
    EXPECT_EQ(key_down(1), -1);
    EXPECT_EQ(key_down(2), 0);
    EXPECT_EQ(key_down(128), 0);
    EXPECT_EQ(key_down(-1), 0);
}

TEST_F(InputState, AFullEventQueueDropsItsOldestEvent) {
    for (int32_t i = 0; i < 128; ++i) {
        event_record e{event_key_pressed, {i, 0, 0, 0}};
        post_event(&e);
    }
    gfx_context* c = gfx_screen;
    EXPECT_EQ((c->event_tail - c->event_head + 128) % 128, 127);
    EXPECT_EQ(c->events[c->event_head].field[0], 1);
}

TEST_F(InputState, MouseOperationsReportError1WithoutADriverOperation) {
    int32_t x = 0, y = 0, wheel = 0, buttons = 0, clip = 0;
    EXPECT_EQ(mouse_read(&x, &y, &wheel, &buttons, &clip), 1);
    EXPECT_EQ(x, -1);
    EXPECT_EQ(clip, -1);
    EXPECT_EQ(mouse_read(&x, &y, nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(mouse_set(1, 1, 1, 0), 1);
    close_screen();
    EXPECT_EQ(mouse_read(&x, &y, &wheel, &buttons, &clip), 1);
    EXPECT_EQ(buttons, -1);
}

double elapsed_ms(void (*sleep)(int32_t), int32_t ms) {
    auto start = std::chrono::steady_clock::now();
    sleep(ms);
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

void post_space_later(void*) {
    os_sleep(100);
    post_from_window_thread(' ');
}

TEST_F(InputState, SleepEndsEarlyOnAKeyFrom100MillisecondsOn) {
    post_key(' ');
    EXPECT_LT(elapsed_ms(key_sleep, 1000), 500.0); // a key posted before the call
    get_key();
    post_key(' ');
    EXPECT_GE(elapsed_ms(key_sleep, 99), 90.0); // below 100 ms keys are not checked
    get_key();
    os_thread* poster = os_thread_start(post_space_later, nullptr);
    EXPECT_LT(elapsed_ms(key_sleep, 5000), 2500.0); // a key posted during the sleep
    os_thread_join(poster);
    poster = os_thread_start(post_space_later, nullptr);
    elapsed_ms(key_sleep, -1); // returns once the key is there
    os_thread_join(poster);
    EXPECT_EQ(get_key(), ' ');
}

// The window thread posts keys and events while the program reads them.
void post_many(void*) {
    for (int32_t i = 1; i <= 2000; ++i) {
        post_from_window_thread(i & 0x7F ? i & 0x7F : 1);
        event_record e{event_key_pressed, {i, 0, 0, 0}};
        post_event(&e);
    }
}

TEST_F(InputState, KeysAndEventsPostedFromAnotherThreadArriveInOrder) {
    os_thread* poster = os_thread_start(post_many, nullptr);
    int32_t last = 0, read = 0;
    for (int32_t spins = 0; spins < 200000 && read < 100; ++spins) {
        int32_t code = get_key();
        if (!code) continue;
        ++read;
        EXPECT_GE(code, 1);
        last = code;
    }
    os_thread_join(poster);
    EXPECT_GE(last, 0);
    gfx_context* c = gfx_screen;
    EXPECT_EQ(c->events[(c->event_tail + 127) % 128].field[0], 2000);
}

} // namespace
