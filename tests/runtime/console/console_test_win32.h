// A real console for the Windows tests: allocated once per program (a program started without
// a terminal has none), with standard input and output pointing at it.
#pragma once
#include "runtime/console/console.h"

#include <windows.h>

struct test_console {
    HANDLE input;
    HANDLE output;
};

inline test_console console_for_test() {
    static test_console console = [] {
        FreeConsole();
        AllocConsole();
        test_console opened;
        opened.input =
            CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        nullptr, OPEN_EXISTING, 0, nullptr);
        opened.output =
            CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        nullptr, OPEN_EXISTING, 0, nullptr);
        return opened;
    }();
    SetStdHandle(STD_INPUT_HANDLE, console.input);
    SetStdHandle(STD_OUTPUT_HANDLE, console.output);
    console_state_clear(); // the run-time fetches the new handles on its next use
    return console;
}

// A file in the temporary folder standing in for a redirected standard handle.
inline HANDLE redirect_file(const char* name) {
    char path[MAX_PATH];
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    wsprintfA(path, "%s%s", folder, name);
    return CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE,
                       nullptr);
}
