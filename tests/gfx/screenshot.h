// A picture of the X display as 8-bit RGB pixels, and what the program's window shows in one:
// shared by the whole-program tests of the Windows builds (under Wine) and of the native build.
#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "gfx/internal/builtin_data.h"

struct screenshot {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> rgb;
    bool valid() const { return width > 0 && height > 0; }
    // 0x00RRGGBB at a screen position; 0xFF000000 outside the picture.
    uint32_t pixel(int32_t x, int32_t y) const {
        if (x < 0 || y < 0 || x >= width || y >= height) return 0xFF000000;
        const uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
        return (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
    }
};

// A screenshot and where the program window's client area starts in it.
struct window_shot {
    screenshot shot;
    int32_t left;
    int32_t top;
    uint32_t pixel(int32_t x, int32_t y) const { return shot.pixel(left + x, top + y); }
};

// The program's frames on the screen, whichever driver presents them: the white marker in the
// middle and the yellow dots, all inside the disk's band. shoot() gives a window_shot.
template <typename Shoot> void expect_disk_in_window(Shoot shoot) {
    constexpr uint32_t white = 0xFFFFFF;
    constexpr uint32_t yellow = 0xFFFF00;
    window_shot seen;
    // A cloud passing in front of the source is drawn over the marker until the frame's end
    // draws the marker again; the display may show the frame in between.
    for (int attempt = 0; attempt < 5; ++attempt) {
        seen = shoot();
        ASSERT_TRUE(seen.shot.valid());
        if (seen.pixel(640, 384) == white && seen.pixel(641, 385) == white) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    EXPECT_EQ(seen.pixel(640, 384), white);
    EXPECT_EQ(seen.pixel(641, 385), white);
    int32_t inside = 0;
    int32_t outside = 0;
    for (int32_t y = 0; y < 768; ++y) {
        for (int32_t x = 0; x < 1280; ++x) {
            if (seen.pixel(x, y) != yellow) continue;
            const bool in_band =
                x - 640 <= 300 && 640 - x <= 300 && y - 384 <= 140 && 384 - y <= 140;
            ++(in_band ? inside : outside);
        }
    }
    EXPECT_EQ(outside, 0);
    // 10,000 clouds, some sharing a pixel: thousands of dots, never more than the clouds.
    EXPECT_GT(inside, 4000);
    EXPECT_LE(inside, 10000);
}

// Pixels of the cells of text from cell (column, row) that differ from the 8 x 8 glyphs in fg on
// bg (0x00RRGGBB).
inline int32_t glyph_mismatches(const window_shot& seen, int32_t column, int32_t row,
                                const std::string& text, uint32_t fg, uint32_t bg) {
    const uint8_t* glyphs = font8x8()->glyphs;
    int32_t wrong = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const uint8_t* glyph = glyphs + static_cast<uint8_t>(text[i]) * 8;
        for (int32_t r = 0; r < 8; ++r)
            for (int32_t bit = 0; bit < 8; ++bit) {
                const uint32_t expected = (glyph[r] >> bit) & 1 ? fg : bg;
                const int32_t x = (column + static_cast<int32_t>(i)) * 8 + bit, y = row * 8 + r;
                if (seen.pixel(x, y) != expected) ++wrong;
            }
    }
    return wrong;
}
