// The summary values that the frame loop computes from the model's state. Nothing in the
// program shows them; the report tool prints them.
#pragma once
#include <cstdint>

// Largest lineProfile entry of bins 1 to 1000, starting from 0.0 (strictly greater wins).
float profile_peak(const float* lineProfile);
// Largest delay of clouds 1 to 1000, starting from -10000.0.
float delay_peak(const float* delay);
// Largest delayHistogram entry of bins 1 to 1000, starting from 0.0, kept as a single.
float histogram_peak(const double* delayHistogram);
// delaySum / frame / 10000.0: the mean delay over all clouds and frames so far.
double mean_delay(double delaySum, int32_t frame);
