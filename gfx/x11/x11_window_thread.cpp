// The X11 driver's window thread: it opens the window and its image, then every 10 ms converts
// the dirty lines of the visible page under the lock, handles the window's events and
// refreshes key_state there too, and after leaving the lock puts only the converted band.
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "gfx/internal/gfx_context.h"
#include "gfx/internal/window_keys.h"
#include "gfx/screen.h"
#include "gfx/x11/x11_driver.h"
#include "runtime/os/os.h"

namespace {

constexpr int64_t pass_nanoseconds = 10000000;
constexpr int event_batch = 64; // events handled per pass; more wait for the next one

constexpr long window_events = KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask |
                               PointerMotionMask | EnterWindowMask | LeaveWindowMask |
                               FocusChangeMask | ExposureMask | StructureNotifyMask;

// Display formats that the conversions serve: {bits per pixel, red mask, green mask} of a
// TrueColor visual, and the depth and order select_blitter takes for it.
struct display_format {
    int bits_per_pixel;
    unsigned long red_mask;
    unsigned long green_mask;
    int32_t display_depth;
    int32_t rgb_order;
};

// clang-format off
constexpr display_format display_formats[] = {
    {32, 0xFF0000, 0xFF00, 32, 0},
    {32, 0x0000FF, 0xFF00, 32, 1},
    {24, 0xFF0000, 0xFF00, 24, 0},
    {24, 0x0000FF, 0xFF00, 24, 1},
    {16, 0xF800,   0x07E0, 16, 0},
    {16, 0x001F,   0x07E0, 16, 1},
    {16, 0x7C00,   0x03E0, 15, 0},
    {16, 0x001F,   0x03E0, 15, 1},
};
// clang-format on

// _MOTIF_WM_HINTS: flags (decorations given), functions, decorations (none), input mode, status.
constexpr long motif_decorations = 2;

std::atomic<uint32_t> pass_count;
std::atomic<uint32_t> put_count;
std::atomic<int32_t> last_top;
std::atomic<int32_t> last_rows;

bool attach_failed;

int note_attach_error(Display*, XErrorEvent*) {
    attach_failed = true;
    return 0;
}

// Attaches the segment to the server; an X server elsewhere (or in another IPC namespace)
// refuses, which arrives as an error rather than a result.
bool attach_segment(XShmSegmentInfo* segment) {
    Display* display = x11_state.display;
    XSync(display, False);
    attach_failed = false;
    XErrorHandler previous = XSetErrorHandler(note_attach_error);
    const bool sent = XShmAttach(display, segment) != 0;
    XSync(display, False);
    XSetErrorHandler(previous);
    return sent && !attach_failed;
}

bool create_shared_image(int32_t width, int32_t height) {
    x11_image& shown = x11_state.shown;
    shown.segment = XShmSegmentInfo{};
    shown.segment.shmid = -1;
    XImage* image = XShmCreateImage(
        x11_state.display, x11_state.visual, static_cast<unsigned>(x11_state.visual_depth), ZPixmap,
        nullptr, &shown.segment, static_cast<unsigned>(width), static_cast<unsigned>(height));
    if (!image) return false;
    const size_t bytes = static_cast<size_t>(image->bytes_per_line) * static_cast<size_t>(height);
    shown.segment.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    void* memory = shown.segment.shmid < 0 ? nullptr : shmat(shown.segment.shmid, nullptr, 0);
    bool attached = false;
    if (memory && memory != reinterpret_cast<void*>(-1)) {
        shown.segment.shmaddr = static_cast<char*>(memory);
        shown.segment.readOnly = False;
        image->data = shown.segment.shmaddr;
        attached = attach_segment(&shown.segment);
    }
    // Marked for removal at once: the segment goes when both sides have let go of it, even if
    // this process ends without its exit.
    if (shown.segment.shmid >= 0) shmctl(shown.segment.shmid, IPC_RMID, nullptr);
    if (!attached) {
        if (memory && memory != reinterpret_cast<void*>(-1)) shmdt(memory);
        image->data = nullptr;
        XDestroyImage(image);
        return false;
    }
    std::memset(image->data, 0, bytes);
    shown.image = image;
    shown.shared = true;
    return true;
}

bool create_plain_image(int32_t width, int32_t height) {
    XImage* image = XCreateImage(
        x11_state.display, x11_state.visual, static_cast<unsigned>(x11_state.visual_depth), ZPixmap,
        0, nullptr, static_cast<unsigned>(width), static_cast<unsigned>(height), 32, 0);
    if (!image) return false;
    image->data = static_cast<char*>(
        std::calloc(static_cast<size_t>(image->bytes_per_line), static_cast<size_t>(height)));
    if (!image->data) {
        XDestroyImage(image);
        return false;
    }
    // The conversions write this machine's byte order; Xlib reorders for a server of the other.
    image->byte_order = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ ? LSBFirst : MSBFirst;
    x11_state.shown.image = image;
    x11_state.shown.shared = false;
    return true;
}

void destroy_image() {
    x11_image& shown = x11_state.shown;
    if (!shown.image) return;
    if (shown.shared) {
        XShmDetach(x11_state.display, &shown.segment);
        XSync(x11_state.display, False);
        shmdt(shown.segment.shmaddr);
        shown.image->data = nullptr; // not Xlib's to free
    }
    XDestroyImage(shown.image);
    shown = x11_image{};
}

// The image for the current scale, and the unscaled rows it is filled from when scaled.
bool create_presentation() {
    const int32_t width = x11_state.width * x11_state.scale;
    const int32_t height = x11_state.height * x11_state.scale;
    const bool made = (x11_shared_memory_allowed && XShmQueryExtension(x11_state.display) &&
                       create_shared_image(width, height)) ||
                      create_plain_image(width, height);
    if (!made) return false;
    if (x11_state.scale == 1) return true;
    x11_state.converted_pitch = x11_state.width * x11_state.bytes_per_pixel;
    x11_state.converted = static_cast<uint8_t*>(std::calloc(
        static_cast<size_t>(x11_state.converted_pitch), static_cast<size_t>(x11_state.height)));
    return x11_state.converted != nullptr;
}

void destroy_presentation() {
    destroy_image();
    std::free(x11_state.converted);
    x11_state.converted = nullptr;
}

// The display format of the default visual, chosen as the conversion routine for it.
bool choose_conversion() {
    Visual* visual = x11_state.visual;
    if (visual->c_class != TrueColor) return false;
    int count = 0;
    int bits_per_pixel = 0;
    XPixmapFormatValues* formats = XListPixmapFormats(x11_state.display, &count);
    for (int i = 0; i < count; ++i)
        if (formats[i].depth == x11_state.visual_depth) bits_per_pixel = formats[i].bits_per_pixel;
    if (formats) XFree(formats);
    for (const display_format& format : display_formats) {
        if (format.bits_per_pixel != bits_per_pixel || format.red_mask != visual->red_mask ||
            format.green_mask != visual->green_mask)
            continue;
        x11_state.bytes_per_pixel = bits_per_pixel / 8;
        x11_state.blitter = select_blitter(format.display_depth, format.rgb_order);
        return x11_state.blitter != nullptr;
    }
    return false;
}

void intern_atoms() {
    const char* names[] = {"WM_PROTOCOLS",
                           "WM_DELETE_WINDOW",
                           "_NET_WM_STATE",
                           "_NET_WM_STATE_FULLSCREEN",
                           "_NET_WM_STATE_ABOVE",
                           "_NET_WM_PID",
                           "_NET_SUPPORTING_WM_CHECK",
                           "_MOTIF_WM_HINTS"};
    Atom atoms[std::size(names)];
    XInternAtoms(x11_state.display, const_cast<char**>(names), static_cast<int>(std::size(names)),
                 False, atoms);
    x11_atoms& a = x11_state.atoms;
    a.wm_protocols = atoms[0];
    a.wm_delete_window = atoms[1];
    a.net_wm_state = atoms[2];
    a.net_wm_state_fullscreen = atoms[3];
    a.net_wm_state_above = atoms[4];
    a.net_wm_pid = atoms[5];
    a.net_supporting_wm_check = atoms[6];
    a.motif_wm_hints = atoms[7];
}

int32_t screen_width() {
    return DisplayWidth(x11_state.display, DefaultScreen(x11_state.display));
}

int32_t screen_height() {
    return DisplayHeight(x11_state.display, DefaultScreen(x11_state.display));
}

// Whether a window manager that follows the extended hints runs: it then makes the window full
// screen; without one the window covers the screen by itself.
bool window_manager_present() {
    Display* display = x11_state.display;
    Atom type = None;
    int format = 0;
    unsigned long items = 0;
    unsigned long left = 0;
    unsigned char* data = nullptr;
    const int status = XGetWindowProperty(display, DefaultRootWindow(display),
                                          x11_state.atoms.net_supporting_wm_check, 0, 1, False,
                                          XA_WINDOW, &type, &format, &items, &left, &data);
    const bool present = status == Success && type == XA_WINDOW && items == 1;
    if (data) XFree(data);
    return present;
}

// A window of the framebuffer's size keeps it; a full-screen one may take any.
void set_size_hints() {
    XSizeHints* hints = XAllocSizeHints();
    if (!hints) return;
    hints->flags = PPosition;
    if (!(x11_state.flags & fullscreen)) {
        hints->flags |= PMinSize | PMaxSize;
        hints->min_width = hints->max_width = x11_state.width;
        hints->min_height = hints->max_height = x11_state.height;
    }
    XSetWMNormalHints(x11_state.display, x11_state.window, hints);
    XFree(hints);
}

void window_geometry(int32_t* x, int32_t* y, int32_t* width, int32_t* height) {
    if (x11_state.flags & fullscreen) {
        *x = *y = 0;
        *width = screen_width();
        *height = screen_height();
        return;
    }
    *width = x11_state.width;
    *height = x11_state.height;
    *x = (screen_width() - *width) >> 1;
    *y = (screen_height() - *height) >> 1;
}

void set_properties() {
    Display* display = x11_state.display;
    const Window window = x11_state.window;
    const x11_atoms& atoms = x11_state.atoms;
    XStoreName(display, window, x11_state.title);
    // The class is the Windows builds' window class, "qxgfxclass_" and the title.
    char class_name[140];
    std::snprintf(class_name, sizeof class_name, "qxgfxclass_%s", x11_state.title);
    XClassHint class_hint{const_cast<char*>(x11_state.title), class_name};
    XSetClassHint(display, window, &class_hint);
    set_size_hints();
    Atom protocols[] = {atoms.wm_delete_window};
    XSetWMProtocols(display, window, protocols, 1);
    const long pid = getpid();
    XChangeProperty(display, window, atoms.net_wm_pid, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&pid), 1);
    Atom states[2];
    int count = 0;
    if (x11_state.flags & fullscreen) states[count++] = atoms.net_wm_state_fullscreen;
    if (x11_state.flags & always_on_top) states[count++] = atoms.net_wm_state_above;
    if (count)
        XChangeProperty(display, window, atoms.net_wm_state, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(states), count);
    if (x11_state.flags & no_frame) {
        const long motif[5] = {motif_decorations, 0, 0, 0, 0};
        XChangeProperty(display, window, atoms.motif_wm_hints, atoms.motif_wm_hints, 32,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(motif), 5);
    }
}

int32_t open_window() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return -1;
    x11_state.display = display;
    const int screen = DefaultScreen(display);
    x11_state.visual = DefaultVisual(display, screen);
    x11_state.visual_depth = DefaultDepth(display, screen);
    if (!choose_conversion()) return -1;
    intern_atoms();

    int32_t x, y, width, height;
    window_geometry(&x, &y, &width, &height);
    XSetWindowAttributes attributes{};
    attributes.background_pixel = BlackPixel(display, screen);
    attributes.event_mask = window_events;
    x11_state.window =
        XCreateWindow(display, RootWindow(display, screen), x, y, static_cast<unsigned>(width),
                      static_cast<unsigned>(height), 0, CopyFromParent, InputOutput, CopyFromParent,
                      CWBackPixel | CWEventMask, &attributes);
    if (!x11_state.window) return -1;
    set_properties();
    x11_state.gc = XCreateGC(display, x11_state.window, 0, nullptr);
    // A held key then repeats as presses alone, which tells a repeat from a new press.
    XkbSetDetectableAutoRepeat(display, True, nullptr);
    x11_window_resized(width, height);
    if (!x11_state.shown.image) return -1;
    XMapWindow(display, x11_state.window);
    XFlush(display);
    return 0;
}

// Copies the band's rows of the unscaled conversion into the image, each pixel scale times
// across and each row scale times down.
void scale_rows(int32_t top, int32_t rows) {
    const int32_t scale = x11_state.scale;
    const int32_t bytes = x11_state.bytes_per_pixel;
    XImage* image = x11_state.shown.image;
    for (int32_t row = top; row < top + rows; ++row) {
        const uint8_t* source =
            x11_state.converted + static_cast<ptrdiff_t>(row) * x11_state.converted_pitch;
        uint8_t* first = reinterpret_cast<uint8_t*>(image->data) +
                         static_cast<ptrdiff_t>(row) * scale * image->bytes_per_line;
        uint8_t* out = first;
        for (int32_t x = 0; x < x11_state.width; ++x, source += bytes)
            for (int32_t copy = 0; copy < scale; ++copy, out += bytes)
                std::memcpy(out, source, static_cast<size_t>(bytes));
        for (int32_t copy = 1; copy < scale; ++copy)
            std::memcpy(first + static_cast<ptrdiff_t>(copy) * image->bytes_per_line, first,
                        static_cast<size_t>(out - first));
    }
}

// Puts display rows top .. top + rows - 1 of the framebuffer, scaled, into the window.
void put_rows(int32_t top, int32_t rows) {
    Display* display = x11_state.display;
    x11_image& shown = x11_state.shown;
    if (!shown.image || rows <= 0) return;
    if (x11_state.converted) scale_rows(top, rows);
    const int32_t scale = x11_state.scale;
    const auto width = static_cast<unsigned>(x11_state.width * scale);
    const auto height = static_cast<unsigned>(rows * scale);
    if (shown.shared) {
        XShmPutImage(display, x11_state.window, x11_state.gc, shown.image, 0, top * scale,
                     x11_state.offset_x, x11_state.offset_y + top * scale, width, height, False);
        // The server reads the segment while it draws: the next conversion waits for that.
        XSync(display, False);
    } else {
        XPutImage(display, x11_state.window, x11_state.gc, shown.image, 0, top * scale,
                  x11_state.offset_x, x11_state.offset_y + top * scale, width, height);
        XFlush(display);
    }
    last_top.store(top, std::memory_order_relaxed);
    last_rows.store(rows, std::memory_order_relaxed);
    put_count.fetch_add(1, std::memory_order_relaxed);
}

struct band {
    int32_t top;
    int32_t rows;
};

// Converts the dirty lines of the visible page and clears every flag; the display rows from the
// first dirty line to the last. Under the lock.
band convert_dirty_lines() {
    int32_t first = 0;
    int32_t last = 0;
    if (!x11_state.shown.image || !gfx_screen || !dirty_span(&first, &last)) return {0, 0};
    uint8_t* rows = x11_state.converted ? x11_state.converted
                                        : reinterpret_cast<uint8_t*>(x11_state.shown.image->data);
    const int32_t pitch =
        x11_state.converted ? x11_state.converted_pitch : x11_state.shown.image->bytes_per_line;
    x11_state.blitter(rows, pitch);
    std::memset(gfx_screen->dirty, 0, static_cast<size_t>(gfx_screen->height));
    const int32_t lines = gfx_screen->scanline_size > 1 ? gfx_screen->scanline_size : 1;
    return {first * lines, (last - first + 1) * lines};
}

// key_state from the keys held, in the keyboard-state form that the shared refresh reads.
void refresh_key_state() {
    uint8_t keys[256] = {};
    for (int keycode = 0; keycode < 256; ++keycode)
        if (x11_state.keycode_down[keycode]) keys[x11_state.keycode_virtual_key[keycode]] = 0x80;
    key_state_from_keyboard(keys);
}

void pass() {
    Display* display = x11_state.display;
    // Read before the lock: the program's thread waits for none of the connection's traffic.
    XEvent events[event_batch];
    int count = 0;
    while (count < event_batch && XPending(display))
        XNextEvent(display, &events[count++]);
    x11_window_lock();
    for (int i = 0; i < count; ++i)
        x11_handle_event(&events[i]);
    const band converted = convert_dirty_lines();
    if (x11_state.active) refresh_key_state();
    const bool whole = x11_state.repaint;
    x11_state.repaint = false;
    x11_window_unlock();
    if (whole)
        put_rows(0, x11_state.height);
    else
        put_rows(converted.top, converted.rows);
    pass_count.fetch_add(1, std::memory_order_release);
}

} // namespace

x11_present_record x11_presents() {
    return {pass_count.load(std::memory_order_relaxed), put_count.load(std::memory_order_relaxed),
            last_top.load(std::memory_order_relaxed), last_rows.load(std::memory_order_relaxed)};
}

void x11_mark_all_dirty() {
    if (gfx_screen && gfx_screen->dirty)
        std::memset(gfx_screen->dirty, 1, static_cast<size_t>(gfx_screen->height));
}

void x11_window_resized(int32_t width, int32_t height) {
    x11_state.window_width = width;
    x11_state.window_height = height;
    const int32_t scale = std::max(1, std::min(width / x11_state.width, height / x11_state.height));
    x11_state.offset_x = std::max(0, (width - x11_state.width * scale) / 2);
    x11_state.offset_y = std::max(0, (height - x11_state.height * scale) / 2);
    if (scale != x11_state.scale || !x11_state.shown.image) {
        // The first image starts black, as the mode set clears the new framebuffer; it does so
        // while this thread runs already, unlocked, so the framebuffer is not read then. A later
        // image is filled from it.
        const bool refill = x11_state.scale != 0;
        destroy_presentation();
        x11_state.scale = scale;
        if (!create_presentation()) destroy_presentation();
        if (refill) x11_mark_all_dirty();
    }
    // The border around a centred framebuffer shows the window's black background.
    XClearWindow(x11_state.display, x11_state.window);
    x11_state.repaint = true;
}

void x11_fullscreen_switch() {
    if (x11_state.flags & no_switch) return;
    Display* display = x11_state.display;
    x11_state.flags ^= fullscreen;
    const bool full = (x11_state.flags & fullscreen) != 0;
    set_size_hints();
    if (window_manager_present()) {
        XEvent request{};
        request.xclient.type = ClientMessage;
        request.xclient.window = x11_state.window;
        request.xclient.message_type = x11_state.atoms.net_wm_state;
        request.xclient.format = 32;
        request.xclient.data.l[0] = full ? 1 : 0; // add or remove
        request.xclient.data.l[1] = static_cast<long>(x11_state.atoms.net_wm_state_fullscreen);
        request.xclient.data.l[3] = 1; // from an application
        XSendEvent(display, DefaultRootWindow(display), False,
                   SubstructureRedirectMask | SubstructureNotifyMask, &request);
    } else {
        int32_t x, y, width, height;
        window_geometry(&x, &y, &width, &height);
        XMoveResizeWindow(display, x11_state.window, x, y, static_cast<unsigned>(width),
                          static_cast<unsigned>(height));
    }
    XFlush(display);
}

void x11_close_window() {
    Display* display = x11_state.display;
    if (!display) return;
    destroy_presentation();
    if (x11_state.blank_cursor) XFreeCursor(display, x11_state.blank_cursor);
    if (x11_state.gc) XFreeGC(display, x11_state.gc);
    if (x11_state.window) XDestroyWindow(display, x11_state.window);
    XCloseDisplay(display);
    x11_state.blank_cursor = None;
    x11_state.gc = nullptr;
    x11_state.window = None;
    x11_state.display = nullptr;
}

void x11_window_thread(void*) {
    const int32_t opened = open_window();
    if (opened != 0) x11_close_window();
    x11_state.start_result = opened;
    x11_state.active = opened == 0 ? 1 : 0;
    os_semaphore_release(x11_state.started);
    if (opened != 0) return;
    // Passes start every 10 ms, however long each took, so that a pass's work and a late wake-up
    // do not stretch the period; after a pass that ends past its successor's start the period
    // counts from then.
    int64_t next = x11_now();
    while (x11_running()) {
        pass();
        next += pass_nanoseconds;
        const int64_t now = x11_now();
        if (next < now) next = now + pass_nanoseconds;
        x11_sleep_until(next);
    }
}
