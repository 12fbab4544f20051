// DirectDraw driver. Not available yet: its init fails, so the mode set moves on to the next
// driver of the list.
#include "gfx/gfx_context.h"
#include "gfx/screen.h"

namespace {
int32_t ddraw_init(const char*, int32_t, int32_t, int32_t, int32_t, uint32_t) {
    return -1;
}
} // namespace

// The DirectDraw driver record: every slot but init is absent.
const display_driver directdraw_driver = {.name = "DirectX", .init = ddraw_init};
