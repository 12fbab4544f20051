// The counted screen lock, dirty-line marking, and the work and visible pages.
#include "gfx/internal/draw_state.h"
#include "gfx/internal/gfx_context.h"
#include "gfx/screen.h"
#include "runtime/runtime.h"

void mark_lines(int32_t first, int32_t last) {
    gfx_context* c = gfx_screen;
    if (first < 0) first = 0;
    if (last < 0) last = c->height - 1;
    if (first > last || last >= c->height) return;
    draw_state* s = get_draw_state();
    if (s && s->work_page == c->visible_page) fill_bytes(c->dirty + first, 1, last - first + 1);
}

bool dirty_span(int32_t* first, int32_t* last) {
    const gfx_context* c = gfx_screen;
    if (!c || !c->dirty) return false;
    int32_t f = 0;
    while (f < c->height && !c->dirty[f])
        ++f;
    if (f == c->height) return false;
    int32_t l = c->height - 1;
    while (!c->dirty[l])
        --l;
    *first = f;
    *last = l;
    return true;
}

namespace {

draw_state* screen_target() {
    draw_state* s = get_draw_state();
    if (!s) return nullptr;
    prepare_target(s, nullptr);
    select_transfer(s, 0xFF000000u);
    return s;
}

void mark_all_dirty(gfx_context* c) { fill_bytes(c->dirty, 1, c->height); }

} // namespace

int32_t page_set(int32_t work, int32_t visible) {
    gfx_context* c = gfx_screen;
    if (!c) return -1;
    draw_state* s = screen_target();
    if (!s) return -1;
    int32_t previous = (c->visible_page << 8) | s->work_page;
    if (work < 0 && visible < 0) work = visible = 0;
    if (work >= 0 && work < c->num_pages) {
        s->work_page = work;
        for (int32_t i = 0; i < c->height; ++i)
            s->lines[i] = c->pages[work] + static_cast<ptrdiff_t>(i) * c->pitch;
    }
    if (visible >= 0 && visible < c->num_pages && visible != c->visible_page) {
        screen_lock();
        c->visible_page = visible;
        c->visible_buffer = c->pages[visible];
        mark_all_dirty(c);
        screen_unlock(1, 0);
    }
    return previous;
}

int32_t page_copy(int32_t source, int32_t destination) {
    gfx_context* c = gfx_screen;
    if (!c) return error_set(error_argument);
    if (c->driver && c->driver->flip) {
        c->driver->flip();
        if (c->driver->poll_events) c->driver->poll_events();
        return error_set(error_none); // a flip presents the frame: that is success
    }
    draw_state* s = screen_target();
    if (!s) return error_set(error_argument);
    if (source < 0) source = s->work_page;
    if (source >= c->num_pages) return error_set(error_argument);
    if (destination < 0) destination = c->visible_page;
    if (destination >= c->num_pages) return error_set(error_argument);
    uint8_t* from = c->pages[source];
    uint8_t* to = c->pages[destination];
    if (from == to) return error_set(error_none);
    bool marking = to == c->visible_buffer && !(c->flags & context_locked);
    if (marking) screen_lock();
    int32_t offset = s->view_y * c->pitch + c->bpp * s->view_x;
    for (int32_t line = 0; line < s->view_h; ++line)
        copy_bytes(to + offset + line * c->pitch, from + offset + line * c->pitch,
                   static_cast<size_t>(c->bpp) * s->view_w);
    if (c->char_cells && c->char_cells[source] && c->char_cells[destination])
        copy_bytes(c->char_cells[destination], c->char_cells[source],
                   sizeof(char_cell) * c->text_cols * c->text_rows);
    if (marking) {
        if (s->view_h > 0) fill_bytes(c->dirty + s->view_y, 1, s->view_h);
        screen_unlock(1, 0);
    }
    return error_set(error_none);
}

uint8_t* screen_ptr() {
    if (!gfx_screen) return nullptr;
    draw_state* s = screen_target();
    if (!s) return nullptr;
    return gfx_screen->pages[s->work_page];
}
