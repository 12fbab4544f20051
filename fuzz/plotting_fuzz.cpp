// Plotting into screens and images: points of every coordinate type and colour into the screen
// and into images of both header forms (any sizes, pixel sizes and pitches), images released
// and others placed at the same address, views reset, pages switched, text printed, cleared and
// its grid changed in between.
// Input: a screen, then operations, each a byte choosing it and its arguments.
#include "fuzz/fuzz_screen.h"
#include "gfx/draw_state.h"

#include <sanitizer/asan_interface.h>

#include <cstdlib>

namespace {

// Images live in blocks of their own, one per slot, as an allocator hands them out: an image
// placed in a slot takes its block's first bytes, whatever image the slot held before. Only
// the image's own bytes are addressable, so that a write past it shows at once.
constexpr int32_t slot_count = 3;
constexpr size_t slot_size = 64 * 1024;

struct image_slot {
    uint8_t* block = nullptr;
    bool placed = false;
    bool old_header = false; // sized for the screen it was made for
};
std::array<image_slot, slot_count> slots;

void release(image_slot& slot) {
    if (!slot.block) slot.block = static_cast<uint8_t*>(std::malloc(slot_size));
    __asan_poison_memory_region(slot.block, slot_size);
    slot.placed = false;
    slot.old_header = false;
}

// Places an image of size bytes whose header starts with the given words; false when it does
// not fit its block.
bool place(image_slot& slot, uint64_t size, const uint32_t* header, size_t header_bytes) {
    release(slot);
    if (size > slot_size || size < header_bytes) return false;
    __asan_unpoison_memory_region(slot.block, static_cast<size_t>(size));
    std::memcpy(slot.block, header, header_bytes);
    slot.placed = true;
    return true;
}

// An image with the new header: any pixel size, width, height and pitch; refused headers too.
void place_new_header(image_slot& slot, fuzz_input& in) {
    static constexpr std::array<uint32_t, 5> pixel_sizes = {1, 2, 4, 3, 0};
    const uint32_t bpp = in.byte() < 240 ? in.pick(pixel_sizes) : in.u32();
    const auto width = static_cast<uint32_t>(in.argument(0, 64));
    const auto height = static_cast<uint32_t>(in.argument(0, 64));
    const uint32_t pitch = in.byte() < 224 ? width * bpp + static_cast<uint32_t>(in.range(0, 9))
                                           : static_cast<uint32_t>(in.argument(0, 300));
    // Taller images that fit in memory (no wider than 0, or the block) ask the library for a
    // line table the size of a program's memory; taller than 2^31 lines is refused outright.
    if (height > 65536 && height <= INT32_MAX) return;
    const uint32_t header[5] = {image_new_header, bpp, width, height, pitch};
    // Room for what the header claims: every line but the last at the pitch, then one line.
    const uint64_t last_line = height > 0 ? uint64_t{height - 1} * pitch : 0;
    place(slot, 32 + last_line + uint64_t{width} * bpp, header, sizeof header);
}

// An image with the old header, whose pixels have the screen's size.
void place_old_header(image_slot& slot, fuzz_input& in) {
    const uint32_t width = static_cast<uint32_t>(in.argument(0, 64)) & 0x1FFF;
    const uint32_t height = static_cast<uint32_t>(in.argument(0, 64)) & 0xFFFF;
    const uint32_t header = width << 3 | height << 16;
    slot.old_header = place(slot, 4 + uint64_t{width} * height * gfx_screen->bpp, &header, 4);
}

// A new screen: images of the old header were made for the one before and go with it.
void change_screen(fuzz_input& in) {
    for (image_slot& slot : slots)
        if (slot.old_header) release(slot);
    open_screen(in, 320);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_input in{data, size};
    screen_session session;
    for (image_slot& slot : slots)
        release(slot);
    change_screen(in);
    constexpr int32_t own_operations = 9;
    for (int32_t operation; (operation = next_operation(in, own_operations)) >= 0;) {
        switch (operation) {
        case 0:
            change_screen(in);
            break;
        case 1:
            place_new_header(slots[in.byte() % slot_count], in);
            break;
        case 2:
            place_old_header(slots[in.byte() % slot_count], in);
            break;
        case 3:
            release(slots[in.byte() % slot_count]);
            break;
        case 4: { // one to eight points, as a program's loop plots them
            const image_slot& slot = slots[in.byte() % slot_count];
            const bool screen = !slot.placed || in.byte() < 128;
            void* target = screen ? nullptr : slot.block;
            int32_t type = in.range(0, 7);
            if (in.byte() < 32) type |= coords_no_colour;
            const uint32_t colour = in.u32();
            const int32_t preset = in.range(0, 1);
            for (int32_t n = in.range(1, 8); n > 0; --n) {
                const float x = in.coordinate(screen ? gfx_screen->width : 64);
                const float y = in.coordinate(screen ? gfx_screen->height : 64);
                plot_pixel(target, x, y, colour, type, preset);
            }
            break;
        }
        case 5:
            reset_view();
            break;
        case 6:
            page_set(in.argument(-1, 3), in.argument(-1, 3));
            break;
        case 7:
            text_clear(in.argument(-1, 2));
            break;
        case 8:
            text_color(in.u32(), in.u32(), in.range(0, 3));
            break;
        default:
            text_operation(in, operation - own_operations);
            break;
        }
    }
    return 0;
}
