// Palettes of screens of 8 or fewer bits per pixel and the VGA palette and status ports. At
// depths 16 and 32, or with no screen, every operation does nothing and the ports answer -1.
#pragma once
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
// A negative index resets the palette; in mode 1 -1 to -4 choose the CGA map. Otherwise sets
// the entry, taking colour as red when green and blue are both given (0 to 255 each).
void palette_change(int32_t index, int32_t colour = -1, int32_t green = -1, int32_t blue = -1);
// Sets every pixel value's entry whose element of colours (2^depth of them) is not negative.
void palette_using(const int32_t* colours);
// Sends all 256 shown colours to the driver again.
void resend_palette();

// The ports of console_hooks slots 18 and 19: 0x3C7, 0x3C8 (entry to read or write), 0x3C9
// (colour components, red first) and 0x3DA (status: waits for the display refresh, reads 8).
int32_t port_read(int32_t port);
int32_t port_write(int32_t port, int32_t value);
