// Whole frames of the program (step, 20,000 plots, markers, scans, two key polls) on the null
// driver from seed 812.7: prints the median and the mean time per frame (the mean is what the
// hand-written reference, naive_frame, prints) and the share of the step.
//   frame_bench [--frames N] [--frames-only]   (--frames-only: the frames and nothing else)
#include "app/frame.h"
#include "app/model.h"
#include "gfx/screen.h"
#include "runtime/os/os.h"
#include "runtime/runtime.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

int main(int argc, char** argv) {
    int32_t frames = 500;
    bool frames_only = false; // no step-only pass: the process does the frames and nothing else
    for (int i = 1; i < argc; ++i) {
        if (i + 1 < argc && std::strcmp(argv[i], "--frames") == 0) frames = std::atoi(argv[i + 1]);
        if (std::strcmp(argv[i], "--frames-only") == 0) frames_only = true;
    }
    if (frames < 1) {
        std::fputs("usage: frame_bench [--frames N] [--frames-only]\n", stderr);
        return 2;
    }
    runtime_start();
    runtime_init(argc, argv, 0);
    if (!os_environment("QXGFX")) os_set_environment("QXGFX", "null");
    screen_res(1280, 768, 24, 1, 0, 0);
    static model_state model;
    if (model_allocate(&model) != 0) return 1;
    frame_loop loop{};
    start_frames(&loop, &model, 812.7);

    using clock = std::chrono::steady_clock;
    std::vector<double> whole, step;
    const auto first = clock::now();
    for (int32_t f = 1; f <= frames; ++f) {
        auto start = clock::now();
        run_frames(&loop, f);
        whole.push_back(std::chrono::duration<double, std::milli>(clock::now() - start).count());
    }
    const double all_ms = std::chrono::duration<double, std::milli>(clock::now() - first).count();
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    if (frames_only) {
        std::printf("frame_ms_per_frame %.4f\n", median(whole));
        std::printf("frame_ms_mean %.4f\n", all_ms / frames);
        return 0;
    }
    // The step alone, on the same state, for the share of the frame spent outside it.
    for (int32_t f = 0; f < frames; ++f) {
        auto start = clock::now();
        model_step(&model);
        model_keep_previous(&model);
        step.push_back(std::chrono::duration<double, std::milli>(clock::now() - start).count());
    }
    double frame_ms = median(whole), step_ms = median(step);
    std::printf("frame_ms_per_frame %.4f\n", frame_ms);
    std::printf("frame_ms_mean %.4f\n", all_ms / frames);
    std::printf("step_ms_per_frame %.4f\n", step_ms);
    std::printf("outside_step_share %.3f\n", (frame_ms - step_ms) / frame_ms);
    std::printf("frames_per_second %.0f\n", 1000.0 / frame_ms);
    return 0;
}
