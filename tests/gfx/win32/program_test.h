// A fixture for tests of a whole program of this build: started as a child process, seen
// through its window on the X display, typed at with xdotool, and ended by force if it still
// runs when the test ends.
#pragma once
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <string>

class ProgramTest : public testing::Test {
  protected:
    // Skips the test where xwd, ImageMagick or xdotool are missing.
    void SetUp() override;
    void TearDown() override;
    // The command line that runs the program at a host path with the given arguments.
    static std::string command_line(const char* host_path, const std::string& arguments = "");
    // Runs command (the program's path quoted, then its arguments) and waits up to 20 s for
    // its window of the given class (and title, when not null). startup may give the
    // standard handles; they are then inherited.
    void start_program(std::string command, const char* window_class, const char* title = nullptr,
                       STARTUPINFOA* startup = nullptr);
    // Keys typed on the display (xdotool's arguments) with the pointer over a client point:
    // without a window manager, keys go where the pointer is.
    void type_on_window(const std::string& xdotool_arguments, POINT client_point,
                        DWORD settle_ms = 300);
    // Escape typed until the program ends: a test program running beside this one shares the
    // Wine desktop and may take the focus away for a moment, losing the key.
    void press_escape(POINT client_point);
    // The program's exit code, or -1 when it still runs after the given time.
    int32_t exit_code(DWORD milliseconds = 10000);
    PROCESS_INFORMATION program{};
    HWND window = nullptr;
};
