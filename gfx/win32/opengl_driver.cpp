// OpenGL driver. Not available yet: its init fails, so the mode set moves on to the next
// driver of the list.
#include "gfx/gfx_context.h"
#include "gfx/screen.h"

namespace {
int32_t gl_init(const char*, int32_t, int32_t, int32_t, int32_t, uint32_t) {
    return -1;
}
} // namespace

// The OpenGL driver record, slots in interface order.
const display_driver opengl_driver = {
    "OpenGL",
    gl_init, // init
    nullptr, // exit
    nullptr, // lock
    nullptr, // unlock
    nullptr, // set_palette
    nullptr, // wait_vsync
    nullptr, // get_mouse
    nullptr, // set_mouse
    nullptr, // set_window_title
    nullptr, // set_window_pos
    nullptr, // fetch_modes
    nullptr, // flip
    nullptr, // poll_events
};
