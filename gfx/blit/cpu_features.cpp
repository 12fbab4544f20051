// Processor probe: whether CPUID exists (the ID flag toggles), then CPUID leaf 1.
#include <atomic>

#include "gfx/blit/blit.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

namespace {

constexpr uint32_t id_flag = 1u << 21;
constexpr uint32_t alignment_check_flag = 1u << 18;

std::atomic<uint32_t> stored_features{0};

// True when the flags-register bit can be inverted; the register is restored either way.
bool flag_toggles(uint32_t bit) {
#if defined(__x86_64__)
    uint64_t original = 0;
    uint64_t changed = 0;
    // The stack pointer steps over the red zone first: the compiler may keep data there.
    asm volatile("sub $128, %%rsp\n\t"
                 "pushfq\n\t"
                 "popq %0\n\t"
                 "movq %0, %1\n\t"
                 "xorq %2, %1\n\t"
                 "pushq %1\n\t"
                 "popfq\n\t"
                 "pushfq\n\t"
                 "popq %1\n\t"
                 "pushq %0\n\t"
                 "popfq\n\t"
                 "add $128, %%rsp"
                 : "=&r"(original), "=&r"(changed)
                 : "r"(static_cast<uint64_t>(bit))
                 : "cc", "memory");
    return ((original ^ changed) & bit) != 0;
#elif defined(__i386__)
    uint32_t original = 0;
    uint32_t changed = 0;
    asm volatile("pushfl\n\t"
                 "popl %0\n\t"
                 "movl %0, %1\n\t"
                 "xorl %2, %1\n\t"
                 "pushl %1\n\t"
                 "popfl\n\t"
                 "pushfl\n\t"
                 "popl %1\n\t"
                 "pushl %0\n\t"
                 "popfl"
                 : "=&r"(original), "=&r"(changed)
                 : "r"(bit)
                 : "cc", "memory");
    return ((original ^ changed) & bit) != 0;
#else
    (void)bit;
    return false;
#endif
}

uint32_t probe() {
    if (!flag_toggles(id_flag)) {
        // No CPUID: an alignment-check flag tells the later of the two oldest generations.
        return flag_toggles(alignment_check_flag) ? 0x40000000u : 0x30000000u;
    }
#if defined(__i386__) || defined(__x86_64__)
    unsigned int eax = 0;
    unsigned int ebx = 0;
    unsigned int ecx = 0;
    unsigned int edx = 0;
    __cpuid(1, eax, ebx, ecx, edx);
    (void)ebx;
    (void)ecx;
    // The family number lands in bits 28-31; the feature flags keep bits 0-27.
    return (eax << 20) | (edx & 0x0FFFFFFFu);
#else
    return 0;
#endif
}

} // namespace

uint32_t cpu_features() {
    uint32_t features = stored_features.load(std::memory_order_relaxed);
    if (features == 0) {
        features = probe();
        stored_features.store(features, std::memory_order_relaxed);
    }
    return features;
}
