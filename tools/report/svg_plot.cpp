#include "tools/report/svg_plot.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <vector>

namespace {

void append(std::string* out, const char* format, ...) __attribute__((format(printf, 2, 3)));

void append(std::string* out, const char* format, ...) {
    char buffer[512];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(buffer, sizeof buffer, format, arguments);
    va_end(arguments);
    *out += buffer;
}

// Labels are our own constants and numbers, but escape anyway so the document stays valid.
std::string escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// The plotting area of a document and the data range it shows.
struct plot_area {
    double left, top, width, height;
    double xLow, xHigh, yLow, yHigh;

    double x(double v) const { return left + (v - xLow) / (xHigh - xLow) * width; }
    double y(double v) const { return top + height - (v - yLow) / (yHigh - yLow) * height; }
};

constexpr double caption_top = 48, caption_line = 17;

int32_t caption_lines(const std::string& caption) {
    return 1 + static_cast<int32_t>(std::count(caption.begin(), caption.end(), '\n'));
}

// The document's start: white ground, the title and the caption, one text per line of it.
void open_document(std::string* out, double width, double height, const char* title,
                   const std::string& caption) {
    append(out,
           "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%.0f\" height=\"%.0f\" "
           "viewBox=\"0 0 %.0f %.0f\" font-family=\"sans-serif\" font-size=\"13\">\n",
           width, height, width, height);
    append(out, "<rect width=\"100%%\" height=\"100%%\" fill=\"white\"/>\n");
    append(out, "<text x=\"%.0f\" y=\"28\" font-size=\"18\" text-anchor=\"middle\">%s</text>\n",
           width / 2, escaped(title).c_str());
    size_t start = 0;
    for (int32_t line = 0; start <= caption.size(); ++line) {
        size_t end = caption.find('\n', start);
        if (end == std::string::npos) end = caption.size();
        append(out, "<text x=\"%.0f\" y=\"%.0f\" fill=\"#555\" text-anchor=\"middle\">%s</text>\n",
               width / 2, caption_top + line * caption_line,
               escaped(caption.substr(start, end - start)).c_str());
        start = end + 1;
    }
}

// Ticks with their labels, grid lines when asked, the two axes and their labels. The y label
// stands level above its axis, which every renderer draws alike (rotated text is not so).
void draw_axes(std::string* out, const plot_area& a, const char* xLabel, const char* yLabel,
               bool grid, int32_t xTicks = 10) {
    const double bottom = a.top + a.height, right = a.left + a.width;
    double first;
    const double xStep = tick_step(a.xLow, a.xHigh, xTicks, &first);
    for (double x = first; x <= a.xHigh + xStep * 1e-9; x += xStep) {
        const double px = a.x(x);
        if (grid)
            append(out,
                   "<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"#e4e4e4\"/>\n",
                   px, a.top, px, bottom);
        append(out,
               "<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"black\"/>\n"
               "<text x=\"%.2f\" y=\"%.2f\" text-anchor=\"middle\">%g</text>\n",
               px, bottom, px, bottom + 5, px, bottom + 19, std::fabs(x) < xStep * 1e-9 ? 0.0 : x);
    }
    const double yStep = tick_step(a.yLow, a.yHigh, 6, &first);
    for (double y = first; y <= a.yHigh + yStep * 1e-9; y += yStep) {
        const double py = a.y(y);
        if (grid)
            append(out,
                   "<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"#e4e4e4\"/>\n",
                   a.left, py, right, py);
        append(out,
               "<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"black\"/>\n"
               "<text x=\"%.2f\" y=\"%.2f\" text-anchor=\"end\">%g</text>\n",
               a.left - 5, py, a.left, py, a.left - 8, py + 4,
               std::fabs(y) < yStep * 1e-9 ? 0.0 : y);
    }
    append(out,
           "<polyline fill=\"none\" stroke=\"black\" points=\"%.2f,%.2f %.2f,%.2f %.2f,%.2f\"/>\n",
           a.left, a.top, a.left, bottom, right, bottom);
    append(out, "<text x=\"%.2f\" y=\"%.2f\" text-anchor=\"middle\">%s</text>\n",
           a.left + a.width / 2, bottom + 42, escaped(xLabel).c_str());
    append(out, "<text x=\"%.2f\" y=\"%.2f\">%s</text>\n", a.left - 40, a.top - 12,
           escaped(yLabel).c_str());
}

} // namespace

double tick_step(double low, double high, int32_t target, double* first) {
    double span = high - low;
    if (!(span > 0) || !std::isfinite(span)) span = 1;
    const double rough = span / (target > 0 ? target : 1);
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    double step = power;
    for (double multiple : {1.0, 2.0, 5.0, 10.0}) {
        step = multiple * power;
        if (step >= rough) break;
    }
    *first = std::ceil(low / step) * step;
    return step;
}

namespace {

// The colours of overlaid series, apart for most eyes in this order.
constexpr const char* series_colours[] = {"#1f77b4", "#d62728", "#2ca02c", "#9467bd", "#ff7f0e",
                                          "#17becf", "#8c564b", "#e377c2", "#7f7f7f", "#bcbd22"};
constexpr double legend_width = 190;

// The series as step lines, broken where a bin has no value; with a legend, each in a colour
// of its own and the legend to the right of the plot, else in one blue.
std::string step_document(const step_plot& plot, const step_series* series, int32_t count,
                          bool legend) {
    constexpr double height = 560;
    const double width = 960 + (legend ? legend_width : 0);
    const double top = caption_top + caption_lines(plot.caption) * caption_line + 30;
    plot_area a{100, top, 960 - 100 - 30, height - top - 70, 0, 1, 0, 1};
    double xLow = INFINITY, xHigh = -INFINITY, yHigh = 0;
    for (int32_t s = 0; s < count; ++s) {
        const step_series& one = series[s];
        if (one.count == 0) continue;
        xLow = std::min(xLow, one.binLow[0]);
        xHigh = std::max(xHigh, one.binLow[one.count - 1] + one.binWidth);
        for (int32_t k = 0; k < one.count; ++k)
            if (std::isfinite(one.value[k]) && one.value[k] > yHigh) yHigh = one.value[k];
    }
    a.xLow = xLow < xHigh ? xLow : 0.0;
    a.xHigh = xLow < xHigh ? xHigh : 1.0;
    a.yHigh = yHigh > 0 ? yHigh * 1.05 : 1.0;

    std::string out;
    open_document(&out, width, height, plot.title, plot.caption);
    draw_axes(&out, a, plot.xLabel, plot.yLabel, true);
    for (int32_t s = 0; s < count; ++s) {
        const step_series& one = series[s];
        const char* colour = legend ? series_colours[s % std::size(series_colours)] : "#1f5fbf";
        bool open = false;
        for (int32_t k = 0; k < one.count; ++k) {
            if (!std::isfinite(one.value[k])) {
                if (open) out += "\"/>\n";
                open = false;
                continue;
            }
            if (!open)
                append(&out, "<polyline fill=\"none\" stroke=\"%s\" stroke-width=\"1.2\" points=\"",
                       colour);
            open = true;
            append(&out, "%.2f,%.2f %.2f,%.2f ", a.x(one.binLow[k]), a.y(one.value[k]),
                   a.x(one.binLow[k] + one.binWidth), a.y(one.value[k]));
        }
        if (open) out += "\"/>\n";
        if (!legend) continue;
        const double lx = a.left + a.width + 45, ly = a.top + 18 + 20 * s;
        append(&out,
               "<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"%s\" "
               "stroke-width=\"2\"/>\n<text x=\"%.2f\" y=\"%.2f\">%s</text>\n",
               lx, ly - 4, lx + 24, ly - 4, colour, lx + 30, ly, escaped(one.label).c_str());
    }
    out += "</svg>\n";
    return out;
}

} // namespace

std::string svg_step_plot(const step_plot& plot) {
    const step_series one{"", plot.binLow, plot.binWidth, plot.value, plot.count};
    return step_document(plot, &one, 1, false);
}

std::string svg_step_plots(const step_plot& plot, const step_series* series, int32_t count) {
    return step_document(plot, series, count, true);
}

namespace {

// The colour scale from the faintest to the brightest level, pale to dark so that an empty
// cell (white) stands apart from a faint one.
constexpr uint8_t colour_anchors[][3] = {
    {0xfc, 0xfd, 0xbf}, {0xfe, 0xca, 0x8d}, {0xfd, 0x96, 0x68},
    {0xf1, 0x60, 0x5d}, {0xcd, 0x40, 0x71}, {0x9e, 0x2f, 0x7f},
    {0x72, 0x1f, 0x81}, {0x44, 0x0f, 0x76}, {0x00, 0x00, 0x04},
};
constexpr int32_t colour_levels = 48;
constexpr double colour_decades = 3;
constexpr const char* curve_colours[] = {"#0096c7", "#2ca02c", "#1f5fbf", "#e377c2"};

std::string level_colour(int32_t level) {
    constexpr int32_t spans = static_cast<int32_t>(std::size(colour_anchors)) - 1;
    const double t = static_cast<double>(level) / (colour_levels - 1) * spans;
    const int32_t k = std::min(static_cast<int32_t>(t), spans - 1);
    const double f = t - k;
    char text[8];
    int channel[3];
    for (int c = 0; c < 3; ++c)
        channel[c] = static_cast<int>(std::lround(
            colour_anchors[k][c] + f * (colour_anchors[k + 1][c] - colour_anchors[k][c])));
    std::snprintf(text, sizeof text, "#%02x%02x%02x", channel[0], channel[1], channel[2]);
    return text;
}

// The groups of gx by gy bins of a map and the mean of each.
struct heat_groups {
    int32_t groupsX, groupsY;
    std::vector<double> mean; // [i * groupsY + j], i along x
    double largest;
};

heat_groups group_means(const heat_map& m, int32_t gx, int32_t gy) {
    heat_groups g{(m.columns + gx - 1) / gx, (m.rows + gy - 1) / gy, {}, 0.0};
    g.mean.assign(static_cast<size_t>(g.groupsX) * g.groupsY, 0.0);
    for (int32_t i = 0; i < g.groupsX; ++i)
        for (int32_t j = 0; j < g.groupsY; ++j) {
            double sum = 0;
            int32_t bins = 0;
            for (int32_t c = i * gx; c < std::min(m.columns, (i + 1) * gx); ++c)
                for (int32_t r = j * gy; r < std::min(m.rows, (j + 1) * gy); ++r, ++bins)
                    sum += m.value[static_cast<size_t>(c) * m.stride + r];
            const double value = sum > 0 ? sum / bins : 0.0;
            g.mean[static_cast<size_t>(i) * g.groupsY + j] = value;
            g.largest = std::max(g.largest, value);
        }
    return g;
}

std::string grouping_text(int32_t gx, int32_t gy) {
    char grouping[96];
    if (gx == 1 && gy == 1)
        std::snprintf(grouping, sizeof grouping, "one cell per bin");
    else
        std::snprintf(grouping, sizeof grouping, "cells of %d by %d bins, coloured by their mean",
                      gx, gy);
    return grouping;
}

// The cells in colour, on the scale of three decades below largest, and the area's frame. The
// map spans the whole area, or with inView, its columns and rows lie where their values put
// them within the area's ranges.
void draw_cells(std::string* out, const heat_map& m, const heat_groups& g, int32_t gx, int32_t gy,
                double largest, const plot_area& a, bool inView) {
    const double lowest = largest / std::pow(10.0, colour_decades);
    auto level_of = [&](double value) {
        if (!(value > 0)) return -1;
        const double t = std::log10(value / lowest) / colour_decades;
        return std::clamp(static_cast<int32_t>(t * colour_levels), 0, colour_levels - 1);
    };

    // One path per colour level, a rectangle per run of groups of that level along a row, in
    // bin units that the group's transform maps onto the plotting area.
    std::vector<std::string> runs(colour_levels);
    for (int32_t j = 0; j < g.groupsY; ++j) {
        const int32_t rowLow = j * gy, rowHigh = std::min(m.rows, rowLow + gy);
        for (int32_t i = 0; i < g.groupsX;) {
            const int32_t level = level_of(g.mean[static_cast<size_t>(i) * g.groupsY + j]);
            int32_t end = i + 1;
            while (end < g.groupsX &&
                   level_of(g.mean[static_cast<size_t>(end) * g.groupsY + j]) == level)
                ++end;
            if (level >= 0) {
                const int32_t low = i * gx, high = std::min(m.columns, end * gx);
                append(&runs[level], "M%d %dh%dv%dh%dz", low, rowLow, high - low, rowHigh - rowLow,
                       low - high);
            }
            i = end;
        }
    }

    const double scaleX = inView ? m.xWidth / (a.xHigh - a.xLow) * a.width : a.width / m.columns;
    const double scaleY = inView ? m.yHeight / (a.yHigh - a.yLow) * a.height : a.height / m.rows;
    append(out,
           "<g transform=\"matrix(%.6g 0 0 %.6g %.6g %.6g)\" stroke=\"none\" "
           "shape-rendering=\"crispEdges\">\n",
           scaleX, -scaleY, inView ? a.x(m.xLow) : a.left, inView ? a.y(m.yLow) : a.top + a.height);
    for (int32_t level = 0; level < colour_levels; ++level) {
        if (runs[level].empty()) continue;
        append(out, "<path fill=\"%s\" d=\"", level_colour(level).c_str());
        *out += runs[level];
        *out += "\"/>\n";
    }
    *out += "</g>\n";
    append(out,
           "<rect x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\" fill=\"none\" "
           "stroke=\"#999\"/>\n",
           a.left, a.top, a.width, a.height);
}

// The curves, each with a line of the legend in the upper right corner when asked.
void draw_curves(std::string* out, const heat_map& m, const plot_area& a, bool legend) {
    for (int32_t k = 0; k < m.curveCount; ++k) {
        const heat_curve& curve = m.curves[k];
        const char* colour = curve_colours[k % std::size(curve_colours)];
        append(out, "<%s fill=\"none\" stroke=\"%s\" stroke-width=\"1.5\" points=\"",
               curve.closed ? "polygon" : "polyline", colour);
        for (int32_t p = 0; p < curve.count; ++p)
            append(out, "%.2f,%.2f ", a.x(curve.x[p]), a.y(curve.y[p]));
        *out += "\"/>\n";
        if (!legend) continue;
        const double ly = a.top + 18 + 18 * k, lx = a.left + a.width - 250;
        append(out,
               "<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"%s\" "
               "stroke-width=\"2\"/>\n<text x=\"%.2f\" y=\"%.2f\">%s</text>\n",
               lx, ly - 4, lx + 24, ly - 4, colour, lx + 30, ly, escaped(curve.label).c_str());
    }
}

// The colour bar from top to bottom at x, a box per level, with a tick at every power of ten
// it spans.
void draw_colour_bar(std::string* out, double x, double top, double height, double largest,
                     const char* label) {
    const double lowest = largest / std::pow(10.0, colour_decades);
    const double barWidth = 18, levelHeight = height / colour_levels;
    for (int32_t level = 0; level < colour_levels; ++level)
        append(out,
               "<rect x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\" fill=\"%s\" "
               "stroke=\"none\"/>\n",
               x, top + height - (level + 1) * levelHeight, barWidth, levelHeight + 0.5,
               level_colour(level).c_str());
    append(out,
           "<rect x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\" fill=\"none\" "
           "stroke=\"#999\"/>\n<text x=\"%.2f\" y=\"%.2f\">%s</text>\n",
           x, top, barWidth, height, x - 10, top - 12, escaped(label).c_str());
    if (!(largest > 0)) return;
    for (double power = std::pow(10.0, std::ceil(std::log10(lowest)));
         power <= largest * (1 + 1e-12); power *= 10) {
        const double py = top + height - std::log10(power / lowest) / colour_decades * height;
        append(out,
               "<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"black\"/>\n"
               "<text x=\"%.2f\" y=\"%.2f\">%.3g</text>\n",
               x + barWidth, py, x + barWidth + 5, py, x + barWidth + 8, py + 4, power);
    }
}

std::string render_heat_map(const heat_map& m, int32_t gx, int32_t gy) {
    constexpr double width = 960, height = 700;
    std::string caption = m.caption;
    if (!caption.empty()) caption += '\n';
    caption += grouping_text(gx, gy);
    const double top = caption_top + caption_lines(caption) * caption_line + 30;
    const plot_area a{90,     top,
                      720,    height - top - 70,
                      m.xLow, m.xLow + m.columns * m.xWidth,
                      m.yLow, m.yLow + m.rows * m.yHeight};
    const heat_groups g = group_means(m, gx, gy);

    std::string out;
    open_document(&out, width, height, m.title, caption);
    draw_cells(&out, m, g, gx, gy, g.largest, a, false);
    draw_curves(&out, m, a, true);
    draw_axes(&out, a, m.xLabel, m.yLabel, false);
    draw_colour_bar(&out, a.left + a.width + 25, a.top, a.height, g.largest, m.valueLabel);
    out += "</svg>\n";
    return out;
}

std::string render_heat_maps(const heat_view& view, const heat_map* maps, int32_t count, int32_t gx,
                             int32_t gy) {
    // Each panel: its title above, tick labels to the left and below, the x label under them.
    constexpr double panelWidth = 420, panelHeight = 300, left = 90, right = 40, above = 48,
                     below = 62;
    const int32_t columns = std::max(1, std::min(view.columns, count));
    const int32_t rows = (count + columns - 1) / columns;
    std::string caption = view.caption;
    if (!caption.empty()) caption += '\n';
    caption += grouping_text(gx, gy);
    const double top = caption_top + caption_lines(caption) * caption_line + 10;
    const double width = columns * (left + panelWidth + right) + 150;
    const double height = top + rows * (above + panelHeight + below);

    std::vector<heat_groups> groups;
    double largest = 0;
    for (int32_t k = 0; k < count; ++k) {
        groups.push_back(group_means(maps[k], gx, gy));
        largest = std::max(largest, groups.back().largest);
    }
    std::string out;
    open_document(&out, width, height, view.title, caption);
    for (int32_t k = 0; k < count; ++k) {
        const heat_map& m = maps[k];
        const plot_area a{(k % columns) * (left + panelWidth + right) + left,
                          top + (k / columns) * (above + panelHeight + below) + above,
                          panelWidth,
                          panelHeight,
                          view.xLow,
                          view.xHigh,
                          view.yLow,
                          view.yHigh};
        append(&out,
               "<text x=\"%.2f\" y=\"%.2f\" font-size=\"15\" text-anchor=\"middle\">%s</text>\n",
               a.left + a.width / 2, a.top - 26, escaped(m.title).c_str());
        draw_cells(&out, m, groups[k], gx, gy, largest, a, true);
        draw_curves(&out, m, a, k == 0);
        draw_axes(&out, a, m.xLabel, m.yLabel, false, 5);
    }
    draw_colour_bar(&out, width - 130, top + above,
                    rows * (above + panelHeight + below) - above - below, largest,
                    maps[0].valueLabel);
    out += "</svg>\n";
    return out;
}

// Coarser groups, about needed times fewer of them: from the direction that has more groups
// while it has more, then from both.
void coarsen(const heat_map& m, double needed, int32_t* gx, int32_t* gy) {
    const double groupsX = std::ceil(static_cast<double>(m.columns) / *gx);
    const double groupsY = std::ceil(static_cast<double>(m.rows) / *gy);
    const double lean = std::max(groupsX, groupsY) / std::min(groupsX, groupsY);
    const double alone = std::min(needed, lean), both = std::sqrt(needed / alone);
    auto grown = [](int32_t group, double factor, int32_t limit) {
        return std::min(limit,
                        std::max(group + 1, static_cast<int32_t>(std::ceil(group * factor))));
    };
    const bool wider = groupsX > groupsY;
    const int32_t x = *gx, y = *gy;
    if (x < m.columns && (wider || both > 1 || y >= m.rows))
        *gx = grown(x, wider ? alone * both : both, m.columns);
    if (y < m.rows && (!wider || both > 1 || x >= m.columns))
        *gy = grown(y, wider ? both : alone * both, m.rows);
}

// The document of render(gx, gy) with the finest grouping that keeps it under byteLimit, the
// groups grown as those of reference (the largest map) would need.
template <typename Render>
std::string fitted(const heat_map* maps, int32_t count, size_t byteLimit, Render render) {
    // A first guess when the cells to draw are far too many, each a rectangle of some 16
    // bytes at most (fewer where a run of equal colours shares one).
    const heat_map* reference = maps;
    double full = 0;
    for (int32_t k = 0; k < count; ++k) {
        const heat_map& m = maps[k];
        if (m.columns * m.rows > reference->columns * reference->rows) reference = &m;
        for (int32_t c = 0; c < m.columns; ++c)
            for (int32_t r = 0; r < m.rows; ++r)
                full += m.value[static_cast<size_t>(c) * m.stride + r] != 0;
    }
    int32_t gx = 1, gy = 1;
    if (full * 16 > 4.0 * byteLimit) coarsen(*reference, full * 16 / (2.0 * byteLimit), &gx, &gy);
    for (;;) {
        std::string out = render(gx, gy);
        if (out.size() < byteLimit || (gx >= reference->columns && gy >= reference->rows))
            return out;
        // The size goes with the number of groups.
        coarsen(*reference, static_cast<double>(out.size()) / (0.9 * byteLimit), &gx, &gy);
    }
}

} // namespace

std::string svg_heat_map(const heat_map& m) {
    return fitted(&m, 1, m.byteLimit,
                  [&](int32_t gx, int32_t gy) { return render_heat_map(m, gx, gy); });
}

std::string svg_heat_maps(const heat_view& view, const heat_map* maps, int32_t count) {
    if (count <= 0) return {};
    return fitted(maps, count, view.byteLimit, [&](int32_t gx, int32_t gy) {
        return render_heat_maps(view, maps, count, gx, gy);
    });
}
