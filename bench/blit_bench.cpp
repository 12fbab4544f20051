// Conversion throughput on a 1280 x 768 frame with every line dirty, plain and MMX forms.
// Prints one line per conversion: blit <source depth> <display depth> <rgb|bgr> <plain|mmx>
// <megapixels per second>, then the 32-to-32 copy against memcpy of the same bytes.
// Usage: blit_bench [batches [frames]]   (default 7 batches of 20 frames per form, the plain and
// the MMX form of a pair taking turns; the best batch counts)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "gfx/blit/blit.h"
#include "gfx/internal/draw_state.h"
#include "gfx/internal/gfx_context.h"

namespace {

constexpr int32_t width = 1280;
constexpr int32_t height = 768;
int32_t frames_per_batch = 20;

void plain_copy(void* destination, const void* source, size_t count) {
    std::memcpy(destination, source, count);
}

template <typename Work> double best_seconds_per_frame(int32_t batches, Work work) {
    work(); // warm the caches and the table
    double best = 1e30;
    for (int32_t batch = 0; batch < batches; ++batch) {
        const auto start = std::chrono::steady_clock::now();
        for (int32_t frame = 0; frame < frames_per_batch; ++frame)
            work();
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        if (elapsed.count() / frames_per_batch < best) best = elapsed.count() / frames_per_batch;
    }
    return best;
}

int32_t display_bytes(int32_t display_depth) {
    return display_depth == 8 ? 1 : display_depth == 24 ? 3 : display_depth == 32 ? 4 : 2;
}

} // namespace

int main(int argc, char** argv) {
    const int32_t batches = argc > 1 ? std::atoi(argv[1]) : 7;
    if (argc > 2) frames_per_batch = std::atoi(argv[2]);
    if (batches < 1 || frames_per_batch < 1) {
        std::fprintf(stderr, "usage: blit_bench [batches [frames]]\n");
        return 1;
    }
    auto screen = std::make_unique<gfx_context>();
    std::vector<uint8_t> framebuffer(static_cast<size_t>(width) * height * 4);
    std::vector<uint8_t> dirty(height, 1);
    std::vector<uint8_t> display(static_cast<size_t>(width) * height * 4);
    std::vector<uint32_t> table(512);
    uint32_t state = 1;
    for (auto& byte : framebuffer) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<uint8_t>(state >> 24);
    }
    for (int32_t i = 0; i < 256; ++i)
        screen->device_palette[i] = static_cast<uint32_t>(i) * 0x010203;
    screen->width = width;
    screen->height = height;
    screen->scanline_size = 1;
    screen->visible_buffer = framebuffer.data();
    screen->dirty = dirty.data();
    gfx_screen = screen.get();
    expand16_table = table.data();
    const bool has_mmx = (cpu_features() & cpu_mmx) != 0;

    for (int32_t source_depth : {8, 16, 32}) {
        screen->depth = source_depth;
        screen->bpp = source_depth / 8;
        screen->pitch = width * screen->bpp;
        for (int32_t display_depth : {8, 15, 16, 24, 32}) {
            if (display_depth == 8 && source_depth != 8) continue;
            const int32_t display_pitch = width * display_bytes(display_depth);
            for (int32_t rgb_order : {1, 0}) {
                // The two forms take turns, one batch each, so that both meet the same load.
                const int32_t forms = has_mmx ? 2 : 1;
                double best[2] = {1e30, 1e30};
                for (int32_t round = 0; round < batches; ++round) {
                    for (int32_t form = 0; form < forms; ++form) {
                        screen->flags = form == 1 ? context_mmx : 0;
                        copy_bytes = form == 1 ? mmx_copy : plain_copy;
                        const conversion_routine routine =
                            select_blitter(display_depth, rgb_order);
                        const double seconds = best_seconds_per_frame(
                            1, [&] { routine(display.data(), display_pitch); });
                        if (seconds < best[form]) best[form] = seconds;
                    }
                }
                for (int32_t form = 0; form < forms; ++form)
                    std::printf("blit %d %d %s %s %.0f\n", source_depth, display_depth,
                                rgb_order != 0 ? "rgb" : "bgr", form == 1 ? "mmx" : "plain",
                                width * height / best[form] / 1e6);
            }
        }
    }

    // The same-format copy against one memcpy of the whole frame, measured alternately.
    screen->depth = 32;
    screen->bpp = 4;
    screen->pitch = width * 4;
    screen->flags = 0;
    const size_t frame_bytes = static_cast<size_t>(width) * height * 4;
    double ratios[2] = {};
    for (int32_t form = 0; form < 2; ++form) {
        if (form == 1 && !has_mmx) continue;
        copy_bytes = form == 1 ? mmx_copy : plain_copy;
        const conversion_routine copy = select_blitter(32, 0);
        double best_copy = 1e30;
        double best_memcpy = 1e30;
        for (int32_t round = 0; round < 3; ++round) {
            const double c =
                best_seconds_per_frame(batches, [&] { copy(display.data(), width * 4); });
            const double m = best_seconds_per_frame(
                batches, [&] { std::memcpy(display.data(), framebuffer.data(), frame_bytes); });
            if (c < best_copy) best_copy = c;
            if (m < best_memcpy) best_memcpy = m;
        }
        ratios[form] = best_memcpy / best_copy;
    }
    std::printf("copy32_vs_memcpy %.2f\n", ratios[0]);
    if (has_mmx) std::printf("copy32_mmx_vs_memcpy %.2f\n", ratios[1]);
    gfx_screen = nullptr;
    expand16_table = nullptr;
    return 0;
}
