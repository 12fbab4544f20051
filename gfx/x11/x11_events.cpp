// The X events of the graphics window turned into the key buffer, key_state, the event queue and
// the mouse state, as the Windows window procedure turns window messages into them. Runs in the
// window thread under the lock.
#include <cstring>

#include "gfx/internal/gfx_context.h"
#include "gfx/internal/input_state.h"
#include "gfx/internal/window_keys.h"
#include "gfx/x11/x11_driver.h"
#include "runtime/console/console.h"
#include "runtime/console/key_translation.h"

namespace {

constexpr uint32_t double_click_milliseconds = 500; // the Windows default
constexpr int32_t virtual_key_return = 13;

// X pointer buttons and their bits in mouse_buttons; 4 to 7 are the wheels.
struct button_bit {
    unsigned button;
    int32_t bit;
};
constexpr button_bit button_bits[] = {
    {Button1, 0x01}, {Button2, 0x04}, {Button3, 0x02}, {8, 0x08}, {9, 0x10}};

void post_simple_event(int32_t type, int32_t a = 0, int32_t b = 0, int32_t c = 0, int32_t d = 0) {
    if (!gfx_screen) return;
    const event_record event{type, {a, b, c, d}};
    post_event(&event);
}

int32_t bit_of(unsigned button) {
    for (const button_bit& row : button_bits)
        if (row.button == button) return row.bit;
    return 0;
}

uint32_t control_state_of(unsigned state, bool extended) {
    uint32_t control = 0;
    if (state & ShiftMask) control |= shift_pressed;
    if (state & ControlMask) control |= left_ctrl_pressed;
    if (state & Mod1Mask) control |= left_alt_pressed;
    if (extended) control |= enhanced_key;
    return control;
}

int32_t code_of(XKeyEvent* event, const x11_key& key) {
    return key_code_of(static_cast<int8_t>(key.character), key.scancode, key.virtual_key,
                       control_state_of(event->state, key.extended), 0);
}

// With Alt and without Ctrl a key is what Windows calls a system key: translated only while the
// window is active, its release not at all, and what it types is no character.
bool system_key(const XKeyEvent* event) {
    return (event->state & Mod1Mask) && !(event->state & ControlMask);
}

void key_press(XKeyEvent* event) {
    const x11_key key = x11_key_of(event);
    const bool system = system_key(event);
    const auto keycode = static_cast<uint8_t>(event->keycode);
    const int32_t type = x11_state.keycode_down[keycode] ? event_key_repeated : event_key_pressed;
    x11_state.keycode_down[keycode] = 1;
    x11_state.keycode_virtual_key[keycode] = static_cast<uint8_t>(key.virtual_key);
    if (system && !x11_state.active) return;
    if (system && key.virtual_key == virtual_key_return) {
        x11_fullscreen_switch();
        return;
    }
    key_message(type, key.virtual_key, code_of(event, key), 1);
    if (key.has_character && !system) post_key(key.character_437);
}

void key_release(XKeyEvent* event) {
    x11_state.keycode_down[static_cast<uint8_t>(event->keycode)] = 0;
    if (system_key(event)) return;
    const x11_key key = x11_key_of(event);
    key_message(event_key_released, key.virtual_key, code_of(event, key), 0);
}

// The pointer at a window point: in framebuffer pixels, and whether it is over the framebuffer.
void place_pointer(int x, int y) {
    const int32_t scale = x11_state.scale > 0 ? x11_state.scale : 1;
    const int32_t fx = (x - x11_state.offset_x) / scale;
    const int32_t fy = (y - x11_state.offset_y) / scale;
    x11_state.mouse_x = fx;
    x11_state.mouse_y = fy;
    x11_state.mouse_in_client = x >= x11_state.offset_x && y >= x11_state.offset_y &&
                                fx < x11_state.width && fy < x11_state.height;
}

void mouse_move(const XMotionEvent* event) {
    place_pointer(event->x, event->y);
    int32_t dx = 0;
    int32_t dy = 0;
    if (x11_state.moved_before) {
        dx = event->x_root - x11_state.last_root_x;
        dy = event->y_root - x11_state.last_root_y;
    }
    x11_state.moved_before = true;
    x11_state.last_root_x = event->x_root;
    x11_state.last_root_y = event->y_root;
    if ((dx != 0 || dy != 0) && x11_state.active)
        post_simple_event(event_mouse_moved, x11_state.mouse_x, x11_state.mouse_y, dx, dy);
}

void wheel(int32_t* position, int32_t type, int32_t step) {
    *position += step;
    post_simple_event(type, *position);
}

void button_press(const XButtonEvent* event) {
    place_pointer(event->x, event->y);
    switch (event->button) {
    case Button4:
        return wheel(&x11_state.mouse_wheel, event_wheel, 1);
    case Button5:
        return wheel(&x11_state.mouse_wheel, event_wheel, -1);
    case 6:
        return wheel(&x11_state.mouse_hwheel, event_horizontal_wheel, -1);
    case 7:
        return wheel(&x11_state.mouse_hwheel, event_horizontal_wheel, 1);
    default:
        break;
    }
    const int32_t bit = bit_of(event->button);
    if (!bit) return;
    // X reports presses only: a second press of the button soon after the first is the double
    // click, and the press after that starts counting again.
    const bool twice = static_cast<int32_t>(event->button) == x11_state.last_press_button &&
                       event->time - x11_state.last_press_time < double_click_milliseconds;
    x11_state.last_press_button = twice ? 0 : static_cast<int32_t>(event->button);
    x11_state.last_press_time = static_cast<uint32_t>(event->time);
    x11_state.mouse_buttons |= bit;
    post_simple_event(twice ? event_button_double_clicked : event_button_pressed, bit);
}

void button_release(const XButtonEvent* event) {
    const int32_t bit = bit_of(event->button);
    if (!bit) return;
    x11_state.mouse_buttons &= ~bit;
    post_simple_event(event_button_released, bit);
}

void crossing(const XCrossingEvent* event) {
    // The crossings that a pointer grab makes are not the pointer's own.
    if (event->mode != NotifyNormal) return;
    if (event->type == EnterNotify) {
        place_pointer(event->x, event->y);
        if (x11_state.active) post_simple_event(event_mouse_entered);
    } else {
        x11_state.mouse_in_client = 0;
        post_simple_event(event_mouse_left);
    }
}

void focus(const XFocusChangeEvent* event) {
    if (event->mode == NotifyGrab || event->mode == NotifyUngrab || event->detail == NotifyPointer)
        return;
    x11_state.active = event->type == FocusIn ? 1 : 0;
    // No key releases reach an inactive window: whatever was held counts as let go.
    if (gfx_screen) std::memset(gfx_screen->key_state, 0, sizeof gfx_screen->key_state);
    std::memset(x11_state.keycode_down, 0, sizeof x11_state.keycode_down);
    x11_state.mouse_buttons = 0;
    post_simple_event(x11_state.active ? event_focus_gained : event_focus_lost);
}

void client_message(const XClientMessageEvent* event) {
    if (event->message_type != x11_state.atoms.wm_protocols ||
        static_cast<Atom>(event->data.l[0]) != x11_state.atoms.wm_delete_window)
        return;
    // The close button: the program decides whether to end; the window stays.
    post_key(close_key);
    post_simple_event(event_close);
}

} // namespace

void x11_handle_event(XEvent* event) {
    switch (event->type) {
    case KeyPress:
        return key_press(&event->xkey);
    case KeyRelease:
        return key_release(&event->xkey);
    case ButtonPress:
        return button_press(&event->xbutton);
    case ButtonRelease:
        return button_release(&event->xbutton);
    case MotionNotify:
        return mouse_move(&event->xmotion);
    case EnterNotify:
    case LeaveNotify:
        return crossing(&event->xcrossing);
    case FocusIn:
    case FocusOut:
        return focus(&event->xfocus);
    case Expose:
        if (event->xexpose.count == 0) x11_state.repaint = true;
        return;
    case ConfigureNotify:
        if (event->xconfigure.width != x11_state.window_width ||
            event->xconfigure.height != x11_state.window_height)
            x11_window_resized(event->xconfigure.width, event->xconfigure.height);
        return;
    case MapNotify:
        // As the Windows drivers bring their window to the foreground.
        XSetInputFocus(x11_state.display, x11_state.window, RevertToParent, CurrentTime);
        return;
    case MappingNotify:
        XRefreshKeyboardMapping(&event->xmapping);
        return;
    case ClientMessage:
        return client_message(&event->xclient);
    default:
        return;
    }
}
