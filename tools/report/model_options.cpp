#include "tools/report/model_options.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

// Lengths (radii, distances, the softening) are the model's, one pixel of the program's window
// at its scale; the delays are in the same unit. The ranges keep the disk inside the delay
// histogram (1000 bins of one unit): a ring of radius r spans delays up to about 2 r.
const model_option model_options[model_option_count] = {
    {"inclination", &model_parameters::inclinationDeg, "degrees",
     "angle between the line of sight and the disk's axis", 0, 90, false},
    {"polar-limit", &model_parameters::polarLimitDeg, "degrees",
     "orbit planes are tilted by up to 90 minus this, either way", 0, 90, false},
    {"source-distance", &model_parameters::sourceDistance, "length",
     "distance of the light source from the centre, in the disk plane", 0, 400, false},
    {"source-azimuth", &model_parameters::sourceAzimuthDeg, "degrees",
     "azimuth of the light source in the disk plane", 0, 360, false},
    {"source-height", &model_parameters::sourceHeight, "length",
     "height of the light source above the disk plane", -400, 400, false},
    {"inner-radius", &model_parameters::innerRadius, "length",
     "smallest orbit radius, and the re-injection threshold; below the outer radius", 1, 400,
     false},
    {"outer-radius", &model_parameters::outerRadius, "length",
     "largest orbit radius, and the re-injection radius", 1, 400, false},
    {"brightness-exponent", &model_parameters::brightnessExponent, "",
     "a cloud's brightness is 1 / distance to this power", 0, 4, false},
    {"softening", &model_parameters::softening, "length",
     "softening length of the distance to the source", 0, 100, true},
    {"drift-rate", &model_parameters::driftRate, "per radian",
     "inward drift: the share of the radius lost per radian of orbit", 0, 1, false},
    {"growth-rate", &model_parameters::growthRate, "per frame and 1000 length",
     "outward growth: the radius times 1 + rate * radius / 1000 each frame", 0, 1, false},
    {"reinject-jitter", &model_parameters::reinjectJitter, "share",
     "random spread of the re-injection threshold and radius", 0, 1, false},
    {"velocity-range", &model_parameters::velocityRange, "velocity",
     "span of the line profile's 1000 velocity bins", 0, 1e7, true},
    {"velocity-scale", &model_parameters::velocityScale, "velocity",
     "velocity of a line-of-sight move of one orbit constant per frame", 0, 1e7, false},
    {"noise-amplitude", &model_parameters::noiseAmplitude, "velocity",
     "amplitude of the random noise added to every velocity", 0, 1e7, false},
    {"orbit-constant", &model_parameters::orbitConstant, "radians per frame",
     "K of the angular step per frame, K / (radius * sqrt(radius))", 0, 1000, true},
};

namespace {

std::string number_text(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}

// "from 0 to 90 (degrees)"; a number without a unit has no parentheses.
std::string range_text(const model_option& option) {
    const std::string unit = *option.unit ? std::string(" (") + option.unit + ")" : "";
    return (option.lowExcluded ? "above " + number_text(option.low) + " and up to "
                               : "from " + number_text(option.low) + " to ") +
           number_text(option.high) + unit;
}

bool given_option(uint32_t given, const char* name) {
    return given >> model_option_index(name) & 1;
}

double sine_of_degrees(double degrees) {
    return std::sin(degrees * angle_constant / 180.0);
}

// The largest change of a cloud's velocity from one frame to the next, for the slowest clouds:
// those at the outer radius on the orbits seen most nearly face-on. A ring of radius r seen at
// the inclination j, with the angular step s, has the velocities 2 r sin j sin(s / 2)
// cos(theta - s / 2) scale / K (the line-of-sight move over a step), and one step changes them
// by up to 4 r sin j sin^2(s / 2) scale / K. The tilts put j anywhere within the polar limit's
// tilt of the inclination; sin j is least at one end of that span (zero when it reaches 0).
double slowest_velocity_change(const model_parameters& p) {
    const double tilt = 90.0 - p.polarLimitDeg, low = p.inclinationDeg - tilt;
    const double seen =
        low <= 0 ? 0.0 : std::min(sine_of_degrees(low), sine_of_degrees(p.inclinationDeg + tilt));
    const double r = p.outerRadius, step = p.orbitConstant / (r * std::sqrt(r));
    const double half = std::sin(step / 2);
    return 4.0 * r * seen * half * half * p.velocityScale / p.orbitConstant;
}

} // namespace

int32_t model_option_index(const std::string& name) {
    for (int32_t k = 0; k < model_option_count; ++k)
        if (name == model_options[k].name) return k;
    return -1;
}

bool model_option_value(const model_option& option, const char* text, float* value,
                        std::string* problem) {
    char* end = nullptr;
    errno = 0;
    const double number = std::strtod(text, &end);
    // strtod would pass over leading blanks; a value is the number alone.
    const bool read = end != text && *end == '\0' && errno != ERANGE &&
                      !std::isspace(static_cast<unsigned char>(*text)) && std::isfinite(number);
    // The model keeps a single: 1e-50 is above 0, but not once it is stored.
    const double stored = static_cast<float>(number);
    auto inside = [&](double v) {
        return v <= option.high && v >= option.low && !(option.lowExcluded && v == option.low);
    };
    if (!read || !inside(number) || !inside(stored)) {
        *problem = std::string("--") + option.name + " needs a number " + range_text(option) +
                   ", not '" + text + "'";
        return false;
    }
    *value = static_cast<float>(stored);
    return true;
}

bool model_parameters_check(const model_parameters& p, uint32_t given, std::string* problem) {
    if (!(p.innerRadius < p.outerRadius)) {
        // The message names the radius that the command line set, the inner one when both.
        *problem =
            given_option(given, "inner-radius") || !given_option(given, "outer-radius")
                ? "--inner-radius needs a number below the outer radius, " +
                      parameter_text(p.outerRadius) + ", not " + parameter_text(p.innerRadius)
                : "--outer-radius needs a number above the inner radius, " +
                      parameter_text(p.innerRadius) + ", not " + parameter_text(p.outerRadius);
        return false;
    }
    // Bins 2 to 999 take the velocities from -0.498 to 0.499 times the range. Narrower than one
    // frame's change, every cloud could step across them; noise scatters the velocities into
    // them all the same.
    const double change = slowest_velocity_change(p);
    if (p.noiseAmplitude == 0 && !(0.997 * p.velocityRange > change)) {
        char bound[32];
        std::snprintf(bound, sizeof bound, "%.4g", change / 0.997);
        *problem = "--velocity-range needs a number above " + std::string(bound) +
                   " with these parameters, not " + parameter_text(p.velocityRange) +
                   ": even the slowest clouds (at the outer radius) change their velocity by "
                   "that much in a frame, and would step across a narrower histogram";
        return false;
    }
    return true;
}

std::string parameter_text(float value) {
    // Plain digits for the values that parameters take ("100000", not "1e+05").
    const float size = std::fabs(value);
    const std::chars_format format = size == 0 || (size >= 1e-4f && size < 1e9f)
                                         ? std::chars_format::fixed
                                         : std::chars_format::general;
    char text[64];
    const std::to_chars_result written = std::to_chars(text, text + sizeof text, value, format);
    return std::string(text, written.ptr);
}

std::string model_options_usage() {
    const model_parameters defaults;
    std::string out;
    for (const model_option& option : model_options) {
        char line[200];
        const std::string name = std::string(option.name) + " X";
        std::snprintf(line, sizeof line, "  --%-22s default %s, %s\n%27s%s\n", name.c_str(),
                      parameter_text(defaults.*option.field).c_str(), range_text(option).c_str(),
                      "", option.meaning);
        out += line;
    }
    return out;
}

std::string parameters_csv(const model_parameters& parameters) {
    const model_parameters defaults;
    std::string out = "name,value,default\n";
    for (const model_option& option : model_options)
        out += std::string(option.name) + ',' + parameter_text(parameters.*option.field) + ',' +
               parameter_text(defaults.*option.field) + '\n';
    return out;
}

std::string parameters_caption(const model_parameters& parameters, uint32_t given) {
    std::string out;
    for (int32_t k = 0; k < model_option_count; ++k) {
        if (!(given >> k & 1)) continue;
        const model_option& option = model_options[k];
        std::string name = option.name;
        std::replace(name.begin(), name.end(), '-', ' ');
        out += (out.empty() ? "" : ", ") + name + ' ' + parameter_text(parameters.*option.field) +
               (std::string(option.unit) == "degrees" ? "°" : "");
    }
    return out.empty() ? out : out + "; the others at the program's values";
}
