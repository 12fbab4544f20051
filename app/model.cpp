#include "app/model.h"

#include "app/orbit_math.h"
#include "runtime/random.h"
#include "runtime/runtime.h"

#include <cmath>
#include <cstdlib>

namespace {

using extended = long double;

// The per-cloud arrays in allocation order.
constexpr float* model_state::*cloud_arrays[] = {
    &model_state::radius,      &model_state::phase,           &model_state::angularStep,
    &model_state::sinTilt,     &model_state::cosTilt,         &model_state::sinNode,
    &model_state::cosNode,     &model_state::orbitX,          &model_state::orbitY,
    &model_state::orbitZ,      &model_state::diskX,           &model_state::diskY,
    &model_state::screenX,     &model_state::screenY,         &model_state::lineOfSight,
    &model_state::prevScreenX, &model_state::prevScreenY,     &model_state::prevLineOfSight,
    &model_state::velocity,    &model_state::distance,        &model_state::delay,
};

// K / (sqrt(r) * r), from the stored radius.
inline float angular_step(float radius, float orbitConstant) {
    const extended r = radius;
    return static_cast<float>(orbitConstant / (std::sqrt(r) * r));
}

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
    return floor_int32(1000.0L * velocity / velocityRange + 500.0L, bin);
}

bool delay_bin(float delay, float delayOrigin, int32_t* bin) {
    int32_t below;
    if (!floor_int32(static_cast<extended>(delay) - delayOrigin, &below) || below == INT32_MAX)
        return false;
    *bin = below + 1;
    return true;
}

double brightness(float distance, float exponent) {
    const double q = static_cast<double>(1.0L / distance);
    // pow(q, 2.0) is the correctly rounded square; other exponents go to the library.
    return exponent == 2.0f ? q * q : std::pow(q, static_cast<double>(exponent));
}

void model_step(model_state* state) {
    const model_parameters& p = state->parameters;
    model_state& s = *state;
    const extended sourceX = s.sourceX, sourceY = s.sourceY, sourceHeight = p.sourceHeight;
    const extended softeningSq = s.softeningSq;
    const extended cosIncl = s.cosIncl, sinIncl = s.sinIncl;
    const extended velocityScale = p.velocityScale, orbitConstant = p.orbitConstant;
    const extended noiseAmplitude = p.noiseAmplitude, driftRate = p.driftRate;
    const extended innerRadius = p.innerRadius, outerRadius = p.outerRadius;
    const extended reinjectJitter = p.reinjectJitter, growthRate = p.growthRate;
    const bool growing = p.growthRate > 0.0f;
    double delaySum = s.delaySum;

    for (int32_t n = 1; n <= cloud_count; ++n) {
        // The draws come first so that no extended value has to live across the calls; their
        // order (u1 to u5, then u6 if re-injected) is what the generator sees.
        const double u1 = random_next(1.0f);
        const double u2 = random_next(1.0f);
        const double u3 = random_next(1.0f);
        const double u4 = random_next(1.0f);
        const double u5 = random_next(1.0f);

        // 1. Phase.
        const float phase = phase_advance(s.phase[n], s.angularStep[n]);
        s.phase[n] = phase;

        // 2. Position in the tilted orbit frame.
        double sinPhase, cosPhase;
        orbit_sincos_inline(phase, &sinPhase, &cosPhase);
        const extended radius = s.radius[n];
        const float orbitZ = static_cast<float>(sinPhase * radius * s.sinTilt[n]);
        const float orbitY = static_cast<float>(cosPhase * radius);
        const float orbitX = static_cast<float>(sinPhase * radius * s.cosTilt[n]);
        s.orbitZ[n] = orbitZ;
        s.orbitY[n] = orbitY;
        s.orbitX[n] = orbitX;

        // 3. Node rotation.
        const extended sinNode = s.sinNode[n], cosNode = s.cosNode[n];
        const float diskX = static_cast<float>(cosNode * orbitY - sinNode * orbitX);
        const float diskY = static_cast<float>(sinNode * orbitY + cosNode * orbitX);
        s.diskX[n] = diskX;
        s.diskY[n] = diskY;

        // 4. Projection at the inclination.
        s.screenX[n] = diskX;
        s.screenY[n] = static_cast<float>(cosIncl * diskY + sinIncl * orbitZ);
        const float lineOfSight = static_cast<float>(-static_cast<extended>(diskY) * sinIncl +
                                                     cosIncl * orbitZ);
        s.lineOfSight[n] = lineOfSight;

        // 5. Velocity: kinematic part stored as a single, then the noise of four uniforms,
        // summed in double.
        const float kinematic = static_cast<float>(
            -(static_cast<extended>(lineOfSight) - s.prevLineOfSight[n]) * velocityScale /
            orbitConstant);
        double sum = static_cast<double>(static_cast<extended>(u1) + u2);
        sum = static_cast<double>(static_cast<extended>(sum) + u3);
        sum = static_cast<double>(static_cast<extended>(sum) + u4);
        const float velocity = static_cast<float>(
            kinematic + (static_cast<extended>(sum) + (-2.0L)) * noiseAmplitude);
        s.velocity[n] = velocity;

        // 6. Velocity bin.
        int32_t velocityBin;
        const bool hasVelocityBin = velocity_bin(velocity, p.velocityRange, &velocityBin);

        // 7. Softened distance to the source.
        const extended dx = static_cast<extended>(diskX) - sourceX;
        const extended dy = static_cast<extended>(diskY) - sourceY;
        const extended dz = static_cast<extended>(orbitZ) - sourceHeight;
        const float distance = static_cast<float>(std::sqrt(((dx * dx + dy * dy) + dz * dz) +
                                                            softeningSq));
        s.distance[n] = distance;

        // 8. Line profile.
        if (hasVelocityBin && profile_bin_used(velocityBin)) {
            float& bin = s.lineProfile[velocityBin];
            bin = static_cast<float>(brightness(distance, p.brightnessExponent) +
                                     static_cast<extended>(bin));
        }

        // 9. Delay. meanDelay = delaySum / n is overwritten for every cloud, so only the
        // last quotient (n = 10000) is kept, after the loop.
        const float delay = static_cast<float>(static_cast<extended>(lineOfSight) + distance);
        s.delay[n] = delay;
        delaySum = static_cast<double>(static_cast<extended>(delaySum) + delay);

        // 10. Delay histogram: counts, not weighted.
        int32_t delayBin;
        if (delay_bin(delay, s.delayOrigin, &delayBin) && delay_bin_used(delayBin))
            s.delayHistogram[delayBin] += 1.0;

        // 11. Radius drift.
        float r = static_cast<float>(radius - static_cast<extended>(s.angularStep[n]) * radius *
                                                  driftRate);

        // 12. Re-injection when the radius is below the threshold or not comparable with it.
        const extended threshold =
            (static_cast<extended>(u5) + (-0.5L)) * innerRadius * reinjectJitter + innerRadius;
        if (!(static_cast<extended>(r) >= threshold)) {
            const extended u6 = random_next(1.0f);
            r = static_cast<float>((u6 + (-0.5L)) * outerRadius * reinjectJitter + outerRadius);
        }

        // 13. Growth.
        if (growing) {
            const extended grown = r;
            r = static_cast<float>((growthRate * grown / 1000.0L + 1.0L) * grown);
        }
        s.radius[n] = r;

        // 14. Angular step from the new radius.
        s.angularStep[n] = angular_step(r, p.orbitConstant);
    }
    s.delaySum = delaySum;
    s.meanDelay = static_cast<double>(static_cast<extended>(delaySum) / cloud_count);
}

void model_keep_previous(model_state* state) {
    for (int32_t n = 1; n <= cloud_count; ++n) {
        state->prevScreenX[n] = state->screenX[n];
        state->prevScreenY[n] = state->screenY[n];
        state->prevLineOfSight[n] = state->lineOfSight[n];
    }
}
