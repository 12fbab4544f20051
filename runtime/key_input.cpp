#include "runtime/key_input.h"

#include "runtime/console/console.h"
#include "runtime/console_hooks.h"
#include "runtime/os/os.h"
#include "runtime/text.h"

#include <cstring>

namespace {

constexpr uint32_t console_wait_step = 20; // milliseconds, as the screen's wait

} // namespace

text* key_text(int32_t code) {
    if (code <= 255) return text_char(code);
    const char extended[2] = {static_cast<char>(0xFF), static_cast<char>((code >> 8) & 0xFF)};
    return text_make(extended, 2);
}

text* key_read_text() {
    if (console_hooks.key_read_text) return console_hooks.key_read_text();
    int32_t code = console_key_read();
    return code == -1 ? text_make(nullptr, 0) : key_text(code);
}

int32_t key_wait() {
    if (console_hooks.key_wait) return console_hooks.key_wait();
    for (;;) {
        const int32_t code = console_key_read();
        if (code != -1) return code;
        os_sleep(console_wait_step);
    }
}

int32_t key_hit() {
    return console_hooks.key_hit ? console_hooks.key_hit() : console_key_waiting();
}

namespace {

int32_t compare_bytes(const char* a, uint32_t length_a, const char* b, uint32_t length_b) {
    uint32_t common = length_a < length_b ? length_a : length_b;
    for (uint32_t i = 0; i < common; ++i) {
        auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    if (length_a == length_b) return 0;
    return length_a > length_b ? 1 : -1;
}

} // namespace

int32_t text_compare(text* a, text* b) {
    int32_t result = compare_bytes(text_bytes(a), text_length(a), text_bytes(b), text_length(b));
    text_release(a);
    if (b != a) text_release(b);
    return result;
}

int32_t text_compare(text* a, const char* b) {
    uint32_t length_b = b ? static_cast<uint32_t>(std::strlen(b)) : 0;
    int32_t result = compare_bytes(text_bytes(a), text_length(a), b ? b : "", length_b);
    text_release(a);
    return result;
}
