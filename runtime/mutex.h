// Mutex: a semaphore of count 1. Every operation does nothing when given null.
#pragma once
#include <cstdint>

struct mutex;
struct os_semaphore;

mutex* mutex_create(); // null when the record or its semaphore cannot be made
void mutex_destroy(mutex* m);
void mutex_lock(mutex* m); // waits without a time limit
void mutex_unlock(mutex* m);

// How mutex_create makes its semaphore (os_semaphore_create). Tests replace it to make the
// creation fail.
extern os_semaphore* (*mutex_semaphore_create)(int32_t initial, int32_t maximum);
