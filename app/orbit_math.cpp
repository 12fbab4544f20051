#include "app/orbit_math.h"

#include <bit>

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
    using namespace orbit_math_detail;
    // Arguments that need the scalar path's special cases are rare; find them first so that
    // the main loop has no branch.
    bool unusual = false;
    for (int32_t i = 0; i < count && !unusual; ++i) {
        const double magnitude = std::fabs(static_cast<double>(x[i]));
        unusual = !(magnitude >= tiny && magnitude < reduction_limit);
    }
    for (int32_t i = 0; i < count; ++i) {
        const double a = x[i];
        const double shifted = a * two_over_pi + round_shift;
        const double n = shifted - round_shift;
        double r, t, s, c;
        reduce(a, n, &r, &t);
        kernel(r, t, &s, &c);
        // The quadrant is in the low bits of the shifted value; the selection and the signs
        // are done on the bits, as masks.
        const uint64_t quadrant = std::bit_cast<uint64_t>(shifted);
        const uint64_t odd = 0 - (quadrant & 1);
        const uint64_t sBits = std::bit_cast<uint64_t>(s), cBits = std::bit_cast<uint64_t>(c);
        sine[i] = std::bit_cast<double>(((sBits & ~odd) | (cBits & odd)) ^ ((quadrant & 2) << 62));
        cosine[i] =
            std::bit_cast<double>(((cBits & ~odd) | (sBits & odd)) ^ (((quadrant + 1) & 2) << 62));
    }
    if (!unusual) return;
    for (int32_t i = 0; i < count; ++i) {
        const double magnitude = std::fabs(static_cast<double>(x[i]));
        if (!(magnitude >= tiny && magnitude < reduction_limit))
            orbit_sincos_inline(x[i], &sine[i], &cosine[i]);
    }
}
