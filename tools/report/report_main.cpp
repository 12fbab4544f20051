// clouddisk-report --seed S --frames N --out DIR [--PARAMETER X ...] [--sweep NAME=X1,...]: the
// orbit model without a screen. Seeds with random_seed(S, 0), places the clouds, runs N frames
// exactly as the program does minus the drawing, and writes the histograms, the summary values
// and the velocity-delay map that it accumulates beside the model. The model's parameters are
// the program's unless options set them; a sweep runs this program once per value.
#include "tools/report/model_options.h"
#include "tools/report/report.h"
#include "tools/report/sweep.h"
#include "tools/report/velocity_delay.h"

#include "runtime/os/os.h"
#include "runtime/random.h"
#include "runtime/runtime.h"

#include <cstdio>
#include <filesystem>
#include <iterator>
#include <utility>

namespace {

int one_report(const report_options& options, double seed, bool timed) {
    static model_state state;
    static velocity_delay_map map;
    if (model_allocate(&state) != 0 || velocity_delay_allocate(&map) != 0) {
        std::fputs("clouddisk-report: not enough memory for the state of the clouds\n", stderr);
        return report_failed;
    }
    report_run(&state, &map, options.parameters, seed, options.frames, !options.quiet);

    // The parameters that the command line gave go on a line of their own; a run of the
    // program's own model has the captions it always had.
    const std::string seedText = report_seed_text(seed);
    char run[128];
    std::snprintf(run, sizeof run, "seed %s%s, %d frames", seedText.c_str(),
                  timed ? " (from the timer)" : "", options.frames);
    const std::string parameters = parameters_caption(options.parameters, options.given);
    const std::string below = parameters.empty() ? "" : "\n" + parameters;
    const std::string caption = run + below;
    const std::string mapCaption =
        std::string(run) +
        "; frame 1 left out (its velocities are taken against a previous line-of-sight "
        "position of 0)" +
        below;
    std::string mapSvg = velocity_delay_svg(state, map, mapCaption), mapPng;
    const bool pictured = report_png(options.out, mapSvg, &mapPng);
    const report_file files[] = {
        {"line_profile.csv", line_profile_csv(state)},
        {"delay_histogram.csv", delay_histogram_csv(state)},
        {"summary.csv", summary_csv(state, seed, options.frames, options.given != 0)},
        {"parameters.csv", parameters_csv(options.parameters)},
        {"velocity_delay.csv", velocity_delay_csv(state, map)},
        {"velocity_delay_mean.csv", velocity_delay_mean_csv(state, map)},
        {"line_profile.svg", line_profile_svg(state, map, caption)},
        {"delay_histogram.svg", delay_histogram_svg(state, caption)},
        {"velocity_delay_mean.svg", velocity_delay_mean_svg(state, map, mapCaption)},
        {"velocity_delay.svg", std::move(mapSvg)},
        {"velocity_delay.png", std::move(mapPng), !pictured}, // no picture of an earlier map
    };
    std::string problem;
    if (!report_write(options.out, files, static_cast<int32_t>(std::size(files)), &problem)) {
        std::fprintf(stderr, "clouddisk-report: %s\n", problem.c_str());
        return report_failed;
    }
    velocity_delay_release(&map);
    model_release(&state);
    return report_ok;
}

} // namespace

int main(int argument_count, char** arguments) {
    report_options options;
    std::string problem;
    const int parsed = report_parse(argument_count, arguments, &options, &problem);
    if (parsed == report_help_shown) {
        std::fputs(report_usage().c_str(), stdout);
        return report_ok;
    }
    if (parsed != report_ok) {
        std::fprintf(stderr, "clouddisk-report: %s\n%s", problem.c_str(), report_short_usage());
        return report_bad_usage;
    }
    // A sweep's runs each write into a folder of their own.
    std::vector<std::string> directories = {options.out};
    if (options.sweep >= 0)
        for (float value : options.sweepValues)
            directories.push_back(
                (std::filesystem::path(options.out) / sweep_folder(options, value)).string());
    for (const std::string& directory : directories)
        if (!report_directory_writable(directory)) {
            std::fprintf(stderr, "clouddisk-report: cannot write in directory '%s'\n%s",
                         directory.c_str(), report_short_usage());
            return report_bad_usage;
        }

    runtime_start();
    runtime_init(argument_count, arguments, 0);
    // random_seed would take the timer for -1 itself; taking it here lets the report name it.
    const bool timed = options.seed == -1.0;
    const double seed = timed ? timer_seconds() : options.seed;
    if (timed)
        std::printf("clouddisk-report: seed %s (from the timer)\n", report_seed_text(seed).c_str());
    if (options.sweep < 0) return one_report(options, seed, timed);

    char program[4096];
    if (os_executable_path(program, sizeof program) + 1 >= sizeof program) {
        std::fputs("clouddisk-report: the path of this program is too long\n", stderr);
        return report_failed;
    }
    return sweep_report(options, program, report_seed_text(seed));
}
