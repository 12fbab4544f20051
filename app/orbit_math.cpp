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

void orbit_sincos_batch(const float* x, double* sine, double* cosine, int32_t count) {
    // Arguments that need the scalar path's special cases are rare: the main loop notes them
    // as it goes and they are done again afterwards.
    int unusual = 0;
    int32_t i = 0;
    for (; i + 2 <= count; i += 2) {
        const __m128d a = _mm_cvtps_pd(
            _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(x + i))));
        __m128d s, c;
        unusual |= orbit_sincos2(a, &s, &c);
        _mm_storeu_pd(sine + i, s);
        _mm_storeu_pd(cosine + i, c);
    }
    for (; i < count; ++i)
        orbit_sincos_inline(x[i], &sine[i], &cosine[i]);
    if (!unusual) return;
    for (i = 0; i < count; ++i) {
        const double magnitude = std::fabs(static_cast<double>(x[i]));
        if (!(magnitude >= orbit_math_detail::tiny &&
              magnitude < orbit_math_detail::reduction_limit))
            orbit_sincos_inline(x[i], &sine[i], &cosine[i]);
    }
}
