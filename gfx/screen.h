// Screen modes: opening, changing and closing the graphics screen; the driver list; the screen
// lock, dirty lines and pages.
#pragma once
#include <cstddef>
#include <cstdint>

struct display_driver;
struct mode_info;
struct text;

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

int32_t screen_res(int32_t width, int32_t height, int32_t depth, int32_t pages, uint32_t flags,
                   int32_t refresh_rate);
int32_t screen_mode(int32_t mode, int32_t depth, int32_t pages, uint32_t flags,
                    int32_t refresh_rate);
int32_t screen_mode_pages(int32_t mode, int32_t work_page, int32_t visible_page);
int32_t set_window_title(text* title);
void close_screen();
int32_t set_screen_mode(const mode_info* info, int32_t mode, int32_t depth, int32_t pages,
                        int32_t refresh_rate, uint32_t flags);
// The mode set's allocator, zero-filling like calloc (its default); std::free releases what it
// gives. Tests replace it to make an allocation fail.
extern void* (*screen_allocate)(size_t count, size_t size);

// The 128-byte window title buffer (empty until set).
const char* window_title();

// Counted screen lock over the driver's lock and unlock.
inline void screen_lock();
// Marks lines first..last dirty (last < 0: the last line) when drawing goes to the visible
// page, then releases one level of the lock. (1, 0) marks nothing.
inline void screen_unlock(int32_t first, int32_t last);
// The marking part of screen_unlock.
void mark_lines(int32_t first, int32_t last);
// The first and last dirty lines of the open screen; false when none is (or no screen is open).
// The drivers present the band between them; under the driver's lock.
bool dirty_span(int32_t* first, int32_t* last);
int32_t page_set(int32_t work, int32_t visible);
int32_t page_copy(int32_t source, int32_t destination);
uint8_t* screen_ptr();

// Every pixel takes the lock, so both halves are inline; the _context forms work on a context
// the caller already holds.
#include "gfx/gfx_context.h"

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
