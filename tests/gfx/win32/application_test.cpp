// The program itself under the GDI and DirectDraw drivers: what its window shows, and its two
// ways of ending; and the fall-back to GDI where DirectDraw cannot start.
#include <gtest/gtest.h>

#include <windows.h>
// After windows.h, which it needs.
#include <tlhelp32.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "tests/gfx/win32/test_window.h"

namespace {

constexpr uint32_t white = 0xFFFFFF;
constexpr uint32_t yellow = 0xFFFF00;

// Whether a process has loaded a module of the given name.
bool has_module(DWORD process, const char* name) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, process);
    if (snapshot == INVALID_HANDLE_VALUE) return false;
    bool found = false;
    MODULEENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Module32First(snapshot, &entry); more && !found;
         more = Module32Next(snapshot, &entry))
        found = _stricmp(entry.szModule, name) == 0;
    CloseHandle(snapshot);
    return found;
}

class Application : public testing::Test {
  protected:
    void SetUp() override {
        if (!host_tool_available("xwd") || !host_tool_available("convert") ||
            !host_tool_available("xdotool"))
            GTEST_SKIP() << "xwd, ImageMagick or xdotool missing";
        remove_overrides(); // left behind by a run that was stopped
    }
    // Starts the program with QXGFX (null: unset), without ddraw.dll when asked, and waits for
    // its window.
    void launch(const char* driver, bool without_ddraw = false) {
        // Wine gives a child the WINEDLLOVERRIDES of its own start, not of the parent's
        // environment block; its per-program overrides in the registry do reach it.
        if (without_ddraw) {
            HKEY key = nullptr;
            ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, program_overrides, 0, nullptr, 0,
                                      KEY_SET_VALUE, nullptr, &key, nullptr),
                      ERROR_SUCCESS);
            RegSetValueExA(key, "ddraw", 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1);
            RegCloseKey(key);
        }
        SetEnvironmentVariableA("QXGFX", driver);
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
        remove_overrides();
        ASSERT_NE(window, nullptr);
    }
    static void remove_overrides() {
        RegDeleteKeyA(HKEY_CURRENT_USER, program_overrides);
        RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\clouddisk.exe");
    }
    static constexpr const char* program_overrides =
        "Software\\Wine\\AppDefaults\\clouddisk.exe\\DllOverrides";
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
    void expect_disk_shown();
    screenshot shot;
    POINT origin{};
    PROCESS_INFORMATION program{};
    HWND window = nullptr;
};

// Every mode set opens the same window; only the DirectDraw driver loads ddraw.dll.
class ApplicationOn : public Application, public testing::WithParamInterface<const char*> {
  protected:
    void SetUp() override {
        Application::SetUp();
        if (IsSkipped()) return;
        launch(GetParam());
    }
    bool directdraw() const { return std::strcmp(GetParam(), "DirectX") == 0; }
};

// The marker in the middle and the yellow dots, all inside the disk's band.
void Application::expect_disk_shown() {
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
}

TEST_P(ApplicationOn, ShowsTheDiskAroundTheSourceAndEndsOnEscape) {
    EXPECT_EQ(has_module(program.dwProcessId, "ddraw.dll"), directdraw());
    expect_disk_shown();
    press("space");
    press("space");
    EXPECT_EQ(WaitForSingleObject(program.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    press("Escape");
    // Test programs running beside this one share the Wine desktop and may take the focus
    // away for a moment, losing the key; a second Escape then does it.
    if (WaitForSingleObject(program.hProcess, 5000) == WAIT_TIMEOUT) press("Escape");
    EXPECT_EQ(exit_code(), 0);
}

TEST_P(ApplicationOn, CloseButtonEndsTheProgram) {
    Sleep(500);
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(exit_code(), 0);
}

INSTANTIATE_TEST_SUITE_P(Drivers, ApplicationOn, testing::Values("GDI", "DirectX"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param);
                         });

// Without DirectDraw the first driver of the list fails and GDI presents instead.
TEST_F(Application, FallsBackToGdiWhereDirectDrawCannotStart) {
    launch(nullptr, true);
    EXPECT_FALSE(has_module(program.dwProcessId, "ddraw.dll"));
    expect_disk_shown();
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(exit_code(), 0);
}

} // namespace
