#include "app/model.h"

#include "app/orbit_math.h"
#include "runtime/random.h"
#include "runtime/runtime.h"

#include <cmath>
#include <cstdlib>
#include <initializer_list>

namespace {

using extended = long double;

// A stored value taken into extended precision. Loop constants stay in their stored width
// and are widened where used: a spilled extended value costs a slow 80-bit reload.
constexpr extended wide(float v) {
    return v;
}
constexpr extended wide(double v) {
    return v;
}

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
    for (double* model_state::*array : {&model_state::stepSine, &model_state::stepCosine}) {
        if (!complete) break;
        state->*array = static_cast<double*>(allocate(cloud_slots, sizeof(double)));
        complete = state->*array;
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
    std::free(state->stepSine);
    state->stepSine = nullptr;
    std::free(state->stepCosine);
    state->stepCosine = nullptr;
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

namespace {

// The floor of y through plain double arithmetic when y lies farther than margin from every
// integer: the extended-precision value that y approximates within margin then has the same
// floor. False when y is that close to an integer, or outside the 32-bit range, or NaN; the
// caller then takes the exact extended path. This keeps the bins off the slow x87-to-integer
// path, whose late result would hold up the histogram stores.
inline bool clear_floor(double y, double margin, int32_t* result) {
    if (!(y > -2147483647.0 && y < 2147483647.0)) return false;
    int32_t floor = static_cast<int32_t>(y); // toward zero
    floor -= y < static_cast<double>(floor); // down for negative fractions
    const double fraction = y - floor;       // within 2^-53 of the true fraction
    if (!(fraction > margin && fraction < 1.0 - margin)) return false;
    *result = floor;
    return true;
}

} // namespace

bool velocity_bin(float velocity, float velocityRange, int32_t* bin) {
    // 1000 v is exact in double; the quotient and the sum are each within 2^-53 of their
    // value, the extended ones within 2^-64.
    const double quotient = 1000.0 * velocity / velocityRange;
    const double y = quotient + 500.0;
    if (clear_floor(y, 0x1p-50 * (std::fabs(quotient) + std::fabs(y) + 1.0), bin)) return true;
    return floor_int32(1000.0L * velocity / velocityRange + 500.0L, bin);
}

bool delay_bin(float delay, float delayOrigin, int32_t* bin) {
    const double y = static_cast<double>(delay) - delayOrigin;
    int32_t below;
    if (!clear_floor(y, 0x1p-50 * (std::fabs(y) + 1.0), &below) &&
        !floor_int32(wide(delay) - delayOrigin, &below))
        return false;
    if (below == INT32_MAX) return false;
    *bin = below + 1;
    return true;
}

double brightness(float distance, float exponent) {
    const double q = static_cast<double>(1.0L / distance);
    // pow(q, 2.0) is the correctly rounded square; other exponents go to the library.
    return exponent == 2.0f ? q * q : std::pow(q, static_cast<double>(exponent));
}

namespace {

// The step runs as six passes over the clouds, each in cloud order. They store exactly what
// taking each cloud through the fourteen steps at once stores: a cloud's values depend on no
// other cloud, and every accumulator and the random generator still see the clouds in
// order. Each pass is a short chain of extended-precision work per cloud, and a value
// rounded to single reaches the next pass through the cache rather than through a slow
// store-to-load forward, so the processor overlaps many clouds at a time.

// Steps 1 and 2: phase and position in the tilted orbit frame.
void step_orbits(model_state& s) {
    for (int32_t n = 1; n <= cloud_count; ++n)
        s.phase[n] = phase_advance(s.phase[n], s.angularStep[n]);
    orbit_sincos_batch(s.phase + 1, s.stepSine + 1, s.stepCosine + 1, cloud_count);
    for (int32_t n = 1; n <= cloud_count; ++n) {
        const extended sinPhase = s.stepSine[n], cosPhase = s.stepCosine[n];
        const float radius = s.radius[n];
        s.orbitZ[n] = static_cast<float>(sinPhase * radius * s.sinTilt[n]);
        s.orbitY[n] = static_cast<float>(cosPhase * radius);
        s.orbitX[n] = static_cast<float>(sinPhase * radius * s.cosTilt[n]);
    }
}

// Steps 3 and 4: node rotation and projection at the inclination.
void step_projection(model_state& s) {
    const float cosIncl = s.cosIncl, sinIncl = s.sinIncl;
    for (int32_t n = 1; n <= cloud_count; ++n) {
        const float sinNode = s.sinNode[n], cosNode = s.cosNode[n];
        const float orbitX = s.orbitX[n], orbitY = s.orbitY[n], orbitZ = s.orbitZ[n];
        const float diskX = static_cast<float>(wide(cosNode) * orbitY - wide(sinNode) * orbitX);
        const float diskY = static_cast<float>(wide(sinNode) * orbitY + wide(cosNode) * orbitX);
        s.diskX[n] = diskX;
        s.diskY[n] = diskY;
        s.screenX[n] = diskX;
        s.screenY[n] = static_cast<float>(wide(cosIncl) * diskY + wide(sinIncl) * orbitZ);
        s.lineOfSight[n] = static_cast<float>(-wide(diskY) * sinIncl + wide(cosIncl) * orbitZ);
    }
}

// The kinematic part of step 5 (kept in velocity[] for step_draws to complete), the
// distance of step 7 and the delay of step 9.
void step_distances(model_state& s) {
    const model_parameters& p = s.parameters;
    const float sourceX = s.sourceX, sourceY = s.sourceY, sourceHeight = p.sourceHeight;
    const float softeningSq = s.softeningSq;
    const float velocityScale = p.velocityScale, orbitConstant = p.orbitConstant;
    for (int32_t n = 1; n <= cloud_count; ++n) {
        const float lineOfSight = s.lineOfSight[n];
        s.velocity[n] = static_cast<float>(-(wide(lineOfSight) - s.prevLineOfSight[n]) *
                                           velocityScale / orbitConstant);
        const extended dx = wide(s.diskX[n]) - sourceX;
        const extended dy = wide(s.diskY[n]) - sourceY;
        const extended dz = wide(s.orbitZ[n]) - sourceHeight;
        const float distance =
            static_cast<float>(std::sqrt(((dx * dx + dy * dy) + dz * dz) + softeningSq));
        s.distance[n] = distance;
        s.delay[n] = static_cast<float>(wide(lineOfSight) + distance);
    }
}

// The coming draws of the generator, read where it has them ready and taken from it in
// order: a cloud's five values are usually read in place, without a call per cloud.
class draw_reader {
  public:
    draw_reader() { ready_ = random_ahead(&ahead_); }
    ~draw_reader() { random_skip(taken_); }
    // The next five draws.
    const double* five() {
        if (ready_ - taken_ >= 5) {
            const double* u = ahead_ + taken_;
            taken_ += 5;
            return u;
        }
        random_skip(taken_);
        random_fill(spare_, 5);
        renew();
        return spare_;
    }
    // The next draw.
    double one() {
        if (taken_ < ready_) return ahead_[taken_++];
        random_skip(taken_);
        const double u = random_next(1.0f);
        renew();
        return u;
    }

  private:
    void renew() {
        ready_ = random_ahead(&ahead_);
        taken_ = 0;
    }
    const double* ahead_ = nullptr;
    int32_t ready_ = 0; // ahead_[0 .. ready_) are the coming draws (none for a generator
    int32_t taken_ = 0; // without a block), of which taken_ are used
    double spare_[5];
};

// The noise of step 5, then 11 to 13, with the draws in their order: u1 to u5 for each
// cloud, u6 right after them when the cloud is re-injected.
void step_draws(model_state& s) {
    const model_parameters& p = s.parameters;
    const float noiseAmplitude = p.noiseAmplitude, driftRate = p.driftRate;
    const float innerRadius = p.innerRadius, outerRadius = p.outerRadius;
    const float reinjectJitter = p.reinjectJitter, growthRate = p.growthRate;
    const bool growing = p.growthRate > 0.0f;
    draw_reader draws;
    for (int32_t n = 1; n <= cloud_count; ++n) {
        const double* u = draws.five();
        const double u1 = u[0], u2 = u[1], u3 = u[2], u4 = u[3], u5 = u[4];

        // 5. The noise: four uniforms summed in double, less 2, times the amplitude. The
        // draws are multiples of 2^-32 below 1, so these double sums are exact.
        const double centred = ((u1 + u2) + u3) + u4 + (-2.0);
        s.velocity[n] = static_cast<float>(wide(s.velocity[n]) + wide(centred) * noiseAmplitude);

        // 11. Radius drift.
        const float radius = s.radius[n];
        float r = static_cast<float>(wide(radius) - wide(s.angularStep[n]) * radius * driftRate);

        // 12. Re-injection when the radius is below the threshold or not comparable with it.
        const extended threshold = (wide(u5) + (-0.5)) * innerRadius * reinjectJitter + innerRadius;
        if (!(wide(r) >= threshold)) {
            const double u6 = draws.one();
            r = static_cast<float>((wide(u6) + (-0.5)) * outerRadius * reinjectJitter +
                                   outerRadius);
        }

        // 13. Growth.
        if (growing) r = static_cast<float>((wide(growthRate) * r / 1000.0 + 1.0) * r);
        s.radius[n] = r;
    }
}

// Steps 6, 8, the sum of 9, and 10: the accumulators.
void step_accumulators(model_state& s) {
    const model_parameters& p = s.parameters;
    const float velocityRange = p.velocityRange, brightnessExponent = p.brightnessExponent;
    const float delayOrigin = s.delayOrigin;
    double delaySum = s.delaySum;
    for (int32_t n = 1; n <= cloud_count; ++n) {
        int32_t velocityBin;
        if (velocity_bin(s.velocity[n], velocityRange, &velocityBin) &&
            profile_bin_used(velocityBin)) {
            float& bin = s.lineProfile[velocityBin];
            bin = static_cast<float>(wide(brightness(s.distance[n], brightnessExponent)) + bin);
        }

        // meanDelay = delaySum / n is overwritten for every cloud, so only the last quotient
        // (n = 10000) is kept, after the loop.
        const float delay = s.delay[n];
        delaySum = static_cast<double>(wide(delaySum) + delay);

        // Counts, not weighted.
        int32_t delayBin;
        if (delay_bin(delay, delayOrigin, &delayBin) && delay_bin_used(delayBin))
            s.delayHistogram[delayBin] += 1.0;
    }
    s.delaySum = delaySum;
    s.meanDelay = static_cast<double>(wide(delaySum) / cloud_count);
}

// Step 14: the angular step from the new radius.
void step_angular(model_state& s) {
    const float orbitConstant = s.parameters.orbitConstant;
    for (int32_t n = 1; n <= cloud_count; ++n)
        s.angularStep[n] = angular_step(s.radius[n], orbitConstant);
}

} // namespace

void model_step(model_state* state) {
    step_orbits(*state);
    step_projection(*state);
    step_distances(*state);
    step_draws(*state);
    step_accumulators(*state);
    step_angular(*state);
}

void model_keep_previous(model_state* state) {
    for (int32_t n = 1; n <= cloud_count; ++n) {
        state->prevScreenX[n] = state->screenX[n];
        state->prevScreenY[n] = state->screenY[n];
        state->prevLineOfSight[n] = state->lineOfSight[n];
    }
}
