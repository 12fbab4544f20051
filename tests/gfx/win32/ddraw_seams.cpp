#include "tests/gfx/win32/ddraw_seams.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <iterator>
#include <map>
#include <mutex>

#include "tests/gfx/win32/test_window.h"

namespace {

const char* const call_names[] = {"lost",    "restore",  "lock",  "blt",    "fill",
                                  "desktop", "blank",    "modes", "query",  "input",
                                  "format",  "keyboard", "keys",  "acquire"};

struct planned_answer {
    HRESULT result;
    int32_t times;
};

std::mutex recorder_mutex;
std::vector<std::string> calls;
std::map<std::string, planned_answer> answers;
std::atomic<call_hook> hook;

std::string name_of(ddraw_call call, void* subject) {
    std::string name = call_names[static_cast<size_t>(call)];
    if (call <= ddraw_call::fill) name += subject == ddraw_state.primary_surface ? " P" : " T";
    return name;
}

HRESULT record_call(ddraw_call call, void* subject) {
    const std::string name = name_of(call, subject);
    if (const call_hook run = hook.load()) run(name, subject);
    std::lock_guard<std::mutex> hold(recorder_mutex);
    calls.push_back(name);
    auto planned = answers.find(name);
    if (planned == answers.end() || planned->second.times == 0) return DD_OK;
    if (planned->second.times > 0) --planned->second.times;
    return planned->second.result;
}

std::atomic<int32_t> ddraw_count;
std::atomic<int32_t> dinput_count;
std::atomic<int32_t> ddraw_fewest;

std::atomic<int32_t>* count_of(HMODULE module) {
    if (!module) return nullptr;
    if (module == GetModuleHandleA("ddraw.dll")) return &ddraw_count;
    if (module == GetModuleHandleA("dinput.dll")) return &dinput_count;
    return nullptr;
}

HMODULE WINAPI counted_load(LPCSTR name) {
    HMODULE module = LoadLibraryA(name);
    if (std::atomic<int32_t>* count = count_of(module)) ++*count;
    return module;
}

BOOL WINAPI counted_free(HMODULE module) {
    if (std::atomic<int32_t>* count = count_of(module)) {
        const int32_t left = --*count;
        if (count == &ddraw_count) ddraw_fewest = std::min(ddraw_fewest.load(), left);
    }
    return FreeLibrary(module);
}

} // namespace

void start_recording(const std::vector<call_answer>& planned, call_hook run) {
    {
        std::lock_guard<std::mutex> hold(recorder_mutex);
        calls.clear();
        answers.clear();
        for (const call_answer& answer : planned)
            answers[answer.name] = planned_answer{answer.result, answer.times};
    }
    hook = run;
    ddraw_seam = record_call;
}

void stop_recording() {
    ddraw_seam = nullptr;
    hook = nullptr;
}

void answer_call(const call_answer& answer) {
    std::lock_guard<std::mutex> hold(recorder_mutex);
    answers[answer.name] = planned_answer{answer.result, answer.times};
}

std::vector<std::string> recorded_calls() {
    std::lock_guard<std::mutex> hold(recorder_mutex);
    return calls;
}

std::vector<std::string> recorded_calls(const std::vector<std::string>& names) {
    std::vector<std::string> among;
    for (const std::string& call : recorded_calls())
        if (std::find(names.begin(), names.end(), call) != names.end()) among.push_back(call);
    return among;
}

int32_t recorded_count(const std::string& name) {
    std::lock_guard<std::mutex> hold(recorder_mutex);
    return static_cast<int32_t>(std::count(calls.begin(), calls.end(), name));
}

void start_counting_libraries() {
    ddraw_count = 0;
    dinput_count = 0;
    ddraw_system = ddraw_system_calls{counted_load, counted_free};
}

void stop_counting_libraries() {
    ddraw_system = ddraw_platform_calls;
}

int32_t ddraw_references() {
    return ddraw_count;
}

int32_t dinput_references() {
    return dinput_count;
}

void watch_ddraw_references() {
    ddraw_fewest = ddraw_count.load();
}

int32_t ddraw_references_fewest() {
    return ddraw_fewest;
}

void expect_nothing_open() {
    EXPECT_EQ(window_state.hwnd, nullptr);
    EXPECT_EQ(ddraw_state.direct_draw, nullptr);
    EXPECT_EQ(ddraw_state.primary_surface, nullptr);
    EXPECT_EQ(ddraw_state.target_surface, nullptr);
    EXPECT_EQ(ddraw_state.direct_input, nullptr);
    EXPECT_EQ(ddraw_state.keyboard_device, nullptr);
    EXPECT_EQ(ddraw_state.vsync_event, nullptr);
    EXPECT_EQ(ddraw_references(), 0);
    EXPECT_EQ(dinput_references(), 0);
    // Wine keeps ddraw.dll once loaded; dinput.dll goes with its last reference.
    EXPECT_EQ(GetModuleHandleA("dinput.dll"), nullptr);
}

void DdrawTest::TearDown() {
    stop_recording();
    close_test_screen();
    display_mode_seam = nullptr;
    stop_counting_libraries();
}
