// Resetting and changing the palette of screens of 8 or fewer bits per pixel, and the VGA
// palette ports.
#include "gfx/palette.h"

#include "gfx/internal/palette_state.h"

#include "gfx/internal/builtin_data.h"
#include "gfx/internal/gfx_context.h"
#include "gfx/screen.h"

#include <cstring>

int32_t dac_index;
int32_t dac_shift = 2;
uint32_t dac_value;

namespace {

struct attribute_map {
    const uint8_t* entries;
    int32_t count;
};

// clang-format off
constexpr uint8_t identity_map[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
constexpr uint8_t ega_map[16]      = {0, 1, 2, 3, 4, 5, 20, 7, 56, 57, 58, 59, 60, 61, 62, 63};
constexpr uint8_t cga0_map[4]      = {0, 11, 13, 15};
constexpr uint8_t cga1_map[4]      = {0, 10, 12, 14};
constexpr uint8_t cga2_map[4]      = {0, 3, 5, 7};
constexpr uint8_t cga3_map[4]      = {0, 2, 4, 6};
constexpr uint8_t mono_map[2]      = {0, 15};
// clang-format on

constexpr int32_t port_read_index = 0x3C7;
constexpr int32_t port_write_index = 0x3C8;
constexpr int32_t port_data = 0x3C9;
constexpr int32_t port_status = 0x3DA;
constexpr int32_t vertical_retrace = 8;

// The open screen when it has a palette.
gfx_context* palette_screen() {
    gfx_context* c = gfx_screen;
    return c && c->depth <= 8 && c->default_palette ? c : nullptr;
}

// The map of a mode by its number; mode 1's by the reset's index. None: count 0.
attribute_map map_of_mode(int32_t mode, int32_t index) {
    switch (mode) {
    case 1:
        if (index == -1) return {cga0_map, 4};
        if (index == -2) return {cga1_map, 4};
        if (index == -3) return {cga2_map, 4};
        return {cga3_map, 4};
    case 2:
        return {mono_map, 2};
    case 7:
    case 8:
        return {identity_map, 16};
    case 9:
        return {ega_map, 16};
    default:
        return {nullptr, 0};
    }
}

uint32_t packed_entry(const palette_desc* palette, int32_t entry) {
    const uint8_t* rgb = palette->colors + 3 * entry;
    return rgb[0] | uint32_t{rgb[1]} << 8 | uint32_t{rgb[2]} << 16;
}

// The 6-bit level scaled to 8 bits, truncated. In integers: the quotient is a whole number
// only for multiples of 21, so no floating-point rounding could reach the next integer.
uint32_t scaled_6_bit(uint32_t level) {
    return (level & 0x3F) * 255 / 63;
}

// Pixel value index shows colour, on the screen and through the driver.
void show(gfx_context* c, int32_t index, uint32_t colour) {
    c->device_palette[index] = colour;
    if (c->driver && c->driver->set_palette)
        c->driver->set_palette(index, static_cast<int32_t>(colour & 0xFF),
                               static_cast<int32_t>((colour >> 8) & 0xFF),
                               static_cast<int32_t>((colour >> 16) & 0xFF));
}

// Every line of the visible page shows new colours, whichever page drawing goes to.
void mark_all_and_unlock(gfx_context* c) {
    std::memset(c->dirty, 1, static_cast<size_t>(c->height));
    screen_unlock_context(c);
}

// Pixel values of the screen that have an entry in color_map.
int32_t mapped_values(const gfx_context* c) {
    const int32_t values = 1 << c->depth;
    return values < 16 ? values : 16;
}

void reset_with_index(gfx_context* c, int32_t index) {
    const attribute_map map = map_of_mode(c->mode, index);
    const palette_desc* palette = c->default_palette;
    const int32_t values = 1 << c->depth;
    screen_lock_context(c);
    for (int32_t i = 0; i < static_cast<int32_t>(palette->count); ++i) {
        c->palette_colors[i] = packed_entry(palette, i);
        if (i >= values) continue;
        int32_t shown = i;
        if (i < map.count)
            shown = c->color_map[i] = map.entries[i];
        else if (!map.entries && i < 16)
            // Without a map each pixel value starts as its own entry, so that a port write to
            // one entry recolours only the pixels that show it.
            c->color_map[i] = static_cast<uint8_t>(i);
        show(c, i, packed_entry(palette, shown));
    }
    mark_all_and_unlock(c);
}

void set_entry(gfx_context* c, int32_t index, uint32_t colour) {
    const uint32_t count = c->default_palette->count;
    index &= static_cast<int32_t>(count - 1);
    uint32_t rgb;
    if (count == 256) {
        rgb = scaled_6_bit(colour) | scaled_6_bit(colour >> 8) << 8 |
              scaled_6_bit(colour >> 16) << 16;
    } else {
        const uint32_t entry = colour & (count - 1);
        // Entries past the 16 pixel values of these depths have no place in color_map.
        if (index < 16) c->color_map[index] = static_cast<uint8_t>(entry);
        rgb = c->palette_colors[entry];
    }
    show(c, index, rgb);
}

// The third component of a port write: the assembled colour replaces entry dac_index.
void store_port_colour(gfx_context* c) {
    if (c->default_palette->count == 256) {
        palette_change(dac_index, static_cast<int32_t>((dac_value >> 2) & 0x3F3F3F), -1, -1);
        return;
    }
    screen_lock_context(c);
    // The components stay the 6-bit values times 4 here.
    c->palette_colors[dac_index] = dac_value;
    for (int32_t i = 0; i < mapped_values(c); ++i)
        if (c->color_map[i] == dac_index) show(c, i, dac_value);
    mark_all_and_unlock(c);
}

} // namespace

void reset_palette() {
    if (gfx_context* c = palette_screen()) reset_with_index(c, -1);
}

void set_palette_entry(int32_t index, uint32_t colour) {
    if (gfx_context* c = palette_screen()) set_entry(c, index, colour);
}

void palette_change(int32_t index, int32_t colour, int32_t green, int32_t blue) {
    gfx_context* c = palette_screen();
    if (!c) return;
    if (index < 0) {
        reset_with_index(c, index);
        return;
    }
    uint32_t value = static_cast<uint32_t>(colour);
    if (green >= 0 && blue >= 0)
        value = static_cast<uint32_t>(colour >> 2) | static_cast<uint32_t>(green >> 2) << 8 |
                static_cast<uint32_t>(blue >> 2) << 16;
    screen_lock_context(c);
    set_entry(c, index, value);
    mark_all_and_unlock(c);
}

void palette_using(const int32_t* colours) {
    gfx_context* c = palette_screen();
    if (!c || !colours) return;
    screen_lock_context(c);
    for (int32_t i = 0; i < 1 << c->depth; ++i)
        if (colours[i] >= 0) set_entry(c, i, static_cast<uint32_t>(colours[i]));
    mark_all_and_unlock(c);
}

void resend_palette() {
    gfx_context* c = palette_screen();
    if (!c || !c->driver || !c->driver->set_palette) return;
    for (int32_t i = 0; i < 256; ++i)
        show(c, i, c->device_palette[i]);
}

int32_t port_write(int32_t port, int32_t value) {
    gfx_context* c = palette_screen();
    if (!c) return -1;
    const int32_t last_entry = static_cast<int32_t>(c->default_palette->count) - 1;
    switch (port) {
    case port_read_index:
    case port_write_index:
        dac_value = 0;
        dac_index = value & last_entry;
        dac_shift = 2;
        return 0;
    case port_data:
        dac_value |= static_cast<uint32_t>(value & 0x3F) << dac_shift;
        dac_shift += 8;
        if (dac_shift <= 18) return 0;
        store_port_colour(c);
        dac_value = 0;
        dac_shift = 2;
        dac_index = (dac_index + 1) & last_entry;
        return 0;
    default:
        return -1;
    }
}

int32_t port_read(int32_t port) {
    gfx_context* c = gfx_screen;
    if (!c) return -1;
    if (port == port_status) {
        if (c->driver && c->driver->wait_vsync) c->driver->wait_vsync();
        return vertical_retrace;
    }
    if (port != port_data || !(c = palette_screen())) return -1;
    const int32_t value = static_cast<int32_t>((c->device_palette[dac_index] >> dac_shift) & 0x3F);
    dac_shift += 8;
    if (dac_shift > 18) {
        dac_shift = 2;
        dac_index = (dac_index + 1) & static_cast<int32_t>(c->default_palette->count - 1);
    }
    return value;
}
