#include "app/orbit_math.h"

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
