// clouddisk: 10,000 clouds on Keplerian orbits about a light source, seen almost edge-on.
#include "app/frame.h"
#include "app/model.h"
#include "gfx/screen.h"
#include "runtime/random.h"
#include "runtime/runtime.h"

#include <cstdio>

namespace {
model_state model;
frame_loop loop;
} // namespace

int main(int argument_count, char** arguments) {
    runtime_start();
    exit_handler_add(runtime_stop);
    runtime_init(argument_count, arguments, 0);

    screen_res(1280, 768, 24, 1, 0, 0);
    if (model_allocate(&model) != 0) {
        std::fputs("clouddisk: not enough memory for the state of the clouds\n", stderr);
        program_end(1);
    }
    start_frames(&loop, &model, timer_seconds());
    run_frames(&loop, program_frames);
    program_end(0);
}
