// DirectDraw display modes: the device of the monitor, the fullscreen mode search and the list
// of modes of one depth.
#include <cstdlib>
#include <iterator>

#include "gfx/win32/ddraw_driver.h"

namespace {

// Heights tried in turn when a mode of the requested height is not offered.
constexpr int32_t taller_heights[] = {240, 480, 600, 768, 1024};

// The depth that shows the same framebuffer when the requested one is not offered, or 0.
int32_t paired_depth(int32_t depth) {
    switch (depth) {
    case 16:
        return 15;
    case 15:
        return 16;
    case 24:
        return 32;
    case 32:
        return 24;
    default:
        return 0;
    }
}

HRESULT set_display_mode(const display_mode_request& request) {
    const display_mode_answer answer = display_mode_seam.load();
    if (answer) return answer(request);
    return ddraw_state.direct_draw->SetDisplayMode(
        static_cast<DWORD>(request.width), static_cast<DWORD>(request.height),
        static_cast<DWORD>(request.depth), static_cast<DWORD>(request.refresh_rate), request.flags);
}

struct monitor_choice {
    HMONITOR monitor;
    GUID device;
    bool found;
};

BOOL WINAPI monitor_device_callback(GUID* device, LPSTR, LPSTR, LPVOID context, HMONITOR monitor) {
    auto* choice = static_cast<monitor_choice*>(context);
    if (monitor != choice->monitor || !device) return DDENUMRET_OK;
    choice->device = *device;
    choice->found = true;
    return DDENUMRET_CANCEL;
}

struct mode_list {
    int32_t depth;
    int32_t* modes;
    int32_t count;
};

HRESULT WINAPI mode_list_callback(LPDDSURFACEDESC description, LPVOID context) {
    auto* list = static_cast<mode_list*>(context);
    if (display_format_of(description->ddpfPixelFormat).depth != list->depth) return DDENUMRET_OK;
    // Like the GDI list: when the array cannot grow, what it holds is the answer.
    void* grown = std::realloc(list->modes, sizeof(int32_t) * static_cast<size_t>(list->count + 1));
    if (!grown) return DDENUMRET_CANCEL;
    list->modes = static_cast<int32_t*>(grown);
    list->modes[list->count++] =
        static_cast<int32_t>(description->dwWidth * 65536 + description->dwHeight);
    return DDENUMRET_OK;
}

int32_t* no_modes(int32_t* count) {
    if (count) *count = 0;
    return nullptr;
}

} // namespace

bool device_of_monitor(HMODULE ddraw_library, GUID* device) {
    if (!window_state.monitor || !ddraw_library) return false;
    auto enumerate = reinterpret_cast<LPDIRECTDRAWENUMERATEEXA>(
        reinterpret_cast<void*>(GetProcAddress(ddraw_library, "DirectDrawEnumerateExA")));
    if (!enumerate) return false;
    monitor_choice choice{window_state.monitor, GUID{}, false};
    if (enumerate(monitor_device_callback, &choice, DDENUM_ATTACHEDSECONDARYDEVICES) != DD_OK ||
        !choice.found)
        return false;
    *device = choice.device;
    return true;
}

int32_t set_fullscreen_mode(int32_t width, int32_t height, int32_t depth, int32_t refresh_rate) {
    int32_t h = height;
    for (;;) {
        // The 320 x 200 x 8 mode of the old adapters is not among the ordinary modes.
        const uint32_t flags = (width == 320 && h == 200 && depth == 8) ? DDSDM_STANDARDVGAMODE : 0;
        display_mode_request request{width, h, depth, refresh_rate, flags};
        if (set_display_mode(request) == DD_OK) return (h - height) >> 1;
        request.depth = paired_depth(depth);
        if (request.depth && set_display_mode(request) == DD_OK) return (h - height) >> 1;
        const int32_t* next = taller_heights;
        while (next != std::end(taller_heights) && *next <= h)
            ++next;
        if (next == std::end(taller_heights)) return -1;
        h = *next;
    }
}

int32_t* ddraw_fetch_modes(int32_t depth, int32_t* count) {
    // A reference of its own to ddraw.dll for the length of the call: the window thread may
    // close the presentation meanwhile, and free the driver's.
    HMODULE library = ddraw_system.load_library("ddraw.dll");
    if (!library) return no_modes(count);
    // The open driver's object may be re-created by the window thread meanwhile: hold a
    // reference of our own. With the driver closed, an object of our own.
    IDirectDraw2* dd = nullptr;
    if (window_input.window_thread_handle) {
        lock();
        dd = ddraw_state.direct_draw;
        if (dd) dd->AddRef();
        unlock();
    }
    if (!dd) dd = create_direct_draw(library, nullptr);
    mode_list list{depth, nullptr, 0};
    HRESULT result = DDERR_GENERIC;
    if (dd) {
        result = ddraw_seam_answer(ddraw_call::enum_display_modes, dd);
        if (result == DD_OK)
            result =
                dd->EnumDisplayModes(DDEDM_STANDARDVGAMODES, nullptr, &list, mode_list_callback);
        dd->Release();
    }
    ddraw_system.free_library(library);
    if (result != DD_OK || list.count == 0) {
        std::free(list.modes);
        return no_modes(count);
    }
    if (count) *count = list.count;
    return list.modes;
}
