// Cost of the report's velocity-delay map beside the frame that the report runs anyway (the
// model step and the copy of the previous positions): medians per frame over many frames of
// one run, both measured frame by frame in turn.
//   report_bench [frames]   (default 400; a small count suits callgrind)
#include "app/model.h"
#include "bench/median_timing.h"
#include "runtime/random.h"
#include "runtime/runtime.h"
#include "tools/report/velocity_delay.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
    runtime_start();
    runtime_init(argc, argv, 0);
    const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 400;

    model_state state;
    velocity_delay_map map;
    if (model_allocate(&state) != 0 || velocity_delay_allocate(&map) != 0) {
        std::fprintf(stderr, "report_bench: not enough memory for the model\n");
        return 1;
    }
    model_derive(&state, model_parameters{});
    random_seed(812.7, 0);
    model_place_clouds(&state);
    model_step(&state);
    model_keep_previous(&state);

    std::vector<double> frame, added;
    frame.reserve(frames);
    added.reserve(frames);
    for (int i = 0; i < frames; ++i) {
        clock_type::time_point start = clock_type::now();
        model_step(&state);
        model_keep_previous(&state);
        frame.push_back(milliseconds_since(start));

        // The map reads only what the step stored, which the copy leaves as it was.
        start = clock_type::now();
        velocity_delay_add(&map, state);
        added.push_back(milliseconds_since(start));
    }

    const double frameMs = median(frame), addedMs = median(added);
    std::printf("frames %d\n", frames);
    std::printf("frame_ms %.4f\n", frameMs);
    std::printf("map_ms %.4f\n", addedMs);
    std::printf("with_map_over_without %.3f\n", (frameMs + addedMs) / frameMs);
    velocity_delay_release(&map);
    model_release(&state);
    return 0;
}
