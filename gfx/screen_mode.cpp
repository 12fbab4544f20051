// Opening, changing and closing the graphics screen, and the choice of display driver.
#include "gfx/internal/builtin_data.h"
#include "gfx/internal/draw_state.h"
#include "gfx/internal/gfx_context.h"
#include "gfx/internal/graphics_text.h"
#include "gfx/internal/input_state.h"
#include "gfx/internal/palette_state.h"
#include "gfx/screen.h"
#include "runtime/console/console.h"
#include "runtime/internal/console_hooks.h"
#include "runtime/internal/context.h"
#include "runtime/mutex.h"
#include "runtime/os/os.h"
#include "runtime/runtime.h"
#include "runtime/text.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

// clang-format off
const mode_info mode_table[mode_count + 1] = {
    //  width height depth scan  palette              font                 cols rows aspect
    {},                                                                              // 0: none
    { 320,  200,  2, 1, &builtin_palettes[2], &builtin_fonts[2],  40, 25, 0.0f},   // 1
    { 640,  200,  1, 2, &builtin_palettes[2], &builtin_fonts[2],  80, 25, 0.0f},   // 2
    {}, {}, {}, {},                                                                  // 3-6: none
    { 320,  200,  4, 1, &builtin_palettes[2], &builtin_fonts[2],  40, 25, 0.0f},   // 7
    { 640,  200,  4, 2, &builtin_palettes[2], &builtin_fonts[2],  80, 25, 0.0f},   // 8
    { 640,  350,  4, 1, &builtin_palettes[1], &builtin_fonts[1],  80, 25, 0.0f},   // 9
    { 640,  350,  1, 1, &builtin_palettes[3], &builtin_fonts[1],  80, 25, 0.0f},   // 10
    { 640,  480,  1, 1, &builtin_palettes[3], &builtin_fonts[0],  80, 30, 0.0f},   // 11
    { 640,  480,  4, 1, &builtin_palettes[0], &builtin_fonts[0],  80, 30, 0.0f},   // 12
    { 320,  200,  8, 1, &builtin_palettes[0], &builtin_fonts[2],  40, 25, 0.0f},   // 13
    { 320,  240,  8, 1, &builtin_palettes[0], &builtin_fonts[2],  40, 30, 0.0f},   // 14
    { 400,  300,  8, 1, &builtin_palettes[0], &builtin_fonts[2],  50, 37, 0.0f},   // 15
    { 512,  384,  8, 1, &builtin_palettes[0], &builtin_fonts[0],  64, 24, 0.0f},   // 16
    { 640,  400,  8, 1, &builtin_palettes[0], &builtin_fonts[0],  80, 25, 0.0f},   // 17
    { 640,  480,  8, 1, &builtin_palettes[0], &builtin_fonts[0],  80, 30, 0.0f},   // 18
    { 800,  600,  8, 1, &builtin_palettes[0], &builtin_fonts[0], 100, 37, 0.0f},   // 19
    {1024,  768,  8, 1, &builtin_palettes[0], &builtin_fonts[0], 128, 48, 0.0f},   // 20
    {1280, 1024,  8, 1, &builtin_palettes[0], &builtin_fonts[0], 160, 64, 0.0f},   // 21
};
// clang-format on

void* (*screen_allocate)(size_t count, size_t size) = std::calloc;

namespace {

int32_t context_counter;
bool close_registered;
char title_buffer[128];

void view_update_nothing() {}
int32_t input_not_redirected() { return 0; }

// The graphics library's console operations, in slot order.
constexpr console_hooks_table graphics_hooks = {
    key_read_text_graphics, key_wait_graphics, key_hit_graphics,
    text_clear_graphics, text_color_graphics, text_locate_graphics, text_width_graphics,
    text_column_graphics, text_row_graphics, text_position_graphics, text_size_graphics,
    text_print_graphics, text_print_wide_graphics, read_string_graphics,
    key_down, mouse_read, mouse_set,
    port_read, port_write,
    view_update_nothing,
    line_input_graphics, line_input_wide_graphics, read_cell_graphics,
    key_sleep, input_not_redirected, page_copy, page_set,
};

bool same_name(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b)
        if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b)))
            return false;
    return *a == *b;
}

// Frees the open screen completely (the driver has been stopped before).
void free_context(gfx_context* c) {
    if (c->pages) {
        for (int32_t i = 0; i < c->num_pages; ++i) {
            if (c->char_cells) std::free(c->char_cells[i]);
            std::free(c->pages[i]);
        }
    }
    std::free(c->char_cells);
    std::free(c->pages);
    std::free(c->dirty);
    mutex_destroy(c->event_lock);
    std::free(c);
}

void release_screen() {
    if (gfx_screen) {
        if (gfx_screen->driver && gfx_screen->driver->exit) gfx_screen->driver->exit();
        free_context(gfx_screen);
        gfx_screen = nullptr;
    }
    std::free(expand16_table);
    expand16_table = nullptr;
}

void take_default_title() {
    if (title_buffer[0]) return;
    char path[1024];
    os_executable_path(path, sizeof path);
    const char* name = std::strrchr(path, os_path_separator);
    name = name ? name + 1 : path;
    size_t length = std::strlen(name);
    if (length > sizeof title_buffer - 1) length = sizeof title_buffer - 1;
    std::memcpy(title_buffer, name, length);
    title_buffer[length] = 0;
    char* dot = std::strrchr(title_buffer, '.');
    if (dot) *dot = 0;
}

const display_driver* choose_driver(gfx_context* c, int32_t refresh_rate, uint32_t flags) {
    const char* name = os_environment("QXGFX");
    if (flags == null_driver_request || (name && same_name(name, "null")) || !driver_list[0])
        return &null_driver;
    // Without its display server the platform's own list has nothing to show on; a list that a
    // caller put in place is taken as it is.
    if (driver_list == default_driver_list && !display_server_reachable()) return &null_driver;
    const int32_t height = c->height * c->scanline_size;
    for (int32_t pass = name ? 4 : 2; pass >= 1; --pass) {
        for (const display_driver* const* d = driver_list; *d; ++d) {
            if (name && pass % 2 == 0 && !same_name((*d)->name, name)) continue;
            for (int32_t rate : {refresh_rate, 0}) {
                if ((*d)->init &&
                    (*d)->init(title_buffer, c->width, height, c->depth, rate, flags) == 0)
                    return *d;
                if ((*d)->exit) (*d)->exit();
            }
        }
        if (!name || pass == 2) flags ^= fullscreen;
    }
    return nullptr;
}

// Steps 4 to 8 of a mode set that can fail for want of memory: true when all was allocated.
bool allocate_screen(gfx_context* c, int32_t pages) {
    c->pages = static_cast<uint8_t**>(screen_allocate(pages, sizeof(uint8_t*)));
    if (!c->pages) return false;
    c->num_pages = pages;
    const size_t page_size = static_cast<size_t>(c->pitch) * c->height;
    for (int32_t i = 0; i < pages; ++i) {
        c->pages[i] = static_cast<uint8_t*>(screen_allocate(page_size ? page_size : 1, 1));
        if (!c->pages[i]) return false;
    }
    c->visible_page = 0;
    c->visible_buffer = c->pages[0];
    c->dirty = static_cast<uint8_t*>(screen_allocate(static_cast<size_t>(c->height) * c->scanline_size, 1));
    c->event_lock = mutex_create();
    expand16_table = static_cast<uint32_t*>(screen_allocate(512, sizeof(uint32_t)));
    return c->dirty && c->event_lock && expand16_table;
}

bool allocate_cells(gfx_context* c, const draw_state* s) {
    c->char_cells = static_cast<char_cell**>(screen_allocate(c->num_pages, sizeof(char_cell*)));
    if (!c->char_cells) return false;
    const size_t cells = static_cast<size_t>(c->text_cols) * c->text_rows;
    for (int32_t i = 0; i < c->num_pages; ++i) {
        c->char_cells[i] = static_cast<char_cell*>(screen_allocate(cells ? cells : 1, sizeof(char_cell)));
        if (!c->char_cells[i]) return false;
    }
    for (size_t i = 0; i < cells; ++i)
        c->char_cells[s->work_page][i] = char_cell{32, s->fg_color, s->bg_color};
    return true;
}

int32_t fail_for_memory() {
    release_screen();
    console_hooks = console_hooks_table{};
    set_view_rows(-1, -1); // the released screen's text rows are not the console's
    return error_set(error_memory);
}

} // namespace

const char* window_title() { return title_buffer; }

int32_t set_screen_mode(const mode_info* info, int32_t mode, int32_t depth, int32_t pages,
                        int32_t refresh_rate, uint32_t flags) {
    if (pages < 1) pages = 1;
    const bool flag_bits = static_cast<int32_t>(flags) >= 0;
    if (flag_bits && (flags & shaped_window)) flags |= no_switch | no_frame;

    release_screen();

    if (mode == 0 || !info || info->width == 0) {
        console_hooks = console_hooks_table{};
        if (flags != close_request) {
            text_width(80, 25);
            text_clear(0);
        }
        set_view_rows(-1, -1);
        if (flags != close_request) text_view(0, 0, 0);
        return error_set(error_none);
    }

    console_hooks = graphics_hooks;
    auto* c = static_cast<gfx_context*>(screen_allocate(1, sizeof(gfx_context)));
    if (!c) return fail_for_memory();
    gfx_screen = c;

    c->id = ++context_counter;
    c->mode = mode;
    c->width = info->width;
    c->height = info->height;
    c->depth = info->depth;
    if (mode > 13 && (depth == 8 || depth == 15 || depth == 16 || depth == 24 || depth == 32))
        c->depth = depth;
    if (flag_bits && (flags & opengl) && c->depth < 16) c->depth = 16;
    c->default_palette = info->mode_palette;
    c->scanline_size = info->scanline_size;
    c->font = info->font;
    c->aspect = info->aspect != 0.0f
                    ? info->aspect
                    : static_cast<float>(static_cast<long double>(c->height) / c->width * 4 / 3);
    if (c->depth == 15 || c->depth == 16) {
        c->depth = 16;
        c->color_mask = 0xFFFF;
    } else if (c->depth == 24 || c->depth == 32) {
        c->depth = 32;
        c->color_mask = 0xFFFFFFFFu;
    } else {
        c->color_mask = (1u << c->depth) - 1;
    }
    c->bpp = (c->depth + 7) / 8;
    c->pitch = c->bpp * c->width;
    if (!allocate_screen(c, pages)) return fail_for_memory();
    if (flags != null_driver_request) {
        if (flags & alpha_primitives) c->flags |= context_alpha;
        if (flags & opengl) c->flags |= context_opengl;
        if (flags & high_priority) c->flags |= context_high_priority;
    }

    select_pixel_routines(c->bpp);
    expand_builtin_data();
    take_default_title();

    const display_driver* driver = choose_driver(c, refresh_rate, flags);
    if (!driver) {
        close_screen();
        return error_set(error_argument);
    }
    c->driver = driver;
    reset_palette();
    c->text_cols = info->text_cols;
    c->text_rows = info->text_rows;
    draw_state* s = get_draw_state();
    if (!s || !s->lines || !allocate_cells(c, s)) return fail_for_memory();
    // Under the lock: the driver's window thread runs already, converting the lines that the
    // palette reset marked.
    screen_lock();
    for (int32_t page = 0; page < c->num_pages; ++page)
        for (int32_t line = 0; line < c->height; ++line)
            fill_depth(c->pages[page] + static_cast<size_t>(line) * c->pitch, s->bg_color, c->width);
    screen_unlock(1, 0);
    if (!close_registered) {
        close_registered = true;
        exit_handler_add(close_screen);
    }
    if (flags != close_request) text_view(0, 0, 1);
    return error_set(error_none);
}

int32_t screen_res(int32_t width, int32_t height, int32_t depth, int32_t pages, uint32_t flags,
                   int32_t refresh_rate) {
    if (width <= 0 || height <= 0) return error_set(error_argument);
    if (depth != 1 && depth != 2 && depth != 4 && depth != 8 && depth != 15 && depth != 16 &&
        depth != 24 && depth != 32)
        return error_set(error_argument);
    // The text grid's columns and rows are 8-bit, and the mode record's size 16-bit.
    if (width > 0xFFFF || height > 0xFFFF || width / 8 > 255 || height / 8 > 255)
        return error_set(error_argument);
    mode_info info{};
    info.width = static_cast<uint16_t>(width);
    info.height = static_cast<uint16_t>(height);
    info.depth = static_cast<uint8_t>(depth);
    info.scanline_size = 1;
    info.mode_palette = palette256();
    info.font = font8x8();
    info.text_cols = static_cast<uint8_t>(width / 8);
    info.text_rows = static_cast<uint8_t>(height / 8);
    info.aspect = 1.0f;
    int32_t result = set_screen_mode(&info, -1, depth, pages, refresh_rate, flags);
    if (result == error_none) print_column = 0;
    return result;
}

int32_t screen_mode(int32_t mode, int32_t depth, int32_t pages, uint32_t flags, int32_t refresh_rate) {
    if (mode < 0 || mode > mode_count || (mode != 0 && mode_table[mode].width == 0))
        return error_set(error_argument);
    int32_t result = set_screen_mode(mode ? &mode_table[mode] : nullptr, mode, depth, pages,
                                     refresh_rate, flags);
    if (result == error_none) print_column = 0;
    return result;
}

int32_t screen_mode_pages(int32_t mode, int32_t work_page, int32_t visible_page) {
    int32_t result = screen_mode(mode, 0, 0, 0, 0);
    if (result == error_none && (work_page || visible_page) && console_hooks.page_set)
        console_hooks.page_set(work_page, visible_page);
    return result;
}

int32_t set_window_title(text* title) {
    std::memset(title_buffer, 0, sizeof title_buffer);
    uint32_t length = text_length(title);
    if (length > sizeof title_buffer - 1) length = sizeof title_buffer - 1;
    std::memcpy(title_buffer, text_bytes(title), length);
    if (gfx_screen && gfx_screen->driver && gfx_screen->driver->set_window_title)
        gfx_screen->driver->set_window_title(title_buffer);
    text_release(title);
    return error_none;
}

int32_t screen_describe(screen_info* info) {
    const gfx_context* c = gfx_screen;
    if (!info) return error_set(error_argument);
    *info = screen_info{};
    if (!c) return error_set(error_argument);
    const draw_state* s = get_draw_state();
    info->mode = c->mode;
    info->width = c->width;
    info->height = c->height;
    info->depth = c->depth;
    info->pages = c->num_pages;
    info->work_page = s ? s->work_page : 0;
    info->visible_page = c->visible_page;
    info->driver = c->driver ? c->driver->name : nullptr;
    return error_set(error_none);
}

void close_screen() {
    if (gfx_screen) set_screen_mode(nullptr, 0, 0, 0, 0, close_request);
}
