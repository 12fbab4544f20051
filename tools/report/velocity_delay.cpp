#include "tools/report/velocity_delay.h"

#include "runtime/runtime.h"
#include "tools/report/report.h"
#include "tools/report/svg_plot.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

namespace {

constexpr size_t map_cells = static_cast<size_t>(histogram_slots) * histogram_slots;
constexpr int32_t envelope_points = 720;
constexpr size_t svg_byte_limit = 1000000;

// Numbers in the fewest digits that read back to the same double: the map has tens of
// thousands of them, and printf's 17 digits cost more than the rest of the writing.
void append_number(std::string* out, double value, char after) {
    char text[32];
    const std::to_chars_result written = std::to_chars(text, text + sizeof text - 1, value);
    *written.ptr = after;
    out->append(text, written.ptr + 1);
}

const double* column(const velocity_delay_map& map, int32_t velocityBin) {
    return map.cells + static_cast<size_t>(velocityBin) * histogram_slots;
}

// Brightness of every velocity bin, summed over its delays.
std::vector<double> velocity_totals(const velocity_delay_map& map) {
    std::vector<double> total(histogram_slots, 0.0);
    for (int32_t v = 0; v < histogram_slots; ++v) {
        const double* cells = column(map, v);
        for (int32_t d = 0; d < histogram_slots; ++d)
            total[v] += cells[d];
    }
    return total;
}

// The bin of a velocity or delay of the envelope, held within the bins that receive anything.
int32_t envelope_velocity_bin(const model_state& state, double velocity) {
    const double bin = std::floor(1000.0 * velocity / state.parameters.velocityRange + 500.0);
    return static_cast<int32_t>(std::clamp(bin, 2.0, 999.0));
}
int32_t envelope_delay_bin(const model_state& state, double delay) {
    return static_cast<int32_t>(
        std::clamp(std::floor(delay - state.delayOrigin) + 1.0, 1.0, 999.0));
}

} // namespace

int32_t velocity_delay_allocate(velocity_delay_map* map) {
    map->cells = static_cast<double*>(std::calloc(map_cells, sizeof(double)));
    map->weightedDelay = static_cast<double*>(std::calloc(histogram_slots, sizeof(double)));
    map->cloudCell = static_cast<int32_t*>(std::calloc(cloud_slots, sizeof(int32_t)));
    map->cloudBrightness = static_cast<double*>(std::calloc(cloud_slots, sizeof(double)));
    if (map->cells && map->weightedDelay && map->cloudCell && map->cloudBrightness)
        return error_none;
    velocity_delay_release(map);
    return error_set(error_memory);
}

void velocity_delay_release(velocity_delay_map* map) {
    std::free(map->cells);
    std::free(map->weightedDelay);
    std::free(map->cloudCell);
    std::free(map->cloudBrightness);
    *map = velocity_delay_map{};
}

namespace {

// A cell that the quick arithmetic leaves to the model's own bin functions.
constexpr int32_t cell_undecided = -2;

// The floor of a bin's value y from t, y - 1/2 taken in double, and whether it is surely the
// floor that the model's extended arithmetic takes: within 1e6 of zero, t is within 4e-10 of
// the exact value, so when y lies farther than 1e-9 from every integer the floors agree.
// Adding and taking away 1.5 * 2^52 rounds t to the nearest integer, which is that floor. Plain
// double arithmetic without branches, which the compiler takes two clouds at a time.
inline double quick_floor(double t, bool* clear) {
    constexpr double magic = 6755399441055744.0;
    const double floor = (t + magic) - magic;
    *clear = (std::fabs(t - floor) < 0.5 - 1e-9) & (std::fabs(t) < 1e6);
    return floor;
}

} // namespace

void velocity_delay_add(velocity_delay_map* map, const model_state& state) {
    const float velocityRange = state.parameters.velocityRange;
    const float exponent = state.parameters.brightnessExponent;
    const float delayOrigin = state.delayOrigin;
    const float* velocity = state.velocity;
    const float* delay = state.delay;
    const float* distance = state.distance;
    int32_t* cloudCell = map->cloudCell;
    double* cloudBrightness = map->cloudBrightness;

    // Every cloud's cell: the bins of velocity_bin and delay_bin, here approximated closely
    // enough to be decided in plain double arithmetic for all but the values next to a bin
    // edge, which are marked for the model's own functions to decide below.
    const double perBin = 1000.0 / static_cast<double>(velocityRange);
    const double delayBelow = static_cast<double>(delayOrigin) + 0.5;
    for (int32_t n = 1; n <= cloud_count; ++n) {
        bool velocityClear, delayClear;
        const double v =
            quick_floor(static_cast<double>(velocity[n]) * perBin + 499.5, &velocityClear);
        const double d = quick_floor(static_cast<double>(delay[n]) - delayBelow, &delayClear) + 1.0;
        // Bins 2 to 999 and 1 to 999, as profile_bin_used and delay_bin_used.
        const bool lands = (v >= 2.0) & (v <= 999.0) & (d >= 1.0) & (d <= 999.0);
        double cell = lands ? v * histogram_slots + d : -1.0;
        cell = velocityClear & delayClear ? cell : static_cast<double>(cell_undecided);
        cloudCell[n] = static_cast<int32_t>(cell);
    }

    // The brightness: for the exponent 2 the quotient rounded to double and its exact square,
    // as the model's brightness takes it (the map's tests hold the two equal, bit for bit). A
    // loop of its own: the x87 division beside the double arithmetic above slows both.
    if (exponent == 2.0f) {
        for (int32_t n = 1; n <= cloud_count; ++n) {
            const double q = static_cast<double>(1.0L / distance[n]);
            cloudBrightness[n] = q * q;
        }
    } else {
        for (int32_t n = 1; n <= cloud_count; ++n)
            cloudBrightness[n] = brightness(distance[n], exponent);
    }

    // Then the sums, a short loop whose scattered cells the processor fetches many at a time,
    // helped by a fetch of the cell a few clouds ahead.
    constexpr int32_t ahead = 64;
    double* cells = map->cells;
    double* weightedDelay = map->weightedDelay;
    for (int32_t n = 1; n <= cloud_count; ++n) {
        if (n + ahead <= cloud_count && cloudCell[n + ahead] >= 0)
            __builtin_prefetch(cells + cloudCell[n + ahead], 1);
        int32_t cell = cloudCell[n];
        if (cell == cell_undecided) {
            int32_t velocityBin, delayBin;
            const bool lands = velocity_bin(velocity[n], velocityRange, &velocityBin) &&
                               profile_bin_used(velocityBin) &&
                               delay_bin(delay[n], delayOrigin, &delayBin) &&
                               delay_bin_used(delayBin);
            cell = lands ? velocityBin * histogram_slots + delayBin : -1;
        }
        if (cell < 0) continue;
        const double b = cloudBrightness[n];
        cells[cell] += b;
        weightedDelay[cell / histogram_slots] += b * delay[n];
    }
}

void ring_envelope(const model_state& state, float radius, envelope_point* points, int32_t count) {
    const model_parameters& p = state.parameters;
    // Tilting a ring's plane by up to 90 - polarLimitDeg moves its inclination by as much
    // either way; the line-of-sight motion scales with the sine of the inclination.
    const double degree = angle_constant / 180.0;
    const double inclination = p.inclinationDeg, tilt = 90.0 - p.polarLimitDeg;
    const double seen = std::fabs(inclination - 90.0) <= tilt
                            ? 1.0
                            : std::max(std::fabs(std::sin((inclination - tilt) * degree)),
                                       std::fabs(std::sin((inclination + tilt) * degree)));
    // The angular step as the model stores it; the velocity is the line-of-sight change over
    // that step, so the curve is the ellipse of the ring's motion sheared by half a step.
    const long double r = radius;
    const double step = static_cast<float>(p.orbitConstant / (std::sqrt(r) * r));
    const double reach = static_cast<double>(radius) * seen;
    const double speed = 2.0 * reach * std::sin(step / 2) * p.velocityScale / p.orbitConstant;
    const double distance = std::sqrt(static_cast<double>(radius) * radius + state.softeningSq);
    for (int32_t k = 0; k < count; ++k) {
        const double theta = full_circle * k / count;
        points[k].velocity = speed * std::sin(theta - step / 2);
        points[k].delay = distance + reach * std::cos(theta);
    }
}

void data_window(const double* values, int32_t low, int32_t high, int32_t* first, int32_t* last) {
    int32_t a = high + 1, b = low - 1;
    for (int32_t k = low; k <= high; ++k)
        if (values[k] > 0) {
            a = std::min(a, k);
            b = k;
        }
    if (a > b) {
        *first = low;
        *last = high;
        return;
    }
    const int32_t margin = std::max<int32_t>(3, (b - a) / 10);
    *first = std::max(low, a - margin);
    *last = std::min(high, b + margin);
}

void velocity_delay_window(const velocity_delay_map& map, int32_t* first, int32_t* last) {
    const std::vector<double> total = velocity_totals(map);
    data_window(total.data(), 2, 999, first, last);
}

std::string velocity_delay_csv(const model_state& state, const velocity_delay_map& map) {
    std::string out = "velocity_low,delay_low,brightness\n";
    for (int32_t v = 2; v < 1000; ++v) {
        const double* cells = column(map, v);
        for (int32_t d = 1; d < 1000; ++d)
            if (cells[d] != 0) {
                append_number(&out, velocity_low(state, v), ',');
                append_number(&out, delay_low(state, d), ',');
                append_number(&out, cells[d], '\n');
            }
    }
    return out;
}

std::string velocity_delay_mean_csv(const model_state& state, const velocity_delay_map& map) {
    const std::vector<double> total = velocity_totals(map);
    std::string out = "bin,velocity_low,brightness,mean_delay\n";
    for (int32_t v = 2; v < 1000; ++v)
        if (total[v] != 0) {
            append_number(&out, v, ',');
            append_number(&out, velocity_low(state, v), ',');
            append_number(&out, total[v], ',');
            append_number(&out, map.weightedDelay[v] / total[v], '\n');
        }
    return out;
}

map_window velocity_delay_svg_window(const model_state& state, const velocity_delay_map& map) {
    const model_parameters& p = state.parameters;
    std::vector<envelope_point> inner(envelope_points), outer(envelope_points);
    ring_envelope(state, p.innerRadius, inner.data(), envelope_points);
    ring_envelope(state, p.outerRadius, outer.data(), envelope_points);

    // The cells that hold brightness and the envelopes, with a margin.
    const std::vector<double> total = velocity_totals(map);
    std::vector<double> delayTotal(histogram_slots, 0.0);
    for (int32_t v = 2; v < 1000; ++v)
        for (int32_t d = 1; d < 1000; ++d)
            delayTotal[d] += column(map, v)[d];
    map_window w;
    data_window(total.data(), 2, 999, &w.velocityFirst, &w.velocityLast);
    data_window(delayTotal.data(), 1, 999, &w.delayFirst, &w.delayLast);
    int32_t envelopeFirst = 999, envelopeLast = 2, envelopeDelay = 1;
    for (const std::vector<envelope_point>* curve : {&inner, &outer})
        for (const envelope_point& point : *curve) {
            envelopeFirst = std::min(envelopeFirst, envelope_velocity_bin(state, point.velocity));
            envelopeLast = std::max(envelopeLast, envelope_velocity_bin(state, point.velocity));
            envelopeDelay = std::max(envelopeDelay, envelope_delay_bin(state, point.delay));
        }
    w.velocityFirst = std::max(2, std::min(w.velocityFirst, envelopeFirst - 3));
    w.velocityLast = std::min(999, std::max(w.velocityLast, envelopeLast + 3));
    w.delayFirst = 1; // delays from zero up
    w.delayLast = std::min(999, std::max(w.delayLast, envelopeDelay + 10));
    return w;
}

void velocity_delay_picture_make(const model_state& state, const velocity_delay_map& map,
                                 const map_window& w, const std::string& caption,
                                 velocity_delay_picture* picture) {
    const model_parameters& p = state.parameters;
    const float radius[2] = {p.innerRadius, p.outerRadius};
    const char* ring[2] = {"inner", "outer"};
    std::vector<envelope_point> curve(envelope_points);
    for (int32_t c = 0; c < 2; ++c) {
        ring_envelope(state, radius[c], curve.data(), envelope_points);
        picture->x[c].clear();
        picture->y[c].clear();
        for (const envelope_point& point : curve) {
            picture->x[c].push_back(point.velocity);
            picture->y[c].push_back(point.delay);
        }
        char label[64];
        std::snprintf(label, sizeof label, "ring at the %s radius, %g", ring[c],
                      static_cast<double>(radius[c]));
        picture->curves[c] = {label, picture->x[c].data(), picture->y[c].data(), envelope_points,
                              true};
    }
    picture->plot = heat_map{
        "Velocity-delay map",
        caption,
        "line-of-sight velocity",
        "light-travel delay",
        "brightness per bin",
        column(map, w.velocityFirst) + w.delayFirst,
        w.velocityLast - w.velocityFirst + 1,
        w.delayLast - w.delayFirst + 1,
        histogram_slots,
        velocity_low(state, w.velocityFirst),
        p.velocityRange / 1000.0,
        delay_low(state, w.delayFirst),
        1.0,
        picture->curves,
        static_cast<int32_t>(std::size(picture->curves)),
        svg_byte_limit,
    };
}

std::string velocity_delay_svg(const model_state& state, const velocity_delay_map& map,
                               const std::string& caption) {
    velocity_delay_picture picture;
    velocity_delay_picture_make(state, map, velocity_delay_svg_window(state, map), caption,
                                &picture);
    return svg_heat_map(picture.plot);
}

std::string velocity_delay_mean_svg(const model_state& state, const velocity_delay_map& map,
                                    const std::string& caption) {
    const std::vector<double> total = velocity_totals(map);
    int32_t first, last;
    velocity_delay_window(map, &first, &last);
    std::vector<double> low, mean;
    for (int32_t v = first; v <= last; ++v) {
        low.push_back(velocity_low(state, v));
        mean.push_back(total[v] > 0 ? map.weightedDelay[v] / total[v]
                                    : std::numeric_limits<double>::quiet_NaN());
    }
    return svg_step_plot({"Velocity-resolved delay", caption, "line-of-sight velocity",
                          "mean light-travel delay (weighted by brightness)", low.data(),
                          state.parameters.velocityRange / 1000.0, mean.data(),
                          static_cast<int32_t>(low.size())});
}
