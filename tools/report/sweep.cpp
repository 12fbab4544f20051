#include "tools/report/sweep.h"

#include "runtime/os/os.h"
#include "tools/report/line_measures.h"
#include "tools/report/model_options.h"
#include "tools/report/svg_plot.h"
#include "tools/report/velocity_delay.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <iterator>
#include <memory>

namespace {

constexpr size_t sweep_svg_byte_limit = 2000000;

// A run of the sweep as its report gives it back.
struct sweep_run {
    float value;
    // The run's parameters and derived values; lineProfile and delayHistogram point into
    // profile and delays, the map's cells into cells.
    model_state state{};
    velocity_delay_map map{};
    std::vector<float> profile = std::vector<float>(histogram_slots);
    std::vector<double> delays = std::vector<double>(histogram_slots);
    std::vector<double> cells =
        std::vector<double>(static_cast<size_t>(histogram_slots) * histogram_slots);
    double meanDelay = 0;
};

const model_option& swept(const report_options& options) {
    return model_options[options.sweep];
}

// "45°", "300": a value of the swept parameter in words.
std::string value_text(const report_options& options, float value) {
    return parameter_text(value) + (std::string(swept(options).unit) == "degrees" ? "°" : "");
}

// "inclination", "outer radius".
std::string swept_words(const report_options& options) {
    std::string name = swept(options).name;
    std::replace(name.begin(), name.end(), '-', ' ');
    return name;
}

std::string value_label(const report_options& options, float value) {
    return swept_words(options) + ' ' + value_text(options, value);
}

std::string shortest(double value) {
    char text[32];
    const std::to_chars_result written = std::to_chars(text, text + sizeof text, value);
    return std::string(text, written.ptr);
}

// The rows of a CSV table after its header, every field a number; false when one is not.
bool csv_rows(const std::string& text, size_t fields, std::vector<std::vector<double>>* rows) {
    const char* at = std::strchr(text.c_str(), '\n');
    while (at && at[1] != '\0') {
        std::vector<double> row;
        char* after = const_cast<char*>(at); // strtod's end pointer is not const
        do {
            const char* field = after + 1;
            row.push_back(std::strtod(field, &after));
            if (after == field) return false;
        } while (*after == ',');
        if (row.size() != fields || (*after != '\n' && *after != '\0')) return false;
        rows->push_back(std::move(row));
        at = *after == '\n' ? after : nullptr;
    }
    return true;
}

// The table of a report's file; false (with *problem) when it cannot be read as one.
bool read_table(const std::string& folder, const char* name, size_t fields,
                std::vector<std::vector<double>>* rows, std::string* problem) {
    const std::string path = (std::filesystem::path(folder) / name).string();
    std::string text;
    if (report_read(path, &text) && csv_rows(text, fields, rows)) return true;
    *problem = "cannot read the table " + path;
    return false;
}

bool bin_of(double value, int32_t low, int32_t high, int32_t* bin) {
    const double k = std::round(value);
    if (!(k >= low && k <= high)) return false;
    *bin = static_cast<int32_t>(k);
    return true;
}

// Reads back the report of a run: its profile, delays, map and mean delay.
bool read_run(const report_options& options, sweep_run* run, std::string* problem) {
    model_parameters parameters = options.parameters;
    parameters.*swept(options).field = run->value;
    model_derive(&run->state, parameters);
    run->state.lineProfile = run->profile.data();
    run->state.delayHistogram = run->delays.data();
    run->map.cells = run->cells.data();

    const std::string folder =
        (std::filesystem::path(options.out) / sweep_folder(options, run->value)).string();
    std::vector<std::vector<double>> profile, delays, summary, cells;
    if (!read_table(folder, "line_profile.csv", 3, &profile, problem) ||
        !read_table(folder, "delay_histogram.csv", 3, &delays, problem) ||
        !read_table(folder, "summary.csv", 7 + model_option_count, &summary, problem) ||
        !read_table(folder, "velocity_delay.csv", 3, &cells, problem))
        return false;
    int32_t k, d;
    for (const std::vector<double>& row : profile)
        if (bin_of(row[0], 0, histogram_slots - 1, &k))
            run->profile[k] = static_cast<float>(row[2]);
    for (const std::vector<double>& row : delays)
        if (bin_of(row[0], 0, histogram_slots - 1, &k)) run->delays[k] = row[2];
    if (!summary.empty()) run->meanDelay = summary[0][3];
    // The cells by their edges, back to bin numbers.
    const double perVelocity = 1000.0 / run->state.parameters.velocityRange;
    for (const std::vector<double>& row : cells)
        if (bin_of(row[0] * perVelocity + 500.0, 2, 999, &k) &&
            bin_of(row[1] - run->state.delayOrigin + 1.0, 1, 999, &d))
            run->cells[static_cast<size_t>(k) * histogram_slots + d] = row[2];
    return true;
}

std::string sweep_summary_csv(const report_options& options,
                              const std::vector<std::unique_ptr<sweep_run>>& runs) {
    std::string out = std::string(swept(options).name) +
                      ",mean_delay,negative_peak_velocity,positive_peak_velocity,fwhm,"
                      "delay_histogram_peak,delay_histogram_peak_count\n";
    for (const std::unique_ptr<sweep_run>& run : runs) {
        const line_measures m = measure_line(run->state);
        out += parameter_text(run->value);
        for (double value : {run->meanDelay, m.negativePeak, m.positivePeak, m.fwhm, m.delayPeak,
                             m.delayPeakCount})
            out += ',' + shortest(value);
        out += '\n';
    }
    return out;
}

// The profiles over the velocities that frames 2 on fill in any run, each divided by its
// largest bin there.
std::string sweep_profiles_svg(const report_options& options,
                               const std::vector<std::unique_ptr<sweep_run>>& runs,
                               const std::string& caption) {
    double low = INFINITY, high = -INFINITY;
    for (const std::unique_ptr<sweep_run>& run : runs) {
        int32_t first, last;
        velocity_delay_window(run->map, &first, &last);
        const double width = run->state.parameters.velocityRange / 1000.0;
        low = std::min(low, velocity_low(run->state, first));
        high = std::max(high, velocity_low(run->state, last) + width);
    }
    std::vector<std::vector<double>> edges(runs.size()), values(runs.size());
    std::vector<step_series> series;
    for (size_t r = 0; r < runs.size(); ++r) {
        const model_state& state = runs[r]->state;
        const double width = state.parameters.velocityRange / 1000.0, slack = width * 1e-9;
        double largest = 0;
        for (int32_t k = 2; k < 1000; ++k) {
            const double edge = velocity_low(state, k);
            if (edge < low - slack || edge + width > high + slack) continue;
            edges[r].push_back(edge);
            values[r].push_back(state.lineProfile[k]);
            largest = std::max(largest, values[r].back());
        }
        for (double& value : values[r])
            value = largest > 0 ? value / largest : value;
        series.push_back({value_label(options, runs[r]->value), edges[r].data(), width,
                          values[r].data(), static_cast<int32_t>(edges[r].size())});
    }
    return svg_step_plots({"Line profiles", caption, "line-of-sight velocity",
                           "brightness, divided by the profile's largest bin", nullptr, 0, nullptr,
                           0},
                          series.data(), static_cast<int32_t>(series.size()));
}

// The maps as small multiples over the velocities and delays that any of them shows.
std::string sweep_maps_svg(const report_options& options,
                           const std::vector<std::unique_ptr<sweep_run>>& runs,
                           const std::string& caption) {
    heat_view view{"Velocity-delay maps",
                   caption,
                   INFINITY,
                   -INFINITY,
                   INFINITY,
                   -INFINITY,
                   runs.size() <= 2   ? static_cast<int32_t>(runs.size())
                   : runs.size() <= 4 ? 2
                                      : 3,
                   sweep_svg_byte_limit};
    for (const std::unique_ptr<sweep_run>& run : runs) {
        const map_window w = velocity_delay_svg_window(run->state, run->map);
        view.xLow = std::min(view.xLow, velocity_low(run->state, w.velocityFirst));
        view.xHigh = std::max(view.xHigh, velocity_low(run->state, w.velocityLast + 1));
        view.yLow = std::min(view.yLow, delay_low(run->state, w.delayFirst));
        view.yHigh = std::max(view.yHigh, delay_low(run->state, w.delayLast + 1));
    }
    // Each map's bins that lie within the view (a bin's edges are exact multiples of its
    // width, so a small slack keeps the edge bins in).
    std::vector<velocity_delay_picture> pictures(runs.size());
    std::vector<heat_map> maps;
    for (size_t r = 0; r < runs.size(); ++r) {
        const model_state& state = runs[r]->state;
        const double perVelocity = 1000.0 / state.parameters.velocityRange;
        map_window w;
        w.velocityFirst = static_cast<int32_t>(
            std::clamp(std::ceil(view.xLow * perVelocity + 500.0 - 1e-6), 2.0, 999.0));
        w.velocityLast = static_cast<int32_t>(
            std::clamp(std::floor(view.xHigh * perVelocity + 499.0 + 1e-6), 2.0, 999.0));
        w.delayFirst = static_cast<int32_t>(
            std::clamp(std::ceil(view.yLow - state.delayOrigin + 1.0 - 1e-6), 1.0, 999.0));
        w.delayLast = static_cast<int32_t>(
            std::clamp(std::floor(view.yHigh - state.delayOrigin + 1e-6), 1.0, 999.0));
        velocity_delay_picture_make(state, runs[r]->map, w, "", &pictures[r]);
        maps.push_back(pictures[r].plot);
    }
    std::vector<std::string> titles;
    for (const std::unique_ptr<sweep_run>& run : runs)
        titles.push_back(value_label(options, run->value));
    for (size_t r = 0; r < maps.size(); ++r)
        maps[r].title = titles[r].c_str();
    return svg_heat_maps(view, maps.data(), static_cast<int32_t>(maps.size()));
}

// Runs every value's report, jobs at a time, each waited for in the order they started (the
// runs take about the same time). Returns the exit code of each.
std::vector<int32_t> run_reports(const report_options& options, const std::string& program,
                                 const std::string& seedText) {
    const size_t count = options.sweepValues.size();
    const size_t jobs = std::min<size_t>(
        count, static_cast<size_t>(options.jobs > 0 ? options.jobs : os_processor_count()));
    std::vector<int32_t> codes(count, -1);
    std::vector<os_process*> processes(count, nullptr);
    std::deque<size_t> running;
    for (size_t next = 0, done = 0; done < count; ++done) {
        for (; next < count && running.size() < jobs; ++next) {
            const std::vector<std::string> words =
                sweep_arguments(options, seedText, options.sweepValues[next]);
            std::vector<const char*> arguments{program.c_str()};
            for (const std::string& word : words)
                arguments.push_back(word.c_str());
            arguments.push_back(nullptr);
            processes[next] = os_process_start(program.c_str(), arguments.data());
            running.push_back(next);
        }
        const size_t k = running.front();
        running.pop_front();
        codes[k] = os_process_wait(processes[k]);
        if (!options.quiet)
            std::fprintf(stderr, "clouddisk-report: %s %s (%zu of %zu)\n",
                         sweep_folder(options, options.sweepValues[k]).c_str(),
                         codes[k] == 0 ? "done" : "failed", done + 1, count);
    }
    return codes;
}

} // namespace

std::string sweep_folder(const report_options& options, float value) {
    return std::string(swept(options).name) + '=' + parameter_text(value);
}

std::vector<std::string> sweep_arguments(const report_options& options, const std::string& seedText,
                                         float value) {
    std::vector<std::string> words = {"--seed", seedText, "--frames",
                                      std::to_string(options.frames), "--quiet"};
    for (int32_t k = 0; k < model_option_count; ++k)
        if (options.given >> k & 1) {
            words.push_back(std::string("--") + model_options[k].name);
            words.push_back(parameter_text(options.parameters.*model_options[k].field));
        }
    words.push_back(std::string("--") + swept(options).name);
    words.push_back(parameter_text(value));
    words.push_back("--out");
    words.push_back((std::filesystem::path(options.out) / sweep_folder(options, value)).string());
    return words;
}

int sweep_report(const report_options& options, const std::string& program,
                 const std::string& seedText) {
    const std::vector<int32_t> codes = run_reports(options, program, seedText);
    bool failed = false;
    for (size_t k = 0; k < codes.size(); ++k) {
        if (codes[k] == 0) continue;
        std::fprintf(stderr, "clouddisk-report: the run for %s failed (exit code %d)\n",
                     sweep_folder(options, options.sweepValues[k]).c_str(), codes[k]);
        failed = true;
    }
    if (failed) return report_failed;

    std::vector<std::unique_ptr<sweep_run>> runs;
    std::string problem;
    for (float value : options.sweepValues) {
        runs.push_back(std::make_unique<sweep_run>());
        runs.back()->value = value;
        if (!read_run(options, runs.back().get(), &problem)) {
            std::fprintf(stderr, "clouddisk-report: %s\n", problem.c_str());
            return report_failed;
        }
    }

    // "seed 812.7, 2000 frames; one run for each inclination of 20°, 45°", the parameters
    // given on a line of their own.
    std::string caption = "seed " + seedText + ", " + std::to_string(options.frames) +
                          " frames; one run for each " + swept_words(options) + " of ";
    for (float value : options.sweepValues)
        caption += value_text(options, value) + (value == options.sweepValues.back() ? "" : ", ");
    const std::string others = parameters_caption(options.parameters, options.given);
    const std::string below = others.empty() ? "" : "\n" + others;
    const std::string mapCaption = caption + "; frame 1 left out" + below;
    caption += below;
    const report_file files[] = {
        {"sweep_summary.csv", sweep_summary_csv(options, runs)},
        {"sweep_line_profiles.svg", sweep_profiles_svg(options, runs, caption)},
        {"sweep_velocity_delay.svg", sweep_maps_svg(options, runs, mapCaption)},
    };
    if (!report_write(options.out, files, static_cast<int32_t>(std::size(files)), &problem)) {
        std::fprintf(stderr, "clouddisk-report: %s\n", problem.c_str());
        return report_failed;
    }
    return report_ok;
}
