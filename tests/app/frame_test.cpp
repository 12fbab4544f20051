#include "app/frame.h"
#include "app/model.h"
#include "gfx/internal/gfx_context.h"
#include "gfx/internal/input_state.h"
#include "gfx/screen.h"
#include "runtime/os/os.h"
#include "runtime/random.h"
#include "runtime/runtime.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <utility>

namespace {

class FrameLoop : public testing::Test {
  protected:
    void SetUp() override {
        runtime_start();
        runtime_init(0, nullptr, 0);
        os_set_environment("QXGFX", "null");
        ASSERT_EQ(screen_res(1280, 768, 24, 1, 0, 0), 0);
        key_buffer_clear();
        ASSERT_EQ(model_allocate(&model), 0);
        start_frames(&loop, &model, 812.7);
    }
    void TearDown() override {
        text_free(&loop.keyText);
        model_release(&model);
        close_screen();
        key_buffer_clear();
    }
    static uint32_t pixel(int32_t x, int32_t y) {
        return reinterpret_cast<const uint32_t*>(gfx_screen->visible_buffer)[y * 1280 + x];
    }
    model_state model{};
    frame_loop loop{};
};

TEST_F(FrameLoop, TheWorkedExampleCloudIsDrawnAt740_384) {
    model.radius[1] = 100.0f;
    model.phase[1] = 0.0f;
    model.angularStep[1] = 0.03f;
    model.sinTilt[1] = 0.0f;
    model.cosTilt[1] = 1.0f;
    model.sinNode[1] = 0.0f;
    model.cosNode[1] = 1.0f;
    EXPECT_EQ(run_frames(&loop, 1), frame_end::last_frame);
    EXPECT_NEAR(model.screenX[1], 99.95500f, 1e-4f);
    EXPECT_NEAR(model.screenY[1], 0.0523494f, 1e-6f);
    EXPECT_EQ(pixel(740, 384), colour_yellow);
    EXPECT_EQ(model.prevScreenX[1], model.screenX[1]);
    EXPECT_EQ(model.prevLineOfSight[1], model.lineOfSight[1]);
}

TEST_F(FrameLoop, TheFirstFramesErasesAtTheCentreAreCoveredByTheWhiteMarker) {
    run_frames(&loop, 1);
    EXPECT_EQ(pixel(640, 384), colour_white);
    EXPECT_EQ(pixel(640, 385), colour_white);
    EXPECT_EQ(pixel(641, 384), colour_white);
    EXPECT_EQ(pixel(641, 385), colour_white);
    EXPECT_EQ(loop.frame, 2);
}

TEST_F(FrameLoop, EveryYellowPixelIsACloudsCurrentPosition) {
    run_frames(&loop, 5);
    std::set<std::pair<int32_t, int32_t>> current;
    for (int32_t n = 1; n <= cloud_count; ++n) {
        float x = static_cast<float>(static_cast<long double>(model.screenX[n]) + 640);
        float y = static_cast<float>((-static_cast<long double>(model.screenY[n]) + 768) - 384);
        auto round = [](float v) { return static_cast<int32_t>(v > 0 ? v + 0.5 : v - 0.5); };
        current.insert({round(x), round(y)});
    }
    int32_t yellow = 0;
    for (int32_t y = 0; y < 768; ++y)
        for (int32_t x = 0; x < 1280; ++x)
            if (pixel(x, y) == colour_yellow) {
                ++yellow;
                EXPECT_TRUE(current.count({x, y})) << x << "," << y;
            }
    EXPECT_GT(yellow, 5000); // most clouds have a pixel of their own
    for (int32_t y = 0; y < 768; ++y)
        for (int32_t x = 0; x < 1280; ++x) {
            bool inside = std::abs(x - 640) <= 301 && std::abs(y - 384) <= 301;
            if (!inside) {
                ASSERT_EQ(pixel(x, y), colour_black) << x << "," << y;
            }
        }
}

TEST_F(FrameLoop, SpaceComputesTheSummaryWithoutEnding) {
    run_frames(&loop, 3);
    EXPECT_EQ(loop.histogramPeak, 0.0f);
    post_key(' ');
    EXPECT_EQ(run_frames(&loop, 4), frame_end::last_frame);
    EXPECT_EQ(model.meanDelay, model.delaySum / 4 / 10000.0);
    EXPECT_GT(loop.histogramPeak, 0.0f);
    // A space that reaches the second poll counts as well.
    post_key('x');
    post_key(' ');
    double before = model.meanDelay;
    EXPECT_EQ(run_frames(&loop, 5), frame_end::last_frame);
    EXPECT_EQ(model.meanDelay, model.delaySum / 5 / 10000.0);
    EXPECT_NE(model.meanDelay, before);
}

TEST_F(FrameLoop, EscapeEndsFromEitherPoll) {
    post_key(27);
    EXPECT_EQ(run_frames(&loop, 10), frame_end::escape);
    EXPECT_EQ(loop.frame, 1);
    post_key('q');
    post_key(27);
    EXPECT_EQ(run_frames(&loop, 10), frame_end::escape); // read by the second poll
    EXPECT_EQ(loop.frame, 1);
}

TEST_F(FrameLoop, TheCloseKeyEndsLikeEscape) {
    post_key(close_key);
    EXPECT_EQ(run_frames(&loop, 10), frame_end::close_key);
    post_key(' ');
    post_key(close_key);
    EXPECT_EQ(run_frames(&loop, 10), frame_end::close_key);
}

TEST_F(FrameLoop, ExtendedAndOtherKeysAreDiscarded) {
    post_key(0x4BFF); // an arrow key: character 255 and "K"
    post_key(0x01FF); // Alt+Esc reads as 255 and 0x01, not as Escape
    post_key('a');
    post_key(13);
    EXPECT_EQ(run_frames(&loop, 3), frame_end::last_frame);
    EXPECT_EQ(loop.frame, 4);
    EXPECT_EQ(loop.histogramPeak, 0.0f); // no summary was asked for
}

TEST_F(FrameLoop, TheLastFrameEndsTheLoop) {
    EXPECT_EQ(run_frames(&loop, 2), frame_end::last_frame);
    EXPECT_EQ(loop.frame, 3);
    EXPECT_EQ(run_frames(&loop, 2), frame_end::last_frame); // nothing left to run
    EXPECT_EQ(loop.frame, 3);
}

} // namespace
