// text_demo: text on the graphics screen. Opens a 640 x 480 x 32 screen (or numbered mode N),
// prints its standard input there through the run-time's print operation and, with --ask,
// asks for a name and greets it. Ends with code 0 on a key press, on the window's close button
// or after S seconds.
// Usage: text_demo [--mode N] [--colors FG BG] [--ask] [--seconds S] < text
//   --mode N         numbered screen mode N (1, 2, 7 to 21) instead of 640 x 480 x 32
//   --colors FG BG   text colours, as the screen takes them: 0xAARRGGBB at 16 and 32 bits,
//                    pixel values (palette indexes) at 8 bits and fewer
//   --ask            then read a line: "Name? ", and print "Hello, " and the line
//   --seconds S      end after S seconds without a key
// Example: text_demo --colors 0xFFFFFF00 0xFF000080 --ask < README.md
#include "gfx/screen.h"
#include "runtime/console/console.h"
#include "runtime/key_input.h"
#include "runtime/line_input.h"
#include "runtime/os/os.h"
#include "runtime/print.h"
#include "runtime/runtime.h"
#include "runtime/text.h"

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

int read_input(char* buffer, int size) {
#ifdef _WIN32
    return _read(0, buffer, static_cast<unsigned>(size));
#else
    return static_cast<int>(read(0, buffer, static_cast<size_t>(size)));
#endif
}

bool parse_number(const char* text, uint32_t* value) {
    char* end = nullptr;
    unsigned long long parsed = std::strtoull(text, &end, 0);
    if (end == text || *end != 0 || parsed > 0xFFFFFFFFull) return false;
    *value = static_cast<uint32_t>(parsed);
    return true;
}

[[noreturn]] void usage() {
    std::fputs("usage: text_demo [--mode N] [--colors FG BG] [--ask] [--seconds S] < text\n",
               stderr);
    program_end(2);
}

void print(const char* bytes) {
    print_bytes(bytes, static_cast<int32_t>(std::strlen(bytes)), 0);
}

// True once a key (the close button included) has been typed.
bool key_typed() {
    text typed{};
    text_assign(&typed, key_read_text());
    const bool any = text_length(&typed) > 0;
    text_free(&typed);
    return any;
}

} // namespace

int main(int argument_count, char** arguments) {
    runtime_start();
    exit_handler_add(runtime_stop);
    runtime_init(argument_count, arguments, 0);

    uint32_t mode = 0, foreground = 0, background = 0, seconds = 0;
    bool colours = false, ask = false, timed = false;
    for (int i = 1; i < argument_count; ++i) {
        const char* option = arguments[i];
        if (std::strcmp(option, "--mode") == 0 && i + 1 < argument_count &&
            parse_number(arguments[i + 1], &mode) && mode >= 1) {
            ++i;
        } else if (std::strcmp(option, "--colors") == 0 && i + 2 < argument_count &&
                   parse_number(arguments[i + 1], &foreground) &&
                   parse_number(arguments[i + 2], &background)) {
            colours = true;
            i += 2;
        } else if (std::strcmp(option, "--ask") == 0) {
            ask = true;
        } else if (std::strcmp(option, "--seconds") == 0 && i + 1 < argument_count &&
                   parse_number(arguments[i + 1], &seconds)) {
            timed = true;
            ++i;
        } else {
            usage();
        }
    }

    const int32_t opened = mode ? screen_mode(static_cast<int32_t>(mode), 0, 1, 0, 0)
                                : screen_res(640, 480, 32, 1, 0, 0);
    if (opened != 0) {
        std::fprintf(stderr, "text_demo: the screen could not be opened (error %d)\n", opened);
        program_end(1);
    }
    if (colours) {
        text_color(foreground, background, 0);
        text_clear(0); // the whole screen in the new background
    }

#ifdef _WIN32
    _setmode(0, _O_BINARY); // every byte as it is
#endif
    static char chunk[chunk_size];
    for (int count; (count = read_input(chunk, chunk_size)) > 0;)
        print_bytes(chunk, count, 0);

    if (ask) {
        text name{};
        if (line_input(text_make("Name", 4), &name, -1, 0, 1, 1) == 0) {
            print("Hello, ");
            print_bytes(text_bytes(&name), static_cast<int32_t>(text_length(&name)), 0);
            print("\r\n");
        }
        text_free(&name);
    }

    const uint32_t start = os_tick_count();
    while (!key_typed()) {
        if (timed && os_tick_count() - start >= seconds * 1000u) break;
        os_sleep(20);
    }
    program_end(0);
}
