#include "runtime/internal/console_hooks.h"

console_hooks_table console_hooks;
