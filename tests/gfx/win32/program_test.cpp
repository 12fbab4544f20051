#include "tests/gfx/win32/program_test.h"

#include "tests/gfx/win32/test_window.h"

void ProgramTest::SetUp() {
    if (!host_tool_available("xwd") || !host_tool_available("convert") ||
        !host_tool_available("xdotool"))
        GTEST_SKIP() << "xwd, ImageMagick or xdotool missing";
}

void ProgramTest::TearDown() {
    if (!program.hProcess) return;
    if (WaitForSingleObject(program.hProcess, 0) == WAIT_TIMEOUT)
        TerminateProcess(program.hProcess, 99);
    CloseHandle(program.hProcess);
    CloseHandle(program.hThread);
    program = PROCESS_INFORMATION{};
    window = nullptr;
}

std::string ProgramTest::command_line(const char* host_path, const std::string& arguments) {
    // Appended piece by piece: GCC 12 misreads a text put before a string as an overlap.
    std::string command = "\"";
    command += windows_path(host_path);
    command += "\" ";
    command += arguments;
    return command;
}

void ProgramTest::start_program(std::string command, const char* window_class, const char* title,
                                STARTUPINFOA* startup) {
    STARTUPINFOA plain{};
    plain.cb = sizeof plain;
    const BOOL inherit = startup != nullptr;
    ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, inherit, 0, nullptr,
                               nullptr, startup ? startup : &plain, &program));
    for (int waited = 0; waited < 20000 && !window; waited += 50) {
        window = FindWindowA(window_class, title);
        Sleep(50);
    }
    ASSERT_NE(window, nullptr) << "no window of class " << window_class;
}

void ProgramTest::type_on_window(const std::string& xdotool_arguments, POINT client_point,
                                 DWORD settle_ms) {
    SetForegroundWindow(window);
    ClientToScreen(window, &client_point);
    SetCursorPos(client_point.x, client_point.y);
    run_host_command("xdotool " + xdotool_arguments);
    Sleep(settle_ms);
}

void ProgramTest::press_escape(POINT client_point) {
    type_on_window("key Escape", client_point);
    if (WaitForSingleObject(program.hProcess, 5000) == WAIT_TIMEOUT)
        type_on_window("key Escape", client_point);
}

int32_t ProgramTest::exit_code(DWORD milliseconds) {
    if (WaitForSingleObject(program.hProcess, milliseconds) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(program.hProcess, &code);
    return static_cast<int32_t>(code);
}
