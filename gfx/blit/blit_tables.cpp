// The blitter table, its selector and the 16-bit expansion table.
#include <array>

#include "gfx/blit/blit.h"
#include "gfx/blit/blit_routines.h"
#include "gfx/internal/gfx_context.h"

namespace {

// Two halves (plain, MMX) of two blocks (RGB order, BGR order) of three groups (palette,
// 16-bit, 32-bit framebuffer) of four display depths (15, 16, 24, 32). Same-format cells copy.
// clang-format off
constexpr std::array<conversion_routine, 48> blitter_table = {
    // plain, RGB order: display 15, 16, 24, 32
    blit_8_to_15_rgb,      blit_8_to_16_rgb,      blit_8_to_24_rgb,      blit_8_to_32_rgb,      // palette
    blit_16_to_15_rgb,     blit_16_to_16_rgb,     blit_16_to_24,         blit_16_to_32,         // 16-bit
    blit_32_to_15_rgb,     blit_32_to_16_rgb,     blit_32_to_24_rgb,     blit_32_to_32_rgb,     // 32-bit
    // plain, BGR order
    blit_8_to_15_bgr,      blit_8_to_16_bgr,      blit_8_to_24_bgr,      blit_8_to_32_bgr,
    blit_16_to_15_bgr,     blit_copy_lines,       blit_16_to_24,         blit_16_to_32,
    blit_32_to_15_bgr,     blit_32_to_16_bgr,     blit_32_to_24_bgr,     blit_copy_lines,
    // MMX, RGB order
    mmx_blit_8_to_15_rgb,  mmx_blit_8_to_16_rgb,  mmx_blit_8_to_24_rgb,  mmx_blit_8_to_32_rgb,
    mmx_blit_16_to_15_rgb, mmx_blit_16_to_16_rgb, mmx_blit_16_to_24,     mmx_blit_16_to_32,
    mmx_blit_32_to_15_rgb, mmx_blit_32_to_16_rgb, mmx_blit_32_to_24_rgb, mmx_blit_32_to_32_rgb,
    // MMX, BGR order
    mmx_blit_8_to_15_bgr,  mmx_blit_8_to_16_bgr,  mmx_blit_8_to_24_bgr,  mmx_blit_8_to_32_bgr,
    mmx_blit_16_to_15_bgr, blit_copy_lines,       mmx_blit_16_to_24,     mmx_blit_16_to_32,
    mmx_blit_32_to_15_bgr, mmx_blit_32_to_16_bgr, mmx_blit_32_to_24_bgr, blit_copy_lines,
};
// clang-format on

constexpr int32_t half_size = 24;
constexpr int32_t block_size = 12;
constexpr int32_t group_size = 4;

void fill_expand16_table(uint32_t* table, int32_t rgb_order) {
    for (uint32_t i = 0; i < 512; ++i)
        table[i] = expand16_entry(i, rgb_order);
}

// Group of the framebuffer depth within a block, or -1 for a depth no conversion reads.
int32_t source_group(int32_t depth) {
    switch (depth) {
    case 1:
    case 2:
    case 4:
    case 8:
        return 0;
    case 15:
    case 16:
        return 1;
    case 24:
    case 32:
        return 2;
    default:
        return -1;
    }
}

int32_t display_column(int32_t display_depth) {
    switch (display_depth) {
    case 15:
        return 0;
    case 16:
        return 1;
    case 24:
        return 2;
    case 32:
        return 3;
    default:
        return -1;
    }
}

} // namespace

conversion_routine select_blitter(int32_t display_depth, int32_t rgb_order) {
    if (expand16_table != nullptr) fill_expand16_table(expand16_table, rgb_order);
    const gfx_context* screen = gfx_screen;
    if (screen == nullptr || expand16_table == nullptr) return nullptr;

    const int32_t group = source_group(screen->depth);
    if (group < 0) return nullptr;
    if (display_depth == 8) return group == 0 ? blit_copy_lines : nullptr;
    const int32_t column = display_column(display_depth);
    if (column < 0) return nullptr;

    // The MMX forms have no line repetition and no tail handling.
    const bool mmx =
        (screen->flags & context_mmx) != 0 && screen->scanline_size == 1 && screen->width % 4 == 0;
    const int32_t index =
        (mmx ? half_size : 0) + (rgb_order != 0 ? 0 : block_size) + group * group_size + column;
    return blitter_table[static_cast<size_t>(index)];
}
