// Text on the graphics screen: what a program can do with its text output while a screen is
// open, in any order and with any arguments: print, clear, colours, cursor, grid size, text
// view, pages, reading cells, cursor and size back, and changing the screen in between.
// Input: a screen, then operations, each a byte choosing it and its arguments.
#include "fuzz/fuzz_screen.h"
#include "gfx/draw_state.h"
#include "gfx/graphics_text.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_input in{data, size};
    screen_session session;
    open_screen(in, 640);
    static constexpr std::array<int32_t, 4> clear_modes = {0, 1, 2, text_clear_unspecified};
    constexpr int32_t own_operations = 9;
    for (int32_t operation; (operation = next_operation(in, own_operations)) >= 0;) {
        switch (operation) {
        case 0:
            open_screen(in, 640);
            break;
        case 1: {
            // Past the engine's 1024 bytes too, so that the pieces must print as the whole would.
            std::vector<uint16_t> units(in.range(0, 1100));
            for (uint16_t& unit : units) {
                const uint8_t low = in.byte();
                unit = static_cast<uint16_t>(low | in.byte() << 8);
            }
            console_hooks.print_wide(units.data(), static_cast<int32_t>(units.size()), in.byte());
            break;
        }
        case 2:
            text_clear(in.byte() < 200 ? in.pick(clear_modes) : in.argument(-3, 3));
            break;
        case 3:
            text_color(in.u32(), in.u32(), in.range(0, 3));
            break;
        case 4:
            text_locate(in.argument(0, 70), in.argument(0, 170), in.range(-1, 1));
            break;
        case 5: { // reading back: a cell, the cursor and the grid's size
            console_hooks.read_cell(in.argument(0, 170), in.argument(0, 70), in.range(0, 2));
            int32_t column, row;
            console_hooks.position(&column, &row);
            console_hooks.size(&column, &row);
            break;
        }
        case 6:
            page_set(in.argument(-1, 3), in.argument(-1, 3));
            break;
        case 7:
            page_copy(in.argument(-1, 3), in.argument(-1, 3));
            break;
        case 8:
            reset_view();
            break;
        default:
            text_operation(in, operation - own_operations);
            break;
        }
    }
    return 0;
}
