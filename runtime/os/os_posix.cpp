// POSIX implementation of the OS primitives, for the native build.
#include "runtime/os/os.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <pthread.h>
#include <semaphore.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

struct os_semaphore {
    sem_t semaphore;
};

struct os_process {
    pid_t pid;
};

struct os_thread {
    pthread_t thread;
    void (*entry)(void*);
    void* argument;
};

os_semaphore* os_semaphore_create(int32_t initial, int32_t /*maximum*/) {
    auto* s = static_cast<os_semaphore*>(std::malloc(sizeof(os_semaphore)));
    if (!s) return nullptr;
    if (sem_init(&s->semaphore, 0, static_cast<unsigned>(initial)) != 0) {
        std::free(s);
        return nullptr;
    }
    return s;
}

void os_semaphore_wait(os_semaphore* s) {
    if (!s) return;
    while (sem_wait(&s->semaphore) != 0 && errno == EINTR) {
    }
}

void os_semaphore_release(os_semaphore* s) {
    if (s) sem_post(&s->semaphore);
}

void os_semaphore_close(os_semaphore* s) {
    if (!s) return;
    sem_destroy(&s->semaphore);
    std::free(s);
}

static void* thread_main(void* argument) {
    auto* t = static_cast<os_thread*>(argument);
    t->entry(t->argument);
    return nullptr;
}

os_thread* os_thread_start(void (*entry)(void*), void* argument) {
    auto* t = static_cast<os_thread*>(std::malloc(sizeof(os_thread)));
    if (!t) return nullptr;
    t->entry = entry;
    t->argument = argument;
    if (pthread_create(&t->thread, nullptr, thread_main, t) != 0) {
        std::free(t);
        return nullptr;
    }
    return t;
}

void os_thread_join(os_thread* t) {
    if (!t) return;
    pthread_join(t->thread, nullptr);
    std::free(t);
}

void os_sleep(uint32_t milliseconds) {
    timespec delay{static_cast<time_t>(milliseconds / 1000),
                   static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&delay, &delay) != 0 && errno == EINTR) {
    }
}

os_process* os_process_start(const char* path, const char* const* arguments) {
    auto* p = static_cast<os_process*>(std::malloc(sizeof(os_process)));
    if (!p) return nullptr;
    // posix_spawn takes the vector unqualified, as execve does, and changes none of it.
    if (posix_spawn(&p->pid, path, nullptr, nullptr, const_cast<char* const*>(arguments),
                    environ) != 0) {
        std::free(p);
        return nullptr;
    }
    return p;
}

int32_t os_process_wait(os_process* p) {
    if (!p) return -1;
    int status = 0;
    pid_t ended;
    while ((ended = waitpid(p->pid, &status, 0)) < 0 && errno == EINTR) {
    }
    std::free(p);
    return ended >= 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int32_t os_processor_count() {
    const long count = sysconf(_SC_NPROCESSORS_ONLN);
    return count > 0 && count < INT32_MAX ? static_cast<int32_t>(count) : 1;
}

// The native build drives no speaker.
void os_beep(uint32_t /*frequency*/, uint32_t /*milliseconds*/) {}

bool os_performance_frequency(int64_t* frequency) {
    *frequency = 1000000000;
    return true;
}

int64_t os_performance_counter() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

uint32_t os_tick_count() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000u +
                                 static_cast<uint64_t>(now.tv_nsec) / 1000000u);
}

size_t os_executable_path(char* buffer, size_t size) {
    if (size == 0) return 0;
    ssize_t n = readlink("/proc/self/exe", buffer, size - 1);
    if (n < 0) n = 0;
    buffer[n] = 0;
    return static_cast<size_t>(n);
}

const char* os_environment(const char* name) { return std::getenv(name); }

void os_set_environment(const char* name, const char* value) {
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
}
