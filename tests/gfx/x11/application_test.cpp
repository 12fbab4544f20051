// The program and the text example natively, on the X11 driver: what their windows show, and
// their ways of ending.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/gfx/x11/program_test.h"
#include "tests/gfx/x11/x11_display.h"

namespace {

void pause_for(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

class Application : public ProgramTest {
  protected:
    void launch() { start_program(CLOUDDISK_PROGRAM, {}, "qxgfxclass_clouddisk"); }
};

TEST_F(Application, ShowsTheDiskAroundTheSourceAndEndsOnEscape) {
    launch();
    pause_for(3000);
    expect_disk_in_window([this] { return shoot(); });
    type_on_window("key space");
    type_on_window("key space");
    EXPECT_EQ(exit_code(0), -1);
    press_escape();
    EXPECT_EQ(exit_code(), 0);
}

TEST_F(Application, CloseButtonEndsTheProgram) {
    launch();
    pause_for(500);
    send_close_request(window);
    EXPECT_EQ(exit_code(), 0);
}

class TextDemo : public ProgramTest {};

TEST_F(TextDemo, AsksForANameAndGreetsIt) {
    start_program(TEXT_DEMO_PROGRAM, {"--ask", "--seconds", "60"}, "qxgfxclass_text_demo",
                  "Who goes there\r\n");
    pause_for(1000);
    constexpr uint32_t white = 0xFFFFFF, black = 0x000000;
    // The prompt and the block cursor that waits after it.
    EXPECT_EQ(glyph_mismatches(shoot(), 0, 1, "Name? \xDB ", white, black), 0);
    type_on_window("type Bob", 500);
    type_on_window("key BackSpace", 500);
    type_on_window("type ob", 500);
    type_on_window("key Return", 500);
    const window_shot seen = shoot();
    EXPECT_EQ(glyph_mismatches(seen, 0, 0, "Who goes there", white, black), 0);
    EXPECT_EQ(glyph_mismatches(seen, 0, 1, "Name? Boob  ", white, black), 0);
    EXPECT_EQ(glyph_mismatches(seen, 0, 2, "Hello, Boob ", white, black), 0);
    type_on_window("key space");
    EXPECT_EQ(exit_code(15000), 0);
}

} // namespace
