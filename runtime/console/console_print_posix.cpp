// The native build's console printing: the bytes go to standard output as they are; the
// terminal itself interprets the control characters.
#include "runtime/console/console.h"

#include <unistd.h>

#include <cerrno>

void console_print(const char* bytes, int32_t length, int32_t /*mask*/) {
    while (length > 0) {
        ssize_t written = write(STDOUT_FILENO, bytes, static_cast<size_t>(length));
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;
        bytes += written;
        length -= static_cast<int32_t>(written);
    }
}
