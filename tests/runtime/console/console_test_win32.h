// A real console for the Windows tests: allocated once per program (a program started without
// a terminal has none), with standard input and output pointing at it.
#pragma once
#include "runtime/console/console.h"

#include <windows.h>

#include <string>

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

// The characters of a row of the console's buffer, from column 0.
inline std::string console_row_text(HANDLE output, int row, int length = 80) {
    std::string cells(static_cast<size_t>(length), '\0');
    DWORD read = 0;
    ReadConsoleOutputCharacterA(output, cells.data(), static_cast<DWORD>(length),
                                COORD{0, static_cast<SHORT>(row)}, &read);
    cells.resize(read);
    return cells;
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
