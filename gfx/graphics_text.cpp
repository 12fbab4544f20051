// Text on the graphics screen: printing through the run-time's text output engine, with glyphs
// drawn through the draw state's put_pixel; the character cells of each page; scrolling and
// clearing; colours, cursor and text grid.
#include "gfx/graphics_text.h"

#include "gfx/builtin_data.h"
#include "gfx/draw_state.h"
#include "gfx/gfx_context.h"
#include "gfx/palette.h"
#include "gfx/screen.h"
#include "runtime/console/console.h"
#include "runtime/print.h"
#include "runtime/runtime.h"
#include "runtime/text_output.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <emmintrin.h>

namespace {

constexpr uint8_t underline_code = 255; // a run of this one character underlines its cell
constexpr uint16_t space_code = 32;

// The engine's record with what the draw run and the scroll need, and the pixel lines they
// touched (first > last: none).
struct text_device {
    text_output record;
    gfx_context* c;
    draw_state* s;
    char_cell* cells; // of the work page
    int32_t first_line;
    int32_t last_line;
};

text_device* device_of(text_output* record) {
    return static_cast<text_device*>(record->device);
}

void touch(text_device* d, int32_t first, int32_t last) {
    d->first_line = std::min(d->first_line, first);
    d->last_line = std::max(d->last_line, last);
}

// The draw state with the screen as its target and the transfer chosen for colour.
draw_state* screen_state(uint32_t colour) {
    draw_state* s = get_draw_state();
    if (!s || !s->lines) return nullptr;
    prepare_target(s, nullptr);
    select_transfer(s, colour);
    return s;
}

// The text view's rows, kept inside the grid.
void view_rows(const gfx_context* c, int32_t* top, int32_t* bottom) {
    const int32_t last = std::max(c->text_rows - 1, 0);
    *top = std::clamp(view_top_row(), 0, last);
    *bottom = std::clamp(view_bottom_row(), *top, last);
}

void fill_cells(char_cell* cells, size_t count, uint32_t foreground, uint32_t background) {
    for (size_t i = 0; i < count; ++i)
        cells[i] = char_cell{space_code, foreground, background};
}

// Pixel lines first to last (inclusive) of the work page become the background, count pixels
// from column x.
void fill_lines(const draw_state* s, int32_t first, int32_t last, int32_t x, int32_t count) {
    const size_t offset = static_cast<size_t>(x) * s->target_bpp;
    for (int32_t line = first; line <= last; ++line)
        s->fill_pixels(s->lines[line] + offset, s->bg_color, static_cast<size_t>(count));
}

inline __m128i choose(__m128i mask, __m128i fg, __m128i bg) {
    return _mm_or_si128(_mm_and_si128(mask, fg), _mm_andnot_si128(mask, bg));
}

// The glyphs of n characters from pixel (x, y), line by line, eight pixels of a glyph row in one
// store: bit b of the row byte selects fg for pixel b. They are exactly the pixels that put_plain
// would store one by one, which is the transfer text_print selects.
template <int32_t bpp>
void draw_glyphs_plain(uint8_t* const* lines, int32_t x, int32_t y, const uint8_t* codes, int32_t n,
                       const font_desc* font, uint32_t fg, uint32_t bg) {
    __m128i f, b, low, high = _mm_setzero_si128();
    if constexpr (bpp == 4) {
        f = _mm_set1_epi32(static_cast<int32_t>(fg));
        b = _mm_set1_epi32(static_cast<int32_t>(bg));
        low = _mm_setr_epi32(1, 2, 4, 8);
        high = _mm_setr_epi32(16, 32, 64, 128);
    } else if constexpr (bpp == 2) {
        f = _mm_set1_epi16(static_cast<int16_t>(fg));
        b = _mm_set1_epi16(static_cast<int16_t>(bg));
        low = _mm_setr_epi16(1, 2, 4, 8, 16, 32, 64, 128);
    } else {
        f = _mm_set1_epi8(static_cast<char>(fg));
        b = _mm_set1_epi8(static_cast<char>(bg));
        low = _mm_setr_epi8(1, 2, 4, 8, 16, 32, 64, static_cast<char>(128), 0, 0, 0, 0, 0, 0, 0, 0);
    }
    const auto h = static_cast<int32_t>(font->height);
    for (int32_t r = 0; r < h; ++r) {
        uint8_t* pixel = lines[y + r] + static_cast<size_t>(x) * bpp;
        const uint8_t* glyph_row = font->glyphs + r;
        for (int32_t i = 0; i < n; ++i, pixel += 8 * bpp) {
            const uint8_t bits = glyph_row[static_cast<size_t>(codes[i]) * h];
            if constexpr (bpp == 4) {
                const __m128i v = _mm_set1_epi32(bits);
                const __m128i first = choose(_mm_cmpeq_epi32(_mm_and_si128(v, low), low), f, b);
                const __m128i second = choose(_mm_cmpeq_epi32(_mm_and_si128(v, high), high), f, b);
                std::memcpy(pixel, &first, 16);
                std::memcpy(pixel + 16, &second, 16);
            } else if constexpr (bpp == 2) {
                const __m128i v = _mm_set1_epi16(bits);
                const __m128i eight = choose(_mm_cmpeq_epi16(_mm_and_si128(v, low), low), f, b);
                std::memcpy(pixel, &eight, 16);
            } else {
                const __m128i v = _mm_set1_epi8(static_cast<char>(bits));
                const __m128i eight = choose(_mm_cmpeq_epi8(_mm_and_si128(v, low), low), f, b);
                std::memcpy(pixel, &eight, 8);
            }
        }
    }
}

// The engine's write: count characters at the cursor cell, each glyph row bit by bit through
// put_pixel (or eight pixels at once for the plain transfer). Cells outside the grid are not
// drawn.
int32_t draw_run(text_output* record, const char* bytes, int32_t count) {
    text_device* d = device_of(record);
    const gfx_context* c = d->c;
    draw_state* s = d->s;
    const int32_t col = record->cursor_x, row = record->cursor_y;
    if (row < 0 || row >= c->text_rows || col < 0 || col >= c->text_cols) return 1;
    const font_desc* font = c->font;
    const auto w = static_cast<int32_t>(font->width), h = static_cast<int32_t>(font->height);
    const int32_t n = std::min({count, c->text_cols - col, c->width / w - col});
    const int32_t y = row * h;
    if (n <= 0 || y + h > c->height) return 1;
    const put_pixel_routine put = s->put_pixel;
    const uint32_t fg = s->fg_color, bg = s->bg_color;
    const auto* codes = reinterpret_cast<const uint8_t*>(bytes);
    if (count == 1 && codes[0] == underline_code) {
        for (int32_t bit = 0; bit < w; ++bit)
            put(s, col * w + bit, y + h - 1, fg);
    } else if (put == put_plain && w == 8 && s->target_bpp == 4) {
        draw_glyphs_plain<4>(s->lines, col * w, y, codes, n, font, fg, bg);
    } else if (put == put_plain && w == 8 && s->target_bpp == 2) {
        draw_glyphs_plain<2>(s->lines, col * w, y, codes, n, font, fg, bg);
    } else if (put == put_plain && w == 8 && s->target_bpp == 1) {
        draw_glyphs_plain<1>(s->lines, col * w, y, codes, n, font, fg, bg);
    } else {
        for (int32_t i = 0; i < n; ++i) {
            const uint8_t* glyph = font->glyphs + static_cast<size_t>(codes[i]) * h;
            const int32_t x = (col + i) * w;
            for (int32_t r = 0; r < h; ++r) {
                const uint32_t bits = glyph[r];
                for (int32_t bit = 0; bit < 8; ++bit)
                    put(s, x + bit, y + r, (bits >> bit) & 1 ? fg : bg);
            }
        }
    }
    touch(d, y, y + h - 1);
    char_cell* cell = d->cells + static_cast<size_t>(row) * c->text_cols + col;
    for (int32_t i = 0; i < n; ++i)
        cell[i] = char_cell{codes[i], fg, bg};
    return 1;
}

// The engine's scroll: rows top to bottom move up by rows rows, pixels and cells; the rows
// uncovered become the background and spaces.
void scroll_view(text_output* record, int32_t left, int32_t top, int32_t right, int32_t bottom,
                 int32_t rows) {
    text_device* d = device_of(record);
    const gfx_context* c = d->c;
    const draw_state* s = d->s;
    record->cursor_y = bottom;
    if (rows <= 0) return;
    const auto w = static_cast<int32_t>(c->font->width), h = static_cast<int32_t>(c->font->height);
    const int32_t x = left * w, pixels = (right - left + 1) * w;
    const size_t offset = static_cast<size_t>(x) * s->target_bpp;
    const auto columns = static_cast<size_t>(c->text_cols);
    const int32_t height = bottom - top + 1;
    if (rows >= height) {
        fill_lines(s, top * h, (bottom + 1) * h - 1, x, pixels);
        fill_cells(d->cells + top * columns, height * columns, s->fg_color, s->bg_color);
    } else {
        const int32_t shift = rows * h;
        for (int32_t line = (top + rows) * h; line < (bottom + 1) * h; ++line)
            copy_depth(s->lines[line - shift] + offset, s->lines[line] + offset,
                       static_cast<size_t>(pixels));
        fill_lines(s, (bottom + 1 - rows) * h, (bottom + 1) * h - 1, x, pixels);
        std::memmove(d->cells + top * columns, d->cells + (top + rows) * columns,
                     sizeof(char_cell) * (height - rows) * columns);
        fill_cells(d->cells + (bottom + 1 - rows) * columns, rows * columns, s->fg_color,
                   s->bg_color);
    }
    touch(d, top * h, (bottom + 1) * h - 1);
}

void scroll_below(text_device* d) {
    text_output* r = &d->record;
    scroll_view(r, r->left, r->top, r->right, r->bottom, r->cursor_y - r->bottom);
}

uint32_t widened_565(uint32_t pixel) {
    const uint32_t r5 = (pixel >> 11) & 31, g6 = (pixel >> 5) & 63, b5 = pixel & 31;
    return 0xFF000000u | (r5 << 3 | r5 >> 2) << 16 | (g6 << 2 | g6 >> 4) << 8 | (b5 << 3 | b5 >> 2);
}

// The font whose cells are w x h pixels, or null.
const font_desc* font_of_cell(int32_t w, int32_t h) {
    for (const font_desc& font : builtin_fonts)
        if (static_cast<int32_t>(font.width) == w && static_cast<int32_t>(font.height) == h)
            return &font;
    return nullptr;
}

// New cell arrays of columns x rows for every page (the work page's spaces in the current
// colours); on failure none is kept and the old ones stay.
bool reallocate_cells(gfx_context* c, const draw_state* s, int32_t columns, int32_t rows) {
    const size_t cells = static_cast<size_t>(columns) * rows;
    auto** arrays = static_cast<char_cell**>(screen_allocate(c->num_pages, sizeof(char_cell*)));
    if (!arrays) return false;
    for (int32_t i = 0; i < c->num_pages; ++i) {
        arrays[i] = static_cast<char_cell*>(screen_allocate(cells ? cells : 1, sizeof(char_cell)));
        if (!arrays[i]) {
            for (int32_t j = 0; j < i; ++j)
                std::free(arrays[j]);
            std::free(arrays);
            return false;
        }
    }
    fill_cells(arrays[s->work_page], cells, s->fg_color, s->bg_color);
    for (int32_t i = 0; i < c->num_pages; ++i)
        std::free(c->char_cells[i]);
    std::free(c->char_cells);
    c->char_cells = arrays;
    return true;
}

} // namespace

void text_print_graphics(const char* bytes, int32_t length, int32_t mask) {
    gfx_context* c = gfx_screen;
    if (!c || (length <= 0 && !(mask & print_settle_wrap))) return;
    if (c->text_cols < 1 || c->text_rows < 1) return; // a screen smaller than one text cell
    draw_state* s = screen_state(0xFF000000u);
    if (!s) return;
    screen_lock();
    text_device d{};
    d.c = c;
    d.s = s;
    d.cells = c->char_cells[s->work_page];
    d.first_line = c->height;
    d.last_line = -1;
    text_output& r = d.record;
    r.device = &d;
    r.scroll = scroll_view;
    r.write = draw_run;
    r.left = 0;
    r.right = c->text_cols - 1;
    view_rows(c, &r.top, &r.bottom);
    r.cursor_x = c->cursor_x;
    r.cursor_y = c->cursor_y;

    if (c->flags & context_wrap_pending) {
        c->flags &= ~context_wrap_pending;
        r.cursor_x = 0;
        r.cursor_y += 1;
        if (r.cursor_y > r.bottom) scroll_below(&d);
    }
    if (length > 0) print_text(&r, bytes, length, 1);
    if (r.cursor_x == 0 && r.cursor_y == r.bottom + 1) {
        // Ended exactly at the view's last cell: park there rather than scroll a row that may
        // never be written.
        c->flags |= context_wrap_pending;
        r.cursor_x = c->text_cols - 1;
        r.cursor_y = r.bottom;
    } else if (r.cursor_y > r.bottom) {
        scroll_below(&d);
    }
    c->cursor_x = r.cursor_x;
    c->cursor_y = r.cursor_y;
    if (d.first_line <= d.last_line)
        screen_unlock(d.first_line, d.last_line);
    else
        screen_unlock(1, 0);
}

void text_print_wide_graphics(const uint16_t* units, int32_t length, int32_t mask) {
    if (length <= 0 || !units) {
        text_print_graphics(nullptr, 0, mask);
        return;
    }
    // Pieces print as the whole would: a piece that ends at the view's end leaves the wrap
    // pending, and the next one settles it before it goes on.
    char bytes[text_output_buffer_size];
    int32_t count = 0;
    for (int32_t i = 0; i < length; ++i) {
        const uint16_t unit = units[i];
        if (unit < 256) {
            bytes[count++] = static_cast<char>(unit);
        } else {
            bytes[count++] = '?';
            if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < length) ++i;
        }
        if (count == text_output_buffer_size) {
            text_print_graphics(bytes, count, mask);
            count = 0;
        }
    }
    if (count > 0) text_print_graphics(bytes, count, mask);
}

void text_clear_graphics(int32_t mode) {
    gfx_context* c = gfx_screen;
    if (!c) return;
    draw_state* s = get_draw_state();
    if (!s || !s->lines) return;
    prepare_target(s, nullptr);
    select_transfer(s, s->bg_color);
    int32_t top, bottom;
    view_rows(c, &top, &bottom);
    if (mode == text_clear_unspecified) {
        if (s->flags & draw_view_set)
            mode = 1;
        else if (top == 0 && bottom == c->text_rows - 1)
            mode = 0;
        else
            mode = 2;
    }
    char_cell* cells = c->char_cells[s->work_page];
    const auto columns = static_cast<size_t>(c->text_cols);
    const auto h = static_cast<int32_t>(c->font->height);
    int32_t first, last;
    screen_lock();
    if (mode == 0) {
        first = 0;
        last = c->height - 1;
        fill_lines(s, first, last, 0, c->width);
        fill_cells(cells, columns * c->text_rows, s->fg_color, s->bg_color);
    } else if (mode == 2) {
        // A screen lower than one text row has no text view.
        const int32_t view_height = c->text_rows > 0 ? bottom - top + 1 : 0;
        first = top * h;
        last = std::min(first + view_height * h, c->height) - 1;
        fill_lines(s, first, last, 0, c->width);
        fill_cells(cells + top * columns, view_height * columns, s->fg_color, s->bg_color);
    } else {
        // A view reaching past the screen is cleared where it overlaps it.
        const int32_t x0 = std::max(s->view_x, 0), x1 = std::min(s->view_x + s->view_w, c->width);
        first = std::max(s->view_y, 0);
        last = std::min(s->view_y + s->view_h, c->height) - 1;
        if (x0 < x1) fill_lines(s, first, last, x0, x1 - x0);
    }
    if (first <= last)
        screen_unlock(first, last);
    else
        screen_unlock(1, 0);
    if (mode != 2) {
        s->last_x = static_cast<float>(s->view_x + s->view_w / 2);
        s->last_y = static_cast<float>(s->view_y + s->view_h / 2);
    }
    if (mode == 0 || mode == 2) text_locate_graphics(top + 1, 1, -1);
}

uint32_t text_color_graphics(uint32_t foreground, uint32_t background, int32_t flags) {
    gfx_context* c = gfx_screen;
    if (!c) return 0;
    draw_state* s = get_draw_state();
    if (!s) return 0;
    const uint32_t previous = c->depth <= 8    ? s->fg_color | s->bg_color << 16
                              : c->depth == 16 ? widened_565(s->fg_color)
                                               : s->fg_color;
    const bool given_fg = !(flags & 1), given_bg = !(flags & 2);
    switch (c->mode) {
    case 1:
        // The background chooses the attribute map; the foreground is the screen's background
        // colour, palette entry 0.
        if (given_bg) palette_change(static_cast<int32_t>(background & 3) - 4);
        if (given_fg) palette_change(0, static_cast<int32_t>(foreground));
        break;
    case 7:
    case 8:
    case 9:
        if (given_fg) s->fg_color = foreground & 15;
        if (given_bg) palette_change(0, static_cast<int32_t>(background));
        break;
    default: {
        auto pixel = [&](uint32_t colour) {
            return c->depth > 8 ? convert_color(s->target_bpp, colour) : colour & c->color_mask;
        };
        if (given_fg) s->fg_color = pixel(foreground);
        if (given_bg) s->bg_color = pixel(background);
        break;
    }
    }
    return previous;
}

int32_t text_locate_graphics(int32_t row, int32_t column, int32_t /*visible*/) {
    gfx_context* c = gfx_screen;
    if (!c) return 0;
    // The pending wrap belongs to the cursor's place: a placement that names neither row nor
    // column moves nothing and keeps it.
    if (row >= 1 || column >= 1) c->flags &= ~context_wrap_pending;
    // Past the grid is its last row or column: the text engine counts columns in 32 bits.
    if (row >= 1) c->cursor_y = std::min(row, std::max(c->text_rows, 1)) - 1;
    if (column >= 1) c->cursor_x = std::min(column, std::max(c->text_cols, 1)) - 1;
    print_column = c->cursor_x;
    return (((c->cursor_y & 0xFF) << 8) | (c->cursor_x & 0xFF)) + 0x101;
}

int32_t text_width_graphics(int32_t columns, int32_t rows) {
    gfx_context* c = gfx_screen;
    if (!c) return 0;
    const int32_t previous = static_cast<int32_t>(static_cast<uint32_t>(c->text_cols) |
                                                  static_cast<uint32_t>(c->text_rows) << 16);
    if (columns <= 0 && rows <= 0) return previous;
    const int32_t w = columns > 0 ? c->width / columns : static_cast<int32_t>(c->font->width);
    const int32_t h = rows > 0 ? c->height / rows : static_cast<int32_t>(c->font->height);
    const font_desc* font = font_of_cell(w, h);
    if (!font) return previous;
    draw_state* s = get_draw_state();
    if (!s) return previous;
    const int32_t new_columns = columns > 0 ? columns : c->text_cols;
    const int32_t new_rows = rows > 0 ? rows : c->text_rows;
    if (!reallocate_cells(c, s, new_columns, new_rows)) {
        error_set(error_memory);
        return previous;
    }
    c->font = font;
    c->text_cols = new_columns;
    c->text_rows = new_rows;
    reset_view();
    text_view(0, 0, 1);
    text_clear_graphics(0);
    return previous;
}

int32_t text_column_graphics() {
    return gfx_screen ? gfx_screen->cursor_x + 1 : 0;
}

int32_t text_row_graphics() {
    return gfx_screen ? gfx_screen->cursor_y + 1 : 0;
}

void text_position_graphics(int32_t* column, int32_t* row) {
    if (column) *column = text_column_graphics();
    if (row) *row = text_row_graphics();
}

void text_size_graphics(int32_t* columns, int32_t* rows) {
    if (columns) *columns = gfx_screen ? gfx_screen->text_cols : 0;
    if (rows) *rows = gfx_screen ? gfx_screen->text_rows : 0;
}

uint32_t read_cell_graphics(int32_t column, int32_t row, int32_t what) {
    gfx_context* c = gfx_screen;
    if (!c || column < 1 || column > c->text_cols || row < 1 || row > c->text_rows) return 0;
    const draw_state* s = get_draw_state();
    if (!s) return 0;
    const char_cell& cell =
        c->char_cells[s->work_page][static_cast<size_t>(row - 1) * c->text_cols + (column - 1)];
    if (what == 0) return cell.code;
    if (c->depth <= 4) return cell.foreground + cell.background * 16;
    if (c->depth <= 8) return cell.foreground + cell.background * 256;
    const uint32_t colour = what == 2 ? cell.background : cell.foreground;
    return c->depth == 16 ? widened_565(colour) : colour;
}
