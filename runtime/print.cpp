#include "runtime/print.h"

#include "runtime/console/console.h"
#include "runtime/internal/console_hooks.h"

void print_bytes(const char* bytes, int32_t length, int32_t mask) {
    if (console_hooks.print)
        console_hooks.print(bytes, length, mask);
    else
        console_print(bytes, length, mask);
}
