// The graphics context: the one open screen, its modes, its display driver, the screen lock.
#pragma once
#include "gfx/input.h"
#include "gfx/screen.h"

#include <cstddef>
#include <cstdint>

struct mutex;

// Built-in palette: count entries of red, green, blue bytes.
struct palette_desc {
    uint32_t count;
    const uint8_t* colors;
};

// Built-in font: 256 glyphs of height bytes, bit 0 of a row byte the leftmost pixel.
struct font_desc {
    uint32_t width;
    uint32_t height;
    const uint8_t* glyphs;
};

struct mode_info {
    uint16_t width;
    uint16_t height;
    uint8_t depth;         // 1, 2, 4, 8, 15, 16, 24 or 32 as requested
    uint8_t scanline_size; // display lines per framebuffer line
    const palette_desc* mode_palette;
    const font_desc* font;
    uint8_t text_cols;
    uint8_t text_rows;
    float aspect; // 0: computed by the mode set
};

struct char_cell {
    uint16_t code;
    uint32_t foreground;
    uint32_t background;
};

// A display driver: a name and thirteen operations in slot order. Absent operations are null
// and every caller checks them. Operations return 0 on success, -1 (or nonzero) on failure.
struct display_driver {
    const char* name = nullptr; // compared without regard to case
    int32_t (*init)(const char* title, int32_t width, int32_t height, int32_t depth,
                    int32_t refresh_rate, uint32_t flags) = nullptr;
    void (*exit)() = nullptr;
    void (*lock)() = nullptr;
    void (*unlock)() = nullptr;
    void (*set_palette)(int32_t index, int32_t red, int32_t green, int32_t blue) = nullptr;
    void (*wait_vsync)() = nullptr;
    int32_t (*get_mouse)(int32_t* x, int32_t* y, int32_t* wheel, int32_t* buttons,
                         int32_t* clip) = nullptr;
    void (*set_mouse)(int32_t x, int32_t y, int32_t cursor, int32_t clip) = nullptr;
    void (*set_window_title)(const char* title) = nullptr;
    int32_t (*set_window_pos)(int32_t x, int32_t y) = nullptr;
    int32_t* (*fetch_modes)(int32_t depth, int32_t* count) = nullptr;
    void (*flip)() = nullptr;
    void (*poll_events)() = nullptr;
};

// The mode set's own flags value: close the screen without touching the text console.
constexpr uint32_t close_request = 0x80000000u;

// Bits of gfx_context::flags.
constexpr uint32_t context_locked = 0x1;
constexpr uint32_t context_wrap_pending = 0x4;
constexpr uint32_t context_alpha = 0x8;
constexpr uint32_t context_high_priority = 0x20;
constexpr uint32_t context_mmx = 0x1000000;
constexpr uint32_t context_opengl = 0x20000000;

constexpr int32_t event_queue_size = 128;
constexpr int32_t key_state_size = 128;

struct gfx_context {
    int32_t id;   // sequence number of this mode set, from 1
    int32_t mode; // 1 to 21, or -1 for a mode set by resolution
    uint8_t** pages;
    int32_t num_pages;
    int32_t visible_page;
    uint8_t* visible_buffer;
    int32_t width;
    int32_t height;
    int32_t depth;                // normalised: 1, 2, 4, 8, 16 or 32
    int32_t bpp;                  // bytes per pixel
    int32_t pitch;                // bytes per framebuffer line
    uint32_t palette_colors[256]; // 0x00BBGGRR
    uint32_t device_palette[256]; // 0x00BBGGRR, what each pixel value shows
    uint8_t color_map[16];
    uint8_t* dirty; // one flag per framebuffer line (height used), 1: show the line again
    const display_driver* driver;
    uint32_t color_mask;
    const palette_desc* default_palette;
    int32_t scanline_size;
    int32_t cursor_x;
    int32_t cursor_y;
    const font_desc* font;
    int32_t text_cols;
    int32_t text_rows;
    float aspect;
    uint8_t key_state[key_state_size]; // by scan code, nonzero while down
    int32_t refresh_rate;
    char_cell** char_cells; // one text grid per page
    event_record events[event_queue_size];
    int32_t event_head;
    int32_t event_tail;
    mutex* event_lock;
    uint32_t flags;
    int32_t lock_count;
};

// The open screen, or null.
extern gfx_context* gfx_screen;

// 512 entries filled by select_blitter; allocated with each context.
extern uint32_t* expand16_table;

constexpr int32_t mode_count = 21;
extern const mode_info mode_table[mode_count + 1]; // indexed by mode number 1 to 21

// The drivers tried by a mode set, in order, ending with null; and the null driver.
extern const display_driver* const* driver_list;
extern const display_driver null_driver;
extern const display_driver* const default_driver_list[];
extern const display_driver directdraw_driver;
extern const display_driver gdi_driver;
extern const display_driver opengl_driver;
extern const display_driver x11_driver;
// Whether the display server that the platform's own drivers need can be reached: always on
// Windows; on the native build, the X server that DISPLAY names.
bool display_server_reachable();

// The core of screen_res, screen_mode and close_screen: releases the open screen, then with a
// mode_info and a nonzero mode builds the new one.
int32_t set_screen_mode(const mode_info* info, int32_t mode, int32_t depth, int32_t pages,
                        int32_t refresh_rate, uint32_t flags);
// The mode set's allocator, zero-filling like calloc (its default); std::free releases what it
// gives. Tests replace it to make an allocation fail.
extern void* (*screen_allocate)(size_t count, size_t size);

// The marking part of screen_unlock.
void mark_lines(int32_t first, int32_t last);
// The first and last dirty lines of the open screen; false when none is (or no screen is open).
// The drivers present the band between them; under the driver's lock.
bool dirty_span(int32_t* first, int32_t* last);

// Every pixel takes the lock, so both halves are inline; the _context forms work on a context
// the caller already holds.
inline void screen_lock_context(gfx_context* c) {
    if (!(c->flags & context_locked)) {
        if (c->driver && c->driver->lock) c->driver->lock();
        c->flags |= context_locked;
    }
    ++c->lock_count;
}

inline void screen_unlock_context(gfx_context* c) {
    if (c->lock_count > 0 && --c->lock_count == 0) {
        c->flags &= ~context_locked;
        if (c->driver && c->driver->unlock) c->driver->unlock();
    }
}

inline void screen_lock() {
    if (gfx_screen) screen_lock_context(gfx_screen);
}

inline void screen_unlock(int32_t first, int32_t last) {
    gfx_context* c = gfx_screen;
    if (!c) return;
    if (first <= last || last < 0) mark_lines(first, last); // (1, 0) marks nothing
    screen_unlock_context(c);
}
