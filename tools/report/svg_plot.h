// A labelled step plot of a histogram as a standalone SVG document.
#pragma once
#include <cstdint>
#include <string>

struct step_plot {
    const char* title;
    std::string caption;
    const char* xLabel;
    const char* yLabel;
    const double* binLow; // left edge of each bin, increasing
    double binWidth;
    const double* value; // height of each bin
    int32_t count;
};

std::string svg_step_plot(const step_plot& plot);

// Tick positions for [low, high]: a step of 1, 2 or 5 times a power of ten giving about
// target ticks; returns the step and sets *first to the first multiple of it at or above low.
double tick_step(double low, double high, int32_t target, double* first);
