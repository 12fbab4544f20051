#include "runtime/console/console.h"
#include "runtime/console/console_key_ring.h"
#include "runtime/key_input.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

class ConsoleKeyRing : public ::testing::Test {
  protected:
    void SetUp() override {
        console_close_drain();
        while (console_key_take() != -1) {
        }
        console_key_hit_clear();
    }
};

TEST_F(ConsoleKeyRing, CodesComeOutInOrderAndSetTheHitFlag) {
    console_key_store('a');
    console_key_store(0x3BFF);
    EXPECT_EQ(console_key_hit_flag(), 1);
    EXPECT_EQ(console_key_take(), 'a');
    EXPECT_EQ(console_key_take(), 0x3BFF);
    EXPECT_EQ(console_key_take(), -1);
}

// Without a screen the run-time's wait for a key and key hit take the console's keys.
TEST_F(ConsoleKeyRing, WaitAndHitWithoutAScreenTakeTheConsolesKeys) {
    EXPECT_EQ(key_hit(), 0);
    console_key_store('a');
    console_key_store(0x3BFF);
    EXPECT_EQ(key_hit(), 1);
    EXPECT_EQ(key_hit(), 1) << "the key stays";
    EXPECT_EQ(key_wait(), 'a');
    EXPECT_EQ(key_wait(), 0x3BFF);
    EXPECT_EQ(key_hit(), 0);
}

TEST_F(ConsoleKeyRing, FullRingOf511DropsTheOldestCode) {
    for (int32_t i = 1; i <= 512; ++i)
        console_key_store(i);
    for (int32_t i = 2; i <= 512; ++i)
        ASSERT_EQ(console_key_take(), i);
    EXPECT_EQ(console_key_take(), -1);
}

TEST_F(ConsoleKeyRing, PostedCloseKeyArrivesAtTheNextDrain) {
    console_key_store('a');
    console_close_post();
    EXPECT_EQ(console_key_take(), 'a');
    EXPECT_EQ(console_key_take(), -1);
    console_close_drain();
    EXPECT_EQ(console_key_take(), 0x6BFF);
    EXPECT_EQ(console_key_take(), -1);
}

TEST_F(ConsoleKeyRing, CloseKeysPostedFromAnotherThreadAreNeitherLostNorTorn) {
    constexpr int32_t posts = 300; // below the ring's size, so nothing may be dropped
    std::thread poster([] {
        for (int32_t i = 0; i < posts; ++i)
            console_close_post();
    });
    int32_t closes = 0, letters = 0;
    for (int32_t round = 0; round < 100000 && closes < posts; ++round) {
        console_key_store('a' + round % 26);
        console_close_drain();
        for (int32_t code; (code = console_key_take()) != -1;) {
            if (code == 0x6BFF)
                ++closes;
            else if (code >= 'a' && code <= 'z')
                ++letters;
            else
                ADD_FAILURE() << "torn code " << code;
        }
    }
    poster.join();
    console_close_drain();
    while (console_key_take() == 0x6BFF)
        ++closes;
    EXPECT_EQ(closes, posts);
    EXPECT_GT(letters, 0);
}

} // namespace
