#include "runtime/console/console.h"
#include "runtime/key_input.h"
#include "runtime/text.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

namespace {

TEST(TerminalStandIn, RedirectedInputReadsNoKey) {
    if (isatty(STDIN_FILENO)) GTEST_SKIP() << "standard input is a terminal";
    EXPECT_EQ(console_key_read(), -1);
    EXPECT_EQ(text_compare(key_read_text(), ""), 0);
}

TEST(TerminalStandIn, WithoutTerminalTheScreenIs80x25AndCannotBeSized) {
    if (isatty(STDOUT_FILENO)) GTEST_SKIP() << "standard output is a terminal";
    int32_t columns = 0, rows = 0;
    text_screen_size(&columns, &rows);
    EXPECT_EQ(columns, 80);
    EXPECT_EQ(rows, 25);
    EXPECT_EQ(text_width(100, 40), 0);
    EXPECT_EQ(text_locate(2, 2, 1), 0);
}

TEST(TerminalStandIn, HangupReadsAsTheCloseKey) {
    console_key_poll(); // the first poll takes over the hang-up signal
    ASSERT_EQ(raise(SIGHUP), 0);
    text* key = key_read_text();
    EXPECT_EQ(text_compare(key, "\xFFk"), 0);
    EXPECT_EQ(console_key_read(), -1);
}

} // namespace
