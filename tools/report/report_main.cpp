// clouddisk-report --seed S --frames N --out DIR: the orbit model without a screen. Seeds
// with random_seed(S, 0), places the clouds, runs N frames exactly as the program does minus
// the drawing, and writes the histograms, the summary values and the velocity-delay map that
// it accumulates beside the model.
#include "tools/report/report.h"
#include "tools/report/velocity_delay.h"

#include "runtime/random.h"
#include "runtime/runtime.h"

#include <cstdio>
#include <iterator>
#include <utility>

namespace {

// Runs the frames, adding each but the first to the map, with a progress line on standard
// error once the run has taken a second.
void run_frames(model_state* state, velocity_delay_map* map, int32_t frames) {
    const double start = timer_seconds();
    double nextProgress = start + 1.0;
    bool shown = false;
    for (int32_t frame = 1; frame <= frames; ++frame) {
        model_step(state);
        if (frame > 1) velocity_delay_add(map, *state);
        model_keep_previous(state); // what drawing a frame leaves behind
        if (frame % 64 != 0) continue;
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

} // namespace

int main(int argument_count, char** arguments) {
    report_options options;
    std::string problem;
    const int parsed = report_parse(argument_count, arguments, &options, &problem);
    if (parsed == report_help_shown) {
        std::fputs(report_usage(), stdout);
        return report_ok;
    }
    if (parsed != report_ok) {
        std::fprintf(stderr, "clouddisk-report: %s\n%s", problem.c_str(), report_usage());
        return report_bad_usage;
    }
    if (!report_directory_writable(options.out)) {
        std::fprintf(stderr, "clouddisk-report: cannot write in directory '%s'\n%s",
                     options.out.c_str(), report_usage());
        return report_bad_usage;
    }

    runtime_start();
    runtime_init(argument_count, arguments, 0);
    // random_seed would take the timer for -1 itself; taking it here lets the report name it.
    const bool timed = options.seed == -1.0;
    const double seed = timed ? timer_seconds() : options.seed;
    const std::string seedText = report_seed_text(seed);
    if (timed) std::printf("clouddisk-report: seed %s (from the timer)\n", seedText.c_str());

    static model_state state;
    static velocity_delay_map map;
    if (model_allocate(&state) != 0 || velocity_delay_allocate(&map) != 0) {
        std::fputs("clouddisk-report: not enough memory for the state of the clouds\n", stderr);
        return report_failed;
    }
    model_derive(&state, model_parameters{});
    random_seed(seed, 0);
    model_clear(&state);
    model_place_clouds(&state);
    run_frames(&state, &map, options.frames);

    char caption[128];
    std::snprintf(caption, sizeof caption, "seed %s%s, %d frames", seedText.c_str(),
                  timed ? " (from the timer)" : "", options.frames);
    const std::string mapCaption =
        std::string(caption) + "; frame 1 left out (its velocities are taken against a previous "
                               "line-of-sight position of 0)";
    std::string mapSvg = velocity_delay_svg(state, map, mapCaption), mapPng;
    const bool pictured = report_png(options.out, mapSvg, &mapPng);
    const report_file files[] = {
        {"line_profile.csv", line_profile_csv(state)},
        {"delay_histogram.csv", delay_histogram_csv(state)},
        {"summary.csv", summary_csv(state, seed, options.frames)},
        {"velocity_delay.csv", velocity_delay_csv(state, map)},
        {"velocity_delay_mean.csv", velocity_delay_mean_csv(state, map)},
        {"line_profile.svg", line_profile_svg(state, map, caption)},
        {"delay_histogram.svg", delay_histogram_svg(state, caption)},
        {"velocity_delay_mean.svg", velocity_delay_mean_svg(state, map, mapCaption)},
        {"velocity_delay.svg", std::move(mapSvg)},
        {"velocity_delay.png", std::move(mapPng), !pictured}, // no picture of an earlier map
    };
    if (!report_write(options.out, files, static_cast<int32_t>(std::size(files)), &problem)) {
        std::fprintf(stderr, "clouddisk-report: %s\n", problem.c_str());
        return report_failed;
    }
    velocity_delay_release(&map);
    model_release(&state);
    return report_ok;
}
