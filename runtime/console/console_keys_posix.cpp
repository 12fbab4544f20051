// The native build's console keys: bytes from a terminal on standard input, read without
// waiting, with the common cursor-key sequences turned into their extended codes. A hang-up
// of the terminal stands in for closing the console window and posts the close key.
#include "runtime/console/console.h"
#include "runtime/console/console_key_ring.h"
#include "runtime/runtime.h"

#include <signal.h>
#include <termios.h>
#include <unistd.h>

namespace {

bool input_ready;
bool terminal_changed;
termios saved_terminal;
termios raw_terminal;
struct sigaction saved_hangup;

void hangup_handler(int) {
    console_close_post();
}

void input_restore() {
    if (terminal_changed) tcsetattr(STDIN_FILENO, TCSANOW, &saved_terminal);
    sigaction(SIGHUP, &saved_hangup, nullptr);
}

// Character-at-a-time input without echo; VMIN 0 and VTIME 0 make a read return at once.
void input_prepare() {
    if (input_ready) return;
    input_ready = true;
    exit_handler_add(input_restore);
    struct sigaction hangup {};
    hangup.sa_handler = hangup_handler;
    sigemptyset(&hangup.sa_mask);
    sigaction(SIGHUP, &hangup, &saved_hangup);
    if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &saved_terminal) != 0) return;
    raw_terminal = saved_terminal;
    raw_terminal.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    raw_terminal.c_cc[VMIN] = 0;
    raw_terminal.c_cc[VTIME] = 0;
    terminal_changed = tcsetattr(STDIN_FILENO, TCSANOW, &raw_terminal) == 0;
}

// Final bytes of "ESC [ x" sequences and the extended codes of their keys.
struct sequence_key {
    char final;
    int32_t code;
};

constexpr sequence_key cursor_keys[] = {
    {'A', 0x48FF}, // Up
    {'B', 0x50FF}, // Down
    {'C', 0x4DFF}, // Right
    {'D', 0x4BFF}, // Left
    {'H', 0x47FF}, // Home
    {'F', 0x4FFF}, // End
};

int32_t sequence_code(char final) {
    for (const sequence_key& key : cursor_keys)
        if (key.final == final) return key.code;
    return -1;
}

} // namespace

void console_line_input(int32_t on) {
    if (terminal_changed) tcsetattr(STDIN_FILENO, TCSANOW, on ? &saved_terminal : &raw_terminal);
}

int32_t console_key_poll() {
    input_prepare();
    if (terminal_changed) {
        unsigned char bytes[64];
        ssize_t count;
        while ((count = read(STDIN_FILENO, bytes, sizeof bytes)) > 0) {
            for (ssize_t i = 0; i < count; ++i) {
                if (bytes[i] == 0x1B && i + 2 < count && bytes[i + 1] == '[') {
                    int32_t code = sequence_code(static_cast<char>(bytes[i + 2]));
                    if (code != -1) {
                        console_key_store(code);
                        i += 2;
                        continue;
                    }
                }
                if (bytes[i] != 0) console_key_store(bytes[i]);
            }
        }
    }
    console_close_drain();
    return 0;
}
