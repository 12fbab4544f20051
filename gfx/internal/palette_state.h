// The palette machinery that the mode set, the drivers and the tests reach below the public
// palette operations: the VGA port state, the reset, single entries and sending the palette to
// the driver again.
#pragma once
#include "gfx/palette.h"

#include <cstdint>

// VGA port state, process-wide: it survives mode changes.
extern int32_t dac_index;  // palette entry of the next port access
extern int32_t dac_shift;  // bit position of the next colour component: 2, 10 or 18
extern uint32_t dac_value; // the colour being assembled, 0x00BBGGRR

// Resets the palette to the mode's defaults (the palette change without arguments).
void reset_palette();
// Sets one entry: with the 256-entry palette the colour is 0xBBGGRR of 6-bit components,
// otherwise an index into the mode's palette, remembered in color_map.
void set_palette_entry(int32_t index, uint32_t colour);
// Sends all 256 shown colours to the driver again.
void resend_palette();
