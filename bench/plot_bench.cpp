// plot_pixel on the program's screen (1280 x 768 x 24, null driver): the program's dots, a
// band of points around the middle line. Prints the time per plot, then (natively, with
// valgrind installed) the instructions per plot under callgrind.
//   plot_bench [count]          (default 2,000,000)
//   plot_bench --count N        N plots and nothing else: what callgrind counts
#include "bench/instruction_count.h"
#include "gfx/internal/draw_state.h"
#include "gfx/screen.h"
#include "runtime/os/os.h"
#include "runtime/runtime.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The plots, as the program makes them (its straight path is inline), in one function that
// callgrind can count alone: the loop costs about four instructions a plot of its own.
[[gnu::noinline]] void plot_points(const float* xs, const float* ys, int32_t count) {
    for (int32_t i = 0; i < count; ++i)
        plot_pixel(nullptr, xs[i & 4095], ys[i & 4095], 0xFFFFFF00u, coords_point, 0);
}

} // namespace

int main(int argc, char** argv) {
    const bool counting = argc > 2 && std::strcmp(argv[1], "--count") == 0;
    const int32_t count = argc > 1 ? std::atoi(argv[counting ? 2 : 1]) : 2000000;
    if (count < 1) {
        std::fputs("usage: plot_bench [count]\n", stderr);
        return 2;
    }
    runtime_start();
    runtime_init(argc, argv, 0);
    if (!os_environment("QXGFX")) os_set_environment("QXGFX", "null");
    if (screen_res(1280, 768, 24, 1, 0, 0) != 0) return 1;
    // Fixed points spread like the program's: across the width, in a band of 40 lines.
    std::vector<float> xs(4096), ys(4096);
    uint32_t seed = 12345;
    for (size_t i = 0; i < xs.size(); ++i) {
        seed = seed * 1103515245u + 12345u;
        xs[i] = static_cast<float>(seed >> 8 & 0xFFFFF) / 0x100000 * 1280.0f - 0.4f;
        seed = seed * 1103515245u + 12345u;
        ys[i] = 364.0f + static_cast<float>(seed >> 8 & 0xFFFF) / 0x10000 * 40.0f;
    }
    plot_pixel(nullptr, 0.0f, 0.0f, 0xFFFFFFFFu, coords_point, 0); // prepares the state
    if (counting) {
        plot_points(xs.data(), ys.data(), count);
        return 0;
    }
    const auto start = std::chrono::steady_clock::now();
    plot_points(xs.data(), ys.data(), count);
    const double ns =
        std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
    std::printf("plot_ns_per_call %.2f\n", ns / count);

    constexpr int32_t counted = 100000;
    const std::vector<function_count> counts =
        callgrind_counts(argv[0], "*plot_points*", "--count " + std::to_string(counted));
    if (counts.empty()) return 0;
    std::printf("plot_instructions_per_call %.1f\n",
                static_cast<double>(instructions_of(counts, "(anonymous namespace)::plot_points")) /
                    counted);
    return 0;
}
