#include "runtime/mutex.h"

#include "runtime/os/os.h"

#include <cstdlib>

struct mutex {
    os_semaphore* semaphore;
};

mutex* mutex_create() {
    auto* m = static_cast<mutex*>(std::malloc(sizeof(mutex)));
    if (!m) return nullptr;
    m->semaphore = os_semaphore_create(1, 1);
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
