#include "runtime/console/console.h"
#include "runtime/console/key_translation.h"

#include <windows.h>

namespace {

uint32_t layout_character(int32_t virtual_key) {
    return MapVirtualKeyA(static_cast<UINT>(virtual_key) & 0xFFFF, MAPVK_VK_TO_CHAR);
}

} // namespace

int32_t key_code_of(int32_t character, int32_t scancode, int32_t virtual_key,
                    uint32_t control_state, int32_t no_fallback) {
    return key_code_translate(character, scancode & 0xFFFF, virtual_key, control_state, no_fallback,
                              layout_character);
}
