#include "runtime/console_hooks.h"
#include "runtime/print.h"
#include "runtime/text_output.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A device that keeps a grid of cells and a log of its calls. Its region: columns 10 to 89
// (80 wide), rows 0 to 24.
struct recording_device {
    text_output record{};
    std::vector<std::string> cells = std::vector<std::string>(30, std::string(100, '.'));
    std::vector<std::string> log;
    int32_t writes = 0;
    int32_t failing_write = 0; // the number of the write that fails; 0: none does

    recording_device() {
        record.device = this;
        record.write = write;
        record.scroll = scroll;
        record.left = 10;
        record.top = 0;
        record.right = 89;
        record.bottom = 24;
        at(10, 0);
    }

    void at(int32_t x, int32_t y) {
        record.cursor_x = x;
        record.cursor_y = y;
    }

    void print(const std::string& bytes) {
        print_text(&record, bytes.data(), static_cast<int32_t>(bytes.size()), 1);
    }

    std::string row(int32_t y, int32_t from, int32_t count) {
        return cells[static_cast<size_t>(y)].substr(static_cast<size_t>(from),
                                                    static_cast<size_t>(count));
    }

    static recording_device* of(text_output* record) {
        return static_cast<recording_device*>(record->device);
    }

    static int32_t write(text_output* record, const char* bytes, int32_t count) {
        recording_device* device = of(record);
        if (++device->writes == device->failing_write) {
            device->log.push_back("failed");
            return 0;
        }
        device->log.push_back("write " + std::to_string(record->cursor_x) + "," +
                              std::to_string(record->cursor_y) + " " + std::to_string(count));
        device->cells[static_cast<size_t>(record->cursor_y)].replace(
            static_cast<size_t>(record->cursor_x), static_cast<size_t>(count), bytes,
            static_cast<size_t>(count));
        return 1;
    }

    static void scroll(text_output* record, int32_t left, int32_t top, int32_t right,
                       int32_t bottom, int32_t rows) {
        of(record)->log.push_back("scroll " + std::to_string(left) + "," + std::to_string(top) +
                                  "-" + std::to_string(right) + "," + std::to_string(bottom) +
                                  " by " + std::to_string(rows));
        record->cursor_y = bottom;
    }
};

using log_lines = std::vector<std::string>;

// The log line of a write of count bytes at (x, y).
std::string write_at(int32_t x, int32_t y, int32_t count) {
    std::string line("write ");
    line += std::to_string(x);
    line += ',';
    line += std::to_string(y);
    line += ' ';
    line += std::to_string(count);
    return line;
}

TEST(TextOutput, ControlCharactersMoveTheCursorWithinTheRegion) {
    recording_device tab;
    tab.at(13, 0); // left + 3
    tab.print("A\t");
    EXPECT_EQ(tab.log, (log_lines{"write 13,0 5"}));
    EXPECT_EQ(tab.row(0, 13, 5), "A    ");
    EXPECT_EQ(tab.record.cursor_x, 18);
    tab.print("\t"); // at left + 8: a whole stop
    EXPECT_EQ(tab.record.cursor_x, 26);
    EXPECT_EQ(tab.row(0, 18, 8), "        ");

    recording_device backspace;
    backspace.print("\b");
    EXPECT_EQ(backspace.record.cursor_x, 10);
    backspace.at(15, 3);
    backspace.print("\b");
    EXPECT_EQ(backspace.record.cursor_x, 14);
    EXPECT_EQ(backspace.record.cursor_y, 3);
    EXPECT_TRUE(backspace.log.empty()); // nothing erased

    recording_device overwrite;
    overwrite.print("AB\rC");
    EXPECT_EQ(overwrite.row(0, 10, 3), "CB.");
    EXPECT_EQ(overwrite.log, (log_lines{"write 10,0 2", "write 10,0 1"}));

    recording_device long_row;
    long_row.print("0123456789ABCDEF\rX");
    EXPECT_EQ(long_row.row(0, 10, 17), "X123456789ABCDEF.");

    // Every other byte, 11 and 12 among them, is printed as it is, in one run.
    const std::string others("\x01\x06\x0b\x0c\x0e\x1b\x7f\xc8\xff\x0b\x0c", 11);
    recording_device verbatim;
    verbatim.print(std::string("\0", 1) + others);
    EXPECT_EQ(verbatim.log, (log_lines{"write 10,0 12"}));
    EXPECT_EQ(verbatim.row(0, 11, 11), others);

    recording_device bell;
    bell.print("A\aB");
    EXPECT_EQ(bell.log, (log_lines{"write 10,0 2"}));
    EXPECT_EQ(bell.row(0, 10, 2), "AB");
}

TEST(TextOutput, LineFeedOnTheBottomRowScrollsAtTheEndOrBeforeTheNextText) {
    recording_device alone;
    alone.at(30, 24);
    alone.print("\n");
    EXPECT_EQ(alone.log, (log_lines{"scroll 10,0-89,24 by 1"}));
    EXPECT_EQ(alone.record.cursor_x, 10);
    EXPECT_EQ(alone.record.cursor_y, 24);

    recording_device followed;
    followed.at(30, 24);
    followed.print("X\n\nY");
    EXPECT_EQ(followed.log,
              (log_lines{"write 30,24 1", "scroll 10,0-89,24 by 2", "write 10,24 1"}));
    EXPECT_EQ(followed.record.cursor_x, 11);

    // Text ending at the right edge of the bottom row leaves the cursor below it, unscrolled.
    recording_device edge;
    edge.at(80, 24);
    edge.print("0123456789");
    EXPECT_EQ(edge.log, (log_lines{"write 80,24 10"}));
    EXPECT_EQ(edge.record.cursor_x, 10);
    EXPECT_EQ(edge.record.cursor_y, 25);
}

TEST(TextOutput, LongTextIsWrittenInRunsOfOneRowPerFlush) {
    recording_device short_text;
    short_text.print(std::string(200, 'x'));
    EXPECT_EQ(short_text.log, (log_lines{"write 10,0 80", "write 10,1 80", "write 10,2 40"}));
    EXPECT_EQ(short_text.record.cursor_x, 50);
    EXPECT_EQ(short_text.record.cursor_y, 2);

    // 1500 bytes: a flush of 1024 (12 rows and 64 cells) and one of 476 that completes the row.
    recording_device long_text;
    long_text.record.bottom = -1;
    long_text.print(std::string(1500, 'y'));
    log_lines expected;
    for (int row = 0; row < 12; ++row)
        expected.push_back(write_at(10, row, 80));
    expected.push_back("write 10,12 64");
    expected.push_back("write 74,12 16");
    for (int row = 13; row < 18; ++row)
        expected.push_back(write_at(10, row, 80));
    expected.push_back("write 10,18 60");
    EXPECT_EQ(long_text.log, expected);

    // A tab fits the buffer when its spaces do; the next one starts the second flush.
    recording_device tabs;
    tabs.record.bottom = -1;
    tabs.print(std::string(1020, 'z') + "\t\t");
    ASSERT_EQ(tabs.log.size(), 14u);
    EXPECT_EQ(tabs.log[12], "write 10,12 64");
    EXPECT_EQ(tabs.log[13], "write 74,12 8");
}

TEST(TextOutput, FailedWriteDropsTheRestOfItsFlushOnly) {
    recording_device device;
    device.failing_write = 2;
    device.record.bottom = -1;
    device.print(std::string(1500, 'y'));
    log_lines expected{"write 10,0 80", "failed"};
    // The second flush goes on from where the failed write left the cursor.
    for (int row = 1; row < 6; ++row)
        expected.push_back(write_at(10, row, 80));
    expected.push_back("write 10,6 76");
    EXPECT_EQ(device.log, expected);

    // A move after a failed flush starts from the cursor, not from where the text would end.
    recording_device moved;
    moved.failing_write = 2;
    moved.print(std::string(200, 'x') + "\rZ");
    EXPECT_EQ(moved.log, (log_lines{"write 10,0 80", "failed", "write 10,1 1"}));

    // A region without a column prints nothing and returns.
    recording_device empty;
    empty.record.right = 9;
    empty.print("abc\tdef");
    EXPECT_TRUE(empty.log.empty());
}

// No device has cells beyond +/-65536; a region or cursor out there is refused before the
// column arithmetic could overflow.
TEST(TextOutput, ARegionOrCursorBeyond65536PrintsNothing) {
    recording_device far_right;
    far_right.record.right = INT32_MAX;
    far_right.at(INT32_MAX - 1, 0);
    far_right.print("abc");
    recording_device wide;
    wide.record.left = INT32_MIN;
    wide.record.right = INT32_MAX;
    wide.print("abc");
    for (recording_device* device : {&far_right, &wide}) {
        write_wrapped(&device->record, "abc", 3);
        EXPECT_TRUE(device->log.empty());
    }
    EXPECT_EQ(far_right.record.cursor_x, INT32_MAX - 1);
}

std::string screen_printed;

void screen_print(const char* bytes, int32_t length, int32_t mask) {
    screen_printed += std::string(bytes, static_cast<size_t>(length)) + "|" + std::to_string(mask);
}

TEST(PrintOperation, GoesToTheScreenWhileOneIsOpen) {
    console_hooks.print = screen_print;
    print_bytes("AB", 2, 0);
    print_bytes("", 0, print_settle_wrap);
    console_hooks.print = nullptr;
    EXPECT_EQ(screen_printed, "AB|0|8");
}

} // namespace
