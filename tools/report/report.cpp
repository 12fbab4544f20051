#include "tools/report/report.h"

#include "app/summary.h"
#include "runtime/random.h"
#include "tools/report/model_options.h"
#include "tools/report/svg_plot.h"
#include "tools/report/velocity_delay.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace {

void append_row(std::string* out, const char* format, ...) __attribute__((format(printf, 2, 3)));

void append_row(std::string* out, const char* format, ...) {
    char buffer[256];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(buffer, sizeof buffer, format, arguments);
    va_end(arguments);
    *out += buffer;
}

bool parse_seed(const char* text, double* seed) {
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text, &end);
    if (end == text || *end != '\0' || errno == ERANGE || !std::isfinite(value)) return false;
    *seed = value;
    return true;
}

bool parse_whole(const char* text, int32_t low, int32_t high, int32_t* number) {
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text, &end, 10);
    if (end == text || *end != '\0' || errno == ERANGE) return false;
    if (value < low || value > high) return false;
    *number = static_cast<int32_t>(value);
    return true;
}

namespace fs = std::filesystem;

bool write_whole(const fs::path& path, const std::string& contents) {
    std::FILE* file = std::fopen(path.string().c_str(), "wb");
    if (!file) return false;
    bool written = std::fwrite(contents.data(), 1, contents.size(), file) == contents.size();
    written = std::fflush(file) == 0 && written;
    return std::fclose(file) == 0 && written;
}

} // namespace

bool report_read(const std::string& path, std::string* contents) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    std::string text;
    char buffer[65536];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        text.append(buffer, got);
    const bool complete = std::ferror(file) == 0;
    std::fclose(file);
    if (complete) *contents = std::move(text);
    return complete;
}

namespace {

#ifndef _WIN32
// A word for the shell, in single quotes.
std::string shell_word(const std::string& text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}
#endif

bool rename_in_file_system(const std::string& from, const std::string& to) {
    std::error_code error;
    fs::rename(from, to, error);
    return !error;
}

// The shortest of 15 to 17 significant digits that reads back to the same double.
std::string number_text(double value) {
    char text[40];
    for (int digits = 15; digits <= 17; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, value);
        if (std::strtod(text, nullptr) == value) break;
    }
    return text;
}

// A step plot of bins first to last of values.
std::string histogram_svg(const model_state& state, const double* value, int32_t first,
                          int32_t last, double binWidth, double (*low)(const model_state&, int32_t),
                          const char* title, const std::string& caption, const char* xLabel,
                          const char* yLabel) {
    std::vector<double> edges;
    for (int32_t k = first; k <= last; ++k)
        edges.push_back(low(state, k));
    return svg_step_plot(
        {title, caption, xLabel, yLabel, edges.data(), binWidth, value + first, last - first + 1});
}

} // namespace

std::string report_seed_text(double seed) {
    return number_text(seed);
}

double velocity_low(const model_state& state, int32_t k) {
    return (k - 500) * static_cast<double>(state.parameters.velocityRange) / 1000.0;
}

double delay_low(const model_state& state, int32_t k) {
    return static_cast<double>(state.delayOrigin) + (k - 1);
}

std::string report_usage() {
    return std::string(
               "usage: clouddisk-report --seed S --frames N --out DIR [--PARAMETER X ...]\n"
               "                        [--sweep NAME=X1,X2,...] [--jobs N] [--quiet]\n"
               "  --seed S    seed of the random generator (a number; -1 takes the timer)\n"
               "  --frames N  frames to run, 1 to 100000000\n"
               "  --out DIR   directory for the report (made if missing): line_profile.csv,\n"
               "              delay_histogram.csv, summary.csv, velocity_delay.csv,\n"
               "              velocity_delay_mean.csv and a plot of each but the summary as\n"
               "              .svg, with velocity_delay.png too when ImageMagick is at hand;\n"
               "              parameters.csv names the model's parameters\n"
               "  --sweep NAME=X1,X2,...\n"
               "              one run per value (1 to 10 of them) of the parameter NAME (one\n"
               "              of those below, without its dashes), with the same seed and\n"
               "              frames, each an ordinary report in DIR/NAME=X; beside them\n"
               "              sweep_line_profiles.svg, sweep_velocity_delay.svg and\n"
               "              sweep_summary.csv compare the runs\n"
               "  --jobs N    runs of a sweep at once, 1 to 64 (default: one per processor)\n"
               "  --quiet     no progress lines\n"
               "The model's parameters, the program's values by default (lengths and delays\n"
               "in the model's unit, a pixel of the program's window):\n") +
           model_options_usage();
}

const char* report_short_usage() {
    return "usage: clouddisk-report --seed S --frames N --out DIR [--PARAMETER X ...] "
           "[--sweep NAME=X1,X2,...]\n"
           "       (clouddisk-report --help lists every option with its values)\n";
}

namespace {

// --sweep NAME=X1,X2,...: the parameter and its values, each read as its option would be.
bool parse_sweep(const std::string& text, report_options* options, std::string* problem) {
    const size_t equals = text.find('=');
    const int32_t index = model_option_index(text.substr(0, equals));
    if (equals == std::string::npos || index < 0) {
        *problem = "--sweep needs NAME=X1,X2,... with NAME a parameter (an option without its "
                   "dashes, such as inclination), not '" +
                   text + "'";
        return false;
    }
    std::vector<float>& values = options->sweepValues;
    for (size_t start = equals + 1;;) {
        const size_t comma = std::min(text.find(',', start), text.size());
        float value;
        if (!model_option_value(model_options[index], text.substr(start, comma - start).c_str(),
                                &value, problem)) {
            *problem = "in --sweep, " + *problem;
            return false;
        }
        if (std::find(values.begin(), values.end(), value) != values.end()) {
            *problem = "--sweep gives the value " + parameter_text(value) + " twice";
            return false;
        }
        values.push_back(value);
        if (comma == text.size()) break;
        start = comma + 1;
    }
    if (values.size() > report_max_sweep_values) {
        *problem = "--sweep takes 1 to 10 values, not " + std::to_string(values.size());
        return false;
    }
    options->sweep = index;
    return true;
}

// The checks between the parameters, for the one run or for every run of the sweep.
bool check_parameters(const report_options& options, std::string* problem) {
    if (options.sweep < 0)
        return model_parameters_check(options.parameters, options.given, problem);
    model_parameters p = options.parameters;
    for (float value : options.sweepValues) {
        p.*model_options[options.sweep].field = value;
        if (!model_parameters_check(p, options.given | 1u << options.sweep, problem)) {
            *problem = "in --sweep, with " + std::string(model_options[options.sweep].name) + " " +
                       parameter_text(value) + ", " + *problem;
            return false;
        }
    }
    return true;
}

} // namespace

int report_parse(int argument_count, char** arguments, report_options* options,
                 std::string* problem) {
    bool haveSeed = false, haveFrames = false, haveOut = false, haveJobs = false;
    for (int i = 1; i < argument_count; ++i) {
        const std::string name = arguments[i];
        if (name == "--help" || name == "-h") return report_help_shown;
        if (name == "--quiet") {
            options->quiet = true;
            continue;
        }
        const int32_t parameter =
            name.rfind("--", 0) == 0 ? model_option_index(name.substr(2)) : -1;
        const uint32_t parameterBit = parameter >= 0 ? 1u << parameter : 0u;
        bool sweepSeen = options->sweep >= 0;
        bool* seen = name == "--seed"     ? &haveSeed
                     : name == "--frames" ? &haveFrames
                     : name == "--out"    ? &haveOut
                     : name == "--jobs"   ? &haveJobs
                     : name == "--sweep"  ? &sweepSeen
                                          : nullptr;
        if (!seen && parameter < 0) {
            *problem = "unknown argument '" + name + "'";
            return report_bad_usage;
        }
        if ((seen && *seen) || (options->given & parameterBit)) {
            *problem = name + " given twice";
            return report_bad_usage;
        }
        if (i + 1 >= argument_count) {
            *problem = name + " needs a value";
            return report_bad_usage;
        }
        const char* value = arguments[++i];
        if (seen) *seen = true;
        if (parameter >= 0) {
            const model_option& option = model_options[parameter];
            if (!model_option_value(option, value, &(options->parameters.*option.field), problem))
                return report_bad_usage;
            options->given |= parameterBit;
        }
        if (name == "--sweep" && !parse_sweep(value, options, problem)) return report_bad_usage;
        if (name == "--seed" && !parse_seed(value, &options->seed)) {
            *problem = "--seed needs a finite number, not '" + std::string(value) + "'";
            return report_bad_usage;
        }
        if (name == "--frames" && !parse_whole(value, 1, report_max_frames, &options->frames)) {
            *problem = "--frames needs a whole number from 1 to 100000000, not '" +
                       std::string(value) + "'";
            return report_bad_usage;
        }
        if (name == "--jobs" && !parse_whole(value, 1, report_max_jobs, &options->jobs)) {
            *problem = "--jobs needs a whole number from 1 to 64, not '" + std::string(value) + "'";
            return report_bad_usage;
        }
        if (name == "--out") {
            if (*value == '\0') {
                *problem = "--out needs a directory name";
                return report_bad_usage;
            }
            options->out = value;
        }
    }
    if (!haveSeed || !haveFrames || !haveOut) {
        *problem = std::string("missing ") + (!haveSeed     ? "--seed"
                                              : !haveFrames ? "--frames"
                                                            : "--out");
        return report_bad_usage;
    }
    if (options->sweep >= 0 && (options->given >> options->sweep & 1)) {
        const std::string swept = model_options[options->sweep].name;
        *problem = "--" + swept + " and --sweep " + swept + "=... both set the " + swept;
        return report_bad_usage;
    }
    return check_parameters(*options, problem) ? report_ok : report_bad_usage;
}

std::string line_profile_csv(const model_state& state) {
    std::string out = "bin,velocity_low,brightness\n";
    for (int32_t k = 0; k < histogram_slots; ++k)
        append_row(&out, "%d,%.17g,%.9g\n", k, velocity_low(state, k),
                   static_cast<double>(state.lineProfile[k]));
    return out;
}

std::string delay_histogram_csv(const model_state& state) {
    std::string out = "bin,delay_low,count\n";
    for (int32_t k = 0; k < histogram_slots; ++k)
        append_row(&out, "%d,%.17g,%.17g\n", k, delay_low(state, k), state.delayHistogram[k]);
    return out;
}

std::string summary_csv(const model_state& state, double seed, int32_t frames, bool parameters) {
    std::string out = "seed,frames,delay_sum,mean_delay,profile_peak,delay_peak,histogram_peak";
    if (parameters)
        for (const model_option& option : model_options)
            out += std::string(",") + option.name;
    out += '\n';
    append_row(&out, "%s,%d,%.17g,%.17g,%.9g,%.9g,%.9g", number_text(seed).c_str(), frames,
               state.delaySum, mean_delay(state.delaySum, frames),
               static_cast<double>(profile_peak(state.lineProfile)),
               static_cast<double>(delay_peak(state.delay)),
               static_cast<double>(histogram_peak(state.delayHistogram)));
    if (parameters)
        for (const model_option& option : model_options)
            out += ',' + parameter_text(state.parameters.*option.field);
    return out + '\n';
}

void report_run(model_state* state, velocity_delay_map* map, const model_parameters& parameters,
                double seed, int32_t frames, bool progress) {
    model_derive(state, parameters);
    random_seed(seed, 0);
    model_clear(state);
    model_place_clouds(state);
    const double start = timer_seconds();
    double nextProgress = start + 1.0;
    bool shown = false;
    for (int32_t frame = 1; frame <= frames; ++frame) {
        model_step(state);
        if (frame > 1) velocity_delay_add(map, *state);
        model_keep_previous(state); // what drawing a frame leaves behind
        if (!progress || frame % 64 != 0) continue;
        const double now = timer_seconds();
        if (now < nextProgress) continue;
        std::fprintf(stderr, "\rclouddisk-report: frame %d of %d (%.0f%%)", frame, frames,
                     100.0 * frame / frames);
        std::fflush(stderr);
        nextProgress = now + 0.5;
        shown = true;
    }
    if (shown) std::fprintf(stderr, "\rclouddisk-report: frame %d of %d (100%%)\n", frames, frames);
}

std::string line_profile_svg(const model_state& state, const velocity_delay_map& map,
                             const std::string& caption) {
    const std::vector<double> value(state.lineProfile, state.lineProfile + histogram_slots);
    int32_t first, last;
    velocity_delay_window(map, &first, &last);
    double outside = 0, total = 0;
    for (int32_t k = 0; k < histogram_slots; ++k) {
        total += value[k];
        if (k < first || k > last) outside += value[k];
    }
    std::string text = caption;
    if (outside > 0) {
        char line[160];
        std::snprintf(line, sizeof line,
                      "\nframe 1 puts %.2g %% of the brightness beyond this range (its "
                      "velocities are taken against a previous position of 0)",
                      100.0 * outside / total);
        text += line;
    }
    return histogram_svg(state, value.data(), first, last, state.parameters.velocityRange / 1000.0,
                         velocity_low, "Line profile", text, "line-of-sight velocity",
                         "brightness (sum of 1 / distance squared)");
}

std::string delay_histogram_svg(const model_state& state, const std::string& caption) {
    int32_t first, last;
    data_window(state.delayHistogram, 0, histogram_slots - 1, &first, &last);
    return histogram_svg(state, state.delayHistogram, first, last, 1.0, delay_low,
                         "Delay histogram", caption, "light-travel delay",
                         "clouds (counted over all frames)");
}

bool report_png(const std::string& directory, const std::string& svg, std::string* png) {
#ifdef _WIN32
    // No converter to count on, and a program of that name there is another thing entirely.
    (void)directory, (void)svg, (void)png;
    return false;
#else
    const fs::path source = fs::path(directory) / ".clouddisk-report-picture.svg";
    const fs::path picture = fs::path(directory) / ".clouddisk-report-picture.png";
    bool made = write_whole(source, svg);
    if (made) {
        const std::string command = "command -v convert >/dev/null 2>&1 && convert " +
                                    shell_word("svg:" + source.string()) + " " +
                                    shell_word("png:" + picture.string()) + " >/dev/null 2>&1";
        made = std::system(command.c_str()) == 0 && report_read(picture.string(), png);
    }
    std::error_code error;
    fs::remove(source, error);
    fs::remove(picture, error);
    return made;
#endif
}

bool report_directory_writable(const std::string& directory) {
    std::error_code error;
    fs::create_directories(directory, error);
    if (!fs::is_directory(directory, error)) return false;
    const fs::path probe = fs::path(directory) / ".clouddisk-report-probe";
    std::FILE* file = std::fopen(probe.string().c_str(), "wb");
    if (!file) return false;
    std::fclose(file);
    fs::remove(probe, error);
    return true;
}

bool report_write(const std::string& directory, const report_file* files, int32_t count,
                  std::string* problem, rename_operation rename) {
    if (!rename) rename = rename_in_file_system;
    std::error_code error;
    const fs::path base(directory);
    auto path = [&](int32_t i, const char* suffix) {
        return (base / (std::string(files[i].name) + suffix)).string();
    };
    for (int32_t i = 0; i < count; ++i) {
        if (files[i].absent || write_whole(path(i, ".part"), files[i].contents)) continue;
        *problem = "cannot write " + path(i, "");
        for (int32_t j = 0; j <= i; ++j)
            fs::remove(path(j, ".part"), error);
        return false;
    }

    // Each earlier file goes aside first: renaming onto an existing file fails on Windows, and
    // the earlier report must survive until the whole new one is in place.
    std::vector<bool> hadEarlier(count, false);
    std::string failure;
    int32_t placed = 0;
    for (; placed < count; ++placed) {
        const std::string target = path(placed, "");
        if (fs::exists(target, error)) {
            fs::remove(path(placed, ".old"), error); // left by a run that could not finish
            if (!rename(target, path(placed, ".old"))) {
                failure = "cannot move the earlier " + target + " aside";
                break;
            }
            hadEarlier[placed] = true;
        }
        if (!files[placed].absent && !rename(path(placed, ".part"), target)) {
            failure = "cannot rename into " + target;
            break;
        }
    }
    if (placed == count) {
        for (int32_t i = 0; i < count; ++i)
            if (hadEarlier[i]) fs::remove(path(i, ".old"), error);
        return true;
    }

    // Undo: the new files out, the earlier ones back.
    std::string kept;
    for (int32_t i = placed; i >= 0; --i) {
        if (i < placed && !files[i].absent) fs::remove(path(i, ""), error);
        if (hadEarlier[i] && !rename(path(i, ".old"), path(i, ""))) {
            kept += ' ';
            kept += path(i, ".old");
        }
    }
    for (int32_t i = 0; i < count; ++i)
        fs::remove(path(i, ".part"), error);
    *problem = failure;
    if (!kept.empty()) *problem += "; the earlier files could not be put back and stay as" + kept;
    return false;
}
