#include "tools/report/line_measures.h"

#include "tools/report/report.h"

#include <cmath>
#include <limits>

line_measures measure_line(const model_state& state) {
    const float* profile = state.lineProfile;
    const double width = state.parameters.velocityRange / 1000.0;
    auto centre = [&](int32_t k) { return velocity_low(state, k) + width / 2; };
    line_measures m{std::numeric_limits<double>::quiet_NaN(),
                    std::numeric_limits<double>::quiet_NaN(), 0.0, 0.0, 0.0};

    // Bin 499 is the last whose centre lies below zero.
    int32_t brightest = 2, negative = 0, positive = 0;
    for (int32_t k = 2; k < 1000; ++k) {
        if (profile[k] > profile[brightest]) brightest = k;
        int32_t& side = k < 500 ? negative : positive;
        if (profile[k] > 0 && (side == 0 || profile[k] > profile[side])) side = k;
    }
    if (negative) m.negativePeak = centre(negative);
    if (positive) m.positivePeak = centre(positive);
    const double half = profile[brightest] / 2.0;
    if (half > 0) {
        int32_t left = 2, right = 999;
        while (profile[left] < half)
            ++left;
        while (profile[right] < half)
            --right;
        // Where the straight line between two bin centres reaches half the peak.
        auto crossing = [&](int32_t below, int32_t above) {
            return centre(below) + (centre(above) - centre(below)) * (half - profile[below]) /
                                       (profile[above] - profile[below]);
        };
        const double low = left > 2 ? crossing(left - 1, left) : centre(left);
        const double high = right < 999 ? crossing(right + 1, right) : centre(right);
        m.fwhm = high - low;
    }

    int32_t fullest = 1;
    for (int32_t k = 2; k < 1000; ++k)
        if (state.delayHistogram[k] > state.delayHistogram[fullest]) fullest = k;
    m.delayPeak = delay_low(state, fullest) + 0.5;
    m.delayPeakCount = state.delayHistogram[fullest];
    return m;
}
