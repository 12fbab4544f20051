// The conversion routines behind the blitter table: plain forms (blit_plain.cpp) and MMX forms
// (blit_mmx.cpp). Names read <source depth>_to_<display depth>_<order>; the 16-to-24 and
// 16-to-32 routines serve both orders because expand16_table carries the order.
#pragma once
#include "gfx/blit/blit.h"

// Entry i of expand16_table for rgb_order: i < 256 is the contribution of a pixel's low byte i,
// 256 + i that of its high byte i. select_blitter fills the table with these.
constexpr uint32_t expand16_entry(uint32_t index, int32_t rgb_order) {
    const uint32_t i = index & 0xFF;
    if (index < 256) {
        return rgb_order != 0 ? ((i & 0x1F) << 19) | ((i & 0xE0) << 5)
                              : ((i & 0x1F) << 3) | ((i & 0xE0) << 5);
    }
    return rgb_order != 0 ? ((i & 0x07) << 13) | (i & 0xF8)
                          : ((i & 0x07) << 13) | ((i & 0xF8) << 16);
}

void blit_8_to_15_rgb(uint8_t* destination, int32_t destination_pitch);
void blit_8_to_16_rgb(uint8_t* destination, int32_t destination_pitch);
void blit_8_to_24_rgb(uint8_t* destination, int32_t destination_pitch);
void blit_8_to_32_rgb(uint8_t* destination, int32_t destination_pitch);
void blit_8_to_15_bgr(uint8_t* destination, int32_t destination_pitch);
void blit_8_to_16_bgr(uint8_t* destination, int32_t destination_pitch);
void blit_8_to_24_bgr(uint8_t* destination, int32_t destination_pitch);
void blit_8_to_32_bgr(uint8_t* destination, int32_t destination_pitch);
void blit_16_to_15_rgb(uint8_t* destination, int32_t destination_pitch);
void blit_16_to_16_rgb(uint8_t* destination, int32_t destination_pitch);
void blit_16_to_15_bgr(uint8_t* destination, int32_t destination_pitch);
void blit_16_to_24(uint8_t* destination, int32_t destination_pitch);
void blit_16_to_32(uint8_t* destination, int32_t destination_pitch);
void blit_32_to_15_rgb(uint8_t* destination, int32_t destination_pitch);
void blit_32_to_16_rgb(uint8_t* destination, int32_t destination_pitch);
void blit_32_to_24_rgb(uint8_t* destination, int32_t destination_pitch);
void blit_32_to_32_rgb(uint8_t* destination, int32_t destination_pitch);
void blit_32_to_15_bgr(uint8_t* destination, int32_t destination_pitch);
void blit_32_to_16_bgr(uint8_t* destination, int32_t destination_pitch);
void blit_32_to_24_bgr(uint8_t* destination, int32_t destination_pitch);

void mmx_blit_8_to_15_rgb(uint8_t* destination, int32_t destination_pitch);
void mmx_blit_8_to_16_rgb(uint8_t* destination, int32_t destination_pitch);
void mmx_blit_8_to_24_rgb(uint8_t* destination, int32_t destination_pitch);
void mmx_blit_8_to_32_rgb(uint8_t* destination, int32_t destination_pitch);
void mmx_blit_8_to_15_bgr(uint8_t* destination, int32_t destination_pitch);
void mmx_blit_8_to_16_bgr(uint8_t* destination, int32_t destination_pitch);
void mmx_blit_8_to_24_bgr(uint8_t* destination, int32_t destination_pitch);
void mmx_blit_8_to_32_bgr(uint8_t* destination, int32_t destination_pitch);
void mmx_blit_16_to_15_rgb(uint8_t* destination, int32_t destination_pitch);
void mmx_blit_16_to_16_rgb(uint8_t* destination, int32_t destination_pitch);
void mmx_blit_16_to_15_bgr(uint8_t* destination, int32_t destination_pitch);
void mmx_blit_16_to_24(uint8_t* destination, int32_t destination_pitch);
void mmx_blit_16_to_32(uint8_t* destination, int32_t destination_pitch);
void mmx_blit_32_to_15_rgb(uint8_t* destination, int32_t destination_pitch);
void mmx_blit_32_to_16_rgb(uint8_t* destination, int32_t destination_pitch);
void mmx_blit_32_to_24_rgb(uint8_t* destination, int32_t destination_pitch);
void mmx_blit_32_to_32_rgb(uint8_t* destination, int32_t destination_pitch);
void mmx_blit_32_to_15_bgr(uint8_t* destination, int32_t destination_pitch);
void mmx_blit_32_to_16_bgr(uint8_t* destination, int32_t destination_pitch);
void mmx_blit_32_to_24_bgr(uint8_t* destination, int32_t destination_pitch);
