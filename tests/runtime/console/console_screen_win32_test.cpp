#include "console_test_win32.h"

#include "runtime/console/console.h"
#include "runtime/runtime.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class ConsoleScreen : public ::testing::Test {
  protected:
    void SetUp() override {
        console = console_for_test();
        // A known starting point: an 80 x 25 buffer shown whole.
        SMALL_RECT small{0, 0, 0, 0};
        SetConsoleWindowInfo(console.output, TRUE, &small);
        ASSERT_TRUE(SetConsoleScreenBufferSize(console.output, COORD{80, 25}));
        SMALL_RECT whole{0, 0, 79, 24};
        ASSERT_TRUE(SetConsoleWindowInfo(console.output, TRUE, &whole));
        set_view_rows(-1, -1);
    }

    CONSOLE_SCREEN_BUFFER_INFO info() {
        CONSOLE_SCREEN_BUFFER_INFO result{};
        GetConsoleScreenBufferInfo(console.output, &result);
        return result;
    }

    void fill(char character) {
        CONSOLE_SCREEN_BUFFER_INFO buffer = info();
        DWORD written = 0;
        FillConsoleOutputCharacterA(console.output, character,
                                    static_cast<DWORD>(buffer.dwSize.X * buffer.dwSize.Y),
                                    COORD{0, 0}, &written);
    }

    std::string row_text(int row, int length = 80) {
        return console_row_text(console.output, row, length);
    }

    bool cursor_visible() {
        CONSOLE_CURSOR_INFO cursor{};
        GetConsoleCursorInfo(console.output, &cursor);
        return cursor.bVisible != 0;
    }

    test_console console{};
};

const std::string blank_row(80, ' ');
const std::string filled_row(80, 'x');

TEST_F(ConsoleScreen, WidthWithoutArgumentsChangesNothing) {
    EXPECT_EQ(text_width(0, 0), 80 | (25 << 16));
    EXPECT_EQ(info().dwSize.X, 80);
    EXPECT_EQ(info().dwSize.Y, 25);
}

TEST_F(ConsoleScreen, WidthGrowsAndShrinksBufferAndWindow) {
    COORD largest = GetLargestConsoleWindowSize(console.output);
    if (largest.X < 100 || largest.Y < 40) GTEST_SKIP() << "display too small for 100 x 40";
    EXPECT_EQ(text_width(100, 40), 100 | (40 << 16));
    EXPECT_EQ(info().dwSize.X, 100);
    EXPECT_EQ(info().dwSize.Y, 40);
    EXPECT_EQ(info().srWindow.Right, 99);
    EXPECT_EQ(info().srWindow.Bottom, 39);
    int32_t columns = 0, rows = 0;
    text_screen_size(&columns, &rows);
    EXPECT_EQ(columns, 100);
    EXPECT_EQ(rows, 40);

    // Back to 80 x 25: the window shrinks inside the old buffer before the buffer does.
    EXPECT_EQ(text_width(80, 25), 80 | (25 << 16));
    EXPECT_EQ(info().dwSize.X, 80);
    EXPECT_EQ(info().dwSize.Y, 25);
    EXPECT_EQ(info().srWindow.Right, 79);
    EXPECT_EQ(info().srWindow.Bottom, 24);

    // A dimension below 1 keeps the current one.
    EXPECT_EQ(text_width(0, 30), 80 | (30 << 16));
    EXPECT_EQ(info().dwSize.X, 80);
    EXPECT_EQ(info().dwSize.Y, 30);
}

// The window can be at most the largest size the display allows: more rows go into the buffer,
// and the result is the size that was set.
TEST_F(ConsoleScreen, WidthBeyondTheLargestWindowReportsTheWindowItGot) {
    const COORD largest = GetLargestConsoleWindowSize(console.output);
    ASSERT_GT(largest.Y, 25);
    const int32_t rows = largest.Y + 5;
    EXPECT_EQ(text_width(80, rows), 80 | (largest.Y << 16)) << largest.X << " x " << largest.Y;
    EXPECT_EQ(info().dwSize.Y, rows);
    EXPECT_EQ(info().srWindow.Bottom - info().srWindow.Top + 1, largest.Y);
    int32_t screen_rows = 0;
    text_screen_size(nullptr, &screen_rows);
    EXPECT_EQ(screen_rows, largest.Y);
    text_width(80, 25);
}

// Fewer columns and the same rows: the window narrows inside the old buffer before the buffer
// does, so that it is never wider than its buffer.
TEST_F(ConsoleScreen, FewerColumnsAloneNarrowTheWindowFirst) {
    SMALL_RECT small{0, 0, 0, 0};
    SetConsoleWindowInfo(console.output, TRUE, &small);
    ASSERT_TRUE(SetConsoleScreenBufferSize(console.output, COORD{100, 25}));
    SMALL_RECT wide{0, 0, 99, 24};
    if (!SetConsoleWindowInfo(console.output, TRUE, &wide)) GTEST_SKIP() << "no 100-column window";
    view_update();
    EXPECT_EQ(text_width(80, 0), 80 | (25 << 16));
    EXPECT_EQ(info().dwSize.X, 80);
    EXPECT_EQ(info().dwSize.Y, 25);
    EXPECT_EQ(info().srWindow.Right, 79);
    EXPECT_EQ(info().srWindow.Bottom, 24);
}

TEST_F(ConsoleScreen, ClearBlanksTheWholeRegionInTheCurrentAttributeAndHomesTheCursor) {
    fill('x');
    SetConsoleCursorPosition(console.output, COORD{40, 12});
    SetConsoleTextAttribute(console.output, 0x1E);
    text_clear(0);
    for (int row = 0; row < 25; ++row)
        ASSERT_EQ(row_text(row), blank_row) << row;
    EXPECT_EQ(info().dwCursorPosition.X, 0);
    EXPECT_EQ(info().dwCursorPosition.Y, 0);
    WORD attribute = 0;
    DWORD read = 0;
    ReadConsoleOutputAttribute(console.output, &attribute, 1, COORD{5, 24}, &read);
    EXPECT_EQ(attribute, 0x1E);
    SetConsoleTextAttribute(console.output, 7);
}

TEST_F(ConsoleScreen, ClearModeTwoBlanksOnlyTheViewRows) {
    fill('x');
    ASSERT_EQ(text_view(3, 5, 0), 3 | (5 << 16));
    text_clear(2);
    EXPECT_EQ(row_text(1), filled_row);
    EXPECT_EQ(row_text(2), blank_row);
    EXPECT_EQ(row_text(4), blank_row);
    EXPECT_EQ(row_text(5), filled_row);
    EXPECT_EQ(info().dwCursorPosition.Y, 2);
    fill('x');
    text_clear(-65536);
    EXPECT_EQ(row_text(1), filled_row);
    EXPECT_EQ(row_text(3), blank_row);
    EXPECT_EQ(row_text(5), filled_row);
}

TEST_F(ConsoleScreen, ClearModeOneLeavesTheConsoleUnchanged) {
    fill('x');
    SetConsoleCursorPosition(console.output, COORD{7, 9});
    text_clear(1);
    EXPECT_EQ(row_text(0), filled_row);
    EXPECT_EQ(info().dwCursorPosition.X, 7);
    EXPECT_EQ(info().dwCursorPosition.Y, 9);
}

TEST_F(ConsoleScreen, ViewBoundsAreCheckedAgainstTheConsoleRows) {
    EXPECT_EQ(text_view(1, 26, 0), 0);
    EXPECT_EQ(text_view(0, 0, 0), 1 | (25 << 16));
}

TEST_F(ConsoleScreen, ViewWithMoveCursorPutsTheCursorAtItsTop) {
    SetConsoleCursorPosition(console.output, COORD{30, 20});
    EXPECT_EQ(text_view(6, 9, 1), 6 | (9 << 16));
    EXPECT_EQ(info().dwCursorPosition.X, 0);
    EXPECT_EQ(info().dwCursorPosition.Y, 5);
}

TEST_F(ConsoleScreen, LocatePlacesTheCursorAndReportsItsOldVisibility) {
    text_locate(0, 0, 1);
    EXPECT_EQ(text_locate(3, 10, 0), 10 | (3 << 8) | 0x10000);
    EXPECT_EQ(info().dwCursorPosition.X, 9);
    EXPECT_EQ(info().dwCursorPosition.Y, 2);
    EXPECT_FALSE(cursor_visible());
    EXPECT_EQ(print_column, 9);
    EXPECT_EQ(text_locate(25, 80, -1), 80 | (25 << 8));
    EXPECT_FALSE(cursor_visible());
    EXPECT_EQ(info().dwCursorPosition.X, 79);
    EXPECT_EQ(info().dwCursorPosition.Y, 24);
    text_locate(0, 0, 1);
}

TEST_F(ConsoleScreen, LocateWithZeroKeepsTheCurrentRowOrColumn) {
    SetConsoleCursorPosition(console.output, COORD{11, 4});
    EXPECT_EQ(text_locate(0, 3, -1) & 0xFFFF, 3 | (5 << 8));
    EXPECT_EQ(info().dwCursorPosition.X, 2);
    EXPECT_EQ(info().dwCursorPosition.Y, 4);
    EXPECT_EQ(text_locate(8, 0, -1) & 0xFFFF, 3 | (8 << 8));
    EXPECT_EQ(info().dwCursorPosition.X, 2);
    EXPECT_EQ(info().dwCursorPosition.Y, 7);
}

TEST_F(ConsoleScreen, LocateOutsideTheViewChangesOnlyTheVisibility) {
    text_view(2, 10, 0);
    text_locate(0, 0, 1);
    SetConsoleCursorPosition(console.output, COORD{4, 4});
    text_locate(12, 5, 0);
    EXPECT_EQ(info().dwCursorPosition.X, 4);
    EXPECT_EQ(info().dwCursorPosition.Y, 4);
    EXPECT_FALSE(cursor_visible());
    EXPECT_EQ(error_number(), 0);
    text_locate(3, 81, 1);
    EXPECT_EQ(info().dwCursorPosition.X, 4);
    EXPECT_TRUE(cursor_visible());
}

TEST_F(ConsoleScreen, RegionFollowsTheWindowInATallerBuffer) {
    ASSERT_TRUE(SetConsoleScreenBufferSize(console.output, COORD{90, 100}));
    SMALL_RECT window{0, 50, 79, 69};
    ASSERT_TRUE(SetConsoleWindowInfo(console.output, TRUE, &window));
    view_update();
    int32_t columns = 0, rows = 0;
    text_screen_size(&columns, &rows);
    EXPECT_EQ(columns, 90);
    EXPECT_EQ(rows, 20);
    text_locate(1, 1, -1);
    EXPECT_EQ(info().dwCursorPosition.Y, 50);
}

TEST_F(ConsoleScreen, RedirectedOutputIsAbsentAndWritesNothing) {
    HANDLE file = redirect_file("console_screen_output.txt");
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    SetStdHandle(STD_OUTPUT_HANDLE, file);
    console_state_clear();
    int32_t columns = 0, rows = 0;
    text_screen_size(&columns, &rows);
    EXPECT_EQ(columns, 80);
    EXPECT_EQ(rows, 25);
    text_clear(0);
    EXPECT_EQ(text_width(100, 40), 0);
    EXPECT_EQ(text_locate(2, 2, 1), 0);
    EXPECT_EQ(GetFileSize(file, nullptr), 0u);
    CloseHandle(file);
    console_for_test();
}

} // namespace
