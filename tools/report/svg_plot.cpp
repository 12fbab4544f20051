#include "tools/report/svg_plot.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>

namespace {

constexpr double width = 960, height = 540;
constexpr double left = 100, right = 30, top = 70, bottom = 70;

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
    const double xLow = plot.count > 0 ? plot.binLow[0] : 0.0;
    const double xHigh = plot.count > 0 ? plot.binLow[plot.count - 1] + plot.binWidth : 1.0;
    double yHigh = 0;
    for (int32_t k = 0; k < plot.count; ++k)
        if (std::isfinite(plot.value[k]) && plot.value[k] > yHigh) yHigh = plot.value[k];
    yHigh = yHigh > 0 ? yHigh * 1.05 : 1.0;

    const double plotWidth = width - left - right, plotHeight = height - top - bottom;
    auto sx = [&](double x) { return left + (x - xLow) / (xHigh - xLow) * plotWidth; };
    auto sy = [&](double y) { return top + plotHeight - y / yHigh * plotHeight; };

    std::string out;
    append(&out,
           "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%.0f\" height=\"%.0f\" "
           "viewBox=\"0 0 %.0f %.0f\" font-family=\"sans-serif\" font-size=\"13\">\n",
           width, height, width, height);
    append(&out, "<rect width=\"100%%\" height=\"100%%\" fill=\"white\"/>\n");
    append(&out, "<text x=\"%.0f\" y=\"28\" font-size=\"18\" text-anchor=\"middle\">%s</text>\n",
           width / 2, escaped(plot.title).c_str());
    append(&out, "<text x=\"%.0f\" y=\"48\" fill=\"#555\" text-anchor=\"middle\">%s</text>\n",
           width / 2, escaped(plot.caption).c_str());

    // Grid, ticks and tick labels.
    double first;
    const double xStep = tick_step(xLow, xHigh, 10, &first);
    for (double x = first; x <= xHigh + xStep * 1e-9; x += xStep) {
        const double px = sx(x);
        append(&out,
               "<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"#e4e4e4\"/>\n"
               "<text x=\"%.2f\" y=\"%.2f\" text-anchor=\"middle\">%g</text>\n",
               px, top, px, top + plotHeight, px, top + plotHeight + 18,
               std::fabs(x) < xStep * 1e-9 ? 0.0 : x);
    }
    const double yStep = tick_step(0, yHigh, 6, &first);
    for (double y = first; y <= yHigh + yStep * 1e-9; y += yStep) {
        const double py = sy(y);
        append(&out,
               "<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"#e4e4e4\"/>\n"
               "<text x=\"%.2f\" y=\"%.2f\" text-anchor=\"end\">%g</text>\n",
               left, py, left + plotWidth, py, left - 6, py + 4, y);
    }

    // The histogram as a step line.
    out += "<polyline fill=\"none\" stroke=\"#1f5fbf\" stroke-width=\"1.2\" points=\"";
    for (int32_t k = 0; k < plot.count; ++k) {
        const double y = std::isfinite(plot.value[k]) ? plot.value[k] : 0.0;
        append(&out, "%.2f,%.2f %.2f,%.2f ", sx(plot.binLow[k]), sy(y),
               sx(plot.binLow[k] + plot.binWidth), sy(y));
    }
    out += "\"/>\n";

    // Axes and their labels.
    append(&out,
           "<polyline fill=\"none\" stroke=\"black\" points=\"%.2f,%.2f %.2f,%.2f %.2f,%.2f\"/>\n",
           left, top, left, top + plotHeight, left + plotWidth, top + plotHeight);
    append(&out, "<text x=\"%.2f\" y=\"%.2f\" text-anchor=\"middle\">%s</text>\n",
           left + plotWidth / 2, height - 22, escaped(plot.xLabel).c_str());
    append(&out,
           "<text x=\"24\" y=\"%.2f\" text-anchor=\"middle\" transform=\"rotate(-90 24 %.2f)\">"
           "%s</text>\n",
           top + plotHeight / 2, top + plotHeight / 2, escaped(plot.yLabel).c_str());
    out += "</svg>\n";
    return out;
}
