#include "tests/gfx/x11/program_test.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "tests/gfx/x11/x11_display.h"

namespace {

void pause_for(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

} // namespace

void ProgramTest::SetUp() {
    const std::string reason = x11_unavailable();
    if (!reason.empty()) GTEST_SKIP() << reason;
}

void ProgramTest::TearDown() {
    if (program > 0 && exit_code(0) == -1) {
        kill(program, SIGKILL);
        waitpid(program, nullptr, 0);
    }
    program = 0;
    window = None;
}

void ProgramTest::start_program(const char* path, const std::vector<std::string>& arguments,
                                const char* window_class, const std::string& input) {
    char input_name[] = "/tmp/x11_tests_input_XXXXXX";
    const int in = mkstemp(input_name);
    ASSERT_GE(in, 0);
    ASSERT_EQ(write(in, input.data(), input.size()), static_cast<ssize_t>(input.size()));
    lseek(in, 0, SEEK_SET);
    unlink(input_name);
    std::vector<char*> argv{const_cast<char*>(path)};
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    program = fork();
    ASSERT_GE(program, 0);
    if (program == 0) {
        dup2(in, 0);
        execv(path, argv.data());
        _exit(127);
    }
    close(in);
    for (int waited = 0; waited < 20000 && window == None; waited += 50) {
        window = window_of_class(window_class);
        pause_for(50);
    }
    ASSERT_NE(window, None) << "no window of class " << window_class;
}

void ProgramTest::type_on_window(const std::string& xdotool_arguments, int settle_ms) {
    run_command("xdotool " + xdotool_arguments);
    pause_for(settle_ms);
}

void ProgramTest::press_escape() {
    type_on_window("key Escape");
}

int32_t ProgramTest::exit_code(int milliseconds) {
    for (int waited = 0;; waited += 20) {
        int status = 0;
        const pid_t ended = waitpid(program, &status, WNOHANG);
        if (ended == program) {
            program = 0;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (ended < 0 || waited >= milliseconds) return -1;
        pause_for(20);
    }
}

window_shot ProgramTest::shoot() {
    window_shot seen{take_screenshot(), 0, 0};
    window_origin(window, &seen.left, &seen.top);
    return seen;
}
