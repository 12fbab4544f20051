// The report's plots as standalone SVG documents: a step plot of a histogram and a heat map of
// a two-dimensional one, with the pieces they share.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

struct step_plot {
    const char* title;
    std::string caption;
    const char* xLabel;
    const char* yLabel;
    const double* binLow; // left edge of each bin, increasing
    double binWidth;
    const double* value; // height of each bin; a value that is not finite leaves a gap
    int32_t count;
};

std::string svg_step_plot(const step_plot& plot);

// One of several histograms drawn in one plot.
struct step_series {
    std::string label; // its line of the legend
    const double* binLow;
    double binWidth;
    const double* value;
    int32_t count;
};

// The histograms of series overlaid, one colour each (ten colours, then again), with a legend;
// the plot spans them all. binLow and value of plot are not used.
std::string svg_step_plots(const step_plot& plot, const step_series* series, int32_t count);

// A curve drawn over a heat map, in the map's units.
struct heat_curve {
    std::string label;
    const double* x;
    const double* y;
    int32_t count;
    bool closed;
};

struct heat_map {
    const char* title; // of the document, or of its panel among small multiples
    std::string caption;
    const char* xLabel;
    const char* yLabel;
    const char* valueLabel; // what the colours measure
    // value[column * stride + row]: column along x, row along y, both from 0; zero is empty.
    const double* value;
    int32_t columns;
    int32_t rows;
    int32_t stride;
    double xLow, xWidth; // left edge of column 0 and the width of every column
    double yLow, yHeight;
    const heat_curve* curves;
    int32_t curveCount;
    size_t byteLimit; // columns and rows are grouped until the document is smaller
};

// Groups of columns and rows are coloured by the mean of their bins on a logarithmic scale of
// three decades below the largest; the caption gains the grouping.
std::string svg_heat_map(const heat_map& map);

// What several heat maps show together: each over the same ranges of x and y (in the maps'
// units, every map's columns and rows within them), in rows of columns panels.
struct heat_view {
    const char* title;
    std::string caption;
    double xLow, xHigh, yLow, yHigh;
    int32_t columns;
    size_t byteLimit; // for the whole document
};

// The maps as small multiples under one colour scale and one grouping of their bins: a panel
// per map, titled by its title, with its curves (the legend in the first panel).
std::string svg_heat_maps(const heat_view& view, const heat_map* maps, int32_t count);

// Tick positions for [low, high]: a step of 1, 2 or 5 times a power of ten giving about
// target ticks; returns the step and sets *first to the first multiple of it at or above low.
double tick_step(double low, double high, int32_t target, double* first);
