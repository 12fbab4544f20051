// The text view and cursor placement, run against a stand-in graphics text grid installed in
// the hook table, as a graphics screen would install its own.
#include "runtime/console/console.h"
#include "runtime/internal/console_hooks.h"
#include "runtime/internal/context.h"
#include "runtime/runtime.h"

#include <gtest/gtest.h>

namespace {

struct locate_call {
    int32_t row, column, visible;
};

int32_t locate_calls;
locate_call last_locate;
int32_t view_updates;

void grid_size(int32_t* columns, int32_t* rows) {
    if (columns) *columns = 100;
    if (rows) *rows = 30;
}

int32_t grid_locate(int32_t row, int32_t column, int32_t visible) {
    ++locate_calls;
    last_locate = {row, column, visible};
    return (column & 0xFF) | ((row & 0xFF) << 8);
}

int32_t grid_column() {
    return 7;
}
void grid_view_update() {
    ++view_updates;
}

class TextView : public ::testing::Test {
  protected:
    void SetUp() override {
        console_hooks = console_hooks_table{};
        console_hooks.size = grid_size;
        console_hooks.locate = grid_locate;
        console_hooks.column = grid_column;
        console_hooks.view_update = grid_view_update;
        set_view_rows(-1, -1);
        locate_calls = 0;
        view_updates = 0;
    }
    void TearDown() override { console_hooks = console_hooks_table{}; }
};

TEST_F(TextView, UnsetViewIsTheWholeScreen) {
    EXPECT_EQ(view_top_row(), 0);
    EXPECT_EQ(view_bottom_row(), 29);
}

TEST_F(TextView, ZeroBoundsSetTheWholeScreen) {
    set_view_rows(4, 9);
    EXPECT_EQ(text_view(0, 0, 0), 1 | (30 << 16));
    EXPECT_EQ(view_top_row(), 0);
    EXPECT_EQ(view_bottom_row(), 29);
    EXPECT_EQ(view_updates, 1);
    EXPECT_EQ(locate_calls, 0);
}

TEST_F(TextView, InvalidBoundsReturnZeroAndChangeNothing) {
    set_view_rows(1, 5);
    EXPECT_EQ(text_view(5, 3, 0), 0);
    EXPECT_EQ(text_view(1, 31, 0), 0);
    EXPECT_EQ(text_view(31, 31, 0), 0);
    EXPECT_EQ(view_top_row(), 1);
    EXPECT_EQ(view_bottom_row(), 5);
    EXPECT_EQ(view_updates, 0);
}

TEST_F(TextView, NegativeBoundKeepsTheCurrentOne) {
    set_view_rows(2, 20);
    EXPECT_EQ(text_view(-1, 10, 0), 3 | (10 << 16));
    EXPECT_EQ(view_top_row(), 2);
    EXPECT_EQ(view_bottom_row(), 9);
}

TEST_F(TextView, BothBoundsNegativeReportTheViewWithoutChangingIt) {
    set_view_rows(2, 20);
    EXPECT_EQ(text_view(-1, -1, 1), 3 | (21 << 16));
    EXPECT_EQ(view_updates, 0);
    EXPECT_EQ(locate_calls, 0);
}

TEST_F(TextView, MoveCursorPutsItAtTheViewsFirstRow) {
    EXPECT_EQ(text_view(4, 12, 1), 4 | (12 << 16));
    ASSERT_EQ(locate_calls, 1);
    EXPECT_EQ(last_locate.row, 4);
    EXPECT_EQ(last_locate.column, 1);
    EXPECT_EQ(last_locate.visible, -1);
}

TEST_F(TextView, LocateInsideTheViewPlacesTheCursorAndPrintColumn) {
    text_view(3, 10, 0);
    EXPECT_EQ(text_locate(10, 100, 1), 100 | (10 << 8));
    EXPECT_EQ(last_locate.row, 10);
    EXPECT_EQ(last_locate.column, 100);
    EXPECT_EQ(last_locate.visible, 1);
    EXPECT_EQ(print_column, 99);
    EXPECT_EQ(error_number(), 0);
}

TEST_F(TextView, LocateOutsideTheViewAppliesOnlyTheVisibility) {
    text_view(3, 10, 0);
    print_column = 5;
    for (auto [row, column] : {std::pair{2, 1}, {11, 1}, {5, 101}, {-1, 1}, {5, -3}}) {
        text_locate(row, column, 0);
        EXPECT_EQ(last_locate.row, 0) << row << "," << column;
        EXPECT_EQ(last_locate.column, 0) << row << "," << column;
        EXPECT_EQ(last_locate.visible, 0);
        EXPECT_EQ(error_number(), 0);
    }
    EXPECT_EQ(print_column, 5);
    text_locate(4, 0, -1); // no column given: the print column stays
    EXPECT_EQ(print_column, 5);
}

} // namespace
