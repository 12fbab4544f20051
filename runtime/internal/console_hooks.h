// The run-time core's table of 27 optional console operations. The graphics library fills it
// while a screen is open; every entry is absent (null) otherwise, and each run-time operation
// falls back to the text console when its entry is absent.
#pragma once
#include <cstdint>

struct text;

struct console_hooks_table {
    text* (*key_read_text)();                                  // 1 read a key as text
    int32_t (*key_wait)();                                     // 2 wait for a key, its code
    int32_t (*key_hit)();                                      // 3 is a key waiting
    void (*clear)(int32_t mode);                               // 4 clear screen or view
    uint32_t (*color)(uint32_t fg, uint32_t bg, int32_t flags); // 5 set colours
    int32_t (*locate)(int32_t row, int32_t column, int32_t visible); // 6 set the cursor
    int32_t (*width)(int32_t columns, int32_t rows);           // 7 set the text grid size
    int32_t (*column)();                                       // 8 cursor column, 1-based
    int32_t (*row)();                                          // 9 cursor row, 1-based
    void (*position)(int32_t* column, int32_t* row);           // 10 both coordinates
    void (*size)(int32_t* columns, int32_t* rows);             // 11 grid size
    void (*print)(const char* bytes, int32_t length, int32_t mask);            // 12
    void (*print_wide)(const uint16_t* units, int32_t length, int32_t mask);   // 13
    char* (*read_string)(char* buffer, int32_t size);          // 14 read a line
    int32_t (*key_down)(int32_t scancode);                     // 15 state of one key
    int32_t (*get_mouse)(int32_t* x, int32_t* y, int32_t* wheel, int32_t* buttons,
                         int32_t* clip);                       // 16 read the mouse
    int32_t (*set_mouse)(int32_t x, int32_t y, int32_t cursor, int32_t clip); // 17
    int32_t (*port_read)(int32_t port);                        // 18
    int32_t (*port_write)(int32_t port, int32_t value);        // 19
    void (*view_update)();                                     // 20 does nothing
    int32_t (*line_input)(text* prompt, text* destination, int32_t size, int32_t fill,
                          int32_t question, int32_t newline);  // 21
    int32_t (*line_input_wide)(text* prompt, void* destination, int32_t size, int32_t fill,
                               int32_t question, int32_t newline); // 22
    uint32_t (*read_cell)(int32_t column, int32_t row, int32_t what); // 23
    void (*sleep)(int32_t milliseconds);                       // 24
    int32_t (*input_redirected)();                             // 25 always 0
    int32_t (*page_copy)(int32_t source, int32_t destination); // 26
    int32_t (*page_set)(int32_t work, int32_t visible);        // 27
};

static_assert(sizeof(console_hooks_table) == 27 * sizeof(void*), "27 slots");

extern console_hooks_table console_hooks;
