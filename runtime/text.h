// Dynamic texts: pointer, length, capacity; the bytes are always followed by a zero byte.
// A text is either a variable (a text record the program owns, zero-initialised: text t{};)
// or a temporary: a record from a pool of 256 that an operation returns (bit 31 of the length
// set). Whoever receives a temporary disposes of it exactly once: assigning it to a variable
// moves its buffer, and every operation that takes a text argument releases a temporary it is
// given; a variable passed as an argument is never released. The pool and the records belong
// to the program's thread.
#pragma once
#include <cstdint>

struct text {
    char* data;
    uint32_t length; // bit 31: temporary
    uint32_t capacity;
};

constexpr uint32_t text_temporary_bit = 0x80000000u;
constexpr int32_t text_pool_size = 256;

// The length in bytes (bit 31 left out); 0 for null.
inline uint32_t text_length(const text* t) { return t ? t->length & ~text_temporary_bit : 0; }
// Whether t is a temporary.
inline bool text_is_temporary(const text* t) { return t && (t->length & text_temporary_bit); }
// The bytes, zero-terminated; "" for null or an empty text.
inline const char* text_bytes(const text* t) { return t && t->data ? t->data : ""; }

// A new temporary holding a copy of length bytes (bytes may be null when length is 0). When the
// pool is exhausted or the buffer cannot be allocated, the empty text (a shared record that is
// not temporary) instead.
text* text_make(const char* bytes, uint32_t length);
// The one-character temporary of code's low byte.
text* text_char(int32_t code);
// The shared empty text; never released, never written.
text* text_empty();
// Releases t when it is a temporary: frees its buffer and returns the record to the pool. A
// variable, the empty text or null: nothing.
void text_release(text* t);
// destination = source. A temporary source is moved (no copy) and released; a variable is
// copied. Returns 0, or error 4 when a copy cannot be allocated (destination then empty).
int32_t text_assign(text* destination, text* source);
// Frees a variable's buffer and leaves it empty. A temporary or null: nothing.
void text_free(text* variable);
// Temporaries currently taken from the pool (0 to 256): a program that always disposes of its
// temporaries sees the same count before and after an operation.
int32_t text_pool_in_use();
