#include "runtime/console/console_key_ring.h"

#include "runtime/console/console.h"

#include <atomic>

namespace {

int32_t console_keys[console_ring_size];
int32_t console_key_head;
int32_t console_key_tail;
int32_t console_key_hit;

// The control handler runs on a thread of its own; an atomic count keeps its close keys from
// being lost or torn by a poll that stores into the ring at the same moment.
std::atomic<int32_t> close_pending;
static_assert(std::atomic<int32_t>::is_always_lock_free, "posted from a signal handler");

constexpr int32_t ring_mask = console_ring_size - 1;

} // namespace

void console_key_store(int32_t code) {
    console_keys[console_key_tail] = code;
    int32_t next = (console_key_tail + 1) & ring_mask;
    if (next == console_key_head) console_key_head = (next + 1) & ring_mask;
    console_key_tail = next;
    console_key_hit = 1;
}

int32_t console_key_take() {
    if (console_key_head == console_key_tail) return -1;
    int32_t code = console_keys[console_key_head];
    console_key_head = (console_key_head + 1) & ring_mask;
    return code;
}

int32_t console_key_hit_flag() {
    return console_key_hit;
}
void console_key_hit_clear() {
    console_key_hit = 0;
}

void console_close_post() {
    close_pending.fetch_add(1, std::memory_order_release);
}

void console_close_drain() {
    for (int32_t n = close_pending.exchange(0, std::memory_order_acquire); n > 0; --n)
        console_key_store(close_key);
}

int32_t console_key_waiting() {
    console_key_poll();
    return console_key_head != console_key_tail;
}

// The oldest code after a poll, and a poll after it, as the platform polls.
int32_t console_key_read() {
    console_key_poll();
    int32_t code = console_key_take();
    if (code == -1) return -1;
    console_key_poll();
    console_key_hit_clear();
    return code;
}
