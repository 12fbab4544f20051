// The orbit model: parameters, the state of the 10,000 clouds and the two histograms, the
// placement of the clouds and the per-frame step.
//
// Every expression is evaluated in extended precision (long double) and rounded only where
// a value is stored, at the width given here; the x87 must be at 64-bit precision and
// round-to-nearest (runtime_start sets it).
#pragma once
#include <cstddef>
#include <cstdint>

constexpr int32_t cloud_count = 10000;
constexpr int32_t cloud_slots = cloud_count + 1; // index 0 is never a cloud
constexpr int32_t histogram_slots = 1001;        // bins 0 to 1000

constexpr double angle_constant = 3.141592654; // ten digits, not the exact pi
constexpr double full_circle = 6.283185308;

// The model's parameters; the defaults are the program's values.
struct model_parameters {
    float inclinationDeg = 89.0f;
    float polarLimitDeg = 65.0f;
    float sourceDistance = 0.0f;
    float sourceAzimuthDeg = 180.0f;
    float sourceHeight = 0.0f;
    float innerRadius = 75.0f;
    float outerRadius = 300.0f;
    float brightnessExponent = 2.0f;
    float softening = 10.0f;
    float driftRate = 0.0f;
    float growthRate = 0.0f;
    float reinjectJitter = 0.0f;
    float velocityRange = 100000.0f;
    float velocityScale = 80000.0f;
    float noiseAmplitude = 0.0f;
    float orbitConstant = 30.0f;
};

struct model_state {
    model_parameters parameters;

    // Derived values (model_derive).
    float sourceX;
    float sourceY;
    float delayOrigin;
    float softeningSq;
    float cosIncl;
    float sinIncl;
    int32_t centreX;
    int32_t centreY;

    // Per-cloud arrays of cloud_slots singles, clouds 1 to 10000.
    float* radius;
    float* phase;
    float* angularStep;
    float* sinTilt;
    float* cosTilt;
    float* sinNode;
    float* cosNode;
    float* orbitX;
    float* orbitY;
    float* orbitZ;
    float* diskX;
    float* diskY;
    float* screenX;
    float* screenY;
    float* lineOfSight;
    float* prevScreenX;
    float* prevScreenY;
    float* prevLineOfSight;
    float* velocity;
    float* distance;
    float* delay;

    // Accumulators, never reset by the step.
    float* lineProfile;     // histogram_slots singles; bins 2 to 999 receive brightness
    double* delayHistogram; // histogram_slots doubles; bins 1 to 999 receive counts
    double delaySum;
    double meanDelay;
};

// Returns count * size zero bytes that std::free releases, or null.
using zeroed_allocator = void* (*)(size_t count, size_t size);

// Allocates every array zero-filled (the per-cloud arrays, then lineProfile, delayHistogram)
// and zeroes the rest of the state. When one cannot be had, releases those already obtained,
// leaves every array null, records run-time error 4 and returns it; 0 on success. allocate = null
// uses std::calloc; arrays the state held before are not freed.
int32_t model_allocate(model_state* state, zeroed_allocator allocate = nullptr);
// Frees the arrays (the program itself never does; tests and tools do). Null arrays are fine.
void model_release(model_state* state);

// Stores the parameters in the state and sets the derived values and the screen centre.
void model_derive(model_state* state, const model_parameters& parameters);

// Clears lineProfile, delayHistogram and delay entries 1 to 1000 and meanDelay, as the
// start-up does before placing the clouds.
void model_clear(model_state* state);

// Places clouds 1 to 10000 on their orbits from the current random generator: four draws
// per cloud, in the order radius, phase, node, tilt.
void model_place_clouds(model_state* state);

// One frame's step for clouds 1 to 10000, each cloud through these stages (the comments in
// model_step.cpp use their numbers):
//   1 phase += angularStep (less 2 pi once it reaches 6.283185308)
//   2 orbitZ, orbitY, orbitX from the phase, radius and tilt
//   3 diskX, diskY: rotation by the node       4 screenX, screenY, lineOfSight
//   5 velocity: kinematic part against prevLineOfSight, plus noise of four draws
//   6 velocity bin                             7 softened distance to the source
//   8 brightness into lineProfile              9 delay, delaySum, meanDelay
//   10 delay bin into delayHistogram           11 radius drift
//   12 re-injection below the threshold (a fifth draw, a sixth when re-injected)
//   13 growth                                  14 angularStep from the radius
// Allocates nothing. prevScreenX/Y and prevLineOfSight are left to the caller.
void model_step(model_state* state);

// The copy that each frame makes after drawing: prev* = screenX, screenY, lineOfSight.
void model_keep_previous(model_state* state);

// --- The pieces of the step, for the frame loop, the report tool and the tests. ---

// Step 1 with its wrap: the phase after one advance, below 2 pi again once it reaches it.
float phase_advance(float phase, float angularStep);
// Line-profile bin of a velocity: floor(1000 * velocity / velocityRange + 500). False when
// the floor does not fit in 32 bits (the velocity then has no bin).
bool velocity_bin(float velocity, float velocityRange, int32_t* bin);
// Delay-histogram bin: floor(delay - delayOrigin) + 1. False when it does not fit.
bool delay_bin(float delay, float delayOrigin, int32_t* bin);
// Bins that receive something: 2 to 999 of the profile, 1 to 999 of the delay histogram.
inline bool profile_bin_used(int32_t bin) {
    return bin > 1 && bin < 1000;
}
inline bool delay_bin_used(int32_t bin) {
    return bin > 0 && bin < 1000;
}
// Brightness pow(1 / distance, exponent) in double; exponent 2 is the exact square.
double brightness(float distance, float exponent);
