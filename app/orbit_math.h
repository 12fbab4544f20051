// Sine, cosine and floor for the orbit model, written so that every build (native, win64,
// win32 with SSE2) gives the same bits: plain IEEE double arithmetic for sine and cosine, and
// an exact floor in extended precision without switching the x87 rounding mode.
#pragma once
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <emmintrin.h>

// Sine and cosine of x, within about one unit in the last place for |x| < 1.6e6. Larger
// arguments are first reduced modulo the double nearest 2 pi, so they keep a defined but
// less accurate result; NaN and infinities give NaN.
void orbit_sincos(double x, double* sine, double* cosine);
double orbit_sin(double x);
double orbit_cos(double x);
// The same for count singles at once, bit for bit, two at a time (orbit_sincos2 below).
void orbit_sincos_batch(const float* x, double* sine, double* cosine, int32_t count);

// The largest integer not above x, as a 32-bit integer. False (and *result untouched) when
// that integer does not fit in 32 bits or x is NaN. Needs the x87 at 64-bit precision, as
// runtime_start leaves it: the rounding trick relies on a unit step at 1.5 * 2^63.
inline bool floor_int32(long double x, int32_t* result) {
    if (!(x >= -2147483648.0L && x < 2147483647.0L)) {
        if (!(x >= 2147483647.0L && x < 2147483648.0L)) return false;
        *result = INT32_MAX; // x would round up to 2^31 below
        return true;
    }
    constexpr long double shift = 0x1.8p63L;
    const long double nearest = (x + shift) - shift; // x rounded to nearest, ties to even
    // Without a branch: which way x rounded is as random as the data.
    const int32_t above = nearest > x;
    *result = static_cast<int32_t>(static_cast<double>(nearest)) - above;
    return true;
}

// Reduction of x to r = x - n * pi/2 with |r| <= about pi/4, and the quadrant n mod 4.
// pi/2 is split in three parts (33, 33 and 53 bits) so that n * part is exact for the first
// two while |n| < 2^20.
namespace orbit_math_detail {

constexpr double pio2_1 = 0x1.921fb54400000p+0;
constexpr double pio2_2 = 0x1.0b4611a600000p-34;
constexpr double pio2_3 = 0x1.3198a2e037073p-69;
constexpr double two_over_pi = 0x1.45f306dc9c883p-1;
constexpr double round_shift = 0x1.8p52; // adding and removing it rounds a double to an integer
constexpr double reduction_limit = 0x1.8p20;
constexpr double tiny = 0x1p-27; // below it sin x rounds to x and cos x to 1

// Taylor coefficients: with one term beyond what the error needs at pi/4, the polynomial's
// error stays well below half a unit in the last place.
constexpr double sine_terms[] = {
    -0x1.5555555555555p-3,  // -1/3!
    0x1.1111111111111p-7,   // +1/5!
    -0x1.a01a01a01a01ap-13, // -1/7!
    0x1.71de3a556c734p-19,  // +1/9!
    -0x1.ae64567f544e4p-26, // -1/11!
    0x1.6124613a86d09p-33,  // +1/13!
    -0x1.ae7f3e733b81fp-41, // -1/15!
    0x1.952c77030ad4ap-49,  // +1/17!
};
constexpr double cosine_terms[] = {
    0x1.5555555555555p-5,   // +1/4!
    -0x1.6c16c16c16c17p-10, // -1/6!
    0x1.a01a01a01a01ap-16,  // +1/8!
    -0x1.27e4fb7789f5cp-22, // -1/10!
    0x1.1eed8eff8d898p-29,  // +1/12!
    -0x1.93974a8c07c9dp-37, // -1/14!
    0x1.ae7f3e733b81fp-45,  // +1/16!
    -0x1.6827863b97d97p-53, // -1/18!
};

// Signs and selection by quadrant, as data, so that a random phase costs no mispredicted
// branch: sine = pick[q] ? c : s, times sign.
constexpr int sine_pick[4] = {0, 1, 0, 1};
constexpr double sine_sign[4] = {1.0, 1.0, -1.0, -1.0};
constexpr int cosine_pick[4] = {1, 0, 1, 0};
constexpr double cosine_sign[4] = {1.0, -1.0, -1.0, 1.0};

// Sine and cosine of r + t, where t is the low part of the reduced argument (|t| below half
// a unit of r): sin(r + t) = sin r + t cos r and cos(r + t) = cos r - t sin r to well
// within the last place.
inline void kernel(double r, double t, double* s, double* c) {
    const double z = r * r;
    const double* S = sine_terms;
    const double* C = cosine_terms;
    double ps = S[6] + z * S[7];
    ps = S[5] + z * ps;
    ps = S[4] + z * ps;
    ps = S[3] + z * ps;
    ps = S[2] + z * ps;
    ps = S[1] + z * ps;
    *s = r + ((r * z) * (S[0] + z * ps) + (t - 0.5 * z * t));
    double pc = C[6] + z * C[7];
    pc = C[5] + z * pc;
    pc = C[4] + z * pc;
    pc = C[3] + z * pc;
    pc = C[2] + z * pc;
    pc = C[1] + z * pc;
    pc = C[0] + z * pc;
    // 1 - z/2 loses its low bits when rounded; (1 - w) - half recovers them exactly.
    const double half = 0.5 * z;
    const double w = 1.0 - half;
    *c = w + (((1.0 - w) - half) + ((z * z) * pc - r * t));
}

// x - n pi/2 as r + t: the first two products are exact, the rounding error of the
// subtraction is recovered, and the third part joins the low word.
inline void reduce(double x, double n, double* r, double* t) {
    const double head = x - n * pio2_1;
    const double middle = n * pio2_2;
    const double y = head - middle;
    const double e = ((head - y) - middle) - n * pio2_3;
    *r = y + e;
    *t = (y - *r) + e;
}

} // namespace orbit_math_detail

inline void orbit_sincos_inline(double x, double* sine, double* cosine) {
    using namespace orbit_math_detail;
    if (!(std::fabs(x) >= tiny && std::fabs(x) < reduction_limit)) {
        if (!std::isfinite(x)) {
            *sine = *cosine = x - x; // NaN
            return;
        }
        if (std::fabs(x) < tiny) { // x and 1 are the rounded values; keeps the sign of zero
            *sine = x;
            *cosine = 1.0;
            return;
        }
        x = std::fmod(x, 2.0 * pio2_1 + 2.0 * pio2_2); // exact remainder
    }
    const double n = (x * two_over_pi + round_shift) - round_shift;
    double r, t;
    reduce(x, n, &r, &t);
    const int quadrant = static_cast<int>(n) & 3;
    double v[2];
    kernel(r, t, &v[0], &v[1]);
    *sine = v[sine_pick[quadrant]] * sine_sign[quadrant];
    *cosine = v[cosine_pick[quadrant]] * cosine_sign[quadrant];
}

namespace orbit_math_detail {

// The kernel and the reduction above for two arguments at once: the same IEEE double
// operations in the same order, so the same bits. The constants are kept in pairs, so that each
// is one load (or an operand in memory) rather than a load and a broadcast.
struct alignas(16) double_pair {
    double v[2];
};
template <size_t count> struct double_pairs { double_pair at[count]; };
template <size_t count> constexpr double_pairs<count> paired(const double (&values)[count]) {
    double_pairs<count> pairs{};
    for (size_t i = 0; i < count; ++i)
        pairs.at[i] = {{values[i], values[i]}};
    return pairs;
}
inline constexpr double_pairs<8> sine_pairs = paired(sine_terms);
inline constexpr double_pairs<8> cosine_pairs = paired(cosine_terms);
inline constexpr double_pair pio2_pairs[3] = {
    {{pio2_1, pio2_1}}, {{pio2_2, pio2_2}}, {{pio2_3, pio2_3}}};
inline constexpr double_pair half_pair = {{0.5, 0.5}}, one_pair = {{1.0, 1.0}};

inline __m128d pair(const double_pair& p) {
    return _mm_load_pd(p.v);
}
inline __m128d times(__m128d a, const double_pair& b) {
    return _mm_mul_pd(a, pair(b));
}
inline __m128d plus(const double_pair& a, __m128d b) {
    return _mm_add_pd(pair(a), b);
}

inline void kernel2(__m128d r, __m128d t, __m128d* s, __m128d* c) {
    const double_pair* S = sine_pairs.at;
    const double_pair* C = cosine_pairs.at;
    const __m128d z = _mm_mul_pd(r, r);
    __m128d ps = plus(S[6], times(z, S[7]));
    ps = plus(S[5], _mm_mul_pd(z, ps));
    ps = plus(S[4], _mm_mul_pd(z, ps));
    ps = plus(S[3], _mm_mul_pd(z, ps));
    ps = plus(S[2], _mm_mul_pd(z, ps));
    ps = plus(S[1], _mm_mul_pd(z, ps));
    const __m128d half = times(z, half_pair); // 0.5 * z, the same product
    const __m128d rz = _mm_mul_pd(r, z);
    *s = _mm_add_pd(r, _mm_add_pd(_mm_mul_pd(rz, plus(S[0], _mm_mul_pd(z, ps))),
                                  _mm_sub_pd(t, _mm_mul_pd(half, t))));
    __m128d pc = plus(C[6], times(z, C[7]));
    pc = plus(C[5], _mm_mul_pd(z, pc));
    pc = plus(C[4], _mm_mul_pd(z, pc));
    pc = plus(C[3], _mm_mul_pd(z, pc));
    pc = plus(C[2], _mm_mul_pd(z, pc));
    pc = plus(C[1], _mm_mul_pd(z, pc));
    pc = plus(C[0], _mm_mul_pd(z, pc));
    const __m128d one = pair(one_pair);
    const __m128d w = _mm_sub_pd(one, half);
    *c = _mm_add_pd(w, _mm_add_pd(_mm_sub_pd(_mm_sub_pd(one, w), half),
                                  _mm_sub_pd(_mm_mul_pd(_mm_mul_pd(z, z), pc), _mm_mul_pd(r, t))));
}

inline void reduce2(__m128d x, __m128d n, __m128d* r, __m128d* t) {
    const __m128d head = _mm_sub_pd(x, times(n, pio2_pairs[0]));
    const __m128d middle = times(n, pio2_pairs[1]);
    const __m128d y = _mm_sub_pd(head, middle);
    const __m128d e = _mm_sub_pd(_mm_sub_pd(_mm_sub_pd(head, y), middle), times(n, pio2_pairs[2]));
    *r = _mm_add_pd(y, e);
    *t = _mm_add_pd(_mm_sub_pd(y, *r), e);
}

} // namespace orbit_math_detail

// Sine and cosine of two arguments with the bits of orbit_sincos, except in the lanes that
// need its special cases (tiny, huge and non-finite arguments), which are returned as bits 0
// and 1: their results are to be taken from orbit_sincos.
inline int orbit_sincos2(__m128d x, __m128d* sine, __m128d* cosine) {
    using namespace orbit_math_detail;
    const __m128d magnitude = _mm_andnot_pd(_mm_set1_pd(-0.0), x);
    const __m128d usual = _mm_and_pd(_mm_cmpge_pd(magnitude, _mm_set1_pd(tiny)),
                                     _mm_cmplt_pd(magnitude, _mm_set1_pd(reduction_limit)));
    const __m128d shifted =
        _mm_add_pd(_mm_mul_pd(x, _mm_set1_pd(two_over_pi)), _mm_set1_pd(round_shift));
    const __m128d n = _mm_sub_pd(shifted, _mm_set1_pd(round_shift));
    __m128d r, t, s, c;
    reduce2(x, n, &r, &t);
    kernel2(r, t, &s, &c);
    // The quadrant is in the low bits of the shifted value: odd swaps sine and cosine, bit 1
    // of q gives the sine's sign and bit 1 of q + 1 the cosine's.
    const __m128i q = _mm_castpd_si128(shifted);
    const __m128i one = _mm_set_epi32(0, 1, 0, 1), two = _mm_set_epi32(0, 2, 0, 2);
    const __m128d odd = _mm_castsi128_pd(_mm_sub_epi64(_mm_setzero_si128(), _mm_and_si128(q, one)));
    const __m128d sineSign = _mm_castsi128_pd(_mm_slli_epi64(_mm_and_si128(q, two), 62));
    const __m128d cosineSign =
        _mm_castsi128_pd(_mm_slli_epi64(_mm_and_si128(_mm_add_epi64(q, one), two), 62));
    *sine = _mm_xor_pd(_mm_or_pd(_mm_andnot_pd(odd, s), _mm_and_pd(odd, c)), sineSign);
    *cosine = _mm_xor_pd(_mm_or_pd(_mm_andnot_pd(odd, c), _mm_and_pd(odd, s)), cosineSign);
    return _mm_movemask_pd(usual) ^ 3;
}
