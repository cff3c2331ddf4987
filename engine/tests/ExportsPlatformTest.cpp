// The exports over the platform layer: a spoken word from the WAV-file
// input, detected by the library's own engine on this thread's event loop.
#include "engine/talvor2.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

TEST(Exports, SpokenWordFromAWavFileComesOutAsFramesAndSamples)
{
    const char* root = std::getenv("TALVOR_SOURCE_DIR");
    ASSERT_NE(root, nullptr);
    const std::string path = std::string(root) + "/engine/tests/fixtures/three_en-gb-f3.wav";
    ::setenv("TALVOR_AUDIO_IN", path.c_str(), 1);
    ::setenv("TALVOR_AUDIO_PACE", "fast", 1);

    ASSERT_NE(TokenProces(0), 0);
    std::vector<float> features(232 * 20);
    std::vector<std::int16_t> samples(104000);
    int32_t startFrame = 0, endFrame = 0, startSample = 0, endSample = 0;
    int32_t status = 1;
    QElapsedTimer t;
    t.start();
    while (status == 1 && t.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        status = GetTokenParam(features.data(), &startFrame, &endFrame, samples.data(), &startSample, &endSample);
    }
    EXPECT_EQ(StopTokenProces(), 0);
    ::setenv("TALVOR_AUDIO_IN", "null", 1);
    ASSERT_EQ(status, 0);
    // Half a second of silence, then the word: it starts near sample 4000
    // and lasts at least the shortest word kept.
    EXPECT_NEAR(startSample, 4000, 240);
    EXPECT_GE(endFrame - startFrame, 15);
    EXPECT_GE(startFrame, 10);
    EXPECT_NE(samples[static_cast<std::size_t>(startSample) + 400], 0);
    // The word's frames carry speech energy; the frames before it silence.
    EXPECT_GT(features[static_cast<std::size_t>(startFrame + 5) * 20 + 19], features[5 * 20 + 19] + 3.0f);
}

}  // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
