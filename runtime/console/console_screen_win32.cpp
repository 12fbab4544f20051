#include "runtime/console/console.h"
#include "runtime/console/console_device_win32.h"
#include "runtime/console/console_print_win32.h"
#include "runtime/console/console_screen.h"
#include "runtime/console_hooks.h"

#include <algorithm>

namespace {

constexpr int32_t size_result(int32_t columns, int32_t rows) {
    return static_cast<int32_t>(static_cast<int16_t>(columns)) |
           static_cast<int32_t>(static_cast<uint32_t>(rows) << 16);
}

// Puts the cursor at an absolute buffer position; a coordinate below 0 keeps the current one,
// a visibility below 0 keeps the current visibility.
void place_cursor(int32_t column, int32_t row, int32_t visibility) {
    // A wrap left pending by the last print belongs to the cursor's place: a new place drops
    // it (kept, it would move the next print to the row below), a placement that names no
    // place moves nothing and keeps it.
    if (column >= 0 || row >= 0) console_wrap_pending = 0;
    HANDLE output = console_output();
    if (column < 0 || row < 0) {
        CONSOLE_SCREEN_BUFFER_INFO info;
        if (GetConsoleScreenBufferInfo(output, &info)) {
            if (column < 0) column = info.dwCursorPosition.X;
            if (row < 0) row = info.dwCursorPosition.Y;
        }
    }
    if (visibility >= 0) {
        CONSOLE_CURSOR_INFO cursor;
        if (GetConsoleCursorInfo(output, &cursor)) {
            cursor.bVisible = visibility != 0;
            SetConsoleCursorInfo(output, &cursor);
        }
    }
    SetConsoleCursorPosition(output, COORD{static_cast<SHORT>(std::max(column, 0)),
                                           static_cast<SHORT>(std::max(row, 0))});
}

} // namespace

void text_screen_size(int32_t* columns, int32_t* rows) {
    if (console_hooks.size) {
        console_hooks.size(columns, rows);
        return;
    }
    console_region_ensure();
    const SMALL_RECT& region = console_state.console_region;
    bool absent = console_absent();
    if (columns) *columns = absent ? 80 : region.Right - region.Left + 1;
    if (rows) *rows = absent ? 25 : region.Bottom - region.Top + 1;
}

int32_t text_width(int32_t columns, int32_t rows) {
    if (console_hooks.width) return console_hooks.width(columns, rows);
    console_region_ensure();
    if (console_absent()) return 0;

    HANDLE output = console_output();
    COORD largest = GetLargestConsoleWindowSize(output);
    int32_t current_columns = 0, current_rows = 0;
    text_screen_size(&current_columns, &current_rows);
    int32_t new_columns = columns >= 1 ? columns : current_columns;
    int32_t new_rows = rows >= 1 ? rows : current_rows;
    if (columns < 1 && rows < 1) return size_result(new_columns, new_rows);

    // The largest window the display allows is largest cells wide and high (0: not known).
    const int32_t window_columns =
        largest.X > 0 ? std::min<int32_t>(largest.X, new_columns) : new_columns;
    const int32_t window_rows = largest.Y > 0 ? std::min<int32_t>(largest.Y, new_rows) : new_rows;
    SMALL_RECT window{0, 0, static_cast<SHORT>(window_columns - 1),
                      static_cast<SHORT>(window_rows - 1)};
    // The window may never be larger than its buffer: shrink it inside the old buffer first.
    SMALL_RECT shrunk = window;
    bool shrink = false;
    if (window.Bottom < current_rows - 1) {
        shrunk.Right = static_cast<SHORT>(std::min<int32_t>(shrunk.Right, current_columns - 1));
        shrink = true;
    } else if (window.Right < current_columns - 1) {
        shrunk.Bottom = static_cast<SHORT>(std::min<int32_t>(shrunk.Bottom, current_rows - 1));
        shrink = true;
    }
    for (HANDLE buffer : console_state.console_buffers)
        if (buffer && shrink) SetConsoleWindowInfo(buffer, TRUE, &shrunk);
    for (HANDLE buffer : console_state.console_buffers) {
        if (!buffer) continue;
        SetConsoleScreenBufferSize(
            buffer, COORD{static_cast<SHORT>(new_columns), static_cast<SHORT>(new_rows)});
        SetConsoleWindowInfo(buffer, TRUE, &window);
    }
    console_state.region_fixed = 0;
    console_region_read();
    console_state.region_fixed = 1;
    // The size that was set: a window the display cannot show whole is smaller than asked.
    text_screen_size(&new_columns, &new_rows);
    view_rows_fit(new_rows);
    return size_result(new_columns, new_rows);
}

void text_clear(int32_t mode) {
    if (console_hooks.clear) {
        console_hooks.clear(mode);
        return;
    }
    console_region_ensure();
    if (console_absent() || mode == 1) return;

    const SMALL_RECT& region = console_state.console_region;
    int32_t first = region.Top, last = region.Bottom;
    if (mode == 2 || mode == -65536) {
        first = region.Top + view_top_row();
        last = region.Top + view_bottom_row();
    }
    HANDLE output = console_output();
    CONSOLE_SCREEN_BUFFER_INFO info;
    WORD attribute = GetConsoleScreenBufferInfo(output, &info) ? info.wAttributes : 7;
    DWORD width = static_cast<DWORD>(region.Right - region.Left + 1);
    for (int32_t row = last; row >= first; --row) {
        COORD start{region.Left, static_cast<SHORT>(row)};
        DWORD written = 0;
        FillConsoleOutputAttribute(output, attribute, width, start, &written);
        FillConsoleOutputCharacterA(output, ' ', width, start, &written);
    }
    place_cursor(region.Left, first, -1);
}

void view_update() {
    if (console_hooks.view_update) {
        console_hooks.view_update();
        return;
    }
    console_handles_fetch();
    console_state.region_read = 1;
    console_region_read();
}

int32_t console_locate(int32_t row, int32_t column, int32_t cursor_visible) {
    console_region_ensure();
    if (console_absent()) return 0;
    const SMALL_RECT& region = console_state.console_region;
    HANDLE output = console_output();

    // A coordinate not given stays the cursor's, and is not placed again.
    const int32_t place_column = column >= 1 ? region.Left + column - 1 : -1;
    const int32_t place_row = row >= 1 ? region.Top + row - 1 : -1;
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (row < 1 || column < 1) {
        if (!GetConsoleScreenBufferInfo(output, &info)) info.dwCursorPosition = COORD{0, 0};
        if (row < 1) row = info.dwCursorPosition.Y - region.Top + 1;
        if (column < 1) column = info.dwCursorPosition.X - region.Left + 1;
    }
    CONSOLE_CURSOR_INFO cursor;
    bool was_visible = GetConsoleCursorInfo(output, &cursor) && cursor.bVisible;
    int32_t result = (column & 0xFF) | ((row & 0xFF) << 8) | (was_visible ? 0x10000 : 0);
    place_cursor(place_column, place_row, cursor_visible);
    return result;
}

int32_t console_cursor_column() {
    console_region_ensure();
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (console_absent() || !GetConsoleScreenBufferInfo(console_output(), &info)) return 1;
    return info.dwCursorPosition.X - console_state.console_region.Left + 1;
}
