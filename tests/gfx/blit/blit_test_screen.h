// A screen built by hand for the conversion tests, and a reference converter written from the
// pixel layouts: channels are taken apart to 8 bits and put together in the display format.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "gfx/internal/gfx_context.h"

struct test_screen {
    std::unique_ptr<gfx_context> context = std::make_unique<gfx_context>();
    std::vector<uint8_t> framebuffer;
    std::vector<uint8_t> dirty;
    uint32_t table[512] = {};

    // Fills every pixel from a fixed seed and installs the screen as gfx_screen.
    test_screen(int32_t width, int32_t height, int32_t depth, int32_t scanline_size, bool mmx);
    ~test_screen();
    uint8_t* line(int32_t y) { return framebuffer.data() + y * context->pitch; }
    uint32_t pixel(int32_t x, int32_t y) const;
    void set_pixel(int32_t x, int32_t y, uint32_t value);
};

// Display bytes of one source pixel value (palette index, 16- or 32-bit pixel).
std::vector<uint8_t> reference_bytes(const gfx_context& screen, uint32_t source,
                                     int32_t display_depth, bool rgb_order);
