#include "app/summary.h"

float profile_peak(const float* lineProfile) {
    float peak = 0.0f;
    for (int32_t k = 1; k <= 1000; ++k)
        if (lineProfile[k] > peak) peak = lineProfile[k];
    return peak;
}

float delay_peak(const float* delay) {
    float peak = -10000.0f;
    for (int32_t k = 1; k <= 1000; ++k)
        if (delay[k] > peak) peak = delay[k];
    return peak;
}

float histogram_peak(const double* delayHistogram) {
    float peak = 0.0f;
    for (int32_t k = 1; k <= 1000; ++k)
        if (!(peak >= delayHistogram[k])) peak = static_cast<float>(delayHistogram[k]);
    return peak;
}

double mean_delay(double delaySum, int32_t frame) {
    return static_cast<double>(static_cast<long double>(delaySum) / frame / 10000.0L);
}
