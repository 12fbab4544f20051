// Mutex: a semaphore of count 1. Every operation does nothing when given null.
#pragma once

struct mutex;

mutex* mutex_create(); // null only when the record cannot be allocated
void mutex_destroy(mutex* m);
void mutex_lock(mutex* m); // waits without a time limit
void mutex_unlock(mutex* m);
