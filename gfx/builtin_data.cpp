// The expanded fonts and palettes and their descriptors.
#include "gfx/internal/builtin_data.h"

namespace {

// The expanded block: 8 x 8, 8 x 14 and 8 x 16 glyphs, then the 2, 16, 64 and 256-entry
// palettes.
uint8_t expanded[expanded_size];
bool expanded_done;

constexpr int32_t glyphs8 = 0, glyphs14 = 2048, glyphs16 = 2048 + 3584;
constexpr int32_t colours2 = glyphs16 + 4096, colours16 = colours2 + 6, colours64 = colours16 + 48,
                  colours256 = colours64 + 192;
static_assert(colours256 + 768 == expanded_size);

} // namespace

const palette_desc builtin_palettes[4] = {
    {256, expanded + colours256},
    {64, expanded + colours64},
    {16, expanded + colours16},
    {2, expanded + colours2},
};

const font_desc builtin_fonts[3] = {
    {8, 16, expanded + glyphs16},
    {8, 14, expanded + glyphs14},
    {8, 8, expanded + glyphs8},
};

void expand_builtin_data() {
    if (expanded_done) return;
    int32_t count = expanded_size;
    // The block is part of the program and checked by its tests; a failure could only leave
    // some glyphs or colours blank, which nothing downstream depends on.
    decode_codes(builtin_stored_block, builtin_stored_size, expanded, &count);
    expanded_done = true;
}
