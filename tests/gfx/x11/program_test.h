// A fixture for tests of a whole program of the native build: started as a child process, seen
// through its window on the X display, typed at with xdotool, and ended by force if it still
// runs when the test ends. The native counterpart of the Windows builds' fixture.
#pragma once
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/gfx/screenshot.h"

class ProgramTest : public testing::Test {
  protected:
    // Skips the test without an X display or xdotool.
    void SetUp() override;
    void TearDown() override;
    // Runs the program at path with the arguments, its standard input a file holding input, and
    // waits up to 20 s for its window of the given class.
    void start_program(const char* path, const std::vector<std::string>& arguments,
                       const char* window_class, const std::string& input = "");
    // Keys typed on the display (xdotool's arguments): the window has the keyboard focus.
    void type_on_window(const std::string& xdotool_arguments, int settle_ms = 300);
    void press_escape();
    // The program's exit code, or -1 when it still runs after the given time.
    int32_t exit_code(int milliseconds = 10000);
    // A screenshot and where the window's client area starts in it.
    window_shot shoot();
    pid_t program = 0;
    Window window = None;
};
