// A walk through the library's public surface in the order docs/library.md takes it: every
// operation of the public headers is called at least once, on the null driver, and gives what
// the guide and the headers promise. api_walk_covers checks that no public operation is left
// out. The window's part (typing keys, holding a key, posting events) is played by the stand-ins
// below, which reach inside the library as the window thread does.
#include "gfx/gfx.h"

#include "gfx/internal/gfx_context.h"
#include "gfx/internal/input_state.h"
#include "runtime/os/os.h"
#ifdef _WIN32
#include "gfx/win32/opengl.h"
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <thread>

namespace {

// What the screen's window thread does when the user types, holds a key or moves the mouse.
namespace window {

void type(const char* keys) {
    for (; *keys; ++keys)
        post_key(static_cast<unsigned char>(*keys));
}
void hold(int32_t scancode) {
    gfx_screen->key_state[scancode] = 1;
}
void post(int32_t type, int32_t a = 0, int32_t b = 0, int32_t c = 0, int32_t d = 0) {
    const event_record record{type, {a, b, c, d}};
    post_event(&record);
}

} // namespace window

char program_name[] = "api_walk";
char walk_option[] = "--walk";
char* arguments[] = {program_name, walk_option, nullptr};

// The pixel at (x, y) of the work page of a 32-bit screen of the given width.
uint32_t pixel32(int32_t x, int32_t y, int32_t width) {
    return reinterpret_cast<const uint32_t*>(screen_ptr())[y * width + x];
}

// Palette entry index as three reads of the VGA data port: 0x00BBGGRR of 6-bit parts.
uint32_t entry(int32_t index) {
    port_write(0x3C7, index);
    const uint32_t red = static_cast<uint32_t>(port_read(0x3C9));
    const uint32_t green = static_cast<uint32_t>(port_read(0x3C9));
    return red | green << 8 | static_cast<uint32_t>(port_read(0x3C9)) << 16;
}

void say_goodbye() {
    std::fputs("goodbye\n", stderr);
}

class ApiWalk : public testing::Test {
  protected:
    void SetUp() override {
        os_set_environment("QXGFX", "null"); // as the user would set it
        key_buffer_clear();
        runtime_start();
        runtime_init(2, arguments, 0);
    }
    void TearDown() override {
        close_screen();
        runtime_stop();
    }
};

TEST_F(ApiWalk, StartsKeepsTheArgumentsAndEnds) {
    EXPECT_EQ(runtime_argument_count(), 2);
    EXPECT_STREQ(runtime_arguments()[1], "--walk");
    EXPECT_EQ(runtime_dialect(), 0);
    EXPECT_EQ(error_set(error_memory), 4);
    EXPECT_EQ(error_number(), 4);
    error_set(error_none);
    EXPECT_EQ(error_number(), 0);
    // program_end runs the exit handlers and ends the process with its code.
    EXPECT_EXIT(
        {
            exit_handler_add(say_goodbye);
            program_end(3);
        },
        testing::ExitedWithCode(3), "goodbye");
}

TEST_F(ApiWalk, TemporaryTextsAreReleasedByWhatReceivesThem) {
    const int32_t in_use = text_pool_in_use();
    text name{};
    EXPECT_EQ(text_assign(&name, text_make("walk", 4)), 0); // moved, not copied
    EXPECT_EQ(text_pool_in_use(), in_use);
    EXPECT_EQ(text_length(&name), 4u);
    EXPECT_STREQ(text_bytes(&name), "walk");
    EXPECT_FALSE(text_is_temporary(&name));
    text* letter = text_char(0x141);
    EXPECT_TRUE(text_is_temporary(letter));
    EXPECT_EQ(text_pool_in_use(), in_use + 1);
    EXPECT_EQ(text_compare(letter, "A"), 0); // releases the temporary
    EXPECT_EQ(text_pool_in_use(), in_use);
    EXPECT_EQ(text_compare(&name, &name), 0); // a variable is never released
    EXPECT_EQ(text_compare(&name, "walks"), -1);
    EXPECT_EQ(text_compare(key_text(0x48FF), "\xFF"
                                             "H"),
              0);
    text_release(text_make("x", 1));
    EXPECT_EQ(text_pool_in_use(), in_use);
    text_free(&name);
    EXPECT_EQ(text_length(&name), 0u);
    EXPECT_EQ(text_length(text_empty()), 0u);
}

TEST_F(ApiWalk, RandomNumbersRepeatFromTheirSeed) {
    random_seed(812.7, 0);
    double first[3];
    for (double& value : first)
        value = random_next(1.0f);
    EXPECT_EQ(random_next(0.0f), first[2]); // 0 repeats the last value
    random_seed(812.2, random_twister);     // the same whole seconds
    double again[3];
    random_fill(again, 3);
    EXPECT_EQ(std::memcmp(first, again, sizeof first), 0);
    for (double value : first) {
        EXPECT_GE(value, 0.0);
        EXPECT_LT(value, 1.0);
    }
    const double* ahead = nullptr;
    ASSERT_GT(random_ahead(&ahead), 0);
    const double next = ahead[0];
    random_skip(1);
    EXPECT_EQ(random_next(0.0f), next);
    random_seed(5.0, random_lcg32);
    EXPECT_EQ(random_next(1.0f), 1022226848.0 / 4294967296.0); // 5 * 1664525 + 1013904223
    const double earlier = timer_seconds();
    EXPECT_GE(timer_seconds(), earlier);
}

TEST_F(ApiWalk, AMutexIsTakenByOneThreadAtATime) {
    mutex* m = mutex_create();
    ASSERT_NE(m, nullptr);
    bool taken = false;
    mutex_lock(m);
    std::thread other([&] {
        mutex_lock(m);
        taken = true;
        mutex_unlock(m);
    });
    mutex_unlock(m);
    other.join();
    EXPECT_TRUE(taken);
    mutex_destroy(m);
    mutex_lock(nullptr);
    mutex_unlock(nullptr);
    mutex_destroy(nullptr);
}

TEST_F(ApiWalk, EveryNumberedModeOpensAsItsTableSays) {
    struct mode_row {
        int32_t mode, width, height, depth, columns, rows;
    };
    // clang-format off
    constexpr mode_row modes[] = {
        // mode width height depth columns rows
        { 1,  320,  200, 2,  40, 25},
        { 2,  640,  200, 1,  80, 25},
        { 7,  320,  200, 4,  40, 25},
        { 8,  640,  200, 4,  80, 25},
        { 9,  640,  350, 4,  80, 25},
        {10,  640,  350, 1,  80, 25},
        {11,  640,  480, 1,  80, 30},
        {12,  640,  480, 4,  80, 30},
        {13,  320,  200, 8,  40, 25},
        {14,  320,  240, 8,  40, 30},
        {15,  400,  300, 8,  50, 37},
        {16,  512,  384, 8,  64, 24},
        {17,  640,  400, 8,  80, 25},
        {18,  640,  480, 8,  80, 30},
        {19,  800,  600, 8, 100, 37},
        {20, 1024,  768, 8, 128, 48},
        {21, 1280, 1024, 8, 160, 64},
    };
    // clang-format on
    screen_info info{};
    for (const mode_row& m : modes) {
        SCOPED_TRACE(m.mode);
        ASSERT_EQ(screen_mode(m.mode, 0, 1, 0, 0), 0);
        EXPECT_EQ(screen_describe(&info), 0);
        EXPECT_EQ(info.mode, m.mode);
        EXPECT_EQ(info.width, m.width);
        EXPECT_EQ(info.height, m.height);
        EXPECT_EQ(info.depth, m.depth);
        EXPECT_EQ(info.pages, 1);
        EXPECT_STREQ(info.driver, "Null");
        int32_t columns = 0, rows = 0;
        text_screen_size(&columns, &rows);
        EXPECT_EQ(columns, m.columns);
        EXPECT_EQ(rows, m.rows);
    }
    EXPECT_STREQ(window_title(), "api_walk"); // the executable's name
    for (int32_t refused : {3, 4, 5, 6, 22, -1})
        EXPECT_EQ(screen_mode(refused, 0, 1, 0, 0), error_argument);
    EXPECT_EQ(screen_describe(&info), 0); // the open screen stayed
    EXPECT_EQ(info.mode, 21);

    ASSERT_EQ(screen_mode(13, 32, 2, 0, 0), 0); // modes up to 13 keep their depth
    screen_describe(&info);
    EXPECT_EQ(info.depth, 8);
    EXPECT_EQ(info.pages, 2);
    ASSERT_EQ(screen_mode(18, 32, 1, 0, 0), 0);
    screen_describe(&info);
    EXPECT_EQ(info.depth, 32);
    ASSERT_EQ(screen_res(1280, 768, 24, 1, 0, 0), 0); // 24 bits are kept as 32
    screen_describe(&info);
    EXPECT_EQ(info.mode, -1);
    EXPECT_EQ(info.depth, 32);
    EXPECT_EQ(screen_res(0, 200, 8, 1, 0, 0), error_argument);
    EXPECT_EQ(screen_res(320, 200, 12, 1, 0, 0), error_argument);
    EXPECT_EQ(screen_res(2048, 200, 8, 1, 0, 0), error_argument);
    EXPECT_EQ(screen_mode_pages(13, 0, 0), 0);

    const int32_t in_use = text_pool_in_use();
    EXPECT_EQ(set_window_title(text_make("starfield", 9)), 0);
    EXPECT_STREQ(window_title(), "starfield");
    EXPECT_EQ(text_pool_in_use(), in_use);

    EXPECT_EQ(screen_mode(0, 0, 0, 0, 0), 0); // closes the screen
    EXPECT_EQ(screen_describe(&info), error_argument);
    EXPECT_EQ(info.driver, nullptr);
}

TEST_F(ApiWalk, PointsArePlottedInTheScreensOwnColours) {
    ASSERT_EQ(screen_res(64, 32, 32, 1, 0, 0), 0);
    EXPECT_EQ(pixel32(0, 0, 64), 0xFF000000u); // a new screen is black
    plot_pixel(nullptr, 10.5f, 20.0f, 0xFF112233u, coords_point, 0);
    EXPECT_EQ(pixel32(11, 20, 64), 0xFF112233u); // 10.5 rounds away from zero
    plot_pixel(nullptr, 1.0f, 1.0f, 0xFF445566u, coords_point_relative, 0);
    EXPECT_EQ(pixel32(12, 21, 64), 0xFF445566u); // from (10.5, 20) to (11.5, 21)
    plot_pixel(nullptr, 0.49f, 1.0f, 0, coords_point | coords_no_colour, 0);
    EXPECT_EQ(pixel32(0, 1, 64), 0xFFFFFFFFu); // the foreground
    plot_pixel(nullptr, 0.0f, 1.0f, 0, coords_point | coords_no_colour, 1);
    EXPECT_EQ(pixel32(0, 1, 64), 0xFF000000u);                      // the background
    plot_pixel(nullptr, -0.5f, 0.0f, 0xFFFFFFFFu, coords_point, 0); // column -1: dropped
    plot_pixel(nullptr, 63.5f, 0.0f, 0xFFFFFFFFu, coords_point, 0); // column 64: dropped
    EXPECT_EQ(pixel32(63, 0, 64), 0xFF000000u);
    EXPECT_EQ(pixel32(0, 1, 64), 0xFF000000u);
    plot_pixel_ahead(5.0f, 5.0f);
    reset_view();

    // A program's own pixels, under the lock.
    screen_lock();
    reinterpret_cast<uint32_t*>(screen_ptr())[5 * 64 + 5] = 0xFFABCDEFu;
    screen_unlock(5, 5);
    EXPECT_EQ(pixel32(5, 5, 64), 0xFFABCDEFu);

    // An image of the new form, 4 x 4 pixels of 4 bytes.
    uint32_t image[8 + 16] = {image_new_header, 4, 4, 4, 16};
    plot_pixel(image, 1.0f, 2.0f, 0xFF00FF00u, coords_point, 0);
    EXPECT_EQ(image[8 + 2 * 4 + 1], 0xFF00FF00u);

    ASSERT_EQ(screen_res(64, 32, 16, 1, 0, 0), 0);
    plot_pixel(nullptr, 1.0f, 1.0f, 0xFFFFFF00u, coords_point, 0);
    EXPECT_EQ(reinterpret_cast<const uint16_t*>(screen_ptr())[64 + 1], 0xFFE0); // 5:6:5
    ASSERT_EQ(screen_mode(13, 0, 1, 0, 0), 0);
    plot_pixel(nullptr, 1.0f, 1.0f, 0x112, coords_point, 0);
    EXPECT_EQ(screen_ptr()[320 + 1], 0x12); // a pixel value
    ASSERT_EQ(screen_res(64, 32, 32, 1, alpha_primitives, 0), 0);
    plot_pixel(nullptr, 1.0f, 1.0f, 0x80FF0000u, coords_point, 0);
    EXPECT_EQ(pixel32(1, 1, 64) & 0xFFFFFF, 0x7F0000u); // half red over black
}

TEST_F(ApiWalk, TextIsPrintedClearedAndReadBackOnTheScreen) {
    ASSERT_EQ(screen_res(640, 480, 32, 1, 0, 0), 0);
    int32_t columns = 0, rows = 0, column = 0, row = 0;
    text_screen_size(&columns, &rows);
    EXPECT_EQ(columns, 80);
    EXPECT_EQ(rows, 60);
    print_bytes("A", 1, 0);
    EXPECT_EQ(read_cell_graphics(1, 1, 0), uint32_t{'A'});
    EXPECT_EQ(read_cell_graphics(1, 1, 1), 0xFFFFFFFFu);
    EXPECT_EQ(read_cell_graphics(1, 1, 2), 0xFF000000u);
    // Row 2 of the 8 x 8 "A" is 0x33: its pixels 0, 1, 4 and 5 are set, bit 0 on the left.
    EXPECT_EQ(pixel32(0, 2, 640), 0xFFFFFFFFu);
    EXPECT_EQ(pixel32(2, 2, 640), 0xFF000000u);
    EXPECT_EQ(pixel32(5, 2, 640), 0xFFFFFFFFu);
    text_position_graphics(&column, &row);
    EXPECT_EQ(column, 2);
    EXPECT_EQ(row, 1);

    EXPECT_EQ(text_color(0xFFFFFF00u, 0xFF000080u, 0), 0xFFFFFFFFu); // the previous foreground
    EXPECT_EQ(text_locate(5, 10, -1), 0x050A);
    print_bytes("B\r\nC", 4, 0);
    EXPECT_EQ(read_cell_graphics(10, 5, 0), uint32_t{'B'});
    EXPECT_EQ(read_cell_graphics(10, 5, 1), 0xFFFFFF00u);
    EXPECT_EQ(read_cell_graphics(1, 6, 0), uint32_t{'C'});
    const uint16_t wide[2] = {'D', 0x263A};
    text_print_wide_graphics(wide, 2, 0);
    EXPECT_EQ(read_cell_graphics(2, 6, 0), uint32_t{'D'});
    EXPECT_EQ(read_cell_graphics(3, 6, 0), uint32_t{'?'});

    EXPECT_EQ(text_view(2, 10, 1), 2 | 10 << 16);
    EXPECT_EQ(view_top_row(), 1);
    EXPECT_EQ(view_bottom_row(), 9);
    text_position_graphics(&column, &row);
    EXPECT_EQ(row, 2);
    text_locate(12, 1, -1); // below the view: refused
    text_position_graphics(&column, &row);
    EXPECT_EQ(row, 2);
    view_update();
    text_clear(2); // the view's rows only
    EXPECT_EQ(read_cell_graphics(1, 6, 0), uint32_t{' '});
    EXPECT_EQ(read_cell_graphics(1, 1, 0), uint32_t{'A'});
    text_clear(text_clear_unspecified); // no graphics view, a partial text view: as 2
    EXPECT_EQ(read_cell_graphics(1, 1, 0), uint32_t{'A'});
    text_clear(0);
    EXPECT_EQ(read_cell_graphics(1, 1, 0), uint32_t{' '});
    EXPECT_EQ(pixel32(0, 2, 640), 0xFF000080u); // in the new background

    EXPECT_EQ(text_width(80, 30), 80 | 60 << 16); // 8 x 16 cells
    text_screen_size(&columns, &rows);
    EXPECT_EQ(rows, 30);
    EXPECT_EQ(text_width(80, 31), 80 | 30 << 16); // 8 x 15 cells: refused
    text_screen_size(&columns, &rows);
    EXPECT_EQ(rows, 30);
}

TEST_F(ApiWalk, LinesAreReadFromTheScreensLineEditor) {
    ASSERT_EQ(screen_res(320, 200, 32, 1, 0, 0), 0);
    window::type("ok\r");
    text line{};
    EXPECT_EQ(line_input(text_make("Name", 4), &line, -1, 0, 1, 1), 0);
    EXPECT_STREQ(text_bytes(&line), "ok");
    const char shown[] = "Name? ok";
    for (int32_t i = 0; i < 8; ++i)
        EXPECT_EQ(read_cell_graphics(i + 1, 1, 0), static_cast<uint32_t>(shown[i]));
    window::type("x\r");
    EXPECT_EQ(text_compare(line_read(), "x"), 0);
    EXPECT_EQ(line_store(&line, 5, 1, text_make("ab", 2)), 0);
    EXPECT_STREQ(text_bytes(&line), "ab   ");
    text_free(&line);
    uint16_t wide[4] = {9, 9, 9, 9};
    EXPECT_EQ(line_store_wide(wide, 4, 1, text_make("hi", 2)), 0);
    EXPECT_EQ(wide[0], 'h');
    EXPECT_EQ(wide[1], 'i');
    EXPECT_EQ(wide[2], 0);
    EXPECT_EQ(wide[3], 0);
    window::type("yo\r");
    EXPECT_EQ(line_input_wide(nullptr, wide, 4, 0, 0, 0), 0);
    EXPECT_EQ(wide[0], 'y');
    EXPECT_EQ(wide[1], 'o');
    EXPECT_EQ(wide[2], 0);
}

TEST_F(ApiWalk, PalettesChangeThroughTheOperationsAndThePorts) {
    ASSERT_EQ(screen_mode(13, 0, 1, 0, 0), 0);
    EXPECT_EQ(entry(1), 0x2A0000u); // default entry 1: blue 170, 42 in 6 bits
    EXPECT_EQ(port_write(0x3C8, 1), 0);
    for (int32_t part : {63, 0, 0})
        EXPECT_EQ(port_write(0x3C9, part), 0);
    EXPECT_EQ(entry(1), 0x00003Fu);
    palette_change(2, 0, 255, 0); // red, green, blue of 0 to 255
    EXPECT_EQ(entry(2), 0x003F00u);
    palette_change(3, 0x3F0000); // 0x00BBGGRR of 0 to 63
    EXPECT_EQ(entry(3), 0x3F0000u);
    int32_t colours[256];
    std::fill(std::begin(colours), std::end(colours), -1);
    colours[4] = 0x3F;
    palette_using(colours);
    EXPECT_EQ(entry(4), 0x00003Fu);
    EXPECT_EQ(entry(5), 0x2A002Au); // untouched: magenta
    palette_change(-1);             // back to the defaults
    EXPECT_EQ(entry(1), 0x2A0000u);
    EXPECT_EQ(port_read(0x3DA), 8);

    ASSERT_EQ(screen_mode(9, 0, 1, 0, 0), 0); // 16 pixel values of a 64-entry palette
    palette_change(1, 20);
    EXPECT_EQ(entry(1), 0x00152Au); // entry 20: brown, 170, 85, 0

    ASSERT_EQ(screen_res(64, 32, 32, 1, 0, 0), 0); // no palette at 32 bits
    EXPECT_EQ(port_write(0x3C8, 1), -1);
    EXPECT_EQ(port_read(0x3C9), -1);
    EXPECT_EQ(port_read(0x3DA), 8);
}

TEST_F(ApiWalk, OnePageIsDrawnWhileTheOtherIsShown) {
    ASSERT_EQ(screen_res(64, 32, 32, 2, 0, 0), 0);
    EXPECT_EQ(page_set(1, 0), 0x0000); // previously visible 0, work 0
    plot_pixel(nullptr, 3.0f, 4.0f, 0xFFFFFFFFu, coords_point, 0);
    EXPECT_EQ(pixel32(3, 4, 64), 0xFFFFFFFFu); // on page 1
    screen_info info{};
    screen_describe(&info);
    EXPECT_EQ(info.work_page, 1);
    EXPECT_EQ(info.visible_page, 0);
    EXPECT_EQ(page_copy(1, 0), 0);
    EXPECT_EQ(page_copy(0, 2), error_argument);
    EXPECT_EQ(page_copy(2, 0), error_argument);
    EXPECT_EQ(page_set(0, 1), 0x0001);
    EXPECT_EQ(pixel32(3, 4, 64), 0xFFFFFFFFu); // page 0 has the copy
    EXPECT_EQ(page_set(-1, -1), 0x0100);       // both negative: 0 and 0
    EXPECT_EQ(page_set(5, 5), 0x0000);         // out of range: nothing changes
    screen_describe(&info);
    EXPECT_EQ(info.work_page, 0);
    EXPECT_EQ(info.visible_page, 0);
}

TEST_F(ApiWalk, KeysArriveAsTextAsCodesAndAsKeyState) {
    ASSERT_EQ(screen_res(64, 32, 32, 1, 0, 0), 0);
    window::type("a");
    EXPECT_EQ(key_hit(), 1);
    EXPECT_EQ(text_compare(key_read_text(), "a"), 0);
    EXPECT_EQ(key_hit(), 0);
    EXPECT_EQ(text_compare(key_read_text(), ""), 0); // none waits: the empty text
    post_key(0x48FF);                                // cursor up
    EXPECT_EQ(text_compare(key_read_text(), "\xFF"
                                            "H"),
              0);
    post_key(close_key);
    EXPECT_EQ(get_key(), close_key);
    EXPECT_EQ(get_key(), 0);
    window::type("z");
    EXPECT_EQ(key_wait(), 'z');
    window::type("q");
    key_sleep(-1); // a key typed since the last read ends it at once
    EXPECT_EQ(get_key(), 'q');
    key_sleep(10);
    window::hold(1);
    EXPECT_EQ(key_down(1), -1); // Escape is down
    EXPECT_EQ(key_down(57), 0);
    EXPECT_EQ(key_down(128), 0);
}

TEST_F(ApiWalk, EventsAreReadInTheOrderTheWindowPostedThem) {
    ASSERT_EQ(screen_res(64, 32, 32, 1, 0, 0), 0);
    window::post(event_mouse_moved, 40, 30, 3, 4);
    window::post(event_close);
    event_record event{};
    ASSERT_EQ(get_event(&event), 1);
    EXPECT_EQ(event.type, event_mouse_moved);
    EXPECT_EQ(event.field[0], 40);
    EXPECT_EQ(event.field[1], 30);
    ASSERT_EQ(get_event(&event), 1);
    EXPECT_EQ(event.type, event_close);
    EXPECT_EQ(get_event(&event), 0);
    window::post(event_focus_gained);
    ASSERT_EQ(screen_res(64, 32, 32, 1, 0, 0), 0); // a mode set empties the queue
    EXPECT_EQ(get_event(&event), 0);

    int32_t x = 0, y = 0, wheel = 0, buttons = 0, clip = 0;
    EXPECT_EQ(mouse_read(&x, &y, &wheel, &buttons, &clip), error_argument); // no mouse
    EXPECT_EQ(x, -1);
    EXPECT_EQ(clip, -1);
    EXPECT_EQ(mouse_read(&x, &y, nullptr, nullptr, nullptr), error_argument);
    EXPECT_EQ(mouse_set(10, 10, 1, 0), error_argument);
}

#ifdef _WIN32
TEST_F(ApiWalk, OpenGLHelpersDoNothingWithoutAnOpenGLScreen) {
    ASSERT_EQ(screen_res(64, 32, 32, 1, 0, 0), 0);
    EXPECT_EQ(gl_get_proc_address("glClear"), nullptr);
    EXPECT_EQ(has_extension("GL_EXT_bgra"), 0);
    const uint32_t image[8] = {image_new_header, 4, 48, 40, 192};
    EXPECT_EQ(gl_create_texture(image, 0xFFFF8000u), 0u);
    gl_delete_texture(0);
    gl_set_texturing(1);
    gl_setup_2d();
    gl_flip();
    gl_poll_events();
}
#endif

TEST_F(ApiWalk, WithNoScreenGraphicsOperationsAnswerAsPromised) {
    close_screen();
    plot_pixel(nullptr, 1.0f, 1.0f, 0xFFFFFFFFu, coords_point, 0);
    EXPECT_EQ(page_set(0, 0), -1);
    EXPECT_EQ(page_copy(0, 0), error_argument);
    EXPECT_EQ(screen_ptr(), nullptr);
    event_record event{};
    EXPECT_EQ(get_event(&event), 0);
    EXPECT_EQ(read_cell_graphics(1, 1, 0), 0u);
    int32_t column = 9, row = 9;
    text_position_graphics(&column, &row);
    EXPECT_EQ(column, 0);
    EXPECT_EQ(row, 0);
    EXPECT_EQ(port_read(0x3DA), -1);
    palette_change(1, 63);
    EXPECT_EQ(key_down(1), 0);
    text_print_wide_graphics(nullptr, 0, 0);
}

} // namespace
