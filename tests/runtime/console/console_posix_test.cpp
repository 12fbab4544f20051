#include "runtime/console/console.h"
#include "runtime/key_input.h"
#include "runtime/line_input.h"
#include "runtime/os/os.h"
#include "runtime/text.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

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

// A line typed on a terminal after the key poll has made it read characters without waiting:
// the line read waits for it. A child process has the terminal (a pseudo-terminal) as its
// standard input; the test types the line once the child is about to read.
TEST(TerminalStandIn, LineInputAfterAKeyPollWaitsForTheLine) {
    const int terminal = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(terminal, 0);
    ASSERT_EQ(grantpt(terminal), 0);
    ASSERT_EQ(unlockpt(terminal), 0);
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const int input = open(ptsname(terminal), O_RDWR | O_NOCTTY);
        if (input < 0 || dup2(input, STDIN_FILENO) < 0) _exit(2);
        console_key_poll();
        if (write(ready[1], "r", 1) != 1) _exit(2);
        text line{};
        const int32_t result = line_input(nullptr, &line, 0, 0, 0, 0);
        const bool read = result == 0 && text_length(&line) == 5 &&
                          std::memcmp(text_bytes(&line), "hello", 5) == 0;
        _exit(read ? 0 : 1);
    }
    char signal = 0;
    ASSERT_EQ(read(ready[0], &signal, 1), 1);
    os_sleep(200); // time for a read that does not wait to find nothing
    ASSERT_EQ(write(terminal, "hello\n", 6), 6);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: no line read";
    close(ready[0]);
    close(ready[1]);
    close(terminal);
}

} // namespace
