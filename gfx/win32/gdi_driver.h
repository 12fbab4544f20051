// GDI driver: presents the framebuffer with SetDIBitsToDevice. Its record is gdi_driver
// (gfx/internal/gfx_context.h); these are its operations and the hooks it gives the window layer.
#pragma once
#include <cstdint>

#include "gfx/win32/window_layer.h"

// The driver's init: -1 for opengl screens; otherwise starts the window layer with depths
// below 8 raised to 8 (such framebuffers hold one byte per pixel).
int32_t gdi_init(const char* title, int32_t width, int32_t height, int32_t depth,
                 int32_t refresh_rate, uint32_t flags);
// Display modes of the given depth (15/16 and 24/32 count as the same) as width * 65536 +
// height, in the system's order; the caller frees the array. Null and count 0 when none.
int32_t* gdi_fetch_modes(int32_t depth, int32_t* count);

// Window-layer hooks, run in the window thread.
int32_t gdi_open_window();
void gdi_close_window();
void gdi_paint();
void gdi_window_thread(HANDLE start_event);

// Conversion for 32-bit shaped windows: dirty lines copied with the top byte of every pixel
// cleared, so that only the colour takes part in the colour key.
void colour_key_copy(uint8_t* destination, int32_t destination_pitch);

// Bytes per row of the converted copy: a row of bitmap pixels rounded up to 4 bytes.
int32_t gdi_row_length();

// SetDIBitsToDevice calls of the window thread's passes since the process started (the
// benchmarks' presents per second).
uint32_t gdi_present_count();
