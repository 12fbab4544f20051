// Mutex: a semaphore of count 1, shared between threads. Any thread may call these.
#pragma once

struct mutex;

// A new unlocked mutex; null when the record or its semaphore cannot be made.
mutex* mutex_create();
// Closes the semaphore and frees the record. Null: nothing.
void mutex_destroy(mutex* m);
// Waits without a time limit until the mutex is free and takes it. Not recursive: a second
// lock on the same thread waits for ever. Null: nothing.
void mutex_lock(mutex* m);
// Releases the mutex. Null: nothing.
void mutex_unlock(mutex* m);
