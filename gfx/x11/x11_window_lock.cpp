// The lock that the window thread and the program's thread share. The program's thread takes it
// for every plotted pixel, some 20,000 times a frame; the window thread about 100 times a second.
// So the frequent side pays only plain stores and a load: each side announces itself in its own
// flag and then looks at the other's, and the window thread, before it looks, makes every thread
// of the process pass a full memory barrier (membarrier), which orders the program's announcement
// and look against its own. Whoever sees the other announced backs off: the program's thread
// waits until the window thread lets go; the window thread waits until the program's current
// hold ends. Like the screen lock's count and flag, this counts on one program thread drawing at
// a time. Where the kernel has no membarrier, both sides take a mutex.
#include <emmintrin.h>
#include <linux/futex.h>
#include <linux/membarrier.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <ctime>

#include "gfx/x11/x11_driver.h"

namespace {

std::atomic<int32_t> program_inside; // the program's thread holds the lock or is taking it
std::atomic<int32_t> window_inside;  // the window thread holds the lock or is taking it
bool asymmetric;                     // membarrier is there; fixed before the first window
pthread_mutex_t fallback = PTHREAD_MUTEX_INITIALIZER;

constexpr int window_spins = 1000; // a pixel's hold ends within them
constexpr long window_wait_nanoseconds = 1000000;

long membarrier(int command) {
    return syscall(SYS_membarrier, command, 0, 0);
}

int* futex_word(std::atomic<int32_t>& flag) {
    return reinterpret_cast<int*>(&flag);
}

// Sleeps while flag holds value, at most for the timeout when one is given.
void futex_wait(std::atomic<int32_t>& flag, int32_t value, const timespec* timeout) {
    syscall(SYS_futex, futex_word(flag), FUTEX_WAIT_PRIVATE, value, timeout, nullptr, 0);
}

void futex_wake(std::atomic<int32_t>& flag) {
    syscall(SYS_futex, futex_word(flag), FUTEX_WAKE_PRIVATE, 1, nullptr, nullptr, 0);
}

} // namespace

void x11_choose_lock() {
    static const bool available = [] {
        const long commands = membarrier(MEMBARRIER_CMD_QUERY);
        return commands > 0 && (commands & MEMBARRIER_CMD_PRIVATE_EXPEDITED) &&
               membarrier(MEMBARRIER_CMD_REGISTER_PRIVATE_EXPEDITED) == 0;
    }();
    asymmetric = available;
}

void x11_lock() {
    if (!asymmetric) {
        pthread_mutex_lock(&fallback);
        return;
    }
    for (;;) {
        program_inside.store(1, std::memory_order_relaxed);
        // Only the compiler is kept from moving the look before the announcement; the window
        // thread's membarrier orders them for the processor.
        std::atomic_signal_fence(std::memory_order_seq_cst);
        if (window_inside.load(std::memory_order_acquire) == 0) return;
        program_inside.store(0, std::memory_order_release);
        futex_wait(window_inside, 1, nullptr);
    }
}

void x11_unlock() {
    if (!asymmetric) {
        pthread_mutex_unlock(&fallback);
        return;
    }
    program_inside.store(0, std::memory_order_release);
}

void x11_window_lock() {
    if (!asymmetric) {
        pthread_mutex_lock(&fallback);
        return;
    }
    window_inside.store(1, std::memory_order_relaxed);
    membarrier(MEMBARRIER_CMD_PRIVATE_EXPEDITED);
    // The program's unlock wakes nobody: a long hold is waited out in short sleeps.
    const timespec wait{0, window_wait_nanoseconds};
    for (int spins = 0; program_inside.load(std::memory_order_acquire) != 0; ++spins) {
        if (spins < window_spins)
            _mm_pause();
        else
            futex_wait(program_inside, 1, &wait);
    }
}

void x11_window_unlock() {
    if (!asymmetric) {
        pthread_mutex_unlock(&fallback);
        return;
    }
    window_inside.store(0, std::memory_order_release);
    futex_wake(window_inside);
}
