// Seams through which the tests reach inside the run-time: the allocations and system objects
// they make fail, and the state they put back.
#pragma once
#include <cstddef>
#include <cstdint>

struct os_semaphore;

// The context slots' allocator, zero-filling like calloc (its default).
extern void* (*context_allocate)(size_t count, size_t size);
// How mutex_create makes its semaphore (os_semaphore_create).
extern os_semaphore* (*mutex_semaphore_create)(int32_t initial, int32_t maximum);

// Puts the generator state and the timer back to their program-start values.
void random_reset();
// The timer mode (0 not probed, 1 tick count, 2 performance counter); a nonzero argument forces
// that mode.
int32_t timer_mode(int32_t force);
