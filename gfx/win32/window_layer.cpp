// Window layer: start-up and shutdown of the window and its thread, and the driver operations
// that the GDI, DirectDraw and OpenGL drivers share.
#include "gfx/win32/window_layer.h"

#include <process.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "gfx/internal/gfx_context.h"

window_layer_state window_state;
window_input_state window_input;
CRITICAL_SECTION window_lock;
decltype(&DuplicateHandle) window_duplicate_handle = DuplicateHandle;

namespace {

template <typename T> T user32_entry(HMODULE user32, const char* name) {
    if (!user32) return nullptr;
    FARPROC entry = GetProcAddress(user32, name);
    return reinterpret_cast<T>(reinterpret_cast<void*>(entry));
}

template <typename T> void free_buffer(conversion_buffer<T>& buffer) {
    std::free(buffer.data);
    buffer.data = nullptr;
    buffer.capacity = 0;
}

void free_conversion_buffers() {
    free_buffer(window_input.wide_buffer);
    free_buffer(window_input.oem_buffer);
}

// What the new window thread needs before it may run the driver's thread.
struct thread_start {
    HANDLE start_event;
    HANDLE handle_ready;
};

// _beginthread's handle is closed by the run-time when the thread ends, so the thread waits
// until the starter holds a duplicate of it: only then may it end. The thread owns
// handle_ready; the starter owns start_event.
void __cdecl window_thread_main(void* argument) {
    auto* start = static_cast<thread_start*>(argument);
    WaitForSingleObject(start->handle_ready, INFINITE);
    CloseHandle(start->handle_ready);
    HANDLE start_event = start->start_event;
    std::free(start);
    if (running_now() && window_state.window_thread) window_state.window_thread(start_event);
}

bool fullscreen_mode() {
    return (window_state.flags & fullscreen) != 0;
}

} // namespace

void window_state_clear() {
    std::memset(&window_state, 0, sizeof window_state);
}

bool running_now() {
    return std::atomic_ref<int32_t>(window_state.running).load(std::memory_order_acquire) != 0;
}

int32_t window_start(const char* title, int32_t width, int32_t height, int32_t depth,
                     int32_t refresh_rate, uint32_t flags) {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (GetVersionExA(&version))
        window_state.os_version =
            static_cast<int32_t>(version.dwMajorVersion * 256 + version.dwMinorVersion);

    HMODULE user32 = GetModuleHandleA("USER32");
    window_state.set_layered_window_attributes =
        user32_entry<set_layered_window_attributes_entry>(user32, "SetLayeredWindowAttributes");
    window_state.monitor_from_window =
        user32_entry<monitor_from_window_entry>(user32, "MonitorFromWindow");
    window_state.monitor_from_point =
        user32_entry<monitor_from_point_entry>(user32, "MonitorFromPoint");
    window_state.flash_window_ex = user32_entry<flash_window_ex_entry>(user32, "FlashWindowEx");
    window_state.track_mouse_event =
        user32_entry<track_mouse_event_entry>(user32, "TrackMouseEvent");

    window_state.monitor = nullptr;
    if (window_state.monitor_from_point) {
        POINT cursor{};
        GetCursorPos(&cursor);
        window_state.monitor = window_state.monitor_from_point(cursor, MONITOR_DEFAULTTONEAREST);
    }

    window_input.cursor_visible = 1;
    window_input.last_cursor_x = no_cursor_position;
    window_state.mouse_clipped = 0;
    window_input.enter_message = RegisterWindowMessageA("QX WM_MOUSEENTER emulation");
    if (!window_state.track_mouse_event)
        window_state.track_mouse_event = track_mouse_event_emulation;

    window_input.saved_screensaver = FALSE;
    SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &window_input.saved_screensaver, 0);
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, FALSE, nullptr, 0);

    if (!title) title = "";
    window_state.instance = GetModuleHandleA(nullptr);
    std::snprintf(window_state.class_name, sizeof window_state.class_name, "%s%s", class_prefix,
                  title);
    window_state.title = title;
    window_state.flags = flags;
    window_state.width = width;
    window_state.height = height;
    window_state.depth = depth;
    window_state.refresh_rate = refresh_rate;

    WNDCLASSA& window_class = window_state.window_class;
    window_class.lpfnWndProc = window_procedure;
    window_class.lpszClassName = window_state.class_name;
    window_class.hInstance = window_state.instance;
    window_class.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    window_class.hIcon = LoadIconA(window_state.instance, "QX_PROGRAM_ICON");
    if (!window_class.hIcon) window_class.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    window_class.hbrBackground = nullptr;
    window_class.lpszMenuName = nullptr;
    window_class.cbClsExtra = 0;
    window_class.cbWndExtra = 0;
    window_class.style = (flags & opengl) ? CS_DBLCLKS : CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
    RegisterClassA(&window_class);

    window_input.mouse_buttons = 0;
    std::atomic_ref<int32_t>(window_state.running).store(1, std::memory_order_release);
    window_input.mouse_wheel = 0;
    free_conversion_buffers();

    window_input.window_thread_handle = nullptr;
    if (flags & opengl) return 0;

    // The record belongs to the new thread once it runs; it may outlive this call.
    auto* start = static_cast<thread_start*>(std::malloc(sizeof(thread_start)));
    if (!start) return -1;
    HANDLE start_event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE handle_ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    start->start_event = start_event;
    start->handle_ready = handle_ready;
    uintptr_t started = (start_event && handle_ready) ? _beginthread(window_thread_main, 0, start)
                                                      : static_cast<uintptr_t>(-1);
    if (started == static_cast<uintptr_t>(-1) || started == 0) {
        std::free(start);
        if (start_event) CloseHandle(start_event);
        if (handle_ready) CloseHandle(handle_ready);
        return -1;
    }
    HANDLE thread = nullptr;
    if (!window_duplicate_handle(GetCurrentProcess(), reinterpret_cast<HANDLE>(started),
                                 GetCurrentProcess(), &thread, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
        // Without a handle the thread cannot be joined: let it end without opening a window.
        std::atomic_ref<int32_t>(window_state.running).store(0, std::memory_order_release);
        SetEvent(handle_ready);
        CloseHandle(start_event);
        return -1;
    }
    // window_lock exists exactly while there is a thread to join; the thread takes it only
    // once handle_ready is set.
    window_input.window_thread_handle = thread;
    InitializeCriticalSection(&window_lock);
    SetEvent(handle_ready);
    HANDLE waits[2] = {start_event, thread};
    DWORD result = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    CloseHandle(start_event);
    if (result != WAIT_OBJECT_0) return -1;
    if (flags & high_priority) SetThreadPriority(thread, THREAD_PRIORITY_ABOVE_NORMAL);
    return 0;
}

void window_exit() {
    if (!running_now()) return;
    std::atomic_ref<int32_t>(window_state.running).store(0, std::memory_order_release);

    if (gfx_screen && (gfx_screen->flags & context_locked)) {
        gfx_screen->lock_count = 0;
        gfx_screen->flags &= ~context_locked;
        if (gfx_screen->driver && gfx_screen->driver->unlock) gfx_screen->driver->unlock();
    }
    if (window_input.window_thread_handle) {
        WaitForSingleObject(window_input.window_thread_handle, INFINITE);
        CloseHandle(window_input.window_thread_handle);
        window_input.window_thread_handle = nullptr;
        DeleteCriticalSection(&window_lock);
    }
    free_conversion_buffers();
    if (window_state.close_window) window_state.close_window();
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE,
                          static_cast<UINT>(window_input.saved_screensaver), nullptr, 0);
    UnregisterClassA(window_state.class_name, window_state.instance);
    if (window_state.mouse_clipped) {
        ClipCursor(nullptr);
        window_state.mouse_clipped = 0;
    }
}

void lock() {
    EnterCriticalSection(&window_lock);
}

void unlock() {
    LeaveCriticalSection(&window_lock);
}

void set_palette(int32_t index, int32_t red, int32_t green, int32_t blue) {
    if (index < 0 || index > 255) return;
    PALETTEENTRY& entry = window_state.palette[index];
    entry.peRed = static_cast<BYTE>(red);
    entry.peGreen = static_cast<BYTE>(green);
    entry.peBlue = static_cast<BYTE>(blue);
    entry.peFlags = PC_NOCOLLAPSE;
    window_state.palette_changed = 1;
}

void wait_vsync() {
    int32_t rate = gfx_screen ? gfx_screen->refresh_rate : 0;
    Sleep(rate > 0 ? static_cast<DWORD>(1000 / rate) : 16);
}

int32_t get_mouse(int32_t* x, int32_t* y, int32_t* wheel, int32_t* buttons, int32_t* clip) {
    if (!window_state.active || !window_input.mouse_in_client) return -1;
    if (x) *x = window_input.mouse_x;
    if (y) *y = window_input.mouse_y;
    if (wheel) *wheel = window_input.mouse_wheel;
    if (buttons) *buttons = window_input.mouse_buttons;
    if (clip) *clip = window_state.mouse_clipped;
    return 0;
}

void set_mouse(int32_t x, int32_t y, int32_t cursor, int32_t clip) {
    if (x >= 0) {
        POINT point{std::min(x, window_state.width - 1),
                    std::clamp(y, 0, std::max(window_state.height - 1, 0))};
        if (!fullscreen_mode()) ClientToScreen(window_state.hwnd, &point);
        SetCursorPos(point.x, point.y);
        window_input.mouse_x = x;
        window_input.mouse_y = y;
    }
    if (cursor >= 0) {
        int32_t visible = cursor > 0 ? 1 : 0;
        if (visible != window_input.cursor_visible) {
            window_input.cursor_visible = visible;
            PostMessageA(window_state.hwnd, WM_SETCURSOR, 0, 0);
        }
    }
    if (clip == 0) {
        window_state.mouse_clipped = 0;
        ClipCursor(nullptr);
    } else if (clip > 0) {
        window_state.mouse_clipped = 1;
        clip_cursor_to_client();
    }
}

void set_window_title(const char* title) {
    // SetWindowTextA waits for the window thread, which handles messages only inside
    // window_lock: a program thread holding the lock must let go of it meanwhile.
    bool leave =
        gfx_screen && (gfx_screen->flags & context_locked) && window_input.window_thread_handle;
    if (leave) LeaveCriticalSection(&window_lock);
    SetWindowTextA(window_state.hwnd, title ? title : "");
    if (leave) EnterCriticalSection(&window_lock);
}

int32_t set_window_pos(int32_t x, int32_t y) {
    if (fullscreen_mode()) return 0;
    RECT rect{};
    GetWindowRect(window_state.hwnd, &rect);
    if (x == INT32_MIN) x = rect.left;
    if (y == INT32_MIN) y = rect.top;
    SetWindowPos(window_state.hwnd, nullptr, x, y, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOOWNERZORDER | SWP_ASYNCWINDOWPOS);
    return static_cast<int32_t>((static_cast<uint32_t>(rect.left) & 0xFFFF) |
                                (static_cast<uint32_t>(rect.top) << 16));
}

DEVMODEA window_display_mode() {
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    mode.dmBitsPerPel = static_cast<DWORD>(window_state.depth);
    mode.dmPelsWidth = static_cast<DWORD>(window_state.width);
    mode.dmPelsHeight = static_cast<DWORD>(window_state.height);
    mode.dmDisplayFrequency = static_cast<DWORD>(window_state.refresh_rate);
    return mode;
}

int32_t* display_settings_modes(int32_t depth, bool paired, int32_t* count) {
    int32_t* modes = nullptr;
    int32_t found = 0;
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    for (DWORD i = 0; EnumDisplaySettingsA(nullptr, i, &mode); ++i) {
        const int32_t bits = static_cast<int32_t>(mode.dmBitsPerPel);
        const bool matches =
            bits == depth ||
            (paired && ((bits == 15 && depth == 16) || (bits == 16 && depth == 15) ||
                        (bits == 24 && depth == 32) || (bits == 32 && depth == 24)));
        if (!matches) continue;
        void* grown = std::realloc(modes, sizeof(int32_t) * static_cast<size_t>(found + 1));
        if (!grown) break;
        modes = static_cast<int32_t*>(grown);
        modes[found++] = static_cast<int32_t>(mode.dmPelsWidth * 65536 + mode.dmPelsHeight);
    }
    if (count) *count = found;
    return modes;
}

void get_desktop_info(int32_t* width, int32_t* height, int32_t* depth, int32_t* refresh) {
    HDC screen = GetDC(nullptr);
    if (width) *width = GetDeviceCaps(screen, HORZRES);
    if (height) *height = GetDeviceCaps(screen, VERTRES);
    if (depth) *depth = GetDeviceCaps(screen, BITSPIXEL);
    if (refresh) *refresh = GetDeviceCaps(screen, VREFRESH);
    ReleaseDC(nullptr, screen);
}

HWND get_window_handle() {
    return window_state.hwnd;
}

int32_t create_driver_window(DWORD style, DWORD ex_style, int32_t x, int32_t y, int32_t width,
                             int32_t height) {
    window_state.hwnd =
        CreateWindowExA(ex_style, window_state.class_name, window_state.title, style, x, y, width,
                        height, nullptr, nullptr, window_state.instance, nullptr);
    if (!window_state.hwnd) return -1;
    if (window_state.flags & always_on_top)
        SetWindowPos(window_state.hwnd, HWND_TOPMOST, 0, 0, 0, 0,
                     SWP_NOSIZE | SWP_NOMOVE | SWP_NOSENDCHANGING);
    SetForegroundWindow(window_state.hwnd);
    return 0;
}

void pump_messages() {
    MSG message;
    while (PeekMessageA(&message, window_state.hwnd, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

void clip_cursor_to_client() {
    RECT rect{};
    GetClientRect(window_state.hwnd, &rect);
    POINT corners[2] = {{rect.left, rect.top}, {rect.right, rect.bottom}};
    ClientToScreen(window_state.hwnd, &corners[0]);
    ClientToScreen(window_state.hwnd, &corners[1]);
    RECT clip{corners[0].x, corners[0].y, corners[1].x, corners[1].y};
    ClipCursor(&clip);
}

void refresh_key_state() {
    BYTE keys[256] = {};
    if (GetKeyboardState(keys)) key_state_from_keyboard(keys);
}
