#include "gfx/draw_state.h"
#include "gfx/gfx_context.h"
#include "gfx/screen.h"
#include "runtime/os/os.h"
#include "runtime/runtime.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>
#include <vector>

namespace {

class Plotting : public testing::Test {
  protected:
    void SetUp() override {
        runtime_start();
        os_set_environment("QXGFX", "null");
    }
    void TearDown() override { close_screen(); }
    // The draw state with a graphics view of w x h pixels from (x, y) set.
    static draw_state* with_view(int32_t x, int32_t y, int32_t w, int32_t h) {
        draw_state* s = get_draw_state();
        s->view_x = x;
        s->view_y = y;
        s->view_w = w;
        s->view_h = h;
        s->flags |= draw_view_set;
        return s;
    }
    static uint32_t pixel32(int32_t x, int32_t y) {
        return reinterpret_cast<const uint32_t*>(
            gfx_screen->visible_buffer)[y * gfx_screen->width + x];
    }
};

TEST_F(Plotting, CoordinatesRoundHalfAwayFromZero) {
    ASSERT_EQ(screen_res(1280, 768, 24, 1, 0, 0), 0);
    const draw_state* s = get_draw_state();
    int32_t px, py;
    map_point(s, 0.5f, -0.5f, &px, &py);
    EXPECT_EQ(px, 1);
    EXPECT_EQ(py, -1);
    map_point(s, 0.49f, 1279.5f, &px, &py);
    EXPECT_EQ(px, 0);
    EXPECT_EQ(py, 1280);
    map_point(s, 739.955f, 383.948f, &px, &py);
    EXPECT_EQ(px, 740);
    EXPECT_EQ(py, 384);
    map_point(s, 3e9f, -3e9f, &px, &py); // beyond 32 bits: far outside any view
    EXPECT_LT(py, 0);
}

TEST_F(Plotting, PointsOutsideTheViewAreDropped) {
    ASSERT_EQ(screen_res(1280, 768, 24, 1, 0, 0), 0);
    std::memset(gfx_screen->dirty, 0, 768);
    plot_pixel(nullptr, 1279.5f, 10.0f, 0xFFFFFF00u, coords_point, 0);
    plot_pixel(nullptr, -0.5f, 10.0f, 0xFFFFFF00u, coords_point, 0);
    plot_pixel(nullptr, 10.0f, 767.5f, 0xFFFFFF00u, coords_point, 0);
    EXPECT_EQ(gfx_screen->dirty[10], 0);
    plot_pixel(nullptr, 1279.49f, 10.0f, 0xFFFFFF00u, coords_point, 0);
    EXPECT_EQ(pixel32(1279, 10), 0xFFFFFF00u);
    EXPECT_EQ(gfx_screen->dirty[10], 1);
    // Far out, not a number, or just below the first pixel: nothing; -0.49 is pixel 0.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const float far_out[][2] = {{3e9f, 20.0f},   {20.0f, 3e9f},  {-3e9f, 20.0f}, {nan, 20.0f},
                                {20.0f, nan},    {inf, 20.0f},   {20.0f, -inf},  {-0.51f, 20.0f},
                                {4.3e9f, 20.0f}, {20.0f, 4.3e9f}};
    // Asking for a point ahead, on the view or off it, changes nothing.
    const uint32_t before = pixel32(30, 20);
    plot_pixel_ahead(30.0f, 20.0f);
    for (const auto& p : far_out)
        plot_pixel_ahead(p[0], p[1]);
    EXPECT_EQ(pixel32(30, 20), before);
    EXPECT_EQ(get_draw_state()->last_x, 1279.49f);
    for (const auto& p : far_out)
        plot_pixel(nullptr, p[0], p[1], 0xFFFFFF00u, coords_point, 0);
    for (int32_t y = 0; y < 768; ++y)
        EXPECT_EQ(gfx_screen->dirty[y], y == 10) << y;
    plot_pixel(nullptr, -0.49f, -0.49f, 0xFFFFFF00u, coords_point, 0);
    EXPECT_EQ(pixel32(0, 0), 0xFFFFFF00u);
    // The lock is balanced again after every plot.
    EXPECT_EQ(gfx_screen->lock_count, 0);
    EXPECT_FALSE(gfx_screen->flags & context_locked);
}

TEST_F(Plotting, ColourIsConvertedToThePixelFormat) {
    EXPECT_EQ(convert_color(4, 0xFFFFFF00u), 0xFFFFFF00u);
    EXPECT_EQ(convert_color(2, 0xFFFFFF00u), 0xFFE0u);
    EXPECT_EQ(convert_color(1, 0xFFFFFF00u), 0x00u);
    ASSERT_EQ(screen_res(64, 64, 16, 1, 0, 0), 0);
    plot_pixel(nullptr, 3, 4, 0xFFFFFF00u, coords_point, 0);
    EXPECT_EQ(reinterpret_cast<const uint16_t*>(gfx_screen->visible_buffer)[4 * 64 + 3], 0xFFE0);
    ASSERT_EQ(screen_res(64, 64, 8, 1, 0, 0), 0);
    plot_pixel(nullptr, 3, 4, 0xFFFFFF07u, coords_point, 0);
    EXPECT_EQ(gfx_screen->visible_buffer[4 * 64 + 3], 0x07);
}

TEST_F(Plotting, AlphaPrimitivesBlendBelowFullAlpha) {
    ASSERT_EQ(screen_res(64, 64, 32, 1, alpha_primitives, 0), 0);
    plot_pixel(nullptr, 1, 1, 0x80FF0000u, coords_point, 0);
    EXPECT_EQ(pixel32(1, 1) & 0x00FFFFFFu, 0x007F0000u);
    plot_pixel(nullptr, 2, 1, 0xFF123456u, coords_point, 0);
    EXPECT_EQ(pixel32(2, 1), 0xFF123456u);
    ASSERT_EQ(screen_res(64, 64, 32, 1, 0, 0), 0);
    plot_pixel(nullptr, 1, 1, 0x80FF0000u, coords_point, 0); // no blending without the flag
    EXPECT_EQ(pixel32(1, 1), 0x80FF0000u);
}

TEST_F(Plotting, RelativePointsAreMeasuredFromTheLastPoint) {
    ASSERT_EQ(screen_res(64, 64, 32, 1, 0, 0), 0);
    plot_pixel(nullptr, 5, 5, 0xFF0000FFu, coords_point, 0);
    plot_pixel(nullptr, 10, 20, 0xFF0000FFu, coords_point, 0);
    plot_pixel(nullptr, 1, 1, 0xFF00FF00u, coords_point_relative, 0);
    EXPECT_EQ(pixel32(11, 21), 0xFF00FF00u);
    plot_pixel(nullptr, 1, 1, 0xFFFF0000u, coords_point_relative, 0);
    EXPECT_EQ(pixel32(12, 22), 0xFFFF0000u);
}

TEST_F(Plotting, NoColourTakesTheForegroundOrWithPresetTheBackground) {
    ASSERT_EQ(screen_res(64, 64, 32, 1, 0, 0), 0);
    plot_pixel(nullptr, 5, 5, 0x12345678u, coords_point | coords_no_colour, 0);
    EXPECT_EQ(pixel32(5, 5), 0xFFFFFFFFu);
    plot_pixel(nullptr, 5, 5, 0x12345678u, coords_point | coords_no_colour, 1);
    EXPECT_EQ(pixel32(5, 5), 0xFF000000u);
}

TEST_F(Plotting, ImagesWithEitherHeaderAreDrawnWithoutMarkingLines) {
    ASSERT_EQ(screen_res(64, 64, 32, 1, 0, 0), 0);
    std::memset(gfx_screen->dirty, 0, 64);
    std::vector<uint32_t> image(8 + 4 * 3, 0);
    image[0] = image_new_header;
    image[1] = 4;  // bytes per pixel
    image[2] = 4;  // width
    image[3] = 3;  // height
    image[4] = 16; // pitch
    plot_pixel(image.data(), 2, 1, 0xFFABCDEFu, coords_point, 0);
    EXPECT_EQ(image[8 + 4 + 2], 0xFFABCDEFu);
    plot_pixel(image.data(), 4, 1, 0xFFABCDEFu, coords_point, 0); // outside the image
    // Old header: width in bits 3-15 of the first word, then the height; the screen's format.
    std::vector<uint32_t> old(1 + 5 * 2, 0);
    auto* bytes = reinterpret_cast<uint8_t*>(old.data());
    bytes[0] = 5 << 3;
    bytes[2] = 2;
    plot_pixel(old.data(), 4, 1, 0xFF00FF00u, coords_point, 0);
    EXPECT_EQ(old[1 + 5 + 4], 0xFF00FF00u);
    // An image of bytes may start at any address.
    std::vector<uint32_t> block(9 + 1, 0);
    uint8_t* odd = reinterpret_cast<uint8_t*>(block.data()) + 1;
    const uint32_t odd_header[5] = {image_new_header, 1, 4, 1, 4};
    std::memcpy(odd, odd_header, sizeof odd_header);
    plot_pixel(odd, 2, 0, 0xFF0000C3u, coords_point, 0);
    EXPECT_EQ(odd[32 + 2], 0xC3);
    for (int32_t y = 0; y < 64; ++y)
        EXPECT_EQ(gfx_screen->dirty[y], 0) << y;
    // Back on the screen the view is the whole screen again.
    plot_pixel(nullptr, 63, 63, 0xFF00FF00u, coords_point, 0);
    EXPECT_EQ(pixel32(63, 63), 0xFF00FF00u);
    EXPECT_EQ(gfx_screen->dirty[63], 1);
}

// The program's plots keep to every change made between them: a blending screen, an image
// target, a new screen of another depth, a hidden work page.
TEST_F(Plotting, ThePlotsAfterAChangeOfTargetOrScreenFollowIt) {
    ASSERT_EQ(screen_res(64, 64, 32, 2, 0, 0), 0);
    plot_pixel(nullptr, 1, 1, 0x80FF0000u, coords_point, 0);
    plot_pixel(nullptr, 2, 1, 0x80FF0000u, coords_point, 0);
    EXPECT_EQ(pixel32(2, 1), 0x80FF0000u);
    std::vector<uint32_t> image(8 + 4 * 4, 0);
    image[0] = image_new_header;
    image[1] = image[2] = image[3] = 4;
    image[4] = 16;
    plot_pixel(image.data(), 3, 3, 0xFF00FF00u, coords_point, 0);
    plot_pixel(image.data(), 2, 3, 0xFF00FF00u, coords_point, 0);
    EXPECT_EQ(image[8 + 12 + 3], 0xFF00FF00u);
    EXPECT_EQ(image[8 + 12 + 2], 0xFF00FF00u);
    EXPECT_EQ(pixel32(3, 3), 0xFF000000u);
    page_set(1, 0);
    std::memset(gfx_screen->dirty, 0, 64);
    plot_pixel(nullptr, 4, 4, 0xFF0000FFu, coords_point, 0);
    plot_pixel(nullptr, 5, 5, 0xFF0000FFu, coords_point, 0);
    EXPECT_EQ(reinterpret_cast<uint32_t*>(gfx_screen->pages[1])[5 * 64 + 5], 0xFF0000FFu);
    EXPECT_EQ(pixel32(5, 5), 0xFF000000u);
    EXPECT_EQ(gfx_screen->dirty[5], 0);

    ASSERT_EQ(screen_res(64, 64, 32, 1, alpha_primitives, 0), 0);
    plot_pixel(nullptr, 1, 1, 0xFF000000u, coords_point, 0);
    plot_pixel(nullptr, 1, 1, 0x80FF0000u, coords_point, 0);
    EXPECT_EQ(pixel32(1, 1) & 0x00FFFFFFu, 0x007F0000u);
    ASSERT_EQ(screen_res(64, 64, 16, 1, 0, 0), 0);
    plot_pixel(nullptr, 3, 4, 0xFFFFFF00u, coords_point, 0);
    plot_pixel(nullptr, 4, 4, 0xFFFFFF00u, coords_point, 0);
    EXPECT_EQ(reinterpret_cast<const uint16_t*>(gfx_screen->visible_buffer)[4 * 64 + 4], 0xFFE0);
}

TEST_F(Plotting, NothingIsDrawnWithoutAScreen) {
    close_screen();
    plot_pixel(nullptr, 1, 1, 0xFFFFFFFFu, coords_point, 0);
    EXPECT_EQ(gfx_screen, nullptr);
}

TEST_F(Plotting, ANewScreenReinitialisesTheDrawState) {
    ASSERT_EQ(screen_res(64, 64, 32, 1, 0, 0), 0);
    plot_pixel(nullptr, 10, 20, 0xFF0000FFu, coords_point, 0);
    ASSERT_EQ(screen_res(32, 16, 32, 1, 0, 0), 0);
    draw_state* s = get_draw_state();
    EXPECT_EQ(s->screen_id, gfx_screen->id);
    EXPECT_EQ(s->last_x, 0.0f);
    EXPECT_EQ(s->view_w, 32);
    EXPECT_EQ(s->view_h, 16);
    EXPECT_EQ(s->lines[15], gfx_screen->pages[0] + 15 * 32 * 4);
}

TEST_F(Plotting, ResetViewMakesTheWholeScreenTheViewAgain) {
    ASSERT_EQ(screen_res(32, 16, 32, 1, 0, 0), 0);
    draw_state* s = with_view(4, 2, 8, 6);
    plot_pixel(nullptr, 20, 10, 0xFF00FF00u, coords_point, 0); // outside the changed view
    EXPECT_EQ(pixel32(24, 12), 0xFF000000u);
    EXPECT_EQ(pixel32(20, 10), 0xFF000000u);
    reset_view();
    EXPECT_EQ(s->view_x, 0);
    EXPECT_EQ(s->view_y, 0);
    EXPECT_EQ(s->view_w, 32);
    EXPECT_EQ(s->view_h, 16);
    EXPECT_FALSE(s->flags & draw_view_set);
    plot_pixel(nullptr, 20, 10, 0xFF00FF00u, coords_point, 0);
    plot_pixel(nullptr, 31, 15, 0xFF00FF00u, coords_point, 0);
    EXPECT_EQ(pixel32(20, 10), 0xFF00FF00u);
    EXPECT_EQ(pixel32(31, 15), 0xFF00FF00u);
}

TEST(PlainPixelRoutines, BlendKeepsTheSourceAlphaAndFillsStoreExactlyTheCount) {
    uint32_t pixels[2][4] = {{0xFF000000, 0xFF000000, 0xFF000000, 0xA5A5A5A5},
                             {0xFF000000, 0x00FFFFFF, 0x12345678, 0xA5A5A5A5}};
    uint8_t* lines[2] = {reinterpret_cast<uint8_t*>(pixels[0]),
                         reinterpret_cast<uint8_t*>(pixels[1])};
    draw_state state{};
    state.lines = lines;
    plain_blend_pixel32(&state, 0, 1, 0x80FF0000u);
    EXPECT_EQ(pixels[1][0], 0x807F0000u);
    plain_blend_pixel32(&state, 1, 1, 0xFF102030u); // full alpha replaces
    EXPECT_EQ(pixels[1][1], 0xFF102030u);
    plain_blend_pixel32(&state, 2, 1, 0x00ABCDEFu); // no alpha keeps the colour, takes the 0
    EXPECT_EQ(pixels[1][2], 0x00345678u);
    plain_blend_span32(pixels[0], 0x80FF0000u, 3);
    for (int32_t x = 0; x < 3; ++x)
        EXPECT_EQ(pixels[0][x], 0x807F0000u) << x;
    EXPECT_EQ(pixels[0][3], 0xA5A5A5A5u);

    uint16_t halves[9];
    std::fill(std::begin(halves), std::end(halves), 0xA5A5);
    plain_fill16(halves + 1, 0xABCD1234u, 7);
    EXPECT_EQ(halves[0], 0xA5A5);
    for (int32_t i = 1; i <= 7; ++i)
        EXPECT_EQ(halves[i], 0x1234) << i;
    EXPECT_EQ(halves[8], 0xA5A5);
    uint32_t words[7];
    std::fill(std::begin(words), std::end(words), 0xA5A5A5A5u);
    plain_fill32(words + 1, 0x12345678u, 5);
    EXPECT_EQ(words[0], 0xA5A5A5A5u);
    for (int32_t i = 1; i <= 5; ++i)
        EXPECT_EQ(words[i], 0x12345678u) << i;
    EXPECT_EQ(words[6], 0xA5A5A5A5u);
    plain_fill32(words, 0, 0);
    EXPECT_EQ(words[0], 0xA5A5A5A5u);
}

void* no_line_table(void*, size_t) {
    return nullptr;
}

// An image that cannot be drawn into is refused: nothing is drawn, on it or on the screen,
// and the screen stays the target.
TEST_F(Plotting, AnImpossibleImageOrOneWhoseLineTableCannotGrowIsRefused) {
    ASSERT_EQ(screen_res(64, 64, 32, 1, 0, 0), 0);
    plot_pixel(nullptr, 1, 1, 0xFF0000FFu, coords_point, 0);
    std::vector<uint32_t> image(8 + 4 * 4, 0);
    auto header = [&](uint32_t bpp, uint32_t width, uint32_t height, uint32_t pitch) {
        image[0] = image_new_header;
        image[1] = bpp;
        image[2] = width;
        image[3] = height;
        image[4] = pitch;
    };
    const uint32_t impossible[][4] = {
        {3, 4, 4, 16},           // no such pixel size
        {4, 4, 4, 8},            // lines shorter than their pixels
        {4, 4, 0x80000000u, 16}, // more lines than an int counts
        {4, 0x80000000u, 4, 16}, // wider than an int counts
        {4, 4, 4, 0xFFFFFFF0u},  // a pitch past the address space
        {2, 3, 2, 7},            // 16-bit pixels on lines an odd number of bytes apart
        {4, 3, 2, 14},           // 32-bit pixels off their alignment
    };
    for (const auto& h : impossible) {
        header(h[0], h[1], h[2], h[3]);
        plot_pixel(image.data(), 1, 1, 0xFFFFFFFFu, coords_point, 0);
        plot_pixel(image.data(), 2, 3, 0xFFFFFFFFu, coords_point, 0);
        EXPECT_EQ(pixel32(1, 1), 0xFF0000FFu) << h[0] << " " << h[2];
        EXPECT_EQ(pixel32(2, 3), 0xFF000000u);
        for (size_t i = 8; i < image.size(); ++i)
            ASSERT_EQ(image[i], 0u) << i;
    }
    std::vector<uint32_t> tall(8 + 65 * 1, 0);
    tall[0] = image_new_header;
    tall[1] = 4;
    tall[2] = 1;
    tall[3] = 65; // one line more than the screen's table holds
    tall[4] = 4;
    line_table_reallocate = no_line_table;
    plot_pixel(tall.data(), 0, 1, 0xFFFFFFFFu, coords_point, 0);
    line_table_reallocate = std::realloc;
    EXPECT_EQ(tall[8 + 1], 0u);
    EXPECT_EQ(pixel32(0, 1), 0xFF000000u);
    EXPECT_EQ(get_draw_state()->target, nullptr);
    plot_pixel(tall.data(), 0, 64, 0xFFFFFFFFu, coords_point, 0); // the table grows now
    EXPECT_EQ(tall[8 + 64], 0xFFFFFFFFu);
    plot_pixel(nullptr, 3, 3, 0xFF00FF00u, coords_point, 0);
    EXPECT_EQ(pixel32(3, 3), 0xFF00FF00u);
}

// An image freed and another allocated at its address (as allocators often do) is known by its
// header, not by its address: the plots follow the new header, in size and in pixel routines.
TEST_F(Plotting, AnImageIsPreparedAgainWhenItsHeaderChanges) {
    ASSERT_EQ(screen_res(64, 64, 8, 1, 0, 0), 0);
    std::vector<uint32_t> image(8 + 8 * 8, 0); // room for 8 x 8 pixels, first claimed 64 x 64
    image[0] = image_new_header;
    image[1] = 4;
    image[2] = image[3] = 64;
    image[4] = 256;
    plot_pixel(image.data(), 1, 0, 0xFF0000FFu, coords_point, 0);
    EXPECT_EQ(image[8 + 1], 0xFF0000FFu);
    image[2] = image[3] = 8;
    image[4] = 32;
    plot_pixel(image.data(), 30, 0, 0xFF00FF00u, coords_point, 0); // outside 8 x 8
    plot_pixel(image.data(), 2, 7, 0xFF00FF00u, coords_point, 0);
    EXPECT_EQ(image[8 + 30], 0u);
    EXPECT_EQ(image[8 + 7 * 8 + 2], 0xFF00FF00u);

    // An old header after it: the 8-bit screen's one-byte pixels, stored as bytes.
    std::vector<uint8_t> old(4 + 8, 0);
    old[0] = 8 << 3; // width 8
    old[2] = 1;      // height 1
    plot_pixel(old.data(), 7, 0, 0x2A, coords_point, 0);
    plot_pixel(old.data(), 6, 0, 0x15, coords_point, 0);
    EXPECT_EQ(old[4 + 7], 0x2A);
    EXPECT_EQ(old[4 + 6], 0x15);
    EXPECT_EQ(old[4 + 5], 0);
}

// reset_view while an image is the target resets the screen's view, which the next plot on the
// screen takes up again; the image keeps its own.
TEST_F(Plotting, ResetViewDuringAnImageTargetResetsTheScreensView) {
    ASSERT_EQ(screen_res(64, 64, 32, 1, 0, 0), 0);
    draw_state* s = with_view(4, 2, 8, 6);
    std::vector<uint32_t> image(8 + 4 * 4, 0);
    image[0] = image_new_header;
    image[1] = image[2] = image[3] = 4;
    image[4] = 16;
    plot_pixel(image.data(), 1, 1, 0xFFFFFFFFu, coords_point, 0);
    reset_view();
    plot_pixel(image.data(), 10, 3, 0xFFFFFFFFu, coords_point, 0); // right of the 4 x 4 image
    plot_pixel(image.data(), 3, 3, 0xFF00FF00u, coords_point, 0);
    EXPECT_EQ(image[8 + 4 + 1], 0xFFFFFFFFu);
    EXPECT_EQ(image[8 + 12 + 3], 0xFF00FF00u);
    plot_pixel(nullptr, 20, 10, 0xFF0000FFu, coords_point, 0);
    EXPECT_EQ(pixel32(20, 10), 0xFF0000FFu);
    EXPECT_FALSE(s->flags & draw_view_set);
}

// Lines 2^31 bytes and more from the start: on 64-bit builds such an image is drawn into, with
// every line in its place; a 32-bit address space cannot hold it, so there it is refused.
TEST_F(Plotting, AnImageOfMoreThanTwoGigabytesHasEveryLineInPlaceOrIsRefused) {
    ASSERT_EQ(screen_res(64, 64, 32, 1, 0, 0), 0);
    constexpr uint32_t width = 40000, pitch = width * 4, height = 20000;
    std::vector<uint32_t> first_line(8 + width, 0); // only line 0 is drawn into
    first_line[0] = image_new_header;
    first_line[1] = 4;
    first_line[2] = width;
    first_line[3] = height;
    first_line[4] = pitch;
    plot_pixel(first_line.data(), 5, 0, 0xFFFFFFFFu, coords_point, 0);
    const draw_state* s = get_draw_state();
    if (sizeof(void*) == 4) {
        EXPECT_EQ(first_line[8 + 5], 0u);
        EXPECT_EQ(s->target, nullptr);
        return;
    }
    EXPECT_EQ(first_line[8 + 5], 0xFFFFFFFFu);
    ASSERT_EQ(s->target, first_line.data());
    const auto* data = reinterpret_cast<const uint8_t*>(first_line.data()) + 32;
    EXPECT_EQ(s->lines[height - 1] - data, static_cast<ptrdiff_t>(height - 1) * pitch);
}

} // namespace
