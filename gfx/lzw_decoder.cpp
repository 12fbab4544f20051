// The decoder of the stored fonts and palettes: LZW with fixed 12-bit codes.
#include "gfx/internal/builtin_data.h"

namespace {

constexpr int32_t first_free_code = 256;
constexpr int32_t last_free_code = 4094;
constexpr int32_t end_code = 4095;
constexpr int32_t max_steps = 4094;

struct dictionary_entry {
    uint16_t prefix;
    uint8_t last;
};

// Process-wide, like the expanded block: one decoding runs per program.
dictionary_entry dictionary[4096];
// A string is built backwards from its last byte: at most max_steps linked bytes, the first
// byte and, for the code being defined, the repeated first byte.
uint8_t expansion[max_steps + 2];

// Code number n of the input, or -1 when its bytes are not all there.
int32_t code_at(const uint8_t* input, int32_t length, int32_t n) {
    const int32_t at = n / 2 * 3;
    if (n % 2 == 0) {
        if (at + 1 >= length) return -1;
        return input[at] | (input[at + 1] & 0x0F) << 8;
    }
    if (at + 2 >= length) return -1;
    return input[at + 1] >> 4 | input[at + 2] << 4;
}

} // namespace

int32_t decode_codes(const uint8_t* input, int32_t input_length, uint8_t* output, int32_t* count) {
    const int32_t capacity = *count;
    *count = 0;
    int32_t n = 0;
    int32_t previous = code_at(input, input_length, n++);
    if (previous < 0 || previous >= first_free_code || capacity <= 0) return -1;
    output[(*count)++] = static_cast<uint8_t>(previous);
    uint8_t previous_first = static_cast<uint8_t>(previous);
    int32_t next_free = first_free_code;

    for (int32_t code; (code = code_at(input, input_length, n++)) >= 0;) {
        if (code == end_code) return 0;
        if (code > next_free) return -1;
        int32_t start = sizeof expansion;
        int32_t link = code;
        if (code == next_free) { // the previous string and its own first byte
            expansion[--start] = previous_first;
            link = previous;
        }
        for (int32_t steps = 0; link >= first_free_code; link = dictionary[link].prefix) {
            if (++steps > max_steps) return -1;
            expansion[--start] = dictionary[link].last;
        }
        expansion[--start] = static_cast<uint8_t>(link);

        for (int32_t i = start; i < static_cast<int32_t>(sizeof expansion); ++i) {
            if (*count == capacity) return -1;
            output[(*count)++] = expansion[i];
        }
        if (next_free <= last_free_code)
            dictionary[next_free++] = {static_cast<uint16_t>(previous), expansion[start]};
        previous = code;
        previous_first = expansion[start];
    }
    return -1; // the input ended without the end code
}
