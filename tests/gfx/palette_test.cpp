// Palette resets and changes, and the VGA ports, on screens of a driver that records what it is
// given.
#include "gfx/builtin_data.h"
#include "gfx/gfx_context.h"
#include "gfx/palette.h"
#include "gfx/screen.h"
#include "runtime/console_hooks.h"
#include "runtime/os/os.h"
#include "runtime/runtime.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

namespace {

uint32_t driver_colours[256]; // 0x00BBGGRR, as last given to the driver
int32_t palette_calls;
int32_t vsync_waits;

display_driver make_palette_driver() {
    display_driver d{};
    d.name = "Palette";
    d.init = [](const char*, int32_t, int32_t, int32_t, int32_t, uint32_t) -> int32_t { return 0; };
    d.set_palette = [](int32_t index, int32_t red, int32_t green, int32_t blue) {
        driver_colours[index] = static_cast<uint32_t>(red | green << 8 | blue << 16);
        ++palette_calls;
    };
    d.wait_vsync = [] { ++vsync_waits; };
    return d;
}
const display_driver palette_driver = make_palette_driver();
const display_driver* const palette_list[] = {&palette_driver, nullptr};

class Palette : public testing::Test {
  protected:
    void SetUp() override {
        runtime_start();
        os_set_environment("QXGFX", nullptr);
        driver_list = palette_list;
    }
    void TearDown() override {
        close_screen();
        driver_list = default_driver_list;
    }
    void open_mode(int32_t mode) {
        palette_calls = 0;
        ASSERT_EQ(screen_mode(mode, 0, 0, 0, 0), 0);
        clear_dirty();
    }
    static void clear_dirty() {
        for (int32_t i = 0; i < gfx_screen->height; ++i)
            gfx_screen->dirty[i] = 0;
    }
    static int32_t dirty_lines() {
        int32_t lines = 0;
        for (int32_t i = 0; i < gfx_screen->height; ++i)
            lines += gfx_screen->dirty[i];
        return lines;
    }
    static std::vector<uint8_t> color_map(int32_t n) {
        return {gfx_screen->color_map, gfx_screen->color_map + n};
    }
};

TEST_F(Palette, ModeSetsShowTheModesDefaultColours) {
    open_mode(13);
    EXPECT_EQ(palette_calls, 256);
    const uint8_t* rgb = palette256()->colors;
    for (int32_t i = 0; i < 256; ++i) {
        const uint32_t expected = rgb[3 * i] | rgb[3 * i + 1] << 8 | rgb[3 * i + 2] << 16;
        ASSERT_EQ(gfx_screen->device_palette[i], expected) << i;
        ASSERT_EQ(driver_colours[i], expected) << i;
    }
    EXPECT_EQ(gfx_screen->device_palette[33], 0xFF0040u);
    open_mode(12); // 16 text colours out of the 256-entry palette
    EXPECT_EQ(palette_calls, 16);
    EXPECT_EQ(gfx_screen->device_palette[6], 0x0055AAu);
    open_mode(2);
    EXPECT_EQ(palette_calls, 2);
    EXPECT_EQ(gfx_screen->device_palette[0], 0u);
    EXPECT_EQ(gfx_screen->device_palette[1], 0xFFFFFFu);
    EXPECT_EQ(color_map(2), (std::vector<uint8_t>{0, 15}));
    EXPECT_EQ(gfx_screen->palette_colors[9], 0xFF5555u); // the whole palette, shown or not
}

TEST_F(Palette, PortsWriteAndReadEntriesOfModeThirteen) {
    open_mode(13);
    ASSERT_NE(console_hooks.port_write, nullptr);
    EXPECT_EQ(console_hooks.port_write(0x3C8, 1), 0);
    for (int32_t v : {63, 0})
        EXPECT_EQ(console_hooks.port_write(0x3C9, v), 0);
    EXPECT_EQ(dirty_lines(), 0); // nothing until the third component
    EXPECT_EQ(console_hooks.port_write(0x3C9, 0), 0);
    EXPECT_EQ(gfx_screen->device_palette[1], 0x0000FFu);
    EXPECT_EQ(driver_colours[1], 0x0000FFu);
    EXPECT_EQ(dirty_lines(), 200);
    EXPECT_EQ(dac_index, 2);

    EXPECT_EQ(console_hooks.port_write(0x3C7, 1), 0);
    for (int32_t v : {63, 0, 0})
        EXPECT_EQ(console_hooks.port_read(0x3C9), v);
    EXPECT_EQ(console_hooks.port_read(0x3C9), 0);  // entry 2 (0, 170, 0) follows
    EXPECT_EQ(console_hooks.port_read(0x3C9), 42); // 170 >> 2
    EXPECT_EQ(console_hooks.port_write(0x3C6, 0xFF), -1);
    EXPECT_EQ(console_hooks.port_read(0x3C8), -1);

    std::vector<int32_t> colours(256, -1);
    colours[5] = 0x3F0000; // 6-bit blue 63
    palette_using(colours.data());
    EXPECT_EQ(gfx_screen->device_palette[5], 0xFF0000u);
    EXPECT_EQ(gfx_screen->device_palette[4], 0x0000AAu);
    palette_calls = 0;
    resend_palette();
    EXPECT_EQ(palette_calls, 256);
    EXPECT_EQ(driver_colours[5], 0xFF0000u);
}

TEST_F(Palette, AttributeModesMapPixelValuesToPaletteEntries) {
    open_mode(9);
    EXPECT_EQ(color_map(16),
              (std::vector<uint8_t>{0, 1, 2, 3, 4, 5, 20, 7, 56, 57, 58, 59, 60, 61, 62, 63}));
    palette_change(1, 20);
    EXPECT_EQ(gfx_screen->device_palette[1], 0x0055AAu); // brown
    EXPECT_EQ(driver_colours[1], 0x0055AAu);
    EXPECT_EQ(gfx_screen->color_map[1], 20);
    EXPECT_EQ(dirty_lines(), 350);
    // Entry 20 through the ports: components times 4, on every pixel value mapped to it.
    port_write(0x3C8, 20);
    for (int32_t v : {63, 63, 0})
        port_write(0x3C9, v);
    EXPECT_EQ(gfx_screen->palette_colors[20], 0x00FCFCu);
    EXPECT_EQ(gfx_screen->device_palette[1], 0x00FCFCu);
    EXPECT_EQ(gfx_screen->device_palette[6], 0x00FCFCu);
    EXPECT_EQ(gfx_screen->device_palette[2], 0x00AA00u);
    // Entries 16 to 63 are no pixel value of a 16-colour screen: color_map stays as it was,
    // and no byte of the screen's record past its 16 entries is written.
    const std::vector<uint8_t> map = color_map(16);
    const auto* record = reinterpret_cast<const uint8_t*>(gfx_screen);
    const size_t past_map = offsetof(gfx_context, color_map) + sizeof gfx_screen->color_map;
    const std::vector<uint8_t> rest(record + past_map, record + sizeof(gfx_context));
    for (int32_t entry = 16; entry < 64; ++entry)
        palette_change(entry, 5);
    EXPECT_EQ(color_map(16), map);
    EXPECT_EQ(std::vector<uint8_t>(record + past_map, record + sizeof(gfx_context)), rest);

    open_mode(1);
    EXPECT_EQ(color_map(4), (std::vector<uint8_t>{0, 11, 13, 15}));
    palette_change(-2);
    EXPECT_EQ(color_map(4), (std::vector<uint8_t>{0, 10, 12, 14}));
    EXPECT_EQ(gfx_screen->device_palette[1], 0x55FF55u);
    palette_change(-7);
    EXPECT_EQ(color_map(4), (std::vector<uint8_t>{0, 2, 4, 6}));

    // Without a map each pixel value starts as its own entry: entry 0 recolours value 0 only.
    open_mode(10);
    port_write(0x3C8, 0);
    for (int32_t v : {20, 30, 40})
        port_write(0x3C9, v);
    EXPECT_EQ(gfx_screen->device_palette[0], 0xA07850u);
    EXPECT_EQ(gfx_screen->device_palette[1], 0xFFFFFFu);
}

// Colours written out from the palette's rules, not read from its table: the red, green, blue
// form and the ports keep 6 bits and scale them by 255 / 63, truncating; the port index wraps at
// the palette's end; mode 1's index -3 takes CGA map 2.
TEST_F(Palette, ComponentsPortsAndMapsGiveTheColoursWrittenOut) {
    open_mode(13);
    palette_change(3, 255, 128, 7); // 6-bit 63, 32, 1
    EXPECT_EQ(gfx_screen->device_palette[3], 0x0481FFu);
    EXPECT_EQ(driver_colours[3], 0x0481FFu);
    port_write(0x3C8, 0x1FF); // entry 255
    for (int32_t v : {1, 31, 62})
        port_write(0x3C9, v);
    EXPECT_EQ(gfx_screen->device_palette[255], 0xFA7D04u); // 4, 125, 250
    EXPECT_EQ(dac_index, 0);
    for (int32_t v : {63, 0, 0})
        port_write(0x3C9, v);
    EXPECT_EQ(gfx_screen->device_palette[0], 0x0000FFu);
    port_write(0x3C7, 255);
    for (int32_t v : {1, 31, 62, 63}) // the fourth read is entry 0's red
        EXPECT_EQ(port_read(0x3C9), v);

    // Four entries of each of the nine blocks of 24 hues.
    const uint32_t hues[][2] = {
        {32, 0xFF0000},  {38, 0x7D00FF},  {45, 0x00FFBE},  {51, 0xBEFF00},  {56, 0xFF7D7D},
        {62, 0xBE7DFF},  {69, 0x7DFFDE},  {75, 0xDEFF7D},  {80, 0xFFB6B6},  {86, 0xDAB6FF},
        {93, 0xB6FFEA},  {99, 0xEAFFB6},  {104, 0x710000}, {110, 0x380071}, {117, 0x007155},
        {123, 0x557100}, {128, 0x713838}, {134, 0x553871}, {141, 0x387161}, {147, 0x617138},
        {152, 0x715050}, {158, 0x615071}, {165, 0x507169}, {171, 0x697150}, {176, 0x400000},
        {182, 0x200040}, {189, 0x004030}, {195, 0x304000}, {200, 0x402020}, {206, 0x302040},
        {213, 0x204038}, {219, 0x384020}, {224, 0x402C2C}, {230, 0x342C40}, {237, 0x2C403C},
        {243, 0x3C402C},
    };
    for (const auto& hue : hues)
        EXPECT_EQ(gfx_screen->device_palette[hue[0]], hue[1]) << hue[0];

    open_mode(1);
    palette_change(-3);
    EXPECT_EQ(color_map(4), (std::vector<uint8_t>{0, 3, 5, 7}));
    EXPECT_EQ(gfx_screen->device_palette[1], 0xAAAA00u); // cyan
    EXPECT_EQ(gfx_screen->device_palette[3], 0xAAAAAAu); // light grey

    open_mode(7); // 16 entries: the index wraps at 15
    port_write(0x3C8, 0x1F);
    EXPECT_EQ(dac_index, 15);
    for (int32_t v : {63, 63, 63})
        port_write(0x3C9, v);
    EXPECT_EQ(dac_index, 0);
}

TEST_F(Palette, TrueColourScreensChangeAndMarkNothing) {
    for (int32_t depth : {16, 32}) {
        palette_calls = 0;
        ASSERT_EQ(screen_res(64, 32, depth, 1, 0, 0), 0);
        clear_dirty();
        port_write(0x3C8, 1); // what the ports hold stays
        const int32_t index = dac_index, shift = dac_shift;
        std::vector<int32_t> colours(256, 7);
        palette_change(1, 20);
        palette_change(1, 255, 0, 0);
        palette_change(-1);
        palette_using(colours.data());
        set_palette_entry(2, 0x3F);
        reset_palette();
        resend_palette();
        EXPECT_EQ(console_hooks.port_write(0x3C8, 9), -1);
        EXPECT_EQ(console_hooks.port_write(0x3C9, 63), -1);
        EXPECT_EQ(console_hooks.port_read(0x3C9), -1);
        EXPECT_EQ(dac_index, index);
        EXPECT_EQ(dac_shift, shift);
        EXPECT_EQ(palette_calls, 0) << depth;
        EXPECT_EQ(dirty_lines(), 0) << depth;
        for (uint32_t colour : gfx_screen->device_palette)
            ASSERT_EQ(colour, 0u) << depth;
    }
}

TEST_F(Palette, StatusPortReadsRetraceWithOrWithoutTheDriversWait) {
    os_set_environment("QXGFX", "null");
    ASSERT_EQ(screen_mode(13, 0, 0, 0, 0), 0);
    EXPECT_EQ(console_hooks.port_read(0x3DA), 8);
    os_set_environment("QXGFX", nullptr);
    vsync_waits = 0;
    ASSERT_EQ(screen_res(64, 32, 32, 1, 0, 0), 0);
    EXPECT_EQ(console_hooks.port_read(0x3DA), 8);
    EXPECT_EQ(vsync_waits, 1);
    close_screen();
    EXPECT_EQ(console_hooks.port_read, nullptr);
    EXPECT_EQ(console_hooks.port_write, nullptr);
    EXPECT_EQ(port_read(0x3DA), -1);
}

} // namespace
