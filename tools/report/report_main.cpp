// clouddisk-report --seed S --frames N --out DIR: the orbit model without a screen. Seeds
// with random_seed(S, 0), places the clouds, runs N frames exactly as the program does minus
// the drawing, and writes the histograms and the summary values.
#include "tools/report/report.h"

#include "runtime/random.h"
#include "runtime/runtime.h"

#include <cstdio>

namespace {

// Runs the frames, with a progress line on standard error once the run has taken a second.
void run_frames(model_state* state, int32_t frames) {
    const double start = timer_seconds();
    double nextProgress = start + 1.0;
    bool shown = false;
    for (int32_t frame = 1; frame <= frames; ++frame) {
        model_step(state);
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
    static model_state state;
    if (model_allocate(&state) != 0) {
        std::fputs("clouddisk-report: not enough memory for the state of the clouds\n", stderr);
        return report_failed;
    }
    model_derive(&state, model_parameters{});
    random_seed(options.seed, 0);
    model_clear(&state);
    model_place_clouds(&state);
    run_frames(&state, options.frames);

    char caption[96];
    std::snprintf(caption, sizeof caption, "seed %.15g, %d frames", options.seed, options.frames);
    const report_file files[] = {
        {"line_profile.csv", line_profile_csv(state)},
        {"delay_histogram.csv", delay_histogram_csv(state)},
        {"summary.csv", summary_csv(state, options.frames)},
        {"line_profile.svg", line_profile_svg(state, caption)},
        {"delay_histogram.svg", delay_histogram_svg(state, caption)},
    };
    if (!report_write(options.out, files, static_cast<int32_t>(std::size(files)), &problem)) {
        std::fprintf(stderr, "clouddisk-report: %s\n", problem.c_str());
        return report_failed;
    }
    model_release(&state);
    return report_ok;
}
