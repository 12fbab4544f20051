// Pixel-format conversion of the visible page's dirty lines into a display format, the MMX
// memory and span primitives, and the processor probe.
#pragma once
#include <cstddef>
#include <cstdint>

struct draw_state;

// Converts every dirty framebuffer line of the visible page into its display row(s).
// destination: the display row of framebuffer line 0; destination_pitch: signed byte distance
// between display rows. Leaves clean rows and the dirty flags untouched.
using conversion_routine = void (*)(uint8_t* destination, int32_t destination_pitch);

// Fills expand16_table for rgb_order, then returns the routine for the current screen and the
// display format (depth 8, 15, 16, 24 or 32; rgb_order nonzero: red in the low bits), or null.
conversion_routine select_blitter(int32_t display_depth, int32_t rgb_order);

// Same-format copy of the dirty lines (pitch bytes each, through copy_bytes).
void blit_copy_lines(uint8_t* destination, int32_t destination_pitch);

// Processor probe: (family << 28 ...) | feature flags; bit 23 is MMX. Cached once nonzero.
uint32_t cpu_features();
constexpr uint32_t cpu_mmx = 1u << 23;

// MMX forms of the memory and span primitives; each ends with EMMS.
void mmx_copy(void* destination, const void* source, size_t count);
void mmx_fill8(void* destination, uint32_t value, size_t count);
void mmx_fill16(void* destination, uint32_t value, size_t count);
void mmx_fill32(void* destination, uint32_t value, size_t count);
void mmx_blend_span32(void* destination, uint32_t colour, size_t count);
void mmx_blend_pixel32(draw_state* target, int32_t x, int32_t y, uint32_t colour);
