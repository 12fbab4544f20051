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
#include <vector>

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
    post_key('b');
    close_screen();
    EXPECT_EQ(key_hit_graphics(), 0) << "no screen, no key";
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

// A sleep that ran its full time takes at least that long, so a sleep of a minute that ends
// well before is one that a key ended.
constexpr int32_t minute = 60000;

TEST_F(InputState, SleepEndsOnAKeyFrom100MillisecondsOn) {
    post_key(' ');
    EXPECT_LT(elapsed_ms(key_sleep, minute), minute - 1000); // a key posted before the call
    get_key();
    post_key(' ');
    EXPECT_GE(elapsed_ms(key_sleep, 99), 90.0); // below 100 ms keys are not checked
    get_key();
    os_thread* poster = os_thread_start(post_space_later, nullptr);
    EXPECT_LT(elapsed_ms(key_sleep, minute), minute - 1000); // a key posted during the sleep
    os_thread_join(poster);
    EXPECT_EQ(get_key(), ' ');
}

TEST_F(InputState, AfterAKeyIsReadASleepWaitsForTheNextKey) {
    post_key('a');
    EXPECT_EQ(read_text(), "a");
    os_thread* poster = os_thread_start(post_space_later, nullptr);
    key_sleep(-1);
    // Woken by the key posted later, not by the one already read.
    EXPECT_EQ(key_hit(), 1);
    os_thread_join(poster);
    EXPECT_EQ(get_key(), ' ');
}

// The window thread takes the lock just after the program's read lets go of it and posts a
// key: the read must not take that key's hit with it.
bool post_on_unlock;
const display_driver posting_driver = [] {
    display_driver d = make_locking_driver();
    d.unlock = [] {
        ++unlocks;
        window_mutex.unlock();
        if (post_on_unlock) {
            post_on_unlock = false;
            post_from_window_thread('b');
        }
    };
    return d;
}();
const display_driver* const posting_list[] = {&posting_driver, nullptr};

TEST_F(InputState, AKeyPostedRightAfterAReadEndsTheNextSleep) {
    close_screen();
    driver_list = posting_list;
    ASSERT_EQ(screen_res(64, 32, 32, 1, 0, 0), 0);
    post_key('a');
    post_on_unlock = true;
    EXPECT_EQ(get_key(), 'a');
    EXPECT_FALSE(post_on_unlock);
    EXPECT_LT(elapsed_ms(key_sleep, minute), minute - 1000);
    EXPECT_EQ(get_key(), 'b');
}

// The window thread posts keys and events while the program reads them.
constexpr int32_t posted = 2000;
void post_many(void*) {
    for (int32_t i = 1; i <= posted; ++i) {
        post_from_window_thread(i);
        event_record e{event_key_pressed, {i, 0, 0, 0}};
        post_event(&e);
    }
}

TEST_F(InputState, KeysAndEventsPostedFromAnotherThreadArriveInOrder) {
    os_thread* poster = os_thread_start(post_many, nullptr);
    std::vector<int32_t> codes;
    while (codes.empty() || codes.back() != posted) {
        const int32_t code = get_key();
        if (code) codes.push_back(code);
    }
    os_thread_join(poster);
    EXPECT_EQ(get_key(), 0);
    // A full ring drops the oldest codes, so some may be missing, but never out of order.
    for (size_t i = 1; i < codes.size(); ++i)
        ASSERT_LT(codes[i - 1], codes[i]) << i;
    gfx_context* c = gfx_screen;
    const int32_t queued = (c->event_tail - c->event_head + event_queue_size) % event_queue_size;
    EXPECT_EQ(queued, event_queue_size - 1);
    for (int32_t i = 0; i < queued; ++i)
        EXPECT_EQ(c->events[(c->event_head + i) % event_queue_size].field[0],
                  posted - queued + 1 + i);
}

} // namespace
