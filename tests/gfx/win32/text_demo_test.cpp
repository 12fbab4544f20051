// text_demo under the GDI driver: its standard input drawn as glyphs in the cells of the
// window, in the chosen colours, and a line typed on the display read back and greeted.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "gfx/internal/builtin_data.h"
#include "tests/gfx/win32/program_test.h"
#include "tests/gfx/win32/test_window.h"

namespace {

class TextDemo : public ProgramTest {
  protected:
    void SetUp() override {
        ProgramTest::SetUp();
        expand_builtin_data();
    }
    // Starts text_demo with options, its standard input a file holding input, and waits for
    // its window.
    void start(const std::string& options, const std::string& input) {
        char folder[MAX_PATH];
        GetTempPathA(sizeof folder, folder);
        const std::string input_name = std::string(folder) + "text_demo_input.txt";
        FILE* file = std::fopen(input_name.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fwrite(input.data(), 1, input.size(), file);
        std::fclose(file);
        SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
        HANDLE in = CreateFileA(input_name.c_str(), GENERIC_READ, FILE_SHARE_READ, &inherited,
                                OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(in, INVALID_HANDLE_VALUE);
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = in;
        startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        SetEnvironmentVariableA("QXGFX", "GDI");
        start_program(command_line(TEXT_DEMO_PROGRAM, options), "qxgfxclass_text_demo", nullptr,
                      &startup);
        SetEnvironmentVariableA("QXGFX", nullptr);
        CloseHandle(in);
        Sleep(1000);
    }
    void type(const char* xdotool_arguments) {
        type_on_window(xdotool_arguments, POINT{320, 240}, 500);
    }
    // Pixels of the cells of text from cell (column, row) that differ from the 8 x 8 glyphs
    // in fg on bg (0x00RRGGBB), in a screenshot of the window.
    int32_t text_mismatches(int32_t column, int32_t row, const std::string& text, uint32_t fg,
                            uint32_t bg) {
        const screenshot shot = take_screenshot();
        if (!shot.valid()) return -1;
        POINT origin{0, 0};
        ClientToScreen(window, &origin);
        return glyph_mismatches(window_shot{shot, origin.x, origin.y}, column, row, text, fg, bg);
    }
};

TEST_F(TextDemo, ShowsItsInputInTheCellsInTheChosenColours) {
    start("--colors 0xFFFFFF00 0xFF000080 --seconds 60", "Hello\r\n\tA\xE9\x01\xDB!");
    constexpr uint32_t yellow = 0xFFFF00, navy = 0x000080;
    EXPECT_EQ(text_mismatches(0, 0, "Hello   ", yellow, navy), 0);
    EXPECT_EQ(text_mismatches(0, 1, "        A\xE9\x01\xDB!  ", yellow, navy), 0);
    EXPECT_EQ(text_mismatches(70, 59, "          ", yellow, navy), 0)
        << "cleared to the background";
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(exit_code(15000), 0);
}

TEST_F(TextDemo, AsksForANameAndGreetsIt) {
    start("--ask --seconds 60", "Who goes there\r\n");
    constexpr uint32_t white = 0xFFFFFF, black = 0x000000;
    // The prompt and the block cursor that waits after it.
    EXPECT_EQ(text_mismatches(0, 1, "Name? \xDB ", white, black), 0);
    type("type Bob");
    type("key BackSpace");
    type("type ob");
    type("key Return");
    EXPECT_EQ(text_mismatches(0, 0, "Who goes there", white, black), 0);
    EXPECT_EQ(text_mismatches(0, 1, "Name? Boob  ", white, black), 0);
    EXPECT_EQ(text_mismatches(0, 2, "Hello, Boob ", white, black), 0);
    type("key space");
    EXPECT_EQ(exit_code(15000), 0);
}

TEST_F(TextDemo, EndsAfterItsSeconds) {
    start("--seconds 1", "");
    EXPECT_EQ(exit_code(15000), 0);
}

} // namespace
