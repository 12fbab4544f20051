// Frame timing for the benchmarks: a steady clock in milliseconds and the median of samples,
// which a busy machine disturbs less than the mean.
#pragma once
#include <algorithm>
#include <chrono>
#include <vector>

using clock_type = std::chrono::steady_clock;

inline double milliseconds_since(clock_type::time_point start) {
    return std::chrono::duration<double, std::milli>(clock_type::now() - start).count();
}

inline double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}
