// The OpenGL driver on its own window: the cost of one gl_poll_events with no message waiting,
// against a bare PeekMessageA of the same window (the pump's floor) and the key-state refresh
// alone, measured in the same run; and cleared frames shown per second (clear, flip, poll).
// Windows builds only.
#include <windows.h>

#include <GL/gl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "gfx/internal/gfx_context.h"
#include "gfx/screen.h"
#include "gfx/win32/opengl_driver.h"
#include "runtime/os/os.h"
#include "runtime/runtime.h"

namespace {

using bench_clock = std::chrono::steady_clock;

void peek_only() {
    MSG message;
    PeekMessageA(&message, window_state.hwnd, 0, 0, PM_REMOVE);
}

void cleared_frame() {
    glClear(GL_COLOR_BUFFER_BIT);
    gl_flip();
    gl_poll_events();
}

// Processor time of this thread (kernel and user), in nanoseconds.
double thread_cpu_nanoseconds() {
    FILETIME created, exited, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    auto ticks = [](const FILETIME& t) {
        return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return static_cast<double>(ticks(kernel) + ticks(user)) * 100.0;
}

struct call_cost {
    double wall_ns; // includes the time the system gives to other processes
    double cpu_ns;  // this thread's own processor time
};

// Cost per call of operation, over calls calls.
call_cost cost_per_call(void (*operation)(), int64_t calls) {
    const double cpu_start = thread_cpu_nanoseconds();
    const auto start = bench_clock::now();
    for (int64_t i = 0; i < calls; ++i)
        operation();
    const double wall =
        std::chrono::duration<double, std::nano>(bench_clock::now() - start).count();
    const double cpu = thread_cpu_nanoseconds() - cpu_start;
    return {wall / static_cast<double>(calls), cpu / static_cast<double>(calls)};
}

void add_half(call_cost* sum, const call_cost& c) {
    sum->wall_ns += c.wall_ns / 2;
    sum->cpu_ns += c.cpu_ns / 2;
}

} // namespace

int main(int argc, char** argv) {
    int64_t calls = 200000;
    int64_t frames = 300;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--calls") == 0) calls = std::atoll(argv[i + 1]);
        if (std::strcmp(argv[i], "--frames") == 0) frames = std::atoll(argv[i + 1]);
    }
    if (calls <= 0 || frames <= 0) {
        std::fputs("usage: gl_bench [--calls N] [--frames N]\n", stderr);
        return 2;
    }
    runtime_start();
    runtime_init(argc, argv, 0);
    os_set_environment("QXGFX", "OpenGL");
    if (screen_res(640, 480, 32, 1, opengl, 0) != 0 || gfx_screen->driver != &opengl_driver) {
        std::fputs("gl_bench: no OpenGL window\n", stderr);
        return 1;
    }
    gl_setup_2d();
    for (int i = 0; i < 50; ++i) // let the window's first messages through
        cleared_frame();

    // Alternating rounds, so that a neighbour's load on the machine touches all three.
    call_cost poll{}, peek{}, refresh{};
    for (int round = 0; round < 2; ++round) {
        add_half(&peek, cost_per_call(peek_only, calls));
        add_half(&refresh, cost_per_call(refresh_key_state, calls));
        add_half(&poll, cost_per_call(gl_poll_events, calls));
    }
    const call_cost frame = cost_per_call(cleared_frame, frames);
    close_screen();
    std::printf("poll_events_ns %.0f (processor %.0f)\n", poll.wall_ns, poll.cpu_ns);
    std::printf("peek_message_ns %.0f (processor %.0f)\n", peek.wall_ns, peek.cpu_ns);
    std::printf("key_state_refresh_ns %.0f (processor %.0f)\n", refresh.wall_ns, refresh.cpu_ns);
    std::printf("poll_to_peek_ratio %.2f (processor %.2f)\n", poll.wall_ns / peek.wall_ns,
                poll.cpu_ns / peek.cpu_ns);
    std::printf("cleared_frames_per_second %.0f\n", 1e9 / frame.wall_ns);
    std::printf("poll_share_of_cleared_frame %.4f\n", poll.wall_ns / frame.wall_ns);
    return 0;
}
