// The key ring, key state and event queue of the graphics screen, and the key, mouse and sleep
// operations installed in console_hooks while a screen is open.
#include "gfx/input_state.h"

#include "gfx/gfx_context.h"
#include "gfx/screen.h"
#include "runtime/key_input.h"
#include "runtime/mutex.h"
#include "runtime/os/os.h"
#include "runtime/runtime.h"
#include "runtime/text.h"

int32_t key_buffer[key_buffer_size];
int32_t key_head;
int32_t key_tail;
int32_t key_hit_flag;

void post_key(int32_t code) {
    key_buffer[key_tail] = code;
    key_tail = (key_tail + 1) & (key_buffer_size - 1);
    if (key_tail == key_head) key_head = (key_head + 1) & (key_buffer_size - 1);
    key_hit_flag = 1;
}

void post_event(const event_record* record) {
    gfx_context* c = gfx_screen;
    if (!c || !record) return;
    mutex_lock(c->event_lock);
    c->events[c->event_tail] = *record;
    c->event_tail = (c->event_tail + 1) & (event_queue_size - 1);
    if (c->event_tail == c->event_head) c->event_head = (c->event_head + 1) & (event_queue_size - 1);
    mutex_unlock(c->event_lock);
}

int32_t take_key_hit() {
    screen_lock();
    int32_t hit = key_hit_flag;
    key_hit_flag = 0;
    screen_unlock(1, 0);
    return hit;
}

// The read and the clearing of key_hit under one hold of the lock: a key posted between them
// would otherwise lose its hit, and a later sleep would miss it.
int32_t get_key() {
    screen_lock();
    int32_t code = 0;
    if (key_head != key_tail) {
        code = key_buffer[key_head];
        key_head = (key_head + 1) & (key_buffer_size - 1);
    }
    key_hit_flag = 0;
    screen_unlock(1, 0);
    return code;
}

int32_t key_hit_graphics() {
    if (!gfx_screen) return 0;
    screen_lock();
    int32_t waiting = key_head != key_tail;
    screen_unlock(1, 0);
    return waiting;
}

int32_t key_wait_graphics() {
    if (!gfx_screen) return 0;
    for (;;) {
        int32_t code = get_key();
        key_sleep(20);
        if (code) return code;
    }
}

text* key_read_text_graphics() {
    if (!gfx_screen) return text_make(nullptr, 0);
    int32_t code = get_key();
    if (code == 0) return text_make(nullptr, 0);
    return key_text(code); // -128 to -1 read by their low byte
}

int32_t key_down(int32_t scancode) {
    if (!gfx_screen || scancode < 0 || scancode >= key_state_size) return 0;
    screen_lock();
    int32_t down = gfx_screen->key_state[scancode] ? -1 : 0;
    screen_unlock(1, 0);
    return down;
}

void key_sleep(int32_t milliseconds) {
    if (milliseconds == -1) {
        while (!take_key_hit()) os_sleep(50);
        return;
    }
    if (milliseconds >= 100) {
        while (milliseconds > 50) {
            if (take_key_hit()) return;
            os_sleep(50);
            milliseconds -= 50;
        }
    }
    if (milliseconds > 0) os_sleep(static_cast<uint32_t>(milliseconds));
}

int32_t mouse_read(int32_t* x, int32_t* y, int32_t* wheel, int32_t* buttons, int32_t* clip) {
    int32_t sx, sy, sw, sb, sc; // stand-ins for absent outputs
    if (!wheel) wheel = &sw;
    if (!buttons) buttons = &sb;
    if (!clip) clip = &sc;
    if (!x) x = &sx;
    if (!y) y = &sy;
    int32_t result = -1;
    if (gfx_screen && gfx_screen->driver && gfx_screen->driver->get_mouse) {
        screen_lock();
        result = gfx_screen->driver->get_mouse(x, y, wheel, buttons, clip);
        screen_unlock(1, 0);
    }
    if (result != 0) {
        *x = *y = *wheel = *buttons = *clip = -1;
        return error_set(error_argument);
    }
    return error_set(error_none);
}

int32_t mouse_set(int32_t x, int32_t y, int32_t cursor, int32_t clip) {
    if (!gfx_screen || !gfx_screen->driver || !gfx_screen->driver->set_mouse)
        return error_set(error_argument);
    screen_lock();
    gfx_screen->driver->set_mouse(x, y, cursor, clip);
    screen_unlock(1, 0);
    return error_set(error_none);
}

void key_buffer_clear() {
    key_head = key_tail = 0;
    key_hit_flag = 0;
}
