#include "tools/report/report.h"

#include "app/summary.h"
#include "tools/report/svg_plot.h"

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

bool parse_frames(const char* text, int32_t* frames) {
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text, &end, 10);
    if (end == text || *end != '\0' || errno == ERANGE) return false;
    if (value < 1 || value > report_max_frames) return false;
    *frames = static_cast<int32_t>(value);
    return true;
}

// Left edge of velocity bin k: the bin holds floor(1000 v / velocityRange + 500) = k.
double velocity_low(const model_state& state, int32_t k) {
    return (k - 500) * static_cast<double>(state.parameters.velocityRange) / 1000.0;
}

// Left edge of delay bin k: the bin holds floor(delay - delayOrigin) + 1 = k.
double delay_low(const model_state& state, int32_t k) {
    return static_cast<double>(state.delayOrigin) + (k - 1);
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

const char* report_usage() {
    return "usage: clouddisk-report --seed S --frames N --out DIR\n"
           "  --seed S    seed of the random generator (a number; -1 takes the timer)\n"
           "  --frames N  frames to run, 1 to 100000000\n"
           "  --out DIR   directory for line_profile.csv, delay_histogram.csv, summary.csv,\n"
           "              line_profile.svg and delay_histogram.svg (made if missing)\n";
}

int report_parse(int argument_count, char** arguments, report_options* options,
                 std::string* problem) {
    bool haveSeed = false, haveFrames = false, haveOut = false;
    for (int i = 1; i < argument_count; ++i) {
        const std::string name = arguments[i];
        if (name == "--help" || name == "-h") return report_help_shown;
        bool* seen = name == "--seed"     ? &haveSeed
                     : name == "--frames" ? &haveFrames
                     : name == "--out"    ? &haveOut
                                          : nullptr;
        if (!seen) {
            *problem = "unknown argument '" + name + "'";
            return report_bad_usage;
        }
        if (*seen) {
            *problem = name + " given twice";
            return report_bad_usage;
        }
        if (i + 1 >= argument_count) {
            *problem = name + " needs a value";
            return report_bad_usage;
        }
        const char* value = arguments[++i];
        *seen = true;
        if (name == "--seed" && !parse_seed(value, &options->seed)) {
            *problem = "--seed needs a finite number, not '" + std::string(value) + "'";
            return report_bad_usage;
        }
        if (name == "--frames" && !parse_frames(value, &options->frames)) {
            *problem = "--frames needs a whole number from 1 to 100000000, not '" +
                       std::string(value) + "'";
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
    return report_ok;
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

std::string summary_csv(const model_state& state, int32_t frames) {
    std::string out = "frames,delay_sum,mean_delay,profile_peak,delay_peak,histogram_peak\n";
    append_row(&out, "%d,%.17g,%.17g,%.9g,%.9g,%.9g\n", frames, state.delaySum,
               mean_delay(state.delaySum, frames),
               static_cast<double>(profile_peak(state.lineProfile)),
               static_cast<double>(delay_peak(state.delay)),
               static_cast<double>(histogram_peak(state.delayHistogram)));
    return out;
}

std::string line_profile_svg(const model_state& state, const std::string& caption) {
    std::vector<double> low(histogram_slots), value(histogram_slots);
    for (int32_t k = 0; k < histogram_slots; ++k) {
        low[k] = velocity_low(state, k);
        value[k] = state.lineProfile[k];
    }
    return svg_step_plot({"Line profile", caption, "line-of-sight velocity",
                          "brightness (sum of 1 / distance squared)", low.data(),
                          state.parameters.velocityRange / 1000.0, value.data(), histogram_slots});
}

std::string delay_histogram_svg(const model_state& state, const std::string& caption) {
    std::vector<double> low(histogram_slots);
    for (int32_t k = 0; k < histogram_slots; ++k)
        low[k] = delay_low(state, k);
    return svg_step_plot({"Delay histogram", caption, "light-travel delay",
                          "clouds (over all frames)", low.data(), 1.0, state.delayHistogram,
                          histogram_slots});
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
                  std::string* problem) {
    std::error_code error;
    const fs::path base(directory);
    for (int32_t i = 0; i < count; ++i) {
        if (write_whole(base / (std::string(files[i].name) + ".part"), files[i].contents)) continue;
        *problem = std::string("cannot write ") + (base / files[i].name).string();
        for (int32_t j = 0; j <= i; ++j)
            fs::remove(base / (std::string(files[j].name) + ".part"), error);
        return false;
    }
    for (int32_t i = 0; i < count; ++i) {
        const fs::path target = base / files[i].name;
        fs::remove(target, error); // renaming onto an existing file fails on Windows
        fs::rename(base / (std::string(files[i].name) + ".part"), target, error);
        if (error) {
            *problem = "cannot rename into " + target.string() + ": " + error.message();
            return false;
        }
    }
    return true;
}
