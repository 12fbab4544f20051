// Drawing state, targets, colour conversion, coordinate mapping and pixel plotting.
#include "gfx/draw_state.h"
#include "gfx/gfx_context.h"
#include "gfx/screen.h"
#include "runtime/runtime.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <emmintrin.h>

namespace {

draw_state no_state;

struct image_header {
    uint32_t kind; // image_new_header
    uint32_t bpp;
    uint32_t width;
    uint32_t height;
    uint32_t pitch;
};

void point_lines_at_screen(draw_state* s) {
    uint8_t* page = gfx_screen->pages[s->work_page];
    for (int32_t i = 0; i < gfx_screen->height; ++i)
        s->lines[i] = page + static_cast<ptrdiff_t>(i) * gfx_screen->pitch;
}

// Rebuilds the state for a newly opened screen.
void reinitialise(draw_state* s) {
    std::free(s->lines);
    std::memset(s, 0, sizeof *s);
    s->screen_id = gfx_screen->id;
    s->saved_view[2] = gfx_screen->width;
    s->saved_view[3] = gfx_screen->height;
    s->lines = static_cast<uint8_t**>(std::malloc(sizeof(uint8_t*) * gfx_screen->height));
    s->lines_capacity = s->lines ? gfx_screen->height : 0;
    s->fg_color = gfx_screen->depth == 8 ? 15 : gfx_screen->color_mask;
    s->bg_color = gfx_screen->color_mask & 0xFF000000u;
    s->flags = draw_prepare_screen;
    prepare_target(s, nullptr);
    select_transfer(s, 0xFF000000u);
}

} // namespace

draw_state* plot_state = &no_state;

draw_state* get_draw_state() {
    if (plot_state == &no_state) {
        auto* s =
            static_cast<draw_state*>(context_slot(context_slot_draw_state, sizeof(draw_state)));
        if (!s) return nullptr;
        plot_state = s;
    }
    if (gfx_screen && plot_state->screen_id != gfx_screen->id) reinitialise(plot_state);
    return plot_state;
}

void* (*line_table_reallocate)(void* lines, size_t size) = std::realloc;

namespace {

struct image_geometry {
    int32_t width;
    int32_t height;
    int32_t bpp;
    int32_t pitch;
    uint8_t* data;
};

// The image's geometry from its header; false for a header that no image in memory can have:
// a pixel size other than 1, 2 or 4 bytes, lines shorter than their pixels, sizes past the
// address space (then i * pitch would overflow as well), or pixels that would not lie on their
// own alignment (an odd pitch or start of 16-bit pixels). The header is read bytewise, so an
// image of bytes may start anywhere.
bool read_image_header(void* image, image_geometry* g) {
    image_header header;
    std::memcpy(&header.kind, image, sizeof header.kind);
    if (header.kind == image_new_header) {
        std::memcpy(&header, image, sizeof header);
        g->data = static_cast<uint8_t*>(image) + 32;
        if (header.bpp != 1 && header.bpp != 2 && header.bpp != 4) return false;
        if (header.width > INT32_MAX || header.height > INT32_MAX || header.pitch > INT32_MAX)
            return false;
        g->bpp = static_cast<int32_t>(header.bpp);
        g->width = static_cast<int32_t>(header.width);
        g->height = static_cast<int32_t>(header.height);
        g->pitch = static_cast<int32_t>(header.pitch);
    } else {
        const auto* bytes = static_cast<const uint8_t*>(image);
        g->data = static_cast<uint8_t*>(image) + 4;
        g->width = bytes[0] >> 3 | bytes[1] << 5;
        g->height = bytes[2] | bytes[3] << 8;
        g->bpp = gfx_screen->bpp;
        g->pitch = g->width * g->bpp;
    }
    if (reinterpret_cast<uintptr_t>(g->data) % static_cast<uint32_t>(g->bpp) != 0 ||
        g->pitch % g->bpp != 0)
        return false;
    const uint64_t row_bytes = static_cast<uint64_t>(g->width) * static_cast<uint64_t>(g->bpp);
    if (row_bytes > static_cast<uint64_t>(g->pitch)) return false;
    const uint64_t last_row = g->height > 0 ? static_cast<uint64_t>(g->height - 1) : 0;
    return last_row * static_cast<uint64_t>(g->pitch) + row_bytes <= PTRDIFF_MAX;
}

// Whether the image target was prepared from this geometry, its header unchanged since.
bool prepared_from(const draw_state* s, const image_geometry& g) {
    return s->target_data == g.data && s->target_width == g.width && s->target_height == g.height &&
           s->target_bpp == g.bpp && s->target_pitch == g.pitch;
}

} // namespace

bool prepare_target(draw_state* s, void* image) {
    s->straight_id = 0;
    if (!image) {
        if (s->flags & (draw_prepare_screen | draw_image_target)) {
            if (s->lines_capacity < gfx_screen->height) return false;
            std::memcpy(&s->view_x, s->saved_view, sizeof s->saved_view);
            s->target_bpp = gfx_screen->bpp;
            s->target_pitch = gfx_screen->pitch;
            point_lines_at_screen(s);
            select_pixel_routines(gfx_screen->bpp);
            s->flags &= ~(draw_prepare_screen | draw_image_target);
        }
        s->target = nullptr;
        return true;
    }
    image_geometry g{};
    if (!read_image_header(image, &g)) return false;
    if (image == s->target && prepared_from(s, g)) return true;
    if (g.height > s->lines_capacity) {
        auto* lines = static_cast<uint8_t**>(
            line_table_reallocate(s->lines, sizeof(uint8_t*) * static_cast<size_t>(g.height)));
        if (!lines) return false; // the target stays as it was
        s->lines = lines;
        s->lines_capacity = g.height;
    }
    if (!s->target && !(s->flags & draw_image_target))
        std::memcpy(s->saved_view, &s->view_x, sizeof s->saved_view);
    s->view_x = s->view_y = 0;
    s->view_w = g.width;
    s->view_h = g.height;
    s->target_bpp = g.bpp;
    s->target_pitch = g.pitch;
    s->target_data = g.data;
    s->target_width = g.width;
    s->target_height = g.height;
    // Also for an old header, whose pixels are the screen's size: the routines in use may be
    // those of a previous image of another size.
    select_pixel_routines(g.bpp);
    for (int32_t i = 0; i < g.height; ++i)
        s->lines[i] = g.data + static_cast<ptrdiff_t>(i) * g.pitch;
    s->flags |= draw_image_target;
    s->target = image;
    return true;
}

void select_transfer(draw_state* s, uint32_t colour) {
    s->straight_id = 0;
    bool blending =
        (gfx_screen->flags & context_alpha) && s->target_bpp == 4 && (colour >> 24) != 0xFF;
    s->put_pixel = blending ? put_blend : put_plain;
    s->fill_pixels = blending ? fill_blend : fill_plain;
    s->get_pixel = get_plain;
}

uint32_t convert_color(int32_t target_bpp, uint32_t colour) {
    if (target_bpp == 1) return colour & 0xFF;
    if (target_bpp == 2) {
        uint32_t r = (colour >> 16) & 0xFF, g = (colour >> 8) & 0xFF, b = colour & 0xFF;
        return ((r << 8) & 0xF800) | ((g << 3) & 0x7E0) | (b >> 3);
    }
    return colour;
}

void apply_relative(draw_state* s, int32_t type, float* x1, float* y1, float* x2, float* y2) {
    switch (type & 7) {
    case coords_first_relative:
    case coords_point_relative:
        *x1 = *x1 + s->last_x;
        *y1 = *y1 + s->last_y;
        break;
    case coords_both_relative:
        *x1 = *x1 + s->last_x;
        *y1 = *y1 + s->last_y;
        if (x2) *x2 = *x2 + *x1;
        if (y2) *y2 = *y2 + *y1;
        break;
    case coords_second_relative:
        if (x2) *x2 = *x2 + *x1;
        if (y2) *y2 = *y2 + *y1;
        break;
    default:
        break;
    }
    if (x2 && y2) {
        s->last_x = *x2;
        s->last_y = *y2;
    } else {
        s->last_x = *x1;
        s->last_y = *y1;
    }
}

namespace {

// Half away from zero. For a single-precision v the sum v +/- 0.5 is exact in double wherever
// the result fits in 32 bits, so double gives the extended-precision result. False when the
// result does not fit in 32 bits: such a point lies outside every view.
inline bool round_half_away(float v, int32_t* result) {
    if (!(v >= -2147483648.0f && v < 2147483648.0f)) return false;
    double d = static_cast<double>(v);
    *result = static_cast<int32_t>(v > 0.0f ? d + 0.5 : d - 0.5);
    return true;
}

// Maps and clips a point: true with the pixel when it lies inside the view.
inline bool map_and_clip(const draw_state* s, float x, float y, int32_t* px, int32_t* py) {
    int32_t rx, ry;
    if (!round_half_away(x, &rx) || !round_half_away(y, &ry)) return false;
    // Unsigned differences test view_x <= p < view_x + view_w without overflow.
    if (s->flags & draw_view_absolute) {
        if (static_cast<uint32_t>(rx) - static_cast<uint32_t>(s->view_x) >=
                static_cast<uint32_t>(s->view_w) ||
            static_cast<uint32_t>(ry) - static_cast<uint32_t>(s->view_y) >=
                static_cast<uint32_t>(s->view_h))
            return false;
        *px = rx;
        *py = ry;
        return true;
    }
    if (static_cast<uint32_t>(rx) >= static_cast<uint32_t>(s->view_w) ||
        static_cast<uint32_t>(ry) >= static_cast<uint32_t>(s->view_h))
        return false;
    *px = rx + s->view_x;
    *py = ry + s->view_y;
    return true;
}

} // namespace

void map_point(const draw_state* s, float x, float y, int32_t* px, int32_t* py) {
    int32_t rx, ry;
    if (!round_half_away(x, &rx)) rx = x > 0.0f ? INT32_MAX : INT32_MIN;
    if (!round_half_away(y, &ry)) ry = y > 0.0f ? INT32_MAX : INT32_MIN;
    if (!(s->flags & draw_view_absolute)) {
        int64_t x64 = int64_t{rx} + s->view_x, y64 = int64_t{ry} + s->view_y;
        rx = x64 > INT32_MAX ? INT32_MAX : x64 < INT32_MIN ? INT32_MIN : static_cast<int32_t>(x64);
        ry = y64 > INT32_MAX ? INT32_MAX : y64 < INT32_MIN ? INT32_MIN : static_cast<int32_t>(y64);
    }
    *px = rx;
    *py = ry;
}

void reset_view() {
    draw_state* s = get_draw_state();
    if (!s || !gfx_screen) return;
    // While an image is the target its own view clips, and the screen's waits in saved_view.
    const int32_t whole[4] = {0, 0, gfx_screen->width, gfx_screen->height};
    std::memcpy(s->flags & draw_image_target ? static_cast<void*>(s->saved_view) : &s->view_x,
                whole, sizeof whole);
    s->flags &= ~draw_view_set;
    s->straight_id = 0;
}

namespace {

// The put and the dirty mark under the screen lock.
[[gnu::noinline]] void put_locked(gfx_context* c, draw_state* s, int32_t px, int32_t py,
                                  uint32_t colour) {
    screen_lock_context(c);
    s->put_pixel(s, px, py, colour);
    if (s->lines[0] == c->visible_buffer) c->dirty[py] = 1;
    screen_unlock_context(c); // screen_unlock(1, 0): the line is marked above
}

// Whether the program's plots may take the straight path from now on: what plot_general just
// prepared is the 32-bit screen with a relative view and the plain routines.
void note_straight(draw_state* s, const gfx_context* c) {
    const bool straight =
        !s->target &&
        !(s->flags & (draw_prepare_screen | draw_image_target | draw_view_absolute)) &&
        s->target_bpp == 4 && !(c->flags & context_alpha) && c->driver && s->put_pixel == put_plain;
    s->straight_id = straight ? c->id : 0;
    s->straight_locks = straight && (c->driver->lock || c->driver->unlock);
}

// Every case of plot_pixel; the program's own case takes the straight path below.
[[gnu::noinline]] void plot_general(gfx_context* c, void* target, float x, float y, uint32_t colour,
                                    int32_t type, int32_t preset) {
    draw_state* s = get_draw_state();
    if (!s || !s->lines) return;
    if (target || (s->flags & (draw_prepare_screen | draw_image_target))) {
        if (!prepare_target(s, target)) return; // a refused image draws nowhere
    } else {
        s->target = nullptr;
    }
    if (type < 0)
        colour = preset ? s->bg_color : s->fg_color;
    else
        colour = convert_color(s->target_bpp, colour);
    select_transfer(s, colour);
    note_straight(s, c);
    apply_relative(s, type, &x, &y, nullptr, nullptr);
    int32_t px, py;
    if (!map_and_clip(s, x, y, &px, &py)) return;
    put_locked(c, s, px, py, colour);
}

} // namespace

// Every case of plot_pixel. The program's case takes the straight path: an absolute point in a
// given colour on the 32-bit screen without blending, once plot_general has prepared it
// (straight_id). The steps of the general case that this case fixes are left out: the target
// is already the screen, the colour passes unchanged, and the plain routines are already
// chosen (so the put is the plain 32-bit one, done here). A driver without lock and unlock (the
// null driver) makes the screen lock a pair of counter moves that cancel, so those are left out
// too; plot_pixel itself does that case inline.
void plot_pixel_any(void* target, float x, float y, uint32_t colour, int32_t type, int32_t preset) {
    gfx_context* c = gfx_screen;
    if (!c) return;
    draw_state* s = plot_state;
    if (s->straight_id != c->id || target || type != coords_point) {
        plot_general(c, target, x, y, colour, type, preset);
        return;
    }
    s->last_x = x;
    s->last_y = y;
    int32_t px, py;
    if (!straight_point(s, x, y, &px, &py)) return;
    if (s->straight_locks) {
        put_locked(c, s, px, py, colour);
        return;
    }
    if (s->lines[0] == c->visible_buffer) [[likely]]
        c->dirty[py] = 1;
    // The plain routine of the 32-bit screen, in place.
    reinterpret_cast<uint32_t*>(s->lines[py])[px] = colour;
}
