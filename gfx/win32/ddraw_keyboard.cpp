// The DirectDraw driver's keyboard: the DirectInput system keyboard read as 256 key bytes,
// folded into the 128 entries of key_state.
#include "gfx/gfx_context.h"
#include "gfx/win32/ddraw_driver.h"

namespace {

constexpr int32_t key_count = 256;

DIOBJECTDATAFORMAT key_objects[key_count];
DIDATAFORMAT keyboard_format;

// One optional button per key byte, at the offset of its scancode.
void build_keyboard_format() {
    for (int32_t i = 0; i < key_count; ++i) {
        key_objects[i].pguid = &GUID_Key;
        key_objects[i].dwOfs = static_cast<DWORD>(i);
        key_objects[i].dwType = DIDFT_OPTIONAL | DIDFT_BUTTON | DIDFT_MAKEINSTANCE(i);
        key_objects[i].dwFlags = 0;
    }
    keyboard_format.dwSize = sizeof(DIDATAFORMAT);
    keyboard_format.dwObjSize = sizeof(DIOBJECTDATAFORMAT);
    keyboard_format.dwFlags = DIDF_RELAXIS;
    keyboard_format.dwDataSize = key_count;
    keyboard_format.dwNumObjs = key_count;
    keyboard_format.rgodf = key_objects;
}

} // namespace

int32_t open_keyboard() {
    build_keyboard_format();
    IDirectInputA* input = ddraw_state.direct_input;
    if (!input) return -1;
    HRESULT created = ddraw_seam_answer(ddraw_call::create_keyboard, input);
    if (created == DI_OK)
        created = input->CreateDevice(GUID_SysKeyboard, &ddraw_state.keyboard_device, nullptr);
    if (created != DI_OK) {
        ddraw_state.keyboard_device = nullptr;
        return -1;
    }
    if (ddraw_state.keyboard_device->SetDataFormat(&keyboard_format) != DI_OK) return -1;
    return ddraw_state.keyboard_device->Acquire() == DI_OK ? 0 : -1;
}

void close_keyboard() {
    if (!ddraw_state.keyboard_device) return;
    ddraw_state.keyboard_device->Unacquire();
    ddraw_state.keyboard_device->Release();
    ddraw_state.keyboard_device = nullptr;
}

void refresh_key_state_from_device() {
    if (!ddraw_state.keyboard_device || !gfx_screen) return;
    IDirectInputDeviceA* keyboard = ddraw_state.keyboard_device;
    BYTE state[key_count] = {};
    HRESULT result = ddraw_seam_answer(ddraw_call::get_device_state, keyboard);
    if (result == DI_OK) result = keyboard->GetDeviceState(key_count, state);
    if (result == DIERR_NOTACQUIRED || result == DIERR_INPUTLOST) {
        if (ddraw_seam_answer(ddraw_call::acquire, keyboard) == DI_OK) keyboard->Acquire();
        return;
    }
    if (result != DI_OK) return;
    // An extended key is its base scancode plus 128 in the device's numbering.
    lock();
    for (int32_t i = 0; i < key_state_size; ++i)
        gfx_screen->key_state[i] = static_cast<uint8_t>((state[i] | state[i + 128]) >> 7);
    unlock();
}
