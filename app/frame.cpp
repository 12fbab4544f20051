#include "app/frame.h"

#include "app/summary.h"
#include "gfx/internal/draw_state.h"
#include "runtime/key_input.h"
#include "runtime/random.h"

namespace {

constexpr float screen_height = 768.0f;

// Sky coordinates (p, q) to the screen: x = p + centreX, y = (-q + 768) - centreY, passed as
// singles. With the screen's centre these sums of a single are exact in double when |p| and
// |q| exceed 2^-20, and below that both precisions round them to the centre's single, so
// double gives the extended-precision result without a trip through the x87.
struct sky_to_screen {
    double centre_x, centre_y;
    void plot(float p, float q, uint32_t colour) const {
        float x = static_cast<float>(static_cast<double>(p) + centre_x);
        float y = static_cast<float>((-static_cast<double>(q) + screen_height) - centre_y);
        plot_pixel(nullptr, x, y, colour, coords_point, 0);
    }
    void ahead(float p, float q) const {
        plot_pixel_ahead(static_cast<float>(static_cast<double>(p) + centre_x),
                         static_cast<float>((-static_cast<double>(q) + screen_height) - centre_y));
    }
};

constexpr int32_t plot_lead = 16; // clouds between a dot's request and its plot

void draw_clouds(model_state* m) {
    // Plotting changes none of these, so they are read once.
    const sky_to_screen sky{static_cast<double>(m->centreX), static_cast<double>(m->centreY)};
    const float* screenX = m->screenX;
    const float* screenY = m->screenY;
    const float* distance = m->distance;
    float* prevScreenX = m->prevScreenX;
    float* prevScreenY = m->prevScreenY;
    for (int32_t n = 1; n <= cloud_count; ++n) {
        // The dots are scattered over the screen, each one's line rarely still in the cache:
        // a dot some clouds on is asked for now, so that it is there when it is plotted. Its
        // erase lies within a few pixels of it.
        if (n + plot_lead <= cloud_count) sky.ahead(screenX[n + plot_lead], screenY[n + plot_lead]);
        sky.plot(prevScreenX[n], prevScreenY[n], colour_black);
        sky.plot(screenX[n], screenY[n], colour_yellow);
        if (!(distance[n] >= 10.0f)) sky.plot(screenX[n], screenY[n], colour_white);
        prevScreenX[n] = screenX[n];
        prevScreenY[n] = screenY[n];
        m->prevLineOfSight[n] = m->lineOfSight[n];
    }
}

// The cyan marker at the source's projected position; its height does not enter.
void plot_source_projection(const model_state* m) {
    const long double x = static_cast<long double>(m->centreX) + m->sourceX;
    const long double x1 = static_cast<long double>(m->centreX + 1) + m->sourceX;
    const long double tilt = static_cast<long double>(m->cosIncl) * m->sourceY;
    const long double h = (screen_height - m->centreY) - tilt;
    const long double h_below = (769 - m->centreY) - tilt;
    plot_pixel(nullptr, static_cast<float>(x), static_cast<float>(h), colour_cyan, coords_point, 0);
    plot_pixel(nullptr, static_cast<float>(x), static_cast<float>(h + 1.0L), colour_cyan,
               coords_point, 0);
    plot_pixel(nullptr, static_cast<float>(x1), static_cast<float>(h), colour_cyan, coords_point,
               0);
    plot_pixel(nullptr, static_cast<float>(x1), static_cast<float>(h_below), colour_cyan,
               coords_point, 0);
}

// One poll: a space computes the summary values; Escape or the close key end the frames.
bool poll_key(frame_loop* loop, frame_end* end) {
    text_assign(&loop->keyText, key_read_text());
    if (text_compare(&loop->keyText, " ") == 0) {
        loop->model->meanDelay = mean_delay(loop->model->delaySum, loop->frame);
        loop->histogramPeak = histogram_peak(loop->model->delayHistogram);
        return false;
    }
    if (text_compare(&loop->keyText, "\x1b") == 0) {
        *end = frame_end::escape;
        return true;
    }
    if (text_compare(&loop->keyText, "\xffk") == 0) {
        *end = frame_end::close_key;
        return true;
    }
    return false;
}

} // namespace

void plot_source_marker(const model_state* m) {
    const int32_t x = m->centreX, top = 768 - m->centreY, bottom = 769 - m->centreY;
    plot_pixel(nullptr, static_cast<float>(x), static_cast<float>(top), colour_white, coords_point,
               0);
    plot_pixel(nullptr, static_cast<float>(x), static_cast<float>(bottom), colour_white,
               coords_point, 0);
    plot_pixel(nullptr, static_cast<float>(x + 1), static_cast<float>(top), colour_white,
               coords_point, 0);
    plot_pixel(nullptr, static_cast<float>(x + 1), static_cast<float>(bottom), colour_white,
               coords_point, 0);
}

void start_frames(frame_loop* loop, model_state* model, double seed) {
    model_derive(model, model_parameters{});
    random_seed(seed, 0);
    plot_source_marker(model);
    model_clear(model);
    model_place_clouds(model);
    *loop = frame_loop{};
    loop->model = model;
    loop->frame = 1;
}

frame_end run_frames(frame_loop* loop, int32_t frames) {
    model_state* m = loop->model;
    frame_end end = frame_end::last_frame;
    for (; loop->frame <= frames; ++loop->frame) {
        model_step(m);
        draw_clouds(m);
        plot_source_projection(m);
        m->centreX = 640; // 640.0 and 384.0 rounded again, as every frame does
        m->centreY = 384;
        plot_source_marker(m);
        loop->profilePeak = profile_peak(m->lineProfile);
        loop->delayPeak = delay_peak(m->delay);
        if (poll_key(loop, &end) || poll_key(loop, &end)) return end;
    }
    return end;
}
