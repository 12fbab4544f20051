// The frame loop: the step, the drawing of every cloud and of the light source's marker, the
// summary scans and the two key polls of each frame.
#pragma once
#include "app/model.h"
#include "runtime/text.h"

#include <cstdint>

constexpr int32_t program_frames = 100000000;

// Colours, 0xAARRGGBB.
constexpr uint32_t colour_black = 0xFF000000u;
constexpr uint32_t colour_yellow = 0xFFFFFF00u;
constexpr uint32_t colour_white = 0xFFFFFFFFu;
constexpr uint32_t colour_cyan = 0xFF00FFFFu;

// What ended the frames.
enum class frame_end { last_frame, escape, close_key };

// The scalars of the frame loop.
struct frame_loop {
    model_state* model;
    int32_t frame; // the frame being run, from 1
    float profilePeak;
    float delayPeak;
    float histogramPeak;
    text keyText;
};

// Plots the four white dots of the light source's marker at the screen centre.
void plot_source_marker(const model_state* model);

// Readies the model and the loop for frame 1 as the program does once its screen is open: the
// default parameters' derived values, the random numbers seeded with seed, the source's marker,
// cleared accumulators and the clouds in place.
void start_frames(frame_loop* loop, model_state* model, double seed);

// Runs frames loop->frame .. frames (inclusive). Returns when the last one is done or a poll
// reads Escape or the window's close key; either poll acts on either key.
frame_end run_frames(frame_loop* loop, int32_t frames);
