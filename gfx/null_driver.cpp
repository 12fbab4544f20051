// The null driver: drawing works on the framebuffer and nothing is ever displayed.
#include "gfx/internal/gfx_context.h"
#include "gfx/screen.h"

// Every slot is absent: a lock that locks nothing needs no call.
const display_driver null_driver = {.name = "Null"};

#ifdef _WIN32
const display_driver* const default_driver_list[] = {&directdraw_driver, &gdi_driver, &opengl_driver,
                                                     nullptr};
#else
// The native build has no display: an empty list makes every mode set take the null driver.
const display_driver* const default_driver_list[] = {nullptr};
#endif

const display_driver* const* driver_list = default_driver_list;
