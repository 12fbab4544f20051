#include <gtest/gtest.h>

#include "blit_test_screen.h"
#include "gfx/blit/blit.h"

namespace {

TEST(BlitSelection, EightBitDisplayCopiesPaletteLinesOnly) {
    for (int32_t depth : {1, 2, 4, 8}) {
        test_screen screen(8, 2, depth, 1, true);
        EXPECT_EQ(select_blitter(8, 0), blit_copy_lines);
        EXPECT_EQ(select_blitter(8, 1), blit_copy_lines);
    }
    for (int32_t depth : {15, 16, 24, 32}) {
        test_screen screen(8, 2, depth, 1, false);
        EXPECT_EQ(select_blitter(8, 0), nullptr) << depth;
    }
}

TEST(BlitSelection, UnknownDepthsYieldNone) {
    test_screen screen(8, 2, 32, 1, false);
    for (int32_t display : {0, 1, 4, 12, 17, 31, 33, -16}) {
        EXPECT_EQ(select_blitter(display, 0), nullptr) << display;
    }
    for (int32_t depth : {0, 3, 12, 33, -8}) {
        screen.context->depth = depth;
        EXPECT_EQ(select_blitter(32, 0), nullptr) << depth;
    }
}

TEST(BlitSelection, NoScreenYieldsNone) {
    EXPECT_EQ(select_blitter(32, 0), nullptr);
}

TEST(BlitSelection, SameFormatBgrCellsAreTheLineCopyInBothHalves) {
    for (bool mmx : {false, true}) {
        test_screen sixteen(8, 2, 16, 1, mmx);
        EXPECT_EQ(select_blitter(16, 0), blit_copy_lines);
        EXPECT_NE(select_blitter(16, 1), blit_copy_lines);
    }
    for (bool mmx : {false, true}) {
        test_screen thirty_two(8, 2, 32, 1, mmx);
        EXPECT_EQ(select_blitter(32, 0), blit_copy_lines);
        EXPECT_NE(select_blitter(32, 1), blit_copy_lines);
    }
}

TEST(BlitSelection, FifteenAndSixteenBitFramebuffersShareTheSixteenBitGroup) {
    test_screen screen(8, 2, 15, 1, false);
    const conversion_routine fifteen = select_blitter(32, 0);
    screen.context->depth = 16;
    EXPECT_EQ(select_blitter(32, 0), fifteen);
    screen.context->depth = 24;
    const conversion_routine twenty_four = select_blitter(16, 1);
    screen.context->depth = 32;
    EXPECT_EQ(select_blitter(16, 1), twenty_four);
}

// The MMX half needs the flag, one display row per line and a width that is a multiple of 4.
TEST(BlitSelection, MmxFormOnlyForSingleRowsAndWidthsInFours) {
    for (int32_t depth : {8, 16, 32}) {
        test_screen plain(100, 2, depth, 1, false);
        const conversion_routine plain_form = select_blitter(15, 1);
        plain.context->flags = context_mmx;
        const conversion_routine mmx_form = select_blitter(15, 1);
        EXPECT_NE(mmx_form, plain_form) << depth;
        plain.context->width = 102;
        EXPECT_EQ(select_blitter(15, 1), plain_form) << depth;
        plain.context->width = 100;
        plain.context->scanline_size = 2;
        EXPECT_EQ(select_blitter(15, 1), plain_form) << depth;
    }
}

TEST(BlitSelection, ExpandTableFollowsTheMostRecentOrder) {
    test_screen screen(8, 2, 16, 1, false);
    select_blitter(32, 0);
    EXPECT_EQ(screen.table[0x1F], 0xF8u);
    EXPECT_EQ(screen.table[0xE0], 0x1C00u);
    EXPECT_EQ(screen.table[256 + 0x07], 0xE000u);
    EXPECT_EQ(screen.table[256 + 0xF8], 0xF80000u);
    EXPECT_EQ(screen.table[0x34] | screen.table[256 + 0x12], 0x1044A0u); // 0x1234
    select_blitter(24, 1);
    EXPECT_EQ(screen.table[0x1F], 0xF80000u);
    EXPECT_EQ(screen.table[0xE0], 0x1C00u);
    EXPECT_EQ(screen.table[256 + 0x07], 0xE000u);
    EXPECT_EQ(screen.table[256 + 0xF8], 0xF8u);
    // Even a call that yields none refills the table.
    select_blitter(8, 0);
    EXPECT_EQ(screen.table[0x1F], 0xF8u);
}

} // namespace
