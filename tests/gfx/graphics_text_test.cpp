// Text on the graphics screen, natively with the null driver: framebuffer pixels against the
// glyph bitmaps, the character cells, the cursor and the dirty lines.
#include "gfx/builtin_data.h"
#include "gfx/draw_state.h"
#include "gfx/gfx_context.h"
#include "gfx/graphics_text.h"
#include "gfx/input_state.h"
#include "gfx/screen.h"
#include "runtime/console/console.h"
#include "runtime/console_hooks.h"
#include "runtime/line_input.h"
#include "runtime/os/os.h"
#include "runtime/print.h"
#include "runtime/runtime.h"
#include "runtime/text.h"

#include "tests/gfx/locking_driver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

namespace {

uint32_t pixel_at(int32_t page, int32_t x, int32_t y) {
    const gfx_context* c = gfx_screen;
    const uint8_t* line = c->pages[page] + static_cast<size_t>(y) * c->pitch;
    if (c->bpp == 1) return line[x];
    if (c->bpp == 2) return reinterpret_cast<const uint16_t*>(line)[x];
    return reinterpret_cast<const uint32_t*>(line)[x];
}

// Pixels of cell (column, row), 0-based, that differ from the glyph of code in fg on bg.
int32_t glyph_mismatches(int32_t column, int32_t row, uint8_t code, uint32_t fg, uint32_t bg,
                         int32_t page = 0) {
    const font_desc* f = gfx_screen->font;
    int32_t wrong = 0;
    for (uint32_t r = 0; r < f->height; ++r)
        for (int32_t bit = 0; bit < 8; ++bit) {
            const bool set = (f->glyphs[code * f->height + r] >> bit) & 1;
            if (pixel_at(page, column * 8 + bit, static_cast<int32_t>(row * f->height + r)) !=
                (set ? fg : bg))
                ++wrong;
        }
    return wrong;
}

const char_cell& cell(int32_t column, int32_t row, int32_t page = 0) {
    return gfx_screen->char_cells[page][row * gfx_screen->text_cols + column];
}

// The characters of a cell row, columns first to last.
std::string row_text(int32_t row, int32_t first = 0, int32_t last = -1) {
    if (last < 0) last = gfx_screen->text_cols - 1;
    std::string s;
    for (int32_t col = first; col <= last; ++col)
        s += static_cast<char>(cell(col, row).code);
    return s;
}

void print(const char* s) {
    print_bytes(s, static_cast<int32_t>(std::strlen(s)), 0);
}

void post_keys(std::initializer_list<int32_t> codes) {
    for (int32_t code : codes)
        post_key(code);
}

std::string dirty_lines() {
    std::string marks;
    for (int32_t i = 0; i < gfx_screen->height; ++i)
        marks += gfx_screen->dirty[i] ? '1' : '0';
    return marks;
}
std::string marked(int32_t first, int32_t last) {
    std::string marks(static_cast<size_t>(gfx_screen->height), '0');
    for (int32_t i = first; i <= last; ++i)
        marks[i] = '1';
    return marks;
}
void clear_dirty() {
    std::memset(gfx_screen->dirty, 0, gfx_screen->height);
}

class GraphicsText : public testing::Test {
  protected:
    void SetUp() override {
        runtime_start();
        os_set_environment("QXGFX", "null");
        key_buffer_clear();
    }
    void TearDown() override {
        close_screen();
        driver_list = default_driver_list;
        set_view_rows(-1, -1);
        os_set_environment("QXGFX", nullptr);
        key_buffer_clear();
    }
    // 640 x 480 x 32 with the 8 x 16 font: an 80 x 30 grid.
    void open_vga32() { ASSERT_EQ(screen_mode(18, 32, 1, 0, 0), 0); }
};

TEST_F(GraphicsText, PrintDrawsGlyphsAndCellsAtEveryDepth) {
    struct screen_case {
        int32_t mode; // 0: by resolution
        int32_t depth;
        uint32_t fg, bg; // the default colours
    };
    const screen_case cases[] = {
        {0, 32, 0xFFFFFFFFu, 0xFF000000u},
        {0, 16, 0xFFFF, 0},
        {13, 8, 15, 0},
        {12, 4, 15, 0},
        {1, 2, 3, 0},
        {11, 1, 1, 0},
    };
    for (const screen_case& k : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << k.mode << " depth " << k.depth);
        ASSERT_EQ(k.mode ? screen_mode(k.mode, 0, 1, 0, 0) : screen_res(640, 480, k.depth, 1, 0, 0),
                  0);
        ASSERT_EQ(gfx_screen->depth, k.depth);
        clear_dirty();
        EXPECT_EQ(text_locate(3, 4, -1), 0x0304);
        print("A\xE9");
        EXPECT_EQ(glyph_mismatches(3, 2, 'A', k.fg, k.bg), 0);
        EXPECT_EQ(glyph_mismatches(4, 2, 0xE9, k.fg, k.bg), 0);
        EXPECT_EQ(cell(3, 2).code, 'A');
        EXPECT_EQ(cell(3, 2).foreground, k.fg);
        EXPECT_EQ(cell(3, 2).background, k.bg);
        EXPECT_EQ(console_hooks.read_cell(5, 3, 0), 233u);
        const int32_t h = static_cast<int32_t>(gfx_screen->font->height);
        EXPECT_EQ(dirty_lines(), marked(2 * h, 3 * h - 1));
        EXPECT_EQ(gfx_screen->cursor_x, 5);
        EXPECT_EQ(gfx_screen->cursor_y, 2);
        if (k.mode == 13) {
            // The 8 x 8 "A" starts with the row 0x0C: pixels 2 and 3 of its top row.
            EXPECT_EQ(pixel_at(0, 3 * 8 + 1, 16), 0u);
            EXPECT_EQ(pixel_at(0, 3 * 8 + 2, 16), 15u);
            EXPECT_EQ(pixel_at(0, 3 * 8 + 3, 16), 15u);
            EXPECT_EQ(pixel_at(0, 3 * 8 + 4, 16), 0u);
        }
    }

    // Wide text: units above 255 become "?", a surrogate pair one of them.
    open_vga32();
    const uint16_t units[] = {'H', 0x263A, 0xD83D, 0xDE00, 'i'};
    console_hooks.print_wide(units, 5, 0);
    EXPECT_EQ(row_text(0, 0, 4), "H??i ");
}

TEST_F(GraphicsText, UnderlineIsASingle255) {
    open_vga32();
    print("A");
    text_locate(1, 1, -1);
    print("\xFF");
    const font_desc* f = gfx_screen->font;
    int32_t wrong = 0;
    for (int32_t r = 0; r < 16; ++r)
        for (int32_t bit = 0; bit < 8; ++bit) {
            const bool set = r == 15 || ((f->glyphs['A' * 16 + r] >> bit) & 1);
            wrong += pixel_at(0, bit, r) != (set ? 0xFFFFFFFFu : 0xFF000000u);
        }
    EXPECT_EQ(wrong, 0) << "the glyph stays, its bottom row is the foreground";
    EXPECT_EQ(cell(0, 0).code, 255);
    EXPECT_EQ(gfx_screen->cursor_x, 1);
    // Two of them draw the blank glyph of 255.
    print("A\xFF\xFF");
    EXPECT_EQ(glyph_mismatches(2, 0, 0, 0xFFFFFFFFu, 0xFF000000u), 0);
    EXPECT_EQ(glyph_mismatches(3, 0, 0, 0xFFFFFFFFu, 0xFF000000u), 0);
}

TEST_F(GraphicsText, PrintToTheEndOfTheBottomRowParksWithPendingWrap) {
    open_vga32();
    print("top");
    text_locate(30, 1, -1);
    print(std::string(80, 'x').c_str());
    EXPECT_TRUE(gfx_screen->flags & context_wrap_pending);
    EXPECT_EQ(gfx_screen->cursor_x, 79);
    EXPECT_EQ(gfx_screen->cursor_y, 29);
    EXPECT_EQ(row_text(0, 0, 2), "top") << "nothing has scrolled yet";
    EXPECT_EQ(text_locate(30, 80, -1) & 0xFFFF, 0x1E50);
    EXPECT_FALSE(gfx_screen->flags & context_wrap_pending) << "placing the cursor clears the wrap";

    text_locate(30, 1, -1);
    print(std::string(80, 'x').c_str());
    print("Y");
    EXPECT_EQ(row_text(0, 0, 2), "   ") << "the next print scrolled first";
    EXPECT_EQ(row_text(28), std::string(80, 'x'));
    EXPECT_EQ(row_text(29, 0, 1), "Y ");
    EXPECT_EQ(glyph_mismatches(0, 29, 'Y', 0xFFFFFFFFu, 0xFF000000u), 0);
    EXPECT_EQ(glyph_mismatches(79, 28, 'x', 0xFFFFFFFFu, 0xFF000000u), 0);
    EXPECT_EQ(gfx_screen->cursor_x, 1);
    EXPECT_FALSE(gfx_screen->flags & context_wrap_pending);

    // A placement that names no position moves nothing and keeps the wrap pending, also when
    // an invalid position is retried as one.
    for (int32_t column : {0, 81}) {
        text_locate(30, 1, -1);
        print((std::string(79, 'D') + "E").c_str());
        text_locate(0, column, 0);
        print("N");
        EXPECT_EQ(row_text(28), std::string(79, 'D') + "E") << column;
        EXPECT_EQ(row_text(29, 0, 1), "N ") << column;
    }
}

TEST_F(GraphicsText, ScrollsTheViewByOneRowAndByItsHeight) {
    open_vga32();
    text_locate(4, 1, -1);
    print("above");
    text_locate(11, 1, -1);
    print("below");
    ASSERT_NE(text_view(5, 10, 1), 0);
    EXPECT_EQ(gfx_screen->cursor_y, 4);
    print("r5\nr6\nr7\nr8\nr9\nr10");
    clear_dirty();
    print("\n");
    EXPECT_EQ(row_text(4, 0, 2), "r6 ");
    EXPECT_EQ(row_text(8, 0, 2), "r10");
    EXPECT_EQ(row_text(9, 0, 2), "   ");
    EXPECT_EQ(glyph_mismatches(1, 4, '6', 0xFFFFFFFFu, 0xFF000000u), 0);
    EXPECT_EQ(glyph_mismatches(2, 8, '0', 0xFFFFFFFFu, 0xFF000000u), 0);
    EXPECT_EQ(glyph_mismatches(0, 9, ' ', 0xFFFFFFFFu, 0xFF000000u), 0);
    EXPECT_EQ(row_text(3, 0, 4), "above");
    EXPECT_EQ(row_text(10, 0, 4), "below");
    EXPECT_EQ(glyph_mismatches(0, 10, 'b', 0xFFFFFFFFu, 0xFF000000u), 0);
    EXPECT_EQ(dirty_lines(), marked(4 * 16, 10 * 16 - 1));
    EXPECT_EQ(gfx_screen->cursor_x, 0);
    EXPECT_EQ(gfx_screen->cursor_y, 9);

    // Six line feeds on the bottom row scroll by the view's height: all of it is cleared.
    print("\n\n\n\n\n\n");
    for (int32_t row = 4; row <= 9; ++row) {
        EXPECT_EQ(row_text(row), std::string(80, ' '));
        EXPECT_EQ(glyph_mismatches(0, row, ' ', 0xFFFFFFFFu, 0xFF000000u), 0);
    }
    EXPECT_EQ(row_text(3, 0, 4), "above");
    EXPECT_EQ(row_text(10, 0, 4), "below");
}

// 640 x 4 has no text row: printing and clearing the text view draw nothing outside it.
TEST_F(GraphicsText, AScreenLowerThanOneTextRowPrintsNothing) {
    ASSERT_EQ(screen_res(640, 4, 32, 1, 0, 0), 0);
    ASSERT_EQ(gfx_screen->text_rows, 0);
    print("A\nB");
    text_clear(2);
    for (int32_t y = 0; y < 4; ++y)
        for (int32_t x = 0; x < 640; ++x)
            ASSERT_EQ(pixel_at(0, x, y), 0xFF000000u) << x << "," << y;
    EXPECT_EQ(text_column_graphics(), 1);
}

TEST_F(GraphicsText, HiddenWorkPageTakesTextWithoutMarks) {
    ASSERT_EQ(screen_mode(18, 32, 2, 0, 0), 0);
    page_set(1, 0);
    clear_dirty();
    print("hidden");
    EXPECT_EQ(dirty_lines(), marked(1, 0));
    EXPECT_EQ(cell(0, 0, 1).code, 'h');
    EXPECT_EQ(glyph_mismatches(0, 0, 'h', 0xFFFFFFFFu, 0xFF000000u, 1), 0);
    EXPECT_EQ(pixel_at(0, 1, 2), 0xFF000000u) << "the visible page is untouched";
}

TEST_F(GraphicsText, TextWidthTakesOnlyFontCells) {
    ASSERT_EQ(screen_res(640, 400, 32, 1, 0, 0), 0);
    print("gone");
    draw_state* s = get_draw_state();
    s->view_x = 10;
    s->view_w = 20;
    s->flags |= draw_view_set;
    EXPECT_EQ(text_width(0, 0), 80 | 50 << 16);
    EXPECT_EQ(text_width(80, 30), 80 | 50 << 16) << "cells of 8 x 13 are refused";
    EXPECT_EQ(gfx_screen->font, font8x8());
    EXPECT_EQ(row_text(0, 0, 3), "gone");

    EXPECT_EQ(text_width(80, 25), 80 | 50 << 16);
    EXPECT_EQ(gfx_screen->font, font8x16());
    EXPECT_EQ(gfx_screen->text_cols, 80);
    EXPECT_EQ(gfx_screen->text_rows, 25);
    EXPECT_EQ(s->view_x, 0);
    EXPECT_EQ(s->view_w, 640);
    EXPECT_FALSE(s->flags & draw_view_set);
    EXPECT_EQ(view_top_row(), 0);
    EXPECT_EQ(view_bottom_row(), 24);
    EXPECT_EQ(row_text(0, 0, 3), "    ");
    EXPECT_EQ(pixel_at(0, 2, 3), 0xFF000000u);
    EXPECT_EQ(text_width(0, 0), 80 | 25 << 16);
    // The new grid takes text to its last cell.
    text_locate(25, 80, -1);
    print("z");
    EXPECT_EQ(glyph_mismatches(79, 24, 'z', 0xFFFFFFFFu, 0xFF000000u), 0);
}

TEST_F(GraphicsText, LocateAndCursorQueries) {
    open_vga32();
    EXPECT_EQ(text_locate(5, 10, -1), 0x050A);
    EXPECT_EQ(gfx_screen->cursor_x, 9);
    EXPECT_EQ(gfx_screen->cursor_y, 4);
    EXPECT_EQ(print_column, 9);
    EXPECT_EQ(console_hooks.column(), 10);
    EXPECT_EQ(console_hooks.row(), 5);
    EXPECT_EQ(console_hooks.locate(0, 3, -1), 0x0503) << "row 0 keeps the row";
    int32_t column = 0, row = 0, columns = 0, rows = 0;
    console_hooks.position(&column, &row);
    text_screen_size(&columns, &rows);
    EXPECT_EQ(column, 3);
    EXPECT_EQ(row, 5);
    EXPECT_EQ(columns, 80);
    EXPECT_EQ(rows, 30);

    // Past the grid the hook takes its last row and column.
    EXPECT_EQ(console_hooks.locate(INT32_MAX, INT32_MAX, -1), 0x1D4F + 0x101);
    print("AB"); // "B" on a new row: the view scrolls
    EXPECT_EQ(row_text(28, 79), "A");
    EXPECT_EQ(row_text(29, 0, 0), "B");
}

TEST_F(GraphicsText, ClearInItsFourForms) {
    open_vga32();
    // Every cell a full block: every pixel the foreground.
    for (int32_t row = 1; row <= 30; ++row) {
        text_locate(row, 1, -1);
        print(std::string(80, '\xDB').c_str());
    }
    const uint32_t white = 0xFFFFFFFFu, black = 0xFF000000u;
    ASSERT_EQ(pixel_at(0, 0, 0), white);
    ASSERT_EQ(pixel_at(0, 639, 479), white);

    // No argument after a graphics view was set: the view alone; the cursor stays.
    draw_state* s = get_draw_state();
    s->view_x = 100;
    s->view_y = 50;
    s->view_w = 200;
    s->view_h = 100;
    s->flags |= draw_view_set;
    text_locate(3, 5, -1);
    clear_dirty();
    text_clear(text_clear_unspecified);
    EXPECT_EQ(pixel_at(0, 100, 50), black);
    EXPECT_EQ(pixel_at(0, 299, 149), black);
    EXPECT_EQ(pixel_at(0, 99, 50), white) << "left of the view";
    EXPECT_EQ(pixel_at(0, 300, 149), white) << "right of the view";
    EXPECT_EQ(pixel_at(0, 150, 49), white) << "above the view";
    EXPECT_EQ(pixel_at(0, 150, 150), white) << "below the view";
    EXPECT_EQ(dirty_lines(), marked(50, 149));
    EXPECT_EQ(gfx_screen->cursor_x, 4);
    EXPECT_EQ(gfx_screen->cursor_y, 2);
    EXPECT_EQ(s->last_x, 200.0f);
    EXPECT_EQ(s->last_y, 100.0f);
    EXPECT_EQ(cell(15, 4).code, 0xDB) << "cells belong to the text view, not the graphics view";

    // Without a graphics view and with a text view of part of the grid: the text view.
    reset_view();
    ASSERT_NE(text_view(5, 10, 0), 0);
    s->last_x = s->last_y = 7.0f;
    text_clear(text_clear_unspecified);
    EXPECT_EQ(row_text(4), std::string(80, ' '));
    EXPECT_EQ(row_text(9), std::string(80, ' '));
    EXPECT_EQ(row_text(3, 0, 0), "\xDB");
    EXPECT_EQ(row_text(10, 0, 0), "\xDB");
    EXPECT_EQ(pixel_at(0, 9, 4 * 16), black);
    EXPECT_EQ(pixel_at(0, 9, 10 * 16 - 1), black);
    EXPECT_EQ(pixel_at(0, 9, 4 * 16 - 1), white);
    EXPECT_EQ(pixel_at(0, 9, 10 * 16), white);
    EXPECT_EQ(gfx_screen->cursor_x, 0);
    EXPECT_EQ(gfx_screen->cursor_y, 4);
    EXPECT_EQ(s->last_x, 7.0f) << "the text view's form keeps the last point";

    // Mode 0: everything; the cursor to the text view's top, the last point to the centre.
    text_clear(0);
    EXPECT_EQ(row_text(0), std::string(80, ' '));
    EXPECT_EQ(row_text(29), std::string(80, ' '));
    EXPECT_EQ(pixel_at(0, 639, 479), black);
    EXPECT_EQ(pixel_at(0, 0, 0), black);
    EXPECT_EQ(gfx_screen->cursor_y, 4);
    EXPECT_EQ(s->last_x, 320.0f);
    EXPECT_EQ(s->last_y, 240.0f);

    // Mode 1 without a graphics view: the whole screen's view, cells kept.
    print("k");
    text_clear(1);
    EXPECT_EQ(glyph_mismatches(0, 4, ' ', white, black), 0);
    EXPECT_EQ(cell(0, 4).code, 'k');
}

TEST_F(GraphicsText, ColoursByModeAndCellsAtEveryDepth) {
    ASSERT_EQ(screen_mode(18, 16, 1, 0, 0), 0);
    EXPECT_EQ(text_color_graphics(0xFFFF8040u, 0xFF102030u, 0), 0xFFFFFFFFu);
    EXPECT_EQ(get_draw_state()->fg_color, 0xFC08u);
    EXPECT_EQ(get_draw_state()->bg_color, 0x1106u);
    print("Z");
    EXPECT_EQ(glyph_mismatches(0, 0, 'Z', 0xFC08u, 0x1106u), 0);
    EXPECT_EQ(console_hooks.read_cell(1, 1, 1), 0xFFFF8242u) << "5:6:5 widened";
    EXPECT_EQ(console_hooks.read_cell(1, 1, 2), 0xFF102031u);
    EXPECT_EQ(text_color_graphics(0, 0, 3), 0xFFFF8242u) << "nothing given: colours stay";
    EXPECT_EQ(console_hooks.read_cell(0, 1, 0), 0u);
    EXPECT_EQ(console_hooks.read_cell(81, 1, 0), 0u);
    EXPECT_EQ(console_hooks.read_cell(1, 31, 0), 0u);

    open_vga32();
    text_color_graphics(0x80FF0000u, 0xFF0000FFu, 0);
    print("R");
    EXPECT_EQ(console_hooks.read_cell(1, 1, 1), 0x80FF0000u);
    EXPECT_EQ(console_hooks.read_cell(1, 1, 2), 0xFF0000FFu);
    EXPECT_EQ(text_color_graphics(0, 0, 3), 0x80FF0000u);

    ASSERT_EQ(screen_mode(13, 0, 1, 0, 0), 0);
    EXPECT_EQ(text_color_graphics(300, 2, 0), 15u);
    print("8");
    EXPECT_EQ(console_hooks.read_cell(1, 1, 1), 44u + 2 * 256);
    EXPECT_EQ(glyph_mismatches(0, 0, '8', 44, 2), 0);

    ASSERT_EQ(screen_mode(12, 0, 1, 0, 0), 0);
    text_color_graphics(0x1E, 0x13, 0);
    print("4");
    EXPECT_EQ(console_hooks.read_cell(1, 1, 1), 0xEu + 3 * 16);

    // Modes 7 to 9: the foreground is a pixel value, the background recolours entry 0.
    ASSERT_EQ(screen_mode(7, 0, 1, 0, 0), 0);
    EXPECT_EQ(text_color_graphics(20, 1, 0), 15u);
    EXPECT_EQ(get_draw_state()->fg_color, 4u);
    EXPECT_EQ(get_draw_state()->bg_color, 0u);
    EXPECT_EQ(gfx_screen->device_palette[0], 0xAA0000u);

    // Mode 1: the background picks the attribute map, the foreground colours entry 0.
    ASSERT_EQ(screen_mode(1, 0, 1, 0, 0), 0);
    text_color_graphics(2, 1, 0);
    EXPECT_EQ(gfx_screen->color_map[1], 3);
    EXPECT_EQ(gfx_screen->color_map[3], 7);
    EXPECT_EQ(gfx_screen->color_map[0], 2);
    EXPECT_EQ(get_draw_state()->fg_color, 3u);
}

TEST_F(GraphicsText, ReadStringEditsWithBackspaces) {
    open_vga32();
    text_locate(3, 1, -1);
    post_keys({'a', 'b', 'c', 8, 8, 'd', 7, 0x4BFF, 13});
    char buffer[16];
    EXPECT_EQ(console_hooks.read_string(buffer, sizeof buffer), buffer);
    EXPECT_STREQ(buffer, "ad\r");
    EXPECT_EQ(row_text(2, 0, 3), "ad  ") << "no block left behind";
    EXPECT_EQ(glyph_mismatches(2, 2, ' ', 0xFFFFFFFFu, 0xFF000000u), 0);
    EXPECT_EQ(gfx_screen->cursor_x, 0) << "Enter echoes as a carriage return";

    // Backspace across the start of a row, never past what was typed.
    text_locate(3, 80, -1);
    post_keys({'x', 'y', 8, 8, 8, 'z'});
    post_keys({13});
    EXPECT_EQ(console_hooks.read_string(buffer, sizeof buffer), buffer);
    EXPECT_STREQ(buffer, "z\r");
    EXPECT_EQ(cell(79, 2).code, 'z');
    EXPECT_EQ(cell(0, 3).code, ' ');
    EXPECT_EQ(cell(1, 3).code, ' ');

    // A small buffer holds size - 1 characters; Enter is kept only when there is room.
    text_locate(10, 1, -1);
    post_keys({'a', 'b', 'c', 13});
    EXPECT_EQ(console_hooks.read_string(buffer, 3), buffer);
    EXPECT_STREQ(buffer, "ab");
    EXPECT_EQ(row_text(9, 0, 2), "ab ");

    close_screen();
    EXPECT_EQ(read_string_graphics(buffer, sizeof buffer), nullptr);
}

TEST_F(GraphicsText, ReadStringShowsTheBlockWhileItWaits) {
    // A thread stands in for the window thread: it looks at the cells under the driver's lock
    // and types Enter once the block stands after the typed "q".
    os_set_environment("QXGFX", nullptr);
    driver_list = locking_list;
    open_vga32();
    post_keys({'q'});
    std::atomic<bool> seen{false};
    std::thread window([&] {
        for (int32_t i = 0; i < 500 && !seen; ++i) {
            {
                std::lock_guard<std::mutex> held(window_mutex);
                if (cell(1, 0).code == 219) {
                    seen = true;
                    post_key(13);
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (!seen) {
            std::lock_guard<std::mutex> held(window_mutex);
            post_key(13);
        }
    });
    char buffer[8];
    console_hooks.read_string(buffer, sizeof buffer);
    window.join();
    EXPECT_TRUE(seen);
    EXPECT_STREQ(buffer, "q\r");
    EXPECT_EQ(row_text(0, 0, 1), "q ");
    EXPECT_EQ(glyph_mismatches(1, 0, ' ', 0xFFFFFFFFu, 0xFF000000u), 0);
}

TEST_F(GraphicsText, LineInputPrintsThePromptAndStoresTheLine) {
    open_vga32();
    post_keys({'B', 'o', 'b', 13});
    text destination{};
    EXPECT_EQ(line_input(text_make("Name", 4), &destination, -1, 0, 1, 1), 0);
    EXPECT_EQ(std::string(text_bytes(&destination), text_length(&destination)), "Bob");
    EXPECT_EQ(row_text(0, 0, 9), "Name? Bob ");
    EXPECT_EQ(gfx_screen->cursor_x, 0);
    EXPECT_EQ(gfx_screen->cursor_y, 1);
    EXPECT_EQ(text_pool_in_use(), 0);

    // A field of five bytes, filled with spaces; then the wide twin into a buffer of units.
    post_keys({'A', 'l', 13});
    EXPECT_EQ(line_input(nullptr, &destination, 5, 1, 0, 0), 0);
    EXPECT_EQ(std::string(text_bytes(&destination), text_length(&destination)), "Al   ");
    text_free(&destination);
    post_keys({'\xE9', 'x', 'y', 13});
    uint16_t units[3] = {1, 1, 1};
    EXPECT_EQ(line_input_wide(nullptr, units, 3, 0, 0, 1), 0);
    EXPECT_EQ(units[0], 0xE9);
    EXPECT_EQ(units[1], 'x');
    EXPECT_EQ(units[2], 0);
}

TEST_F(GraphicsText, HooksFollowTheScreen) {
    open_vga32();
    EXPECT_NE(console_hooks.clear, nullptr);
    EXPECT_NE(console_hooks.print, nullptr);
    EXPECT_NE(console_hooks.read_string, nullptr);
    EXPECT_NE(console_hooks.line_input_wide, nullptr);
    EXPECT_NE(console_hooks.read_cell, nullptr);
    ASSERT_NE(text_view(5, 10, 1), 0);
    // Closed by a program (not at its end): the console gets its whole screen back.
    ASSERT_EQ(screen_mode(0, 0, 0, 0, 0), 0);
    const console_hooks_table empty{};
    EXPECT_EQ(std::memcmp(&console_hooks, &empty, sizeof empty), 0);
    int32_t rows = 0;
    text_screen_size(nullptr, &rows);
    EXPECT_EQ(view_top_row(), 0);
    EXPECT_EQ(view_bottom_row(), rows - 1) << "the console's own rows (25 without a terminal)";
}

} // namespace
