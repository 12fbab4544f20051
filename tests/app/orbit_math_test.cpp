#include "app/orbit_math.h"
#include "runtime/runtime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace {

// Distance in units of the last place between a double result and the extended-precision
// library value taken as exact.
double ulps(double value, long double exact) {
    const double rounded = static_cast<double>(exact);
    const double unit = std::nextafter(std::fabs(rounded), 2.0) - std::fabs(rounded);
    return static_cast<double>(std::fabs(static_cast<long double>(value) - exact) / unit);
}

class OrbitMath : public testing::Test {
  protected:
    void SetUp() override { runtime_start(); }
    void TearDown() override { runtime_stop(); }
};

TEST_F(OrbitMath, SineAndCosineStayWithinOneUnitInTheLastPlace) {
    // The model's arguments: phases below 2 pi plus a step, tilts and nodes, 89 degrees. The
    // extended library functions are the reference; some of them reduce with a 66-bit pi,
    // which only matters for results near zero, checked separately below.
    double worstSine = 0, worstCosine = 0;
    for (int i = 0; i <= 200000; ++i) {
        const double x = -8.0 + i * (16.0 / 200000) + 1e-7 * (i % 7);
        double s, c;
        orbit_sincos(x, &s, &c);
        const long double exactSine = sinl(static_cast<long double>(x));
        const long double exactCosine = cosl(static_cast<long double>(x));
        if (std::fabs(exactSine) > 0.01L) worstSine = std::fmax(worstSine, ulps(s, exactSine));
        if (std::fabs(exactCosine) > 0.01L)
            worstCosine = std::fmax(worstCosine, ulps(c, exactCosine));
    }
    EXPECT_LE(worstSine, 1.0);
    EXPECT_LE(worstCosine, 1.0);
}

TEST_F(OrbitMath, NearMultiplesOfHalfPiTheSmallResultKeepsItsAccuracy) {
    // Correctly rounded values of the doubles nearest pi, pi/2 and 10 pi.
    EXPECT_LE(ulps(orbit_sin(3.141592653589793), 1.2246467991473532e-16L), 1.0);
    EXPECT_LE(ulps(orbit_cos(1.5707963267948966), 6.123233995736766e-17L), 1.0);
    EXPECT_LE(ulps(orbit_sin(31.41592653589793), -1.2246467991473533e-15L), 1.0);
}

TEST_F(OrbitMath, ExactValuesAtZeroAndSignOfZero) {
    EXPECT_EQ(orbit_sin(0.0), 0.0);
    EXPECT_EQ(orbit_cos(0.0), 1.0);
    EXPECT_TRUE(std::signbit(orbit_sin(-0.0)));
    EXPECT_EQ(orbit_cos(-0.0), 1.0);
}

TEST_F(OrbitMath, SineAndCosineOfTheTenDigitConstants) {
    // 89 degrees through the ten-digit pi: the model's cosIncl and sinIncl.
    const double incl = static_cast<double>(3.141592654L * 89.0L / 180.0L);
    EXPECT_NEAR(orbit_cos(incl), 0.0174524, 1e-7);
    EXPECT_NEAR(orbit_sin(incl), 0.9998477, 1e-7);
    // 3.141592654 lies just above pi, so its sine is a small negative number.
    EXPECT_NEAR(orbit_sin(3.141592654), -4.102068570306623e-10, 1e-24);
    EXPECT_EQ(orbit_cos(3.141592654), -1.0);
}

TEST_F(OrbitMath, NonFiniteArgumentsGiveNaNAndHugeOnesStayInRange) {
    EXPECT_TRUE(std::isnan(orbit_sin(std::numeric_limits<double>::infinity())));
    EXPECT_TRUE(std::isnan(orbit_cos(-std::numeric_limits<double>::infinity())));
    EXPECT_TRUE(std::isnan(orbit_sin(std::numeric_limits<double>::quiet_NaN())));
    for (double x : {2.0e6, -7.5e12, 3.4e38, 1.7e308}) {
        double s, c;
        orbit_sincos(x, &s, &c);
        EXPECT_LE(std::fabs(s), 1.0) << x;
        EXPECT_LE(std::fabs(c), 1.0) << x;
        EXPECT_NEAR(s * s + c * c, 1.0, 1e-15) << x;
    }
}

TEST_F(OrbitMath, BatchGivesTheBitsOfTheSingleCall) {
    // Phases over several turns, with the special cases mixed in.
    std::vector<float> x;
    for (int i = 0; i < 5000; ++i)
        x.push_back(-20.0f + i * 0.008f);
    for (float special : {0.0f, -0.0f, 1e-9f, -3e-8f, 2e6f, -1e30f, INFINITY, NAN})
        x.push_back(special);
    x.push_back(0.3f); // an odd count: the last one on its own
    std::vector<double> s(x.size()), c(x.size());
    orbit_sincos_batch(x.data(), s.data(), c.data(), static_cast<int32_t>(x.size()));
    for (size_t i = 0; i < x.size(); ++i) {
        double s1, c1;
        orbit_sincos(x[i], &s1, &c1);
        ASSERT_EQ(std::memcmp(&s[i], &s1, sizeof s1), 0) << x[i];
        ASSERT_EQ(std::memcmp(&c[i], &c1, sizeof c1), 0) << x[i];
    }
}

TEST_F(OrbitMath, FloorRoundsTowardMinusInfinity) {
    struct row {
        long double x;
        int32_t floor;
    };
    constexpr row rows[] = {
        {0.0L, 0},
        {-0.0L, 0},
        {0.5L, 0},
        {-0.5L, -1},
        {2.5L, 2},
        {3.5L, 3},
        {-2.5L, -3},
        {2.999999999L, 2},
        {-1.0L, -1},
        {-1e-18L, -1},
        {578.99999L, 578},
        {2147483647.75L, 2147483647},
        {-2147483648.0L, INT32_MIN},
    };
    for (const row& r : rows) {
        int32_t result = 12345;
        ASSERT_TRUE(floor_int32(r.x, &result)) << static_cast<double>(r.x);
        EXPECT_EQ(result, r.floor) << static_cast<double>(r.x);
    }
}

TEST_F(OrbitMath, FloorOutsideTheIntegerRangeGivesNoResult) {
    for (long double x : {2147483648.0L, -2147483648.5L, 1e30L, -1e30L,
                          std::numeric_limits<long double>::infinity(),
                          std::numeric_limits<long double>::quiet_NaN()}) {
        int32_t result = 7;
        EXPECT_FALSE(floor_int32(x, &result)) << static_cast<double>(x);
        EXPECT_EQ(result, 7);
    }
}

} // namespace
