// Palettes of screens of 8 or fewer bits per pixel, and the VGA palette and status ports. A
// pixel value at these depths is an index into the screen's palette; changing an entry
// recolours every pixel of that value on the display (every line is marked dirty). At depths 16
// and 32, or with no screen open, the palette operations do nothing and the ports answer -1
// (the status port excepted). Program's thread.
#pragma once
#include <cstdint>

// Changes the palette:
// - a negative index resets it to the mode's defaults; in mode 1 it also chooses what pixel
//   values 1 to 3 show: -1 light cyan, light magenta, white; -2 light green, light red,
//   yellow; -3 cyan, magenta, grey; -4 and below green, red, brown;
// - index with green and blue both given (0 to 255 each): colour is the red part, and entry
//   index takes the colour in 6-bit steps (each part >> 2); meant for the 256-entry palette;
// - index and colour alone: with the 256-entry palette colour is 0x00BBGGRR with parts of 0 to
//   63; with a smaller palette (modes 1, 2, 7 to 11) colour is an index into the mode's own
//   palette (16, 64 or 2 entries), which pixel value index then shows.
// index is taken modulo the palette's size.
void palette_change(int32_t index, int32_t colour = -1, int32_t green = -1, int32_t blue = -1);
// Sets the entry of every pixel value i (0 to 2^depth - 1) whose colours[i] is not negative, as
// palette_change(i, colours[i]) would, and marks the lines once. colours holds 2^depth values.
void palette_using(const int32_t* colours);

// The ports of the VGA palette: writing 0x3C8 (or 0x3C7) chooses the entry, then three writes
// of 0x3C9 give its red, green and blue, 0 to 63 each (the entry changes after the third, and
// the next entry is chosen); three reads of 0x3C9 after writing 0x3C7 give an entry's parts
// likewise. Reading 0x3DA waits for the display's next refresh (about one frame; not at all
// with the null driver) and reads 8. port_write returns 0 and port_read the value read; both
// answer -1 for another port and with no screen open, and at depths above 8 for all but a read
// of 0x3DA.
int32_t port_read(int32_t port);
int32_t port_write(int32_t port, int32_t value);
