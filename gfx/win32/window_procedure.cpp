// The graphics window's procedure: keys, characters, mouse, activation and the fullscreen
// switch, turned into the key buffer, key_state, the event queue and the mouse state.
#include <cstdlib>
#include <cstring>

#include "gfx/internal/gfx_context.h"
#include "gfx/internal/input_state.h"
#include "gfx/internal/palette_state.h"
#include "gfx/win32/window_layer.h"
#include "runtime/console/console.h"

namespace {

constexpr int32_t no_event = 0;
constexpr int32_t code_page_437 = 437;

void post_simple_event(int32_t type, int32_t a = 0, int32_t b = 0, int32_t c = 0, int32_t d = 0) {
    if (!gfx_screen) return;
    event_record event{type, {a, b, c, d}};
    post_event(&event);
}

void post_prepared(const event_record& event) {
    if (event.type != no_event && gfx_screen) post_event(&event);
}

void mark_all_dirty() {
    if (gfx_screen && gfx_screen->dirty)
        std::memset(gfx_screen->dirty, 1, static_cast<size_t>(gfx_screen->height));
}

// Client rectangle in screen coordinates.
RECT client_on_screen(HWND window) {
    RECT rect{};
    GetClientRect(window, &rect);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// Starts leave tracking the first time the mouse is seen over an active window; the enter
// event then replaces whatever event was prepared.
void mouse_enter_check(HWND window, event_record& event) {
    if (!window_input.mouse_tracking && window_state.active) {
        TRACKMOUSEEVENT request{};
        request.cbSize = sizeof request; // 16 bytes on 32-bit Windows
        request.dwFlags = TME_LEAVE;
        request.hwndTrack = window;
        request.dwHoverTime = 0;
        if (window_state.track_mouse_event) window_state.track_mouse_event(&request);
        window_input.mouse_tracking = 1;
        event = event_record{event_mouse_entered, {0, 0, 0, 0}};
        if (window_state.mouse_clipped) clip_cursor_to_client();
    }
    post_prepared(event);
}

LRESULT fullscreen_switch(HWND window) {
    if (window_input.mouse_tracking) post_simple_event(event_mouse_left);
    if (window_state.flags & no_switch) return 0;
    window_state.monitor = window_state.monitor_from_window
                               ? window_state.monitor_from_window(window, MONITOR_DEFAULTTONEAREST)
                               : nullptr;
    if (window_state.mouse_clipped) ClipCursor(nullptr);
    if (window_state.close_window) window_state.close_window();
    window_state.flags ^= fullscreen;
    if (window_state.open_window && window_state.open_window() != 0) {
        if (window_state.close_window) window_state.close_window();
        window_state.flags ^= fullscreen;
        // Neither presentation could be made: release what the last try built, so that the
        // driver presents nothing rather than through a half-made presentation.
        if (window_state.open_window() != 0 && window_state.close_window)
            window_state.close_window();
    }
    resend_palette();
    mark_all_dirty();
    window_state.active = 1;
    window_input.mouse_tracking = 0;
    return 0;
}

bool key_is_down(const BYTE* keys, int vk) {
    return (keys[vk] & 0x80) != 0;
}

uint32_t control_state_of(const BYTE* keys, bool extended) {
    uint32_t state = 0;
    if (key_is_down(keys, VK_LSHIFT) || key_is_down(keys, VK_SHIFT) || key_is_down(keys, VK_RSHIFT))
        state |= 0x10; // SHIFT_PRESSED
    if (key_is_down(keys, VK_CONTROL) || key_is_down(keys, VK_LCONTROL)) state |= 0x08;
    if (key_is_down(keys, VK_RCONTROL)) state |= 0x04;
    if (key_is_down(keys, VK_MENU) || key_is_down(keys, VK_LMENU)) state |= 0x02;
    if (key_is_down(keys, VK_RMENU)) state |= 0x01;
    if (extended) state |= 0x100; // ENHANCED_KEY
    return state;
}

// WM_KEYDOWN, WM_KEYUP and WM_SYSKEYDOWN. A system key-down counts as a press, so that keys
// pressed with Alt reach the key buffer like any other.
LRESULT translate_key(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    const int32_t vk = static_cast<int32_t>(LOWORD(wparam));
    const int32_t scancode = static_cast<int32_t>((lparam >> 16) & 0xFF);
    const int32_t repeat = static_cast<int32_t>(lparam & 0xFFFF);
    const bool extended = (lparam & (1 << 24)) != 0;
    const bool was_down = (lparam & (1 << 30)) != 0;

    BYTE keys[256] = {};
    GetKeyboardState(keys);
    const uint32_t control_state = control_state_of(keys, extended);

    int32_t character = 0;
    // Dead keys (top bit of the mapping set) must not reach ToAscii, which would consume them.
    if (static_cast<int32_t>(MapVirtualKeyA(static_cast<UINT>(vk), MAPVK_VK_TO_CHAR)) >= 0) {
        WORD buffer = 0;
        if (ToAscii(static_cast<UINT>(vk), static_cast<UINT>(scancode), keys, &buffer, 0) == 1)
            character = buffer & 0xFF;
    }
    const int32_t code =
        key_code_of(static_cast<int8_t>(character), scancode, vk, control_state, 0);

    const int32_t type = message == WM_KEYUP ? event_key_released
                         : was_down          ? event_key_repeated
                                             : event_key_pressed;
    if (!key_message(type, vk, code, repeat)) return 0;
    return DefWindowProcA(window, message, wparam, lparam);
}

// Grows a conversion buffer to hold count characters; on failure the old buffer stays.
template <typename T> void grow(conversion_buffer<T>& buffer, int32_t count) {
    if (count <= buffer.capacity) return;
    void* grown = std::realloc(buffer.data, sizeof(T) * static_cast<size_t>(count));
    if (!grown) return;
    buffer.data = static_cast<T*>(grown);
    buffer.capacity = count;
}

// A byte of the window's code page as a code page 437 character, signed; 0 when it cannot be
// converted.
int32_t character_437_of(uint8_t byte) {
    if (byte == 0) return 0;
    const char* source = reinterpret_cast<const char*>(&byte);
    int wide_count = MultiByteToWideChar(CP_ACP, 0, source, 1, nullptr, 0);
    if (wide_count <= 0) return 0;
    grow(window_input.wide_buffer, wide_count + 1);
    conversion_buffer<wchar_t>& wide = window_input.wide_buffer;
    if (!wide.data || wide.capacity < 2) return 0;
    wide_count = MultiByteToWideChar(CP_ACP, 0, source, 1, wide.data, wide.capacity - 1);
    if (wide_count <= 0) return 0;
    wide.data[wide_count] = 0;

    int oem_count =
        WideCharToMultiByte(code_page_437, 0, wide.data, wide_count, nullptr, 0, nullptr, nullptr);
    if (oem_count <= 0) return 0;
    grow(window_input.oem_buffer, oem_count + 1);
    conversion_buffer<char>& oem = window_input.oem_buffer;
    if (!oem.data || oem.capacity < 2) return 0;
    oem_count = WideCharToMultiByte(code_page_437, 0, wide.data, wide_count, oem.data,
                                    oem.capacity - 1, nullptr, nullptr);
    if (oem_count <= 0) return 0;
    oem.data[oem_count] = 0;
    return static_cast<int8_t>(oem.data[0]);
}

void translate_character(WPARAM wparam, LPARAM lparam) {
    if (wparam > 255) return;
    const int32_t character = character_437_of(static_cast<uint8_t>(wparam));
    const int32_t repeat = static_cast<int32_t>(lparam & 0xFFFF);
    for (int32_t i = 0; i < repeat; ++i)
        post_key(character);
}

void mouse_move(HWND window, LPARAM lparam, POINT cursor) {
    const int32_t x = static_cast<int32_t>(LOWORD(lparam));
    const int32_t y = static_cast<int32_t>(HIWORD(lparam));
    window_input.mouse_x = x;
    window_input.mouse_y = y;
    int32_t dx = 0;
    int32_t dy = 0;
    if (window_input.last_cursor_x != no_cursor_position) {
        dx = cursor.x - window_input.last_cursor_x;
        dy = cursor.y - window_input.last_cursor_y;
    }
    window_input.last_cursor_x = cursor.x;
    window_input.last_cursor_y = cursor.y;
    event_record event{};
    if ((dx != 0 || dy != 0) && window_state.active)
        event = event_record{event_mouse_moved, {x, y, dx, dy}};
    mouse_enter_check(window, event);
}

void button_down(HWND window, int32_t bit, int32_t type) {
    SetCapture(window);
    window_input.mouse_buttons |= bit;
    post_simple_event(type, bit);
}

void button_up(HWND window, int32_t bit) {
    window_input.mouse_buttons &= ~bit;
    if (window_input.mouse_buttons == 0 && GetCapture() == window) ReleaseCapture();
    post_simple_event(event_button_released, bit);
}

void extra_button_down(HWND window, WPARAM wparam, int32_t type) {
    SetCapture(window);
    const int32_t keys = static_cast<int32_t>(LOWORD(wparam));
    window_input.previous_buttons = window_input.mouse_buttons;
    if (keys & MK_XBUTTON1) window_input.mouse_buttons |= 0x08;
    if (keys & MK_XBUTTON2) window_input.mouse_buttons |= 0x10;
    post_simple_event(type, window_input.mouse_buttons & ~window_input.previous_buttons & 0x18);
}

void extra_button_up(HWND window, WPARAM wparam) {
    const int32_t keys = static_cast<int32_t>(LOWORD(wparam));
    window_input.previous_buttons = window_input.mouse_buttons;
    if (!(keys & MK_XBUTTON1)) window_input.mouse_buttons &= ~0x08;
    if (!(keys & MK_XBUTTON2)) window_input.mouse_buttons &= ~0x10;
    if (window_input.mouse_buttons == 0 && GetCapture() == window) ReleaseCapture();
    post_simple_event(event_button_released,
                      ~window_input.mouse_buttons & window_input.previous_buttons & 0x18);
}

int32_t wheel_step(WPARAM wparam) {
    return static_cast<int32_t>(static_cast<uint32_t>(wparam)) > 0 ? 1 : -1;
}

LRESULT activate(HWND window, WPARAM wparam) {
    const bool inactive_request = LOWORD(wparam) == WA_INACTIVE;
    const bool minimised = HIWORD(wparam) != 0;
    window_state.active = (!inactive_request && !minimised) ? 1 : 0;
    if (window_input.window_thread_handle && (window_state.flags & high_priority))
        SetThreadPriority(window_input.window_thread_handle, window_state.active
                                                                 ? THREAD_PRIORITY_ABOVE_NORMAL
                                                                 : THREAD_PRIORITY_NORMAL);
    if (gfx_screen) std::memset(gfx_screen->key_state, 0, sizeof gfx_screen->key_state);
    window_input.mouse_buttons = 0;
    mark_all_dirty();
    if (!window_state.active && window_input.mouse_tracking) {
        post_simple_event(event_mouse_left);
        window_input.mouse_tracking = 0;
        KillTimer(window, leave_timer_id);
    }
    if (inactive_request || !minimised)
        post_simple_event(window_state.active ? event_focus_gained : event_focus_lost);
    if (window_state.active && window_input.mouse_in_client) {
        event_record none{};
        mouse_enter_check(window, none);
        return 0;
    }
    if (window_state.mouse_clipped) {
        if (window_state.active)
            clip_cursor_to_client();
        else
            ClipCursor(nullptr);
    }
    return 0;
}

} // namespace

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    const RECT client = client_on_screen(window);
    POINT cursor{};
    GetCursorPos(&cursor);
    window_input.mouse_in_client = PtInRect(&client, cursor) ? 1 : 0;

    switch (message) {
    case WM_SYSKEYDOWN:
        if (!window_state.active) break;
        if (wparam == VK_RETURN && (lparam & (1 << 29))) return fullscreen_switch(window);
        return translate_key(window, message, wparam, lparam);
    case WM_SIZE:
        if (wparam == SIZE_MAXIMIZED && window_state.active) return fullscreen_switch(window);
        break;
    case WM_KEYDOWN:
    case WM_KEYUP:
        return translate_key(window, message, wparam, lparam);
    case WM_CHAR:
        translate_character(wparam, lparam);
        break;
    case WM_ACTIVATE:
        return activate(window, wparam);
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(window, &paint);
        if (window_state.paint_window) window_state.paint_window();
        EndPaint(window, &paint);
        break;
    }
    case WM_DISPLAYCHANGE:
        if (window_state.paint_window) window_state.paint_window();
        mark_all_dirty();
        break;
    case WM_CLOSE:
        // The program decides whether to end; the window stays.
        post_key(close_key);
        post_simple_event(event_close);
        return 0;
    case WM_SETCURSOR:
        if (!window_input.mouse_in_client || window_input.cursor_visible)
            SetCursor(LoadCursorA(nullptr, IDC_ARROW));
        else
            SetCursor(nullptr);
        return TRUE;
    case WM_MOUSEMOVE:
        mouse_move(window, lparam, cursor);
        break;
    case WM_LBUTTONDOWN:
        button_down(window, 0x01, event_button_pressed);
        break;
    case WM_LBUTTONDBLCLK:
        button_down(window, 0x01, event_button_double_clicked);
        break;
    case WM_RBUTTONDOWN:
        button_down(window, 0x02, event_button_pressed);
        break;
    case WM_RBUTTONDBLCLK:
        button_down(window, 0x02, event_button_double_clicked);
        break;
    case WM_MBUTTONDOWN:
        button_down(window, 0x04, event_button_pressed);
        break;
    case WM_MBUTTONDBLCLK:
        button_down(window, 0x04, event_button_double_clicked);
        break;
    case WM_LBUTTONUP:
        button_up(window, 0x01);
        break;
    case WM_RBUTTONUP:
        button_up(window, 0x02);
        break;
    case WM_MBUTTONUP:
        button_up(window, 0x04);
        break;
    case WM_XBUTTONDOWN:
        if (window_state.os_version > 0x4FF)
            extra_button_down(window, wparam, event_button_pressed);
        break;
    case WM_XBUTTONDBLCLK:
        if (window_state.os_version > 0x4FF)
            extra_button_down(window, wparam, event_button_double_clicked);
        break;
    case WM_XBUTTONUP:
        if (window_state.os_version > 0x4FF) extra_button_up(window, wparam);
        break;
    case WM_MOUSEWHEEL:
        if (window_state.os_version > 0x409) {
            window_input.mouse_wheel += wheel_step(wparam);
            post_simple_event(event_wheel, window_input.mouse_wheel);
        }
        break;
    case WM_MOUSEHWHEEL:
        if (window_state.os_version > 0x4FF) {
            window_input.mouse_hwheel += wheel_step(wparam);
            post_simple_event(event_horizontal_wheel, window_input.mouse_hwheel);
        }
        break;
    case WM_MOVING:
        // The clip rectangle would pin the cursor while the window moves; it comes back with
        // the next activation or enter.
        if (window_state.mouse_clipped) ClipCursor(nullptr);
        break;
    case WM_MOUSELEAVE:
        if (!window_state.active) break;
        post_simple_event(event_mouse_left);
        window_input.mouse_tracking = 0;
        return 0;
    default:
        if (window_input.enter_message != 0 && message == window_input.enter_message) {
            event_record none{};
            mouse_enter_check(window, none);
            return 0;
        }
        break;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

BOOL WINAPI track_mouse_event_emulation(LPTRACKMOUSEEVENT request) {
    if (!request || request->dwFlags != TME_LEAVE) return FALSE;
    return SetTimer(request->hwndTrack, leave_timer_id, 100, leave_check_timer) != 0;
}

void CALLBACK leave_check_timer(HWND window, UINT, UINT_PTR timer_id, DWORD) {
    const RECT client = client_on_screen(window);
    POINT cursor{};
    GetCursorPos(&cursor);
    if (PtInRect(&client, cursor) && WindowFromPoint(cursor) == window_state.hwnd) return;
    KillTimer(window, timer_id);
    PostMessageA(window, WM_MOUSELEAVE, 0, 0);
}
