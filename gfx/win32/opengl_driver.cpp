// OpenGL driver: a window with an OpenGL rendering context instead of a presented framebuffer.
// "opengl32.dll" is loaded at run time, so the program starts where it is missing. There is no
// window thread: the window, its messages and the context belong to the program's thread.
#include "gfx/win32/opengl_driver.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/wglext.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "gfx/draw_state.h"
#include "gfx/gfx_context.h"
#include "gfx/screen.h"

const gl_system_calls gl_platform_calls = {
    LoadLibraryA, GetProcAddress,         FreeLibrary, ChoosePixelFormat, SetPixelFormat,
    SwapBuffers,  ChangeDisplaySettingsA, ReleaseDC,
};
gl_system_calls gl_system = gl_platform_calls;
gl_pixel_format_settings gl_pixel_format;

namespace {

using wgl_create_context_entry = HGLRC(WINAPI*)(HDC);
using wgl_make_current_entry = BOOL(WINAPI*)(HDC, HGLRC);
using wgl_delete_context_entry = BOOL(WINAPI*)(HGLRC);
using wgl_get_proc_address_entry = PROC(WINAPI*)(LPCSTR);
using wgl_extensions_arb_entry = const char*(WINAPI*)(HDC);
using wgl_extensions_ext_entry = const char*(WINAPI*)();
using wgl_choose_pixel_format_entry = BOOL(WINAPI*)(HDC, const int*, const FLOAT*, UINT, int*,
                                                    UINT*);

struct wgl_entry_point_table {
    wgl_create_context_entry create_context;
    wgl_make_current_entry make_current;
    wgl_delete_context_entry delete_context;
    wgl_get_proc_address_entry get_proc_address;
    // The extension-string query: the ARB form takes the device context, the EXT form nothing.
    wgl_extensions_arb_entry extensions_arb;
    wgl_extensions_ext_entry extensions_ext;
    wgl_choose_pixel_format_entry choose_pixel_format; // only with WGL_ARB_pixel_format
};

struct gl_function_table {
    void(WINAPI* enable)(GLenum);
    void(WINAPI* disable)(GLenum);
    const GLubyte*(WINAPI* get_string)(GLenum);
    void(WINAPI* viewport)(GLint, GLint, GLsizei, GLsizei);
    void(WINAPI* matrix_mode)(GLenum);
    void(WINAPI* load_identity)();
    void(WINAPI* ortho)(GLdouble, GLdouble, GLdouble, GLdouble, GLdouble, GLdouble);
    void(WINAPI* shade_model)(GLenum);
    void(WINAPI* depth_mask)(GLboolean);
    void(WINAPI* clear_color)(GLclampf, GLclampf, GLclampf, GLclampf);
    void(WINAPI* clear)(GLbitfield);
    void(WINAPI* gen_textures)(GLsizei, GLuint*);
    void(WINAPI* delete_textures)(GLsizei, const GLuint*);
    void(WINAPI* bind_texture)(GLenum, GLuint);
    void(WINAPI* tex_image_2d)(GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum,
                               const GLvoid*);
    // Beyond the fifteen: a texture made by gl_create_texture needs its minification filter.
    void(WINAPI* tex_parameter_i)(GLenum, GLenum, GLint);
};

constexpr size_t extension_list_size = 16384;
constexpr uint32_t largest_texture_side = 1u << 30;
constexpr int32_t attribute_list_size = 64;

HMODULE gl_library;
wgl_entry_point_table wgl_entry_points;
HGLRC gl_context;
HDC gl_dc;
gl_function_table gl_functions;
char extension_list[extension_list_size];
int32_t texturing;

// Red, green and blue bits, and alpha bits, by (colour bits + 7) / 8 - 1.
constexpr int32_t channel_bits[4] = {0, 5, 8, 8};
constexpr int32_t alpha_channel_bits[4] = {0, 0, 0, 8};

template <typename T> bool resolve(HMODULE module, const char* name, T& entry) {
    FARPROC found = gl_system.get_proc_address(module, name);
    entry = reinterpret_cast<T>(reinterpret_cast<void*>(found));
    return entry != nullptr;
}

template <typename T> T wgl_lookup(const char* name) {
    if (!wgl_entry_points.get_proc_address) return nullptr;
    PROC found = wgl_entry_points.get_proc_address(name);
    return reinterpret_cast<T>(reinterpret_cast<void*>(found));
}

bool fullscreen_mode() {
    return (window_state.flags & fullscreen) != 0;
}

// Appends text to the extension list, cut so that the list keeps its terminating zero.
void append_extensions(const char* more, size_t* length) {
    while (*more && *length < extension_list_size - 1)
        extension_list[(*length)++] = *more++;
    extension_list[*length] = 0;
}

// Resolves the GL functions and reads the extension strings; true when the implementation
// has everything the driver needs.
bool load_gl_functions(HMODULE library, const char* wgl_extensions) {
    gl_function_table& gl = gl_functions;
    const bool resolved =
        resolve(library, "glEnable", gl.enable) && resolve(library, "glDisable", gl.disable) &&
        resolve(library, "glGetString", gl.get_string) &&
        resolve(library, "glViewport", gl.viewport) &&
        resolve(library, "glMatrixMode", gl.matrix_mode) &&
        resolve(library, "glLoadIdentity", gl.load_identity) &&
        resolve(library, "glOrtho", gl.ortho) && resolve(library, "glShadeModel", gl.shade_model) &&
        resolve(library, "glDepthMask", gl.depth_mask) &&
        resolve(library, "glClearColor", gl.clear_color) && resolve(library, "glClear", gl.clear) &&
        resolve(library, "glGenTextures", gl.gen_textures) &&
        resolve(library, "glDeleteTextures", gl.delete_textures) &&
        resolve(library, "glBindTexture", gl.bind_texture) &&
        resolve(library, "glTexImage2D", gl.tex_image_2d) &&
        resolve(library, "glTexParameteri", gl.tex_parameter_i);
    if (!resolved) return false;
    size_t length = 0;
    extension_list[0] = 0;
    // No current context (the probe's could not be made) reads as no extensions.
    const auto* gl_extensions = reinterpret_cast<const char*>(gl.get_string(GL_EXTENSIONS));
    if (gl_extensions) append_extensions(gl_extensions, &length);
    if (wgl_extensions && *wgl_extensions) {
        // Without a blank between them the last GL name and the first WGL name would run
        // together and neither could be found.
        if (length > 0 && extension_list[length - 1] != ' ') append_extensions(" ", &length);
        append_extensions(wgl_extensions, &length);
    }
    return has_extension("GL_EXT_bgra") != 0;
}

// The extensions can only be read with a current context, and a window takes one pixel format
// for good: a throw-away window gives the context for reading them.
int32_t probe_extensions(const PIXELFORMATDESCRIPTOR& descriptor) {
    HWND probe = CreateWindowExA(0, window_state.class_name, "OpenGL setup",
                                 WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0, 8, 8, nullptr,
                                 nullptr, window_state.instance, nullptr);
    if (!probe) return -1;
    HDC dc = GetDC(probe);
    gl_system.set_pixel_format(dc, gl_system.choose_pixel_format(dc, &descriptor), &descriptor);
    wgl_entry_point_table& wgl = wgl_entry_points;
    HGLRC context = wgl.create_context(dc);
    wgl.make_current(dc, context);

    resolve(gl_library, "wglGetProcAddress", wgl.get_proc_address);
    wgl.extensions_arb = wgl_lookup<wgl_extensions_arb_entry>("wglGetExtensionsStringARB");
    if (!wgl.extensions_arb)
        wgl.extensions_ext = wgl_lookup<wgl_extensions_ext_entry>("wglGetExtensionsStringEXT");
    const char* wgl_extensions = wgl.extensions_arb   ? wgl.extensions_arb(dc)
                                 : wgl.extensions_ext ? wgl.extensions_ext()
                                                      : nullptr;

    const bool loaded = load_gl_functions(gl_library, wgl_extensions);
    if (loaded && has_extension("WGL_ARB_pixel_format"))
        wgl.choose_pixel_format =
            wgl_lookup<wgl_choose_pixel_format_entry>("wglChoosePixelFormatARB");

    wgl.make_current(nullptr, nullptr);
    if (context) wgl.delete_context(context);
    gl_system.release_dc(probe, dc);
    DestroyWindow(probe);
    return loaded ? 0 : -1;
}

void fill_channels(int32_t k, int32_t* red, int32_t* green, int32_t* blue, int32_t* alpha) {
    if (k < 0) return;
    k = std::min(k, 3);
    if (*red == 0) *red = channel_bits[k];
    if (*green == 0) *green = channel_bits[k];
    if (*blue == 0) *blue = channel_bits[k];
    if (*alpha == 0) *alpha = alpha_channel_bits[k];
}

void apply_pixel_format_defaults(int32_t screen_depth, uint32_t flags) {
    gl_pixel_format_settings& s = gl_pixel_format;
    if (s.color_bits == 0) s.color_bits = s.red_bits + s.green_bits + s.blue_bits + s.alpha_bits;
    if (s.color_bits == 0) s.color_bits = screen_depth;
    fill_channels((s.color_bits + 7) / 8 - 1, &s.red_bits, &s.green_bits, &s.blue_bits,
                  &s.alpha_bits);

    if (s.accum_bits == 0)
        s.accum_bits =
            s.accum_red_bits + s.accum_green_bits + s.accum_blue_bits + s.accum_alpha_bits;
    int32_t k = (s.accum_bits + 7) / 8 - 1;
    if (k < 0 && (flags & accumulation_buffer)) {
        s.accum_bits = 32;
        k = 3;
    }
    fill_channels(k, &s.accum_red_bits, &s.accum_green_bits, &s.accum_blue_bits,
                  &s.accum_alpha_bits);

    if (s.depth_bits == 0) s.depth_bits = 16;
    if (s.stencil_bits == 0 && (flags & stencil_buffer)) s.stencil_bits = 8;
    if (s.samples == 0 && (flags & multisample)) s.samples = 4;
}

// The attribute list for wglChoosePixelFormatARB and the same wishes in the descriptor.
struct pixel_format_request {
    int attributes[attribute_list_size];
    int32_t length;
    int32_t samples_index; // where the WGL_SAMPLES_ARB value is; 0 when none was asked
    PIXELFORMATDESCRIPTOR descriptor;
};

void add_attribute(pixel_format_request* request, int attribute, int32_t value) {
    request->attributes[request->length++] = attribute;
    request->attributes[request->length++] = value;
}

void add_attribute(pixel_format_request* request, int attribute, int32_t value, BYTE* field) {
    add_attribute(request, attribute, value);
    *field = static_cast<BYTE>(value & 0xFF);
}

void add_optional(pixel_format_request* request, int attribute, int32_t value, BYTE* field) {
    if (value != 0) add_attribute(request, attribute, value, field);
}

void add_pixel_format_settings(pixel_format_request* request) {
    const gl_pixel_format_settings& s = gl_pixel_format;
    PIXELFORMATDESCRIPTOR& d = request->descriptor;
    add_attribute(request, WGL_COLOR_BITS_ARB, s.color_bits, &d.cColorBits);
    add_attribute(request, WGL_RED_BITS_ARB, s.red_bits, &d.cRedBits);
    add_attribute(request, WGL_GREEN_BITS_ARB, s.green_bits, &d.cGreenBits);
    add_attribute(request, WGL_BLUE_BITS_ARB, s.blue_bits, &d.cBlueBits);
    add_attribute(request, WGL_ALPHA_BITS_ARB, s.alpha_bits, &d.cAlphaBits);
    add_attribute(request, WGL_DEPTH_BITS_ARB, s.depth_bits, &d.cDepthBits);
    add_optional(request, WGL_ACCUM_BITS_ARB, s.accum_bits, &d.cAccumBits);
    add_optional(request, WGL_ACCUM_RED_BITS_ARB, s.accum_red_bits, &d.cAccumRedBits);
    add_optional(request, WGL_ACCUM_GREEN_BITS_ARB, s.accum_green_bits, &d.cAccumGreenBits);
    add_optional(request, WGL_ACCUM_BLUE_BITS_ARB, s.accum_blue_bits, &d.cAccumBlueBits);
    add_optional(request, WGL_ACCUM_ALPHA_BITS_ARB, s.accum_alpha_bits, &d.cAccumAlphaBits);
    add_optional(request, WGL_STENCIL_BITS_ARB, s.stencil_bits, &d.cStencilBits);
    if (s.samples != 0) {
        add_attribute(request, WGL_SAMPLE_BUFFERS_ARB, 1);
        add_attribute(request, WGL_SAMPLES_ARB, s.samples);
        request->samples_index = request->length - 1;
    }
    request->attributes[request->length] = 0;
}

// The format that wglChoosePixelFormatARB accepts, asking for two samples fewer after each
// refusal; 0 when it accepts none. accepted_samples receives the samples value it took.
int choose_arb_format(pixel_format_request* request, int32_t* accepted_samples) {
    *accepted_samples = 0;
    const wgl_choose_pixel_format_entry choose = wgl_entry_points.choose_pixel_format;
    if (!choose) return 0;
    for (;;) {
        int format = 0;
        UINT count = 0;
        if (choose(gl_dc, request->attributes, nullptr, 1, &format, &count) && count > 0) {
            if (format != 0 && request->samples_index)
                *accepted_samples = request->attributes[request->samples_index];
            return format;
        }
        if (!request->samples_index) return 0;
        request->attributes[request->samples_index] -= 2;
        if (request->attributes[request->samples_index] < 0) return 0;
    }
}

int32_t fail_init() {
    gl_exit();
    return -1;
}

// Width and height of an image of either header form.
void image_size(const void* image, uint32_t* width, uint32_t* height) {
    const auto* words = static_cast<const uint32_t*>(image);
    if (words[0] == image_new_header) {
        *width = words[2];
        *height = words[3];
        return;
    }
    const auto* bytes = static_cast<const uint8_t*>(image);
    *width = static_cast<uint32_t>(bytes[0] >> 3 | bytes[1] << 5);
    *height = static_cast<uint32_t>(bytes[2] | bytes[3] << 8);
}

// v itself when it is a power of two, else the next one.
uint32_t power_of_two_above(uint32_t v) {
    v -= 1;
    v |= v >> 1;
    v |= v >> 2;
    v |= v >> 4;
    v |= v >> 8;
    v |= v >> 16;
    return v + 1;
}

} // namespace

int32_t has_extension(const char* name) {
    if (!name || !*name) return 0;
    const size_t length = std::strlen(name);
    for (const char* found = std::strstr(extension_list, name); found;
         found = std::strstr(found + 1, name)) {
        // A whole name only: GL_EXT_bgr is not GL_EXT_bgra, nor GL_ARB_multisample
        // WGL_ARB_multisample.
        const bool starts = found == extension_list || found[-1] == ' ';
        const char after = found[length];
        if (starts && (after == 0 || after == ' ')) return 1;
    }
    return 0;
}

int32_t gl_init(const char* title, int32_t width, int32_t height, int32_t depth,
                int32_t refresh_rate, uint32_t flags) {
    pixel_format_request request{};
    PIXELFORMATDESCRIPTOR& descriptor = request.descriptor;
    descriptor.nSize = sizeof descriptor;
    descriptor.nVersion = 1;
    descriptor.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    descriptor.iPixelType = PFD_TYPE_RGBA;
    descriptor.cDepthBits = 32;
    add_attribute(&request, WGL_DRAW_TO_WINDOW_ARB, 1);
    add_attribute(&request, WGL_ACCELERATION_ARB, WGL_FULL_ACCELERATION_ARB);
    add_attribute(&request, WGL_DOUBLE_BUFFER_ARB, 1);

    depth = std::max(depth, 8);
    window_state_clear();
    gl_context = nullptr;
    gl_library = nullptr;
    gl_dc = nullptr;
    extension_list[0] = 0; // the last screen's implementation may not be this one's
    if (!(flags & opengl)) return -1;

    gl_library = gl_system.load_library("opengl32.dll");
    if (!gl_library) return -1;
    wgl_entry_points = wgl_entry_point_table{};
    gl_functions = gl_function_table{};
    wgl_entry_point_table& wgl = wgl_entry_points;
    if (!resolve(gl_library, "wglCreateContext", wgl.create_context) ||
        !resolve(gl_library, "wglMakeCurrent", wgl.make_current) ||
        !resolve(gl_library, "wglDeleteContext", wgl.delete_context)) {
        gl_system.free_library(gl_library);
        gl_library = nullptr;
        return -1;
    }

    window_state.open_window = gl_open_window;
    window_state.close_window = gl_close_window;
    window_state.paint_window = nullptr; // OpenGL draws the window itself
    if (window_start(title, width, height, depth, refresh_rate, flags) != 0) return fail_init();
    if (probe_extensions(descriptor) != 0) return fail_init();

    if (create_driver_window(WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0, 0, 8, 8) != 0)
        return fail_init();
    if (gl_open_window() != 0) return fail_init();

    apply_pixel_format_defaults(gfx_screen ? gfx_screen->depth : depth, flags);
    add_pixel_format_settings(&request);
    gl_dc = GetDC(window_state.hwnd);
    if (!gl_dc) return fail_init();

    int32_t accepted_samples = 0;
    int format = choose_arb_format(&request, &accepted_samples);
    if (format == 0) format = gl_system.choose_pixel_format(gl_dc, &descriptor);
    if (format == 0) return fail_init();
    if (!gl_system.set_pixel_format(gl_dc, format, &descriptor)) return fail_init();
    gl_context = wgl.create_context(gl_dc);
    if (!gl_context || !wgl.make_current(gl_dc, gl_context)) return fail_init();
    texturing = 0; // a new context starts without texturing
    // Only a format chosen for samples has them; without one GL_MULTISAMPLE means nothing.
    if (accepted_samples > 0) gl_functions.enable(GL_MULTISAMPLE);
    return 0;
}

void gl_exit() {
    if (gl_library) {
        if (gl_context) {
            wgl_entry_points.make_current(nullptr, nullptr);
            wgl_entry_points.delete_context(gl_context);
            gl_context = nullptr;
        }
        if (gl_dc) {
            gl_system.release_dc(window_state.hwnd, gl_dc);
            gl_dc = nullptr;
        }
        if (fullscreen_mode()) gl_system.change_display_settings(nullptr, 0);
        if (window_state.hwnd) {
            DestroyWindow(window_state.hwnd);
            window_state.hwnd = nullptr;
        }
        gl_system.free_library(gl_library);
        gl_library = nullptr;
        wgl_entry_points = wgl_entry_point_table{};
        gl_functions = gl_function_table{};
    }
    extension_list[0] = 0;
    window_exit();
}

int32_t gl_open_window() {
    HWND window = window_state.hwnd;
    DWORD style = static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE));
    constexpr DWORD frame =
        WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    UINT position_flags =
        SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED | SWP_NOOWNERZORDER | SWP_NOSENDCHANGING;
    if (fullscreen_mode()) {
        DEVMODEA mode = window_display_mode();
        if (gl_system.change_display_settings(&mode, CDS_FULLSCREEN) != DISP_CHANGE_SUCCESSFUL)
            return -1;
        style = (style & ~frame) | WS_POPUP;
        position_flags = SWP_FRAMECHANGED;
    } else if (window_state.flags & no_frame) {
        style = (style & ~frame) | WS_POPUP;
    } else {
        style = (style | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX) &
                ~(WS_POPUP | WS_THICKFRAME);
        if (window_state.flags & no_switch) style &= ~WS_MAXIMIZEBOX;
    }
    SetWindowLongA(window, GWL_STYLE, static_cast<LONG>(style));

    RECT rect{0, 0, window_state.width, window_state.height};
    int32_t x = 0;
    int32_t y = 0;
    if (!fullscreen_mode()) {
        AdjustWindowRect(&rect, style, FALSE);
        x = (GetSystemMetrics(SM_CXSCREEN) - rect.right) >> 1;
        y = (GetSystemMetrics(SM_CYSCREEN) - rect.bottom) >> 1;
    }
    SetWindowPos(window, HWND_TOP, x, y, rect.right - rect.left, rect.bottom - rect.top,
                 position_flags);
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);

    window_state.active = 1;
    // Before gl_init has the window's device context the rate stays unknown (0).
    if (gfx_screen) gfx_screen->refresh_rate = gl_dc ? GetDeviceCaps(gl_dc, VREFRESH) : 0;
    return 0;
}

void gl_close_window() {
    if (!window_state.hwnd) return;
    if (fullscreen_mode()) gl_system.change_display_settings(nullptr, 0);
    ShowWindow(window_state.hwnd, SW_HIDE);
}

void gl_flip() {
    if (gl_dc) gl_system.swap_buffers(gl_dc);
}

void gl_poll_events() {
    // A GDI or DirectDraw screen's window and key_state belong to its window thread. Without a
    // window a pump would take every message of the thread.
    if (!gfx_screen || !(gfx_screen->flags & context_opengl) || !window_state.hwnd) return;
    if (window_state.active) refresh_key_state();
    pump_messages();
}

int32_t* gl_fetch_modes(int32_t depth, int32_t* count) {
    return display_settings_modes(depth, false, count);
}

void* gl_get_proc_address(const char* name) {
    if (!gfx_screen || !(gfx_screen->flags & context_opengl)) return nullptr;
    if (!wgl_entry_points.get_proc_address || !name) return nullptr;
    return reinterpret_cast<void*>(wgl_entry_points.get_proc_address(name));
}

void gl_set_texturing(int32_t on) {
    if (!gl_context) return;
    const int32_t before = texturing;
    texturing = on;
    if (((on ^ before) & 1) == 0) return;
    if (on & 1)
        gl_functions.enable(GL_TEXTURE_2D);
    else
        gl_functions.disable(GL_TEXTURE_2D);
}

uint32_t gl_create_texture(const void* image, uint32_t colour) {
    if (!image || !gl_context) return 0;
    uint32_t width = 0;
    uint32_t height = 0;
    image_size(image, &width, &height);
    // Larger sides round to 2^31, which no GLsizei holds (and above it to 0); a product that
    // does not fit size_t would wrap to a small buffer that OpenGL reads as the full size.
    if (width == 0 || height == 0 || width > largest_texture_side || height > largest_texture_side)
        return 0;
    const uint32_t width2 = power_of_two_above(width);
    const uint32_t height2 = power_of_two_above(height);
    const uint64_t pixel_count = uint64_t{width2} * height2;
    if (pixel_count > SIZE_MAX / sizeof(uint32_t)) return 0;
    const auto pixels = static_cast<size_t>(pixel_count);
    auto* buffer = static_cast<uint32_t*>(std::calloc(pixels, sizeof(uint32_t)));
    if (!buffer) return 0;
    std::fill_n(buffer, pixels, colour);
    GLuint name = 0;
    gl_functions.gen_textures(1, &name);
    gl_functions.bind_texture(GL_TEXTURE_2D, name);
    gl_functions.tex_image_2d(GL_TEXTURE_2D, 0, GL_RGBA, static_cast<GLsizei>(width2),
                              static_cast<GLsizei>(height2), 0, GL_BGRA_EXT, GL_UNSIGNED_BYTE,
                              buffer);
    // The default filter samples mipmaps, which this texture lacks: it would not be drawn.
    gl_functions.tex_parameter_i(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    std::free(buffer);
    return name;
}

void gl_delete_texture(uint32_t name) {
    if (!gl_context) return;
    const GLuint names[1] = {name};
    gl_functions.delete_textures(1, names);
}

void gl_setup_2d() {
    if (!gl_context || !gfx_screen) return;
    const gl_function_table& gl = gl_functions;
    const int32_t w = gfx_screen->width;
    const int32_t h = gfx_screen->height;
    gl.viewport(0, 0, w, h);
    gl.matrix_mode(GL_PROJECTION);
    gl.load_identity();
    // y grows downwards; the offset puts pixel centres where integer coordinates fall.
    gl.ortho(-0.325, w - 0.325, h - 0.325, -0.325, -1.0, 1.0);
    gl.matrix_mode(GL_MODELVIEW);
    gl.load_identity();
    gl.shade_model(GL_FLAT);
    gl.disable(GL_DEPTH_TEST);
    gl.depth_mask(GL_FALSE);
    gl.clear_color(0.0f, 0.0f, 0.0f, 1.0f);
    gl.clear(GL_COLOR_BUFFER_BIT);
}

// The OpenGL driver record. lock and unlock are absent: no other thread touches the window.
const display_driver opengl_driver = {
    "OpenGL",
    gl_init,          // init
    gl_exit,          // exit
    nullptr,          // lock
    nullptr,          // unlock
    nullptr,          // set_palette: nothing of the framebuffer is shown
    wait_vsync,       // wait_vsync: sleep form
    get_mouse,        // get_mouse
    set_mouse,        // set_mouse
    set_window_title, // set_window_title
    set_window_pos,   // set_window_pos
    gl_fetch_modes,   // fetch_modes
    gl_flip,          // flip
    gl_poll_events,   // poll_events
};
