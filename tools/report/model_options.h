// The model's parameters on the report's command line: one option per field of
// model_parameters, with its unit, its meaning and the values it accepts.
#pragma once
#include "app/model.h"

#include <cstdint>
#include <string>

struct model_option {
    const char* name; // the option without its dashes, as --sweep and parameters.csv name it
    float model_parameters::*field;
    const char* unit; // "degrees", "length", ...
    const char* meaning;
    double low, high; // the accepted values, high included
    bool lowExcluded; // low itself is refused
};

constexpr int32_t model_option_count = 16;
extern const model_option model_options[model_option_count];

// The index of the option of that name (without dashes) in model_options, or -1.
int32_t model_option_index(const std::string& name);

// Reads text as a value of the option: a number, nothing before or after it, finite and within
// the option's range; stores it rounded to a single as the model keeps it. False, with
// *problem naming the option and its range, when it is not such a number.
bool model_option_value(const model_option& option, const char* text, float* value,
                        std::string* problem);

// The checks that involve two parameters or more: the inner radius below the outer one, and a
// velocity histogram wide enough that a cloud cannot cross it in one frame. given marks the
// options of the command line (bit k for model_options[k]), so that the message names one of
// those. False with *problem saying which parameter and what it could be.
bool model_parameters_check(const model_parameters& parameters, uint32_t given,
                            std::string* problem);

// A single in the fewest digits that read back to it.
std::string parameter_text(float value);

// The --help lines of the parameters: unit, default and range of each.
std::string model_options_usage();

// parameters.csv: name,value,default for every parameter, in the order of model_options.
std::string parameters_csv(const model_parameters& parameters);

// The parameters of the given options in words for a caption ("inclination 45°, outer radius
// 200; the others at the program's values"); empty when none is given.
std::string parameters_caption(const model_parameters& parameters, uint32_t given);
