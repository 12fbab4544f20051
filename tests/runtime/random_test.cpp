#include "runtime/internal/seams.h"
#include "runtime/random.h"
#include "runtime/runtime.h"

#include "tests/twister_oracle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

class Random : public testing::Test {
  protected:
    void SetUp() override {
        runtime_init(0, nullptr, 0);
        random_reset();
    }
};

TEST_F(Random, TwisterMatchesTheStandardRecurrenceOverSeveralRegenerations) {
    random_seed(812.7, 0);
    std::mt19937 oracle = oracle_seeded_with(812);
    for (int i = 0; i < 3000; ++i) {
        double expected = oracle() * 0x1p-32;
        ASSERT_EQ(random_next(1.0f), expected) << "draw " << i;
    }
}

TEST_F(Random, FillGivesTheValuesOfSuccessiveDrawsAndTheSameLastValue) {
    random_seed(812.7, 0);
    std::mt19937 oracle = oracle_seeded_with(812);
    std::vector<double> values(1500);
    random_fill(values.data(), 700); // across a regeneration of the state
    random_fill(values.data() + 700, 800);
    for (double v : values)
        ASSERT_EQ(v, oracle() * 0x1p-32);
    EXPECT_EQ(random_next(0.0f), values.back());
    EXPECT_EQ(random_next(1.0f), oracle() * 0x1p-32);
    random_seed(5.0, random_lcg32); // other generators draw one by one
    double one;
    random_fill(&one, 1);
    EXPECT_EQ(one, 1022226848 * 0x1p-32);
}

TEST_F(Random, AheadShowsTheComingDrawsAndSkipTakesThemAcrossBlocks) {
    const double* ahead = nullptr;
    EXPECT_EQ(random_ahead(&ahead), 0); // not seeded yet: no block
    random_seed(812.7, 0);
    std::mt19937 oracle = oracle_seeded_with(812);
    int32_t drawn = 0;
    for (int32_t take : {1, 600, 20, 3, 624, 5}) { // through several blocks of 624
        const int32_t ready = random_ahead(&ahead);
        ASSERT_EQ(ready, 624 - drawn % 624);
        const int32_t n = std::min(take, ready);
        for (int32_t i = 0; i < n; ++i)
            ASSERT_EQ(ahead[i], oracle() * 0x1p-32);
        random_skip(n);
        drawn += n;
        EXPECT_EQ(random_next(0.0f), ahead[n - 1]); // the last value, as after n draws
    }
    EXPECT_EQ(random_next(1.0f), oracle() * 0x1p-32);
    random_skip(2000); // through blocks whose values were never looked at
    oracle.discard(1999);
    EXPECT_EQ(random_next(0.0f), oracle() * 0x1p-32);
    EXPECT_EQ(random_next(1.0f), oracle() * 0x1p-32);
    random_seed(5.0, random_lcg32); // other generators have no block and skip one by one
    EXPECT_EQ(random_ahead(&ahead), 0);
    random_skip(2);
    EXPECT_EQ(random_next(0.0f), 3144284287u * 0x1p-32);
}

TEST_F(Random, SeedsDifferingOnlyInTheirFractionGiveTheSameSequence) {
    random_seed(812.7, 0);
    double a = random_next(1.0f), b = random_next(1.0f);
    random_seed(812.0, 3);
    EXPECT_EQ(random_next(1.0f), a);
    EXPECT_EQ(random_next(1.0f), b);
}

TEST_F(Random, UnseededDialect0DrawsFromATwisterSeededWith0) {
    std::mt19937 oracle = oracle_seeded_with(0);
    EXPECT_EQ(random_next(1.0f), oracle() * 0x1p-32);
    EXPECT_EQ(random_next(-5.0f), oracle() * 0x1p-32); // negative: an ordinary draw
}

TEST_F(Random, ZeroRepeatsTheLastValueForTheTwister) {
    random_seed(3.0, 0);
    double v = random_next(1.0f);
    EXPECT_EQ(random_next(0.0f), v);
    EXPECT_EQ(random_next(0.0f), v);
}

TEST_F(Random, OutOfRangeSeedTruncatesToTheMostNegativeValue) {
    random_seed(1e30, 3);
    std::mt19937 oracle = oracle_seeded_with(0); // low word of INT64_MIN
    EXPECT_EQ(random_next(1.0f), oracle() * 0x1p-32);
}

TEST_F(Random, ValuesAreInTheHalfOpenUnitInterval) {
    random_seed(1.0, 0);
    for (int i = 0; i < 10000; ++i) {
        double v = random_next(1.0f);
        ASSERT_GE(v, 0.0);
        ASSERT_LT(v, 1.0);
    }
}

TEST_F(Random, FastLcgAdvancesUnlessTheArgumentIsZero) {
    random_seed(5.0, random_lcg32);
    EXPECT_EQ(random_next(1.0f), 1022226848 * 0x1p-32);
    EXPECT_EQ(random_next(0.0f), 1022226848 * 0x1p-32);
}

TEST_F(Random, Lcg24ReseedsFromANegativeArgument) {
    random_seed(0.0, random_lcg24);
    // -1.0f is 0xBF800000: state (0x800000 + 0xBF), then one step.
    EXPECT_EQ(random_next(-1.0f), 0x395886 * 0x1p-24);
    EXPECT_EQ(random_next(0.0f), 0x395886 * 0x1p-24); // no advance
    EXPECT_EQ(random_next(1.0f), 0x092D31 * 0x1p-24);
}

TEST_F(Random, Lcg24SeedTakesTheHighWordAndKeepsTheLowByte) {
    random_seed(1.0, random_lcg24); // high word 0x3FF00000 -> 0x3FF0 << 8, low byte of 0x50000
    EXPECT_EQ(random_next(0.0f), 0x3FF000 * 0x1p-24);
}

TEST_F(Random, LibraryGeneratorFollowsSrandAndDiscardsTheFirstValue) {
    random_seed(5.0, random_library);
    std::srand(5);
    std::rand();
    std::rand(); // what the generator took, via the same library
    std::srand(5);
    std::rand();
    int expected = std::rand() & 0x7FFF;
    random_seed(5.0, random_library);
    EXPECT_EQ(random_next(1.0f), expected * 0x1p-15);
}

TEST_F(Random, DialectChoosesTheDefaultAlgorithm) {
    runtime_init(0, nullptr, 3);
    random_reset();
    random_next(1.0f); // first use under dialect 3: the 24-bit generator from 327680
    double state = random_next(0.0f) * 0x1p24;
    EXPECT_EQ(state, std::floor(state));
    random_seed(1.0, 0); // algorithm 0 under dialect 3 is the 24-bit generator
    uint32_t low_byte = static_cast<uint32_t>(state) & 0xFF;
    EXPECT_EQ(random_next(0.0f), (0x3FF000 | low_byte) * 0x1p-24);
    runtime_init(0, nullptr, 0);
}

TEST(Timer, CountsSecondsFromTheHighResolutionCounter) {
    timer_mode(2);
    double a = timer_seconds();
    double b = timer_seconds();
    EXPECT_GT(a, 0.0);
    EXPECT_GE(b, a);
    EXPECT_EQ(timer_mode(0), 2);
}

TEST(Timer, TickCountModeHasMillisecondResolution) {
    timer_mode(1);
    double milliseconds = timer_seconds() * 1000.0;
    EXPECT_NEAR(milliseconds, std::round(milliseconds), 1e-3);
    timer_mode(2);
}

TEST(Timer, SeedMinusOneUsesTheTimer) {
    random_reset();
    timer_mode(1); // whole milliseconds: two reads within a second share their seconds
    double now = timer_seconds();
    random_seed(-1.0, 3);
    double v = random_next(1.0f);
    std::mt19937 oracle = oracle_seeded_with(static_cast<uint32_t>(static_cast<int64_t>(now)));
    std::mt19937 next = oracle_seeded_with(static_cast<uint32_t>(static_cast<int64_t>(now) + 1));
    double a = oracle() * 0x1p-32, b = next() * 0x1p-32;
    EXPECT_TRUE(v == a || v == b);
    timer_mode(2);
}

} // namespace
