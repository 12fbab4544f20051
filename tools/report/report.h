// clouddisk-report: runs the orbit model headless and writes its histograms and summary
// values as CSV tables and SVG plots. The pieces here are shared by the program and its tests.
#pragma once
#include "app/model.h"

#include <cstdint>
#include <string>

constexpr int32_t report_max_frames = 100000000; // the program's own run

struct report_options {
    double seed = 0.0;
    int32_t frames = 0;
    std::string out;
};

// Exit codes.
constexpr int report_ok = 0;
constexpr int report_failed = 1;      // memory, or a file that could not be written
constexpr int report_bad_usage = 2;   // bad arguments or an unwritable directory
constexpr int report_help_shown = -1; // --help: the caller prints the usage and ends with 0

// Reads --seed S --frames N --out DIR (each once, in any order). Returns report_ok, or
// report_help_shown, or report_bad_usage with *problem saying what is wrong.
int report_parse(int argument_count, char** arguments, report_options* options,
                 std::string* problem);
const char* report_usage();

// The three tables, numbers printed so that they read back to the same value (singles with
// 9 significant digits, doubles with 17).
std::string line_profile_csv(const model_state& state);
std::string delay_histogram_csv(const model_state& state);
std::string summary_csv(const model_state& state, int32_t frames);

// The two plots; caption is a line under the title (the seed and the frames, say).
std::string line_profile_svg(const model_state& state, const std::string& caption);
std::string delay_histogram_svg(const model_state& state, const std::string& caption);

// A file of the report: its name inside the output directory and its contents.
struct report_file {
    const char* name;
    std::string contents;
};

// True when a file can be created in directory (made first if missing). Leaves nothing
// behind.
bool report_directory_writable(const std::string& directory);
// Writes every file under a temporary name, then renames them all into place, so that a
// failure leaves no partial report; *problem names the failure.
bool report_write(const std::string& directory, const report_file* files, int32_t count,
                  std::string* problem);
