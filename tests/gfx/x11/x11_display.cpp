#include "tests/gfx/x11/x11_display.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int32_t entries_of(const char* folder) {
    DIR* directory = opendir(folder);
    if (!directory) return -1;
    int32_t count = 0;
    while (const dirent* entry = readdir(directory))
        if (entry->d_name[0] != '.') ++count;
    closedir(directory);
    return count;
}

// 0x00RRGGBB of a pixel value of the default visual.
uint32_t rgb_of(unsigned long value, const Visual* visual) {
    auto channel = [value](unsigned long mask) {
        if (!mask) return 0u;
        unsigned long shifted = value & mask;
        while (!(mask & 1)) {
            mask >>= 1;
            shifted >>= 1;
        }
        const unsigned bits = static_cast<unsigned>(__builtin_popcountl(mask));
        return static_cast<uint32_t>(shifted << (8 - bits)) & 0xFF;
    };
    return channel(visual->red_mask) << 16 | channel(visual->green_mask) << 8 |
           channel(visual->blue_mask);
}

} // namespace

Display* test_display() {
    static Display* display = [] {
        XInitThreads();
        const char* name = std::getenv("DISPLAY");
        return name && *name ? XOpenDisplay(nullptr) : nullptr;
    }();
    return display;
}

std::string x11_unavailable() {
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) return "no X display: DISPLAY is not set";
    if (!test_display()) return std::string("the X display ") + name + " cannot be reached";
    if (run_command("command -v xdotool >/dev/null") != 0) return "xdotool is not installed";
    return "";
}

std::vector<uint32_t> window_pixels(Window window, int32_t x, int32_t y, int32_t width,
                                    int32_t height) {
    std::vector<uint32_t> pixels;
    Display* display = test_display();
    XImage* image = XGetImage(display, window, x, y, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (!image) return pixels;
    const Visual* visual = DefaultVisual(display, DefaultScreen(display));
    for (int32_t row = 0; row < height; ++row)
        for (int32_t column = 0; column < width; ++column)
            pixels.push_back(rgb_of(XGetPixel(image, column, row), visual));
    XDestroyImage(image);
    return pixels;
}

screenshot take_screenshot() {
    Display* display = test_display();
    screenshot shot;
    const int screen = DefaultScreen(display);
    const int32_t width = DisplayWidth(display, screen);
    const int32_t height = DisplayHeight(display, screen);
    const std::vector<uint32_t> pixels =
        window_pixels(DefaultRootWindow(display), 0, 0, width, height);
    if (pixels.empty()) return shot;
    shot.rgb.reserve(pixels.size() * 3);
    for (uint32_t pixel : pixels) {
        shot.rgb.push_back(static_cast<uint8_t>(pixel >> 16));
        shot.rgb.push_back(static_cast<uint8_t>(pixel >> 8));
        shot.rgb.push_back(static_cast<uint8_t>(pixel));
    }
    shot.width = width;
    shot.height = height;
    return shot;
}

void window_origin(Window window, int32_t* x, int32_t* y) {
    Display* display = test_display();
    int left = 0;
    int top = 0;
    Window child = None;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &left, &top, &child);
    *x = left;
    *y = top;
}

Window window_of_class(const char* window_class) {
    Display* display = test_display();
    Window root = None;
    Window parent = None;
    Window* children = nullptr;
    unsigned count = 0;
    Window found = None;
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count))
        return None;
    for (unsigned i = 0; i < count && found == None; ++i) {
        XClassHint hint{};
        if (!XGetClassHint(display, children[i], &hint)) continue;
        if (hint.res_class && std::strcmp(hint.res_class, window_class) == 0) found = children[i];
        XFree(hint.res_name);
        XFree(hint.res_class);
    }
    if (children) XFree(children);
    return found;
}

int32_t top_level_windows() {
    Display* display = test_display();
    Window root = None;
    Window parent = None;
    Window* children = nullptr;
    unsigned count = 0;
    XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
    if (children) XFree(children);
    return static_cast<int32_t>(count);
}

void send_close_request(Window window) {
    Display* display = test_display();
    XEvent request{};
    request.xclient.type = ClientMessage;
    request.xclient.window = window;
    request.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    request.xclient.format = 32;
    request.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    request.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &request);
    XFlush(display);
}

int run_command(const std::string& command) {
    const int status = std::system(command.c_str());
    return status == -1 ? -1 : WEXITSTATUS(status);
}

int32_t thread_count() {
    return entries_of("/proc/self/task");
}

int32_t open_files() {
    return entries_of("/proc/self/fd");
}

int32_t shared_memory_segments() {
    FILE* table = std::fopen("/proc/sysvipc/shm", "r");
    if (!table) return -1;
    char line[512];
    int32_t count = 0;
    const long self = getpid();
    // Columns: key shmid perms size cpid lpid ...
    if (std::fgets(line, sizeof line, table)) {
        while (std::fgets(line, sizeof line, table)) {
            long key, shmid, perms, size, creator;
            if (std::sscanf(line, "%ld %ld %lo %ld %ld", &key, &shmid, &perms, &size, &creator) ==
                    5 &&
                creator == self)
                ++count;
        }
    }
    std::fclose(table);
    return count;
}
