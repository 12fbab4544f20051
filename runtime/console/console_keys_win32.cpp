#include "runtime/console/console_keys_win32.h"
#include "runtime/console/console.h"
#include "runtime/console/console_device_win32.h"
#include "runtime/console/console_key_ring.h"
#include "runtime/runtime.h"

namespace {

uint32_t alt_code;
int32_t ctrl_handler_installed;

void ctrl_handler_remove() {
    SetConsoleCtrlHandler(console_ctrl_handler, FALSE);
}

void ctrl_handler_install() {
    if (ctrl_handler_installed) return;
    ctrl_handler_installed = 1;
    exit_handler_add(ctrl_handler_remove);
    SetConsoleCtrlHandler(console_ctrl_handler, TRUE);
}

// An Alt-digit sequence ends with the first key that is not a keypad digit under Alt alone;
// its value, cut to a byte, becomes the character.
void alt_code_finish() {
    if (alt_code == 0) return;
    console_key_store(static_cast<int32_t>(alt_code & 0xFF));
    alt_code = 0;
}

void key_event_handle(const KEY_EVENT_RECORD& key) {
    DWORD state = key.dwControlKeyState;
    bool alt_only = (state & (RIGHT_CTRL_PRESSED | LEFT_CTRL_PRESSED | SHIFT_PRESSED)) == 0 &&
                    (state & (RIGHT_ALT_PRESSED | LEFT_ALT_PRESSED)) != 0;
    if (!key.bKeyDown) {
        if (!alt_only) alt_code_finish();
        return;
    }
    if (key.wRepeatCount == 0) return;
    int32_t code =
        key_code_of(key.uChar.AsciiChar, key.wVirtualScanCode, key.wVirtualKeyCode, state, 0);
    if (key.wVirtualKeyCode >= VK_NUMPAD0 && key.wVirtualKeyCode <= VK_NUMPAD9 && alt_only) {
        alt_code = alt_code * 10 + (key.wVirtualKeyCode - VK_NUMPAD0);
        if (code != -1) console_key_store(code);
    } else if (code != -1) {
        alt_code = 0;
        console_key_store(code);
    } else if (!alt_only) {
        alt_code_finish();
    }
}

} // namespace

BOOL WINAPI console_ctrl_handler(DWORD ctrl_type) {
    if (ctrl_type != CTRL_CLOSE_EVENT && ctrl_type != CTRL_LOGOFF_EVENT &&
        ctrl_type != CTRL_SHUTDOWN_EVENT)
        return FALSE;
    console_close_post();
    return TRUE;
}

void console_line_input(int32_t /*on*/) {}

int32_t console_key_poll() {
    console_handles_fetch();
    ctrl_handler_install();
    HANDLE input = console_state.console_input;
    for (;;) {
        INPUT_RECORD record;
        DWORD count = 0;
        if (!PeekConsoleInputA(input, &record, 1, &count) || count == 0) break;
        if (!ReadConsoleInputA(input, &record, 1, &count) || count == 0) break;
        if (record.EventType == KEY_EVENT) key_event_handle(record.Event.KeyEvent);
    }
    console_close_drain();
    return 0;
}
