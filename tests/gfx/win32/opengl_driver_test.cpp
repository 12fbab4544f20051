// The OpenGL driver on Wine's OpenGL (Mesa's software renderer), and through a stand-in
// implementation where a real one cannot be made to behave as a case needs.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/wglext.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "gfx/draw_state.h"
#include "gfx/screen.h"
#include "gfx/win32/gdi_driver.h"
#include "gfx/win32/opengl_driver.h"
#include "runtime/os/os.h"
#include "runtime/runtime.h"
#include "tests/gfx/win32/test_window.h"

namespace {

// --- A stand-in OpenGL implementation behind the driver's system calls ---

struct stand_in_setup {
    const char* gl_extensions = "GL_ARB_multitexture GL_EXT_bgra GL_EXT_abgr";
    const char* wgl_extensions = "WGL_ARB_extensions_string WGL_ARB_pixel_format";
    // wglChoosePixelFormatARB accepts requests of at most this many samples; -1 none at all.
    int32_t most_samples = 16;
    int arb_answer = 7;            // the format it names when it accepts
    int plain_answer = 3;          // what ChoosePixelFormat answers
    bool loads = true;             // LoadLibraryA finds the library
    const char* missing = nullptr; // an entry point the library lacks
    BOOL pixel_format_set = TRUE;  // SetPixelFormat's answer
    bool contexts_made = true;     // wglCreateContext's
    BOOL made_current = TRUE;      // wglMakeCurrent's
};

struct stand_in_record {
    int32_t libraries_loaded = 0;
    int32_t libraries_freed = 0;
    std::vector<int32_t> samples_asked; // by wglChoosePixelFormatARB, in order; 0: none asked
    std::vector<std::vector<int>> attribute_lists;
    std::vector<PIXELFORMATDESCRIPTOR> chosen; // descriptors given to ChoosePixelFormat
    std::vector<PIXELFORMATDESCRIPTOR> set;    // descriptors given to SetPixelFormat
    std::vector<int> set_formats;              // formats given to SetPixelFormat
    std::vector<HDC> set_dcs;                  // and their device contexts
    int32_t contexts_made = 0;
    std::vector<std::pair<HWND, HDC>> released_dcs;
    std::vector<std::string> gl_calls; // the GL functions called, with their arguments
};

stand_in_setup setup;
stand_in_record record;
const HMODULE stand_in_library = reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x5150000));
const HGLRC stand_in_context = reinterpret_cast<HGLRC>(static_cast<uintptr_t>(0x42));
constexpr int arb_format = 7;
constexpr int plain_format = 3;

template <typename F> FARPROC as_proc(F function) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(function));
}

int32_t attribute_value(const int* list, int attribute) {
    for (const int* a = list; *a; a += 2)
        if (a[0] == attribute) return a[1];
    return 0;
}

// A GL call as the stand-in records it: the name, then each argument.
std::string gl_call(const char* name, std::initializer_list<double> arguments = {}) {
    std::string call = name;
    char number[32];
    for (double argument : arguments) {
        std::snprintf(number, sizeof number, " %.10g", argument);
        call += number;
    }
    return call;
}

HMODULE WINAPI load_library(LPCSTR) {
    if (!setup.loads) return nullptr;
    ++record.libraries_loaded;
    return stand_in_library;
}
BOOL WINAPI free_library(HMODULE) {
    ++record.libraries_freed;
    return TRUE;
}
int WINAPI choose_pixel_format(HDC, const PIXELFORMATDESCRIPTOR* descriptor) {
    record.chosen.push_back(*descriptor);
    return setup.plain_answer;
}
BOOL WINAPI set_pixel_format(HDC dc, int format, const PIXELFORMATDESCRIPTOR* descriptor) {
    record.set.push_back(*descriptor);
    record.set_formats.push_back(format);
    record.set_dcs.push_back(dc);
    // The probe's result is not looked at; the window's is.
    return record.set.size() == 1 || setup.pixel_format_set;
}
BOOL WINAPI swap_buffers(HDC) {
    return TRUE;
}
int WINAPI release_dc(HWND window, HDC dc) {
    record.released_dcs.emplace_back(window, dc);
    return ReleaseDC(window, dc);
}

HGLRC WINAPI create_context(HDC) {
    if (!setup.contexts_made) return nullptr;
    ++record.contexts_made;
    return stand_in_context;
}
BOOL WINAPI make_current(HDC dc, HGLRC context) {
    record.gl_calls.push_back(gl_call(dc ? "wglMakeCurrent" : "wglMakeCurrent none"));
    return context ? setup.made_current : TRUE;
}
BOOL WINAPI delete_context(HGLRC) {
    record.gl_calls.push_back(gl_call("wglDeleteContext"));
    return TRUE;
}
const char* WINAPI extensions_string(HDC) {
    return setup.wgl_extensions;
}
BOOL WINAPI choose_pixel_format_arb(HDC, const int* attributes, const FLOAT*, UINT, int* format,
                                    UINT* count) {
    record.attribute_lists.emplace_back(attributes, attributes + 64);
    const int32_t samples = attribute_value(attributes, WGL_SAMPLES_ARB);
    record.samples_asked.push_back(samples);
    *count = samples <= setup.most_samples ? 1 : 0;
    *format = *count ? setup.arb_answer : 0;
    return TRUE;
}
PROC WINAPI get_proc_address_wgl(LPCSTR name) {
    if (std::strcmp(name, "wglGetExtensionsStringARB") == 0) return as_proc(extensions_string);
    if (std::strcmp(name, "wglChoosePixelFormatARB") == 0) return as_proc(choose_pixel_format_arb);
    return nullptr;
}

// The GL functions, each with its own signature: a __stdcall function removes its arguments
// from the stack, so on the 32-bit build a stub of another signature would corrupt it.
const GLubyte* WINAPI gl_get_string(GLenum name) {
    return reinterpret_cast<const GLubyte*>(name == GL_EXTENSIONS ? setup.gl_extensions : "");
}
void WINAPI gl_enable(GLenum capability) {
    record.gl_calls.push_back(gl_call("glEnable", {double(capability)}));
}
void WINAPI gl_disable(GLenum capability) {
    record.gl_calls.push_back(gl_call("glDisable", {double(capability)}));
}
void WINAPI gl_viewport(GLint x, GLint y, GLsizei width, GLsizei height) {
    record.gl_calls.push_back(
        gl_call("glViewport", {double(x), double(y), double(width), double(height)}));
}
void WINAPI gl_matrix_mode(GLenum mode) {
    record.gl_calls.push_back(gl_call("glMatrixMode", {double(mode)}));
}
void WINAPI gl_load_identity() {
    record.gl_calls.push_back(gl_call("glLoadIdentity"));
}
void WINAPI gl_ortho(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble z_near,
                     GLdouble z_far) {
    record.gl_calls.push_back(gl_call("glOrtho", {left, right, bottom, top, z_near, z_far}));
}
void WINAPI gl_shade_model(GLenum mode) {
    record.gl_calls.push_back(gl_call("glShadeModel", {double(mode)}));
}
void WINAPI gl_depth_mask(GLboolean flag) {
    record.gl_calls.push_back(gl_call("glDepthMask", {double(flag)}));
}
void WINAPI gl_clear_color(GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha) {
    record.gl_calls.push_back(gl_call("glClearColor", {red, green, blue, alpha}));
}
void WINAPI gl_clear(GLbitfield mask) {
    record.gl_calls.push_back(gl_call("glClear", {double(mask)}));
}
void WINAPI gl_gen_textures(GLsizei count, GLuint* names) {
    record.gl_calls.push_back(gl_call("glGenTextures", {double(count)}));
    for (GLsizei i = 0; i < count; ++i)
        names[i] = 21 + static_cast<GLuint>(i);
}
void WINAPI gl_delete_textures(GLsizei count, const GLuint* names) {
    record.gl_calls.push_back(gl_call("glDeleteTextures", {double(count), double(names[0])}));
}
void WINAPI gl_bind_texture(GLenum target, GLuint name) {
    record.gl_calls.push_back(gl_call("glBindTexture", {double(target), double(name)}));
}
// The pixels are recorded too: the first and the last of width x height.
void WINAPI gl_tex_image_2d(GLenum target, GLint level, GLint internal_format, GLsizei width,
                            GLsizei height, GLint border, GLenum format, GLenum type,
                            const GLvoid* pixels) {
    const auto* texels = static_cast<const uint32_t*>(pixels);
    const int64_t count = width > 0 && height > 0 ? int64_t{width} * height : 0;
    record.gl_calls.push_back(gl_call(
        "glTexImage2D", {double(target), double(level), double(internal_format), double(width),
                         double(height), double(border), double(format), double(type),
                         double(count ? texels[0] : 0), double(count ? texels[count - 1] : 0)}));
}
void WINAPI gl_tex_parameter_i(GLenum target, GLenum name, GLint value) {
    record.gl_calls.push_back(
        gl_call("glTexParameteri", {double(target), double(name), double(value)}));
}

FARPROC WINAPI get_proc_address(HMODULE, LPCSTR name) {
    struct entry {
        const char* name;
        FARPROC proc;
    };
    const entry entries[] = {
        {"wglCreateContext", as_proc(create_context)},
        {"wglMakeCurrent", as_proc(make_current)},
        {"wglDeleteContext", as_proc(delete_context)},
        {"wglGetProcAddress", as_proc(get_proc_address_wgl)},
        {"glEnable", as_proc(gl_enable)},
        {"glDisable", as_proc(gl_disable)},
        {"glGetString", as_proc(gl_get_string)},
        {"glViewport", as_proc(gl_viewport)},
        {"glMatrixMode", as_proc(gl_matrix_mode)},
        {"glLoadIdentity", as_proc(gl_load_identity)},
        {"glOrtho", as_proc(gl_ortho)},
        {"glShadeModel", as_proc(gl_shade_model)},
        {"glDepthMask", as_proc(gl_depth_mask)},
        {"glClearColor", as_proc(gl_clear_color)},
        {"glClear", as_proc(gl_clear)},
        {"glGenTextures", as_proc(gl_gen_textures)},
        {"glDeleteTextures", as_proc(gl_delete_textures)},
        {"glBindTexture", as_proc(gl_bind_texture)},
        {"glTexImage2D", as_proc(gl_tex_image_2d)},
        {"glTexParameteri", as_proc(gl_tex_parameter_i)},
    };
    if (setup.missing && std::strcmp(setup.missing, name) == 0) return nullptr;
    for (const entry& e : entries)
        if (std::strcmp(e.name, name) == 0) return e.proc;
    return nullptr;
}

const gl_system_calls stand_in_calls = {
    load_library,     get_proc_address, free_library,           choose_pixel_format,
    set_pixel_format, swap_buffers,     ChangeDisplaySettingsA, release_dc,
};

// A display that takes every mode it is asked for, without changing anything.
std::vector<std::string> display_changes;
LONG WINAPI accept_display_change(DEVMODEA* mode, DWORD flags) {
    char change[64];
    if (mode)
        std::snprintf(change, sizeof change, "%lux%lux%lu %lx", mode->dmPelsWidth,
                      mode->dmPelsHeight, mode->dmBitsPerPel, flags);
    else
        std::snprintf(change, sizeof change, "restore %lx", flags);
    display_changes.push_back(change);
    return DISP_CHANGE_SUCCESSFUL;
}

// A display that takes no mode, and restores nothing.
LONG WINAPI refuse_display_change(DEVMODEA* mode, DWORD flags) {
    accept_display_change(mode, flags);
    return mode ? DISP_CHANGE_BADMODE : DISP_CHANGE_SUCCESSFUL;
}

bool multisample_enabled() {
    const std::vector<std::string>& calls = record.gl_calls;
    return std::find(calls.begin(), calls.end(), gl_call("glEnable", {GL_MULTISAMPLE})) !=
           calls.end();
}

// A graphics context of the given depth for gl_init to read, and the driver's init on it.
class OpenglStandIn : public testing::Test {
  protected:
    void SetUp() override {
        setup = stand_in_setup{};
        record = stand_in_record{};
        gl_pixel_format = gl_pixel_format_settings{};
        gl_system = stand_in_calls;
        context.width = 320;
        context.height = 200;
        context.flags = context_opengl;
        gfx_screen = &context;
    }
    void TearDown() override {
        gl_exit();
        gfx_screen = nullptr;
        gl_system = gl_platform_calls;
        gl_pixel_format = gl_pixel_format_settings{};
    }
    int32_t init(int32_t depth, uint32_t flags = 0) {
        context.depth = depth;
        return gl_init("opengl_tests", 320, 200, depth, 0, opengl | flags);
    }
    gfx_context context{};
};

// Refuses, on this thread, to create the window of this title.
const char* refused_title;
LRESULT CALLBACK refuse_window(int code, WPARAM wparam, LPARAM lparam) {
    if (code == HCBT_CREATEWND && refused_title) {
        const char* title = reinterpret_cast<CBT_CREATEWNDA*>(lparam)->lpcs->lpszName;
        if (title && std::strcmp(title, refused_title) == 0) return 1;
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

BOOL CALLBACK count_window(HWND, LPARAM count) {
    ++*reinterpret_cast<int32_t*>(count);
    return TRUE;
}

int32_t thread_window_count() {
    int32_t count = 0;
    EnumThreadWindows(GetCurrentThreadId(), count_window, reinterpret_cast<LPARAM>(&count));
    return count;
}

LONG WINAPI refuse_display_change(DEVMODEA* mode, DWORD flags);

TEST_F(OpenglStandIn, EachFailedInitReleasesWhatItTook) {
    struct failure {
        const char* what;
        void (*arrange)();
        uint32_t flags;
    };
    const failure failures[] = {
        {"no library", [] { setup.loads = false; }, 0},
        {"no wglMakeCurrent", [] { setup.missing = "wglMakeCurrent"; }, 0},
        {"no glTexImage2D", [] { setup.missing = "glTexImage2D"; }, 0},
        {"no GL_EXT_bgra", [] { setup.gl_extensions = "GL_ARB_multitexture GL_EXT_bgr"; }, 0},
        {"no setup window", [] { refused_title = "OpenGL setup"; }, 0},
        {"no window", [] { refused_title = "opengl_tests"; }, 0},
        {"no pixel format",
         [] {
             setup.wgl_extensions = "WGL_ARB_extensions_string";
             setup.plain_answer = 0;
         },
         0},
        {"SetPixelFormat refused", [] { setup.pixel_format_set = FALSE; }, 0},
        {"no context", [] { setup.contexts_made = false; }, 0},
        {"context not current", [] { setup.made_current = FALSE; }, 0},
        {"display mode refused", [] { gl_system.change_display_settings = refuse_display_change; },
         fullscreen},
    };
    struct refusing_hook {
        HHOOK hook = SetWindowsHookExA(WH_CBT, refuse_window, nullptr, GetCurrentThreadId());
        ~refusing_hook() {
            UnhookWindowsHookEx(hook);
            refused_title = nullptr;
        }
    } refusing;
    ASSERT_NE(refusing.hook, nullptr);
    const int32_t windows_before = thread_window_count();
    // The extensions of a screen that opened are forgotten when it closes.
    ASSERT_EQ(init(32), 0);
    gl_exit();
    for (const failure& f : failures) {
        SCOPED_TRACE(f.what);
        setup = stand_in_setup{};
        gl_system = stand_in_calls;
        record = stand_in_record{};
        f.arrange();
        EXPECT_EQ(init(32, f.flags), -1);
        refused_title = nullptr;
        EXPECT_EQ(window_state.hwnd, nullptr);
        EXPECT_EQ(thread_window_count(), windows_before);
        EXPECT_EQ(record.libraries_freed, record.libraries_loaded);
        EXPECT_EQ(
            std::count(record.gl_calls.begin(), record.gl_calls.end(), gl_call("wglDeleteContext")),
            record.contexts_made);
        EXPECT_FALSE(running_now());
        EXPECT_EQ(has_extension("GL_EXT_bgra"), 0);
    }
}

TEST_F(OpenglStandIn, ExitReleasesContextDeviceContextWindowAndDisplayMode) {
    display_changes.clear();
    gl_system.change_display_settings = accept_display_change;
    ASSERT_EQ(init(32, fullscreen), 0);
    const HWND window = window_state.hwnd;
    ASSERT_EQ(record.set_dcs.size(), 2u);
    const HDC dc = record.set_dcs[1];
    record.gl_calls.clear();
    gl_exit();
    // The context is let go before it is deleted.
    EXPECT_EQ(record.gl_calls, (std::vector<std::string>{gl_call("wglMakeCurrent none"),
                                                         gl_call("wglDeleteContext")}));
    ASSERT_FALSE(record.released_dcs.empty());
    EXPECT_EQ(record.released_dcs.back(), std::make_pair(window, dc));
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(display_changes, (std::vector<std::string>{"320x200x32 4", "restore 0"}));
    EXPECT_EQ(record.libraries_freed, 1);
    EXPECT_EQ(has_extension("GL_EXT_bgra"), 0);
}

TEST_F(OpenglStandIn, RenderingHelpersCallOpenGLWithTheirArguments) {
    ASSERT_EQ(init(32), 0);
    record.gl_calls.clear();
    gl_setup_2d();
    gl_set_texturing(1);
    gl_set_texturing(3); // bit 0 as before: no call
    gl_set_texturing(0);
    const uint32_t image[8] = {image_new_header, 4, 3, 5, 12, 0, 0, 0};
    const uint32_t name = gl_create_texture(image, 0xFF00FF00);
    EXPECT_EQ(name, 21u);
    gl_delete_texture(name);
    EXPECT_EQ(record.gl_calls,
              (std::vector<std::string>{
                  gl_call("glViewport", {0, 0, 320, 200}),
                  gl_call("glMatrixMode", {GL_PROJECTION}),
                  gl_call("glLoadIdentity"),
                  gl_call("glOrtho", {-0.325, 319.675, 199.675, -0.325, -1, 1}),
                  gl_call("glMatrixMode", {GL_MODELVIEW}),
                  gl_call("glLoadIdentity"),
                  gl_call("glShadeModel", {GL_FLAT}),
                  gl_call("glDisable", {GL_DEPTH_TEST}),
                  gl_call("glDepthMask", {GL_FALSE}),
                  gl_call("glClearColor", {0, 0, 0, 1}),
                  gl_call("glClear", {GL_COLOR_BUFFER_BIT}),
                  gl_call("glEnable", {GL_TEXTURE_2D}),
                  gl_call("glDisable", {GL_TEXTURE_2D}),
                  gl_call("glGenTextures", {1}),
                  gl_call("glBindTexture", {GL_TEXTURE_2D, 21}),
                  // 3 x 5 as 4 x 8, every pixel the colour
                  gl_call("glTexImage2D", {GL_TEXTURE_2D, 0, GL_RGBA, 4, 8, 0, GL_BGRA_EXT,
                                           GL_UNSIGNED_BYTE, 0xFF00FF00, 0xFF00FF00}),
                  gl_call("glTexParameteri", {GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR}),
                  gl_call("glDeleteTextures", {1, 21}),
              }));

    // Sides whose powers of two overflow would wrap to a small buffer that OpenGL reads as the
    // full size: refused before anything is allocated or called.
    const uint32_t too_large[][2] = {
        {0x80000001u, 1}, {0x40000001u, 1}, {0x40000000u, 0x40000000u}};
    for (const auto& size : too_large) {
        SCOPED_TRACE(size[0]);
        const uint32_t huge[8] = {image_new_header, 4, size[0], size[1], 0, 0, 0, 0};
        record.gl_calls.clear();
        EXPECT_EQ(gl_create_texture(huge, 0xFFFFFFFF), 0u);
        ASSERT_EQ(record.gl_calls, std::vector<std::string>{}); // a wrap would allocate next
    }
}

TEST_F(OpenglStandIn, ExtensionNamesMatchOnlyWhole) {
    // The GL string has no trailing blank: its last name must not run into the WGL string.
    ASSERT_EQ(init(32), 0);
    EXPECT_EQ(has_extension("GL_EXT_bgra"), 1);          // in the middle
    EXPECT_EQ(has_extension("WGL_ARB_pixel_format"), 1); // at the end
    EXPECT_EQ(has_extension("GL_ARB_multitexture"), 1);  // at the start
    EXPECT_EQ(has_extension("GL_EXT_abgr"), 1);          // last of the GL names
    EXPECT_EQ(has_extension("WGL_ARB_extensions_string"), 1);
    EXPECT_EQ(has_extension("GL_EXT_bgr"), 0);          // a prefix of a listed name
    EXPECT_EQ(has_extension("EXT_bgra"), 0);            // a suffix of one
    EXPECT_EQ(has_extension("GL_ARB_pixel_format"), 0); // the tail of a WGL name
    EXPECT_EQ(has_extension(""), 0);
}

TEST_F(OpenglStandIn, ScreenDepthGivesColourBitsAndDepthBitsDefaultToSixteen) {
    struct expected_bits {
        int32_t depth, color, red, green, blue, alpha;
    };
    for (const expected_bits& e : {expected_bits{16, 16, 5, 5, 5, 0}, {32, 32, 8, 8, 8, 8}}) {
        SCOPED_TRACE(e.depth);
        gl_pixel_format = gl_pixel_format_settings{};
        record = stand_in_record{};
        ASSERT_EQ(init(e.depth), 0);
        ASSERT_EQ(record.attribute_lists.size(), 1u);
        const int* list = record.attribute_lists[0].data();
        EXPECT_EQ(list[0], WGL_DRAW_TO_WINDOW_ARB);
        EXPECT_EQ(attribute_value(list, WGL_ACCELERATION_ARB), WGL_FULL_ACCELERATION_ARB);
        EXPECT_EQ(attribute_value(list, WGL_DOUBLE_BUFFER_ARB), 1);
        EXPECT_EQ(attribute_value(list, WGL_COLOR_BITS_ARB), e.color);
        EXPECT_EQ(attribute_value(list, WGL_RED_BITS_ARB), e.red);
        EXPECT_EQ(attribute_value(list, WGL_GREEN_BITS_ARB), e.green);
        EXPECT_EQ(attribute_value(list, WGL_BLUE_BITS_ARB), e.blue);
        EXPECT_EQ(attribute_value(list, WGL_ALPHA_BITS_ARB), e.alpha);
        EXPECT_EQ(attribute_value(list, WGL_DEPTH_BITS_ARB), 16);
        // Nothing asked for stencil, accumulation or samples: those pairs are left out.
        EXPECT_EQ(attribute_value(list, WGL_STENCIL_BITS_ARB), 0);
        EXPECT_EQ(attribute_value(list, WGL_ACCUM_BITS_ARB), 0);
        EXPECT_EQ(attribute_value(list, WGL_SAMPLE_BUFFERS_ARB), 0);
        // The window's pixel format is the one the attribute list chose, with the same wishes.
        ASSERT_EQ(record.set.size(), 2u);
        EXPECT_EQ(record.set_formats[1], arb_format);
        const PIXELFORMATDESCRIPTOR& d = record.set[1];
        EXPECT_EQ(d.cColorBits, e.color);
        EXPECT_EQ(d.cRedBits, e.red);
        EXPECT_EQ(d.cAlphaBits, e.alpha);
        EXPECT_EQ(d.cDepthBits, 16);
        EXPECT_EQ(d.dwFlags,
                  static_cast<DWORD>(PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER));
        gl_exit();
    }
}

TEST_F(OpenglStandIn, FlagsAskForStencilAccumulationAndSamples) {
    ASSERT_EQ(init(32, stencil_buffer | accumulation_buffer | multisample), 0);
    ASSERT_FALSE(record.attribute_lists.empty());
    const int* list = record.attribute_lists[0].data();
    EXPECT_EQ(attribute_value(list, WGL_STENCIL_BITS_ARB), 8);
    EXPECT_EQ(attribute_value(list, WGL_ACCUM_BITS_ARB), 32);
    EXPECT_EQ(attribute_value(list, WGL_ACCUM_RED_BITS_ARB), 8);
    EXPECT_EQ(attribute_value(list, WGL_ACCUM_ALPHA_BITS_ARB), 8);
    EXPECT_EQ(attribute_value(list, WGL_SAMPLE_BUFFERS_ARB), 1);
    EXPECT_EQ(attribute_value(list, WGL_SAMPLES_ARB), 4);
    EXPECT_EQ(record.set.back().cStencilBits, 8);
    EXPECT_EQ(record.set.back().cAccumBits, 32);
}

TEST_F(OpenglStandIn, MultisampleLowersSamplesByTwoThenFallsBack) {
    struct expected_choice {
        int32_t most_samples;
        std::vector<int32_t> asked;
        int format;
        bool multisample_enabled;
    };
    const expected_choice cases[] = {
        {-1, {4, 2, 0}, plain_format, false}, // no format at all: ChoosePixelFormat
        {0, {4, 2, 0}, arb_format, false},    // only sample buffers without samples
        {2, {4, 2}, arb_format, true},
    };
    for (const expected_choice& c : cases) {
        SCOPED_TRACE(c.most_samples);
        gl_pixel_format = gl_pixel_format_settings{};
        record = stand_in_record{};
        setup.most_samples = c.most_samples;
        ASSERT_EQ(init(32, multisample), 0);
        EXPECT_EQ(record.samples_asked, c.asked);
        EXPECT_EQ(record.set_formats.back(), c.format);
        // The probe's ChoosePixelFormat, and the real window's only on the fallback.
        EXPECT_EQ(record.chosen.size(), c.format == plain_format ? 2u : 1u);
        EXPECT_EQ(multisample_enabled(), c.multisample_enabled);
        gl_exit();
    }
}

TEST_F(OpenglStandIn, WithoutAnArbFormatChoosePixelFormatAloneDecides) {
    // No WGL_ARB_pixel_format; then one that names a count but format 0.
    setup.wgl_extensions = "WGL_ARB_extensions_string";
    ASSERT_EQ(init(32, multisample), 0);
    EXPECT_TRUE(record.samples_asked.empty());
    EXPECT_EQ(record.set_formats.back(), plain_format);
    EXPECT_FALSE(multisample_enabled()); // samples were wished for, none were granted
    gl_exit();

    setup = stand_in_setup{};
    setup.arb_answer = 0;
    record = stand_in_record{};
    ASSERT_EQ(init(32, multisample), 0);
    EXPECT_EQ(record.samples_asked, std::vector<int32_t>{4});
    EXPECT_EQ(record.set_formats.back(), plain_format);
    EXPECT_FALSE(multisample_enabled());
}

// A screen without the opengl flag is served by another driver; this one loads nothing.
TEST_F(OpenglStandIn, ScreenWithoutFlagNeverReachesThisDriver) {
    gfx_screen = nullptr;
    runtime_start();
    os_set_environment("QXGFX", "OpenGL");
    const int32_t result = screen_res(320, 200, 32, 1, 0, 0);
    os_set_environment("QXGFX", nullptr);
    ASSERT_EQ(result, 0);
    // The preferred driver refuses it, so the list's first driver that starts takes it.
    EXPECT_EQ(gfx_screen->driver, &directdraw_driver);
    EXPECT_EQ(record.libraries_loaded, 0);
    close_screen();
    EXPECT_EQ(gl_init("opengl_tests", 320, 200, 32, 0, 0), -1);
    EXPECT_EQ(record.libraries_loaded, 0);
    gfx_screen = &context;
}

// --- The real driver on Wine's OpenGL ---

class OpenglScreen : public testing::Test {
  protected:
    void SetUp() override {
        runtime_start();
        gl_pixel_format = gl_pixel_format_settings{};
        os_set_environment("QXGFX", "OpenGL");
        const int32_t result = screen_res(640, 480, 32, 1, opengl, 0);
        os_set_environment("QXGFX", nullptr);
        ASSERT_EQ(result, 0);
        ASSERT_EQ(gfx_screen->driver, &opengl_driver);
        window = window_state.hwnd;
        gl_poll_events();
    }
    void TearDown() override {
        close_screen();
        gl_pixel_format = gl_pixel_format_settings{};
    }
    // Polls like a frame loop for up to two seconds, until the key reads as wanted.
    bool key_reads(int32_t scancode, uint8_t wanted) {
        for (int32_t waited = 0; waited < 2000; waited += 20) {
            gl_poll_events();
            if (gfx_screen->key_state[scancode] == wanted) return true;
            Sleep(20);
        }
        return false;
    }
    HWND window = nullptr;
};

std::vector<std::string> words(const char* text) {
    std::istringstream stream(text ? text : "");
    std::vector<std::string> all;
    for (std::string word; stream >> word;)
        all.push_back(word);
    return all;
}

TEST_F(OpenglScreen, WindowHasCurrentContextAndTheImplementationsExtensions) {
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_NE(wglGetCurrentContext(), nullptr);
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 640);
    EXPECT_EQ(client.bottom, 480);
    EXPECT_NE(gl_get_proc_address("glActiveTextureARB"), nullptr);
    // The first and last names of the GL and WGL strings, as the test reads them itself.
    const auto wgl_extensions = reinterpret_cast<const char*(WINAPI*)(HDC)>(
        reinterpret_cast<void*>(wglGetProcAddress("wglGetExtensionsStringARB")));
    ASSERT_NE(wgl_extensions, nullptr);
    const std::vector<std::string> gl_names =
        words(reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS)));
    const std::vector<std::string> wgl_names = words(wgl_extensions(wglGetCurrentDC()));
    ASSERT_FALSE(gl_names.empty());
    ASSERT_FALSE(wgl_names.empty());
    const std::string names[] = {gl_names.front(), gl_names.back(), wgl_names.front(),
                                 wgl_names.back()};
    for (const std::string& name : names)
        EXPECT_EQ(has_extension(name.c_str()), 1) << name;
    EXPECT_EQ(has_extension("GL_EXT_bgr"), 0);
    // Forgotten with the screen.
    close_screen();
    for (const std::string& name : names)
        EXPECT_EQ(has_extension(name.c_str()), 0) << name;
}

TEST_F(OpenglScreen, KeyHeldOnTheDisplayShowsInKeyStateAfterPolling) {
    if (!host_tool_available("xdotool")) GTEST_SKIP() << "xdotool missing";
    SetForegroundWindow(window);
    POINT inside{20, 20};
    ClientToScreen(window, &inside);
    SetCursorPos(inside.x, inside.y);
    run_host_command("xdotool keydown space");
    EXPECT_TRUE(key_reads(57, 1));
    run_host_command("xdotool keyup space");
    EXPECT_TRUE(key_reads(57, 0));
}

// Wine on a virtual display keeps its mode, so the switch may come back to the window; either
// way the context and what was made in it survive, and the window still shows what is drawn.
TEST_F(OpenglScreen, AltEnterKeepsContextAndTextures) {
    const uint32_t image[8] = {image_new_header, 4, 3, 5, 12, 0, 0, 0};
    const uint32_t texture = gl_create_texture(image, 0xFF00FF00);
    ASSERT_NE(texture, 0u);
    GLint width = 0;
    GLint height = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    EXPECT_EQ(width, 4); // 3 and 5 rounded up to powers of two
    EXPECT_EQ(height, 8);
    const HGLRC context = wglGetCurrentContext();

    SendMessageA(window, WM_SYSKEYDOWN, VK_RETURN, (28 << 16) | (1 << 29) | 1);
    gl_poll_events();
    EXPECT_EQ(window_state.hwnd, window);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(wglGetCurrentContext(), context);
    EXPECT_EQ(glIsTexture(texture), GL_TRUE);
    const auto style = static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE));
    if (window_state.flags & fullscreen)
        EXPECT_NE(style & WS_POPUP, 0u);
    else
        EXPECT_NE(style & WS_CAPTION, 0u);

    if (!host_tool_available("xwd") || !host_tool_available("convert"))
        GTEST_SKIP() << "xwd or ImageMagick missing";
    gl_setup_2d();
    glClearColor(0.0f, 0.5f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    gl_flip();
    gl_poll_events();
    settle(200);
    screenshot shot = take_screenshot();
    ASSERT_TRUE(shot.valid());
    EXPECT_TRUE(near_colour(client_pixel(shot, 320, 240), 0x0080FF))
        << std::hex << client_pixel(shot, 320, 240);
    gl_delete_texture(texture);
    EXPECT_EQ(glIsTexture(texture), GL_FALSE);
}

// Where the display takes the mode, the window becomes a popup covering it, and the way back
// restores the display; where it refuses the mode, the switch comes back to the window. The
// context and its textures stay throughout.
TEST_F(OpenglScreen, AltEnterToAnAcceptedModeAndBackAndToARefusedOne) {
    const uint32_t image[8] = {image_new_header, 4, 16, 16, 64, 0, 0, 0};
    const uint32_t texture = gl_create_texture(image, 0xFFFF0000);
    const HGLRC context = wglGetCurrentContext();
    const auto alt_enter = [this] {
        SendMessageA(window, WM_SYSKEYDOWN, VK_RETURN, (28 << 16) | (1 << 29) | 1);
        gl_poll_events();
    };
    const auto expect_window = [this, context, texture] {
        EXPECT_EQ(window_state.flags & fullscreen, 0u);
        EXPECT_TRUE(IsWindowVisible(window));
        const auto style = static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE));
        EXPECT_NE(style & WS_CAPTION, 0u);
        EXPECT_EQ(style & (WS_POPUP | WS_THICKFRAME), 0u);
        RECT client{};
        GetClientRect(window, &client);
        EXPECT_EQ(client.right, 640);
        EXPECT_EQ(client.bottom, 480);
        EXPECT_EQ(wglGetCurrentContext(), context);
        EXPECT_EQ(glIsTexture(texture), GL_TRUE);
    };
    display_changes.clear();
    gl_system.change_display_settings = accept_display_change;
    alt_enter();
    EXPECT_NE(window_state.flags & fullscreen, 0u);
    const auto style = static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE));
    EXPECT_NE(style & WS_POPUP, 0u);
    EXPECT_EQ(style & WS_CAPTION, 0u);
    RECT rect{};
    GetWindowRect(window, &rect);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right, 640);
    EXPECT_EQ(rect.bottom, 480);
    EXPECT_TRUE(IsWindowVisible(window));
    alt_enter();
    EXPECT_EQ(display_changes, (std::vector<std::string>{"640x480x32 4", "restore 0"}));
    expect_window();

    display_changes.clear();
    gl_system.change_display_settings = refuse_display_change;
    alt_enter();
    gl_system.change_display_settings = gl_platform_calls.change_display_settings;
    EXPECT_EQ(display_changes, (std::vector<std::string>{"640x480x32 4", "restore 0"}));
    expect_window();
    gl_delete_texture(texture);
}

// On another driver's screen, key_state and the window belong to its window thread.
TEST(OpenglDriver, PollEventsLeavesAnotherDriversScreenAlone) {
    ASSERT_EQ(open_test_screen(320, 200, 32), 0);
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_SPACE] = 0x80; // held, as this thread's keyboard state tells it
    SetKeyboardState(keys);
    lock();
    window_state.active = 1;
    gfx_screen->key_state[57] = 0;
    opengl_driver.poll_events();
    EXPECT_EQ(gfx_screen->key_state[57], 0);
    unlock();
    keys[VK_SPACE] = 0;
    SetKeyboardState(keys);
    close_test_screen();
}

TEST(OpenglDriver, FetchModesListsOnlyTheExactDepth) {
    std::multiset<int32_t> exact24;
    std::multiset<int32_t> exact32;
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    for (DWORD i = 0; EnumDisplaySettingsA(nullptr, i, &mode); ++i) {
        const auto size = static_cast<int32_t>(mode.dmPelsWidth * 65536 + mode.dmPelsHeight);
        if (mode.dmBitsPerPel == 24) exact24.insert(size);
        if (mode.dmBitsPerPel == 32) exact32.insert(size);
    }
    ASSERT_FALSE(exact32.empty());
    int32_t count = -1;
    int32_t* modes = gl_fetch_modes(24, &count);
    EXPECT_EQ(count, static_cast<int32_t>(exact24.size()));
    EXPECT_EQ(std::multiset<int32_t>(modes, modes + count), exact24);
    std::free(modes);
    modes = gl_fetch_modes(32, &count);
    EXPECT_EQ(std::multiset<int32_t>(modes, modes + count), exact32);
    std::free(modes);
    // The GDI driver pairs 24 with 32 bits; this one does not.
    int32_t paired = 0;
    std::free(gdi_fetch_modes(24, &paired));
    EXPECT_EQ(paired, static_cast<int32_t>(exact24.size() + exact32.size()));
}

} // namespace
