// The per-frame step of the model (model_step in model.h).
//
// The clouds go through the step two at a time, in cloud order: their motion (steps 1 to 4,
// the kinematic part of 5, 7 and the delay of 9), then the draws of each (the rest of 5, 11 to
// 13), their accumulators (6, 8, the sum of 9, 10) and their angular steps (14). A cloud's
// values depend on no other cloud, and the accumulators and the random generator still see
// the clouds in order, so this stores exactly what taking each cloud through the fourteen
// steps at once stores, and each cloud's data passes through the cache once.
//
// Each value is defined by its extended-precision evaluation, rounded once where it is stored.
// The step evaluates in plain double, two clouds at a time, and keeps a result only where it
// provably rounds as the extended one does (single_rounding.h); a cloud with a value that fails
// goes through the extended evaluation instead, the "_extended" functions below, which are the
// definition. A single operation on two singles needs no test: its double result is exact or
// rounds once, and rounds to the single that the exact value and the extended result round to.
#include "app/model.h"

#include "app/model_pieces.h"
#include "app/orbit_math.h"
#include "app/single_rounding.h"
#include "runtime/random.h"

#include <algorithm>
#include <cmath>
#include <emmintrin.h>
#include <optional>

namespace {

using namespace model_pieces;

static_assert(cloud_count % 2 == 0, "the step takes the clouds in pairs");

inline __m128 load2s(const float* p) {
    return _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
}
inline __m128d load2(const float* p) {
    return _mm_cvtps_pd(load2s(p));
}
inline void store2(float* p, __m128d v) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_castps_si128(_mm_cvtpd_ps(v)));
}
// v rounded to single and widened again: what the next step reads back.
inline __m128d as_single(__m128d v) {
    return _mm_cvtps_pd(_mm_cvtpd_ps(v));
}
inline __m128d negated(__m128d v) {
    return _mm_xor_pd(v, _mm_set1_pd(-0.0));
}
inline __m128d splat(float v) {
    return _mm_set1_pd(static_cast<double>(v));
}

// ---- Extended definitions ----

// The kinematic part of step 5 for cloud n.
void velocity_extended(model_state& s, int32_t n) {
    const model_parameters& p = s.parameters;
    s.velocity[n] = static_cast<float>(-(wide(s.lineOfSight[n]) - s.prevLineOfSight[n]) *
                                       p.velocityScale / p.orbitConstant);
}

// Step 7 and the delay of step 9 for cloud n.
void distance_extended(model_state& s, int32_t n) {
    const extended dx = wide(s.diskX[n]) - s.sourceX;
    const extended dy = wide(s.diskY[n]) - s.sourceY;
    const extended dz = wide(s.orbitZ[n]) - s.parameters.sourceHeight;
    const float distance =
        static_cast<float>(std::sqrt(((dx * dx + dy * dy) + dz * dz) + s.softeningSq));
    s.distance[n] = distance;
    s.delay[n] = static_cast<float>(wide(s.lineOfSight[n]) + distance);
}

// Steps 3 and 4 for cloud n, and what follows from them.
void projection_extended(model_state& s, int32_t n) {
    const float sinNode = s.sinNode[n], cosNode = s.cosNode[n];
    const float orbitX = s.orbitX[n], orbitY = s.orbitY[n], orbitZ = s.orbitZ[n];
    const float diskX = static_cast<float>(wide(cosNode) * orbitY - wide(sinNode) * orbitX);
    const float diskY = static_cast<float>(wide(sinNode) * orbitY + wide(cosNode) * orbitX);
    s.diskX[n] = diskX;
    s.diskY[n] = diskY;
    s.screenX[n] = diskX;
    s.screenY[n] = static_cast<float>(wide(s.cosIncl) * diskY + wide(s.sinIncl) * orbitZ);
    s.lineOfSight[n] = static_cast<float>(-wide(diskY) * s.sinIncl + wide(s.cosIncl) * orbitZ);
    velocity_extended(s, n);
    distance_extended(s, n);
}

// Step 2 for cloud n from its advanced phase, and what follows from it.
void orbit_extended(model_state& s, int32_t n) {
    double sine, cosine;
    orbit_sincos(s.phase[n], &sine, &cosine);
    const extended sinPhase = sine, cosPhase = cosine;
    const float radius = s.radius[n];
    s.orbitZ[n] = static_cast<float>(sinPhase * radius * s.sinTilt[n]);
    s.orbitY[n] = static_cast<float>(cosPhase * radius);
    s.orbitX[n] = static_cast<float>(sinPhase * radius * s.cosTilt[n]);
    projection_extended(s, n);
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

// The noise: four uniforms summed in double, less 2. The draws are multiples of 2^-32 below
// 1, so these double sums are exact.
inline double centred_noise(const double* u) {
    return ((u[0] + u[1]) + u[2]) + u[3] + (-2.0);
}

// The rest of step 5 and steps 11 to 13 for cloud n: u1 to u5, and u6 right after them when
// the cloud is re-injected.
void draws_extended(model_state& s, int32_t n, draw_reader& draws) {
    const model_parameters& p = s.parameters;
    const double* u = draws.five();
    const double centred = centred_noise(u), u5 = u[4];
    s.velocity[n] = static_cast<float>(wide(s.velocity[n]) + wide(centred) * p.noiseAmplitude);

    // 11. Radius drift.
    const float radius = s.radius[n];
    float r = static_cast<float>(wide(radius) - wide(s.angularStep[n]) * radius * p.driftRate);

    // 12. Re-injection when the radius is below the threshold or not comparable with it.
    const extended threshold =
        (wide(u5) + (-0.5)) * p.innerRadius * p.reinjectJitter + p.innerRadius;
    if (!(wide(r) >= threshold)) {
        const double u6 = draws.one();
        r = static_cast<float>((wide(u6) + (-0.5)) * p.outerRadius * p.reinjectJitter +
                               p.outerRadius);
    }

    // 13. Growth.
    if (p.growthRate > 0.0f) r = static_cast<float>((wide(p.growthRate) * r / 1000.0 + 1.0) * r);
    s.radius[n] = r;
}

// The same without noise, drift, jitter and growth (the program's values), where nothing
// rounds: the noise and the drift are zero, so the velocity and the radius stay what they are,
// and the threshold is the inner radius itself. The draws are still taken, but their values
// are only needed where the velocity is -0 (the noise's zero then gives the sum its sign) or
// the cloud is re-injected; until then they are counted in *pending and passed over at once.
inline void draws_plain(model_state& s, int32_t n, int32_t* pending) {
    const model_parameters& p = s.parameters;
    const float kinematic = s.velocity[n];
    if (kinematic == 0.0f && std::signbit(kinematic)) {
        random_skip(*pending);
        *pending = 0;
        double u[5];
        random_fill(u, 5);
        s.velocity[n] =
            static_cast<float>(wide(kinematic) + wide(centred_noise(u)) * p.noiseAmplitude);
    } else {
        *pending += 5;
    }

    // 11 and 12: a NaN here takes the extended path, whose NaN is the one kept.
    const float radius = s.radius[n], angularStep = s.angularStep[n];
    const double drifted =
        static_cast<double>(radius) - static_cast<double>(angularStep) * radius * p.driftRate;
    float r = drifted == drifted
                  ? static_cast<float>(drifted)
                  : static_cast<float>(wide(radius) - wide(angularStep) * radius * p.driftRate);
    if (!(r >= p.innerRadius)) {
        random_skip(*pending);
        *pending = 0;
        const double u6 = random_next(1.0f);
        r = static_cast<float>((wide(u6) + (-0.5)) * p.outerRadius * p.reinjectJitter +
                               p.outerRadius);
    }
    s.radius[n] = r;
}

// draws_plain for clouds n and n + 1 at once where neither needs a value: neither velocity
// is -0, and both radii, which stay what they are, are at least the inner radius.
inline void draws_plain2(model_state& s, int32_t n, int32_t* pending) {
    const model_parameters& p = s.parameters;
    const __m128d radius = load2(s.radius + n);
    const __m128d drifted = _mm_sub_pd(
        radius, _mm_mul_pd(_mm_mul_pd(load2(s.angularStep + n), radius), splat(p.driftRate)));
    const __m128i negativeZero = _mm_cmpeq_epi32(_mm_castps_si128(load2s(s.velocity + n)),
                                                 _mm_set1_epi32(static_cast<int32_t>(0x80000000u)));
    const int kept = _mm_movemask_pd(_mm_cmpge_pd(drifted, splat(p.innerRadius)));
    if (kept == 3 && (_mm_movemask_ps(_mm_castsi128_ps(negativeZero)) & 3) == 0) {
        store2(s.radius + n, drifted);
        *pending += 10;
        return;
    }
    draws_plain(s, n, pending);
    draws_plain(s, n + 1, pending);
}

bool plain_draws(const model_parameters& p) {
    return p.noiseAmplitude == 0.0f && p.driftRate == 0.0f && p.reinjectJitter == 0.0f &&
           !(p.growthRate > 0.0f) && std::isfinite(p.innerRadius);
}

// delaySum + delay: the extended sum is exact, and so rounds to double as the double sum
// does, where the delay's magnitude lies between 2^-38 and 2^10 times the sum's, and the sum's
// between 2^-960 and 2^1000 (a cancelling sum is then exact in double too); elsewhere, and
// for NaN, the extended sum.
inline double add_delay(double delaySum, float delay) {
    const double a = std::fabs(delaySum), b = std::fabs(static_cast<double>(delay));
    const bool exact = (a >= 0x1p-960) & (a <= 0x1p1000) & (b >= a * 0x1p-38) & (b <= a * 0x1p10);
    return exact ? delaySum + delay : static_cast<double>(wide(delaySum) + delay);
}

// The floors of two values as clear_floor takes them (model_pieces.h): returns the lanes (bits
// 0 and 1) whose values lie clear of every integer, with their floors in floors[0 .. 1].
inline int clear_floor2(__m128d y, __m128d margin, int32_t* floors) {
    const __m128d inRange = _mm_and_pd(_mm_cmpgt_pd(y, _mm_set1_pd(-2147483647.0)),
                                       _mm_cmplt_pd(y, _mm_set1_pd(2147483647.0)));
    __m128i floor = _mm_cvttpd_epi32(y); // toward zero
    const __m128d below = _mm_cmplt_pd(y, _mm_cvtepi32_pd(floor));
    floor =
        _mm_add_epi32(floor, _mm_shuffle_epi32(_mm_castpd_si128(below), _MM_SHUFFLE(3, 3, 2, 0)));
    const __m128d fraction = _mm_sub_pd(y, _mm_cvtepi32_pd(floor));
    const __m128d clear = _mm_and_pd(_mm_cmpgt_pd(fraction, margin),
                                     _mm_cmplt_pd(fraction, _mm_sub_pd(_mm_set1_pd(1.0), margin)));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(floors), floor);
    return _mm_movemask_pd(_mm_and_pd(inRange, clear));
}

inline __m128d magnitude(__m128d v) {
    return _mm_andnot_pd(_mm_set1_pd(-0.0), v);
}

// Steps 6, 8, the sum of 9 and 10 for clouds n and n + 1: the bins and the brightness of both
// as velocity_bin_of, delay_bin_of and brightness_of take them, then the accumulators in
// cloud order.
[[gnu::always_inline]] inline void accumulate2(model_state& s, int32_t n, bool square,
                                               double* delaySum) {
    const model_parameters& p = s.parameters;
    const __m128d quotient =
        _mm_div_pd(_mm_mul_pd(_mm_set1_pd(1000.0), load2(s.velocity + n)), splat(p.velocityRange));
    const __m128d y = _mm_add_pd(quotient, _mm_set1_pd(500.0));
    const __m128d yMargin =
        _mm_mul_pd(_mm_set1_pd(0x1p-50),
                   _mm_add_pd(_mm_add_pd(magnitude(quotient), magnitude(y)), _mm_set1_pd(1.0)));
    int32_t velocityBins[2];
    const int velocityClear = clear_floor2(y, yMargin, velocityBins);

    const __m128d delay = _mm_sub_pd(load2(s.delay + n), splat(s.delayOrigin));
    const __m128d delayMargin =
        _mm_mul_pd(_mm_set1_pd(0x1p-50), _mm_add_pd(magnitude(delay), _mm_set1_pd(1.0)));
    int32_t delayFloors[2];
    const int delayClear = clear_floor2(delay, delayMargin, delayFloors);

    __m128d q = _mm_setzero_pd();
    const int reciprocalClear =
        square
            ? _mm_movemask_pd(_mm_castsi128_pd(reciprocal_as_extended(load2(s.distance + n), &q)))
            : 0;
    double squares[2];
    _mm_storeu_pd(squares, _mm_mul_pd(q, q));

    for (int32_t lane = 0; lane < 2; ++lane) {
        const int32_t i = n + lane;
        int32_t velocityBin = velocityBins[lane];
        if (((velocityClear >> lane) & 1) ||
            velocity_bin_of(s.velocity[i], p.velocityRange, &velocityBin)) {
            if (profile_bin_used(velocityBin)) {
                const double b = ((reciprocalClear >> lane) & 1)
                                     ? squares[lane]
                                     : brightness_of(s.distance[i], p.brightnessExponent);
                float& bin = s.lineProfile[velocityBin];
                const double sum = b + static_cast<double>(bin);
                bin = rounds_as_extended(sum) ? static_cast<float>(sum)
                                              : static_cast<float>(wide(b) + bin);
            }
        }

        // meanDelay = delaySum / n is overwritten for every cloud, so only the last quotient
        // (n = 10000) is kept, after the loop.
        *delaySum = add_delay(*delaySum, s.delay[i]);

        // Counts, not weighted.
        int32_t delayBin = delayFloors[lane] + 1;
        if (((delayClear >> lane) & 1) || delay_bin_of(s.delay[i], s.delayOrigin, &delayBin)) {
            if (delay_bin_used(delayBin)) s.delayHistogram[delayBin] += 1.0;
        }
    }
}

// ---- Two clouds at a time ----

// The smallest single not below 2 pi as the phase constant: a single reaches the constant
// exactly when it reaches this.
float wrap_point() {
    float point = static_cast<float>(full_circle);
    if (static_cast<double>(point) < full_circle) point = std::nextafter(point, 8.0f);
    return point;
}

// The constants of a frame in the width the step computes in.
struct frame_constants {
    __m128 wrap;
    __m128d cosIncl, sinIncl;
    __m128d sourceX, sourceY, sourceHeight, softeningSq;
    __m128d velocityScale, orbitConstant;
};

// Step 1 for clouds n and n + 1: one single addition each; a phase that reaches 2 pi, or is
// NaN, takes phase_advance.
inline void advance2(model_state& s, int32_t n, __m128 wrap) {
    const __m128 advanced = _mm_add_ps(load2s(s.angularStep + n), load2s(s.phase + n));
    const int unusual = _mm_movemask_ps(
        _mm_or_ps(_mm_cmpge_ps(advanced, wrap), _mm_cmpunord_ps(advanced, advanced)));
    if ((unusual & 3) == 0) {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(s.phase + n), _mm_castps_si128(advanced));
        return;
    }
    s.phase[n] = phase_advance(s.phase[n], s.angularStep[n]);
    s.phase[n + 1] = phase_advance(s.phase[n + 1], s.angularStep[n + 1]);
}

// The motion of clouds n and n + 1 from their advanced phases.
[[gnu::always_inline]] inline void motion2(model_state& s, int32_t n, const frame_constants& k,
                                           __m128d sine, __m128d cosine, int unusual) {
    // Two roundings each.
    const __m128d radius = load2(s.radius + n);
    const __m128d sineRadius = _mm_mul_pd(sine, radius);
    const __m128d orbitZ = _mm_mul_pd(sineRadius, load2(s.sinTilt + n));
    const __m128d orbitY = _mm_mul_pd(cosine, radius);
    const __m128d orbitX = _mm_mul_pd(sineRadius, load2(s.cosTilt + n));
    const __m128d z = as_single(orbitZ), y = as_single(orbitY), x = as_single(orbitX);

    // Products of two singles are exact in double, so these round once.
    const __m128d sinNode = load2(s.sinNode + n), cosNode = load2(s.cosNode + n);
    const __m128d diskX = _mm_sub_pd(_mm_mul_pd(cosNode, y), _mm_mul_pd(sinNode, x));
    const __m128d diskY = _mm_add_pd(_mm_mul_pd(sinNode, y), _mm_mul_pd(cosNode, x));
    const __m128d dX = as_single(diskX), dY = as_single(diskY);
    const __m128d screenY = _mm_add_pd(_mm_mul_pd(k.cosIncl, dY), _mm_mul_pd(k.sinIncl, z));
    const __m128d lineOfSight =
        _mm_add_pd(_mm_mul_pd(negated(dY), k.sinIncl), _mm_mul_pd(k.cosIncl, z));
    const __m128d los = as_single(lineOfSight);

    // Three roundings for the velocity; at most six for the distance (each rounding of the
    // sum of squares counts half in the root); the delay is one addition.
    const __m128d change = _mm_sub_pd(los, load2(s.prevLineOfSight + n));
    const __m128d kinematic =
        _mm_div_pd(_mm_mul_pd(negated(change), k.velocityScale), k.orbitConstant);
    const __m128d dx = _mm_sub_pd(dX, k.sourceX);
    const __m128d dy = _mm_sub_pd(dY, k.sourceY);
    const __m128d dz = _mm_sub_pd(z, k.sourceHeight);
    const __m128d squares =
        _mm_add_pd(_mm_add_pd(_mm_mul_pd(dx, dx), _mm_mul_pd(dy, dy)), _mm_mul_pd(dz, dz));
    const __m128d distance = _mm_sqrt_pd(_mm_add_pd(squares, k.softeningSq));

    store2(s.orbitZ + n, orbitZ);
    store2(s.orbitY + n, orbitY);
    store2(s.orbitX + n, orbitX);
    store2(s.diskX + n, diskX);
    store2(s.diskY + n, diskY);
    store2(s.screenX + n, diskX);
    store2(s.screenY + n, screenY);
    store2(s.lineOfSight + n, lineOfSight);
    store2(s.velocity + n, kinematic);
    store2(s.distance + n, distance);
    store2(s.delay + n, _mm_add_pd(los, as_single(distance)));

    // Where a value fails, the cloud takes the extended path from that value on.
    const int a = _mm_movemask_ps(_mm_castsi128_ps(rounds_as_extended(orbitZ, orbitY)));
    const int b = _mm_movemask_ps(_mm_castsi128_ps(rounds_as_extended(orbitX, diskX)));
    const int c = _mm_movemask_ps(_mm_castsi128_ps(rounds_as_extended(diskY, screenY)));
    const int d = _mm_movemask_ps(_mm_castsi128_ps(rounds_as_extended(lineOfSight, kinematic)));
    const int e = _mm_movemask_ps(_mm_castsi128_ps(rounds_as_extended(distance, distance)));
    const int orbits = a & (a >> 2) & b & ~unusual & 3;
    const int projections = (b >> 2) & c & (c >> 2) & d & 3;
    const int velocities = (d >> 2) & 3, distances = e & 3;
    if ((orbits & projections & velocities & distances) == 3) return;
    for (int lane = 0; lane < 2; ++lane) {
        const int bit = 1 << lane;
        if (!(orbits & bit)) {
            orbit_extended(s, n + lane);
        } else if (!(projections & bit)) {
            projection_extended(s, n + lane);
        } else {
            if (!(velocities & bit)) velocity_extended(s, n + lane);
            if (!(distances & bit)) distance_extended(s, n + lane);
        }
    }
}

// Step 14 for clouds n and n + 1: three roundings.
inline void angular2(model_state& s, int32_t n, __m128d orbitConstant) {
    const __m128d radius = load2(s.radius + n);
    const __m128d step = _mm_div_pd(orbitConstant, _mm_mul_pd(_mm_sqrt_pd(radius), radius));
    store2(s.angularStep + n, step);
    const int passed = _mm_movemask_ps(_mm_castsi128_ps(rounds_as_extended(step, step))) & 3;
    if (passed == 3) return;
    const float constant = s.parameters.orbitConstant;
    if (!(passed & 1)) s.angularStep[n] = angular_step(s.radius[n], constant);
    if (!(passed & 2)) s.angularStep[n + 1] = angular_step(s.radius[n + 1], constant);
}

} // namespace

void model_step(model_state* state) {
    model_state& s = *state;
    const model_parameters& p = s.parameters;
    frame_constants k;
    k.wrap = _mm_set1_ps(wrap_point());
    k.cosIncl = splat(s.cosIncl);
    k.sinIncl = splat(s.sinIncl);
    k.sourceX = splat(s.sourceX);
    k.sourceY = splat(s.sourceY);
    k.sourceHeight = splat(p.sourceHeight);
    k.softeningSq = splat(s.softeningSq);
    k.velocityScale = splat(p.velocityScale);
    k.orbitConstant = splat(p.orbitConstant);
    const bool plain = plain_draws(p);
    const bool square = p.brightnessExponent == 2.0f;
    double delaySum = s.delaySum;
    // The clouds go in runs: first the phases and their sines and cosines for the whole run,
    // whose long chains of dependent operations overlap from pair to pair, then the rest.
    constexpr int32_t run = 64;
    alignas(16) double sines[run], cosines[run];
    int unusual[run / 2];
    int32_t pending = 0;              // plain draws taken but not yet passed over
    std::optional<draw_reader> draws; // the other draws, read in place
    if (!plain) draws.emplace();
    for (int32_t first = 1; first <= cloud_count; first += run) {
        const int32_t end = std::min(first + run, cloud_count + 1);
        for (int32_t n = first; n < end; n += 2) {
            advance2(s, n, k.wrap);
            __m128d sine, cosine;
            unusual[(n - first) / 2] = orbit_sincos2(load2(s.phase + n), &sine, &cosine);
            _mm_store_pd(sines + (n - first), sine);
            _mm_store_pd(cosines + (n - first), cosine);
        }
        for (int32_t n = first; n < end; n += 2) {
            const int32_t i = n - first;
            motion2(s, n, k, _mm_load_pd(sines + i), _mm_load_pd(cosines + i), unusual[i / 2]);
            if (plain) {
                draws_plain2(s, n, &pending);
            } else {
                draws_extended(s, n, *draws);
                draws_extended(s, n + 1, *draws);
            }
            accumulate2(s, n, square, &delaySum);
            angular2(s, n, k.orbitConstant);
        }
    }
    random_skip(pending);
    s.delaySum = delaySum;
    s.meanDelay = static_cast<double>(wide(delaySum) / cloud_count);
}

void model_keep_previous(model_state* state) {
    for (int32_t n = 1; n <= cloud_count; ++n) {
        state->prevScreenX[n] = state->screenX[n];
        state->prevScreenY[n] = state->screenY[n];
        state->prevLineOfSight[n] = state->lineOfSight[n];
    }
}
