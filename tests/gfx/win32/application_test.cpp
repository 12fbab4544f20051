// The program itself under the GDI and DirectDraw drivers: what its window shows, and its two
// ways of ending; and the fall-back to GDI where DirectDraw cannot start.
#include <gtest/gtest.h>

#include <windows.h>
// After windows.h, which it needs.
#include <tlhelp32.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "tests/gfx/win32/program_test.h"
#include "tests/gfx/win32/test_window.h"

namespace {

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

class Application : public ProgramTest {
  protected:
    void SetUp() override {
        ProgramTest::SetUp();
        if (IsSkipped()) return;
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
        start_program(command_line(CLOUDDISK_PROGRAM), "qxgfxclass_clouddisk");
        SetEnvironmentVariableA("QXGFX", nullptr);
        remove_overrides();
    }
    static void remove_overrides() {
        RegDeleteKeyA(HKEY_CURRENT_USER, program_overrides);
        RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\clouddisk.exe");
    }
    static constexpr const char* program_overrides =
        "Software\\Wine\\AppDefaults\\clouddisk.exe\\DllOverrides";
    void press(const char* key) { type_on_window(std::string("key ") + key, POINT{100, 100}); }
    // A screenshot and where the window's client area starts in it.
    void shoot() {
        shot = take_screenshot();
        origin = POINT{0, 0};
        ClientToScreen(window, &origin);
    }
    void expect_disk_shown();
    screenshot shot;
    POINT origin{};
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

void Application::expect_disk_shown() {
    Sleep(3000);
    expect_disk_in_window([this] {
        shoot();
        return window_shot{shot, origin.x, origin.y};
    });
}

TEST_P(ApplicationOn, ShowsTheDiskAroundTheSourceAndEndsOnEscape) {
    EXPECT_EQ(has_module(program.dwProcessId, "ddraw.dll"), directdraw());
    expect_disk_shown();
    press("space");
    press("space");
    EXPECT_EQ(WaitForSingleObject(program.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    press_escape(POINT{100, 100});
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
