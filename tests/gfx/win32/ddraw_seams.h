// Helpers of the DirectDraw tests: a recorder behind the driver's call seam that answers some
// calls in their place, the driver's library references counted through its library calls, and
// waits bounded far beyond any pass of the window thread.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gfx/win32/ddraw_driver.h"

// A busy machine may run the window thread's passes far apart: waits poll for what a pass
// brings, up to a bound far beyond any pass.
template <typename Ready> bool wait_for(Ready ready) {
    for (int waited = 0; waited < 5000; waited += 20) {
        if (ready()) return true;
        Sleep(20);
    }
    return ready();
}

// Reads under the screen lock, as the program's thread would.
template <typename T> T locked(const T& value) {
    lock();
    T copy = value;
    unlock();
    return copy;
}

// The recorder names each call the seam sees: "lost", "restore", "lock", "blt" and "fill"
// followed by " P" (the primary surface) or " T" (the off-screen one), then "desktop", "blank",
// "modes", "query", "input", "format", "keyboard", "keys", "acquire" in the order of ddraw_call.
// A planned answer stands in for the named call, times times (-1: every time).
struct call_answer {
    std::string name;
    HRESULT result;
    int32_t times;
};
// Runs at every call the seam sees, on the calling thread, before the call is answered.
using call_hook = void (*)(const std::string& name, void* subject);
// Forgets the calls seen and installs the seam with these answers and hook; stop_recording
// removes it.
void start_recording(const std::vector<call_answer>& answers = {}, call_hook hook = nullptr);
void stop_recording();
void answer_call(const call_answer& answer);
std::vector<std::string> recorded_calls();
// The recorded calls that have one of the names, in order.
std::vector<std::string> recorded_calls(const std::vector<std::string>& names);
int32_t recorded_count(const std::string& name);

// References to ddraw.dll and dinput.dll taken minus those dropped through the driver's library
// calls since start_counting_libraries; ddraw_references_fewest is the lowest count of ddraw.dll
// references since watch_ddraw_references.
void start_counting_libraries();
void stop_counting_libraries();
int32_t ddraw_references();
int32_t dinput_references();
void watch_ddraw_references();
int32_t ddraw_references_fewest();

// The driver holds nothing: no window, interface, event or library reference. Counted from
// start_counting_libraries on.
void expect_nothing_open();

// A DirectDraw test: libraries counted throughout; seams and screen gone at the end.
class DdrawTest : public testing::Test {
  protected:
    void SetUp() override { start_counting_libraries(); }
    void TearDown() override;
};
