// A sweep of the report: one ordinary report per value of a parameter, each written by a run of
// this program of its own, several at once, and the files that set the runs side by side.
#pragma once
#include "tools/report/report.h"

#include <string>
#include <vector>

// The folder of a value's report inside options.out: "inclination=45".
std::string sweep_folder(const report_options& options, float value);

// The arguments of a value's run after the program's name: the seed (as seedText), the frames,
// the parameters given and the swept one, --quiet and its folder.
std::vector<std::string> sweep_arguments(const report_options& options, const std::string& seedText,
                                         float value);

// Runs the program at program once per value of the sweep, options.jobs at a time (one per
// processor for 0), then reads the reports back and writes sweep_line_profiles.svg,
// sweep_velocity_delay.svg and sweep_summary.csv into options.out. Returns report_ok, or
// report_failed after a message on standard error (a run that failed, or a file); the sweep's
// files are then not written.
int sweep_report(const report_options& options, const std::string& program,
                 const std::string& seedText);
