// Random numbers (four generators) and the high-resolution timer.
#pragma once
#include <cstdint>

// Algorithm numbers of random_seed.
constexpr int32_t random_by_dialect = 0;
constexpr int32_t random_library = 1; // the platform run-time library's rand
constexpr int32_t random_lcg32 = 2;
constexpr int32_t random_twister = 3;
constexpr int32_t random_lcg24 = 4;

// Next value in [0, 1) from the current generator; x = 0 repeats the last value (the LCGs
// return their current state), a negative x reseeds the 24-bit LCG.
double random_next(float x);
// The next count values, exactly as count calls of random_next(1.0) would give them (and
// leaving the same state and last value), in one call.
void random_fill(double* values, int32_t count);
// The values that the next draws of random_next(1.0) will give, without drawing them: points
// *values at them and returns how many are ready, from one to the end of the twister's
// current block of 624; 0 (and *values untouched) when the current generator is not a seeded
// twister, whose values are only made one at a time.
int32_t random_ahead(const double** values);
// Takes count draws, as count calls of random_next(1.0) would (the last value too), without
// making the values on the way: for draws that are taken but not used.
void random_skip(int32_t count);
// Selects and seeds a generator. seed = -1.0 seeds from timer_seconds().
void random_seed(double seed, int32_t algorithm);
// Seconds since an origin fixed by the platform.
double timer_seconds();

// For tests: puts the generator state and the timer back to their program-start values.
void random_reset();
// For tests: the timer mode (0 not probed, 1 tick count, 2 performance counter); a nonzero
// argument forces that mode.
int32_t timer_mode(int32_t force);
