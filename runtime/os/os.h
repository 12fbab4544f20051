// The few operating-system primitives that the portable code needs. One implementation per
// platform: os_win32.cpp (the Win32 calls) and os_posix.cpp (the native build).
#pragma once
#include <cstddef>
#include <cstdint>

struct os_semaphore;
struct os_thread;
struct os_process;

// A counting semaphore; null when it cannot be created.
os_semaphore* os_semaphore_create(int32_t initial, int32_t maximum);
void os_semaphore_wait(os_semaphore* semaphore); // no time limit
void os_semaphore_release(os_semaphore* semaphore);
void os_semaphore_close(os_semaphore* semaphore);

// A thread running entry(argument); null when it cannot be started.
os_thread* os_thread_start(void (*entry)(void*), void* argument);
void os_thread_join(os_thread* thread); // waits without a time limit, then releases the handle

void os_sleep(uint32_t milliseconds);

// Starts the program at path with arguments[0..] (arguments[0] its name, the list ended by a
// null), sharing this process's standard streams and environment; null when it cannot start.
os_process* os_process_start(const char* path, const char* const* arguments);
// Waits without a time limit, releases the handle and returns the exit code; -1 when there is
// none (a null process, or one that a signal ended).
int32_t os_process_wait(os_process* process);
// Processors this process may run on, at least 1.
int32_t os_processor_count();

// Sounds a tone on the system speaker and returns when it ends; nothing on the native build.
void os_beep(uint32_t frequency, uint32_t milliseconds);

// High-resolution counter: false when the platform has none.
bool os_performance_frequency(int64_t* frequency);
int64_t os_performance_counter();
uint32_t os_tick_count(); // milliseconds since system start, wrapping at 2^32

// Full path of the running executable, zero-terminated, cut to size - 1 bytes; returns its length.
size_t os_executable_path(char* buffer, size_t size);
const char* os_environment(const char* name); // null when not set
// Sets an environment variable of this process; a null value removes it.
void os_set_environment(const char* name, const char* value);

// Path separator of executable paths on this platform.
constexpr char os_path_separator =
#ifdef _WIN32
    '\\';
#else
    '/';
#endif
