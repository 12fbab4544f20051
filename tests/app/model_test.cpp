#include "app/model.h"
#include "app/orbit_math.h"
#include "app/summary.h"
#include "runtime/internal/seams.h"
#include "runtime/random.h"
#include "runtime/runtime.h"

#include "tests/twister_oracle.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>

namespace {

// The draws of a twister seeded with firstWord, by their 0-based index in the sequence.
class twister_oracle {
  public:
    explicit twister_oracle(uint32_t firstWord) : engine(oracle_seeded_with(firstWord)) {}
    double draw(int64_t k) {
        std::mt19937 copy = engine;
        copy.discard(static_cast<unsigned long long>(k));
        return copy() * 0x1p-32;
    }

  private:
    std::mt19937 engine;
};

class Model : public testing::Test {
  protected:
    void SetUp() override {
        runtime_start();
        runtime_init(0, nullptr, 0);
        random_reset();
        ASSERT_EQ(model_allocate(&state), 0);
    }
    void TearDown() override {
        model_release(&state);
        runtime_stop();
    }

    // Every cloud the same: the worked example is radius 100, phase 0, tilt 0 and node 0.
    void same_clouds(float radius, float phase, float angularStep) {
        for (int32_t n = 1; n <= cloud_count; ++n) {
            state.radius[n] = radius;
            state.phase[n] = phase;
            state.angularStep[n] = angularStep;
            state.sinTilt[n] = 0.0f;
            state.cosTilt[n] = 1.0f;
            state.sinNode[n] = 0.0f;
            state.cosNode[n] = 1.0f;
        }
    }

    void start(const model_parameters& parameters, double seed) {
        model_derive(&state, parameters);
        random_seed(seed, 0);
        model_place_clouds(&state);
    }

    void frame() {
        model_step(&state);
        model_keep_previous(&state);
    }

    model_state state;
};

// ---- parameters and derived values ----

TEST_F(Model, DefaultsGiveASourceAtTheOriginAndTheProjectionOf89Degrees) {
    model_derive(&state, model_parameters{});
    EXPECT_EQ(state.sourceX, 0.0f);
    EXPECT_EQ(state.sourceY, 0.0f);
    EXPECT_EQ(state.delayOrigin, 0.0f);
    EXPECT_EQ(state.softeningSq, 100.0f);
    EXPECT_NEAR(state.cosIncl, 0.0174524f, 1e-7f);
    EXPECT_NEAR(state.sinIncl, 0.9998477f, 1e-7f);
    EXPECT_EQ(state.centreX, 640);
    EXPECT_EQ(state.centreY, 384);
}

TEST_F(Model, AnOffCentreSourceEntersTheDelayOriginWithAPlusSign) {
    model_parameters p;
    p.sourceDistance = 20.0f;
    p.sourceAzimuthDeg = 270.0f; // source at +y
    p.sourceHeight = 5.0f;
    p.softening = 3.0f;
    model_derive(&state, p);
    EXPECT_NEAR(state.sourceX, 0.0f, 1e-6f);
    EXPECT_NEAR(state.sourceY, 20.0f, 1e-5f);
    // sin(89 deg) * 20 + cos(89 deg) * 5
    EXPECT_NEAR(state.delayOrigin, 20.084216f, 1e-4f);
    EXPECT_EQ(state.softeningSq, 9.0f);
}

// ---- allocation ----

int allocations_left;
void* failing_after_some(size_t count, size_t size) {
    if (allocations_left-- <= 0) return nullptr;
    return std::calloc(count, size);
}

TEST_F(Model, AMissingArrayFailsWithError4AndLeavesNothingAllocated) {
    // First, middle and last per-cloud array, each histogram.
    for (int succeed : {0, 10, 20, 21, 22}) {
        model_state other;
        allocations_left = succeed;
        error_set(0);
        EXPECT_EQ(model_allocate(&other, failing_after_some), error_memory) << succeed;
        EXPECT_EQ(error_number(), error_memory);
        EXPECT_EQ(other.radius, nullptr);
        EXPECT_EQ(other.delay, nullptr);
        EXPECT_EQ(other.lineProfile, nullptr);
        EXPECT_EQ(other.delayHistogram, nullptr);
        model_release(&other); // harmless on an empty state
    }
}

TEST_F(Model, AllocatedStateStartsAtZero) {
    for (int32_t n = 0; n <= cloud_count; ++n) {
        ASSERT_EQ(state.prevScreenX[n], 0.0f);
        ASSERT_EQ(state.prevScreenY[n], 0.0f);
        ASSERT_EQ(state.prevLineOfSight[n], 0.0f);
    }
    for (int32_t k = 0; k < histogram_slots; ++k) {
        ASSERT_EQ(state.lineProfile[k], 0.0f);
        ASSERT_EQ(state.delayHistogram[k], 0.0);
    }
    EXPECT_EQ(state.delaySum, 0.0);
    EXPECT_EQ(state.meanDelay, 0.0);
}

// ---- placement ----

TEST_F(Model, PlacementDrawsFourNumbersPerCloudInTheOrderRadiusPhaseNodeTilt) {
    start(model_parameters{}, 812.7);
    twister_oracle oracle(812);
    EXPECT_EQ(random_next(1.0f), oracle.draw(40000));
    // Cloud 1 from draws 0 to 3, cloud 10000 from draws 39996 to 39999.
    EXPECT_NEAR(state.radius[1], oracle.draw(0) * 225.0 + 75.0, 1e-4);
    EXPECT_NEAR(state.phase[1], oracle.draw(1) * 6.283185308, 1e-6);
    EXPECT_NEAR(state.sinNode[1], std::sin(oracle.draw(2) * 3.141592654), 1e-6);
    const double tilt = (oracle.draw(3) * 2.0 - 1.0) * 25.0 * 3.141592654 / 180.0;
    EXPECT_NEAR(state.sinTilt[1], std::sin(tilt), 1e-6);
    EXPECT_NEAR(state.radius[10000], oracle.draw(39996) * 225.0 + 75.0, 1e-4);
}

TEST_F(Model, PlacedCloudsLieWithinTheirRanges) {
    start(model_parameters{}, 3.0);
    for (int32_t n = 1; n <= cloud_count; ++n) {
        ASSERT_GE(state.radius[n], 75.0f);
        ASSERT_LT(state.radius[n], 300.0f);
        ASSERT_GE(state.phase[n], 0.0f);
        ASSERT_LT(state.phase[n], 6.2831855f);
        // 30 / (sqrt(r) r) between the values at radius 300 and 75.
        ASSERT_GT(state.angularStep[n], 0.00577350f);
        ASSERT_LE(state.angularStep[n], 0.0461881f);
        ASSERT_GE(state.cosTilt[n], 0.9063f); // within 25 degrees
        ASSERT_GE(state.sinNode[n], -1e-6f);  // node in [0, pi)
        ASSERT_NEAR(state.sinTilt[n] * state.sinTilt[n] + state.cosTilt[n] * state.cosTilt[n], 1.0f,
                    1e-6f);
    }
}

// ---- the step: worked example ----

TEST_F(Model, WorkedExampleFirstAndSecondFrame) {
    model_derive(&state, model_parameters{});
    same_clouds(100.0f, 0.0f, 0.03f);
    random_seed(1.0, 0);
    model_step(&state);

    for (int32_t n : {1, 10000}) {
        EXPECT_FLOAT_EQ(state.phase[n], 0.03f);
        EXPECT_NEAR(state.orbitY[n], 99.95500f, 5e-5f);
        EXPECT_NEAR(state.orbitX[n], 2.999550f, 5e-6f);
        EXPECT_EQ(state.orbitZ[n], 0.0f);
        EXPECT_NEAR(state.diskX[n], 99.95500f, 5e-5f);
        EXPECT_NEAR(state.diskY[n], 2.999550f, 5e-6f);
        EXPECT_EQ(state.screenX[n], state.diskX[n]);
        EXPECT_NEAR(state.screenY[n], 0.0523494f, 5e-7f);
        EXPECT_NEAR(state.lineOfSight[n], -2.999093f, 5e-6f);
        EXPECT_NEAR(state.velocity[n], 7997.58f, 0.01f);
        EXPECT_NEAR(state.distance[n], 100.49876f, 5e-5f);
        EXPECT_NEAR(brightness(state.distance[n], 2.0f), 9.90099e-5, 5e-11);
        EXPECT_NEAR(state.delay[n], 97.49966f, 5e-5f);
    }
    // All 10,000 clouds land in velocity bin 579 and delay bin 98.
    // Ten thousand single-precision additions drift by a few units of the last place each.
    EXPECT_NEAR(state.lineProfile[579], 10000 * 9.90099e-5, 1e-3);
    EXPECT_EQ(state.delayHistogram[98], 10000.0);
    float profileTotal = 0;
    double histogramTotal = 0;
    for (int32_t k = 0; k < histogram_slots; ++k) {
        profileTotal += state.lineProfile[k];
        histogramTotal += state.delayHistogram[k];
    }
    EXPECT_EQ(profileTotal, state.lineProfile[579]);
    EXPECT_EQ(histogramTotal, 10000.0);
    EXPECT_NEAR(state.delaySum, 10000 * 97.49966, 0.5);
    EXPECT_NEAR(state.meanDelay, 97.49966, 5e-5);
    // The default radius rules change nothing.
    EXPECT_EQ(state.radius[1], 100.0f);
    EXPECT_FLOAT_EQ(state.angularStep[1], 0.03f);

    model_keep_previous(&state);
    model_step(&state);
    EXPECT_NEAR(state.lineOfSight[1], -5.995487f, 5e-6f);
    EXPECT_NEAR(state.velocity[1], 7990.38f, 0.01f);
    EXPECT_NEAR(state.lineProfile[579], 2 * 10000 * 9.90099e-5, 2e-3);
    EXPECT_EQ(state.delayHistogram[98] + state.delayHistogram[95], 20000.0);
}

TEST_F(Model, AngularStepFollowsTheRadiusAtBothEndsOfTheDisk) {
    model_derive(&state, model_parameters{});
    same_clouds(75.0f, 0.0f, 0.0f);
    state.radius[2] = 300.0f;
    random_seed(1.0, 0);
    model_step(&state);
    EXPECT_FLOAT_EQ(state.angularStep[1], 0.04618802f);
    EXPECT_FLOAT_EQ(state.angularStep[2], 0.005773503f);
}

// ---- bins and brightness ----

TEST_F(Model, VelocityBinBoundaries) {
    int32_t bin = -1;
    ASSERT_TRUE(velocity_bin(-49800.0f, 100000.0f, &bin));
    EXPECT_EQ(bin, 2);
    EXPECT_TRUE(profile_bin_used(bin));
    ASSERT_TRUE(velocity_bin(50000.0f, 100000.0f, &bin));
    EXPECT_EQ(bin, 1000);
    EXPECT_FALSE(profile_bin_used(bin));
    ASSERT_TRUE(velocity_bin(-49800.1f, 100000.0f, &bin));
    EXPECT_EQ(bin, 1);
    EXPECT_FALSE(profile_bin_used(bin));
    ASSERT_TRUE(velocity_bin(49999.996f, 100000.0f, &bin));
    EXPECT_EQ(bin, 999);
    EXPECT_TRUE(profile_bin_used(bin));
    ASSERT_TRUE(velocity_bin(-0.001f, 100000.0f, &bin));
    EXPECT_EQ(bin, 499);
    ASSERT_TRUE(velocity_bin(0.0f, 100000.0f, &bin));
    EXPECT_EQ(bin, 500);
    ASSERT_TRUE(velocity_bin(7997.58f, 100000.0f, &bin));
    EXPECT_EQ(bin, 579);
}

TEST_F(Model, VelocitiesBeyondThe32BitRangeHaveNoBin) {
    int32_t bin = 77;
    EXPECT_FALSE(velocity_bin(3e14f, 100000.0f, &bin));
    EXPECT_FALSE(velocity_bin(-3e14f, 100000.0f, &bin));
    EXPECT_FALSE(velocity_bin(INFINITY, 100000.0f, &bin));
    EXPECT_FALSE(velocity_bin(NAN, 100000.0f, &bin));
    EXPECT_EQ(bin, 77);
    EXPECT_FALSE(velocity_bin(2.2e11f, 100000.0f, &bin)); // bin 2.2e9
    EXPECT_TRUE(velocity_bin(2e11f, 100000.0f, &bin));    // bin 2e9 still fits
    EXPECT_EQ(bin, 2000000459);
}

TEST_F(Model, DelayBinBoundaries) {
    int32_t bin = -1;
    ASSERT_TRUE(delay_bin(0.0f, 0.0f, &bin));
    EXPECT_EQ(bin, 1);
    EXPECT_TRUE(delay_bin_used(bin));
    ASSERT_TRUE(delay_bin(0.99999994f, 0.0f, &bin));
    EXPECT_EQ(bin, 1);
    ASSERT_TRUE(delay_bin(-0.001f, 0.0f, &bin));
    EXPECT_EQ(bin, 0);
    EXPECT_FALSE(delay_bin_used(bin));
    ASSERT_TRUE(delay_bin(998.99994f, 0.0f, &bin));
    EXPECT_EQ(bin, 999);
    EXPECT_TRUE(delay_bin_used(bin));
    ASSERT_TRUE(delay_bin(999.0f, 0.0f, &bin));
    EXPECT_EQ(bin, 1000);
    EXPECT_FALSE(delay_bin_used(bin));
    ASSERT_TRUE(delay_bin(97.49966f, 0.0f, &bin));
    EXPECT_EQ(bin, 98);
    // The origin shifts the bins.
    ASSERT_TRUE(delay_bin(5.0f, 5.0f, &bin));
    EXPECT_EQ(bin, 1);
    ASSERT_TRUE(delay_bin(4.9999995f, 5.0f, &bin));
    EXPECT_EQ(bin, 0);
    EXPECT_FALSE(delay_bin(NAN, 0.0f, &bin));
    EXPECT_FALSE(delay_bin(2147483647.0f * 2, 0.0f, &bin));
}

// The bins take a double-precision shortcut away from bin edges; at and near every edge
// they must agree with the floor of the extended-precision expression.
TEST_F(Model, BinsAgreeWithTheExtendedFloorAtAndAroundEveryEdge) {
    for (float range : {100000.0f, 70000.0f, 3.0f, 123456.7f}) {
        for (int32_t k = -5; k <= 1005; ++k) {
            const float edge = static_cast<float>((k - 500) * static_cast<double>(range) / 1000.0);
            float v = edge;
            for (int step = 0; step < 3; ++step)
                v = std::nextafter(v, -INFINITY);
            for (int step = 0; step < 7; ++step, v = std::nextafter(v, INFINITY)) {
                int32_t bin = -1, expected = -2;
                ASSERT_TRUE(floor_int32(1000.0L * v / range + 500.0L, &expected));
                ASSERT_TRUE(velocity_bin(v, range, &bin));
                ASSERT_EQ(bin, expected) << v << " / " << range;
            }
        }
    }
    for (float origin : {0.0f, 0.1f, -3.3f, 1e-30f, 250.7f}) {
        for (int32_t k = -5; k <= 1005; ++k) {
            float d = static_cast<float>(k + static_cast<double>(origin));
            for (int step = 0; step < 3; ++step)
                d = std::nextafter(d, -INFINITY);
            for (int step = 0; step < 7; ++step, d = std::nextafter(d, INFINITY)) {
                int32_t bin = -1, below = -2;
                ASSERT_TRUE(floor_int32(static_cast<long double>(d) - origin, &below));
                ASSERT_TRUE(delay_bin(d, origin, &bin));
                ASSERT_EQ(bin, below + 1) << d << " - " << origin;
            }
        }
    }
}

TEST_F(Model, BrightnessIsTheInverseSquareOfTheDistance) {
    EXPECT_EQ(brightness(75.0f, 2.0f), 0x1.74d3b7ba75829p-13);  // 1.7777777777777778e-4
    EXPECT_EQ(brightness(300.0f, 2.0f), 0x1.74d3b7ba75829p-17); // 1.1111111111111113e-5
    EXPECT_EQ(brightness(10.0f, 2.0f), 0.010000000000000002);   // (0.1 in double) squared
    EXPECT_EQ(brightness(300.0f, 1.0f), 0.0033333333333333335);
}

// ---- the step over a placed disk ----

TEST_F(Model, FirstFrameVelocityIsTheWholeLineOfSightAgainstZero) {
    start(model_parameters{}, 5.0);
    model_step(&state);
    long double nearLine = 0; // brightness of the clouds close enough to the sky plane
    for (int32_t n = 1; n <= cloud_count; ++n) {
        ASSERT_NEAR(state.velocity[n], -state.lineOfSight[n] * 80000.0 / 30.0,
                    1e-6 * std::fabs(state.velocity[n]) + 1e-6);
        if (std::fabs(state.lineOfSight[n]) < 18.7f)
            nearLine += 1.0L / (static_cast<long double>(state.distance[n]) * state.distance[n]);
    }
    // Only clouds within about 18.7 of the sky plane reach bins 2 to 999.
    double profile = 0;
    for (int32_t k = 0; k < histogram_slots; ++k)
        profile += state.lineProfile[k];
    EXPECT_GT(profile, 0.0);
    EXPECT_NEAR(profile, static_cast<double>(nearLine), 0.01 * profile);
}

TEST_F(Model, SteadyStateVelocitiesStayWithinTheFastestOrbit) {
    start(model_parameters{}, 6.0);
    frame();
    frame();
    for (int32_t n = 1; n <= cloud_count; ++n)
        ASSERT_LE(std::fabs(state.velocity[n]), 9240.0f);
}

TEST_F(Model, DefaultFrameDraws50000NumbersAndKeepsTheRadii) {
    start(model_parameters{}, 812.7);
    float radius1 = state.radius[1], step1 = state.angularStep[1];
    model_step(&state);
    twister_oracle oracle(812);
    EXPECT_EQ(random_next(1.0f), oracle.draw(40000 + 50000));
    EXPECT_EQ(state.radius[1], radius1);
    EXPECT_EQ(state.angularStep[1], step1);
}

TEST_F(Model, ReinjectedCloudsDrawASixthNumber) {
    model_parameters p;
    p.innerRadius = 1000.0f; // every placed radius lies below the threshold
    start(p, 812.7);
    model_step(&state);
    twister_oracle oracle(812);
    EXPECT_EQ(random_next(1.0f), oracle.draw(40000 + 60000));
    for (int32_t n = 1; n <= cloud_count; ++n) {
        ASSERT_EQ(state.radius[n], 300.0f);
        ASSERT_FLOAT_EQ(state.angularStep[n], 0.005773503f);
    }
}

TEST_F(Model, JitterSpreadsTheThresholdAndTheNewRadius) {
    model_parameters p;
    p.reinjectJitter = 0.2f;
    model_derive(&state, p);
    same_clouds(75.0f, 0.0f, 0.04618802f); // exactly at the threshold's centre
    random_seed(44.0, 0);
    model_step(&state);
    // A cloud is re-injected when u5 > 0.5 lifts the threshold above 75, and lands within
    // 300 +- 30.
    twister_oracle oracle(44);
    int64_t draws = 0;
    int32_t reinjected = 0;
    for (int32_t n = 1; n <= cloud_count; ++n) {
        const bool lifted = oracle.draw(draws + 4) > 0.5;
        draws += lifted ? 6 : 5;
        if (!lifted) {
            ASSERT_EQ(state.radius[n], 75.0f) << n;
            continue;
        }
        ++reinjected;
        ASSERT_GE(state.radius[n], 270.0f) << n;
        ASSERT_LT(state.radius[n], 330.0f) << n;
    }
    EXPECT_GT(reinjected, 4500);
    EXPECT_LT(reinjected, 5500);
    EXPECT_EQ(random_next(1.0f), oracle.draw(draws));
}

TEST_F(Model, NoiseAddsFourUniformsLessTwoTimesTheAmplitude) {
    start(model_parameters{}, 812.7);
    model_state quiet;
    ASSERT_EQ(model_allocate(&quiet), 0);
    model_derive(&quiet, model_parameters{});
    random_seed(812.7, 0);
    model_place_clouds(&quiet);
    model_step(&quiet);

    model_parameters noisy;
    noisy.noiseAmplitude = 1000.0f;
    model_derive(&state, noisy);
    random_seed(812.7, 0);
    model_place_clouds(&state);
    model_step(&state);

    twister_oracle oracle(812);
    for (int32_t n : {1, 2, 5000, 10000}) {
        const int64_t first = 40000 + 5 * static_cast<int64_t>(n - 1);
        const double sum = oracle.draw(first) + oracle.draw(first + 1) + oracle.draw(first + 2) +
                           oracle.draw(first + 3);
        EXPECT_NEAR(state.velocity[n] - quiet.velocity[n], (sum - 2.0) * 1000.0, 0.01) << n;
        EXPECT_EQ(state.lineOfSight[n], quiet.lineOfSight[n]);
    }
    model_release(&quiet);
}

TEST_F(Model, DriftShrinksTheRadiusAfterThePositionIsTaken) {
    model_parameters p;
    p.driftRate = 0.5f;
    model_derive(&state, p);
    same_clouds(100.0f, 0.0f, 0.03f);
    random_seed(1.0, 0);
    model_step(&state);
    EXPECT_NEAR(state.orbitY[1], 99.95500f, 5e-5f); // this frame still at radius 100
    EXPECT_EQ(state.radius[1], 98.5f);              // 100 - 0.03 * 100 * 0.5
    EXPECT_FLOAT_EQ(state.angularStep[1], 0.030687882f);
}

TEST_F(Model, GrowthOnlyWhenTheRateIsPositive) {
    model_parameters p;
    p.growthRate = 2.0f;
    model_derive(&state, p);
    same_clouds(100.0f, 0.0f, 0.03f);
    random_seed(1.0, 0);
    model_step(&state);
    EXPECT_EQ(state.radius[1], 120.0f); // (2 * 100 / 1000 + 1) * 100
    EXPECT_FLOAT_EQ(state.angularStep[1], 0.022821773f);

    p.growthRate = -2.0f;
    model_derive(&state, p);
    same_clouds(100.0f, 0.0f, 0.03f);
    model_step(&state);
    EXPECT_EQ(state.radius[1], 100.0f);
}

TEST_F(Model, HistogramsDropWhatFallsOutsideTheirBins) {
    model_parameters p;
    p.noiseAmplitude = 60000.0f; // velocities of +-120,000 reach past both ends
    p.sourceDistance = 150.0f;
    p.sourceAzimuthDeg = 270.0f; // delayOrigin near 150, so some delays fall below it
    start(p, 9.0);
    for (int i = 0; i < 3; ++i)
        frame();
    EXPECT_EQ(state.lineProfile[0], 0.0f);
    EXPECT_EQ(state.lineProfile[1], 0.0f);
    EXPECT_EQ(state.lineProfile[1000], 0.0f);
    EXPECT_GT(state.lineProfile[2], 0.0f);
    EXPECT_GT(state.lineProfile[999], 0.0f);
    EXPECT_EQ(state.delayHistogram[0], 0.0);
    EXPECT_GT(state.delayHistogram[1], 0.0);
    double counted = 0;
    int32_t below = 0;
    for (int32_t k = 0; k < histogram_slots; ++k)
        counted += state.delayHistogram[k];
    for (int32_t n = 1; n <= cloud_count; ++n)
        below += state.delay[n] < state.delayOrigin;
    EXPECT_GT(below, 0);
    // The last frame's clouds below the origin are among those not counted.
    EXPECT_LE(counted, 3.0 * cloud_count - below);
}

// ---- the phase ----

TEST_F(Model, PhaseWrapsOnceItReaches2Pi) {
    EXPECT_FLOAT_EQ(phase_advance(6.27f, 0.03f), 0.016814882f);
    // The single nearest 2 pi lies above 6.283185308 and wraps; the one below does not.
    EXPECT_FLOAT_EQ(phase_advance(6.2831855f, 0.0f), 1.7402515e-7f);
    EXPECT_EQ(phase_advance(6.283185f, 0.0f), 6.283185f);
    EXPECT_FLOAT_EQ(phase_advance(1.0f, 0.03f), 1.03f);
}

TEST_F(Model, PhaseKeepsAdvancingAfter50MillionFrames) {
    const float step = 0.04618802f; // the fastest cloud, radius 75
    float phase = 0.0f;
    for (int32_t frame = 0; frame < 50000000; ++frame)
        phase = phase_advance(phase, step);
    ASSERT_GE(phase, 0.0f);
    ASSERT_LT(phase, 6.2831855f);
    for (int i = 0; i < 200; ++i) {
        const float next = phase_advance(phase, step);
        float advance = next - phase;
        if (advance < 0) advance = static_cast<float>(advance + 6.283185308);
        // Rounding at phases below 2 pi is at most half of 2^-21 per store.
        ASSERT_NEAR(advance, step, 1e-6f);
        phase = next;
    }
}

TEST_F(Model, WrappedCloudKeepsItsOrbit) {
    model_derive(&state, model_parameters{});
    same_clouds(100.0f, 6.27f, 0.03f);
    random_seed(1.0, 0);
    model_step(&state);
    EXPECT_FLOAT_EQ(state.phase[1], 0.016814882f);
    EXPECT_NEAR(state.orbitY[1], 100.0f * std::cos(0.016814882f), 1e-4f);
    EXPECT_NEAR(state.orbitX[1], 100.0f * std::sin(0.016814882f), 1e-5f);
}

// ---- summary scans ----

TEST_F(Model, SummaryScansStartFromTheirOwnFloors) {
    EXPECT_EQ(profile_peak(state.lineProfile), 0.0f);
    EXPECT_EQ(delay_peak(state.delay), 0.0f); // zero delays beat -10000
    EXPECT_EQ(histogram_peak(state.delayHistogram), 0.0f);
    for (int32_t k = 1; k <= 1000; ++k)
        state.delay[k] = -20000.0f;
    EXPECT_EQ(delay_peak(state.delay), -10000.0f);
    state.delay[1001] = 5.0f; // cloud 1001 is not scanned
    EXPECT_EQ(delay_peak(state.delay), -10000.0f);
    state.lineProfile[0] = 9.0f; // bin 0 is not scanned, bin 1000 is
    state.lineProfile[1000] = 2.0f;
    EXPECT_EQ(profile_peak(state.lineProfile), 2.0f);
    state.delayHistogram[999] = 16777217.0; // kept as a single
    EXPECT_EQ(histogram_peak(state.delayHistogram), 16777216.0f);
    EXPECT_EQ(mean_delay(3.0e7, 3), 1000.0);
}

// ---- the step against its plain statement ----

// The fourteen steps taken cloud by cloud in extended precision, each stored value rounded
// once: the definition that model_step must store bit for bit.
void plain_step(model_state& s) {
    using ext = long double;
    const model_parameters& p = s.parameters;
    for (int32_t n = 1; n <= cloud_count; ++n) {
        s.phase[n] = phase_advance(s.phase[n], s.angularStep[n]);
        double sine, cosine;
        orbit_sincos(s.phase[n], &sine, &cosine);
        const ext r = s.radius[n];
        s.orbitZ[n] = static_cast<float>(sine * r * s.sinTilt[n]);
        s.orbitY[n] = static_cast<float>(cosine * r);
        s.orbitX[n] = static_cast<float>(sine * r * s.cosTilt[n]);
        const ext x = s.orbitX[n], y = s.orbitY[n], z = s.orbitZ[n];
        s.diskX[n] = static_cast<float>(static_cast<ext>(s.cosNode[n]) * y - s.sinNode[n] * x);
        s.diskY[n] = static_cast<float>(static_cast<ext>(s.sinNode[n]) * y + s.cosNode[n] * x);
        s.screenX[n] = s.diskX[n];
        const ext diskY = s.diskY[n];
        s.screenY[n] = static_cast<float>(static_cast<ext>(s.cosIncl) * diskY + s.sinIncl * z);
        s.lineOfSight[n] = static_cast<float>(-diskY * s.sinIncl + s.cosIncl * z);
        const ext los = s.lineOfSight[n];
        const float k =
            static_cast<float>(-(los - s.prevLineOfSight[n]) * p.velocityScale / p.orbitConstant);
        double u[5];
        for (double& v : u)
            v = random_next(1.0f);
        const double centred = ((u[0] + u[1]) + u[2]) + u[3] + (-2.0);
        s.velocity[n] = static_cast<float>(static_cast<ext>(k) + centred * p.noiseAmplitude);
        const ext dx = static_cast<ext>(s.diskX[n]) - s.sourceX, dy = diskY - s.sourceY,
                  dz = z - p.sourceHeight;
        s.distance[n] =
            static_cast<float>(std::sqrt(((dx * dx + dy * dy) + dz * dz) + s.softeningSq));
        int32_t bin;
        if (velocity_bin(s.velocity[n], p.velocityRange, &bin) && profile_bin_used(bin))
            s.lineProfile[bin] = static_cast<float>(
                static_cast<ext>(brightness(s.distance[n], p.brightnessExponent)) +
                s.lineProfile[bin]);
        s.delay[n] = static_cast<float>(los + s.distance[n]);
        s.delaySum = static_cast<double>(static_cast<ext>(s.delaySum) + s.delay[n]);
        s.meanDelay = static_cast<double>(static_cast<ext>(s.delaySum) / n);
        if (delay_bin(s.delay[n], s.delayOrigin, &bin) && delay_bin_used(bin))
            s.delayHistogram[bin] += 1.0;
        float radius =
            static_cast<float>(static_cast<ext>(s.radius[n]) -
                               static_cast<ext>(s.angularStep[n]) * s.radius[n] * p.driftRate);
        const ext threshold = (u[4] + (-0.5L)) * p.innerRadius * p.reinjectJitter + p.innerRadius;
        if (!(radius >= threshold))
            radius = static_cast<float>(
                (random_next(1.0f) + (-0.5L)) * p.outerRadius * p.reinjectJitter + p.outerRadius);
        if (p.growthRate > 0.0f)
            radius = static_cast<float>((static_cast<ext>(p.growthRate) * radius / 1000.0 + 1.0) *
                                        radius);
        s.radius[n] = radius;
        s.angularStep[n] =
            static_cast<float>(p.orbitConstant / (std::sqrt(static_cast<ext>(radius)) * radius));
    }
}

TEST_F(Model, StepStoresTheBitsOfThePlainStatementWhateverTheParametersAndValues) {
    model_parameters noisy, drifting, everything;
    noisy.noiseAmplitude = 700.0f;
    noisy.brightnessExponent = 3.0f;
    drifting.driftRate = 1e-3f;
    drifting.reinjectJitter = 0.3f;
    drifting.growthRate = 2e-3f;
    everything = drifting;
    everything.noiseAmplitude = -50.0f;
    everything.sourceDistance = 40.0f;
    everything.sourceAzimuthDeg = 30.0f;
    everything.sourceHeight = 3.0f;
    everything.velocityScale = 1e5f;
    model_state plain;
    ASSERT_EQ(model_allocate(&plain), 0);
    for (const model_parameters& p : {model_parameters{}, noisy, drifting, everything}) {
        for (model_state* m : {&state, &plain}) {
            model_derive(m, p);
            random_seed(5.0, 0);
            model_place_clouds(m);
            // Values the usual clouds never take: not comparable, infinite, zero, negative,
            // tiny and huge radii (a huge one stands still: its velocity is -0), a phase
            // about to wrap, and clouds below the re-injection threshold.
            const float radii[] = {NAN, INFINITY, 0.0f, -80.0f, 1e-30f, 3e38f, 20.0f, 74.9f};
            for (int32_t i = 0; i < 8; ++i)
                m->radius[100 + i] = radii[i];
            m->phase[200] = 6.2831850f;
            m->phase[201] = NAN;
            m->phase[202] = 1e-9f;
            m->prevLineOfSight[300] = 1e30f;
        }
        for (int frame = 0; frame < 3; ++frame) {
            model_step(&state);
            model_keep_previous(&state);
        }
        const double next = random_next(1.0f);
        random_seed(5.0, 0);
        for (int32_t k = 0; k < 40000; ++k)
            random_next(1.0f);
        for (int frame = 0; frame < 3; ++frame) {
            plain_step(plain);
            model_keep_previous(&plain);
        }
        EXPECT_EQ(random_next(1.0f), next);
        for (auto array : {&model_state::radius, &model_state::phase, &model_state::angularStep,
                           &model_state::orbitX, &model_state::orbitY, &model_state::orbitZ,
                           &model_state::diskX, &model_state::diskY, &model_state::screenX,
                           &model_state::screenY, &model_state::lineOfSight, &model_state::velocity,
                           &model_state::distance, &model_state::delay})
            ASSERT_EQ(std::memcmp(state.*array, plain.*array, cloud_slots * sizeof(float)), 0)
                << p.noiseAmplitude << " " << p.driftRate;
        EXPECT_EQ(
            std::memcmp(state.lineProfile, plain.lineProfile, histogram_slots * sizeof(float)), 0);
        EXPECT_EQ(std::memcmp(state.delayHistogram, plain.delayHistogram,
                              histogram_slots * sizeof(double)),
                  0);
        EXPECT_EQ(std::memcmp(&state.delaySum, &plain.delaySum, sizeof(double)), 0);
        EXPECT_EQ(std::memcmp(&state.meanDelay, &plain.meanDelay, sizeof(double)), 0);
    }
    model_release(&plain);
}

// ---- same bits on every build ----

uint64_t digest_bytes(uint64_t hash, const void* data, size_t size) {
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i)
        hash = (hash ^ bytes[i]) * 0x100000001B3ull;
    return hash;
}

TEST_F(Model, ThousandFramesFromSeed812Point7GiveTheSameDigestOnEveryBuild) {
    start(model_parameters{}, 812.7);
    for (int i = 0; i < 1000; ++i)
        frame();
    uint64_t hash = 0xCBF29CE484222325ull;
    hash = digest_bytes(hash, state.lineProfile, histogram_slots * sizeof(float));
    hash = digest_bytes(hash, state.delayHistogram, histogram_slots * sizeof(double));
    hash = digest_bytes(hash, &state.delaySum, sizeof state.delaySum);
    for (const float* array :
         {state.radius,      state.phase,           state.angularStep, state.sinTilt,
          state.cosTilt,     state.sinNode,         state.cosNode,     state.orbitX,
          state.orbitY,      state.orbitZ,          state.diskX,       state.diskY,
          state.screenX,     state.screenY,         state.lineOfSight, state.prevScreenX,
          state.prevScreenY, state.prevLineOfSight, state.velocity,    state.distance,
          state.delay})
        hash = digest_bytes(hash, array + 1, cloud_count * sizeof(float));
    EXPECT_EQ(hash, 0x403b07d400844755ull) << std::hex << hash;
}

} // namespace
