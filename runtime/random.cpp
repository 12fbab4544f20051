#include "runtime/random.h"

#include "runtime/internal/seams.h"
#include "runtime/os/os.h"
#include "runtime/runtime.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <emmintrin.h>

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
alignas(16) double twister_values[twister_words]; // the block's values, once made
bool twister_values_made;                         // for the block in twister[]
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
    for (int32_t k = 1; k < twister_words; ++k)
        twister[k] = twister[k - 1] * 1664525u + 1013904223u;
    twister_position = twister_words;
}

// The MT19937 recurrence for words k to k + 3 from the words after them and the words 397
// places on (taken modulo 624, as the caller's ranges ensure).
inline __m128i twist4(__m128i words, __m128i next, __m128i far) {
    const __m128i upper = _mm_set1_epi32(static_cast<int32_t>(0x80000000u));
    const __m128i y = _mm_or_si128(_mm_and_si128(words, upper), _mm_andnot_si128(upper, next));
    const __m128i odd = _mm_srai_epi32(_mm_slli_epi32(y, 31), 31);
    const __m128i matrix = _mm_and_si128(odd, _mm_set1_epi32(static_cast<int32_t>(0x9908B0DFu)));
    return _mm_xor_si128(_mm_xor_si128(far, _mm_srli_epi32(y, 1)), matrix);
}

inline uint32_t twist(uint32_t a, uint32_t b, uint32_t far) {
    const uint32_t y = (a & 0x80000000u) | (b & 0x7FFFFFFFu);
    return far ^ (y >> 1) ^ ((y & 1u) ? 0x9908B0DFu : 0u);
}

inline __m128i load4(const uint32_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// The next 624 words, four at a time. Words 0 to 226 use the old words 397 on; words 227 to
// 622 the new words 227 back, which the earlier blocks of four have already written.
void twister_regenerate() {
    constexpr int32_t first = twister_words - 397; // 227 words use the old words 397 on
    static_assert(first % 4 == 3 && (twister_words - 1 - first) % 4 == 0);
    int32_t k = 0;
    for (; k + 4 <= first; k += 4) {
        const __m128i words =
            twist4(load4(twister + k), load4(twister + k + 1), load4(twister + k + 397));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(twister + k), words);
    }
    for (; k < first; ++k)
        twister[k] = twist(twister[k], twister[k + 1], twister[k + 397]);
    for (; k < twister_words - 1; k += 4) {
        const __m128i words =
            twist4(load4(twister + k), load4(twister + k + 1), load4(twister + k - first));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(twister + k), words);
    }
    twister[k] = twist(twister[k], twister[0], twister[396]);
    twister_position = 0;
    twister_values_made = false;
}

// The values of the whole block, four words at a time, for the callers that read many values
// in place (random_ahead): the standard MT19937 tempering, then y * 2^-32 as the double whose
// high word puts 2^20 before the 32 bits of y (2^20 + y * 2^-32) less 2^20: exact, and no
// unsigned conversion is needed.
void twister_make_values() {
    const __m128i high = _mm_set1_epi32(0x41300000);
    const __m128d offset = _mm_set1_pd(0x1p20);
    for (int32_t k = 0; k < twister_words; k += 4) {
        __m128i y = load4(twister + k);
        y = _mm_xor_si128(y, _mm_srli_epi32(y, 11));
        y = _mm_xor_si128(y, _mm_and_si128(_mm_slli_epi32(y, 7),
                                           _mm_set1_epi32(static_cast<int32_t>(0x9D2C5680u))));
        y = _mm_xor_si128(y, _mm_and_si128(_mm_slli_epi32(y, 15),
                                           _mm_set1_epi32(static_cast<int32_t>(0xEFC60000u))));
        y = _mm_xor_si128(y, _mm_srli_epi32(y, 18));
        const __m128d low = _mm_sub_pd(_mm_castsi128_pd(_mm_unpacklo_epi32(y, high)), offset);
        const __m128d upper = _mm_sub_pd(_mm_castsi128_pd(_mm_unpackhi_epi32(y, high)), offset);
        _mm_store_pd(twister_values + k, low);
        _mm_store_pd(twister_values + k + 2, upper);
    }
    twister_values_made = true;
}

// The value of word k of the block.
inline double twister_value_at(int32_t k) {
    if (twister_values_made) return twister_values[k];
    uint32_t y = twister[k];
    y ^= y >> 11;
    y ^= (y << 7) & 0x9D2C5680u;
    y ^= (y << 15) & 0xEFC60000u;
    y ^= y >> 18;
    return y * 0x1p-32;
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

// The next value of a seeded twister.
inline double twister_value() {
    if (twister_position >= twister_words) twister_regenerate();
    return twister_value_at(twister_position++);
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
        for (int32_t i = 0; i < count; ++i)
            values[i] = random_next(1.0f);
        return;
    }
    for (int32_t i = 0; i < count; ++i)
        values[i] = twister_value();
    last_value = values[count - 1];
}

int32_t random_ahead(const double** values) {
    if (current != twister_next) return 0;
    if (twister_position >= twister_words) twister_regenerate();
    if (!twister_values_made) twister_make_values();
    *values = twister_values + twister_position;
    return twister_words - twister_position;
}

void random_skip(int32_t count) {
    if (count <= 0) return;
    if (current != twister_next || twister_position < 0) {
        for (int32_t i = 0; i < count; ++i)
            random_next(1.0f);
        return;
    }
    // Only the words are needed on the way, and the value of the last one.
    while (count > 0) {
        if (twister_position >= twister_words) twister_regenerate();
        const int32_t n = std::min(count, twister_words - twister_position);
        twister_position += n;
        count -= n;
    }
    last_value = twister_value_at(twister_position - 1);
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
