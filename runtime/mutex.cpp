#include "runtime/mutex.h"

#include "runtime/internal/seams.h"
#include "runtime/os/os.h"

#include <cstdlib>

struct mutex {
    os_semaphore* semaphore;
};

os_semaphore* (*mutex_semaphore_create)(int32_t initial, int32_t maximum) = os_semaphore_create;

// A mutex without its semaphore would let every lock through: none is returned instead.
mutex* mutex_create() {
    auto* m = static_cast<mutex*>(std::malloc(sizeof(mutex)));
    if (!m) return nullptr;
    m->semaphore = mutex_semaphore_create(1, 1);
    if (!m->semaphore) {
        std::free(m);
        return nullptr;
    }
    return m;
}

void mutex_destroy(mutex* m) {
    if (!m) return;
    os_semaphore_close(m->semaphore);
    std::free(m);
}

void mutex_lock(mutex* m) {
    if (m) os_semaphore_wait(m->semaphore);
}

void mutex_unlock(mutex* m) {
    if (m) os_semaphore_release(m->semaphore);
}
