#include "tools/report/line_measures.h"
#include "tools/report/model_options.h"
#include "tools/report/report.h"
#include "tools/report/svg_plot.h"
#include "tools/report/sweep.h"
#include "tools/report/velocity_delay.h"

#include "runtime/random.h"
#include "runtime/runtime.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <vector>

namespace {

int parse(std::vector<std::string> words, report_options* options, std::string* problem) {
    words.insert(words.begin(), "clouddisk-report");
    std::vector<char*> arguments;
    for (std::string& word : words)
        arguments.push_back(word.data());
    return report_parse(static_cast<int>(arguments.size()), arguments.data(), options, problem);
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}

TEST(ReportArguments, TheThreeOptionsInAnyOrder) {
    report_options options;
    std::string problem;
    ASSERT_EQ(
        parse({"--out", "dir", "--frames", "100000000", "--seed", "-812.5"}, &options, &problem),
        report_ok)
        << problem;
    EXPECT_EQ(options.seed, -812.5);
    EXPECT_EQ(options.frames, 100000000);
    EXPECT_EQ(options.out, "dir");
    EXPECT_EQ(parse({"--frames", "3", "--help"}, &options, &problem), report_help_shown);
}

TEST(ReportArguments, BadArgumentsAreRefusedWithAReason) {
    const std::vector<std::vector<std::string>> cases = {
        {"--seed", "1", "--frames", "5"},                              // no --out
        {"--seed", "1", "--out", "d", "--frames"},                     // value missing
        {"--seed", "x1", "--frames", "5", "--out", "d"},               // not a number
        {"--seed", "1e999", "--frames", "5", "--out", "d"},            // not finite
        {"--seed", "nan", "--frames", "5", "--out", "d"},              // not finite
        {"--seed", "1", "--frames", "0", "--out", "d"},                // zero frames
        {"--seed", "1", "--frames", "-4", "--out", "d"},               // negative
        {"--seed", "1", "--frames", "100000001", "--out", "d"},        // beyond the program
        {"--seed", "1", "--frames", "7x", "--out", "d"},               // trailing text
        {"--seed", "1", "--frames", "5", "--out", ""},                 // empty directory
        {"--seed", "1", "--seed", "2", "--frames", "5", "--out", "d"}, // twice
        {"--seed", "1", "--frames", "5", "--out", "d", "extra"},       // unknown
    };
    for (const std::vector<std::string>& words : cases) {
        report_options options;
        std::string problem;
        EXPECT_EQ(parse(words, &options, &problem), report_bad_usage) << words.size();
        EXPECT_FALSE(problem.empty());
    }
}

TEST(ReportArguments, ModelParametersAndASweepByName) {
    report_options options;
    std::string problem;
    ASSERT_EQ(parse({"--seed", "1", "--frames", "5", "--out", "d", "--inclination", "45.1",
                     "--softening", "0.5", "--velocity-scale", "1e5", "--sweep",
                     "outer-radius=200,250.5", "--jobs", "2", "--quiet"},
                    &options, &problem),
              report_ok)
        << problem;
    EXPECT_EQ(options.parameters.inclinationDeg, 45.1f);
    EXPECT_EQ(options.parameters.softening, 0.5f);
    EXPECT_EQ(options.parameters.velocityScale, 100000.0f);
    EXPECT_EQ(options.parameters.innerRadius, 75.0f); // the program's value
    EXPECT_EQ(options.given, 1u << 0 | 1u << 8 | 1u << 13);
    EXPECT_STREQ(model_options[options.sweep].name, "outer-radius");
    EXPECT_EQ(options.sweepValues, (std::vector<float>{200.0f, 250.5f}));
    EXPECT_EQ(options.jobs, 2);
    EXPECT_TRUE(options.quiet);
    // The sweep's runs are ordinary reports, each in its folder with the same seed and frames.
    EXPECT_EQ(sweep_arguments(options, "812.7", 250.5f),
              (std::vector<std::string>{
                  "--seed", "812.7", "--frames", "5", "--quiet", "--inclination", "45.1",
                  "--softening", "0.5", "--velocity-scale", "100000", "--outer-radius", "250.5",
                  "--out", (std::filesystem::path("d") / "outer-radius=250.5").string()}));
}

TEST(ReportArguments, OutOfRangeParametersAreRefusedNamingTheParameterAndItsRange) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--inclination", "95"}, "--inclination needs a number from 0 to 90 (degrees), not '95'"},
        {{"--inclination", "nan"},
         "--inclination needs a number from 0 to 90 (degrees), not 'nan'"},
        {{"--source-height", "-inf"},
         "--source-height needs a number from -400 to 400 (length), not '-inf'"},
        {{"--inner-radius", "-5"},
         "--inner-radius needs a number from 1 to 400 (length), not '-5'"},
        {{"--outer-radius", "300m"},
         "--outer-radius needs a number from 1 to 400 (length), not '300m'"},
        {{"--polar-limit", " 60"},
         "--polar-limit needs a number from 0 to 90 (degrees), not ' 60'"},
        {{"--softening", "0"},
         "--softening needs a number above 0 and up to 100 (length), not '0'"},
        {{"--orbit-constant", "1e-50"}, // 0 as a single
         "--orbit-constant needs a number above 0 and up to 1000 (radians per frame), not "
         "'1e-50'"},
        {{"--brightness-exponent", ""}, "--brightness-exponent needs a number from 0 to 4, not ''"},
        {{"--inner-radius", "300"},
         "--inner-radius needs a number below the outer radius, 300, not 300"},
        {{"--outer-radius", "60"},
         "--outer-radius needs a number above the inner radius, 75, not 60"},
        // Bins of a hundredth: the clouds at the outer radius change their velocity by up to 24
        // from one frame to the next.
        {{"--velocity-range", "10"},
         "--velocity-range needs a number above 24.04 with these parameters, not 10: even the "
         "slowest clouds (at the outer radius) change their velocity by that much in a frame, "
         "and would step across a narrower histogram"},
        {{"--sweep", "inclination=20,,70"},
         "in --sweep, --inclination needs a number from 0 to 90 (degrees), not ''"},
        {{"--sweep", "inclination=20,91"},
         "in --sweep, --inclination needs a number from 0 to 90 (degrees), not '91'"},
        {{"--sweep", "inner-radius=100,300"},
         "in --sweep, with inner-radius 300, --inner-radius needs a number below the outer "
         "radius, 300, not 300"},
        {{"--sweep", "inclination=20,20.0000001"}, "--sweep gives the value 20 twice"},
        {{"--sweep", "1,2,3,4,5,6,7,8,9,10,11"},
         "--sweep needs NAME=X1,X2,... with NAME a parameter (an option without its dashes, "
         "such as inclination), not '1,2,3,4,5,6,7,8,9,10,11'"},
        {{"--sweep", "polar-limit=1,2,3,4,5,6,7,8,9,10,11"},
         "--sweep takes 1 to 10 values, not 11"},
        {{"--sweep", "inclination=20", "--inclination", "30"},
         "--inclination and --sweep inclination=... both set the inclination"},
        {{"--jobs", "0"}, "--jobs needs a whole number from 1 to 64, not '0'"},
        {{"--tilt", "3"}, "unknown argument '--tilt'"},
    };
    for (const auto& [words, message] : cases) {
        std::vector<std::string> all = {"--seed", "1", "--frames", "5", "--out", "d"};
        all.insert(all.end(), words.begin(), words.end());
        report_options options;
        std::string problem;
        EXPECT_EQ(parse(all, &options, &problem), report_bad_usage) << message;
        EXPECT_EQ(problem, message);
    }
}

class ReportTables : public testing::Test {
  protected:
    void SetUp() override {
        runtime_start();
        ASSERT_EQ(model_allocate(&state), 0);
        model_derive(&state, model_parameters{});
    }
    void TearDown() override {
        model_release(&state);
        runtime_stop();
    }
    model_state state;
};

TEST_F(ReportTables, LineProfileHasEveryBinWithItsVelocityEdge) {
    state.lineProfile[2] = 1.0f / 3.0f;
    state.lineProfile[579] = 0.990099f;
    const std::vector<std::string> lines = lines_of(line_profile_csv(state));
    ASSERT_EQ(lines.size(), 1002u);
    EXPECT_EQ(lines[0], "bin,velocity_low,brightness");
    EXPECT_EQ(lines[1], "0,-50000,0");
    EXPECT_EQ(lines[3], "2,-49800,0.333333343");
    EXPECT_EQ(lines[580], "579,7900,0.990099013");
    EXPECT_EQ(lines[1001], "1000,50000,0");
    // Nine digits give back the very single.
    EXPECT_EQ(std::strtof("0.333333343", nullptr), 1.0f / 3.0f);
}

TEST_F(ReportTables, DelayHistogramStartsOneBinBelowTheOrigin) {
    model_parameters p;
    p.sourceDistance = 20.0f;
    p.sourceAzimuthDeg = 270.0f;
    model_derive(&state, p); // delayOrigin = sin(89 deg) * 20
    state.delayHistogram[1] = 3.0;
    const std::vector<std::string> lines = lines_of(delay_histogram_csv(state));
    ASSERT_EQ(lines.size(), 1002u);
    EXPECT_EQ(lines[0], "bin,delay_low,count");
    char expected[64];
    std::snprintf(expected, sizeof expected, "1,%.17g,3", static_cast<double>(state.delayOrigin));
    EXPECT_EQ(lines[2], expected);
    EXPECT_EQ(lines[2].substr(0, 12), "1,19.9969539");
}

TEST_F(ReportTables, SummaryGivesTheMeanAndThePeaks) {
    state.delaySum = 0.1 + 3.0e7;
    state.lineProfile[400] = 2.5f;
    state.delay[7] = 123.25f;
    state.delayHistogram[90] = 40000.0;
    const std::vector<std::string> lines = lines_of(summary_csv(state, 812.7, 3));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "seed,frames,delay_sum,mean_delay,profile_peak,delay_peak,histogram_peak");
    EXPECT_EQ(lines[1], "812.7,3,30000000.100000001,1000.0000033333334,2.5,123.25,40000");
    // The seed in the fewest digits that read back to it, up to 17.
    EXPECT_EQ(report_seed_text(0.1 + 0.2), "0.30000000000000004");
    EXPECT_EQ(report_seed_text(61234.5), "61234.5");
}

TEST_F(ReportTables, ParametersGoIntoTheSummaryTheirTableAndTheCaptions) {
    model_parameters p;
    p.inclinationDeg = 45.1f;
    p.velocityRange = 250000.0f;
    model_derive(&state, p);
    const std::vector<std::string> summary = lines_of(summary_csv(state, 1.0, 3, true));
    ASSERT_EQ(summary.size(), 2u);
    EXPECT_EQ(summary[0], "seed,frames,delay_sum,mean_delay,profile_peak,delay_peak,histogram_peak,"
                          "inclination,polar-limit,source-distance,source-azimuth,source-height,"
                          "inner-radius,outer-radius,brightness-exponent,softening,drift-rate,"
                          "growth-rate,reinject-jitter,velocity-range,velocity-scale,"
                          "noise-amplitude,orbit-constant");
    EXPECT_EQ(summary[1], "1,3,0,0,0,0,0,45.1,65,0,180,0,75,300,2,10,0,0,0,250000,80000,0,30");
    EXPECT_EQ(parameters_csv(p), "name,value,default\n"
                                 "inclination,45.1,89\n"
                                 "polar-limit,65,65\n"
                                 "source-distance,0,0\n"
                                 "source-azimuth,180,180\n"
                                 "source-height,0,0\n"
                                 "inner-radius,75,75\n"
                                 "outer-radius,300,300\n"
                                 "brightness-exponent,2,2\n"
                                 "softening,10,10\n"
                                 "drift-rate,0,0\n"
                                 "growth-rate,0,0\n"
                                 "reinject-jitter,0,0\n"
                                 "velocity-range,250000,100000\n"
                                 "velocity-scale,80000,80000\n"
                                 "noise-amplitude,0,0\n"
                                 "orbit-constant,30,30\n");
    // The captions name the parameters of the command line; without any, they stay as they were.
    EXPECT_EQ(parameters_caption(p, 1u << 0 | 1u << 12),
              "inclination 45.1°, velocity range 250000; the others at the program's values");
    EXPECT_EQ(parameters_caption(p, 0), "");
}

TEST_F(ReportTables, LineMeasuresOfAKnownProfile) {
    // Bins of 100: a horn at each side of a dip, the delays peaking in bin 40.
    const float values[] = {1, 4, 8, 6, 5, 6, 10, 7, 2}; // bins 496 to 504
    for (int32_t k = 0; k < 9; ++k)
        state.lineProfile[496 + k] = values[k];
    state.delayHistogram[40] = 12;
    state.delayHistogram[41] = 11;
    const line_measures m = measure_line(state);
    EXPECT_EQ(m.negativePeak, -150.0); // bin 498, [-200, -100)
    EXPECT_EQ(m.positivePeak, 250.0);  // bin 502, [200, 300)
    // Half of 10 lies a quarter of the way from bin 497's centre (-250) to bin 498's (-150), and
    // three fifths of the way from bin 504's centre (450) to bin 503's (350): -225 to 390.
    EXPECT_DOUBLE_EQ(m.fwhm, 615.0);
    EXPECT_EQ(m.delayPeak, 39.5);
    EXPECT_EQ(m.delayPeakCount, 12.0);
}

TEST(ReportPlots, TicksAreRoundSteps) {
    double first = 0;
    EXPECT_EQ(tick_step(0, 1000, 10, &first), 100.0);
    EXPECT_EQ(first, 0.0);
    EXPECT_EQ(tick_step(-50000, 50000, 10, &first), 10000.0);
    EXPECT_EQ(first, -50000.0);
    EXPECT_EQ(tick_step(-50000, 50100, 10, &first), 20000.0); // a step of 10,010 is not round
    EXPECT_EQ(first, -40000.0);
    EXPECT_DOUBLE_EQ(tick_step(0, 0.0718, 6, &first), 0.02);
    EXPECT_EQ(tick_step(5, 5, 6, &first), 0.2); // an empty span still gets ticks
}

TEST_F(ReportTables, PlotsAreCompleteDocumentsWithLabels) {
    state.lineProfile[579] = 1.0f;
    velocity_delay_map map;
    ASSERT_EQ(velocity_delay_allocate(&map), 0);
    const std::string svg = line_profile_svg(state, map, "seed 1 & more");
    velocity_delay_release(&map);
    EXPECT_EQ(svg.rfind("<svg ", 0), 0u);
    EXPECT_NE(svg.find("</svg>"), std::string::npos);
    EXPECT_NE(svg.find("Line profile"), std::string::npos);
    EXPECT_NE(svg.find("line-of-sight velocity"), std::string::npos);
    EXPECT_NE(svg.find("seed 1 &amp; more"), std::string::npos);
    EXPECT_NE(delay_histogram_svg(state, "").find("light-travel delay"), std::string::npos);
}

TEST(ReportFiles, AFailedWriteLeavesNoPartialReport) {
    namespace fs = std::filesystem;
    const fs::path scratch = fs::temp_directory_path() / "clouddisk_report_test";
    fs::remove_all(scratch);
    fs::create_directories(scratch);
    const report_file files[] = {{"a.csv", "1\n"}, {"b.csv", "2\n"}};
    std::string problem;
    ASSERT_TRUE(report_directory_writable(scratch.string()));
    ASSERT_TRUE(report_write(scratch.string(), files, 2, &problem)) << problem;
    EXPECT_TRUE(fs::exists(scratch / "a.csv"));
    EXPECT_TRUE(fs::exists(scratch / "b.csv"));
    EXPECT_FALSE(fs::exists(scratch / ".clouddisk-report-probe"));

    // A directory where the second file should go makes that write fail.
    fs::create_directories(scratch / "bad" / "b.csv.part");
    EXPECT_FALSE(report_write((scratch / "bad").string(), files, 2, &problem));
    EXPECT_FALSE(problem.empty());
    EXPECT_FALSE(fs::exists(scratch / "bad" / "a.csv"));
    EXPECT_FALSE(fs::exists(scratch / "bad" / "a.csv.part"));

    std::FILE* plain = std::fopen((scratch / "plain").string().c_str(), "wb");
    ASSERT_NE(plain, nullptr);
    std::fclose(plain);
    EXPECT_FALSE(report_directory_writable((scratch / "plain" / "sub").string()));
    fs::remove_all(scratch);
}

// --- The velocity-delay map. ---

// Splits a CSV line into numbers; false unless every field is a whole number text.
bool csv_numbers(const std::string& line, size_t fields, std::vector<double>* values) {
    values->clear();
    std::stringstream stream(line);
    for (std::string field; std::getline(stream, field, ',');) {
        char* end = nullptr;
        const double value = std::strtod(field.c_str(), &end);
        if (field.empty() || *end != '\0') return false;
        values->push_back(value);
    }
    return values->size() == fields;
}

// Checks that text is one well-formed XML element of the kinds an SVG document uses
// (elements, quoted attributes, text, the predefined entities, character references) and
// counts its elements by name.
bool well_formed(const std::string& text, std::map<std::string, int>* elements,
                 std::string* problem) {
    size_t at = 0;
    auto fail = [&](const std::string& why) {
        *problem = why + " at byte " + std::to_string(at);
        return false;
    };
    auto name_char = [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == ':' ||
               c == '.';
    };
    auto read_name = [&](std::string* name) {
        const size_t start = at;
        while (at < text.size() && name_char(text[at]))
            ++at;
        *name = text.substr(start, at - start);
        return !name->empty();
    };
    auto entity = [&]() { // at '&'
        const size_t end = text.find(';', at);
        if (end == std::string::npos) return false;
        const std::string body = text.substr(at + 1, end - at - 1);
        at = end + 1;
        static const std::set<std::string> named = {"lt", "gt", "amp", "quot", "apos"};
        if (named.count(body)) return true;
        return body.size() > 1 && body[0] == '#' &&
               body.find_first_not_of("0123456789", 1) == std::string::npos;
    };
    std::vector<std::string> open;
    int roots = 0;
    while (at < text.size()) {
        if (text[at] != '<') {
            if (open.empty() && !std::isspace(static_cast<unsigned char>(text[at])))
                return fail("text outside the root");
            if (text[at] == '&' ? !entity() : (++at, false)) return fail("bad entity");
            continue;
        }
        if (text.compare(at, 2, "</") == 0) {
            at += 2;
            std::string name;
            if (!read_name(&name) || at >= text.size() || text[at] != '>')
                return fail("bad end tag");
            if (open.empty() || open.back() != name) return fail("end tag " + name + " unmatched");
            open.pop_back();
            ++at;
            continue;
        }
        ++at;
        std::string name;
        if (!read_name(&name)) return fail("bad start tag");
        if (open.empty() && ++roots > 1) return fail("a second root");
        ++(*elements)[name];
        std::set<std::string> attributes;
        for (;;) {
            while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])))
                ++at;
            if (at >= text.size()) return fail("unfinished tag");
            if (text.compare(at, 2, "/>") == 0) {
                at += 2;
                break;
            }
            if (text[at] == '>') {
                ++at;
                open.push_back(name);
                break;
            }
            std::string attribute;
            if (!read_name(&attribute) || !attributes.insert(attribute).second)
                return fail("bad or repeated attribute in " + name);
            if (at + 1 >= text.size() || text[at] != '=' ||
                (text[at + 1] != '"' && text[at + 1] != '\''))
                return fail("unquoted attribute " + attribute);
            const char quote = text[at + 1];
            at += 2;
            while (at < text.size() && text[at] != quote) {
                if (text[at] == '<') return fail("'<' in attribute " + attribute);
                if (text[at] == '&' ? !entity() : (++at, false)) return fail("bad entity");
            }
            if (at >= text.size()) return fail("unfinished attribute");
            ++at;
        }
    }
    if (!open.empty()) return fail("unclosed " + open.back());
    if (roots != 1) return fail("no root");
    return true;
}

// The model run as the report tool runs it, the map fed from frame 2 on, with this test's own
// accumulation beside it from the model's bins and brightness.
class VelocityDelay : public testing::Test {
  protected:
    void SetUp() override {
        runtime_start();
        ASSERT_EQ(model_allocate(&state), 0);
        ASSERT_EQ(velocity_delay_allocate(&map), 0);
    }
    void TearDown() override {
        velocity_delay_release(&map);
        model_release(&state);
        runtime_stop();
    }
    void run(const model_parameters& parameters, int32_t frames) {
        model_derive(&state, parameters);
        random_seed(812.7, 0);
        model_clear(&state);
        model_place_clouds(&state);
        for (int32_t frame = 1; frame <= frames; ++frame) {
            model_step(&state);
            if (frame > 1) {
                velocity_delay_add(&map, state);
                accumulate();
            }
            model_keep_previous(&state);
        }
    }
    void accumulate() {
        const model_parameters& p = state.parameters;
        for (int32_t n = 1; n <= cloud_count; ++n) {
            const double b = brightness(state.distance[n], p.brightnessExponent);
            int32_t v, d;
            const bool inProfile =
                velocity_bin(state.velocity[n], p.velocityRange, &v) && profile_bin_used(v);
            const bool inDelays =
                delay_bin(state.delay[n], state.delayOrigin, &d) && delay_bin_used(d);
            if (inProfile) profile[v] += b;
            if (inDelays) delays[d] += b;
            if (inProfile && inDelays) {
                cells[static_cast<size_t>(v) * histogram_slots + d] += b;
                weightedDelay[v] += b * state.delay[n];
            }
        }
    }
    model_state state;
    velocity_delay_map map;
    std::vector<double> profile = std::vector<double>(histogram_slots);
    std::vector<double> delays = std::vector<double>(histogram_slots);
    std::vector<double> weightedDelay = std::vector<double>(histogram_slots);
    std::vector<double> cells =
        std::vector<double>(static_cast<size_t>(histogram_slots) * histogram_slots);
};

TEST_F(VelocityDelay, MapSumsToTheProfileAndTheDelayHistogramOfFrame2On) {
    run(model_parameters{}, 25);
    const std::vector<std::string> rows = lines_of(velocity_delay_csv(state, map));
    ASSERT_GT(rows.size(), 1000u);
    EXPECT_EQ(rows[0], "velocity_low,delay_low,brightness");
    std::vector<double> bySpeed(histogram_slots), byDelay(histogram_slots);
    std::set<int32_t> seen;
    std::vector<double> value;
    for (size_t r = 1; r < rows.size(); ++r) {
        ASSERT_TRUE(csv_numbers(rows[r], 3, &value)) << rows[r];
        // Edges on the bin grid, read back to bin numbers.
        const double v = value[0] / 100.0 + 500.0, d = value[1] - state.delayOrigin + 1.0;
        ASSERT_EQ(v, std::floor(v)) << rows[r];
        ASSERT_EQ(d, std::floor(d)) << rows[r];
        ASSERT_TRUE(profile_bin_used(static_cast<int32_t>(v)) &&
                    delay_bin_used(static_cast<int32_t>(d)));
        const int32_t cell = static_cast<int32_t>(v) * histogram_slots + static_cast<int32_t>(d);
        ASSERT_TRUE(seen.insert(cell).second) << "twice: " << rows[r];
        // The model's bins and brightness, summed in the same order: the very bits.
        ASSERT_GT(value[2], 0.0);
        ASSERT_EQ(value[2], cells[cell]) << rows[r];
        bySpeed[static_cast<int32_t>(v)] += value[2];
        byDelay[static_cast<int32_t>(d)] += value[2];
    }
    for (int32_t k = 0; k < histogram_slots; ++k) {
        EXPECT_NEAR(bySpeed[k], profile[k], 1e-12 * profile[k]) << "velocity bin " << k;
        EXPECT_NEAR(byDelay[k], delays[k], 1e-12 * delays[k]) << "delay bin " << k;
    }
    EXPECT_EQ(std::count(cells.begin(), cells.end(), 0.0) + static_cast<long>(seen.size()),
              static_cast<long>(cells.size()));

    // The mean delay of every velocity bin that holds brightness, weighted by it.
    const std::vector<std::string> means = lines_of(velocity_delay_mean_csv(state, map));
    EXPECT_EQ(means[0], "bin,velocity_low,brightness,mean_delay");
    EXPECT_EQ(means.size(), 1 + static_cast<size_t>(std::count_if(profile.begin(), profile.end(),
                                                                  [](double b) { return b > 0; })));
    for (size_t r = 1; r < means.size(); ++r) {
        ASSERT_TRUE(csv_numbers(means[r], 4, &value)) << means[r];
        const int32_t k = static_cast<int32_t>(value[0]);
        EXPECT_EQ(value[1], (k - 500) * 100.0);
        EXPECT_NEAR(value[2], profile[k], 1e-12 * profile[k]);
        EXPECT_NEAR(value[3], weightedDelay[k] / profile[k], 1e-12 * value[3]) << means[r];
    }
}

// Delay range [low, high] of the filled polygon within the velocities [left, right]: from
// its edges clipped to that column.
bool column_extent(const std::vector<envelope_point>& polygon, double left, double right,
                   double* low, double* high) {
    *low = INFINITY;
    *high = -INFINITY;
    for (size_t i = 0; i < polygon.size(); ++i) {
        envelope_point a = polygon[i], b = polygon[(i + 1) % polygon.size()];
        if (a.velocity > b.velocity) std::swap(a, b);
        if (b.velocity < left || a.velocity > right) continue;
        auto at = [&](double v) {
            return a.velocity == b.velocity ? a.delay
                                            : a.delay + (b.delay - a.delay) * (v - a.velocity) /
                                                            (b.velocity - a.velocity);
        };
        for (double v : {std::max(a.velocity, left), std::min(b.velocity, right)}) {
            *low = std::min(*low, at(v));
            *high = std::max(*high, at(v));
        }
        if (a.velocity == b.velocity) {
            *low = std::min(*low, b.delay);
            *high = std::max(*high, b.delay);
        }
    }
    return *low <= *high;
}

TEST_F(VelocityDelay, EnvelopeOfARingHoldsEveryCellOfARunAtItsRadius) {
    model_parameters p;
    p.innerRadius = p.outerRadius = 150.0f; // every cloud at one radius, tilted as usual
    run(p, 40);
    std::vector<envelope_point> envelope(720);
    ring_envelope(state, 150.0f, envelope.data(), 720);

    // Single-precision positions and the chords of the polygon put a cloud at most a few
    // hundredths beyond the exact curve.
    constexpr double velocitySlack = 2.0, delaySlack = 0.05;
    int32_t cellsSeen = 0, vLow = 1000, vHigh = 0, dLow = 1000, dHigh = 0;
    for (int32_t v = 2; v < 1000; ++v)
        for (int32_t d = 1; d < 1000; ++d) {
            if (map.cells[v * histogram_slots + d] == 0) continue;
            ++cellsSeen;
            vLow = std::min(vLow, v), vHigh = std::max(vHigh, v);
            dLow = std::min(dLow, d), dHigh = std::max(dHigh, d);
            const double left = velocity_low(state, v), bottom = delay_low(state, d);
            double low, high;
            ASSERT_TRUE(column_extent(envelope, left - velocitySlack, left + 100 + velocitySlack,
                                      &low, &high))
                << "velocity bin " << v << " beyond the envelope";
            EXPECT_TRUE(bottom <= high + delaySlack && bottom + 1 >= low - delaySlack)
                << "cell " << v << ", " << d << " beyond the envelope's " << low << " to " << high;
        }
    ASSERT_GT(cellsSeen, 1000);
    // And the curve is no wider than the clouds: the extreme cells touch it.
    double vMin = INFINITY, vMax = -INFINITY, dMin = INFINITY, dMax = -INFINITY;
    for (const envelope_point& point : envelope) {
        vMin = std::min(vMin, point.velocity), vMax = std::max(vMax, point.velocity);
        dMin = std::min(dMin, point.delay), dMax = std::max(dMax, point.delay);
    }
    EXPECT_EQ(vLow, static_cast<int32_t>(std::floor(vMin / 100 + 500)));
    EXPECT_EQ(vHigh, static_cast<int32_t>(std::floor(vMax / 100 + 500)));
    EXPECT_NEAR(dLow, std::floor(dMin) + 1, 1);
    EXPECT_NEAR(dHigh, std::floor(dMax) + 1, 1);
}

// --- A thin ring seen at four inclinations. ---

// Clouds at radii from 299.99 to 300 seen at 20, 45, 70 and 89 degrees, each run as the report
// runs it from its command line (seed 812.7, 300 frames), once for the tests below.
class RingAtFourInclinations : public testing::Test {
  protected:
    static constexpr int32_t frames = 300;
    struct ring {
        float inclination;
        model_state state;
        velocity_delay_map map;
    };
    static void SetUpTestSuite() {
        runtime_start();
        for (const char* inclination : {"20", "45", "70", "89"}) {
            report_options options;
            std::string problem;
            ASSERT_EQ(parse({"--seed", "812.7", "--frames", std::to_string(frames), "--out", "d",
                             "--inner-radius", "299.99", "--inclination", inclination},
                            &options, &problem),
                      report_ok)
                << problem;
            rings.push_back({options.parameters.inclinationDeg, {}, {}});
            ring& r = rings.back();
            ASSERT_EQ(model_allocate(&r.state), 0);
            ASSERT_EQ(velocity_delay_allocate(&r.map), 0);
            report_run(&r.state, &r.map, options.parameters, options.seed, frames, false);
        }
    }
    static void TearDownTestSuite() {
        for (ring& r : rings) {
            velocity_delay_release(&r.map);
            model_release(&r.state);
        }
        rings.clear();
        runtime_stop();
    }
    static std::vector<ring> rings;
};
std::vector<RingAtFourInclinations::ring> RingAtFourInclinations::rings;

// A cloud at radius r whose orbit is seen at the inclination j has the line-of-sight velocities
// V sin j cos(theta), V = velocityScale * 2 r sin(s / 2) / K = 4618.8 at r = 300 (s = K /
// r^1.5, as good as velocityScale / sqrt(r)); its time in a velocity bin peaks at its turning
// points, +-V sin j. The tilts (up to 90 - 65 = 25 degrees either way, at every node) put j
// anywhere from i - 25 to i + 25 degrees, so the ring's brightest velocities, its horns, lie
// between V times the least and the largest sine of that span: beyond the largest no cloud
// goes, and below the least every cloud's share still rises. The horns are bins, given by their
// centres: half a bin (50) either way. The span, from V sin(max(i - 25, 0)) or V sin(i + 25)
// whichever is less, to V sin(min(i + 25, 90)), rounded outward:
//   20: 0 to 3266    45: 1579 to 4341    70: 3265 to 4619    89: 4151 to 4619.
// The map's cells lie within the ellipse of the ring seen as edge-on as the tilts allow
// (ring_envelope; a ring seen at a smaller sine traces the same ellipse shrunk towards its
// centre), with the slack of EnvelopeOfARingHoldsEveryCellOfARunAtItsRadius: the radii below
// 300 move at most sqrt(300 / 299.99) - 1 = 2e-5 faster, 0.08 in velocity, well within it.
TEST_F(RingAtFourInclinations,
       HornsLieAtTheOuterSpeedTimesTheSinesTheTiltsAllowAndCellsInTheEllipse) {
    const double horns[][2] = {{0, 3266}, {1579, 4341}, {3265, 4619}, {4151, 4619}};
    constexpr double velocitySlack = 2.0, delaySlack = 0.05;
    std::vector<envelope_point> envelope(720);
    for (size_t k = 0; k < rings.size(); ++k) {
        const ring& r = rings[k];
        const line_measures m = measure_line(r.state);
        EXPECT_GE(m.positivePeak, horns[k][0] - 50) << r.inclination;
        EXPECT_LE(m.positivePeak, horns[k][1] + 50) << r.inclination;
        EXPECT_LE(m.negativePeak, -horns[k][0] + 50) << r.inclination;
        EXPECT_GE(m.negativePeak, -horns[k][1] - 50) << r.inclination;

        ring_envelope(r.state, 300.0f, envelope.data(), 720);
        int32_t cellsSeen = 0;
        for (int32_t v = 2; v < 1000; ++v)
            for (int32_t d = 1; d < 1000; ++d) {
                if (r.map.cells[v * histogram_slots + d] == 0) continue;
                ++cellsSeen;
                const double left = velocity_low(r.state, v), bottom = delay_low(r.state, d);
                double low, high;
                ASSERT_TRUE(column_extent(envelope, left - velocitySlack,
                                          left + 100 + velocitySlack, &low, &high))
                    << r.inclination << ": velocity bin " << v << " beyond the ellipse";
                EXPECT_TRUE(bottom <= high + delaySlack && bottom + 1 >= low - delaySlack)
                    << r.inclination << ": cell " << v << ", " << d << " beyond the ellipse's "
                    << low << " to " << high;
            }
        EXPECT_GT(cellsSeen, 1000) << r.inclination;
    }
}

// The mean delay is the mean of lineOfSight + distance. The distance to the source at the
// centre is sqrt(r^2 + softening^2) whatever the inclination; lineOfSight, -r sin j sin(theta),
// averages out but for the sampling error: over F frames of steps s a cloud's mean of
// sin(theta) is at most 1 / (F sin(s / 2)), so its share at most r / (F sin(s / 2)) = 346 at r
// = 300, F = 300, and with random phases its root mean square at most 346 / sqrt 2 = 245; the
// mean of 10,000 such clouds has sigma <= 2.45. Each run's mean delay lies within 4 sigma of
// the mean distance. The line's full width at half maximum grows with sin i, its half-maximum
// points moving out with the sines of the orbits.
TEST_F(RingAtFourInclinations, MeanDelayIsTheMeanDistanceAndTheWidthGrowsWithTheSine) {
    double narrower = 0;
    for (const ring& r : rings) {
        double distance = 0;
        for (int32_t n = 1; n <= cloud_count; ++n)
            distance += std::sqrt(static_cast<double>(r.state.radius[n]) * r.state.radius[n] + 100);
        distance /= cloud_count;
        EXPECT_NEAR(r.state.delaySum / frames / cloud_count, distance, 4 * 2.45) << r.inclination;
        const double fwhm = measure_line(r.state).fwhm;
        EXPECT_GT(fwhm, narrower) << r.inclination;
        narrower = fwhm;
    }
}

TEST_F(VelocityDelay, PlotsAreWellFormedAndTheMapStaysUnderAMegabyte) {
    run(model_parameters{}, 4);
    const std::string caption = "seed 812.7 & <4> frames";
    struct plot {
        const char* name;
        std::string svg;
        int polygons;
    };
    std::vector<plot> plots = {
        {"map", velocity_delay_svg(state, map, caption), 2},
        {"mean", velocity_delay_mean_svg(state, map, caption), 0},
        {"profile", line_profile_svg(state, map, caption), 0},
        {"delays", delay_histogram_svg(state, caption), 0},
    };
    // Every cell full and each unlike its neighbours: the most the map can have to draw.
    for (int32_t v = 2; v < 1000; ++v)
        for (int32_t d = 1; d < 1000; ++d)
            map.cells[v * histogram_slots + d] = 1.0 + (v * 7 + d * 13) % 101;
    plots.push_back({"full map", velocity_delay_svg(state, map, caption), 2});
    for (const plot& p : plots) {
        std::map<std::string, int> elements;
        std::string problem;
        EXPECT_TRUE(well_formed(p.svg, &elements, &problem)) << p.name << ": " << problem;
        EXPECT_EQ(p.svg.compare(0, 5, "<svg "), 0) << p.name;
        EXPECT_EQ(elements["polygon"], p.polygons) << p.name;
        EXPECT_GT(elements["text"], 10) << p.name; // title, caption, labels, ticks
        EXPECT_LT(p.svg.size(), 1000000u) << p.name;
    }
    EXPECT_GT(plots[0].svg.size(), 20000u); // the cells are drawn
    std::map<std::string, int> elements;
    std::string problem;
    EXPECT_FALSE(well_formed("<svg><g></svg></g>", &elements, &problem));
    EXPECT_FALSE(well_formed("<svg a=\"1 & 2\"/>", &elements, &problem));
}

// --- Writing the files. ---

int renameCalls = 0, failingRename = 0;

bool rename_failing_once(const std::string& from, const std::string& to) {
    if (++renameCalls == failingRename) return false;
    std::error_code error;
    std::filesystem::rename(from, to, error);
    return !error;
}

TEST(ReportFiles, ARenameFailingAtAnyStepLeavesTheEarlierReportWhole) {
    namespace fs = std::filesystem;
    const fs::path scratch = fs::temp_directory_path() / "clouddisk_report_renames";
    // The new report has no picture; the earlier one had.
    const report_file files[] = {
        {"a.csv", "new a"}, {"b.csv", "new b"}, {"c.csv", "new c"}, {"d.png", "", true}};
    const report_file earlierFiles[] = {
        {"a.csv", "old a"}, {"b.csv", "old b"}, {"c.csv", "old c"}, {"d.png", "old d"}};
    auto contents = [&]() {
        std::map<std::string, std::string> found;
        for (const fs::directory_entry& entry : fs::directory_iterator(scratch)) {
            char text[16] = {};
            if (std::FILE* file = std::fopen(entry.path().string().c_str(), "rb")) {
                EXPECT_LT(std::fread(text, 1, sizeof text - 1, file), sizeof text - 1);
                std::fclose(file);
            }
            found[entry.path().filename().string()] = text;
        }
        return found;
    };
    const std::map<std::string, std::string> none,
        earlierReport = {{"a.csv", "old a"},
                         {"b.csv", "old b"},
                         {"c.csv", "old c"},
                         {"d.png", "old d"}},
        newReport = {{"a.csv", "new a"}, {"b.csv", "new b"}, {"c.csv", "new c"}};
    // Into an empty directory three renames; over an earlier report seven, each earlier file
    // going aside first. Failing at any of them leaves what was there before; then, with none
    // failing, the new report replaces it and nothing is left beside it.
    for (bool earlier : {false, true}) {
        const int renames = earlier ? 7 : 3;
        for (int k = 1; k <= renames + 1; ++k) {
            const bool lastRound = k == renames + 1;
            fs::remove_all(scratch);
            fs::create_directories(scratch);
            std::string problem;
            if (earlier) {
                ASSERT_TRUE(report_write(scratch.string(), earlierFiles, 4, &problem));
            }
            renameCalls = 0;
            failingRename = lastRound ? 0 : k;
            EXPECT_EQ(report_write(scratch.string(), files, 4, &problem, rename_failing_once),
                      lastRound)
                << "rename " << k;
            if (lastRound) {
                EXPECT_EQ(renameCalls, renames);
            }
            EXPECT_EQ(contents(), lastRound ? newReport
                                  : earlier ? earlierReport
                                            : none)
                << "rename " << k << (earlier ? " over an earlier report" : "");
            EXPECT_EQ(problem.empty(), lastRound) << problem;
        }
    }
    fs::remove_all(scratch);
}

} // namespace
