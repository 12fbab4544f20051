// Printing on the Win32 console: the console screen buffer as a device of the text output
// engine, with the pending wrap, scrolling of the text view or of the whole buffer, and a
// console window that follows the output down a taller buffer.
#include "runtime/console/console_print_win32.h"

#include "runtime/console/console.h"
#include "runtime/console/console_device_win32.h"

#include <algorithm>

int32_t console_wrap_pending = 0;
BOOL(WINAPI* console_buffer_info)(HANDLE, CONSOLE_SCREEN_BUFFER_INFO*) = GetConsoleScreenBufferInfo;
BOOL(WINAPI* console_write_file)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED) = WriteFile;

namespace {

constexpr WORD default_attribute = 7;
constexpr int32_t default_buffer_width = 80;
constexpr int32_t default_buffer_height = 25;

COORD cell(int32_t column, int32_t row) {
    return COORD{static_cast<SHORT>(column), static_cast<SHORT>(row)};
}

SMALL_RECT rectangle(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    return SMALL_RECT{static_cast<SHORT>(left), static_cast<SHORT>(top), static_cast<SHORT>(right),
                      static_cast<SHORT>(bottom)};
}

console_print_device* device_of(const text_output* record) {
    return static_cast<console_print_device*>(record->device);
}

// Rows first to last of the record's columns become spaces in the device's attribute.
void clear_rows(const text_output* record, int32_t first, int32_t last) {
    const console_print_device* device = device_of(record);
    auto width = static_cast<DWORD>(record->right - record->left + 1);
    for (int32_t row = first; row <= last; ++row) {
        DWORD done = 0;
        FillConsoleOutputAttribute(device->output, device->attribute, width,
                                   cell(record->left, row), &done);
        FillConsoleOutputCharacterA(device->output, ' ', width, cell(record->left, row), &done);
    }
}

void scroll_rectangle(const console_print_device* device, SMALL_RECT source, COORD destination) {
    CHAR_INFO fill;
    fill.Char.AsciiChar = ' ';
    fill.Attributes = device->attribute;
    ScrollConsoleScreenBufferA(device->output, &source, nullptr, destination, &fill);
}

// Redirected output: the bytes as they are, the rest again after a partial write.
void write_unchanged(HANDLE output, const char* bytes, int32_t length) {
    while (length > 0) {
        DWORD written = 0;
        // A write that reports no progress would repeat for ever: take it as failed.
        if (!console_write_file(output, bytes, static_cast<DWORD>(length), &written, nullptr) ||
            written == 0)
            return;
        bytes += written;
        length -= static_cast<int32_t>(written);
    }
}

} // namespace

int32_t console_write_run(text_output* record, const char* bytes, int32_t count) {
    const console_print_device* device = device_of(record);
    // The engine never writes more than its buffer at once; a longer run goes in pieces.
    CHAR_INFO cells[text_output_buffer_size];
    int32_t column = record->cursor_x;
    while (count > 0) {
        int32_t piece = std::min(count, text_output_buffer_size);
        for (int32_t i = 0; i < piece; ++i) {
            cells[i].Char.AsciiChar = bytes[i];
            cells[i].Attributes = device->attribute;
        }
        SMALL_RECT target =
            rectangle(column, record->cursor_y, column + piece - 1, record->cursor_y);
        if (!WriteConsoleOutputA(device->output, cells, cell(piece, 1), cell(0, 0), &target))
            return 0;
        bytes += piece;
        count -= piece;
        column += piece;
    }
    return 1;
}

void console_scroll(text_output* record, int32_t /*left*/, int32_t /*top*/, int32_t /*right*/,
                    int32_t /*bottom*/, int32_t rows) {
    if (rows <= 0) return;
    console_print_device* device = device_of(record);
    const int32_t left = record->left, right = record->right;
    if (device->view_is_part) {
        const int32_t top = record->top, bottom = record->bottom;
        const int32_t height = bottom - top + 1;
        if (rows < height) {
            scroll_rectangle(device, rectangle(left, top + rows, right, bottom), cell(left, top));
            // Source and destination do not meet when fewer rows stay than go: the rows
            // between them keep their text unless cleared.
            int32_t staying = height - rows;
            if (staying < rows) clear_rows(record, top + staying, bottom);
        } else {
            clear_rows(record, top, bottom);
        }
        record->cursor_y = bottom;
        return;
    }

    // A taller buffer has room below the region: move the region down before scrolling.
    const int32_t buffer_height = device->buffer_height;
    if (record->bottom + 1 < buffer_height) {
        int32_t moved = std::min(rows, buffer_height - record->bottom - 1);
        record->top += moved;
        record->bottom += moved;
        if (moved == rows) return; // the cursor row, below the old bottom, is now inside
        rows -= moved;
    }
    if (rows < buffer_height) {
        scroll_rectangle(device, rectangle(0, rows, device->buffer_width - 1, buffer_height - 1),
                         cell(0, 0));
        if (buffer_height - rows < rows)
            clear_rows(record, buffer_height - rows, buffer_height - 1);
    } else {
        clear_rows(record, record->top, record->bottom);
    }
    record->cursor_y = record->bottom;
}

void console_print(const char* bytes, int32_t length, int32_t mask) {
    if (length <= 0 && !(mask & 0x8)) return;
    if (length < 0) length = 0;
    HANDLE output = console_output();
    // The region as last read: empty when redirected, or before any console operation has
    // read it.
    if (console_absent()) {
        write_unchanged(output, bytes, length);
        return;
    }
    const SMALL_RECT region = console_state.console_region;
    const int32_t view_first = view_top_row() + 1, view_last = view_bottom_row() + 1;

    console_print_device device{};
    device.region_left = region.Left;
    device.region_top = region.Top;
    device.region_right = region.Right;
    device.region_bottom = region.Bottom;
    device.output = output;

    text_output engine{};
    engine.device = &device;
    engine.scroll = console_scroll;
    engine.write = console_write_run;
    engine.left = region.Left;
    engine.top = region.Top + view_first - 1;
    engine.right = region.Left + (region.Right - region.Left + 1) - 1;
    engine.bottom = region.Top + view_last - 1;
    device.view_is_part = engine.top != region.Top || engine.bottom != region.Bottom;

    CONSOLE_SCREEN_BUFFER_INFO info;
    if (console_buffer_info(output, &info)) {
        device.buffer_width = info.dwSize.X;
        device.buffer_height = info.dwSize.Y;
        device.attribute = info.wAttributes;
        engine.cursor_x = info.dwCursorPosition.X;
        engine.cursor_y = info.dwCursorPosition.Y;
    } else {
        device.buffer_width = default_buffer_width;
        device.buffer_height = default_buffer_height;
        device.attribute = default_attribute;
        engine.cursor_x = engine.left;
        engine.cursor_y = engine.top;
    }

    if (console_wrap_pending) {
        console_wrap_pending = 0;
        engine.cursor_x = engine.left;
        engine.cursor_y += 1;
        if (engine.cursor_y > engine.bottom)
            console_scroll(&engine, engine.left, engine.top, engine.right, engine.bottom,
                           engine.cursor_y - engine.bottom);
    }

    print_text(&engine, bytes, length, 1);

    if (engine.cursor_x == engine.left && engine.cursor_y == engine.bottom + 1) {
        // Output ended exactly at the view's last cell: park there rather than scroll a row
        // that may never be written.
        engine.cursor_x = engine.right;
        engine.cursor_y = engine.bottom;
        console_wrap_pending = 1;
    } else if (engine.cursor_y > engine.bottom) {
        console_scroll(&engine, engine.left, engine.top, engine.right, engine.bottom,
                       engine.cursor_y - engine.bottom);
    }
    SetConsoleCursorPosition(output, cell(engine.cursor_x, engine.cursor_y));

    if (engine.top != region.Top && !device.view_is_part) {
        SMALL_RECT window = rectangle(engine.left, engine.top, engine.right, engine.bottom);
        SetConsoleWindowInfo(output, TRUE, &window);
    }
    console_region_read();
}
