// The OpenGL example program on the real driver: what its window shows, and how it ends.
#include <gtest/gtest.h>

#include <string>

#include "tests/gfx/win32/program_test.h"
#include "tests/gfx/win32/test_window.h"

namespace {

class GlDemo : public ProgramTest {
  protected:
    void start(const char* arguments = "") {
        // By title too: the driver's throw-away setup window has the same class.
        start_program(command_line(CLOUDDISK_GL_DEMO, arguments), "qxgfxclass_gl_demo", "gl_demo");
    }
    uint32_t pixel(const screenshot& shot, int32_t x, int32_t y) const {
        POINT point{x, y};
        ClientToScreen(window, &point);
        return shot.pixel(point.x, point.y);
    }
};

TEST_F(GlDemo, ShowsColouredAndTexturedQuadsAndEndsOnEscape) {
    start();
    Sleep(1500);
    screenshot shot = take_screenshot();
    ASSERT_TRUE(shot.valid());
    struct expected_pixel {
        int32_t x, y;
        uint32_t colour;
    };
    const expected_pixel expected[] = {
        {120, 120, 0xFF0000}, {41, 41, 0xFF0000},   {199, 199, 0xFF0000}, // red quad, corners
        {520, 120, 0x00FF00}, {120, 360, 0x0000FF}, {520, 360, 0xFFFF00}, // the other three
        {320, 240, 0xFF8000}, {241, 161, 0xFF8000}, {399, 319, 0xFF8000}, // the texture's colour
        {320, 40, 0x000000},  {20, 240, 0x000000},  {220, 120, 0x000000}, // cleared between
        {201, 120, 0x000000}, {239, 240, 0x000000}, {320, 321, 0x000000}, // just outside
    };
    for (const expected_pixel& e : expected)
        EXPECT_TRUE(near_colour(pixel(shot, e.x, e.y), e.colour, 2))
            << e.x << "," << e.y << ": " << std::hex << pixel(shot, e.x, e.y);

    press_escape(POINT{320, 20});
    EXPECT_EQ(exit_code(), 0);
}

TEST_F(GlDemo, CloseButtonAndFrameCountEndIt) {
    start();
    Sleep(500);
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(exit_code(), 0);
    TearDown();
    start("--frames 30");
    EXPECT_EQ(exit_code(), 0);
}

} // namespace
