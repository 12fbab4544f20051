// GDI driver: the visible framebuffer page, or a converted copy of it, drawn into the window as
// a device-independent bitmap with SetDIBitsToDevice.
#include "gfx/win32/gdi_driver.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "gfx/internal/gfx_context.h"
#include "gfx/screen.h"

namespace {

// BITMAPINFO with room for a full 256-entry colour table.
struct bitmap_info_256 {
    BITMAPINFOHEADER header;
    RGBQUAD colors[256];
};

bitmap_info_256* bitmap_info;
HPALETTE gdi_palette;
uint8_t* dib_buffer;
std::atomic<uint32_t> presents;

constexpr COLORREF colour_key_palette = 0x00000000; // black
constexpr COLORREF colour_key_true = 0x00FF00FF;    // magenta

// Framebuffer lines shown per line on the display; only modes of old adapters use 2.
int32_t scanline_size() {
    return (gfx_screen && gfx_screen->scanline_size > 1) ? gfx_screen->scanline_size : 1;
}

int32_t framebuffer_pitch() {
    return gfx_screen ? gfx_screen->pitch : 0;
}

uint8_t* framebuffer() {
    return gfx_screen ? gfx_screen->visible_buffer : nullptr;
}

const BITMAPINFO* dib_header() {
    return reinterpret_cast<const BITMAPINFO*>(bitmap_info);
}

// The bits that SetDIBitsToDevice reads: the converted copy when there is a conversion.
const uint8_t* dib_bits() {
    return window_state.blitter ? dib_buffer : framebuffer();
}

DWORD window_style() {
    if (window_state.flags & fullscreen) return WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    if (window_state.flags & no_frame) return WS_POPUP;
    DWORD style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    if (window_state.flags & no_switch) style &= ~WS_MAXIMIZEBOX;
    return style;
}

// Chooses the conversion and allocates the converted rows; -1 when the format has none or
// memory is short.
int32_t choose_conversion() {
    const int32_t width = window_state.width;
    const int32_t depth = window_state.depth;
    // The bitmap has height display rows; without a conversion those must be framebuffer
    // lines one for one, which doubled scan lines are not.
    const bool whole_rows = width % 4 == 0 && scanline_size() == 1;
    if (depth == 8 && whole_rows) return 0;
    // A 16-bit BI_RGB bitmap is 5:5:5; a 24-bit one cannot show 32-bit pixels as they are.
    const bool needs_conversion = depth == 16 || depth == 24 || !whole_rows;
    if (depth == 16)
        window_state.blitter = select_blitter(15, 0);
    else if (needs_conversion)
        window_state.blitter = select_blitter(depth, 0);
    if (needs_conversion && !window_state.blitter) return -1;
    if ((window_state.flags & shaped_window) && depth == 32) window_state.blitter = colour_key_copy;
    const size_t bytes_per_pixel = static_cast<size_t>((depth + 7) / 8);
    const size_t row_pixels = static_cast<size_t>((width + 3) & ~3);
    dib_buffer = static_cast<uint8_t*>(
        std::calloc(row_pixels * static_cast<size_t>(window_state.height), bytes_per_pixel));
    if (dib_buffer) return 0;
    window_state.blitter = nullptr; // no conversion without rows to convert into
    return -1;
}

// Whether there is a presentation to draw into: a window, its bitmap header and, with a
// conversion, the converted rows. A fullscreen switch that could make neither presentation
// leaves none.
bool presenting() {
    return window_state.hwnd && bitmap_info && (!window_state.blitter || dib_buffer);
}

void apply_palette(HDC dc) {
    if (!bitmap_info) return;
    for (int32_t i = 0; i < 256; ++i) {
        bitmap_info->colors[i].rgbRed = window_state.palette[i].peRed;
        bitmap_info->colors[i].rgbGreen = window_state.palette[i].peGreen;
        bitmap_info->colors[i].rgbBlue = window_state.palette[i].peBlue;
        bitmap_info->colors[i].rgbReserved = 0;
    }
    if (gdi_palette) {
        SetPaletteEntries(gdi_palette, 0, 256, window_state.palette);
        SelectPalette(dc, gdi_palette, FALSE);
        RealizePalette(dc);
    }
}

void draw_dirty_rows(HDC dc) {
    int32_t first = 0;
    int32_t last = 0;
    if (!dirty_span(&first, &last) || !framebuffer()) return;
    const int32_t scale = scanline_size();
    const int32_t top = first * scale;
    const int32_t count = (last - first + 1) * scale;
    const uint8_t* bits;
    if (window_state.blitter) {
        const int32_t row = gdi_row_length();
        window_state.blitter(dib_buffer, row);
        bits = dib_buffer + static_cast<ptrdiff_t>(row) * top;
    } else {
        bits = framebuffer() + static_cast<ptrdiff_t>(framebuffer_pitch()) * top;
    }
    SetDIBitsToDevice(dc, 0, top, static_cast<DWORD>(window_state.width), static_cast<DWORD>(count),
                      0, 0, 0, static_cast<UINT>(count), bits, dib_header(), DIB_RGB_COLORS);
    presents.fetch_add(1, std::memory_order_relaxed);
    if (window_state.os_version <= 0x4FF) {
        RECT rows{0, top, window_state.width, top + count};
        InvalidateRect(window_state.hwnd, &rows, FALSE);
    }
}

} // namespace

uint32_t gdi_present_count() {
    return presents.load(std::memory_order_relaxed);
}

int32_t gdi_row_length() {
    // The framebuffer pitch whenever the bitmap has the framebuffer's pixel size.
    return (window_state.width * ((window_state.depth + 7) / 8) + 3) & ~3;
}

int32_t gdi_open_window() {
    dib_buffer = nullptr;
    bitmap_info = nullptr;
    gdi_palette = nullptr;
    window_state.blitter = nullptr;

    const DWORD style = window_style();
    DWORD ex_style = 0;
    int32_t x = 0;
    int32_t y = 0;
    int32_t outer_width = window_state.width;
    int32_t outer_height = window_state.height;
    if (window_state.flags & fullscreen) {
        DEVMODEA mode = window_display_mode();
        if (ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN) != DISP_CHANGE_SUCCESSFUL) return -1;
    } else {
        if (window_state.flags & shaped_window) {
            if (window_state.os_version <= 0x4FF) return -1;
            ex_style = WS_EX_LAYERED;
        }
        RECT outer{0, 0, window_state.width, window_state.height};
        AdjustWindowRect(&outer, style, FALSE);
        outer_width = outer.right - outer.left;
        outer_height = outer.bottom - outer.top;
        x = (GetSystemMetrics(SM_CXSCREEN) - outer_width) >> 1;
        y = (GetSystemMetrics(SM_CYSCREEN) - outer_height) >> 1;
    }
    if (create_driver_window(style | WS_VISIBLE, ex_style, x, y, outer_width, outer_height) != 0)
        return -1;
    if (window_state.flags & shaped_window) {
        if (!window_state.set_layered_window_attributes) return -1;
        window_state.set_layered_window_attributes(
            window_state.hwnd, window_state.depth <= 8 ? colour_key_palette : colour_key_true, 0,
            LWA_COLORKEY);
    }

    bitmap_info = static_cast<bitmap_info_256*>(std::calloc(1, sizeof(bitmap_info_256)));
    if (!bitmap_info) return -1;
    BITMAPINFOHEADER& header = bitmap_info->header;
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = window_state.width;
    header.biHeight = -window_state.height; // rows top-down, like the framebuffer
    header.biPlanes = 1;
    header.biBitCount = static_cast<WORD>(window_state.depth);
    header.biCompression = BI_RGB;
    header.biClrUsed = 256;

    if (choose_conversion() != 0) return -1;

    HDC dc = GetDC(window_state.hwnd);
    if (gfx_screen) gfx_screen->refresh_rate = GetDeviceCaps(dc, VREFRESH);

    // The logical palette is best effort: without it the colour table alone gives the colours.
    auto* logical =
        static_cast<LOGPALETTE*>(std::malloc(sizeof(LOGPALETTE) + 255 * sizeof(PALETTEENTRY)));
    if (logical) {
        logical->palVersion = 0x300;
        logical->palNumEntries = 256;
        std::memcpy(logical->palPalEntry, window_state.palette, sizeof window_state.palette);
        gdi_palette = CreatePalette(logical);
        std::free(logical);
    }
    ReleaseDC(window_state.hwnd, dc);
    // The colour table starts empty: have the first pass fill it.
    window_state.palette_changed = 1;
    return 0;
}

void gdi_close_window() {
    std::free(dib_buffer);
    dib_buffer = nullptr;
    std::free(bitmap_info);
    bitmap_info = nullptr;
    window_state.blitter = nullptr;
    if (window_state.hwnd) {
        if (window_state.flags & fullscreen) ChangeDisplaySettingsA(nullptr, 0);
        DestroyWindow(window_state.hwnd);
        window_state.hwnd = nullptr;
    }
    if (gdi_palette) {
        DeleteObject(gdi_palette);
        gdi_palette = nullptr;
    }
}

void gdi_paint() {
    const uint8_t* bits = dib_bits();
    if (!presenting() || !bits) return;
    HDC dc = GetDC(window_state.hwnd);
    if (gdi_palette) {
        SelectPalette(dc, gdi_palette, FALSE);
        RealizePalette(dc);
    }
    SetDIBitsToDevice(dc, 0, 0, static_cast<DWORD>(window_state.width),
                      static_cast<DWORD>(window_state.height), 0, 0, 0,
                      static_cast<UINT>(window_state.height), bits, dib_header(), DIB_RGB_COLORS);
    InvalidateRect(window_state.hwnd, nullptr, FALSE);
    ReleaseDC(window_state.hwnd, dc);
}

void gdi_window_thread(HANDLE start_event) {
    if (gdi_open_window() != 0) {
        gdi_close_window();
        return;
    }
    SetEvent(start_event);
    window_state.active = 1;
    while (running_now()) {
        lock();
        // Without a window, GetDC would give the whole screen's device context.
        if (presenting()) {
            HDC dc = GetDC(window_state.hwnd);
            if (window_state.palette_changed) {
                apply_palette(dc);
                window_state.palette_changed = 0;
            }
            draw_dirty_rows(dc);
            ReleaseDC(window_state.hwnd, dc);
        }
        if (gfx_screen && gfx_screen->dirty)
            std::memset(gfx_screen->dirty, 0, static_cast<size_t>(window_state.height));
        if (window_state.active) refresh_key_state();
        pump_messages();
        unlock();
        Sleep(10);
    }
}

void colour_key_copy(uint8_t* destination, int32_t destination_pitch) {
    if (!gfx_screen || !gfx_screen->visible_buffer || !gfx_screen->dirty) return;
    const int32_t scale = scanline_size();
    const uint8_t* source = gfx_screen->visible_buffer;
    uint8_t* row = destination;
    for (int32_t line = 0; line < gfx_screen->height; ++line) {
        const auto* pixels = reinterpret_cast<const uint32_t*>(source);
        for (int32_t repeat = 0; repeat < scale; ++repeat) {
            if (gfx_screen->dirty[line]) {
                auto* out = reinterpret_cast<uint32_t*>(row);
                for (int32_t x = 0; x < gfx_screen->width; ++x)
                    out[x] = pixels[x] & 0x00FFFFFF;
            }
            row += destination_pitch;
        }
        source += gfx_screen->pitch;
    }
}

int32_t gdi_init(const char* title, int32_t width, int32_t height, int32_t depth,
                 int32_t refresh_rate, uint32_t flags) {
    window_state_clear();
    if (flags & opengl) return -1;
    window_state.open_window = gdi_open_window;
    window_state.close_window = gdi_close_window;
    window_state.paint_window = gdi_paint;
    window_state.window_thread = gdi_window_thread;
    return window_start(title, width, height, depth < 8 ? 8 : depth, refresh_rate, flags);
}

int32_t* gdi_fetch_modes(int32_t depth, int32_t* count) {
    return display_settings_modes(depth, true, count);
}

// The GDI driver record, slots in interface order.
const display_driver gdi_driver = {
    "GDI",
    gdi_init,         // init
    window_exit,      // exit
    lock,             // lock
    unlock,           // unlock
    set_palette,      // set_palette
    wait_vsync,       // wait_vsync: sleep form
    get_mouse,        // get_mouse
    set_mouse,        // set_mouse
    set_window_title, // set_window_title
    set_window_pos,   // set_window_pos
    gdi_fetch_modes,  // fetch_modes
    nullptr,          // flip
    nullptr,          // poll_events
};
