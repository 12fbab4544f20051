// The OpenGL example program on the real driver: what its window shows, and how it ends.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/gfx/win32/test_window.h"

namespace {

class GlDemo : public testing::Test {
  protected:
    void SetUp() override {
        if (!host_tool_available("xwd") || !host_tool_available("convert") ||
            !host_tool_available("xdotool"))
            GTEST_SKIP() << "xwd, ImageMagick or xdotool missing";
    }
    void TearDown() override {
        if (!program.hProcess) return;
        if (WaitForSingleObject(program.hProcess, 0) == WAIT_TIMEOUT)
            TerminateProcess(program.hProcess, 99);
        CloseHandle(program.hProcess);
        CloseHandle(program.hThread);
        program = PROCESS_INFORMATION{};
    }
    void start(const char* arguments = "") {
        char command[MAX_PATH + 64];
        std::snprintf(command, sizeof command, "\"%s\" %s", windows_path(CLOUDDISK_GL_DEMO).c_str(),
                      arguments);
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        ASSERT_TRUE(CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                   &startup, &program));
        window = nullptr;
        for (int waited = 0; waited < 20000 && !window; waited += 50) {
            // By title too: the driver's throw-away setup window has the same class.
            window = FindWindowA("qxgfxclass_gl_demo", "gl_demo");
            Sleep(50);
        }
        ASSERT_NE(window, nullptr);
    }
    // Without a window manager, keys go where the pointer is.
    void press(const char* key) {
        SetForegroundWindow(window);
        POINT over_window{320, 20};
        ClientToScreen(window, &over_window);
        SetCursorPos(over_window.x, over_window.y);
        run_host_command(std::string("xdotool key ") + key);
        Sleep(300);
    }
    // The exit code, or -1 when the program still runs after ten seconds.
    int32_t exit_code() {
        if (WaitForSingleObject(program.hProcess, 10000) != WAIT_OBJECT_0) return -1;
        DWORD code = 0;
        GetExitCodeProcess(program.hProcess, &code);
        return static_cast<int32_t>(code);
    }
    uint32_t pixel(const screenshot& shot, int32_t x, int32_t y) const {
        POINT point{x, y};
        ClientToScreen(window, &point);
        return shot.pixel(point.x, point.y);
    }
    PROCESS_INFORMATION program{};
    HWND window = nullptr;
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

    press("Escape");
    // A test program beside this one may take the focus for a moment and lose the key.
    if (WaitForSingleObject(program.hProcess, 5000) == WAIT_TIMEOUT) press("Escape");
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
