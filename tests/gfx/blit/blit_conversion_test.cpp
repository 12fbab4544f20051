#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "blit_test_screen.h"
#include "gfx/blit/blit.h"
#include "gfx/internal/draw_state.h"

namespace {

constexpr int32_t guard = 8;
constexpr uint8_t untouched = 0xA5;

int32_t display_bytes(int32_t display_depth) {
    switch (display_depth) {
    case 8:
        return 1;
    case 15:
    case 16:
        return 2;
    case 24:
        return 3;
    default:
        return 4;
    }
}

// A display surface with guard bytes before and after every row.
struct display_surface {
    int32_t bytes_per_pixel;
    int32_t pitch;
    std::vector<uint8_t> memory;

    display_surface(int32_t width, int32_t rows, int32_t display_depth)
        : bytes_per_pixel(display_bytes(display_depth)), pitch(2 * guard + width * bytes_per_pixel),
          memory(static_cast<size_t>(pitch * rows), untouched) {}
    uint8_t* row(int32_t r) { return memory.data() + r * pitch + guard; }
};

struct conversion {
    int32_t source_depth;
    int32_t display_depth;
    bool rgb_order;
};

std::string describe(const conversion& c, int32_t width, int32_t scanline_size, bool mmx) {
    return std::to_string(c.source_depth) + " to " + std::to_string(c.display_depth) +
           (c.rgb_order ? " rgb" : " bgr") + (mmx ? " mmx" : " plain") + " width " +
           std::to_string(width) + " scan-line size " + std::to_string(scanline_size);
}

std::string hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(value));
    return text;
}

// Compares every display row with the reference: dirty lines converted in each of their rows,
// clean lines and all guard bytes untouched.
::testing::AssertionResult rows_match(test_screen& screen, display_surface& surface,
                                      const conversion& c, bool allow_bit_15) {
    const gfx_context& context = *screen.context;
    const int32_t rows = context.height * context.scanline_size;
    for (int32_t r = 0; r < rows; ++r) {
        const int32_t y = r / context.scanline_size;
        const uint8_t* row = surface.row(r) - guard;
        for (int32_t i = 0; i < guard; ++i) {
            if (row[i] != untouched) {
                return ::testing::AssertionFailure() << "guard before row " << r << " written";
            }
            if (row[surface.pitch - 1 - i] != untouched) {
                return ::testing::AssertionFailure() << "guard after row " << r << " written";
            }
        }
        for (int32_t x = 0; x < context.width; ++x) {
            const uint8_t* got = row + guard + x * surface.bytes_per_pixel;
            std::vector<uint8_t> want(static_cast<size_t>(surface.bytes_per_pixel), untouched);
            if (screen.dirty[static_cast<size_t>(y)] != 0) {
                want = reference_bytes(context, screen.pixel(x, y), c.display_depth, c.rgb_order);
            }
            for (int32_t i = 0; i < surface.bytes_per_pixel; ++i) {
                uint8_t mask = 0xFF;
                if (allow_bit_15 && i == 1 && screen.dirty[static_cast<size_t>(y)] != 0) {
                    mask = 0x7F;
                }
                if ((got[i] & mask) != (want[static_cast<size_t>(i)] & mask)) {
                    return ::testing::AssertionFailure()
                           << "row " << r << " pixel " << x << " byte " << i << ": got "
                           << hex(got[i]) << ", want " << hex(want[static_cast<size_t>(i)])
                           << " (source " << hex(screen.pixel(x, y)) << ")";
                }
            }
        }
    }
    return ::testing::AssertionSuccess();
}

// Five lines, the first of them clean; line 1 starts with a value worked out by hand.
void check_conversion(const conversion& c, int32_t width, int32_t scanline_size, bool mmx) {
    SCOPED_TRACE(describe(c, width, scanline_size, mmx));
    test_screen screen(width, 5, c.source_depth, scanline_size, mmx);
    screen.dirty = {0, 1, 1, 0, 1};
    screen.context->dirty = screen.dirty.data();
    screen.set_pixel(0, 1, c.source_depth == 8 ? 255 : c.source_depth == 16 ? 0xFFFF : 0xFF123456);
    const conversion_routine routine = select_blitter(c.display_depth, c.rgb_order ? 1 : 0);
    ASSERT_NE(routine, nullptr);
    display_surface surface(width, 5 * scanline_size, c.display_depth);
    routine(surface.row(0), surface.pitch);
    const bool allow_bit_15 = mmx && c.source_depth == 16 && c.display_depth == 15 && c.rgb_order;
    EXPECT_TRUE(rows_match(screen, surface, c, allow_bit_15));
}

std::vector<conversion> every_conversion() {
    std::vector<conversion> all;
    for (int32_t source : {8, 16, 32}) {
        for (int32_t display : {15, 16, 24, 32}) {
            all.push_back({source, display, true});
            all.push_back({source, display, false});
        }
    }
    all.push_back({8, 8, true});
    all.push_back({8, 8, false});
    return all;
}

class copy_bytes_override {
  public:
    copy_bytes_override() : saved_(copy_bytes) {
        copy_bytes = [](void* d, const void* s, size_t n) { std::memcpy(d, s, n); };
    }
    ~copy_bytes_override() { copy_bytes = saved_; }

  private:
    copy_bytes_routine saved_;
};

TEST(BlitConversion, PlainFormsMatchReferenceForOddAndEvenWidths) {
    copy_bytes_override copy;
    for (const conversion& c : every_conversion()) {
        for (int32_t width : {1, 2, 3, 5, 6, 7, 100})
            check_conversion(c, width, 1, false);
    }
}

TEST(BlitConversion, MmxFormsMatchReference) {
    copy_bytes_override copy;
    for (const conversion& c : every_conversion()) {
        for (int32_t width : {4, 8, 12, 28, 100})
            check_conversion(c, width, 1, true);
    }
}

// The MMX 16-to-24 and 16-to-32 forms compute the expansion when the table holds one of the two
// orders' fills, and look it up when it holds anything else.
TEST(BlitConversion, MmxExpansionOfEvery16BitPixelFollowsTheTable) {
    test_screen screen(256, 256, 16, 1, true);
    for (int32_t y = 0; y < 256; ++y) {
        for (int32_t x = 0; x < 256; ++x)
            screen.set_pixel(x, y, static_cast<uint32_t>(y * 256 + x));
    }
    for (int32_t display : {24, 32}) {
        for (int32_t order : {0, 1, 2}) { // 2: the RGB fill with one entry changed afterwards
            SCOPED_TRACE(std::to_string(display) + " bits, order " + std::to_string(order));
            const conversion_routine routine = select_blitter(display, order == 0 ? 0 : 1);
            if (order == 2) screen.table[256 + 0x12] = 0x00010203;
            display_surface surface(256, 256, display);
            routine(surface.row(0), surface.pitch);
            for (uint32_t p = 0; p < 65536; ++p) {
                std::vector<uint8_t> want;
                if (order == 2 && (p >> 8) == 0x12) {
                    const uint32_t e = screen.table[p & 0xFF] | 0x00010203;
                    for (int32_t i = 0; i < display / 8; ++i)
                        want.push_back(static_cast<uint8_t>(e >> (8 * i)));
                } else {
                    want = reference_bytes(*screen.context, p, display, order != 0);
                }
                const uint8_t* got = surface.row(static_cast<int32_t>(p >> 8)) +
                                     (p & 0xFF) * static_cast<uint32_t>(surface.bytes_per_pixel);
                ASSERT_EQ(std::vector<uint8_t>(got, got + want.size()), want) << "pixel " << hex(p);
            }
        }
    }
}

TEST(BlitConversion, ScanLineRepetitionFillsEveryRowOfADirtyLine) {
    copy_bytes_override copy;
    for (const conversion& c : every_conversion()) {
        check_conversion(c, 6, 2, false);
        check_conversion(c, 8, 2, true); // no MMX form for repeated lines
        check_conversion(c, 3, 3, false);
    }
}

TEST(BlitConversion, MmxAndPlainFormsGiveTheSamePixels) {
    copy_bytes_override copy;
    for (const conversion& c : every_conversion()) {
        SCOPED_TRACE(describe(c, 1280, 1, true));
        std::vector<uint8_t> outputs[2];
        for (int form = 0; form < 2; ++form) {
            test_screen screen(1280, 4, c.source_depth, 1, form == 1);
            const conversion_routine routine = select_blitter(c.display_depth, c.rgb_order ? 1 : 0);
            ASSERT_NE(routine, nullptr);
            display_surface surface(1280, 4, c.display_depth);
            routine(surface.row(0), surface.pitch);
            outputs[form] = surface.memory;
        }
        if (c.source_depth == 16 && c.display_depth == 15 && c.rgb_order) {
            for (size_t i = guard + 1; i < outputs[0].size(); i += 2) {
                outputs[0][i] &= 0x7F;
                outputs[1][i] &= 0x7F;
            }
        }
        EXPECT_TRUE(outputs[0] == outputs[1]);
    }
}

TEST(BlitConversion, BottomUpSurfaceTakesLinesInReverse) {
    test_screen screen(4, 3, 32, 1, false);
    screen.set_pixel(0, 0, 0x00112233);
    screen.set_pixel(0, 2, 0x00445566);
    display_surface surface(4, 3, 24);
    select_blitter(24, 0)(surface.row(2), -surface.pitch);
    EXPECT_EQ(surface.row(2)[0], 0x33);
    EXPECT_EQ(surface.row(2)[2], 0x11);
    EXPECT_EQ(surface.row(0)[0], 0x66);
    EXPECT_EQ(surface.row(0)[2], 0x44);
}

TEST(BlitConversion, FrameWithoutDirtyLinesWritesNothing) {
    copy_bytes_override copy;
    for (const conversion& c : every_conversion()) {
        for (bool mmx : {false, true}) {
            test_screen screen(8, 3, c.source_depth, 1, mmx);
            screen.dirty.assign(3, 0);
            display_surface surface(8, 3, c.display_depth);
            select_blitter(c.display_depth, c.rgb_order ? 1 : 0)(surface.row(0), surface.pitch);
            EXPECT_EQ(surface.memory, std::vector<uint8_t>(surface.memory.size(), untouched))
                << describe(c, 8, 1, mmx);
        }
    }
}

// Values worked out by hand, in both forms.
uint32_t convert_first_pixel(int32_t source_depth, uint32_t value, int32_t display_depth,
                             int32_t rgb_order, bool mmx) {
    test_screen screen(4, 1, source_depth, 1, mmx);
    screen.set_pixel(0, 0, value);
    display_surface surface(4, 1, display_depth);
    select_blitter(display_depth, rgb_order)(surface.row(0), surface.pitch);
    uint32_t result = 0;
    std::memcpy(&result, surface.row(0), static_cast<size_t>(surface.bytes_per_pixel));
    return result;
}

TEST(BlitConversion, TrueColourPixelLosesItsTopByteOn24And15BitDisplays) {
    for (bool mmx : {false, true}) {
        EXPECT_EQ(convert_first_pixel(32, 0xFF123456, 24, 0, mmx), 0x123456u);
        EXPECT_EQ(convert_first_pixel(32, 0xFF123456, 15, 1, mmx), 0x28C2u);
    }
}

TEST(BlitConversion, WhitePaletteEntryIsFullWhiteInEitherOrder) {
    for (bool mmx : {false, true}) {
        for (int32_t order : {0, 1}) {
            EXPECT_EQ(convert_first_pixel(8, 255, 15, order, mmx), 0x7FFFu);
            EXPECT_EQ(convert_first_pixel(8, 255, 16, order, mmx), 0xFFFFu);
        }
    }
}

TEST(BlitConversion, Full16BitPixelExpandsWithoutLowBitReplication) {
    for (bool mmx : {false, true}) {
        for (int32_t order : {0, 1}) {
            EXPECT_EQ(convert_first_pixel(16, 0xFFFF, 32, order, mmx), 0x00F8FCF8u);
        }
    }
}

TEST(BlitConversion, PaletteChangeShowsInTheNextConversion) {
    for (bool mmx : {false, true}) {
        test_screen screen(4, 1, 8, 1, mmx);
        screen.set_pixel(0, 0, 7);
        screen.context->device_palette[7] = 0x000000FF;
        display_surface surface(4, 1, 32);
        const conversion_routine routine = select_blitter(32, 0);
        routine(surface.row(0), surface.pitch);
        EXPECT_EQ(surface.row(0)[2], 0xFF);
        screen.context->device_palette[7] = 0x00FF0000;
        routine(surface.row(0), surface.pitch);
        EXPECT_EQ(surface.row(0)[0], 0xFF);
        EXPECT_EQ(surface.row(0)[2], 0x00);
    }
}

TEST(BlitConversion, Rgb32To32PutsGreenInTheTopByte) {
    EXPECT_EQ(convert_first_pixel(32, 0x80123456, 32, 1, false), 0x34563412u);
    EXPECT_EQ(convert_first_pixel(32, 0x80123456, 32, 1, true), 0x34563412u);
}

TEST(BlitConversion, SixPixels16To24WriteEighteenBytesInOneOrder) {
    test_screen screen(6, 1, 16, 1, false);
    const uint16_t pixels[6] = {0xF800, 0x07E0, 0x001F, 0xFFFF, 0x0801, 0x8410};
    for (int32_t x = 0; x < 6; ++x)
        screen.set_pixel(x, 0, pixels[x]);
    display_surface surface(6, 1, 24);
    select_blitter(24, 1)(surface.row(0), surface.pitch);
    const uint8_t want[18] = {0xF8, 0,    0,    0,    0xFC, 0,    0,    0,    0xF8,
                              0xF8, 0xFC, 0xF8, 0x08, 0,    0x08, 0x80, 0x80, 0x80};
    EXPECT_EQ(std::vector<uint8_t>(surface.row(0), surface.row(0) + 18),
              std::vector<uint8_t>(want, want + 18));
    EXPECT_EQ(surface.row(0)[18], untouched);
}

TEST(BlitConversion, CopyLinesMovesPitchBytesThroughCopyBytes) {
    static int calls;
    static size_t last_count;
    calls = 0;
    const copy_bytes_routine saved = copy_bytes;
    copy_bytes = [](void* d, const void* s, size_t n) {
        ++calls;
        last_count = n;
        std::memcpy(d, s, n);
    };
    test_screen screen(7, 4, 8, 2, false);
    screen.dirty = {1, 0, 0, 1};
    screen.context->dirty = screen.dirty.data();
    display_surface surface(7, 8, 8);
    blit_copy_lines(surface.row(0), surface.pitch);
    copy_bytes = saved;
    EXPECT_EQ(calls, 4); // two dirty lines, two rows each
    EXPECT_EQ(last_count, 7u);
}

} // namespace
