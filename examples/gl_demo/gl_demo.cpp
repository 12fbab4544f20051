// gl_demo: a 640 x 480 window in OpenGL mode with four coloured quads and one textured quad.
// Escape or the close button ends it, as does --frames N after N frames; --fullscreen opens it
// full screen and Alt+Enter switches between window and full screen. With --frames it prints
// its frame rate.
#include <windows.h>

#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "gfx/internal/draw_state.h"
#include "gfx/internal/gfx_context.h"
#include "gfx/internal/input_state.h"
#include "gfx/screen.h"
#include "gfx/win32/opengl.h"
#include "runtime/random.h"
#include "runtime/runtime.h"

namespace {

struct quad {
    int32_t left, top, right, bottom;
    uint32_t colour; // 0xRRGGBB
};

// clang-format off
constexpr quad coloured_quads[4] = {
    { 40,  40, 200, 200, 0xFF0000},
    {440,  40, 600, 200, 0x00FF00},
    { 40, 280, 200, 440, 0x0000FF},
    {440, 280, 600, 440, 0xFFFF00},
};
// clang-format on
constexpr quad textured_quad = {240, 160, 400, 320, 0xFFFFFF};
constexpr uint32_t texture_colour = 0xFFFF8000; // opaque orange, 0xAARRGGBB

// An image header of the new form: only its size matters to the texture, 48 x 40 pixels, which
// becomes a 64 x 64 texture.
constexpr uint32_t texture_image[8] = {image_new_header, 4, 48, 40, 48 * 4, 0, 0, 0};

void draw(const quad& q) {
    glColor3ub(static_cast<GLubyte>(q.colour >> 16), static_cast<GLubyte>(q.colour >> 8),
               static_cast<GLubyte>(q.colour));
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2i(q.left, q.top);
    glTexCoord2f(1.0f, 0.0f);
    glVertex2i(q.right, q.top);
    glTexCoord2f(1.0f, 1.0f);
    glVertex2i(q.right, q.bottom);
    glTexCoord2f(0.0f, 1.0f);
    glVertex2i(q.left, q.bottom);
    glEnd();
}

bool end_requested() {
    for (int32_t key = get_key(); key != 0; key = get_key())
        if (key == 27 || key == close_key) return true;
    return false;
}

} // namespace

int main(int argument_count, char** arguments) {
    runtime_start();
    exit_handler_add(runtime_stop);
    runtime_init(argument_count, arguments, 0);

    long frames = 0; // 0: until Escape or the close button
    uint32_t flags = opengl;
    for (int i = 1; i < argument_count; ++i) {
        if (std::strcmp(arguments[i], "--frames") == 0 && i + 1 < argument_count)
            frames = std::strtol(arguments[++i], nullptr, 10);
        else if (std::strcmp(arguments[i], "--fullscreen") == 0)
            flags |= fullscreen;
    }

    if (screen_res(640, 480, 32, 1, flags, 0) != 0 || !gfx_screen->driver->flip) {
        std::fputs("gl_demo: no OpenGL window\n", stderr);
        program_end(1);
    }
    gl_setup_2d();
    const uint32_t texture = gl_create_texture(texture_image, texture_colour);

    const double start = timer_seconds();
    long frame = 0;
    while (frames == 0 || frame < frames) {
        glClear(GL_COLOR_BUFFER_BIT);
        gl_set_texturing(0);
        for (const quad& q : coloured_quads)
            draw(q);
        gl_set_texturing(1);
        glBindTexture(GL_TEXTURE_2D, texture);
        draw(textured_quad);
        gl_flip();
        gl_poll_events();
        ++frame;
        if (end_requested()) break;
    }
    if (frames > 0) {
        const double seconds = timer_seconds() - start;
        std::printf("gl_demo: %ld frames in %.3f s, %.1f frames per second\n", frame, seconds,
                    seconds > 0 ? frame / seconds : 0.0);
        std::fflush(stdout);
    }
    gl_delete_texture(texture);
    program_end(0);
}
