// The graphics screen's line editor (a block cursor at the insertion point, backspace across
// row starts) and line input through the run-time's line reader.
#include "gfx/gfx_context.h"
#include "gfx/graphics_text.h"
#include "gfx/input_state.h"
#include "runtime/line_input.h"
#include "runtime/print.h"
#include "runtime/runtime.h"
#include "runtime/text.h"

namespace {

constexpr char block = static_cast<char>(219);
constexpr int32_t key_bell = 7;
constexpr int32_t key_backspace = 8;
constexpr int32_t key_enter = 13;

void print_at(int32_t column, int32_t row, const char* bytes, int32_t count) {
    text_locate_graphics(row + 1, column + 1, -1);
    text_print_graphics(bytes, count, 0);
    text_locate_graphics(row + 1, column + 1, -1);
}

// The block at the insertion point, where the cursor stays. A pending wrap is settled first:
// the next character goes to the start of the next row, and so does the block.
void show_block() {
    text_print_graphics(nullptr, 0, print_settle_wrap);
    print_at(gfx_screen->cursor_x, gfx_screen->cursor_y, &block, 1);
}

// One cell back (from column 0 to the end of the previous row, never above row 0), then the
// block there and a space over its old place.
void step_back() {
    const gfx_context* c = gfx_screen;
    int32_t x = c->cursor_x, y = c->cursor_y;
    if (x > 0) {
        --x;
    } else if (y > 0) {
        x = c->text_cols - 1;
        --y;
    }
    const char block_and_space[2] = {block, ' '};
    print_at(x, y, block_and_space, 2);
}

void print_prompt(text* prompt, int32_t question) {
    text_print_graphics(nullptr, 0, print_settle_wrap);
    const auto length = static_cast<int32_t>(text_length(prompt));
    if (length > 0) text_print_graphics(text_bytes(prompt), length, 0);
    text_release(prompt);
    if (question) text_print_graphics("? ", 2, 0);
}

} // namespace

char* read_string_graphics(char* buffer, int32_t size) {
    if (!gfx_screen || !buffer) return nullptr;
    int32_t held = 0;
    show_block();
    for (;;) {
        const int32_t key = key_wait_graphics();
        if (key == 0) return nullptr; // the screen has gone
        if (key > 255 || key == key_bell) continue;
        if (key == key_backspace) {
            if (held > 0) {
                --held;
                step_back();
            }
            continue;
        }
        const char echo = static_cast<char>(key);
        if (key == key_enter) {
            print_at(gfx_screen->cursor_x, gfx_screen->cursor_y, " ", 1);
            if (held < size - 1) {
                buffer[held++] = echo;
                text_print_graphics(&echo, 1, 0);
            }
            break;
        }
        if (held < size - 1) {
            buffer[held++] = echo;
            text_print_graphics(&echo, 1, 0);
            show_block();
        }
    }
    if (size > 0) buffer[held] = 0;
    return buffer;
}

int32_t line_input_graphics(text* prompt, text* destination, int32_t size, int32_t fill,
                            int32_t question, int32_t newline) {
    print_prompt(prompt, question);
    text* line = line_read();
    if (newline) text_print_graphics("\r\n", 2, 0);
    if (!line) return error_set(error_memory);
    return line_store(destination, size, fill, line);
}

int32_t line_input_wide_graphics(text* prompt, void* destination, int32_t size, int32_t fill,
                                 int32_t question, int32_t newline) {
    print_prompt(prompt, question);
    text* line = line_read();
    if (newline) text_print_graphics("\r\n", 2, 0);
    if (!line) return error_set(error_memory);
    return line_store_wide(destination, size, fill, line);
}
