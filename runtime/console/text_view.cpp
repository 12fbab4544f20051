// The text view (the rows that output and clearing of the view use), cursor placement and the
// text colours, shared by both platforms above their console forms.
#include "runtime/console/console.h"
#include "runtime/console/console_screen.h"
#include "runtime/console_hooks.h"
#include "runtime/runtime.h"

namespace {

int32_t view_top = -1;    // 0-based; -1 unset
int32_t view_bottom = -1; // 0-based; -1 unset
bool screen_output_ready = false;

int32_t screen_rows() {
    int32_t rows = 0;
    text_screen_size(nullptr, &rows);
    return rows;
}

} // namespace

int32_t view_top_row() {
    if (view_top == -1) view_top = 0;
    return view_top;
}

int32_t view_bottom_row() {
    if (view_bottom == -1) {
        int32_t rows = screen_rows();
        view_bottom = rows != 0 ? rows - 1 : 24;
    }
    return view_bottom;
}

void set_view_rows(int32_t top, int32_t bottom) {
    view_top = top;
    view_bottom = bottom;
}

void view_rows_fit(int32_t rows) {
    if (rows < 1 || view_bottom < rows) return;
    if (view_top < rows) {
        view_bottom = rows - 1;
    } else {
        view_top = view_bottom = -1;
    }
}

int32_t text_view(int32_t top, int32_t bottom, int32_t move_cursor) {
    int32_t rows = screen_rows();
    if (rows == 0) rows = 25;
    bool changes = top >= 0 || bottom >= 0;
    if (top < 0)
        top = view_top_row() + 1;
    else if (top == 0)
        top = 1;
    if (bottom < 0)
        bottom = view_bottom_row() + 1;
    else if (bottom == 0)
        bottom = rows;
    if (bottom < top || top <= 0 || bottom <= 0 || top > rows || bottom > rows) return 0;
    if (changes) {
        set_view_rows(top - 1, bottom - 1);
        view_update();
        if (move_cursor) text_locate(top, 1, -1);
    }
    return static_cast<int32_t>(static_cast<uint32_t>(top) | (static_cast<uint32_t>(bottom) << 16));
}

int32_t text_locate(int32_t row, int32_t column, int32_t cursor_visible) {
    error_set(error_none);
    int32_t columns = 0;
    text_screen_size(&columns, nullptr);
    bool row_valid = row == 0 || (row >= view_top_row() + 1 && row <= view_bottom_row() + 1);
    bool column_valid = column == 0 || (column >= 1 && column <= columns);
    if (!row_valid || !column_valid) {
        // An invalid position is not applied; the visibility still is, and the error number
        // recorded here is cleared again by that second placement.
        error_set(error_argument);
        return text_locate(0, 0, cursor_visible);
    }
    if (!screen_output_ready) {
        screen_output_ready = true;
        print_column =
            (console_hooks.column ? console_hooks.column() : console_cursor_column()) - 1;
        print_width = columns;
    }
    int32_t result = console_hooks.locate ? console_hooks.locate(row, column, cursor_visible)
                                          : console_locate(row, column, cursor_visible);
    if (column > 0) print_column = column - 1;
    return result;
}

uint32_t text_color(uint32_t foreground, uint32_t background, int32_t flags) {
    return console_hooks.color ? console_hooks.color(foreground, background, flags) : 0;
}
