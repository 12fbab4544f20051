#include "console_test_win32.h"

#include "runtime/console/console.h"
#include "runtime/console/console_device_win32.h"
#include "runtime/console/console_print_win32.h"
#include "runtime/print.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class ConsolePrint : public ::testing::Test {
  protected:
    void SetUp() override {
        console = console_for_test();
        console_wrap_pending = 0;
        set_view_rows(-1, -1);
        SetConsoleTextAttribute(console.output, 7);
        shape(80, 25, SMALL_RECT{0, 0, 79, 24});
    }

    void TearDown() override {
        SetConsoleTextAttribute(console.output, 7);
        set_view_rows(-1, -1);
    }

    // A buffer of width x height cells showing window; every row filled with its own letter
    // ('a' + row % 26) in attribute 7, and the region read.
    void shape(int width, int height, SMALL_RECT window) {
        SMALL_RECT small{0, 0, 0, 0};
        SetConsoleWindowInfo(console.output, TRUE, &small);
        ASSERT_TRUE(SetConsoleScreenBufferSize(
            console.output, COORD{static_cast<SHORT>(width), static_cast<SHORT>(height)}));
        ASSERT_TRUE(SetConsoleWindowInfo(console.output, TRUE, &window));
        label_rows();
        view_update();
    }

    void label_rows() {
        CONSOLE_SCREEN_BUFFER_INFO buffer = info();
        for (SHORT row = 0; row < buffer.dwSize.Y; ++row) {
            DWORD done = 0;
            FillConsoleOutputCharacterA(console.output, static_cast<char>('a' + row % 26),
                                        static_cast<DWORD>(buffer.dwSize.X), COORD{0, row}, &done);
            FillConsoleOutputAttribute(console.output, 7, static_cast<DWORD>(buffer.dwSize.X),
                                       COORD{0, row}, &done);
        }
    }

    CONSOLE_SCREEN_BUFFER_INFO info() {
        CONSOLE_SCREEN_BUFFER_INFO result{};
        GetConsoleScreenBufferInfo(console.output, &result);
        return result;
    }

    std::string row_text(int row, int length = 80) {
        return console_row_text(console.output, row, length);
    }

    static std::string labelled(int row) {
        return std::string(80, static_cast<char>('a' + row % 26));
    }

    // row with its first character replaced (a literal in front of a string makes GCC 12 at
    // -O3 warn of an overlapping copy that cannot happen).
    static std::string starting_with(char first, std::string row) {
        row[0] = first;
        return row;
    }

    WORD attribute_at(int column, int row) {
        WORD attribute = 0;
        DWORD read = 0;
        ReadConsoleOutputAttribute(console.output, &attribute, 1,
                                   COORD{static_cast<SHORT>(column), static_cast<SHORT>(row)},
                                   &read);
        return attribute;
    }

    void cursor_to(int column, int row) {
        SetConsoleCursorPosition(console.output,
                                 COORD{static_cast<SHORT>(column), static_cast<SHORT>(row)});
    }

    void expect_cursor(int column, int row) {
        EXPECT_EQ(info().dwCursorPosition.X, column);
        EXPECT_EQ(info().dwCursorPosition.Y, row);
    }

    void print(const std::string& bytes, int32_t mask = 0) {
        print_bytes(bytes.data(), static_cast<int32_t>(bytes.size()), mask);
    }

    test_console console{};
};

TEST_F(ConsolePrint, BottomRowOfATallerBufferMovesTheTextDownAndTheWindowFollows) {
    shape(80, 100, SMALL_RECT{0, 0, 79, 24});
    cursor_to(0, 24);
    print("A\n");
    EXPECT_EQ(row_text(0), labelled(0)); // nothing scrolled
    EXPECT_EQ(row_text(24), starting_with('A', labelled(24)));
    expect_cursor(0, 25);
    EXPECT_EQ(info().srWindow.Top, 1);
    EXPECT_EQ(info().srWindow.Bottom, 25);
    text_locate(1, 1, -1); // the region followed the window
    expect_cursor(0, 1);

    // One row of room left for three: the region moves down by one, the buffer scrolls by two.
    shape(80, 100, SMALL_RECT{0, 74, 79, 98});
    cursor_to(0, 98);
    print("A\n\n\n");
    EXPECT_EQ(row_text(96), starting_with('A', labelled(98)));
    EXPECT_EQ(row_text(95), labelled(97));
    EXPECT_EQ(row_text(99), std::string(80, ' '));
    expect_cursor(0, 99);
    EXPECT_EQ(info().srWindow.Top, 75);
    EXPECT_EQ(info().srWindow.Bottom, 99);
}

TEST_F(ConsolePrint, LastCellParksTheCursorUntilTheNextPrintScrolls) {
    cursor_to(75, 24);
    print("VWXYZ");
    expect_cursor(79, 24);
    EXPECT_EQ(row_text(0), labelled(0));
    EXPECT_EQ(console_wrap_pending, 1);
    print("F");
    EXPECT_EQ(row_text(0), labelled(1));
    EXPECT_EQ(row_text(23), labelled(24).substr(0, 75) + "VWXYZ");
    EXPECT_EQ(row_text(24), "F" + std::string(79, ' '));
    expect_cursor(1, 24);

    // An empty print settles the wrap only with mask 0x8.
    label_rows();
    cursor_to(75, 24);
    print("VWXYZ");
    print("");
    expect_cursor(79, 24);
    print("", print_settle_wrap);
    EXPECT_EQ(row_text(23), labelled(24).substr(0, 75) + "VWXYZ");
    EXPECT_EQ(row_text(24), std::string(80, ' '));
    expect_cursor(0, 24);

    // Placing the cursor drops the pending wrap: the next print starts where it was put.
    label_rows();
    cursor_to(75, 24);
    print("VWXYZ");
    text_locate(3, 5, -1);
    print("Q");
    EXPECT_EQ(row_text(2), labelled(2).substr(0, 4) + "Q" + labelled(2).substr(5));
    EXPECT_EQ(row_text(0), labelled(0));
    expect_cursor(5, 2);

    // A placement that names no position moves nothing and keeps the wrap pending, also when
    // an invalid position is retried as one.
    std::string full(80, 'D'), next(80, ' ');
    full[79] = 'E';
    next[0] = 'N';
    for (int32_t column : {0, 81}) {
        label_rows();
        cursor_to(0, 24);
        print(full);
        text_locate(0, column, 0);
        print("N");
        EXPECT_EQ(row_text(23), full) << column;
        EXPECT_EQ(row_text(24), next) << column;
    }
    text_locate(0, 0, 1);
}

// Shrinking the console below the text view keeps the view inside the new size: line feeds
// go on scrolling, and no write falls outside the buffer.
TEST_F(ConsolePrint, AConsoleShrunkBelowTheTextViewKeepsTheViewInside) {
    const COORD largest = GetLargestConsoleWindowSize(console.output);
    if (largest.Y < 50) GTEST_SKIP() << "display too small for 50 rows";
    shape(80, 50, SMALL_RECT{0, 0, 79, 49});
    ASSERT_EQ(text_view(1, 50, 0), 1 | (50 << 16));
    ASSERT_EQ(text_width(80, 25), 80 | (25 << 16));
    EXPECT_EQ(view_bottom_row(), 24);
    label_rows();
    cursor_to(0, 23);
    print("one\ntwo\nthree");
    EXPECT_EQ(row_text(22, 4), "onex");
    EXPECT_EQ(row_text(23, 4), "twoy");
    EXPECT_EQ(row_text(24, 6), "three ");
}

TEST_F(ConsolePrint, ATextViewScrollsOnlyItsRows) {
    ASSERT_EQ(text_view(5, 10, 0), 5 | (10 << 16)); // rows 4 to 9
    cursor_to(0, 9);
    print("\n");
    EXPECT_EQ(row_text(3), labelled(3));
    EXPECT_EQ(row_text(4), labelled(5));
    EXPECT_EQ(row_text(8), labelled(9));
    EXPECT_EQ(row_text(9), std::string(80, ' '));
    EXPECT_EQ(row_text(10), labelled(10));
    expect_cursor(0, 9);
    EXPECT_EQ(info().srWindow.Top, 0);

    // Four of six rows: two stay, and the rows between them and the cleared ones are cleared.
    label_rows();
    print("\n\n\n\n");
    EXPECT_EQ(row_text(4), labelled(8));
    EXPECT_EQ(row_text(5), labelled(9));
    for (int row = 6; row <= 9; ++row)
        EXPECT_EQ(row_text(row), std::string(80, ' ')) << row;
    EXPECT_EQ(row_text(10), labelled(10));

    // The whole height clears the view.
    label_rows();
    print("\n\n\n\n\n\n");
    EXPECT_EQ(row_text(3), labelled(3));
    for (int row = 4; row <= 9; ++row)
        EXPECT_EQ(row_text(row), std::string(80, ' ')) << row;
    EXPECT_EQ(row_text(10), labelled(10));
    expect_cursor(0, 9);
}

TEST_F(ConsolePrint, WrittenAndClearedCellsTakeTheCurrentAttribute) {
    SetConsoleTextAttribute(console.output, 0x1E);
    cursor_to(0, 24);
    print("AB\n");
    EXPECT_EQ(row_text(23).substr(0, 3), "ABy");
    EXPECT_EQ(attribute_at(0, 23), 0x1E);
    EXPECT_EQ(attribute_at(1, 23), 0x1E);
    EXPECT_EQ(attribute_at(2, 23), 7);
    EXPECT_EQ(attribute_at(0, 24), 0x1E);
    EXPECT_EQ(attribute_at(79, 24), 0x1E);

    ASSERT_EQ(text_view(2, 4, 0), 2 | (4 << 16));
    cursor_to(0, 3);
    print("\n\n\n\n"); // clears the view's three rows
    EXPECT_EQ(row_text(1), std::string(80, ' '));
    EXPECT_EQ(attribute_at(40, 2), 0x1E);
    EXPECT_EQ(attribute_at(40, 4), 7);
}

// With the view the whole region and no room below it, the whole buffer scrolls; when fewer
// rows stay than go, the rows between them are cleared as well.
TEST_F(ConsolePrint, AScrollOfMoreThanHalfTheBufferClearsTheRowsBetween) {
    cursor_to(0, 24);
    print(std::string(15, '\n'));
    for (int row = 0; row < 10; ++row)
        EXPECT_EQ(row_text(row), labelled(row + 15)) << row;
    for (int row = 10; row < 25; ++row)
        EXPECT_EQ(row_text(row), std::string(80, ' ')) << row;
    expect_cursor(0, 24);
}

BOOL WINAPI unreadable_buffer(HANDLE, CONSOLE_SCREEN_BUFFER_INFO*) {
    return FALSE;
}

// A buffer whose information cannot be read prints at the view's top left in attribute 7.
TEST_F(ConsolePrint, AnUnreadableBufferPrintsAtTheViewsTopLeftInAttribute7) {
    SetConsoleTextAttribute(console.output, 0x1E);
    cursor_to(40, 12);
    console_buffer_info = unreadable_buffer;
    print("AB");
    console_buffer_info = GetConsoleScreenBufferInfo;
    EXPECT_EQ(row_text(0, 3), "ABa");
    EXPECT_EQ(attribute_at(0, 0), 7);
    EXPECT_EQ(row_text(12, 42), labelled(12).substr(0, 42));
    expect_cursor(2, 0);
}

BOOL WINAPI three_bytes_a_write(HANDLE file, LPCVOID bytes, DWORD count, LPDWORD written,
                                LPOVERLAPPED overlapped) {
    return WriteFile(file, bytes, count < 3 ? count : 3, written, overlapped);
}

// Redirected output goes on after a write that took only part of the bytes.
TEST_F(ConsolePrint, RedirectedOutputGoesOnAfterAPartialWrite) {
    HANDLE file = redirect_file("console_print_partial.txt");
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    SetStdHandle(STD_OUTPUT_HANDLE, file);
    console_state_clear();
    console_write_file = three_bytes_a_write;
    print("line\r\n\x07end\t");
    console_write_file = WriteFile;
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    char back[32];
    DWORD read = 0;
    ReadFile(file, back, sizeof back, &read, nullptr);
    EXPECT_EQ(std::string(back, read), "line\r\n\x07end\t");
    CloseHandle(file);
    console_for_test();
}

TEST_F(ConsolePrint, BeforeTheRegionIsReadPrintingWritesToTheHandle) {
    console_state_clear();
    cursor_to(0, 5);
    print("hi\n");
    EXPECT_EQ(console_state.region_read, 0);
    EXPECT_EQ(row_text(5).substr(0, 3), "hif");
}

} // namespace
