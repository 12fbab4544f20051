// Rounding to single through plain double arithmetic, with the bits of the extended-precision
// evaluation.
//
// The model evaluates its expressions in extended precision and rounds a stored value once to
// single. The same expression evaluated in double lands within a few units of the double's
// last place of the exact value, the extended one within a two-thousandth of that. Rounding to
// nearest is monotonic, so where the two ends of a band around the double result wide enough
// to hold both round to the same single, so do the exact value and both evaluations. The
// caller evaluates in double (SSE2 on every build, two values at a time) and takes the
// extended path for the rare value that fails the test: about one in a million, and every NaN.
#pragma once
#include <cstdint>
#include <emmintrin.h>

// The band: d times 1 -/+ 2^-46, that is at least 64 units of d's last place either side, well
// above the few units that any expression of the model can be off (its ends are rounded, which
// takes half a unit off at most).
constexpr double single_band_low = 1.0 - 0x1p-46;
constexpr double single_band_high = 1.0 + 0x1p-46;

// Whether d rounds to the single that the extended evaluation rounds to.
inline bool rounds_as_extended(double d) {
    return static_cast<float>(d * single_band_low) == static_cast<float>(d * single_band_high);
}

// The same test for four doubles, two in each of a and b: all ones in each 32-bit lane that
// passes, in the order a[0], a[1], b[0], b[1].
inline __m128i rounds_as_extended(__m128d a, __m128d b) {
    const __m128d low = _mm_set1_pd(single_band_low), high = _mm_set1_pd(single_band_high);
    const __m128 below =
        _mm_movelh_ps(_mm_cvtpd_ps(_mm_mul_pd(a, low)), _mm_cvtpd_ps(_mm_mul_pd(b, low)));
    const __m128 above =
        _mm_movelh_ps(_mm_cvtpd_ps(_mm_mul_pd(a, high)), _mm_cvtpd_ps(_mm_mul_pd(b, high)));
    return _mm_castps_si128(_mm_cmpeq_ps(below, above));
}

// 1 / d for two singles d, with the bits of the extended quotient rounded to double, which
// differs from the correctly rounded double quotient only where the exact quotient lies within
// an extended unit of a midpoint between two doubles. The remainder r = 1 - q d is exact (q is
// split so that each part times d is exact, and 1 - qh d cancels exactly), and |r| / d is the
// distance of q from 1 / d: the lanes pass where it stays clear of half a unit of q by 2^-9
// units. Zero, infinite and NaN inputs fail.
inline __m128i reciprocal_as_extended(__m128d d, __m128d* quotient) {
    const __m128d q = _mm_div_pd(_mm_set1_pd(1.0), d);
    const __m128d qh =
        _mm_and_pd(q, _mm_castsi128_pd(_mm_set_epi32(-1, -0x8000000, -1, -0x8000000)));
    const __m128d ql = _mm_sub_pd(q, qh);
    const __m128d r =
        _mm_sub_pd(_mm_sub_pd(_mm_set1_pd(1.0), _mm_mul_pd(qh, d)), _mm_mul_pd(ql, d));
    // A unit of q's last place: q's exponent with an empty fraction, times 2^-52.
    const __m128d unit =
        _mm_mul_pd(_mm_and_pd(q, _mm_castsi128_pd(_mm_set_epi32(0x7FF00000, 0, 0x7FF00000, 0))),
                   _mm_set1_pd(0x1p-52));
    const __m128d magnitude = _mm_andnot_pd(_mm_set1_pd(-0.0), r);
    const __m128d limit = _mm_mul_pd(_mm_mul_pd(_mm_andnot_pd(_mm_set1_pd(-0.0), d), unit),
                                     _mm_set1_pd(0.5 - 0x1p-9));
    *quotient = q;
    return _mm_castpd_si128(_mm_cmplt_pd(magnitude, limit));
}
