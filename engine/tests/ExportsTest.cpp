// The C exports of libtalvor2.so reach the process-wide engine.
#include "engine/talvor2.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(Exports, ReachTheLoadedEngine)
{
    EXPECT_EQ(InitSoundCard(), 0);
    EXPECT_EQ(ChangeTokenMaxFrames(14), 200);
    EXPECT_EQ(ChangeTokenMaxFrames(15), 15);
    EXPECT_EQ(ChangeTokenMaxFrames(200), 200);
    EXPECT_EQ(Recompute(), 1);  // nothing recorded yet
    EXPECT_EQ(StopTokenProces(), 0);

    std::vector<std::int16_t> buffer(100);
    EXPECT_EQ(OpenSoundCardIn(buffer.data(), 0), 0);
    EXPECT_EQ(CloseSoundCardIn(), 0);
    EXPECT_EQ(CloseSoundCardOut(), 0);
    EXPECT_EQ(OpenSoundCardOut(buffer.data(), 0), 0);

    std::vector<float> features(20 * 11, -1.0f);
    std::vector<std::int16_t> samples(802, -1);
    int32_t startFrame = -1, endFrame = -1, startSample = -1, endSample = -1;
    EXPECT_EQ(GetTokenParam(features.data(), &startFrame, &endFrame, samples.data(), &startSample, &endSample), 1);
    EXPECT_EQ(endFrame, 0);
    EXPECT_EQ(endSample, 0);
    EXPECT_EQ(features[20 * 10 - 1], 0.0f);   // frames 0..9, cleared at load
    EXPECT_EQ(features[20 * 10], -1.0f);
    EXPECT_EQ(samples[800], 0);               // samples 0..800
    EXPECT_EQ(samples[801], -1);
}

}  // namespace
