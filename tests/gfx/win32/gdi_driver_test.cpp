// The GDI driver's pixels, read back from the X display.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "gfx/win32/gdi_driver.h"
#include "tests/gfx/win32/test_window.h"

namespace {

constexpr uint32_t black = 0x000000;
constexpr uint32_t white = 0xFFFFFF;
constexpr uint32_t red = 0xFF0000;
constexpr uint32_t green = 0x00FF00;
constexpr uint32_t blue = 0x0000FF;

// Palette entries 1, 2 and 3 are red, blue and green.
void set_test_palette() {
    lock();
    set_palette(0, 0, 0, 0);
    set_palette(1, 255, 0, 0);
    set_palette(2, 0, 0, 255);
    set_palette(3, 0, 255, 0);
    unlock();
}

// Left part index 1, right part index 2, row 50 index 3; the boundary at column split.
void fill_indexed(int32_t split) {
    lock();
    for (int32_t y = 0; y < gfx_screen->height; ++y) {
        uint8_t* line = gfx_screen->visible_buffer + y * gfx_screen->pitch;
        for (int32_t x = 0; x < gfx_screen->width; ++x)
            line[x] = y == 50 ? 3 : x < split ? 1 : 2;
    }
    std::memset(gfx_screen->dirty, 1, static_cast<size_t>(gfx_screen->height));
    unlock();
}

void fill32(uint32_t colour) {
    lock();
    auto* pixels = reinterpret_cast<uint32_t*>(gfx_screen->visible_buffer);
    for (int32_t i = 0; i < gfx_screen->width * gfx_screen->height; ++i)
        pixels[i] = colour;
    unlock();
}

class GdiPixels : public testing::Test {
  protected:
    void SetUp() override {
        if (!host_tool_available("xwd") || !host_tool_available("convert"))
            GTEST_SKIP() << "xwd or ImageMagick missing";
    }
    void TearDown() override { close_test_screen(); }
    screenshot shoot() {
        settle(150);
        screenshot shot = take_screenshot();
        EXPECT_TRUE(shot.valid());
        return shot;
    }
};

TEST_F(GdiPixels, EightBitScreenWithWidthMultipleOfFourDrawsFramebufferDirectly) {
    ASSERT_EQ(open_test_screen(320, 200, 8), 0);
    EXPECT_EQ(window_state.blitter, nullptr);
    set_test_palette();
    fill_indexed(160);
    screenshot shot = shoot();
    EXPECT_EQ(client_pixel(shot, 0, 0), red);
    EXPECT_EQ(client_pixel(shot, 159, 199), red);
    EXPECT_EQ(client_pixel(shot, 160, 0), blue);
    EXPECT_EQ(client_pixel(shot, 319, 199), blue);
    EXPECT_EQ(client_pixel(shot, 200, 50), green);
}

TEST_F(GdiPixels, EightBitScreenOfOddWidthGoesThroughPaddedRows) {
    ASSERT_EQ(open_test_screen(322, 200, 8), 0);
    EXPECT_NE(window_state.blitter, nullptr);
    EXPECT_EQ(gdi_row_length(), 324);
    set_test_palette();
    fill_indexed(161);
    screenshot shot = shoot();
    // A wrong row length would slide each row two pixels further than the one above.
    EXPECT_EQ(client_pixel(shot, 155, 150), red);
    EXPECT_EQ(client_pixel(shot, 170, 150), blue);
    EXPECT_EQ(client_pixel(shot, 321, 199), blue);
    EXPECT_EQ(client_pixel(shot, 0, 199), red);
    EXPECT_EQ(client_pixel(shot, 300, 50), green);
}

TEST_F(GdiPixels, SixteenBitScreenIsShownThroughFifteenBitBitmap) {
    ASSERT_EQ(open_test_screen(320, 200, 16), 0);
    EXPECT_NE(window_state.blitter, nullptr);
    lock();
    for (int32_t y = 0; y < 200; ++y) {
        auto* line =
            reinterpret_cast<uint16_t*>(gfx_screen->visible_buffer + y * gfx_screen->pitch);
        for (int32_t x = 0; x < 320; ++x)
            line[x] = x < 100 ? 0xF800 : x < 200 ? 0x0400 : 0x001F; // red, half green, blue
    }
    std::memset(gfx_screen->dirty, 1, 200);
    unlock();
    screenshot shot = shoot();
    EXPECT_TRUE(near_colour(client_pixel(shot, 50, 100), 0xF80000))
        << std::hex << client_pixel(shot, 50, 100);
    EXPECT_TRUE(near_colour(client_pixel(shot, 150, 100), 0x008000))
        << std::hex << client_pixel(shot, 150, 100);
    EXPECT_TRUE(near_colour(client_pixel(shot, 250, 100), 0x0000F8))
        << std::hex << client_pixel(shot, 250, 100);
}

TEST_F(GdiPixels, DepthFourIsShownAsEightBitBitmapWithItsPalette) {
    ASSERT_EQ(open_test_screen(320, 200, 4), 0);
    EXPECT_EQ(window_state.depth, 8);
    set_test_palette();
    fill_indexed(40);
    screenshot shot = shoot();
    EXPECT_EQ(client_pixel(shot, 10, 10), red);
    EXPECT_EQ(client_pixel(shot, 100, 10), blue);
    EXPECT_EQ(client_pixel(shot, 100, 50), green);
}

TEST_F(GdiPixels, DoubledScanLinesShowEachLineTwice) {
    ASSERT_EQ(open_test_screen(640, 200, 8, 0, 2), 0);
    EXPECT_EQ(window_state.height, 400);
    EXPECT_NE(window_state.blitter, nullptr); // the bitmap is taller than the framebuffer
    set_test_palette();
    fill_indexed(320);
    screenshot shot = shoot();
    EXPECT_EQ(client_pixel(shot, 100, 99), red);
    EXPECT_EQ(client_pixel(shot, 100, 100), green);
    EXPECT_EQ(client_pixel(shot, 100, 101), green);
    EXPECT_EQ(client_pixel(shot, 100, 102), red);
    EXPECT_EQ(client_pixel(shot, 639, 399), blue);
}

TEST_F(GdiPixels, OnlyDirtyRowsAreDrawnAndTheSpanBetweenThem) {
    ASSERT_EQ(open_test_screen(640, 600, 32), 0);
    fill32(0xFF000000);
    lock();
    std::memset(gfx_screen->dirty, 1, 600);
    unlock();
    screenshot shot = shoot();
    ASSERT_EQ(client_pixel(shot, 100, 10), black);

    fill32(0xFFFFFFFF);
    lock();
    gfx_screen->dirty[10] = 1;
    unlock();
    shot = shoot();
    EXPECT_EQ(client_pixel(shot, 100, 9), black);
    EXPECT_EQ(client_pixel(shot, 100, 10), white);
    EXPECT_EQ(client_pixel(shot, 639, 10), white);
    EXPECT_EQ(client_pixel(shot, 100, 11), black);

    lock();
    gfx_screen->dirty[10] = 1;
    gfx_screen->dirty[500] = 1;
    unlock();
    shot = shoot();
    EXPECT_EQ(client_pixel(shot, 100, 9), black);
    EXPECT_EQ(client_pixel(shot, 100, 11), white); // clean rows inside the span are drawn too
    EXPECT_EQ(client_pixel(shot, 100, 300), white);
    EXPECT_EQ(client_pixel(shot, 100, 500), white);
    EXPECT_EQ(client_pixel(shot, 100, 501), black);
}

TEST_F(GdiPixels, ThirtyTwoBitColoursArriveUnchanged) {
    ASSERT_EQ(open_test_screen(320, 200, 32), 0);
    fill32(0x00123456);
    lock();
    std::memset(gfx_screen->dirty, 1, 200);
    unlock();
    screenshot shot = shoot();
    EXPECT_EQ(client_pixel(shot, 5, 5), 0x123456u);
    EXPECT_EQ(client_pixel(shot, 319, 199), 0x123456u);
}

TEST(GdiDriver, OpenglScreenIsRefusedWithoutCreatingAnything) {
    EXPECT_EQ(open_test_screen(320, 200, 32, opengl), -1);
    EXPECT_EQ(window_state.hwnd, nullptr);
    EXPECT_FALSE(running_now());
    EXPECT_EQ(FindWindowA("qxgfxclass_win32_tests", nullptr), nullptr);
    close_test_screen();
}

TEST(GdiDriver, ShapedThirtyTwoBitWindowIsLayeredAndUsesColourKeyCopy) {
    ASSERT_EQ(open_test_screen(320, 200, 32, shaped_window | no_switch | no_frame), 0);
    EXPECT_EQ(window_state.blitter, colour_key_copy);
    EXPECT_NE(GetWindowLongPtrA(window_state.hwnd, GWL_EXSTYLE) & WS_EX_LAYERED, 0);
    EXPECT_EQ(GetWindowLongPtrA(window_state.hwnd, GWL_STYLE) & WS_CAPTION, 0);
    close_test_screen();
}

TEST(GdiDriver, ColourKeyCopyClearsTopByteOfDirtyLinesOnly) {
    gfx_context context{};
    uint32_t pixels[3][2] = {{0xFF123456, 0x80ABCDEF}, {0xFFFFFFFF, 0xFFFFFFFF}, {0x01000001, 0}};
    uint8_t dirty[6] = {1, 0, 1, 0, 0, 0};
    context.width = 2;
    context.height = 3;
    context.depth = 32;
    context.pitch = 8;
    context.scanline_size = 2;
    context.visible_buffer = reinterpret_cast<uint8_t*>(pixels);
    context.dirty = dirty;
    gfx_screen = &context;
    uint32_t rows[6][4];
    for (auto& row : rows)
        for (uint32_t& value : row)
            value = 0xAAAAAAAA;
    colour_key_copy(reinterpret_cast<uint8_t*>(rows), 16);
    gfx_screen = nullptr;
    EXPECT_EQ(rows[0][0], 0x00123456u);
    EXPECT_EQ(rows[0][1], 0x00ABCDEFu);
    EXPECT_EQ(rows[1][0], 0x00123456u); // each line fills its two display rows
    EXPECT_EQ(rows[0][2], 0xAAAAAAAAu); // nothing past the line's pixels
    EXPECT_EQ(rows[2][0], 0xAAAAAAAAu); // clean line
    EXPECT_EQ(rows[3][1], 0xAAAAAAAAu);
    EXPECT_EQ(rows[4][0], 0x00000001u);
    EXPECT_EQ(rows[5][1], 0x00000000u);
}

// Under Wine a virtual display offers its own size at 32, 16 and 8 bits; 24 and 15 bits read
// as 32 and 16.
TEST(GdiDriver, FetchModesListsTheDisplaysOwnSizeAtEveryDepthAlias) {
    const int32_t desktop = GetSystemMetrics(SM_CXSCREEN) * 65536 + GetSystemMetrics(SM_CYSCREEN);
    std::vector<int32_t> lists[33];
    for (int32_t depth : {8, 15, 16, 24, 32}) {
        int32_t count = -1;
        int32_t* modes = gdi_fetch_modes(depth, &count);
        ASSERT_GT(count, 0) << depth;
        lists[depth].assign(modes, modes + count);
        std::free(modes);
        EXPECT_NE(std::find(lists[depth].begin(), lists[depth].end(), desktop), lists[depth].end())
            << depth;
    }
    EXPECT_EQ(lists[24], lists[32]);
    EXPECT_EQ(lists[15], lists[16]);
}

// The display takes the screen's depth while the fullscreen screen is open and gets its own
// back when it closes.
TEST(GdiDriver, FullscreenScreenSwitchesTheDisplayModeAndRestoresItOnExit) {
    if (!host_tool_available("xwd") || !host_tool_available("convert"))
        GTEST_SKIP() << "xwd or ImageMagick missing";
    DEVMODEA before{};
    before.dmSize = sizeof before;
    ASSERT_TRUE(EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &before));
    ASSERT_NE(before.dmBitsPerPel, 16u);
    const auto width = static_cast<int32_t>(before.dmPelsWidth);
    const auto height = static_cast<int32_t>(before.dmPelsHeight);
    ASSERT_EQ(open_test_screen(width, height, 16, fullscreen), 0);
    DEVMODEA during{};
    during.dmSize = sizeof during;
    EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &during);
    EXPECT_EQ(during.dmBitsPerPel, 16u);
    EXPECT_NE(GetWindowLongPtrA(window_state.hwnd, GWL_STYLE) & WS_POPUP, 0);
    RECT rect{};
    GetWindowRect(window_state.hwnd, &rect);
    EXPECT_EQ(rect.right - rect.left, width);
    EXPECT_EQ(rect.bottom - rect.top, height);
    lock();
    for (int32_t y = 0; y < height; ++y) {
        auto* line =
            reinterpret_cast<uint16_t*>(gfx_screen->visible_buffer + y * gfx_screen->pitch);
        for (int32_t x = 0; x < width; ++x)
            line[x] = x < width / 2 ? 0xF800 : 0x001F; // red, blue
    }
    std::memset(gfx_screen->dirty, 1, static_cast<size_t>(height));
    unlock();
    settle(300);
    screenshot shot = take_screenshot();
    EXPECT_TRUE(near_colour(shot.pixel(10, 10), 0xF80000)) << std::hex << shot.pixel(10, 10);
    EXPECT_TRUE(near_colour(shot.pixel(width - 10, height - 10), 0x0000F8))
        << std::hex << shot.pixel(width - 10, height - 10);
    close_test_screen();
    DEVMODEA after{};
    after.dmSize = sizeof after;
    EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &after);
    EXPECT_EQ(after.dmBitsPerPel, before.dmBitsPerPel);
    EXPECT_EQ(after.dmPelsWidth, before.dmPelsWidth);
}

TEST(GdiDriver, FetchModesOfUnknownDepthIsEmpty) {
    int32_t count = -1;
    EXPECT_EQ(gdi_fetch_modes(7, &count), nullptr);
    EXPECT_EQ(count, 0);
}

} // namespace
