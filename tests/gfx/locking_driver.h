// A display driver for tests whose lock is a real mutex, standing in for the window layer's
// critical section: a test thread that holds window_mutex acts as the window thread.
#pragma once
#include "gfx/internal/gfx_context.h"

#include <cstdint>
#include <mutex>

inline std::mutex window_mutex;
inline int32_t locks, unlocks; // calls of the driver's lock and unlock

inline display_driver make_locking_driver() {
    display_driver d{};
    d.name = "Locking";
    d.init = [](const char*, int32_t, int32_t, int32_t, int32_t, uint32_t) -> int32_t { return 0; };
    d.lock = [] {
        window_mutex.lock();
        ++locks;
    };
    d.unlock = [] {
        ++unlocks;
        window_mutex.unlock();
    };
    return d;
}
inline const display_driver locking_driver = make_locking_driver();
inline const display_driver* const locking_list[] = {&locking_driver, nullptr};
