// OpenGL mode, for programs that open their screen with the opengl flag: the window has an
// OpenGL context current on the program's thread, the program draws with OpenGL itself (linking
// opengl32 or looking entry points up), shows each frame with gl_flip and lets the window's
// messages through with gl_poll_events. Nothing of the framebuffer is presented.
#pragma once
#include <cstdint>

// Shows the frame drawn since the last flip (SwapBuffers).
void gl_flip();
// Refreshes key_state from the keyboard while the window is active, then handles the window's
// waiting messages (keys, mouse, close button, Alt+Enter). Call it once a frame.
void gl_poll_events();
// 1 when the GL or WGL extension string names the extension, else 0.
int32_t has_extension(const char* name);

// wglGetProcAddress of name while the open screen is in OpenGL mode; null otherwise.
void* gl_get_proc_address(const char* name);
// Enables (bit 0 of on set) or disables GL_TEXTURE_2D, calling OpenGL only when that changes.
void gl_set_texturing(int32_t on);
// A texture of the image's size rounded up to powers of two, filled with colour (0xAARRGGBB),
// bound to GL_TEXTURE_2D, with linear filtering and no mipmaps. Returns its name; 0 when there
// is no image or no context, or when a texture of that size cannot be had (a side above 2^30,
// or more pixels than memory can address).
uint32_t gl_create_texture(const void* image, uint32_t colour);
void gl_delete_texture(uint32_t name);
// A 2-D projection of the screen's pixels (origin top left, y downwards), flat shading, no
// depth test or depth writes, and the colour buffer cleared to opaque black.
void gl_setup_2d();
