// Win32 implementation of the OS primitives.
#include "runtime/os/os.h"

#include <windows.h>

#include <cstdlib>
#include <process.h>

struct os_semaphore {
    HANDLE handle;
};

struct os_thread {
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
