#include "runtime/random.h"

#include "runtime/os/os.h"
#include "runtime/runtime.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr int32_t twister_words = 624;
constexpr int32_t twister_unset = -1;
constexpr uint32_t lcg_start = 327680; // 0x50000

using generator = double (*)(float x);

double first_use(float x);

generator current = first_use;
double last_value;
uint32_t lcg_state = lcg_start;
uint32_t twister[twister_words];
int32_t twister_position = twister_unset;

int32_t timer_state;
double counter_reciprocal;

// Toward zero; outside the range, the range's most negative value.
int64_t truncate64(double v) {
    if (!(v >= -9223372036854775808.0 && v < 9223372036854775808.0)) return INT64_MIN;
    return static_cast<int64_t>(v);
}

int32_t truncate32(double v) {
    if (!(v > -2147483649.0 && v < 2147483648.0)) return INT32_MIN;
    return static_cast<int32_t>(v);
}

void twister_seed(double seed) {
    twister[0] = static_cast<uint32_t>(truncate64(seed));
    for (int32_t k = 1; k < twister_words; ++k) twister[k] = twister[k - 1] * 1664525u + 1013904223u;
    twister_position = twister_words;
}

void twister_regenerate() {
    constexpr uint32_t matrix = 0x9908B0DFu, upper = 0x80000000u, lower = 0x7FFFFFFFu;
    auto twist = [](uint32_t a, uint32_t b, uint32_t m) {
        uint32_t y = (a & upper) | (b & lower);
        return m ^ (y >> 1) ^ ((y & 1u) ? matrix : 0u);
    };
    int32_t k = 0;
    for (; k < twister_words - 397; ++k) twister[k] = twist(twister[k], twister[k + 1], twister[k + 397]);
    for (; k < twister_words - 1; ++k) twister[k] = twist(twister[k], twister[k + 1], twister[k - 227]);
    twister[k] = twist(twister[k], twister[0], twister[396]);
    twister_position = 0;
}

double library_next(float x) {
    if (x == 0.0f) return last_value;
    return (std::rand() & 0x7FFF) * 0x1p-15;
}

double lcg32_next(float x) {
    if (x != 0.0f) lcg_state = lcg_state * 1664525u + 1013904223u;
    return lcg_state * 0x1p-32;
}

double lcg24_next(float x) {
    if (x == 0.0f) return lcg_state * 0x1p-24;
    if (x < 0.0f) {
        uint32_t b;
        std::memcpy(&b, &x, sizeof b);
        lcg_state = (b & 0xFFFFFFu) + (b >> 24);
    }
    lcg_state = (lcg_state * 16598013u + 12820163u) & 0xFFFFFFu;
    return lcg_state * 0x1p-24;
}

// The next tempered word of a seeded twister, as a value in [0, 1).
inline double twister_value() {
    if (twister_position >= twister_words) twister_regenerate();
    uint32_t y = twister[twister_position++];
    y ^= y >> 11;
    y ^= (y << 7) & 0x9D2C5680u;
    y ^= (y << 15) & 0xEFC60000u;
    y ^= y >> 18;
    return y * 0x1p-32;
}

double twister_next(float x) {
    if (x == 0.0f) return last_value;
    if (twister_position == twister_unset) twister_seed(327680.0);
    return twister_value();
}

double first_use(float x) {
    int32_t dialect = runtime_dialect();
    if (dialect == 1 || dialect == 2) {
        current = library_next;
    } else if (dialect == 3) {
        current = lcg24_next;
        lcg_state = lcg_start;
    } else {
        random_seed(0.0, random_by_dialect);
    }
    return random_next(x);
}

int32_t algorithm_of_dialect(int32_t dialect) {
    if (dialect == 1 || dialect == 2) return random_library;
    if (dialect == 3) return random_lcg24;
    return random_twister;
}

} // namespace

double random_next(float x) {
    double value = current(x);
    last_value = value;
    return value;
}

void random_fill(double* values, int32_t count) {
    if (count <= 0) return;
    if (current != twister_next || twister_position < 0) {
        for (int32_t i = 0; i < count; ++i) values[i] = random_next(1.0f);
        return;
    }
    for (int32_t i = 0; i < count; ++i) values[i] = twister_value();
    last_value = values[count - 1];
}

void random_seed(double seed, int32_t algorithm) {
    if (algorithm == random_by_dialect) algorithm = algorithm_of_dialect(runtime_dialect());
    if (seed == -1.0) seed = timer_seconds();
    switch (algorithm) {
    case random_library:
        std::srand(static_cast<unsigned>(truncate32(seed)));
        std::rand();
        current = library_next;
        break;
    case random_lcg32:
        lcg_state = static_cast<uint32_t>(truncate64(seed));
        current = lcg32_next;
        break;
    case random_lcg24: {
        uint64_t bits;
        std::memcpy(&bits, &seed, sizeof bits);
        uint32_t h = static_cast<uint32_t>(bits >> 32);
        lcg_state = (((h ^ (h >> 16)) & 0xFFFFu) << 8) | (lcg_state & 0xFFu);
        current = lcg24_next;
        break;
    }
    default:
        twister_seed(seed);
        current = twister_next;
        break;
    }
}

double timer_seconds() {
    if (timer_state == 0) {
        int64_t frequency = 0;
        if (os_performance_frequency(&frequency) && frequency > 0) {
            counter_reciprocal = 1.0 / static_cast<double>(frequency);
            timer_state = 2;
        } else {
            timer_state = 1;
        }
    }
    if (timer_state == 1) return os_tick_count() * 0.001;
    return static_cast<double>(static_cast<long double>(os_performance_counter()) *
                               counter_reciprocal);
}

void random_reset() {
    current = first_use;
    last_value = 0.0;
    lcg_state = lcg_start;
    twister_position = twister_unset;
}

int32_t timer_mode(int32_t force) {
    if (force == 2) {
        timer_state = 0; // probe the counter again
        timer_seconds();
    } else if (force) {
        timer_state = force;
    }
    return timer_state;
}
