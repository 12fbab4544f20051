// Random numbers (four generators) and the high-resolution timer. The generator's state is the
// process's and unguarded: call these from one thread, the program's.
#pragma once
#include <cstdint>

// Algorithm numbers of random_seed.
constexpr int32_t random_by_dialect = 0; // the dialect's choice: the twister under dialect 0
constexpr int32_t random_library = 1;    // the platform run-time library's rand
constexpr int32_t random_lcg32 = 2;      // a fast 32-bit linear congruential generator
constexpr int32_t random_twister = 3;    // the Mersenne twister (MT19937)
constexpr int32_t random_lcg24 = 4;      // a 24-bit linear congruential generator
// Any other number is the twister.

// The next value in [0, 1) of the current generator, a multiple of 2^-15, 2^-24 or 2^-32.
// x = 0 repeats the last value (the LCGs return their current state); a negative x reseeds the
// 24-bit LCG from its bits and is an ordinary draw for the others. Before any random_seed the
// first draw seeds the dialect's generator (under dialect 0 as random_seed(0.0, 0) would).
double random_next(float x);
// The next count values (count >= 0), exactly as count calls of random_next(1.0) would give
// them, leaving the same state and last value.
void random_fill(double* values, int32_t count);
// The values that the next draws of random_next(1.0) will give, without drawing them: points
// *values at them and returns how many are ready, from one to the end of the twister's current
// block of 624; 0 (and *values untouched) when the current generator is not a seeded twister.
int32_t random_ahead(const double** values);
// Takes count draws as count calls of random_next(1.0) would (the last value too), without
// making the values on the way.
void random_skip(int32_t count);
// Selects generator algorithm (above) and seeds it. seed = -1.0 seeds from timer_seconds().
// The twister and the 32-bit LCG take the seed truncated to an integer, so 812.7 and 812.2
// give the same sequence.
void random_seed(double seed, int32_t algorithm);
// Seconds since an origin fixed by the platform (system start), from the performance counter
// (the tick count, in milliseconds, where there is none).
double timer_seconds();
