#include "blit_test_screen.h"

#include <cstring>

namespace {

uint32_t next_random(uint32_t* state) {
    *state = *state * 1664525u + 1013904223u;
    return (*state >> 8) ^ (*state << 13);
}

} // namespace

test_screen::test_screen(int32_t width, int32_t height, int32_t depth, int32_t scanline_size,
                         bool mmx) {
    gfx_context& screen = *context;
    screen.width = width;
    screen.height = height;
    screen.depth = depth;
    screen.bpp = depth == 16 ? 2 : depth == 32 ? 4 : 1;
    screen.pitch = width * screen.bpp;
    screen.scanline_size = scanline_size;
    screen.flags = mmx ? context_mmx : 0;
    framebuffer.assign(static_cast<size_t>(screen.pitch * height), 0);
    dirty.assign(static_cast<size_t>(height), 1);
    uint32_t state = 12345;
    for (auto& byte : framebuffer)
        byte = static_cast<uint8_t>(next_random(&state));
    for (auto& entry : screen.device_palette)
        entry = next_random(&state) & 0xFFFFFF;
    screen.device_palette[255] = 0x00FFFFFF;
    screen.visible_buffer = framebuffer.data();
    screen.dirty = dirty.data();
    gfx_screen = context.get();
    expand16_table = table;
}

test_screen::~test_screen() {
    gfx_screen = nullptr;
    expand16_table = nullptr;
}

uint32_t test_screen::pixel(int32_t x, int32_t y) const {
    const uint8_t* p = framebuffer.data() + y * context->pitch + x * context->bpp;
    uint32_t value = 0;
    std::memcpy(&value, p, static_cast<size_t>(context->bpp));
    return value;
}

void test_screen::set_pixel(int32_t x, int32_t y, uint32_t value) {
    uint8_t* p = framebuffer.data() + y * context->pitch + x * context->bpp;
    std::memcpy(p, &value, static_cast<size_t>(context->bpp));
}

std::vector<uint8_t> reference_bytes(const gfx_context& screen, uint32_t source,
                                     int32_t display_depth, bool rgb_order) {
    if (display_depth == 8) return {static_cast<uint8_t>(source)};
    // Channels widened to 8 bits with zero low bits.
    uint32_t r = 0;
    uint32_t g = 0;
    uint32_t b = 0;
    uint32_t top = 0;
    if (screen.depth == 8) {
        const uint32_t entry = screen.device_palette[source & 0xFF];
        r = entry & 0xFF;
        g = (entry >> 8) & 0xFF;
        b = (entry >> 16) & 0xFF;
    } else if (screen.depth == 16) {
        r = ((source >> 11) & 0x1F) << 3;
        g = ((source >> 5) & 0x3F) << 2;
        b = (source & 0x1F) << 3;
    } else {
        r = (source >> 16) & 0xFF;
        g = (source >> 8) & 0xFF;
        b = source & 0xFF;
        // A same-format copy keeps the top byte; the RGB exchange moves green into it.
        top = rgb_order ? g : source >> 24;
    }
    const uint32_t high = rgb_order ? b : r;
    const uint32_t low = rgb_order ? r : b;
    uint32_t value = 0;
    switch (display_depth) {
    case 15:
        value = ((high >> 3) << 10) | ((g >> 3) << 5) | (low >> 3);
        break;
    case 16:
        value = ((high >> 3) << 11) | ((g >> 2) << 5) | (low >> 3);
        break;
    case 24:
        value = (high << 16) | (g << 8) | low;
        break;
    default:
        value = (top << 24) | (high << 16) | (g << 8) | low;
        break;
    }
    const int32_t size = display_depth == 32 ? 4 : display_depth == 24 ? 3 : 2;
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    for (int32_t i = 0; i < size; ++i)
        bytes[static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
    return bytes;
}
