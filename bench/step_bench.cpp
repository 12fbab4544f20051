// Time of one frame's model step for 10,000 clouds: the median over many frames, beside a
// baseline measured in the same run, the 50,000 random draws that the step cannot avoid; then
// (natively, with valgrind installed) the step's instructions per frame under callgrind, with
// the share of the random generator, and the instructions of one frame's sines and cosines
// (10,000 phases through the batch form of the step's two-at-a-time routine, which the step
// runs inline).
//   step_bench [frames]          (default 400)
//   step_bench --count N         N steps and nothing else: what callgrind counts
//   step_bench --count-sines N   N frames' sines and cosines and nothing else
#include "app/model.h"
#include "app/orbit_math.h"
#include "bench/instruction_count.h"
#include "bench/median_timing.h"
#include "runtime/random.h"
#include "runtime/runtime.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int counted_frames = 10; // steps counted under callgrind

} // namespace

int main(int argc, char** argv) {
    runtime_start();
    runtime_init(argc, argv, 0);
    const bool counting = argc > 2 && std::strcmp(argv[1], "--count") == 0;
    const bool sines = argc > 2 && std::strcmp(argv[1], "--count-sines") == 0;
    const int frames = std::max(1, argc > 1 ? std::atoi(argv[counting || sines ? 2 : 1]) : 400);

    model_state state;
    if (model_allocate(&state) != 0) {
        std::fprintf(stderr, "step_bench: not enough memory for the model\n");
        return 1;
    }
    model_derive(&state, model_parameters{});
    random_seed(812.7, 0);
    model_place_clouds(&state);
    if (counting) {
        for (int i = 0; i < frames; ++i) {
            model_step(&state);
            model_keep_previous(&state);
        }
        return 0;
    }
    if (sines) {
        std::vector<double> sine(cloud_count), cosine(cloud_count);
        for (int i = 0; i < frames; ++i)
            orbit_sincos_batch(state.phase + 1, sine.data(), cosine.data(), cloud_count);
        return 0;
    }
    for (int i = 0; i < std::min(frames, 20); ++i) {
        model_step(&state);
        model_keep_previous(&state);
    }

    std::vector<double> step, draws;
    step.reserve(frames);
    draws.reserve(frames);
    volatile double sink = 0;
    for (int i = 0; i < frames; ++i) {
        clock_type::time_point start = clock_type::now();
        model_step(&state);
        step.push_back(milliseconds_since(start));
        model_keep_previous(&state);

        start = clock_type::now();
        double sum = 0;
        for (int32_t k = 0; k < 5 * cloud_count; ++k)
            sum += random_next(1.0f);
        draws.push_back(milliseconds_since(start));
        sink = sink + sum;
    }

    const double stepMs = median(step), drawsMs = median(draws);
    std::printf("frames %d\n", frames);
    std::printf("step_ms_per_frame %.4f\n", stepMs);
    std::printf("draws_ms_per_frame %.4f\n", drawsMs);
    std::printf("step_over_draws %.2f\n", stepMs / drawsMs);
    model_release(&state);

    const std::vector<function_count> counts =
        callgrind_counts(argv[0], "model_step*", "--count " + std::to_string(counted_frames));
    if (counts.empty()) return 0;
    auto per_frame = [&](const char* prefix) {
        return static_cast<long long>(instructions_of(counts, prefix) / counted_frames);
    };
    std::printf("step_instructions_per_frame %lld\n", per_frame("model_step"));
    std::printf("draws_instructions_per_frame %lld\n", per_frame("random_"));
    const std::vector<function_count> sineCounts = callgrind_counts(
        argv[0], "orbit_sincos_batch*", "--count-sines " + std::to_string(counted_frames));
    std::printf(
        "sine_cosine_instructions_per_frame %lld\n",
        static_cast<long long>(instructions_of(sineCounts, "orbit_sincos_batch") / counted_frames));
    return 0;
}
