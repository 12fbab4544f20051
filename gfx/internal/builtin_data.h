// Built-in fonts and palettes, expanded once into fixed memory by the first mode set.
#pragma once
#include "gfx/internal/gfx_context.h"

constexpr int32_t expanded_size = 10742;

// In table order: 256, 64, 16 and 2 entries.
extern const palette_desc builtin_palettes[4];
// In table order: 8 x 16, 8 x 14, 8 x 8.
extern const font_desc builtin_fonts[3];

inline const palette_desc* palette256() { return &builtin_palettes[0]; }
inline const palette_desc* palette64() { return &builtin_palettes[1]; }
inline const palette_desc* palette16() { return &builtin_palettes[2]; }
inline const palette_desc* palette2() { return &builtin_palettes[3]; }
inline const font_desc* font8x16() { return &builtin_fonts[0]; }
inline const font_desc* font8x14() { return &builtin_fonts[1]; }
inline const font_desc* font8x8() { return &builtin_fonts[2]; }

// The stored block (gfx/builtin_data_block.cpp, written by tools/builtin_data): the expanded
// block as 12-bit LZW codes.
extern const uint8_t builtin_stored_block[];
extern const int32_t builtin_stored_size;

// Expands the stored block on the first call; later calls do nothing.
void expand_builtin_data();

// Decodes LZW codes, two per three bytes, low nibble first; codes 256 to 4094 are the
// dictionary, 4095 the end. On entry *count is the output capacity, on return the number of
// bytes written (they stay when decoding fails). 0 when the end code was reached; -1 when the
// output is full, a code is above the next free one, the first code is not a single byte, an
// expansion takes more than 4094 steps, or the input ends first.
int32_t decode_codes(const uint8_t* input, int32_t input_length, uint8_t* output, int32_t* count);
