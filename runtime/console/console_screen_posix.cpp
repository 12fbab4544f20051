// The native build's text screen: the terminal on standard output, driven with ANSI
// sequences. Without a terminal the screen is absent and reports 80 x 25. The terminal's size
// belongs to its user, so text_width reports it rather than changing it.
#include "runtime/console/console.h"
#include "runtime/console/console_screen.h"
#include "runtime/internal/console_hooks.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>

namespace {

struct terminal_screen {
    int32_t cursor_row;    // 1-based; the terminal cannot be asked without a reply to wait for
    int32_t cursor_column; // 1-based
    int32_t cursor_visible;
};

terminal_screen screen{1, 1, 1};

bool terminal_present() {
    return isatty(STDOUT_FILENO) == 1;
}

void terminal_write(const char* bytes, int length) {
    while (length > 0) {
        ssize_t written = write(STDOUT_FILENO, bytes, static_cast<size_t>(length));
        if (written <= 0) return;
        bytes += written;
        length -= static_cast<int>(written);
    }
}

void cursor_move(int32_t row, int32_t column) {
    char sequence[32];
    int length = std::snprintf(sequence, sizeof sequence, "\x1b[%d;%dH", row, column);
    terminal_write(sequence, length);
    screen.cursor_row = row;
    screen.cursor_column = column;
}

} // namespace

void console_state_clear() {
    screen = terminal_screen{1, 1, 1};
}

void text_screen_size(int32_t* columns, int32_t* rows) {
    if (console_hooks.size) {
        console_hooks.size(columns, rows);
        return;
    }
    winsize size{};
    bool known = terminal_present() && ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 &&
                 size.ws_col > 0 && size.ws_row > 0;
    if (columns) *columns = known ? size.ws_col : 80;
    if (rows) *rows = known ? size.ws_row : 25;
}

int32_t text_width(int32_t columns, int32_t rows) {
    if (console_hooks.width) return console_hooks.width(columns, rows);
    if (!terminal_present()) return 0;
    int32_t current_columns = 0, current_rows = 0;
    text_screen_size(&current_columns, &current_rows);
    return static_cast<int32_t>(static_cast<uint16_t>(current_columns)) |
           static_cast<int32_t>(static_cast<uint32_t>(current_rows) << 16);
}

void text_clear(int32_t mode) {
    if (console_hooks.clear) {
        console_hooks.clear(mode);
        return;
    }
    if (!terminal_present() || mode == 1) return;
    if (mode != 2 && mode != -65536) {
        terminal_write("\x1b[2J", 4);
        cursor_move(1, 1);
        return;
    }
    int32_t first = view_top_row() + 1, last = view_bottom_row() + 1;
    for (int32_t row = last; row >= first; --row) {
        cursor_move(row, 1);
        terminal_write("\x1b[2K", 4);
    }
    cursor_move(first, 1);
}

void view_update() {
    if (console_hooks.view_update) console_hooks.view_update();
}

int32_t console_locate(int32_t row, int32_t column, int32_t cursor_visible) {
    if (!terminal_present()) return 0;
    if (row < 1) row = screen.cursor_row;
    if (column < 1) column = screen.cursor_column;
    int32_t result = (column & 0xFF) | ((row & 0xFF) << 8) | (screen.cursor_visible ? 0x10000 : 0);
    if (cursor_visible >= 0) {
        screen.cursor_visible = cursor_visible != 0;
        terminal_write(cursor_visible ? "\x1b[?25h" : "\x1b[?25l", 6);
    }
    cursor_move(row, column);
    return result;
}

int32_t console_cursor_column() {
    return screen.cursor_column;
}
