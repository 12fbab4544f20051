// Screens for the fuzz targets of the graphics library: every input starts with no screen open
// and the process-wide state of a fresh program, and opens the screens it names (null driver).
#pragma once
#include "fuzz/fuzz_input.h"
#include "gfx/gfx_context.h"
#include "gfx/input_state.h"
#include "gfx/palette.h"
#include "gfx/screen.h"
#include "runtime/console/console.h"
#include "runtime/runtime.h"

// Closes what the previous input left open and clears the state a program starts without; the
// session closes its screen again at the end.
struct screen_session {
    screen_session() {
        if (runtime_start_count() == 0) runtime_start();
        close_screen();
        set_view_rows(-1, -1);
        key_buffer_clear();
        dac_index = 0;
        dac_shift = 2;
        dac_value = 0;
        print_column = 0;
    }
    ~screen_session() { close_screen(); }
    screen_session(const screen_session&) = delete;
    screen_session& operator=(const screen_session&) = delete;
};

// Opens the screen the input names: a numbered mode (up to last_mode; invalid numbers among
// them), or a size (up to largest pixels a side, refused sizes among them) and depth, with pages
// and flags of its own; true when one is open.
inline bool open_screen(fuzz_input& in, int32_t largest, int32_t last_mode = mode_count + 1) {
    static constexpr std::array<int32_t, 10> depths = {1, 2, 4, 8, 15, 16, 24, 32, 0, 3};
    static constexpr std::array<uint32_t, 5> flags = {0, alpha_primitives, opengl, fullscreen,
                                                      null_driver_request};
    const uint8_t how = in.byte();
    const int32_t depth = in.pick(depths);
    const int32_t pages = in.range(-1, 3);
    const uint32_t flag = in.pick(flags);
    if (how & 1) {
        screen_mode(in.range(-1, last_mode), depth, pages, flag, 0);
    } else {
        const int32_t width = in.argument(1, largest);
        const int32_t height = in.argument(1, largest);
        screen_res(width, height, depth, pages, flag, 0);
    }
    return gfx_screen != nullptr;
}
