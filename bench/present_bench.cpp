// The program's frames under the DirectDraw and GDI drivers against the null driver in the same
// run, the presents per second of each driver's window thread meanwhile, and the processor
// time that the process and the program's thread took (in cores). Windows builds only.
#include "app/frame.h"
#include "app/model.h"
#include "gfx/internal/gfx_context.h"
#include "gfx/screen.h"
#include "gfx/win32/ddraw_driver.h"
#include "gfx/win32/gdi_driver.h"
#include "runtime/os/os.h"
#include "runtime/random.h"
#include "runtime/runtime.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using bench_clock = std::chrono::steady_clock;

struct phase_result {
    double frames_per_second;
    double presents_per_second;
    double process_cores; // processor seconds of the whole process per second
    double program_cores; // the same for the program's thread alone
};

struct driver_phase {
    const char* name;             // QXGFX
    const display_driver* driver; // what the mode set must have chosen
    uint32_t (*present_count)();
    phase_result result;
};

uint32_t no_presents() {
    return 0;
}

double seconds_of(const FILETIME& kernel, const FILETIME& user) {
    auto ticks = [](const FILETIME& t) {
        return static_cast<double>((static_cast<uint64_t>(t.dwHighDateTime) << 32) |
                                   t.dwLowDateTime);
    };
    return (ticks(kernel) + ticks(user)) / 1e7;
}

double process_seconds() {
    FILETIME created, ended, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
    return seconds_of(kernel, user);
}

double thread_seconds() {
    FILETIME created, ended, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &ended, &kernel, &user);
    return seconds_of(kernel, user);
}

double since(bench_clock::time_point start) {
    return std::chrono::duration<double>(bench_clock::now() - start).count();
}

// Opens the program's screen on the phase's driver and runs frames for the given time.
bool run_phase(const driver_phase& phase, double seconds, frame_loop* loop, phase_result* result) {
    os_set_environment("QXGFX", phase.name);
    if (screen_res(1280, 768, 24, 1, 0, 0) != 0 || !gfx_screen) return false;
    if (gfx_screen->driver != phase.driver) {
        std::fprintf(stderr, "present_bench: %s is not available\n", phase.name);
        return false;
    }
    plot_source_marker(loop->model);
    // A driver's first presents set its display path up (Wine compiles its shaders then): not
    // part of the steady rate.
    const auto warm_up = bench_clock::now();
    while (since(warm_up) < 1)
        run_frames(loop, loop->frame);

    const uint32_t presents_before = phase.present_count();
    const double process_before = process_seconds();
    const double program_before = thread_seconds();
    const auto start = bench_clock::now();
    double elapsed = 0;
    int64_t frames = 0;
    while (elapsed < seconds) {
        run_frames(loop, loop->frame);
        ++frames;
        elapsed = since(start);
    }
    result->frames_per_second = static_cast<double>(frames) / elapsed;
    result->presents_per_second = (phase.present_count() - presents_before) / elapsed;
    result->process_cores = (process_seconds() - process_before) / elapsed;
    result->program_cores = (thread_seconds() - program_before) / elapsed;
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

    // Alternating phases, so that a neighbour's load on the machine touches every driver.
    driver_phase phases[] = {
        {"null", &null_driver, no_presents, {}},
        {"DirectX", &directdraw_driver, ddraw_present_count, {}},
        {"GDI", &gdi_driver, gdi_present_count, {}},
    };
    constexpr int rounds = 2;
    for (int round = 0; round < rounds; ++round) {
        for (driver_phase& phase : phases) {
            phase_result result{};
            if (!run_phase(phase, seconds, &loop, &result)) return 1;
            phase.result.frames_per_second += result.frames_per_second / rounds;
            phase.result.presents_per_second += result.presents_per_second / rounds;
            phase.result.process_cores += result.process_cores / rounds;
            phase.result.program_cores += result.program_cores / rounds;
        }
    }
    close_screen();
    const double null_rate = phases[0].result.frames_per_second;
    std::printf("%-8s %9s %13s %11s %14s %14s\n", "driver", "frames/s", "of null rate",
                "presents/s", "process cores", "program cores");
    for (const driver_phase& phase : phases)
        std::printf("%-8s %9.0f %13.3f %11.1f %14.2f %14.2f\n", phase.name,
                    phase.result.frames_per_second, phase.result.frames_per_second / null_rate,
                    phase.result.presents_per_second, phase.result.process_cores,
                    phase.result.program_cores);
    return 0;
}
