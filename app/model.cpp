#include "app/model.h"

#include "app/model_pieces.h"
#include "app/orbit_math.h"
#include "runtime/random.h"
#include "runtime/runtime.h"

#include <cmath>
#include <cstdlib>

namespace {

using namespace model_pieces;

// The per-cloud arrays in allocation order.
constexpr float* model_state::*cloud_arrays[] = {
    &model_state::radius,      &model_state::phase,       &model_state::angularStep,
    &model_state::sinTilt,     &model_state::cosTilt,     &model_state::sinNode,
    &model_state::cosNode,     &model_state::orbitX,      &model_state::orbitY,
    &model_state::orbitZ,      &model_state::diskX,       &model_state::diskY,
    &model_state::screenX,     &model_state::screenY,     &model_state::lineOfSight,
    &model_state::prevScreenX, &model_state::prevScreenY, &model_state::prevLineOfSight,
    &model_state::velocity,    &model_state::distance,    &model_state::delay,
};

extended degrees_to_radians(float degrees) {
    // Multiply by the ten-digit constant first, then divide, as every conversion does.
    return static_cast<extended>(angle_constant) * degrees / 180.0L;
}

} // namespace

int32_t model_allocate(model_state* state, zeroed_allocator allocate) {
    if (!allocate) allocate = [](size_t count, size_t size) { return std::calloc(count, size); };
    *state = model_state{};
    bool complete = true;
    for (float* model_state::*array : cloud_arrays) {
        state->*array = static_cast<float*>(allocate(cloud_slots, sizeof(float)));
        complete = complete && state->*array;
        if (!complete) break;
    }
    if (complete) {
        state->lineProfile = static_cast<float*>(allocate(histogram_slots, sizeof(float)));
        complete = state->lineProfile;
    }
    if (complete) {
        state->delayHistogram = static_cast<double*>(allocate(histogram_slots, sizeof(double)));
        complete = state->delayHistogram;
    }
    if (complete) return error_none;
    model_release(state);
    return error_set(error_memory);
}

void model_release(model_state* state) {
    for (float* model_state::*array : cloud_arrays) {
        std::free(state->*array);
        state->*array = nullptr;
    }
    std::free(state->lineProfile);
    state->lineProfile = nullptr;
    std::free(state->delayHistogram);
    state->delayHistogram = nullptr;
}

void model_derive(model_state* state, const model_parameters& parameters) {
    state->parameters = parameters;
    const model_parameters& p = state->parameters;

    const extended d = p.sourceDistance;
    const double azimuth = static_cast<double>(degrees_to_radians(p.sourceAzimuthDeg));
    state->sourceX = static_cast<float>(-d * orbit_cos(azimuth));
    state->sourceY = static_cast<float>(-d * orbit_sin(azimuth));

    const double inclination = static_cast<double>(degrees_to_radians(p.inclinationDeg));
    double sinI, cosI;
    orbit_sincos(inclination, &sinI, &cosI);
    // Plus on the first term, unlike a cloud's line of sight.
    state->delayOrigin = static_cast<float>(static_cast<extended>(sinI) * state->sourceY +
                                            static_cast<extended>(cosI) * p.sourceHeight);
    state->softeningSq = static_cast<float>(static_cast<extended>(p.softening) * p.softening);
    state->cosIncl = static_cast<float>(cosI);
    state->sinIncl = static_cast<float>(sinI);

    state->centreX = 640;
    state->centreY = 384;
}

void model_clear(model_state* state) {
    for (int32_t k = 1; k <= 1000; ++k) {
        state->lineProfile[k] = 0.0f;
        state->delayHistogram[k] = 0.0;
        state->delay[k] = 0.0f;
    }
    state->meanDelay = 0.0;
}

void model_place_clouds(model_state* state) {
    const model_parameters& p = state->parameters;
    const extended span = static_cast<extended>(p.outerRadius) - p.innerRadius;
    const extended tiltSpan = 90.0L - p.polarLimitDeg;
    for (int32_t n = 1; n <= cloud_count; ++n) {
        const extended u1 = random_next(1.0f);
        const extended u2 = random_next(1.0f);
        const extended u3 = random_next(1.0f);
        const extended u4 = random_next(1.0f);

        const float radius = static_cast<float>(u1 * span + p.innerRadius);
        state->radius[n] = radius;
        state->phase[n] = static_cast<float>(u2 * static_cast<extended>(full_circle));
        state->angularStep[n] = angular_step(radius, p.orbitConstant);

        const float nodeAngle = static_cast<float>(u3 * static_cast<extended>(angle_constant));
        const float tiltAngle = static_cast<float>((u4 * 2.0L + (-1.0L)) * tiltSpan *
                                                   static_cast<extended>(angle_constant) / 180.0L);
        double s, c;
        orbit_sincos(tiltAngle, &s, &c);
        state->sinTilt[n] = static_cast<float>(s);
        state->cosTilt[n] = static_cast<float>(c);
        orbit_sincos(nodeAngle, &s, &c);
        state->sinNode[n] = static_cast<float>(s);
        state->cosNode[n] = static_cast<float>(c);
    }
}

float phase_advance(float phase, float angularStep) {
    // A single-precision phase that only grows would lose the advance to rounding after some
    // 22 million frames; taking 2 pi off keeps it where a single still resolves the step.
    float advanced = static_cast<float>(static_cast<extended>(angularStep) + phase);
    if (static_cast<extended>(advanced) >= static_cast<extended>(full_circle))
        advanced = static_cast<float>(static_cast<extended>(advanced) - full_circle);
    return advanced;
}

bool velocity_bin(float velocity, float velocityRange, int32_t* bin) {
    return model_pieces::velocity_bin_of(velocity, velocityRange, bin);
}

bool delay_bin(float delay, float delayOrigin, int32_t* bin) {
    return model_pieces::delay_bin_of(delay, delayOrigin, bin);
}

double brightness(float distance, float exponent) {
    return model_pieces::brightness_of(distance, exponent);
}
