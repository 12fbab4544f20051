// Win32 implementation of the OS primitives.
#include "runtime/os/os.h"

#include <windows.h>

#include <cstdlib>
#include <process.h>
#include <string>

struct os_semaphore {
    HANDLE handle;
};

struct os_thread {
    HANDLE handle;
};

struct os_process {
    HANDLE handle;
};

os_semaphore* os_semaphore_create(int32_t initial, int32_t maximum) {
    HANDLE handle = CreateSemaphoreA(nullptr, initial, maximum, nullptr);
    if (!handle) return nullptr;
    auto* s = static_cast<os_semaphore*>(std::malloc(sizeof(os_semaphore)));
    if (!s) {
        CloseHandle(handle);
        return nullptr;
    }
    s->handle = handle;
    return s;
}

void os_semaphore_wait(os_semaphore* s) {
    if (s) WaitForSingleObject(s->handle, INFINITE);
}

void os_semaphore_release(os_semaphore* s) {
    if (s) ReleaseSemaphore(s->handle, 1, nullptr);
}

void os_semaphore_close(os_semaphore* s) {
    if (!s) return;
    CloseHandle(s->handle);
    std::free(s);
}

namespace {
struct thread_start {
    void (*entry)(void*);
    void* argument;
};

unsigned __stdcall thread_main(void* argument) {
    thread_start start = *static_cast<thread_start*>(argument);
    std::free(argument);
    start.entry(start.argument);
    return 0;
}
} // namespace

os_thread* os_thread_start(void (*entry)(void*), void* argument) {
    auto* start = static_cast<thread_start*>(std::malloc(sizeof(thread_start)));
    auto* t = static_cast<os_thread*>(std::malloc(sizeof(os_thread)));
    if (!start || !t) {
        std::free(start);
        std::free(t);
        return nullptr;
    }
    *start = thread_start{entry, argument};
    uintptr_t handle = _beginthreadex(nullptr, 0, thread_main, start, 0, nullptr);
    if (!handle) {
        std::free(start);
        std::free(t);
        return nullptr;
    }
    t->handle = reinterpret_cast<HANDLE>(handle);
    return t;
}

void os_thread_join(os_thread* t) {
    if (!t) return;
    WaitForSingleObject(t->handle, INFINITE);
    CloseHandle(t->handle);
    std::free(t);
}

void os_sleep(uint32_t milliseconds) { Sleep(milliseconds); }

namespace {
// One argument as the C run-time's start-up code splits the command line again: in quotes
// when it holds blanks or quotes, a quote escaped by a backslash and the backslashes before a
// quote (or before the closing one) doubled.
void append_argument(std::string* line, const char* argument) {
    const std::string text = argument;
    if (!text.empty() && text.find_first_of(" \t\n\v\"") == std::string::npos) {
        *line += text;
        return;
    }
    *line += '"';
    size_t backslashes = 0;
    for (char c : text) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        line->append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        *line += c;
    }
    line->append(2 * backslashes, '\\');
    *line += '"';
}
} // namespace

os_process* os_process_start(const char* path, const char* const* arguments) {
    std::string line;
    for (const char* const* argument = arguments; *argument; ++argument) {
        if (!line.empty()) line += ' ';
        append_argument(&line, *argument);
    }
    auto* p = static_cast<os_process*>(std::malloc(sizeof(os_process)));
    if (!p) return nullptr;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION started{};
    if (!CreateProcessA(path, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &started)) {
        std::free(p);
        return nullptr;
    }
    CloseHandle(started.hThread);
    p->handle = started.hProcess;
    return p;
}

int32_t os_process_wait(os_process* p) {
    if (!p) return -1;
    DWORD code = 0;
    const bool ended = WaitForSingleObject(p->handle, INFINITE) == WAIT_OBJECT_0 &&
                       GetExitCodeProcess(p->handle, &code);
    CloseHandle(p->handle);
    std::free(p);
    return ended ? static_cast<int32_t>(code) : -1;
}

int32_t os_processor_count() {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwNumberOfProcessors > 0 ? static_cast<int32_t>(info.dwNumberOfProcessors) : 1;
}

void os_beep(uint32_t frequency, uint32_t milliseconds) { Beep(frequency, milliseconds); }

bool os_performance_frequency(int64_t* frequency) {
    LARGE_INTEGER f;
    if (!QueryPerformanceFrequency(&f)) return false;
    *frequency = f.QuadPart;
    return true;
}

int64_t os_performance_counter() {
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return c.QuadPart;
}

uint32_t os_tick_count() { return GetTickCount(); }

size_t os_executable_path(char* buffer, size_t size) {
    if (size == 0) return 0;
    DWORD n = GetModuleFileNameA(nullptr, buffer, static_cast<DWORD>(size));
    if (n >= size) n = static_cast<DWORD>(size - 1);
    buffer[n] = 0;
    return n;
}

const char* os_environment(const char* name) { return std::getenv(name); }

void os_set_environment(const char* name, const char* value) {
    _putenv_s(name, value ? value : ""); // an empty value removes the variable
}
