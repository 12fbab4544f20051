// The null driver: drawing works on the framebuffer and nothing is ever displayed.
#include "gfx/internal/gfx_context.h"
#include "gfx/screen.h"

// Every slot is absent: a lock that locks nothing needs no call.
const display_driver null_driver = {.name = "Null"};

#if defined(_WIN32)
const display_driver* const default_driver_list[] = {&directdraw_driver, &gdi_driver,
                                                     &opengl_driver, nullptr};
// The desktop is always there.
bool display_server_reachable() {
    return true;
}
#elif defined(CLOUDDISK_X11)
// X11 presents where an X server can be reached (gfx/x11/x11_driver.cpp says whether).
const display_driver* const default_driver_list[] = {&x11_driver, nullptr};
#else
// A native build without X11 has no display: an empty list makes every mode set take the null
// driver.
const display_driver* const default_driver_list[] = {nullptr};
bool display_server_reachable() {
    return false;
}
#endif

const display_driver* const* driver_list = default_driver_list;
