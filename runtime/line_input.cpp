#include "runtime/line_input.h"

#include "runtime/console/console.h"
#include "runtime/console_hooks.h"
#include "runtime/print.h"
#include "runtime/runtime.h"
#include "runtime/text.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// A new temporary of length bytes, or null when the pool or the memory is exhausted (the text
// builder then answers with the shared empty text, which is no temporary).
text* temporary_of(const char* bytes, uint32_t length) {
    text* t = text_make(bytes, length);
    return text_is_temporary(t) ? t : nullptr;
}

text* line_from_editor() {
    char buffer[line_read_size];
    if (!console_hooks.read_string(buffer, line_read_size)) return nullptr;
    size_t length = std::strlen(buffer);
    if (length > 0 && buffer[length - 1] == '\r') --length;
    return temporary_of(buffer, static_cast<uint32_t>(length));
}

text* line_from_standard_input() {
    size_t capacity = 256, length = 0;
    char* bytes = static_cast<char*>(std::malloc(capacity));
    if (!bytes) return nullptr;
    console_line_input(1);
    std::clearerr(stdin); // an end seen by an earlier read need not be the end now
    int c;
    bool out_of_memory = false;
    while ((c = std::getchar()) != EOF && c != '\n') {
        if (length == capacity) {
            char* larger = static_cast<char*>(std::realloc(bytes, capacity * 2));
            if (!larger) {
                out_of_memory = true;
                break;
            }
            bytes = larger;
            capacity *= 2;
        }
        bytes[length++] = static_cast<char>(c);
    }
    console_line_input(0);
    text* line = nullptr;
    if (!out_of_memory && (c != EOF || length > 0)) {
        if (length > 0 && bytes[length - 1] == '\r') --length;
        line = temporary_of(bytes, static_cast<uint32_t>(length));
    }
    std::free(bytes);
    return line;
}

void print_prompt(text* prompt, int32_t question) {
    if (text_length(prompt) > 0)
        print_bytes(text_bytes(prompt), static_cast<int32_t>(text_length(prompt)), 0);
    text_release(prompt);
    if (question) print_bytes("? ", 2, 0);
}

} // namespace

text* line_read() {
    return console_hooks.read_string ? line_from_editor() : line_from_standard_input();
}

int32_t line_store(text* destination, int32_t size, int32_t fill, text* line) {
    if (size > 0) {
        auto length = text_length(line);
        const auto field = static_cast<uint32_t>(size);
        if (length > field || (fill && length < field)) {
            char* bytes = static_cast<char*>(std::malloc(field));
            if (!bytes) {
                text_release(line);
                return error_set(error_memory);
            }
            if (length > field) length = field;
            std::memcpy(bytes, text_bytes(line), length);
            uint32_t stored = length;
            if (fill) {
                std::memset(bytes + length, ' ', field - length);
                stored = field;
            }
            text_release(line);
            line = temporary_of(bytes, stored);
            std::free(bytes);
            if (!line) return error_set(error_memory);
        }
    }
    return error_set(text_assign(destination, line));
}

int32_t line_store_wide(void* destination, int32_t size, int32_t fill, text* line) {
    if (!destination || size < 1) {
        text_release(line);
        return error_set(error_argument);
    }
    auto* units = static_cast<uint16_t*>(destination);
    const auto* bytes = reinterpret_cast<const unsigned char*>(text_bytes(line));
    int32_t length = static_cast<int32_t>(text_length(line));
    if (length > size - 1) length = size - 1;
    for (int32_t i = 0; i < length; ++i)
        units[i] = bytes[i];
    const int32_t end = fill ? size : length + 1;
    for (int32_t i = length; i < end; ++i)
        units[i] = 0;
    text_release(line);
    return error_set(error_none);
}

int32_t line_input(text* prompt, text* destination, int32_t size, int32_t fill, int32_t question,
                   int32_t newline) {
    if (console_hooks.line_input)
        return console_hooks.line_input(prompt, destination, size, fill, question, newline);
    // The console echoes the Enter itself, which ends the line.
    print_prompt(prompt, question);
    text* line = line_read();
    if (!line) return error_set(error_memory);
    return line_store(destination, size, fill, line);
}

int32_t line_input_wide(text* prompt, void* destination, int32_t size, int32_t fill,
                        int32_t question, int32_t newline) {
    if (console_hooks.line_input_wide)
        return console_hooks.line_input_wide(prompt, destination, size, fill, question, newline);
    print_prompt(prompt, question);
    text* line = line_read();
    if (!line) return error_set(error_memory);
    return line_store_wide(destination, size, fill, line);
}
