#include "runtime/text.h"

#include <cstdlib>
#include <cstring>

namespace {

text pool[text_pool_size];
text* free_records[text_pool_size];
int32_t free_count = -1; // -1: the pool is not set up yet
text empty_text{};

bool owned_by_pool(const text* t) { return t >= pool && t < pool + text_pool_size; }

text* take_record() {
    if (free_count < 0) {
        for (int32_t i = 0; i < text_pool_size; ++i) free_records[i] = &pool[text_pool_size - 1 - i];
        free_count = text_pool_size;
    }
    return free_count > 0 ? free_records[--free_count] : nullptr;
}

void give_record(text* t) {
    *t = text{};
    free_records[free_count++] = t;
}

} // namespace

text* text_empty() {
    empty_text = text{}; // whatever a careless caller did to it
    return &empty_text;
}

text* text_make(const char* bytes, uint32_t length) {
    text* t = take_record();
    if (!t) return text_empty();
    if (length == 0) {
        *t = text{nullptr, text_temporary_bit, 0}; // no key, no allocation
        return t;
    }
    char* data = static_cast<char*>(std::malloc(length + 1));
    if (!data) {
        give_record(t);
        return text_empty();
    }
    std::memcpy(data, bytes, length);
    data[length] = 0;
    *t = text{data, length | text_temporary_bit, length + 1};
    return t;
}

text* text_char(int32_t code) {
    char c = static_cast<char>(code & 0xFF);
    return text_make(&c, 1);
}

void text_release(text* t) {
    if (!text_is_temporary(t) || !owned_by_pool(t)) return;
    std::free(t->data);
    give_record(t);
}

void text_free(text* variable) {
    if (!variable || text_is_temporary(variable)) return;
    std::free(variable->data);
    *variable = text{};
}

int32_t text_assign(text* destination, text* source) {
    if (!destination || destination == source) return 0;
    if (text_is_temporary(source) && owned_by_pool(source)) {
        std::free(destination->data);
        *destination = text{source->data, text_length(source), source->capacity};
        *source = text{};
        give_record(source);
        return 0;
    }
    uint32_t length = text_length(source);
    if (length == 0) {
        text_free(destination);
        return 0;
    }
    if (destination->capacity < length + 1) {
        char* data = static_cast<char*>(std::realloc(destination->data, length + 1));
        if (!data) {
            text_free(destination);
            return 4;
        }
        destination->data = data;
        destination->capacity = length + 1;
    }
    std::memcpy(destination->data, source->data, length);
    destination->data[length] = 0;
    destination->length = length;
    return 0;
}

int32_t text_pool_in_use() { return free_count < 0 ? 0 : text_pool_size - free_count; }
