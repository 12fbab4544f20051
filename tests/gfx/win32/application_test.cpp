// The program itself under the GDI driver: what its window shows, and its two ways of ending.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/gfx/win32/test_window.h"

namespace {

constexpr uint32_t white = 0xFFFFFF;
constexpr uint32_t yellow = 0xFFFF00;

class Application : public testing::Test {
  protected:
    void SetUp() override {
        if (!host_tool_available("xwd") || !host_tool_available("convert") ||
            !host_tool_available("xdotool"))
            GTEST_SKIP() << "xwd, ImageMagick or xdotool missing";
        SetEnvironmentVariableA("QXGFX", "GDI");
        char command[MAX_PATH + 3];
        std::snprintf(command, sizeof command, "\"%s\"", windows_path(CLOUDDISK_PROGRAM).c_str());
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        ASSERT_TRUE(CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                   &startup, &program));
        SetEnvironmentVariableA("QXGFX", nullptr);
        for (int waited = 0; waited < 20000 && !window; waited += 50) {
            window = FindWindowA("qxgfxclass_clouddisk", nullptr);
            Sleep(50);
        }
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override {
        if (!program.hProcess) return;
        if (WaitForSingleObject(program.hProcess, 0) == WAIT_TIMEOUT)
            TerminateProcess(program.hProcess, 99);
        CloseHandle(program.hProcess);
        CloseHandle(program.hThread);
    }
    // A key typed on the display. Without a window manager, keys go where the pointer is.
    void press(const char* key) {
        SetForegroundWindow(window);
        POINT over_window{100, 100};
        ClientToScreen(window, &over_window);
        SetCursorPos(over_window.x, over_window.y);
        run_host_command(std::string("xdotool key ") + key);
        Sleep(300);
    }
    // The program's exit code, or -1 when it is still running after ten seconds.
    int32_t exit_code() {
        if (WaitForSingleObject(program.hProcess, 10000) != WAIT_OBJECT_0) return -1;
        DWORD code = 0;
        GetExitCodeProcess(program.hProcess, &code);
        return static_cast<int32_t>(code);
    }
    // A screenshot and where the window's client area starts in it.
    void shoot() {
        shot = take_screenshot();
        origin = POINT{0, 0};
        ClientToScreen(window, &origin);
    }
    uint32_t pixel(int32_t x, int32_t y) const { return shot.pixel(origin.x + x, origin.y + y); }
    screenshot shot;
    POINT origin{};
    PROCESS_INFORMATION program{};
    HWND window = nullptr;
};

TEST_F(Application, ShowsTheDiskAroundTheSourceAndEndsOnEscape) {
    Sleep(3000);
    // A cloud passing in front of the source is drawn over the marker until the frame's end
    // draws the marker again; the display may show the frame in between.
    for (int attempt = 0; attempt < 5; ++attempt) {
        shoot();
        ASSERT_TRUE(shot.valid());
        if (pixel(640, 384) == white && pixel(641, 385) == white) break;
        Sleep(200);
    }
    EXPECT_EQ(pixel(640, 384), white);
    EXPECT_EQ(pixel(641, 385), white);
    int32_t inside = 0;
    int32_t outside = 0;
    for (int32_t y = 0; y < 768; ++y) {
        for (int32_t x = 0; x < 1280; ++x) {
            if (pixel(x, y) != yellow) continue;
            const bool in_band =
                x - 640 <= 300 && 640 - x <= 300 && y - 384 <= 140 && 384 - y <= 140;
            ++(in_band ? inside : outside);
        }
    }
    EXPECT_EQ(outside, 0);
    // 10,000 clouds, some sharing a pixel: thousands of dots, never more than the clouds.
    EXPECT_GT(inside, 4000);
    EXPECT_LE(inside, 10000);

    press("space");
    press("space");
    EXPECT_EQ(WaitForSingleObject(program.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    press("Escape");
    // Test programs running beside this one share the Wine desktop and may take the focus
    // away for a moment, losing the key; a second Escape then does it.
    if (WaitForSingleObject(program.hProcess, 5000) == WAIT_TIMEOUT) press("Escape");
    EXPECT_EQ(exit_code(), 0);
}

TEST_F(Application, CloseButtonEndsTheProgram) {
    Sleep(500);
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(exit_code(), 0);
}

} // namespace
