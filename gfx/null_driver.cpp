// The null driver: drawing works on the framebuffer and nothing is ever displayed.
#include "gfx/gfx_context.h"
#include "gfx/screen.h"

const display_driver null_driver = {
    "Null",
    nullptr,     // init
    nullptr,     // exit
    nullptr,     // lock: locking nothing needs no call
    nullptr,     // unlock
    nullptr,     // set_palette
    nullptr,     // wait_vsync
    nullptr,     // get_mouse
    nullptr,     // set_mouse
    nullptr,     // set_window_title
    nullptr,     // set_window_pos
    nullptr,     // fetch_modes
    nullptr,     // flip
    nullptr,     // poll_events
};

#ifdef _WIN32
const display_driver* const default_driver_list[] = {&directdraw_driver, &gdi_driver, &opengl_driver,
                                                     nullptr};
#else
// The native build has no display: an empty list makes every mode set take the null driver.
const display_driver* const default_driver_list[] = {nullptr};
#endif

const display_driver* const* driver_list = default_driver_list;
