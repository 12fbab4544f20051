// clouddisk-report: runs the orbit model headless and writes its histograms and summary
// values as CSV tables and SVG plots. The pieces here are shared by the program and its tests.
#pragma once
#include "app/model.h"
#include "tools/report/velocity_delay.h"

#include <cstdint>
#include <string>
#include <vector>

constexpr int32_t report_max_frames = 100000000; // the program's own run
constexpr int32_t report_max_sweep_values = 10;
constexpr int32_t report_max_jobs = 64;

struct report_options {
    double seed = 0.0;
    int32_t frames = 0;
    std::string out;
    model_parameters parameters; // the program's values where no option sets them
    uint32_t given = 0;          // bit k: the option of model_options[k] was given
    int32_t sweep = -1;          // the index in model_options of the swept parameter, or -1
    std::vector<float> sweepValues;
    int32_t jobs = 0;   // runs of a sweep at once; 0: one per processor
    bool quiet = false; // no progress line
};

// Exit codes.
constexpr int report_ok = 0;
constexpr int report_failed = 1;      // memory, or a file that could not be written
constexpr int report_bad_usage = 2;   // bad arguments or an unwritable directory
constexpr int report_help_shown = -1; // --help: the caller prints the usage and ends with 0

// Reads --seed S --frames N --out DIR, the model's parameters (--inclination X and the rest of
// model_options), --sweep NAME=V1,V2,..., --jobs N and --quiet, each once and in any order.
// Returns report_ok, or report_help_shown, or report_bad_usage with *problem naming the
// option at fault and the values it takes; the parameters, and those of every run of a sweep,
// pass model_parameters_check.
int report_parse(int argument_count, char** arguments, report_options* options,
                 std::string* problem);
// The whole usage, for --help; and the short one that follows a refusal.
std::string report_usage();
const char* report_short_usage();

// The seed as the report writes it: the shortest text that reads back to the same double.
std::string report_seed_text(double seed);

// Left edge of velocity bin k (the bin of floor(1000 v / velocityRange + 500) = k) and of
// delay bin k (the bin of floor(delay - delayOrigin) + 1 = k).
double velocity_low(const model_state& state, int32_t k);
double delay_low(const model_state& state, int32_t k);

// The three tables, numbers printed so that they read back to the same value (singles with
// 9 significant digits, doubles with 17). seed is the one the run used (the timer's value
// when --seed -1 asked for it).
std::string line_profile_csv(const model_state& state);
std::string delay_histogram_csv(const model_state& state);
// With parameters, the model's sixteen parameters follow the summary values, named as the
// options are.
std::string summary_csv(const model_state& state, double seed, int32_t frames,
                        bool parameters = false);

// Seeds the generator with random_seed(seed, 0), places the clouds for these parameters and
// runs the frames as the program does minus the drawing, adding each frame but the first to
// the map (allocated, and zero). With progress, a line on standard error tells how far the
// run is once it has taken a second.
void report_run(model_state* state, velocity_delay_map* map, const model_parameters& parameters,
                double seed, int32_t frames, bool progress);

// The two plots over the bins that hold something, with a margin; caption is a line under
// the title (the seed and the frames, say). The profile's range is that of frames 2 on (the
// map's), since frame 1 scatters a few clouds over every velocity; the caption says how much
// of the brightness it leaves outside.
std::string line_profile_svg(const model_state& state, const velocity_delay_map& map,
                             const std::string& caption);
std::string delay_histogram_svg(const model_state& state, const std::string& caption);

// The picture of an SVG document as PNG, by ImageMagick's convert when it is at hand, through
// temporary files in directory. False (and *png untouched) when it cannot be had.
bool report_png(const std::string& directory, const std::string& svg, std::string* png);

// A file of the report: its name inside the output directory and its contents; or, with
// absent set, a file that this report does not have, so that one an earlier report left there
// goes with the rest of that report.
struct report_file {
    const char* name;
    std::string contents;
    bool absent = false;
};

// Reads a whole file; false when it cannot.
bool report_read(const std::string& path, std::string* contents);

// True when a file can be created in directory (made first if missing). Leaves nothing
// behind.
bool report_directory_writable(const std::string& directory);

// Renames a file, replacing nothing: false when it fails. Tests put in one that fails.
using rename_operation = bool (*)(const std::string& from, const std::string& to);

// Writes every file under a temporary name, then moves each file of an earlier report aside
// and the new one into its place; when a step fails, puts the earlier files back, so that the
// directory holds the whole new report or the whole earlier one. *problem names the failure.
// rename = null renames through the file system.
bool report_write(const std::string& directory, const report_file* files, int32_t count,
                  std::string* problem, rename_operation rename = nullptr);
