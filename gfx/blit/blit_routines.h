// The conversion routines behind the blitter table: plain forms (blit_plain.cpp) and MMX forms
// (blit_mmx.cpp). Names read <source depth>_to_<display depth>_<order>; the 16-to-24 and
// 16-to-32 routines serve both orders because expand16_table carries the order.
#pragma once
#include "gfx/blit/blit.h"

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
