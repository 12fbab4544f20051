// The model's small pieces in inline form, for the placement, the step and the public
// functions of model.h that tests and tools call.
#pragma once
#include "app/model.h"
#include "app/orbit_math.h"

#include <cmath>
#include <cstdint>

namespace model_pieces {

using extended = long double;

// A stored value taken into extended precision. Loop constants stay in their stored width
// and are widened where used: a spilled extended value costs a slow 80-bit reload.
constexpr extended wide(float v) {
    return v;
}
constexpr extended wide(double v) {
    return v;
}

// K / (sqrt(r) * r), from the stored radius.
inline float angular_step(float radius, float orbitConstant) {
    const extended r = radius;
    return static_cast<float>(orbitConstant / (std::sqrt(r) * r));
}

// The floor of y through plain double arithmetic when y lies farther than margin from every
// integer: the extended-precision value that y approximates within margin then has the same
// floor. False when y is that close to an integer, or outside the 32-bit range, or NaN; the
// caller then takes the exact extended path. This keeps the bins off the slow x87-to-integer
// path, whose late result would hold up the histogram stores.
inline bool clear_floor(double y, double margin, int32_t* result) {
    if (!(y > -2147483647.0 && y < 2147483647.0)) return false;
    int32_t floor = static_cast<int32_t>(y); // toward zero
    floor -= y < static_cast<double>(floor); // down for negative fractions
    const double fraction = y - floor;       // within 2^-53 of the true fraction
    if (!(fraction > margin && fraction < 1.0 - margin)) return false;
    *result = floor;
    return true;
}

inline bool velocity_bin_of(float velocity, float velocityRange, int32_t* bin) {
    // 1000 v is exact in double; the quotient and the sum are each within 2^-53 of their
    // value, the extended ones within 2^-64.
    const double quotient = 1000.0 * velocity / velocityRange;
    const double y = quotient + 500.0;
    if (clear_floor(y, 0x1p-50 * (std::fabs(quotient) + std::fabs(y) + 1.0), bin)) return true;
    return floor_int32(1000.0L * velocity / velocityRange + 500.0L, bin);
}

inline bool delay_bin_of(float delay, float delayOrigin, int32_t* bin) {
    const double y = static_cast<double>(delay) - delayOrigin;
    int32_t below;
    if (!clear_floor(y, 0x1p-50 * (std::fabs(y) + 1.0), &below) &&
        !floor_int32(wide(delay) - delayOrigin, &below))
        return false;
    if (below == INT32_MAX) return false;
    *bin = below + 1;
    return true;
}

inline double brightness_of(float distance, float exponent) {
    const double q = static_cast<double>(1.0L / distance);
    // pow(q, 2.0) is the correctly rounded square; other exponents go to the library.
    return exponent == 2.0f ? q * q : std::pow(q, static_cast<double>(exponent));
}

} // namespace model_pieces
