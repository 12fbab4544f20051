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
               bool grid) {
    const double bottom = a.top + a.height, right = a.left + a.width;
    double first;
    const double xStep = tick_step(a.xLow, a.xHigh, 10, &first);
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

std::string svg_step_plot(const step_plot& plot) {
    constexpr double width = 960, height = 560;
    const double top = caption_top + caption_lines(plot.caption) * caption_line + 30;
    plot_area a{100, top, width - 100 - 30, height - top - 70, 0, 1, 0, 1};
    a.xLow = plot.count > 0 ? plot.binLow[0] : 0.0;
    a.xHigh = plot.count > 0 ? plot.binLow[plot.count - 1] + plot.binWidth : 1.0;
    double yHigh = 0;
    for (int32_t k = 0; k < plot.count; ++k)
        if (std::isfinite(plot.value[k]) && plot.value[k] > yHigh) yHigh = plot.value[k];
    a.yHigh = yHigh > 0 ? yHigh * 1.05 : 1.0;

    std::string out;
    open_document(&out, width, height, plot.title, plot.caption);
    draw_axes(&out, a, plot.xLabel, plot.yLabel, true);

    // The histogram as step lines, broken where a bin has no value.
    bool open = false;
    for (int32_t k = 0; k < plot.count; ++k) {
        if (!std::isfinite(plot.value[k])) {
            if (open) out += "\"/>\n";
            open = false;
            continue;
        }
        if (!open)
            out += "<polyline fill=\"none\" stroke=\"#1f5fbf\" stroke-width=\"1.2\" points=\"";
        open = true;
        append(&out, "%.2f,%.2f %.2f,%.2f ", a.x(plot.binLow[k]), a.y(plot.value[k]),
               a.x(plot.binLow[k] + plot.binWidth), a.y(plot.value[k]));
    }
    if (open) out += "\"/>\n";
    out += "</svg>\n";
    return out;
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

std::string render_heat_map(const heat_map& m, int32_t gx, int32_t gy) {
    constexpr double width = 960, height = 700;
    std::string caption = m.caption;
    char grouping[96];
    if (gx == 1 && gy == 1)
        std::snprintf(grouping, sizeof grouping, "one cell per bin");
    else
        std::snprintf(grouping, sizeof grouping, "cells of %d by %d bins, coloured by their mean",
                      gx, gy);
    if (!caption.empty()) caption += '\n';
    caption += grouping;
    const double top = caption_top + caption_lines(caption) * caption_line + 30;
    const plot_area a{90,     top,
                      720,    height - top - 70,
                      m.xLow, m.xLow + m.columns * m.xWidth,
                      m.yLow, m.yLow + m.rows * m.yHeight};

    // The mean of every group and the largest of them.
    const int32_t groupsX = (m.columns + gx - 1) / gx, groupsY = (m.rows + gy - 1) / gy;
    std::vector<double> mean(static_cast<size_t>(groupsX) * groupsY, 0.0);
    double largest = 0;
    for (int32_t i = 0; i < groupsX; ++i)
        for (int32_t j = 0; j < groupsY; ++j) {
            double sum = 0;
            int32_t bins = 0;
            for (int32_t c = i * gx; c < std::min(m.columns, (i + 1) * gx); ++c)
                for (int32_t r = j * gy; r < std::min(m.rows, (j + 1) * gy); ++r, ++bins)
                    sum += m.value[static_cast<size_t>(c) * m.stride + r];
            const double value = sum > 0 ? sum / bins : 0.0;
            mean[static_cast<size_t>(i) * groupsY + j] = value;
            largest = std::max(largest, value);
        }
    const double lowest = largest / std::pow(10.0, colour_decades);
    auto level_of = [&](double value) {
        if (!(value > 0)) return -1;
        const double t = std::log10(value / lowest) / colour_decades;
        return std::clamp(static_cast<int32_t>(t * colour_levels), 0, colour_levels - 1);
    };

    // One path per colour level, a rectangle per run of groups of that level along a row, in
    // bin units that the group's transform maps onto the plotting area.
    std::vector<std::string> runs(colour_levels);
    for (int32_t j = 0; j < groupsY; ++j) {
        const int32_t rowLow = j * gy, rowHigh = std::min(m.rows, rowLow + gy);
        for (int32_t i = 0; i < groupsX;) {
            const int32_t level = level_of(mean[static_cast<size_t>(i) * groupsY + j]);
            int32_t end = i + 1;
            while (end < groupsX && level_of(mean[static_cast<size_t>(end) * groupsY + j]) == level)
                ++end;
            if (level >= 0) {
                const int32_t low = i * gx, high = std::min(m.columns, end * gx);
                append(&runs[level], "M%d %dh%dv%dh%dz", low, rowLow, high - low, rowHigh - rowLow,
                       low - high);
            }
            i = end;
        }
    }

    std::string out;
    open_document(&out, width, height, m.title, caption);
    append(&out,
           "<g transform=\"matrix(%.6g 0 0 %.6g %.6g %.6g)\" stroke=\"none\" "
           "shape-rendering=\"crispEdges\">\n",
           a.width / m.columns, -a.height / m.rows, a.left, a.top + a.height);
    for (int32_t level = 0; level < colour_levels; ++level) {
        if (runs[level].empty()) continue;
        append(&out, "<path fill=\"%s\" d=\"", level_colour(level).c_str());
        out += runs[level];
        out += "\"/>\n";
    }
    out += "</g>\n";
    append(&out,
           "<rect x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\" fill=\"none\" "
           "stroke=\"#999\"/>\n",
           a.left, a.top, a.width, a.height);

    // The curves, each with a line of the legend in the upper right corner.
    for (int32_t k = 0; k < m.curveCount; ++k) {
        const heat_curve& curve = m.curves[k];
        const char* colour = curve_colours[k % std::size(curve_colours)];
        append(&out, "<%s fill=\"none\" stroke=\"%s\" stroke-width=\"1.5\" points=\"",
               curve.closed ? "polygon" : "polyline", colour);
        for (int32_t p = 0; p < curve.count; ++p)
            append(&out, "%.2f,%.2f ", a.x(curve.x[p]), a.y(curve.y[p]));
        out += "\"/>\n";
        const double ly = a.top + 18 + 18 * k, lx = a.left + a.width - 250;
        append(&out,
               "<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"%s\" "
               "stroke-width=\"2\"/>\n<text x=\"%.2f\" y=\"%.2f\">%s</text>\n",
               lx, ly - 4, lx + 24, ly - 4, colour, lx + 30, ly, escaped(curve.label).c_str());
    }
    draw_axes(&out, a, m.xLabel, m.yLabel, false);

    // The colour bar, a box per level, with a tick at every power of ten it spans.
    const double barX = a.left + a.width + 25, barWidth = 18,
                 levelHeight = a.height / colour_levels;
    for (int32_t level = 0; level < colour_levels; ++level)
        append(&out,
               "<rect x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\" fill=\"%s\" "
               "stroke=\"none\"/>\n",
               barX, a.top + a.height - (level + 1) * levelHeight, barWidth, levelHeight + 0.5,
               level_colour(level).c_str());
    append(&out,
           "<rect x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\" fill=\"none\" "
           "stroke=\"#999\"/>\n<text x=\"%.2f\" y=\"%.2f\">%s</text>\n",
           barX, a.top, barWidth, a.height, barX - 10, a.top - 12, escaped(m.valueLabel).c_str());
    if (largest > 0) {
        for (double power = std::pow(10.0, std::ceil(std::log10(lowest)));
             power <= largest * (1 + 1e-12); power *= 10) {
            const double py =
                a.top + a.height - std::log10(power / lowest) / colour_decades * a.height;
            append(&out,
                   "<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"black\"/>\n"
                   "<text x=\"%.2f\" y=\"%.2f\">%.3g</text>\n",
                   barX + barWidth, py, barX + barWidth + 5, py, barX + barWidth + 8, py + 4,
                   power);
        }
    }
    out += "</svg>\n";
    return out;
}

} // namespace

namespace {

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

} // namespace

std::string svg_heat_map(const heat_map& m) {
    // A first guess when the cells to draw are far too many, each a rectangle of some 16
    // bytes at most (fewer where a run of equal colours shares one).
    int32_t gx = 1, gy = 1;
    double full = 0;
    for (int32_t c = 0; c < m.columns; ++c)
        for (int32_t r = 0; r < m.rows; ++r)
            full += m.value[static_cast<size_t>(c) * m.stride + r] != 0;
    if (full * 16 > 4.0 * m.byteLimit) coarsen(m, full * 16 / (2.0 * m.byteLimit), &gx, &gy);
    for (;;) {
        std::string out = render_heat_map(m, gx, gy);
        if (out.size() < m.byteLimit || (gx >= m.columns && gy >= m.rows)) return out;
        // The size goes with the number of groups.
        coarsen(m, static_cast<double>(out.size()) / (0.9 * m.byteLimit), &gx, &gy);
    }
}
