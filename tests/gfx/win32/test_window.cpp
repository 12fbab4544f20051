#include "tests/gfx/win32/test_window.h"

// After windows.h, which it needs.
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "gfx/blit/blit.h"
#include "gfx/internal/draw_state.h"
#include "gfx/internal/input_state.h"
#include "gfx/screen.h"
#include "gfx/win32/gdi_driver.h"
#include "runtime/mutex.h"
#include "runtime/runtime.h"

namespace {
gfx_context* test_context;
uint8_t* test_page;
uint8_t* test_pages[1];
// The next number of a PPM header, skipping blanks, comments and an optional leading letter;
// the single blank after the last number is consumed with it. -1 when there is none.
int read_ppm_number(FILE* file, int letter = 0) {
    int ch = std::fgetc(file);
    for (;;) {
        if (ch == '#') {
            while (ch != '\n' && ch != EOF)
                ch = std::fgetc(file);
        } else if (ch == ' ' || ch == '\n' || ch == '\r' || ch == '\t') {
            ch = std::fgetc(file);
        } else {
            break;
        }
    }
    if (letter && ch == letter) ch = std::fgetc(file);
    if (ch < '0' || ch > '9') return -1;
    int value = 0;
    while (ch >= '0' && ch <= '9') {
        value = value * 10 + (ch - '0');
        ch = std::fgetc(file);
    }
    return value;
}
} // namespace

std::string windows_path(const char* host_path) {
    std::string path = std::string("Z:") + host_path;
    for (char& ch : path)
        if (ch == '/') ch = '\\';
    return path;
}

namespace {
int32_t open_context(const display_driver& driver, int32_t width, int32_t height, int32_t depth,
                     uint32_t flags, int32_t scanline_size, const char* title) {
    static bool started = false;
    if (!started) {
        runtime_start();
        started = true;
    }
    auto* c = static_cast<gfx_context*>(std::calloc(1, sizeof(gfx_context)));
    c->id = 1000;
    c->mode = -1;
    c->width = width;
    c->height = height;
    c->depth = depth == 15 ? 16 : depth == 24 ? 32 : depth;
    c->bpp = (c->depth + 7) / 8;
    c->pitch = c->bpp * width;
    c->scanline_size = scanline_size;
    test_page = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(c->pitch) * height, 1));
    test_pages[0] = test_page;
    c->pages = test_pages;
    c->num_pages = 1;
    c->visible_buffer = test_page;
    c->dirty = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(height * scanline_size), 1));
    c->event_lock = mutex_create();
    c->driver = &driver;
    c->color_mask = c->depth == 16 ? 0xFFFF : c->depth == 32 ? 0xFFFFFFFF : (1u << c->depth) - 1;
    expand16_table = static_cast<uint32_t*>(std::calloc(512, sizeof(uint32_t)));
    test_context = c;
    gfx_screen = c;
    select_pixel_routines(c->bpp);
    std::memset(c->dirty, 1, static_cast<size_t>(height));
    return driver.init(title, width, height * scanline_size, c->depth, 0, flags);
}
} // namespace

int32_t open_test_screen(int32_t width, int32_t height, int32_t depth, uint32_t flags,
                         int32_t scanline_size, const char* title) {
    return open_context(gdi_driver, width, height, depth, flags, scanline_size, title);
}

int32_t open_test_screen_on(const display_driver& driver, int32_t width, int32_t height,
                            int32_t depth, uint32_t flags) {
    return open_context(driver, width, height, depth, flags, 1, "win32_tests");
}

void close_test_screen() {
    if (test_context && test_context->driver->exit)
        test_context->driver->exit();
    else
        window_exit();
    gfx_screen = nullptr;
    if (!test_context) return;
    mutex_destroy(test_context->event_lock);
    std::free(test_context->dirty);
    std::free(test_page);
    std::free(test_context);
    std::free(expand16_table);
    expand16_table = nullptr;
    test_context = nullptr;
}

void drain_input() {
    key_buffer_clear();
    take_events();
}

std::vector<event_record> take_events() {
    std::vector<event_record> events;
    gfx_context* c = gfx_screen;
    if (!c) return events;
    mutex_lock(c->event_lock);
    while (c->event_head != c->event_tail) {
        events.push_back(c->events[c->event_head]);
        c->event_head = (c->event_head + 1) % event_queue_size;
    }
    mutex_unlock(c->event_lock);
    return events;
}

int32_t thread_count() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    int32_t count = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
    CloseHandle(snapshot);
    return count;
}

void wait_for_thread_count(int32_t count) {
    for (int waited = 0; waited < 10000 && thread_count() > count; waited += 50)
        Sleep(50);
}

void settle(DWORD milliseconds) {
    Sleep(milliseconds);
}

// Under Wine a host process has no handle to wait on or exit code to read: the command writes
// its exit code into a file, which is polled for.
int run_host_command(const std::string& command) {
    static int serial = 0;
    char status_name[64];
    std::snprintf(status_name, sizeof status_name, "/tmp/win32_tests_%lu_%d.status",
                  GetCurrentProcessId(), ++serial);
    std::string line = "/bin/sh -c \"PATH=/usr/local/bin:/usr/bin:/bin; " + command +
                       "; echo $? > " + status_name + ".part; mv " + status_name + ".part " +
                       status_name + "\"";
    std::vector<char> buffer(line.begin(), line.end());
    buffer.push_back(0);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return -1;
    // Wine starts a host program without giving handles back (32-bit Wine leaves the thread
    // handle unset): closing what is there could close one of this process's own handles.
    if (process.hProcess) {
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    const std::string windows_name = windows_path(status_name);
    int code = -1;
    for (int waited = 0; waited < 30000; waited += 20) {
        FILE* file = std::fopen(windows_name.c_str(), "r");
        if (file) {
            if (std::fscanf(file, "%d", &code) != 1) code = -1;
            std::fclose(file);
            DeleteFileA(windows_name.c_str());
            break;
        }
        Sleep(20);
    }
    return code;
}

bool host_tool_available(const char* name) {
    return run_host_command(std::string("command -v ") + name + " >/dev/null 2>&1") == 0;
}

screenshot take_screenshot() {
    screenshot shot;
    char name[64];
    std::snprintf(name, sizeof name, "/tmp/win32_tests_%lu.ppm", GetCurrentProcessId());
    if (run_host_command(std::string(CLOUDDISK_SOURCE_DIR) + "/scripts/screenshot " + name) != 0)
        return shot;
    const std::string windows_name = windows_path(name);
    FILE* file = std::fopen(windows_name.c_str(), "rb");
    if (!file) return shot;
    int width = 0, height = 0, maximum = 0;
    if (read_ppm_number(file, 'P') == 6 && (width = read_ppm_number(file)) > 0 &&
        (height = read_ppm_number(file)) > 0 && (maximum = read_ppm_number(file)) == 255) {
        shot.rgb.resize(static_cast<size_t>(width) * height * 3);
        if (std::fread(shot.rgb.data(), 1, shot.rgb.size(), file) == shot.rgb.size()) {
            shot.width = width;
            shot.height = height;
        }
    }
    std::fclose(file);
    DeleteFileA(windows_name.c_str());
    return shot;
}

POINT client_to_screen(int32_t x, int32_t y) {
    POINT point{x, y};
    ClientToScreen(window_state.hwnd, &point);
    return point;
}

uint32_t client_pixel(const screenshot& shot, int32_t x, int32_t y) {
    POINT point = client_to_screen(x, y);
    return shot.pixel(point.x, point.y);
}

bool near_colour(uint32_t a, uint32_t b, int32_t tolerance) {
    for (int shift = 0; shift <= 16; shift += 8) {
        int32_t ca = static_cast<int32_t>((a >> shift) & 0xFF);
        int32_t cb = static_cast<int32_t>((b >> shift) & 0xFF);
        if (ca - cb > tolerance || cb - ca > tolerance) return false;
    }
    return (a & 0xFF000000) == (b & 0xFF000000);
}
