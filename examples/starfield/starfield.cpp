// starfield: stars flying out of the screen towards the viewer. Each frame is drawn on the page
// that is not shown and then shown, so no half-drawn frame is ever seen; the frame number and
// the speed are printed in the top left corner. Typed keys change the speed and end the
// program; the window's events move the centre of the flight and end it too.
//   + and -         faster and slower
//   Escape          ends the program
//   mouse           the stars fly out of the pointer; a click puts the centre back
//   close button    ends the program
// Usage: starfield [--mode N] [--frames N]
//   --mode N     numbered screen mode N (1, 2, 7 to 21) instead of 640 x 480 x 32
//   --frames N   ends after N frames
// At the end it prints the frames drawn and the screen it drew them on.
#include "gfx/gfx.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int32_t star_count = 400;
constexpr int32_t shades = 16;       // brightness steps, from far to near
constexpr int32_t first_shade = 16;  // palette entries of the shades at 8 bits
constexpr int32_t frame_time = 16;   // milliseconds between frames
constexpr float large_within = 0.3f; // a star this near is drawn larger
constexpr float nearest = 0.02f;     // a star this near has flown past
constexpr float start_speed = 0.01f; // depth travelled per frame

// x and y from -1 to 1 across the field of view, z the depth from 1 (far) to 0 (here).
struct star {
    float x;
    float y;
    float z;
};

struct starfield {
    star stars[star_count];
    screen_info screen;
    float centre_x;
    float centre_y;
    float speed;
};

float random_between(float low, float high) {
    return low + static_cast<float>(random_next(1.0f)) * (high - low);
}

void place(star* s, float z) {
    s->x = random_between(-1.0f, 1.0f);
    s->y = random_between(-1.0f, 1.0f);
    s->z = z;
}

// The colour of a star at depth z as the screen's depth takes it: a grey at 15 bits and more,
// one of the shades that set_shades put in the palette at 8 bits, the last pixel value below.
uint32_t colour_at(const screen_info& screen, float z) {
    int32_t shade = shades - 1 - static_cast<int32_t>(z * shades);
    shade = shade < 0 ? 0 : shade;
    if (screen.depth >= 15) {
        const uint32_t level = 64 + static_cast<uint32_t>(shade) * 191 / (shades - 1);
        return 0xFF000000u | level << 16 | level << 8 | level;
    }
    if (screen.depth == 8) return static_cast<uint32_t>(first_shade + shade);
    return (1u << screen.depth) - 1;
}

// At 8 bits: palette entries 16 to 31 become a ramp from dark blue to white.
void set_shades(const screen_info& screen) {
    if (screen.depth != 8) return;
    for (int32_t shade = 0; shade < shades; ++shade) {
        const int32_t level = shade * 255 / (shades - 1);
        palette_change(first_shade + shade, level, level, 96 + level * 159 / 255);
    }
}

// One frame of flight: every star comes nearer and is plotted where it now appears, a near one
// as a square of 2 x 2 (the three more points each relative to the last); a star that has flown
// past or out of sight starts again far away.
void fly(starfield* f) {
    const float half_width = static_cast<float>(f->screen.width) / 2;
    const float half_height = static_cast<float>(f->screen.height) / 2;
    for (star& s : f->stars) {
        s.z -= f->speed;
        const float x = f->centre_x + s.x / s.z * half_width;
        const float y = f->centre_y + s.y / s.z * half_height;
        if (s.z < nearest || x < 0 || y < 0 || x >= f->screen.width || y >= f->screen.height) {
            place(&s, 1.0f);
            continue;
        }
        const uint32_t colour = colour_at(f->screen, s.z);
        plot_pixel(nullptr, x, y, colour, coords_point, 0);
        if (s.z < large_within) {
            plot_pixel(nullptr, 1.0f, 0.0f, colour, coords_point_relative, 0);
            plot_pixel(nullptr, 0.0f, 1.0f, colour, coords_point_relative, 0);
            plot_pixel(nullptr, -1.0f, 0.0f, colour, coords_point_relative, 0);
        }
    }
}

void print_status(const starfield& f, int64_t frame) {
    char line[64];
    const int length = std::snprintf(line, sizeof line, "frame %lld  speed %.3f",
                                     static_cast<long long>(frame), static_cast<double>(f.speed));
    text_locate(1, 1, -1);
    print_bytes(line, length, 0);
}

// Typed keys, read as text: + and - change the speed. False once Escape was typed.
bool read_keys(starfield* f) {
    bool going = true;
    text key{};
    for (;;) {
        text_assign(&key, key_read_text());
        if (text_length(&key) == 0) break;
        if (text_compare(&key, "+") == 0 && f->speed < 0.2f) f->speed *= 1.25f;
        if (text_compare(&key, "-") == 0 && f->speed > 0.001f) f->speed /= 1.25f;
        if (text_compare(&key, "\x1b") == 0) going = false;
    }
    text_free(&key);
    return going;
}

// The window's events: the pointer moves the centre, a click puts it back, the close button
// ends the flight. False once the window asked to close.
bool read_events(starfield* f) {
    bool going = true;
    event_record event;
    while (get_event(&event)) {
        switch (event.type) {
        case event_mouse_moved:
            f->centre_x = static_cast<float>(event.field[0]);
            f->centre_y = static_cast<float>(event.field[1]);
            break;
        case event_button_pressed:
            f->centre_x = static_cast<float>(f->screen.width) / 2;
            f->centre_y = static_cast<float>(f->screen.height) / 2;
            break;
        case event_close:
            going = false;
            break;
        default:
            break;
        }
    }
    return going;
}

bool parse_count(const char* text, long* value) {
    char* end = nullptr;
    *value = std::strtol(text, &end, 10);
    return end != text && *end == 0 && *value >= 0;
}

[[noreturn]] void usage() {
    std::fputs("usage: starfield [--mode N] [--frames N]\n", stderr);
    program_end(2);
}

starfield field;

} // namespace

int main(int argument_count, char** arguments) {
    runtime_start();
    exit_handler_add(runtime_stop);
    runtime_init(argument_count, arguments, 0);

    long mode = 0, frames = 0; // 0: 640 x 480 x 32; until a key or the close button
    for (int i = 1; i < argument_count; ++i) {
        if (std::strcmp(arguments[i], "--mode") == 0 && i + 1 < argument_count &&
            parse_count(arguments[i + 1], &mode))
            ++i;
        else if (std::strcmp(arguments[i], "--frames") == 0 && i + 1 < argument_count &&
                 parse_count(arguments[i + 1], &frames))
            ++i;
        else
            usage();
    }

    // Two pages: one is shown while the other is drawn.
    set_window_title(text_make("starfield", 9));
    const int32_t opened = mode ? screen_mode(static_cast<int32_t>(mode), 0, 2, 0, 0)
                                : screen_res(640, 480, 32, 2, 0, 0);
    if (opened != error_none) {
        std::fprintf(stderr, "starfield: the screen could not be opened (error %d)\n", opened);
        program_end(1);
    }
    screen_describe(&field.screen);
    set_shades(field.screen);
    field.centre_x = static_cast<float>(field.screen.width) / 2;
    field.centre_y = static_cast<float>(field.screen.height) / 2;
    field.speed = start_speed;
    random_seed(-1.0, 0); // from the timer
    for (star& s : field.stars)
        place(&s, random_between(nearest, 1.0f));

    int32_t shown = 0;
    int64_t frame = 0;
    while (frames == 0 || frame < frames) {
        const int32_t drawn = 1 - shown;
        page_set(drawn, shown); // draw on the hidden page
        text_clear(0);          // the whole page in the background colour
        fly(&field);
        print_status(field, frame + 1);
        page_set(drawn, drawn); // and show it
        shown = drawn;
        ++frame;
        if (!read_keys(&field) || !read_events(&field)) break;
        key_sleep(frame_time);
    }

    std::printf("starfield: %lld frames on %d x %d x %d, %d pages, driver %s\n",
                static_cast<long long>(frame), field.screen.width, field.screen.height,
                field.screen.depth, field.screen.pages, field.screen.driver);
    program_end(0);
}
