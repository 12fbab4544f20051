// The run-time's print operation: the one way a program prints a byte string.
#pragma once
#include <cstdint>

// Mask bit: go on even with nothing to print, which settles a pending line wrap.
constexpr int32_t print_settle_wrap = 0x8;

// Prints length bytes on the open graphics screen (its console_hooks print entry), or on the
// text console when no screen is open. An empty print does nothing unless the mask has
// print_settle_wrap.
void print_bytes(const char* bytes, int32_t length, int32_t mask);
