// Text on the graphics screen (640 x 480 x 32, 8 x 16 font, null driver): characters per
// second printing full rows, and milliseconds per scroll of the whole 80 x 30 view by one row.
// Each figure comes with a baseline measured in the same run: the same glyph pixels written
// straight into the framebuffer, and the same lines moved with memmove. Under callgrind,
//   valgrind --tool=callgrind --toggle-collect='text_print_graphics*' text_bench 200 20
// counts the instructions of the prints alone.
#include "gfx/internal/draw_state.h"
#include "gfx/internal/gfx_context.h"
#include "gfx/screen.h"
#include "runtime/console/console.h"
#include "runtime/os/os.h"
#include "runtime/print.h"
#include "runtime/runtime.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The printing's lower bound: every glyph pixel of a row of 80 characters stored directly.
void direct_row(const gfx_context* c, const char* row_bytes, int32_t row) {
    const uint8_t* glyphs = c->font->glyphs;
    for (int32_t col = 0; col < 80; ++col) {
        const uint8_t* glyph = glyphs + static_cast<uint8_t>(row_bytes[col]) * 16;
        for (int32_t r = 0; r < 16; ++r) {
            auto* line =
                reinterpret_cast<uint32_t*>(c->pages[0] + (row * 16 + r) * c->pitch) + col * 8;
            for (int32_t bit = 0; bit < 8; ++bit)
                line[bit] = (glyph[r] >> bit) & 1 ? 0xFFFFFFFFu : 0xFF000000u;
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    const int32_t rows = argc > 1 ? std::atoi(argv[1]) : 20000;
    const int32_t scrolls = argc > 2 ? std::atoi(argv[2]) : 2000;
    if (rows < 1 || scrolls < 1) {
        std::fputs("usage: text_bench [rows] [scrolls]\n", stderr);
        return 2;
    }
    runtime_start();
    runtime_init(argc, argv, 0);
    if (!os_environment("QXGFX")) os_set_environment("QXGFX", "null");
    if (screen_res(640, 480, 32, 1, 0, 0) != 0 || text_width(80, 30) == 0) return 1;
    const gfx_context* c = gfx_screen;

    std::vector<char> text(80 * 64);
    for (size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char>(33 + (i * 7) % 94);

    // Full rows on rows 1 to 29, so that no print scrolls.
    auto start = std::chrono::steady_clock::now();
    for (int32_t i = 0; i < rows; ++i) {
        text_locate(1 + i % 29, 1, -1);
        print_bytes(text.data() + (i % 64) * 80, 80, 0);
    }
    const double print_seconds = seconds_since(start);
    start = std::chrono::steady_clock::now();
    for (int32_t i = 0; i < rows; ++i)
        direct_row(c, text.data() + (i % 64) * 80, i % 29);
    const double direct_seconds = seconds_since(start);

    // A line feed on the bottom row scrolls the whole view by one row.
    start = std::chrono::steady_clock::now();
    for (int32_t i = 0; i < scrolls; ++i) {
        text_locate(30, 1, -1);
        print_bytes("\n", 1, 0);
    }
    const double scroll_seconds = seconds_since(start);
    start = std::chrono::steady_clock::now();
    for (int32_t i = 0; i < scrolls; ++i) {
        std::memmove(c->pages[0], c->pages[0] + 16 * c->pitch, static_cast<size_t>(464) * c->pitch);
        std::memset(c->pages[0] + 464 * c->pitch, 0, static_cast<size_t>(16) * c->pitch);
    }
    const double memmove_seconds = seconds_since(start);

    const double characters = 80.0 * rows;
    std::printf("print_characters_per_second %.0f\n", characters / print_seconds);
    std::printf("print_over_direct_pixels %.2f\n", print_seconds / direct_seconds);
    std::printf("scroll_ms %.4f\n", scroll_seconds * 1000.0 / scrolls);
    std::printf("scroll_over_memmove %.2f\n", scroll_seconds / memmove_seconds);
    return 0;
}
