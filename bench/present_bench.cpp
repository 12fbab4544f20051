// The program's frames under the GDI driver against the null driver in the same run, and the
// presents per second of the GDI window thread meanwhile. Windows builds only.
#include "app/frame.h"
#include "app/model.h"
#include "gfx/gfx_context.h"
#include "gfx/screen.h"
#include "gfx/win32/gdi_driver.h"
#include "runtime/os/os.h"
#include "runtime/random.h"
#include "runtime/runtime.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using bench_clock = std::chrono::steady_clock;

struct phase_result {
    double frames_per_second;
    double presents_per_second;
};

// Opens the program's screen on the named driver and runs frames for the given time.
bool run_phase(const char* driver, double seconds, frame_loop* loop, phase_result* result) {
    os_set_environment("QXGFX", driver);
    if (screen_res(1280, 768, 24, 1, 0, 0) != 0 || !gfx_screen) return false;
    plot_source_marker(loop->model);
    const uint32_t presents_before = gdi_present_count();
    const auto start = bench_clock::now();
    double elapsed = 0;
    int64_t frames = 0;
    while (elapsed < seconds) {
        run_frames(loop, loop->frame);
        ++frames;
        elapsed = std::chrono::duration<double>(bench_clock::now() - start).count();
    }
    result->frames_per_second = static_cast<double>(frames) / elapsed;
    result->presents_per_second = (gdi_present_count() - presents_before) / elapsed;
    return true;
}

} // namespace

int main(int argc, char** argv) {
    double seconds = 5;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--seconds") == 0) seconds = std::atof(argv[i + 1]);
    if (seconds <= 0) {
        std::fputs("usage: present_bench [--seconds S]\n", stderr);
        return 2;
    }
    runtime_start();
    runtime_init(argc, argv, 0);
    static model_state model;
    if (model_allocate(&model) != 0) return 1;
    model_derive(&model, model_parameters{});
    random_seed(812.7, 0);
    model_clear(&model);
    model_place_clouds(&model);
    frame_loop loop{};
    loop.model = &model;
    loop.frame = 1;

    // Alternating phases, so that a neighbour's load on the machine touches both drivers.
    phase_result null_run{}, gdi_run{};
    for (int round = 0; round < 2; ++round) {
        phase_result phase{};
        if (!run_phase("null", seconds, &loop, &phase)) return 1;
        null_run.frames_per_second += phase.frames_per_second / 2;
        if (!run_phase("GDI", seconds, &loop, &phase)) return 1;
        gdi_run.frames_per_second += phase.frames_per_second / 2;
        gdi_run.presents_per_second += phase.presents_per_second / 2;
    }
    close_screen();
    std::printf("null_frames_per_second %.0f\n", null_run.frames_per_second);
    std::printf("gdi_frames_per_second %.0f\n", gdi_run.frames_per_second);
    std::printf("gdi_to_null_frame_ratio %.3f\n",
                gdi_run.frames_per_second / null_run.frames_per_second);
    std::printf("gdi_presents_per_second %.1f\n", gdi_run.presents_per_second);
    return 0;
}
