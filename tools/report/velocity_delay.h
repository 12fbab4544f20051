// The velocity-delay map of the report: the clouds' brightness binned at once by line-of-sight
// velocity and by light-travel delay, with the same bins and the same brightness as the
// model's line profile and delay histogram. The report tool accumulates it beside the model
// (the program itself keeps no such map), from frame 2 on: in frame 1 every velocity is taken
// against a previous line-of-sight position of 0.
#pragma once
#include "app/model.h"
#include "tools/report/svg_plot.h"

#include <cstdint>
#include <string>
#include <vector>

struct velocity_delay_map {
    // histogram_slots x histogram_slots doubles, cells[velocityBin * histogram_slots +
    // delayBin]: the brightness of every cloud and frame that landed in velocity bin 2 to 999
    // and in delay bin 1 to 999.
    double* cells;
    // histogram_slots doubles: the sum of brightness times delay of the same clouds, by
    // velocity bin, for the brightness-weighted mean delay.
    double* weightedDelay;
    // Working arrays of velocity_delay_add (cloud_slots each), carrying nothing between frames:
    // each cloud's cell (-1 for none) and brightness.
    int32_t* cloudCell;
    double* cloudBrightness;
};

// Allocates the arrays zero-filled. Returns 0, or run-time error 4 (recorded) with all null.
int32_t velocity_delay_allocate(velocity_delay_map* map);
void velocity_delay_release(velocity_delay_map* map);

// Adds this frame's clouds: call after model_step and before model_keep_previous.
void velocity_delay_add(velocity_delay_map* map, const model_state& state);

// A point of the analytic envelope.
struct envelope_point {
    double velocity;
    double delay;
};

// The closed curve that a ring of the given radius traces in (velocity, delay), as count
// points at equal steps of its phase: the velocity against the ring's position one angular
// step earlier, as the model takes it, and the delay to a light source at the centre (where
// the model's parameters put it). The orbital tilts let some rings be seen nearer edge-on than
// the disk, so the ring is taken at the inclination closest to 90 degrees that the tilts
// allow; a ring seen less edge-on traces this curve shrunk towards its centre, so every cloud
// of that radius lies on or inside it.
void ring_envelope(const model_state& state, float radius, envelope_point* points, int32_t count);

// velocity_delay.csv: velocity_low,delay_low,brightness for every cell that holds brightness,
// by velocity bin, then delay bin.
std::string velocity_delay_csv(const model_state& state, const velocity_delay_map& map);
// velocity_delay_mean.csv: bin,velocity_low,brightness,mean_delay for every velocity bin that
// holds brightness: the brightness-weighted mean of the clouds' delays (not of bin edges).
std::string velocity_delay_mean_csv(const model_state& state, const velocity_delay_map& map);

// The map as a heat map with the envelopes of the inner and outer radius drawn over it, the
// bins grouped so that the document stays under a megabyte.
std::string velocity_delay_svg(const model_state& state, const velocity_delay_map& map,
                               const std::string& caption);
// The bins that velocity_delay_svg shows: those that hold brightness and the envelopes, with
// a margin, and the delays from the first bin up.
struct map_window {
    int32_t velocityFirst, velocityLast, delayFirst, delayLast;
};
map_window velocity_delay_svg_window(const model_state& state, const velocity_delay_map& map);

// The heat map of velocity_delay_svg over a window, with the envelopes of the inner and the
// outer radius: plot, and the curves and points it refers to. Made in place, and not to be
// copied (plot points into the record).
struct velocity_delay_picture {
    std::vector<double> x[2], y[2];
    heat_curve curves[2];
    heat_map plot;
};
void velocity_delay_picture_make(const model_state& state, const velocity_delay_map& map,
                                 const map_window& window, const std::string& caption,
                                 velocity_delay_picture* picture);

// The mean delay by velocity, over the velocities that hold brightness.
std::string velocity_delay_mean_svg(const model_state& state, const velocity_delay_map& map,
                                    const std::string& caption);

// The velocity bins that hold brightness from frame 2 on, with data_window's margin.
void velocity_delay_window(const velocity_delay_map& map, int32_t* first, int32_t* last);

// First and last bin of values[low..high] above zero, widened by a margin of a tenth of
// their span (at least 3 bins) and kept within [low, high]; the whole range when all are zero.
void data_window(const double* values, int32_t low, int32_t high, int32_t* first, int32_t* last);
