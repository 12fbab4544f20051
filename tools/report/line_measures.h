// The measures that set runs of the model side by side: where the line profile peaks and how
// wide it is, and where the delay histogram peaks.
#pragma once
#include "app/model.h"

#include <cstdint>

struct line_measures {
    // Centres of the brightest profile bin of negative and of positive velocities (the two
    // horns of a double-peaked line; beside the centre for a single peak); NaN without light.
    double negativePeak, positivePeak;
    // Full width at half the profile's maximum: between the outermost points at half of it,
    // interpolated linearly between bin centres; 0 without light.
    double fwhm;
    // Centre of the delay-histogram bin with the most clouds, and their count.
    double delayPeak, delayPeakCount;
};

// The measures of the state's lineProfile (bins 2 to 999) and delayHistogram (bins 1 to 999);
// the bins' velocities and delays are those of the state's parameters.
line_measures measure_line(const model_state& state);
