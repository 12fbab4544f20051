#include "app/orbit_math.h"

#include <emmintrin.h>

void orbit_sincos(double x, double* sine, double* cosine) {
    orbit_sincos_inline(x, sine, cosine);
}

double orbit_sin(double x) {
    double s, c;
    orbit_sincos_inline(x, &s, &c);
    return s;
}

double orbit_cos(double x) {
    double s, c;
    orbit_sincos_inline(x, &s, &c);
    return c;
}

namespace {

using namespace orbit_math_detail;

// The kernel and the reduction of orbit_math.h for two arguments at once: the same IEEE
// double operations in the same order, so the same bits as the single call.
inline __m128d times(__m128d a, double b) {
    return _mm_mul_pd(a, _mm_set1_pd(b));
}
inline __m128d plus(double a, __m128d b) {
    return _mm_add_pd(_mm_set1_pd(a), b);
}

inline void kernel2(__m128d r, __m128d t, __m128d* s, __m128d* c) {
    const double* S = sine_terms;
    const double* C = cosine_terms;
    const __m128d z = _mm_mul_pd(r, r);
    __m128d ps = plus(S[6], times(z, S[7]));
    ps = plus(S[5], _mm_mul_pd(z, ps));
    ps = plus(S[4], _mm_mul_pd(z, ps));
    ps = plus(S[3], _mm_mul_pd(z, ps));
    ps = plus(S[2], _mm_mul_pd(z, ps));
    ps = plus(S[1], _mm_mul_pd(z, ps));
    const __m128d half = times(z, 0.5); // 0.5 * z, the same product
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
    const __m128d one = _mm_set1_pd(1.0);
    const __m128d w = _mm_sub_pd(one, half);
    *c = _mm_add_pd(w, _mm_add_pd(_mm_sub_pd(_mm_sub_pd(one, w), half),
                                  _mm_sub_pd(_mm_mul_pd(_mm_mul_pd(z, z), pc), _mm_mul_pd(r, t))));
}

inline void reduce2(__m128d x, __m128d n, __m128d* r, __m128d* t) {
    const __m128d head = _mm_sub_pd(x, times(n, pio2_1));
    const __m128d middle = times(n, pio2_2);
    const __m128d y = _mm_sub_pd(head, middle);
    const __m128d e = _mm_sub_pd(_mm_sub_pd(_mm_sub_pd(head, y), middle), times(n, pio2_3));
    *r = _mm_add_pd(y, e);
    *t = _mm_add_pd(_mm_sub_pd(y, *r), e);
}

} // namespace

void orbit_sincos_batch(const float* x, double* sine, double* cosine, int32_t count) {
    // Arguments that need the scalar path's special cases are rare: the main loop notes them
    // as it goes and they are done again afterwards.
    const __m128d sign = _mm_set1_pd(-0.0);
    const __m128i one = _mm_set_epi32(0, 1, 0, 1), two = _mm_set_epi32(0, 2, 0, 2);
    __m128d usual = _mm_castsi128_pd(_mm_set1_epi32(-1));
    int32_t i = 0;
    for (; i + 2 <= count; i += 2) {
        const __m128d a = _mm_cvtps_pd(
            _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(x + i))));
        const __m128d magnitude = _mm_andnot_pd(sign, a);
        usual =
            _mm_and_pd(usual, _mm_and_pd(_mm_cmpge_pd(magnitude, _mm_set1_pd(tiny)),
                                         _mm_cmplt_pd(magnitude, _mm_set1_pd(reduction_limit))));
        const __m128d shifted = _mm_add_pd(times(a, two_over_pi), _mm_set1_pd(round_shift));
        const __m128d n = _mm_sub_pd(shifted, _mm_set1_pd(round_shift));
        __m128d r, t, s, c;
        reduce2(a, n, &r, &t);
        kernel2(r, t, &s, &c);
        // The quadrant is in the low bits of the shifted value: odd swaps sine and cosine,
        // bit 1 of q gives the sine's sign and bit 1 of q + 1 the cosine's.
        const __m128i q = _mm_castpd_si128(shifted);
        const __m128d odd =
            _mm_castsi128_pd(_mm_sub_epi64(_mm_setzero_si128(), _mm_and_si128(q, one)));
        const __m128d sineSign = _mm_castsi128_pd(_mm_slli_epi64(_mm_and_si128(q, two), 62));
        const __m128d cosineSign =
            _mm_castsi128_pd(_mm_slli_epi64(_mm_and_si128(_mm_add_epi64(q, one), two), 62));
        const __m128d sinePick = _mm_or_pd(_mm_andnot_pd(odd, s), _mm_and_pd(odd, c));
        const __m128d cosinePick = _mm_or_pd(_mm_andnot_pd(odd, c), _mm_and_pd(odd, s));
        _mm_storeu_pd(sine + i, _mm_xor_pd(sinePick, sineSign));
        _mm_storeu_pd(cosine + i, _mm_xor_pd(cosinePick, cosineSign));
    }
    for (; i < count; ++i)
        orbit_sincos_inline(x[i], &sine[i], &cosine[i]);
    if (_mm_movemask_pd(usual) == 3) return;
    for (i = 0; i < count; ++i) {
        const double magnitude = std::fabs(static_cast<double>(x[i]));
        if (!(magnitude >= tiny && magnitude < reduction_limit))
            orbit_sincos_inline(x[i], &sine[i], &cosine[i]);
    }
}
