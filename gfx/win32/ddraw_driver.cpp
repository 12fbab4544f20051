// DirectDraw driver: opening and closing the presentation, the window thread's passes, lost
// surfaces and the vertical-blank wait. The fullscreen mode search and the mode list are in
// ddraw_modes.cpp, the DirectInput keyboard in ddraw_keyboard.cpp.
#include "gfx/win32/ddraw_driver.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "gfx/internal/gfx_context.h"
#include "gfx/screen.h"

ddraw_driver_state ddraw_state;
const ddraw_system_calls ddraw_platform_calls = {LoadLibraryA, FreeLibrary};
ddraw_system_calls ddraw_system = ddraw_platform_calls;
std::atomic<display_mode_answer> display_mode_seam;
std::atomic<ddraw_answer> ddraw_seam;

namespace {

using direct_draw_create_entry = HRESULT(WINAPI*)(GUID*, IDirectDraw**, IUnknown*);
using direct_input_create_entry = HRESULT(WINAPI*)(HINSTANCE, DWORD, IDirectInputA**, IUnknown*);

std::atomic<uint32_t> presents;

template <typename T> T library_entry(HMODULE library, const char* name) {
    if (!library) return nullptr;
    return reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

template <typename T> void release(T*& object) {
    if (object) object->Release();
    object = nullptr;
}

bool fullscreen_mode() {
    return (window_state.flags & fullscreen) != 0;
}

HRESULT surface_is_lost(IDirectDrawSurface* surface) {
    HRESULT answer = ddraw_seam_answer(ddraw_call::is_lost, surface);
    return answer != DD_OK ? answer : surface->IsLost();
}

HRESULT surface_restore(IDirectDrawSurface* surface) {
    HRESULT answer = ddraw_seam_answer(ddraw_call::restore, surface);
    return answer != DD_OK ? answer : surface->Restore();
}

HRESULT surface_lock(IDirectDrawSurface* surface, RECT* area, DDSURFACEDESC* description) {
    HRESULT answer = ddraw_seam_answer(ddraw_call::lock, surface);
    return answer != DD_OK ? answer : surface->Lock(area, description, DDLOCK_WAIT, nullptr);
}

HRESULT surface_blt(IDirectDrawSurface* surface, RECT* destination, IDirectDrawSurface* source,
                    RECT* source_rect) {
    HRESULT answer = ddraw_seam_answer(ddraw_call::blt, surface);
    return answer != DD_OK ? answer
                           : surface->Blt(destination, source, source_rect, DDBLT_WAIT, nullptr);
}

DWORD windowed_style() {
    if (window_state.flags & no_frame) return WS_POPUP | WS_VISIBLE;
    DWORD style = WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    if (!(window_state.flags & no_switch)) style |= WS_MAXIMIZEBOX;
    return style;
}

int32_t open_windowed() {
    const DWORD style = windowed_style();
    RECT outer{0, 0, window_state.width, window_state.height};
    AdjustWindowRect(&outer, style, FALSE);
    if (create_driver_window(style, 0, ddraw_state.window_x, ddraw_state.window_y,
                             outer.right - outer.left, outer.bottom - outer.top) != 0)
        return -1;
    IDirectDraw2* dd = ddraw_state.direct_draw;
    if (dd->SetCooperativeLevel(window_state.hwnd, DDSCL_NORMAL) != DD_OK) return -1;
    if (dd->CreateClipper(0, &ddraw_state.clipper, nullptr) != DD_OK) return -1;
    if (ddraw_state.clipper->SetHWnd(0, window_state.hwnd) != DD_OK) return -1;
    ddraw_state.y_offset = 0;
    return 0;
}

int32_t open_fullscreen() {
    if (create_driver_window(WS_POPUP | WS_VISIBLE, 0, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                             GetSystemMetrics(SM_CYSCREEN)) != 0)
        return -1;
    if (ddraw_state.direct_draw->SetCooperativeLevel(
            window_state.hwnd, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN | DDSCL_ALLOWREBOOT) != DD_OK)
        return -1;
    const int32_t y_offset = set_fullscreen_mode(window_state.width, window_state.height,
                                                 window_state.depth, window_state.refresh_rate);
    if (y_offset < 0) return -1;
    ddraw_state.y_offset = y_offset;
    return 0;
}

int32_t create_surfaces() {
    IDirectDraw2* dd = ddraw_state.direct_draw;
    DDSURFACEDESC primary{};
    primary.dwSize = sizeof primary;
    primary.dwFlags = DDSD_CAPS;
    primary.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    if (dd->CreateSurface(&primary, &ddraw_state.primary_surface, nullptr) != DD_OK) return -1;
    if (fullscreen_mode()) {
        ddraw_state.target_surface = ddraw_state.primary_surface;
        return 0;
    }
    if (ddraw_state.primary_surface->SetClipper(ddraw_state.clipper) != DD_OK) return -1;
    DDSURFACEDESC target{};
    target.dwSize = sizeof target;
    target.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    target.dwWidth = static_cast<DWORD>(window_state.width);
    target.dwHeight = static_cast<DWORD>(window_state.height);
    target.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY;
    return dd->CreateSurface(&target, &ddraw_state.target_surface, nullptr) == DD_OK ? 0 : -1;
}

// The display format decides the conversion; 8-bit displays also get the palette.
int32_t choose_conversion() {
    DDPIXELFORMAT format{};
    format.dwSize = sizeof format;
    if (ddraw_state.primary_surface->GetPixelFormat(&format) != DD_OK) return -1;
    if (ddraw_seam_answer(ddraw_call::pixel_format, &format) != DD_OK) return -1;
    if (!(format.dwFlags & DDPF_RGB)) return -1;
    const display_format display = display_format_of(format);
    if (display.depth == 8) {
        if (ddraw_state.direct_draw->CreatePalette(DDPCAPS_8BIT | DDPCAPS_ALLOW256,
                                                   window_state.palette, &ddraw_state.ddraw_palette,
                                                   nullptr) != DD_OK)
            return -1;
        if (ddraw_state.primary_surface->SetPalette(ddraw_state.ddraw_palette) != DD_OK) return -1;
        window_state.palette_changed = 0;
    }
    window_state.blitter = select_blitter(display.depth, display.rgb_order);
    return window_state.blitter ? 0 : -1;
}

// The surface memory must hold every row that the conversion writes; a display that took a
// different mode from the one it accepted could be smaller.
bool surface_holds_framebuffer(const DDSURFACEDESC& description) {
    return static_cast<int32_t>(description.dwWidth) >= window_state.width &&
           static_cast<int32_t>(description.dwHeight) >= ddraw_state.y_offset + window_state.height;
}

// Display rows first to last; none when last < first.
struct row_span {
    int32_t first;
    int32_t last;
    bool empty() const { return last < first; }
};

int32_t scanline_size() {
    return gfx_screen && gfx_screen->scanline_size > 1 ? gfx_screen->scanline_size : 1;
}

// The display rows from the first dirty framebuffer line to the last; under window_lock.
row_span dirty_rows() {
    int32_t first = 0;
    int32_t last = 0;
    if (!dirty_span(&first, &last)) return {0, -1};
    const int32_t scale = scanline_size();
    return {first * scale, (last + 1) * scale - 1};
}

void mark_every_line_dirty() {
    lock();
    if (gfx_screen && gfx_screen->dirty)
        std::memset(gfx_screen->dirty, 1, static_cast<size_t>(gfx_screen->height));
    unlock();
}

// Dirty flags put aside while the rows outside a locked span are converted; one per line.
uint8_t* held_flags;

// Converts the dirty lines of the span and clears their flags; line_0 is the surface row of
// framebuffer line 0. Lines outside the span may have become dirty since it was measured: the
// surface is not locked there, so their flags are kept for the next pass. Under window_lock.
void convert_rows(uint8_t* line_0, int32_t pitch, row_span rows) {
    if (!gfx_screen || !gfx_screen->dirty || !held_flags) return;
    const int32_t scale = scanline_size();
    const auto lines = static_cast<size_t>(gfx_screen->height);
    const auto first = static_cast<size_t>(rows.first / scale);
    const auto count = static_cast<size_t>((rows.last - rows.first + 1) / scale);
    uint8_t* dirty = gfx_screen->dirty;
    std::memcpy(held_flags, dirty, lines);
    std::memset(dirty, 0, first);
    std::memset(dirty + first + count, 0, lines - first - count);
    window_state.blitter(line_0, pitch);
    std::memcpy(dirty, held_flags, lines);
    std::memset(dirty + first, 0, count);
}

// Runs a surface call, restoring lost surfaces first (unless restored says that was just done)
// and once more when the call itself finds them lost; DDERR_SURFACELOST when they cannot be had
// now. Nothing here waits for the display to come back: a later pass tries again.
template <typename Call> HRESULT on_restored_surfaces(bool restored, Call call) {
    HRESULT result = DDERR_SURFACELOST;
    for (int32_t attempt = 0; attempt < 2 && result == DDERR_SURFACELOST; ++attempt) {
        if ((attempt > 0 || !restored) && restore_lost_surfaces() == surface_state::lost)
            return DDERR_SURFACELOST;
        if (!ddraw_state.primary_surface || !ddraw_state.target_surface) return DDERR_SURFACELOST;
        result = call();
    }
    return result;
}

// Locking the target waits until the display has taken the previous blit, which may be long: a
// read-only lock outside window_lock serves that wait, so that the program's thread is not held
// off meanwhile.
void wait_for_display(RECT* area) {
    IDirectDrawSurface* target = ddraw_state.target_surface;
    if (!target) return;
    DDSURFACEDESC description{};
    description.dwSize = sizeof description;
    if (target->Lock(area, &description, DDLOCK_WAIT | DDLOCK_READONLY, nullptr) == DD_OK)
        target->Unlock(description.lpSurface);
}

// Converts the dirty lines of the span into the target surface, locking only their rows (the
// whole surface, converting nothing, when the span is empty); true when the surface took them.
// Wine's DirectDraw uploads and shows only what was locked and blitted, so a band of the
// picture costs a band's time. window_lock is entered before the surface is locked, the order
// of the window procedure's paint and fullscreen switch. restored: the surfaces were just
// checked for a loss.
bool copy_rows(row_span rows, bool restored) {
    RECT area{0, ddraw_state.y_offset + rows.first, window_state.width,
              ddraw_state.y_offset + rows.last + 1};
    RECT* locked_area = rows.empty() ? nullptr : &area;
    wait_for_display(locked_area);
    DDSURFACEDESC description{};
    description.dwSize = sizeof description;
    lock();
    const HRESULT result = on_restored_surfaces(restored, [&] {
        return surface_lock(ddraw_state.target_surface, locked_area, &description);
    });
    bool fits = false;
    if (result == DD_OK) {
        auto* memory = static_cast<uint8_t*>(description.lpSurface);
        const int32_t pitch = static_cast<int32_t>(description.lPitch);
        fits = surface_holds_framebuffer(description) && window_state.blitter;
        // The memory starts at the span's first row; the surface goes on above it.
        if (fits && !rows.empty())
            convert_rows(memory - static_cast<ptrdiff_t>(pitch) * rows.first, pitch, rows);
        ddraw_state.target_surface->Unlock(memory);
    }
    unlock();
    return fits;
}

RECT client_on_screen() {
    RECT client{};
    GetClientRect(window_state.hwnd, &client);
    POINT origin{0, 0};
    ClientToScreen(window_state.hwnd, &origin);
    OffsetRect(&client, origin.x, origin.y);
    return client;
}

// Whether the span may go alone onto the client area: it shows the surface unscaled and where
// the last whole blit put it, and nothing since asked for a whole blit.
bool band_blit_possible(row_span rows, const RECT& client) {
    return !rows.empty() && !ddraw_state.whole_blit_pending &&
           EqualRect(&client, &ddraw_state.blitted_client) &&
           client.right - client.left == window_state.width &&
           client.bottom - client.top == window_state.height;
}

// Blits source of the target onto destination of the primary surface.
HRESULT blit_target(RECT destination, RECT source) {
    return on_restored_surfaces(false, [&] {
        return surface_blt(ddraw_state.primary_surface, &destination, ddraw_state.target_surface,
                           &source);
    });
}

// The span's rows of the target onto the same rows of the client area.
void blit_rows(row_span rows, const RECT& client) {
    blit_target(
        RECT{client.left, client.top + rows.first, client.right, client.top + rows.last + 1},
        RECT{0, rows.first, window_state.width, rows.last + 1});
}

// One pass's copy and blit. A pass with no dirty line, no whole blit due and the window where
// it was shows nothing new and makes no surface call but the check for a loss. vsync: the pass
// follows a vertical blank that the program waited for, and presents in any case.
void present(bool vsync) {
    lock();
    row_span rows = dirty_rows();
    unlock();
    const bool windowed = !fullscreen_mode() && window_state.hwnd;
    RECT client{};
    if (windowed) client = client_on_screen();
    const bool whole_due = windowed && (ddraw_state.whole_blit_pending ||
                                        !EqualRect(&client, &ddraw_state.blitted_client));
    bool restored = false;
    if (rows.empty() && !vsync && !whole_due) {
        if (restore_lost_surfaces() != surface_state::restored) return;
        // The restored surfaces show nothing yet: every line is dirty now.
        restored = true;
        lock();
        rows = dirty_rows();
        unlock();
    }
    const bool copied = copy_rows(rows, restored);
    if (windowed) {
        if (band_blit_possible(rows, client))
            blit_rows(rows, client);
        else
            ddraw_paint();
    }
    if (copied) presents.fetch_add(1, std::memory_order_relaxed);
}

// A failed re-creation is tried again this long after.
constexpr DWORD recreation_interval_ms = 300;

// Builds the presentation anew after another program changed the display mode: one try, inside
// window_lock so that the program's thread finds the window state whole. A failed try is
// repeated by a later pass; meanwhile the program's thread draws, and can end, as usual.
void recreate_presentation() {
    if (static_cast<int32_t>(GetTickCount() - ddraw_state.recreation_tick) < 0) return;
    lock();
    ddraw_close_window();
    const bool opened = ddraw_open_window() == 0;
    if (!opened) ddraw_close_window();
    unlock();
    if (!opened) {
        ddraw_state.recreation_tick = GetTickCount() + recreation_interval_ms;
        return;
    }
    if (window_state.flash_window_ex) {
        FLASHWINFO flash{};
        flash.cbSize = sizeof flash;
        flash.hwnd = window_state.hwnd;
        flash.dwFlags = FLASHW_STOP;
        window_state.flash_window_ex(&flash);
    }
}

} // namespace

HRESULT ddraw_seam_answer(ddraw_call call, void* subject) {
    const ddraw_answer answer = ddraw_seam.load();
    return answer ? answer(call, subject) : DD_OK;
}

display_format display_format_of(const DDPIXELFORMAT& format) {
    const int32_t bits = static_cast<int32_t>(format.dwRGBBitCount);
    display_format display{bits, 0};
    if (bits == 16 && format.dwGBitMask == 0x3E0) display.depth = 15;
    display.rgb_order =
        (bits > 23 && format.dwRBitMask == 0xFF) || (bits > 15 && format.dwRBitMask == 0x1F);
    return display;
}

uint32_t ddraw_present_count() {
    return presents.load(std::memory_order_relaxed);
}

IDirectDraw2* create_direct_draw(HMODULE ddraw_library, GUID* device) {
    auto create = library_entry<direct_draw_create_entry>(ddraw_library, "DirectDrawCreate");
    IDirectDraw* first = nullptr;
    if (!create || create(device, &first, nullptr) != DD_OK || !first) return nullptr;
    IDirectDraw2* second = nullptr;
    HRESULT queried = ddraw_seam_answer(ddraw_call::query_interface, first);
    if (queried == DD_OK)
        queried = first->QueryInterface(IID_IDirectDraw2, reinterpret_cast<void**>(&second));
    first->Release();
    return queried == DD_OK ? second : nullptr;
}

int32_t ddraw_open_window() {
    ddraw_state.ddraw_library = nullptr;
    ddraw_state.dinput_library = nullptr;
    ddraw_state.direct_draw = nullptr;
    ddraw_state.primary_surface = nullptr;
    ddraw_state.target_surface = nullptr;
    ddraw_state.clipper = nullptr;
    ddraw_state.ddraw_palette = nullptr;
    ddraw_state.direct_input = nullptr;
    ddraw_state.keyboard_device = nullptr;
    ddraw_state.y_offset = 0;
    ddraw_state.vsync_requested = 0;
    ddraw_state.vsync_event = nullptr;
    ddraw_state.whole_blit_pending = 1;
    ddraw_state.blitted_client = RECT{};
    window_state.blitter = nullptr;
    held_flags = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(window_state.height), 1));
    if (!held_flags) return -1;

    ddraw_state.ddraw_library = ddraw_system.load_library("ddraw.dll");
    ddraw_state.dinput_library = ddraw_system.load_library("dinput.dll");
    auto direct_input_create =
        library_entry<direct_input_create_entry>(ddraw_state.dinput_library, "DirectInputCreateA");
    if (!ddraw_state.ddraw_library || !direct_input_create) return -1;

    GUID device{};
    const bool chosen = fullscreen_mode() && device_of_monitor(ddraw_state.ddraw_library, &device);
    ddraw_state.direct_draw =
        create_direct_draw(ddraw_state.ddraw_library, chosen ? &device : nullptr);
    if (!ddraw_state.direct_draw) return -1;
    HRESULT created = ddraw_seam_answer(ddraw_call::create_direct_input, nullptr);
    if (created == DI_OK)
        created =
            direct_input_create(window_state.instance, 0x0300, &ddraw_state.direct_input, nullptr);
    if (created != DI_OK) {
        ddraw_state.direct_input = nullptr;
        return -1;
    }

    if ((fullscreen_mode() ? open_fullscreen() : open_windowed()) != 0) return -1;
    if (create_surfaces() != 0 || choose_conversion() != 0) return -1;

    DWORD frequency = 0;
    ddraw_state.direct_draw->GetMonitorFrequency(&frequency);
    if (gfx_screen) gfx_screen->refresh_rate = static_cast<int32_t>(frequency);
    ddraw_state.vsync_event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!ddraw_state.vsync_event || open_keyboard() != 0) return -1;
    ddraw_state.recreation_pending = 0;
    return 0;
}

void ddraw_close_window() {
    if (!fullscreen_mode() && window_state.hwnd) {
        RECT rect{};
        GetWindowRect(window_state.hwnd, &rect);
        ddraw_state.window_x = rect.left;
        ddraw_state.window_y = rect.top;
    }
    close_keyboard();
    release(ddraw_state.direct_input);
    if (ddraw_state.direct_draw) {
        if (fullscreen_mode() && ddraw_state.primary_surface &&
            ddraw_seam_answer(ddraw_call::fill, ddraw_state.primary_surface) == DD_OK) {
            DDBLTFX fill{};
            fill.dwSize = sizeof fill;
            fill.dwFillColor = 0;
            ddraw_state.primary_surface->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fill);
        }
        if (ddraw_state.target_surface == ddraw_state.primary_surface)
            ddraw_state.target_surface = nullptr;
        release(ddraw_state.target_surface);
        release(ddraw_state.primary_surface);
        // The surface held its own references to these.
        release(ddraw_state.clipper);
        release(ddraw_state.ddraw_palette);
        if (fullscreen_mode()) {
            if (ddraw_seam_answer(ddraw_call::restore_display, ddraw_state.direct_draw) == DD_OK)
                ddraw_state.direct_draw->RestoreDisplayMode();
            ddraw_state.direct_draw->SetCooperativeLevel(window_state.hwnd, DDSCL_NORMAL);
        }
        release(ddraw_state.direct_draw);
    }
    window_state.blitter = nullptr;
    if (window_state.hwnd) {
        DestroyWindow(window_state.hwnd);
        window_state.hwnd = nullptr;
    }
    if (ddraw_state.ddraw_library) ddraw_system.free_library(ddraw_state.ddraw_library);
    if (ddraw_state.dinput_library) ddraw_system.free_library(ddraw_state.dinput_library);
    ddraw_state.ddraw_library = nullptr;
    ddraw_state.dinput_library = nullptr;
    if (ddraw_state.vsync_event) CloseHandle(ddraw_state.vsync_event);
    ddraw_state.vsync_event = nullptr;
    std::free(held_flags);
    held_flags = nullptr;
}

surface_state restore_lost_surfaces() {
    // A presentation that waits to be built anew has nothing to restore.
    if (ddraw_state.recreation_pending || !ddraw_state.primary_surface) return surface_state::lost;
    surface_state state = surface_state::intact;
    while (running_now() && surface_is_lost(ddraw_state.primary_surface) == DDERR_SURFACELOST) {
        state = surface_state::restored;
        if (ddraw_state.target_surface != ddraw_state.primary_surface)
            surface_restore(ddraw_state.target_surface);
        const HRESULT result = surface_restore(ddraw_state.primary_surface);
        if (result == DD_OK) continue; // checked again: it may be lost once more
        // Another program changed the display mode: the next pass builds everything anew for
        // it. Any other refusal (another program holds the display) waits for a later pass.
        if (result == DDERR_WRONGMODE) {
            ddraw_state.recreation_pending = 1;
            ddraw_state.recreation_tick = GetTickCount();
        }
        return surface_state::lost;
    }
    if (state == surface_state::restored) {
        mark_every_line_dirty();
        ddraw_state.whole_blit_pending = 1;
    }
    return state;
}

void ddraw_paint() {
    if (fullscreen_mode() || !window_state.hwnd) return;
    const RECT destination = client_on_screen();
    if (blit_target(destination, RECT{0, 0, window_state.width, window_state.height}) != DD_OK)
        return;
    ddraw_state.whole_blit_pending = 0;
    ddraw_state.blitted_client = destination;
}

void ddraw_window_thread(HANDLE start_event) {
    if (ddraw_open_window() != 0) {
        ddraw_close_window();
        return;
    }
    SetEvent(start_event);
    window_state.active = 1;
    LARGE_INTEGER ticks_per_second, pass_start;
    QueryPerformanceFrequency(&ticks_per_second);
    QueryPerformanceCounter(&pass_start);
    while (running_now()) {
        // Passes start 10 ms apart, at most about 100 a second; one that took longer (Wine's
        // presents take several ms of a loaded machine) is followed by a short sleep only.
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        const int64_t spent_ms =
            (now.QuadPart - pass_start.QuadPart) * 1000 / ticks_per_second.QuadPart;
        Sleep(spent_ms < 9 ? static_cast<DWORD>(10 - spent_ms) : 1);
        QueryPerformanceCounter(&pass_start);
        lock();
        const bool vsync = ddraw_state.vsync_requested != 0;
        if (vsync) {
            WaitForSingleObject(ddraw_state.vsync_event, 20);
            ddraw_state.vsync_requested = 0;
        }
        // An inactive fullscreen window has lost the display to another program.
        const bool presenting = window_state.active || !fullscreen_mode();
        if (presenting && window_state.palette_changed && ddraw_state.ddraw_palette) {
            ddraw_state.ddraw_palette->SetEntries(0, 0, 256, window_state.palette);
            window_state.palette_changed = 0;
            ddraw_state.whole_blit_pending = 1;
        }
        unlock();
        // The window thread alone changes the surfaces; it takes window_lock where the
        // framebuffer, key_state or the window state are touched.
        if (presenting) {
            if (ddraw_state.recreation_pending) recreate_presentation();
            present(vsync);
            if (window_state.active) refresh_key_state_from_device();
        }
        lock();
        pump_messages();
        unlock();
    }
}

void ddraw_wait_vsync() {
    if (!window_input.window_thread_handle) return;
    // The window thread may close the presentation meanwhile (a fullscreen switch, a display
    // mode change), and free ddraw.dll with it: the wait holds references of its own to the
    // library, the DirectDraw object and the event.
    HMODULE library = ddraw_system.load_library("ddraw.dll");
    if (!library) return;
    lock();
    IDirectDraw2* dd = ddraw_state.direct_draw;
    HANDLE event = nullptr;
    if (ddraw_state.vsync_event)
        DuplicateHandle(GetCurrentProcess(), ddraw_state.vsync_event, GetCurrentProcess(), &event,
                        0, FALSE, DUPLICATE_SAME_ACCESS);
    if (dd && event) {
        dd->AddRef();
        ResetEvent(event);
        ddraw_state.vsync_requested = 1;
    }
    unlock();
    if (dd && event) {
        if (ddraw_seam_answer(ddraw_call::wait_vertical_blank, dd) == DD_OK)
            dd->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr);
        SetEvent(event);
        dd->Release();
    }
    if (event) CloseHandle(event);
    ddraw_system.free_library(library);
}

int32_t ddraw_init(const char* title, int32_t width, int32_t height, int32_t depth,
                   int32_t refresh_rate, uint32_t flags) {
    window_state_clear();
    if (flags & (opengl | shaped_window)) return -1;
    window_state.open_window = ddraw_open_window;
    window_state.close_window = ddraw_close_window;
    window_state.paint_window = ddraw_paint;
    window_state.window_thread = ddraw_window_thread;
    ddraw_state.window_x = (GetSystemMetrics(SM_CXSCREEN) - width) >> 1;
    ddraw_state.window_y = (GetSystemMetrics(SM_CYSCREEN) - height) >> 1;
    ddraw_state.recreation_pending = 0;
    return window_start(title, width, height, depth < 8 ? 8 : depth, refresh_rate, flags);
}

// The DirectDraw driver record, slots in interface order.
const display_driver directdraw_driver = {
    "DirectX",
    ddraw_init,        // init
    window_exit,       // exit
    lock,              // lock
    unlock,            // unlock
    set_palette,       // set_palette
    ddraw_wait_vsync,  // wait_vsync
    get_mouse,         // get_mouse
    set_mouse,         // set_mouse
    set_window_title,  // set_window_title
    set_window_pos,    // set_window_pos
    ddraw_fetch_modes, // fetch_modes
    nullptr,           // flip
    nullptr,           // poll_events
};
