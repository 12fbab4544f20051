#include "runtime/console/console_device_win32.h"

#include "runtime/console/console.h"

console_device console_state;

void console_state_clear() {
    console_state = console_device{};
}

void console_handles_fetch() {
    if (console_state.handles_fetched) return;
    console_state.handles_fetched = 1;
    console_state.console_input = GetStdHandle(STD_INPUT_HANDLE);
    console_state.console_buffers[0] = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (console_state.console_input && GetConsoleMode(console_state.console_input, &mode))
        SetConsoleMode(console_state.console_input, mode | ENABLE_PROCESSED_INPUT);
}

HANDLE console_output() {
    console_handles_fetch();
    return console_state.console_buffers[console_state.active_buffer];
}

void console_region_read() {
    if (console_state.region_fixed) return;
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(console_output(), &info)) {
        console_state.console_region = SMALL_RECT{};
        console_state.saved_window = SMALL_RECT{};
        return;
    }
    // The text screen spans the buffer's full width and the rows the window shows.
    console_state.console_region = SMALL_RECT{
        0, info.srWindow.Top, static_cast<SHORT>(info.dwSize.X - 1), info.srWindow.Bottom};
    console_state.saved_window = info.srWindow;
}

void console_region_ensure() {
    console_handles_fetch();
    if (console_state.region_read) return;
    console_state.region_read = 1;
    console_region_read();
}

bool console_absent() {
    const SMALL_RECT& region = console_state.console_region;
    return region.Left == region.Right || region.Top == region.Bottom;
}
