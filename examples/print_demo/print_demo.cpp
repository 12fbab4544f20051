// print_demo: copies its standard input to the screen through the run-time's print operation,
// so that control characters, wrapping and scrolling can be watched on a real console.
// Usage: print_demo [--raw] [--view TOP BOTTOM]
//   --raw              leave the console as it is instead of clearing it first
//   --view TOP BOTTOM  print inside the text rows TOP to BOTTOM (1-based)
// Example: print_demo --view 5 10 < README.md
#include "runtime/console/console.h"
#include "runtime/print.h"
#include "runtime/runtime.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

constexpr int chunk_size = 4096;

// Reads what standard input has, up to size bytes, as it is: 0 at its end, -1 on an error.
int read_input(char* buffer, int size) {
#ifdef _WIN32
    return _read(0, buffer, static_cast<unsigned>(size));
#else
    return static_cast<int>(read(0, buffer, static_cast<size_t>(size)));
#endif
}

bool parse_row(const char* text, int32_t* row) {
    char* end = nullptr;
    long value = std::strtol(text, &end, 10);
    if (end == text || *end != 0 || value < 1 || value > 32767) return false;
    *row = static_cast<int32_t>(value);
    return true;
}

[[noreturn]] void usage() {
    std::fputs("usage: print_demo [--raw] [--view TOP BOTTOM]\n", stderr);
    program_end(2);
}

} // namespace

int main(int argument_count, char** arguments) {
    runtime_start();
    exit_handler_add(runtime_stop);
    runtime_init(argument_count, arguments, 0);

    bool raw = false, view = false;
    int32_t top = 0, bottom = 0;
    for (int i = 1; i < argument_count; ++i) {
        if (std::strcmp(arguments[i], "--raw") == 0) {
            raw = true;
        } else if (std::strcmp(arguments[i], "--view") == 0 && i + 2 < argument_count &&
                   parse_row(arguments[i + 1], &top) && parse_row(arguments[i + 2], &bottom)) {
            view = true;
            i += 2;
        } else {
            usage();
        }
    }

#ifdef _WIN32
    _setmode(0, _O_BINARY); // every byte as it is: no CR-LF folding, no end at Ctrl-Z
#endif
    if (!raw) text_clear(0);
    if (view && text_view(top, bottom, 1) == 0) {
        std::fprintf(stderr, "print_demo: rows %d to %d are not a text view of this screen\n", top,
                     bottom);
        program_end(2);
    }

    static char chunk[chunk_size];
    for (int count; (count = read_input(chunk, chunk_size)) > 0;)
        print_bytes(chunk, count, 0);
    program_end(0);
}
