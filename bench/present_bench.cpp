// The program's frames under each display driver of the build against the null driver in the
// same run, the presents per second of the driver's window thread meanwhile, and the processor
// time that the process, the program's thread and the rest (the window thread) took, in cores.
// Windows builds: DirectX and GDI. Native build: X11, and two stand-ins that split its cost
// apart: "calls", whose lock and unlock are empty calls (the locked plotting path alone), and
// "mutex", whose lock is a mutex like X11's, without a window thread. Then the cost of one lock
// and unlock pair, and how many pairs a frame takes.
//   present_bench [--seconds S]
#include "app/frame.h"
#include "app/model.h"
#include "gfx/internal/gfx_context.h"
#include "gfx/screen.h"
#include "runtime/os/os.h"
#include "runtime/runtime.h"

#ifdef _WIN32
#include <windows.h>

#include "gfx/win32/ddraw_driver.h"
#include "gfx/win32/gdi_driver.h"
#else
#include <pthread.h>

#include <ctime>
#endif
#ifdef CLOUDDISK_X11
#include "gfx/x11/x11_driver.h"
#endif

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

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
    bool available;
};

uint32_t no_presents() {
    return 0;
}

#ifdef _WIN32
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
#else
double clock_seconds(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

double process_seconds() {
    return clock_seconds(CLOCK_PROCESS_CPUTIME_ID);
}

double thread_seconds() {
    return clock_seconds(CLOCK_THREAD_CPUTIME_ID);
}

// The stand-ins: the same driver slots as X11's lock and unlock, without a window.
uint64_t stand_in_pairs; // only the program's thread calls the stand-ins
pthread_mutex_t stand_in_mutex = PTHREAD_MUTEX_INITIALIZER;

void counted_call() {
    ++stand_in_pairs;
}
void empty_call() {}
void mutex_lock() {
    pthread_mutex_lock(&stand_in_mutex);
}
void mutex_unlock() {
    pthread_mutex_unlock(&stand_in_mutex);
}

display_driver stand_in(const char* name, void (*lock)(), void (*unlock)()) {
    display_driver driver{};
    driver.name = name;
    driver.init = [](const char*, int32_t, int32_t, int32_t, int32_t, uint32_t) { return 0; };
    driver.lock = lock;
    driver.unlock = unlock;
    return driver;
}
const display_driver calls_driver = stand_in("calls", counted_call, empty_call);
const display_driver mutex_driver = stand_in("mutex", mutex_lock, mutex_unlock);
#endif

#ifdef CLOUDDISK_X11
uint32_t x11_present_count() {
    return x11_presents().puts;
}
const display_driver* const bench_drivers[] = {&x11_driver, &calls_driver, &mutex_driver, nullptr};
#endif

double since(bench_clock::time_point start) {
    return std::chrono::duration<double>(bench_clock::now() - start).count();
}

// Opens the program's screen on the phase's driver and runs frames for the given time; false
// when the mode set chose another driver.
bool run_phase(const driver_phase& phase, double seconds, frame_loop* loop, phase_result* result) {
    os_set_environment("QXGFX", phase.name);
    if (screen_res(1280, 768, 24, 1, 0, 0) != 0 || !gfx_screen) return false;
    if (gfx_screen->driver != phase.driver) return false;
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

// Nanoseconds of one lock and unlock pair of a driver, uncontended.
double pair_nanoseconds(const display_driver& driver) {
    constexpr int pairs = 10000000;
    const auto start = bench_clock::now();
    for (int i = 0; i < pairs; ++i) {
        driver.lock();
        driver.unlock();
    }
    return since(start) / pairs * 1e9;
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
    frame_loop loop{};
    start_frames(&loop, &model, 812.7);

    // Alternating phases, so that a neighbour's load on the machine touches every driver.
#ifdef _WIN32
    driver_phase phases[] = {
        {"null", &null_driver, no_presents, {}, true},
        {"DirectX", &directdraw_driver, ddraw_present_count, {}, true},
        {"GDI", &gdi_driver, gdi_present_count, {}, true},
    };
#elif defined(CLOUDDISK_X11)
    driver_list = bench_drivers;
    driver_phase phases[] = {
        {"null", &null_driver, no_presents, {}, true},
        {"calls", &calls_driver, no_presents, {}, true},
        {"mutex", &mutex_driver, no_presents, {}, true},
        {"X11", &x11_driver, x11_present_count, {}, display_server_reachable()},
    };
#else
    std::fputs("present_bench: this build has no display driver\n", stderr);
    return 1;
#endif
    constexpr int rounds = 2;
    for (int round = 0; round < rounds; ++round) {
        for (driver_phase& phase : phases) {
            if (!phase.available) continue;
            phase_result result{};
            if (!run_phase(phase, seconds, &loop, &result)) {
                std::fprintf(stderr, "present_bench: %s is not available\n", phase.name);
                phase.available = false;
                continue;
            }
            phase.result.frames_per_second += result.frames_per_second / rounds;
            phase.result.presents_per_second += result.presents_per_second / rounds;
            phase.result.process_cores += result.process_cores / rounds;
            phase.result.program_cores += result.program_cores / rounds;
        }
    }
#ifndef _WIN32
    // The lock pairs of a frame, counted by the "calls" stand-in.
    constexpr int counted_frames = 100;
    os_set_environment("QXGFX", "calls");
    double pairs_per_frame = 0;
    if (screen_res(1280, 768, 24, 1, 0, 0) == 0 && gfx_screen->driver == &calls_driver) {
        stand_in_pairs = 0;
        for (int i = 0; i < counted_frames; ++i)
            run_frames(&loop, loop.frame);
        pairs_per_frame = static_cast<double>(stand_in_pairs) / counted_frames;
    }
#endif
    close_screen();
    // Frames per second of the program thread's processor time: on a busy machine, where the
    // program does not get a whole core, this rate still compares the drivers.
    auto per_cpu = [](const phase_result& r) { return r.frames_per_second / r.program_cores; };
    const phase_result& null_result = phases[0].result;
    std::printf("%-8s %9s %13s %11s %14s %14s %13s %12s\n", "driver", "frames/s", "of null rate",
                "presents/s", "process cores", "program cores", "other cores", "of null/cpu");
    for (const driver_phase& phase : phases) {
        if (!phase.available) continue;
        const phase_result& r = phase.result;
        std::printf("%-8s %9.0f %13.3f %11.1f %14.2f %14.2f %13.2f %12.3f\n", phase.name,
                    r.frames_per_second, r.frames_per_second / null_result.frames_per_second,
                    r.presents_per_second, r.process_cores, r.program_cores,
                    r.process_cores - r.program_cores, per_cpu(r) / per_cpu(null_result));
    }
    std::printf("\nlock and unlock pair, uncontended:\n");
    for (const driver_phase& phase : phases)
        if (phase.driver->lock)
            std::printf("  %-8s %6.2f ns\n", phase.name, pair_nanoseconds(*phase.driver));
#ifndef _WIN32
    const double pair = pair_nanoseconds(mutex_driver);
    std::printf("\nlock pairs per frame: %.0f; at %.2f ns a pair, %.3f ms of a null frame of "
                "%.3f ms\n",
                pairs_per_frame, pair, pairs_per_frame * pair / 1e6,
                1000 / null_result.frames_per_second);
#endif
    return 0;
}
