// X11 driver: init and exit around the window thread, the lock it shares with the program's
// thread, and the driver operations that the program's thread calls.
#include "gfx/x11/x11_driver.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "gfx/internal/gfx_context.h"
#include "gfx/screen.h"
#include "runtime/os/os.h"

x11_window_state x11_state;
bool x11_shared_memory_allowed = true;

namespace {

constexpr int64_t nanoseconds_per_second = 1000000000;
constexpr int64_t vsync_period = nanoseconds_per_second / 60;

bool fullscreen_mode() {
    return (x11_state.flags & fullscreen) != 0;
}

void set_running(int32_t value) {
    std::atomic_ref<int32_t>(x11_state.running).store(value, std::memory_order_release);
}

// A window point of a framebuffer point: the centre of its scaled pixel.
int32_t window_x(int32_t x) {
    return x11_state.offset_x + x * x11_state.scale + x11_state.scale / 2;
}

int32_t window_y(int32_t y) {
    return x11_state.offset_y + y * x11_state.scale + x11_state.scale / 2;
}

void show_cursor(bool visible) {
    Display* display = x11_state.display;
    if (visible) {
        XUndefineCursor(display, x11_state.window);
        return;
    }
    if (!x11_state.blank_cursor) {
        const char nothing[1] = {0};
        Pixmap bitmap = XCreateBitmapFromData(display, x11_state.window, nothing, 1, 1);
        XColor black{};
        x11_state.blank_cursor = XCreatePixmapCursor(display, bitmap, bitmap, &black, &black, 0, 0);
        XFreePixmap(display, bitmap);
    }
    XDefineCursor(display, x11_state.window, x11_state.blank_cursor);
}

int32_t x11_init(const char* title, int32_t width, int32_t height, int32_t /*depth*/,
                 int32_t /*refresh_rate*/, uint32_t flags) {
    x11_state = x11_window_state{};
    // Neither has an X11 form here: OpenGL mode is the Windows drivers', and so is the colour key.
    if (flags & (opengl | shaped_window)) return -1;
    // The window thread and the program's thread (title, mouse) share the connection.
    XInitThreads();
    x11_state.title = title ? title : "";
    x11_state.width = width;
    x11_state.height = height;
    x11_state.flags = flags;
    x11_state.cursor_visible = 1;
    x11_choose_lock();
    x11_state.started = os_semaphore_create(0, 1);
    if (!x11_state.started) return -1;
    set_running(1);
    x11_state.thread = os_thread_start(x11_window_thread, nullptr);
    if (x11_state.thread) os_semaphore_wait(x11_state.started);
    if (x11_state.thread && x11_state.start_result == 0) return 0;
    // The thread closed what it had opened before it signalled.
    set_running(0);
    os_thread_join(x11_state.thread);
    x11_state.thread = nullptr;
    os_semaphore_close(x11_state.started);
    x11_state.started = nullptr;
    return -1;
}

void x11_exit() {
    if (!x11_running()) return;
    set_running(0);
    if (gfx_screen && (gfx_screen->flags & context_locked)) {
        gfx_screen->lock_count = 0;
        gfx_screen->flags &= ~context_locked;
        x11_unlock();
    }
    os_thread_join(x11_state.thread);
    x11_state.thread = nullptr;
    os_semaphore_close(x11_state.started);
    x11_state.started = nullptr;
    x11_close_window();
}

// Sleeps to the next sixtieth of a second of the monotonic clock: X has no vertical blank.
void x11_wait_vsync() {
    x11_sleep_until((x11_now() / vsync_period + 1) * vsync_period);
}

int32_t x11_get_mouse(int32_t* x, int32_t* y, int32_t* wheel, int32_t* buttons, int32_t* clip) {
    if (!x11_state.active || !x11_state.mouse_in_client) return -1;
    if (x) *x = x11_state.mouse_x;
    if (y) *y = x11_state.mouse_y;
    if (wheel) *wheel = x11_state.mouse_wheel;
    if (buttons) *buttons = x11_state.mouse_buttons;
    if (clip) *clip = x11_state.mouse_clipped;
    return 0;
}

void x11_set_mouse(int32_t x, int32_t y, int32_t cursor, int32_t clip) {
    Display* display = x11_state.display;
    if (!display) return;
    if (x >= 0) {
        const int32_t px = std::min(x, x11_state.width - 1);
        const int32_t py = std::clamp(y, 0, std::max(x11_state.height - 1, 0));
        XWarpPointer(display, None, x11_state.window, 0, 0, 0, 0, window_x(px), window_y(py));
        x11_state.mouse_x = x;
        x11_state.mouse_y = y;
    }
    if (cursor >= 0) {
        const int32_t visible = cursor > 0 ? 1 : 0;
        if (visible != x11_state.cursor_visible) {
            x11_state.cursor_visible = visible;
            show_cursor(visible != 0);
        }
    }
    if (clip == 0) {
        x11_state.mouse_clipped = 0;
        XUngrabPointer(display, CurrentTime);
    } else if (clip > 0) {
        x11_state.mouse_clipped = 1;
        XGrabPointer(display, x11_state.window, True,
                     ButtonPressMask | ButtonReleaseMask | PointerMotionMask, GrabModeAsync,
                     GrabModeAsync, x11_state.window, None, CurrentTime);
    }
    XFlush(display);
}

void x11_set_window_title(const char* title) {
    x11_state.title = title ? title : "";
    if (!x11_state.display) return;
    XStoreName(x11_state.display, x11_state.window, x11_state.title);
    XFlush(x11_state.display);
}

int32_t x11_set_window_pos(int32_t x, int32_t y) {
    Display* display = x11_state.display;
    if (fullscreen_mode() || !display) return 0;
    int left = 0;
    int top = 0;
    Window child = None;
    XTranslateCoordinates(display, x11_state.window, DefaultRootWindow(display), 0, 0, &left, &top,
                          &child);
    if (x == INT32_MIN) x = left;
    if (y == INT32_MIN) y = top;
    XMoveWindow(display, x11_state.window, x, y);
    XFlush(display);
    return static_cast<int32_t>((static_cast<uint32_t>(left) & 0xFFFF) |
                                (static_cast<uint32_t>(top) << 16));
}

// The screen's own size, whatever the depth: every framebuffer depth is converted for it.
int32_t* x11_fetch_modes(int32_t /*depth*/, int32_t* count) {
    if (count) *count = 0;
    Display* display = x11_state.display;
    if (!display) return nullptr;
    auto* modes = static_cast<int32_t*>(std::malloc(sizeof(int32_t)));
    if (!modes) return nullptr;
    const int screen = DefaultScreen(display);
    modes[0] = DisplayWidth(display, screen) * 65536 + DisplayHeight(display, screen);
    if (count) *count = 1;
    return modes;
}

} // namespace

int64_t x11_now() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * nanoseconds_per_second + now.tv_nsec;
}

void x11_sleep_until(int64_t time) {
    const timespec until{static_cast<time_t>(time / nanoseconds_per_second),
                         static_cast<long>(time % nanoseconds_per_second)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
}

bool x11_running() {
    return std::atomic_ref<int32_t>(x11_state.running).load(std::memory_order_acquire) != 0;
}

bool display_server_reachable() {
    const char* name = os_environment("DISPLAY");
    if (!name || !*name) return false;
    XInitThreads();
    Display* display = XOpenDisplay(nullptr);
    if (!display) return false;
    XCloseDisplay(display);
    return true;
}

// The X11 driver record, slots in interface order.
const display_driver x11_driver = {
    "X11",
    x11_init,             // init
    x11_exit,             // exit
    x11_lock,             // lock
    x11_unlock,           // unlock
    nullptr,              // set_palette: the conversion reads the screen's device palette
    x11_wait_vsync,       // wait_vsync: to the next sixtieth of a second
    x11_get_mouse,        // get_mouse
    x11_set_mouse,        // set_mouse
    x11_set_window_title, // set_window_title
    x11_set_window_pos,   // set_window_pos
    x11_fetch_modes,      // fetch_modes
    nullptr,              // flip
    nullptr,              // poll_events
};
