// Built-in fonts and palettes, expanded once into fixed memory by the first mode set.
#pragma once
#include "gfx/gfx_context.h"

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

// Expands the stored block on the first call; later calls do nothing.
void expand_builtin_data();
// Resets the palette of a screen of 8 or fewer bits per pixel to the mode's defaults.
void reset_palette();
