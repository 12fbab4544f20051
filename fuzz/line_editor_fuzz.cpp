// The graphics screen's line editor and line input: lines typed with any keys (backspaces
// across row starts, bells, extended keys, the close key) into buffers of any size, from a
// cursor anywhere on screens of any size, between prints and changes of the text grid.
// Input: a screen, then operations, each a byte choosing it and its arguments. The keys come
// from the same bytes: whenever the editor sleeps waiting for a key, the next one is typed.
#include "fuzz/fuzz_screen.h"
#include "gfx/graphics_text.h"
#include "runtime/line_input.h"
#include "runtime/text.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

fuzz_input* keyboard; // the bytes the typed keys come from

// Buffers and fields larger than this ask for the memory of a whole program (a padded field of
// 2 GiB is a program's own choice), not for the editor's care.
constexpr int32_t largest_buffer = 65536;

// A key as a user types it; Enter once the input has run out, so that every line ends.
int32_t next_key() {
    static constexpr std::array<int32_t, 8> specials = {8, 13, 7, 0x4BFF, 0x4DFF, close_key, 0, 27};
    if (keyboard->empty()) return 13;
    const uint8_t key = keyboard->byte();
    return key < 224 ? key : keyboard->pick(specials);
}

// A text of the input's bytes: a temporary, as a program's expression gives it.
text* input_text(fuzz_input& in) {
    size_t length;
    const uint8_t* bytes = in.bytes(in.range(0, 90), &length);
    return text_make(reinterpret_cast<const char*>(bytes), static_cast<uint32_t>(length));
}

} // namespace

// The sleep of key_wait (this program is linked with the sleep wrapped): no wait, a key typed.
extern "C" void __wrap__Z8os_sleepj(uint32_t) {
    if (keyboard) post_key(next_key());
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_input in{data, size};
    keyboard = &in;
    screen_session session;
    open_screen(in, 640);
    constexpr int32_t own_operations = 4;
    for (int32_t operation; (operation = next_operation(in, own_operations)) >= 0;) {
        switch (operation) {
        case 0:
            open_screen(in, 640);
            break;
        case 1: { // exactly as large as the program says, so that a store past it shows
            const int32_t capacity = in.argument(0, 40);
            if (capacity < 0 || capacity > largest_buffer) break;
            char* buffer = static_cast<char*>(std::malloc(static_cast<size_t>(capacity)));
            if (console_hooks.read_string(buffer, capacity) && capacity > 0 &&
                std::memchr(buffer, 0, static_cast<size_t>(capacity)) == nullptr)
                std::abort(); // the line must end inside the buffer
            std::free(buffer);
            break;
        }
        case 2: { // into a text variable (size 0 or less) or a field of size bytes
            const int32_t size = in.argument(0, 40);
            if (size > largest_buffer) break;
            text line{};
            line_input(input_text(in), &line, size, in.range(0, 1), in.range(0, 1), in.range(0, 1));
            text_free(&line);
            break;
        }
        case 3: {
            const int32_t capacity = in.argument(0, 40);
            if (capacity < 0 || capacity > largest_buffer) break;
            std::vector<uint16_t> units(static_cast<size_t>(capacity));
            line_input_wide(input_text(in), units.data(), capacity, in.range(0, 1), in.range(0, 1),
                            in.range(0, 1));
            break;
        }
        default:
            text_operation(in, operation - own_operations);
            break;
        }
    }
    keyboard = nullptr;
    return 0;
}
