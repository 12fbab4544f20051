// Screens for the fuzz targets of the graphics library: every input starts with no screen open
// and the process-wide state of a fresh program, and opens the screens it names (null driver).
#pragma once
#include "fuzz/fuzz_input.h"
#include "gfx/internal/gfx_context.h"
#include "gfx/internal/input_state.h"
#include "gfx/internal/palette_state.h"
#include "gfx/screen.h"
#include "runtime/console/console.h"
#include "runtime/internal/console_hooks.h"
#include "runtime/internal/context.h"
#include "runtime/os/os.h"
#include "runtime/print.h"
#include "runtime/runtime.h"

// Closes what the previous input left open and clears the state a program starts without; the
// session closes its screen again at the end.
struct screen_session {
    screen_session() {
        if (runtime_start_count() == 0) runtime_start();
        // The null driver's screens: where DISPLAY names an X server, the native build would
        // open a window for every input.
        os_set_environment("QXGFX", "null");
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

constexpr int32_t text_operation_count = 4;

// The number of the next operation, or -1 at the end of the input. Operation 0 of every graphics
// target opens a screen; the others are taken only while one is open (text would go to the
// console otherwise). The last text_operation_count numbers are the text operations.
inline int32_t next_operation(fuzz_input& in, int32_t own_operations) {
    while (!in.empty()) {
        const int32_t operation = in.byte() % (own_operations + text_operation_count);
        if (operation == 0 || gfx_screen) return operation;
    }
    return -1;
}

// The text operations that every graphics target mixes with its own, numbered from 0: a print of
// the input's bytes, the cursor placed through the screen's hook itself (as the line editor
// places it, past the run-time's checks), the text grid's size and the text view.
inline void text_operation(fuzz_input& in, int32_t which) {
    switch (which) {
    case 0: {
        size_t length;
        const uint8_t* bytes = in.bytes(in.range(0, 300), &length);
        print_bytes(reinterpret_cast<const char*>(bytes), static_cast<int32_t>(length),
                    in.byte() & print_settle_wrap);
        break;
    }
    case 1:
        console_hooks.locate(in.argument(0, 70), in.argument(0, 170), -1);
        break;
    case 2:
        text_width(in.argument(0, 170), in.argument(0, 70));
        break;
    case 3:
        text_view(in.argument(0, 70), in.argument(0, 70), in.range(0, 1));
        break;
    }
}
