// OpenGL driver: a window with an OpenGL context on the program's thread. Its record is
// opengl_driver (gfx/screen.h); the helpers for programs are in gfx/win32/opengl.h.
#pragma once
#include <cstdint>

#include "gfx/win32/opengl.h"
#include "gfx/win32/window_layer.h"

// The driver's init: -1 for screens without the opengl flag (before anything is loaded), and
// whenever the library, a window, a pixel format or a context cannot be had, or the
// implementation lacks GL_EXT_bgra.
int32_t gl_init(const char* title, int32_t width, int32_t height, int32_t depth,
                int32_t refresh_rate, uint32_t flags);
void gl_exit();
// Display modes of exactly the given depth, as width * 65536 + height in the system's order; the
// caller frees the array. Null and count 0 when none.
int32_t* gl_fetch_modes(int32_t depth, int32_t* count);

// Window-layer hooks: show the window for the current flags (changing the display mode in
// fullscreen mode), and hide it; the window and its context survive the hiding.
int32_t gl_open_window();
void gl_close_window();

// Pixel-format settings: 0 lets the driver choose. gl_init fills in the defaults, which then
// stay for later screens.
struct gl_pixel_format_settings {
    int32_t color_bits;
    int32_t red_bits;
    int32_t green_bits;
    int32_t blue_bits;
    int32_t alpha_bits;
    int32_t depth_bits;
    int32_t stencil_bits;
    int32_t accum_bits;
    int32_t accum_red_bits;
    int32_t accum_green_bits;
    int32_t accum_blue_bits;
    int32_t accum_alpha_bits;
    int32_t samples;
};
extern gl_pixel_format_settings gl_pixel_format;

// Screen flags that only this driver reads.
constexpr uint32_t stencil_buffer = 0x10000;
constexpr uint32_t accumulation_buffer = 0x20000;
constexpr uint32_t multisample = 0x40000;

// The system calls through which the driver reaches the OpenGL library, the pixel formats and
// the display mode. Tests replace them to stand in for an implementation or a display.
struct gl_system_calls {
    HMODULE(WINAPI* load_library)(LPCSTR name);
    FARPROC(WINAPI* get_proc_address)(HMODULE module, LPCSTR name);
    BOOL(WINAPI* free_library)(HMODULE module);
    int(WINAPI* choose_pixel_format)(HDC dc, const PIXELFORMATDESCRIPTOR* descriptor);
    BOOL(WINAPI* set_pixel_format)(HDC dc, int format, const PIXELFORMATDESCRIPTOR* descriptor);
    BOOL(WINAPI* swap_buffers)(HDC dc);
    LONG(WINAPI* change_display_settings)(DEVMODEA* mode, DWORD flags);
    int(WINAPI* release_dc)(HWND window, HDC dc);
};
extern const gl_system_calls gl_platform_calls; // the system's own
extern gl_system_calls gl_system;               // what the driver calls; starts as the system's
