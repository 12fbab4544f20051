// The default 256-entry palette and a port write, as the GDI driver shows them on the display.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "gfx/internal/builtin_data.h"
#include "gfx/internal/gfx_context.h"
#include "gfx/palette.h"
#include "gfx/screen.h"
#include "runtime/os/os.h"
#include "runtime/runtime.h"
#include "tests/gfx/win32/test_window.h"

namespace {

// 16 x 16 cells of 20 x 12 pixels, the cell of row r and column c filled with index 16r + c.
constexpr int32_t cell_width = 20;
constexpr int32_t cell_height = 12;

class PaletteDisplay : public testing::Test {
  protected:
    void SetUp() override {
        if (!host_tool_available("xwd") || !host_tool_available("convert"))
            GTEST_SKIP() << "xwd or ImageMagick missing";
        runtime_start();
        os_set_environment("QXGFX", "GDI");
    }
    void TearDown() override {
        close_screen();
        os_set_environment("QXGFX", nullptr);
    }
    static void draw_grid() {
        screen_lock();
        uint8_t* page = gfx_screen->visible_buffer;
        for (int32_t y = 0; y < 16 * cell_height; ++y)
            for (int32_t x = 0; x < 16 * cell_width; ++x)
                page[y * gfx_screen->pitch + x] =
                    static_cast<uint8_t>(y / cell_height * 16 + x / cell_width);
        std::memset(gfx_screen->dirty, 1, static_cast<size_t>(gfx_screen->height));
        screen_unlock(1, 0);
    }
    // The indexes whose cell centre does not show expected[index] (0xRRGGBB).
    static std::vector<int32_t> wrong_cells(const screenshot& shot, const uint32_t* expected) {
        std::vector<int32_t> wrong;
        for (int32_t index = 0; index < 256; ++index) {
            const int32_t x = index % 16 * cell_width + cell_width / 2;
            const int32_t y = index / 16 * cell_height + cell_height / 2;
            if (client_pixel(shot, x, y) != expected[index]) wrong.push_back(index);
        }
        return wrong;
    }
};

TEST_F(PaletteDisplay, ModeThirteenShowsEveryDefaultColourAndAPortWriteOnTheNextPresent) {
    ASSERT_EQ(screen_mode(13, 0, 1, 0, 0), 0);
    ASSERT_STREQ(gfx_screen->driver->name, "GDI");
    uint32_t expected[256];
    const uint8_t* rgb = palette256()->colors;
    for (int32_t i = 0; i < 256; ++i)
        expected[i] = uint32_t{rgb[3 * i]} << 16 | uint32_t{rgb[3 * i + 1]} << 8 | rgb[3 * i + 2];
    ASSERT_EQ(expected[33], 0x4000FFu);
    draw_grid();
    settle(300);
    screenshot shot = take_screenshot();
    ASSERT_TRUE(shot.valid());
    EXPECT_EQ(wrong_cells(shot, expected), std::vector<int32_t>{});

    // Entry 1, dark blue by default, becomes pure red through the ports.
    ASSERT_EQ(port_write(0x3C8, 1), 0);
    for (int32_t v : {63, 0, 0})
        ASSERT_EQ(port_write(0x3C9, v), 0);
    expected[1] = 0xFF0000;
    settle(300);
    shot = take_screenshot();
    ASSERT_TRUE(shot.valid());
    EXPECT_EQ(wrong_cells(shot, expected), std::vector<int32_t>{});
}

} // namespace
