// Dynamic texts: pointer, length, capacity; the bytes are always followed by a zero byte.
// Bit 31 of the length marks a temporary: a record from a pool of 256 that the operation
// receiving it releases. Assigning a temporary to a variable moves its buffer.
#pragma once
#include <cstdint>

struct text {
    char* data;
    uint32_t length; // bit 31: temporary
    uint32_t capacity;
};

constexpr uint32_t text_temporary_bit = 0x80000000u;
constexpr int32_t text_pool_size = 256;

inline uint32_t text_length(const text* t) { return t ? t->length & ~text_temporary_bit : 0; }
inline bool text_is_temporary(const text* t) { return t && (t->length & text_temporary_bit); }
inline const char* text_bytes(const text* t) { return t && t->data ? t->data : ""; }

// A new temporary holding a copy of length bytes. When the pool is exhausted or the buffer
// cannot be allocated, the empty text (a shared record that is not temporary).
text* text_make(const char* bytes, uint32_t length);
// The one-character text of code's low byte.
text* text_char(int32_t code);
// The shared empty text; never released, never written.
text* text_empty();
// Releases t when it is a temporary: frees its buffer and returns the record to the pool.
void text_release(text* t);
// destination = source. A temporary source is moved (no copy) and released.
// Returns 0, or error 4 when a copy cannot be allocated (destination then becomes empty).
int32_t text_assign(text* destination, text* source);
// Frees a variable's buffer and leaves it empty.
void text_free(text* variable);
// Temporaries currently taken from the pool.
int32_t text_pool_in_use();
