#include "tools/report/report.h"
#include "tools/report/svg_plot.h"

#include "runtime/runtime.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
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
    const std::vector<std::string> lines = lines_of(summary_csv(state, 3));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "frames,delay_sum,mean_delay,profile_peak,delay_peak,histogram_peak");
    EXPECT_EQ(lines[1], "3,30000000.100000001,1000.0000033333334,2.5,123.25,40000");
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
    const std::string svg = line_profile_svg(state, "seed 1 & more");
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

} // namespace
