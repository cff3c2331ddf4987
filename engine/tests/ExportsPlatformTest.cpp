// The exports over the platform layer: a spoken word from the WAV-file
// input, detected by the library's own engine on this thread's event loop and
// announced to a window of this process, as the signal analyser sees it.
#include "engine/talvor2.h"

#include "platform/Dialogs.h"
#include "platform/Window.h"
#include "testing/EventLoop.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

TEST(Exports, SpokenWordFromAWavFileReachesTheWindowAsFramesAndSamples)
{
    const char* root = std::getenv("TALVOR_SOURCE_DIR");
    ASSERT_NE(root, nullptr);
    const std::string path = std::string(root) + "/engine/tests/fixtures/three_en-gb-f3.wav";
    ::setenv("TALVOR_AUDIO_IN", path.c_str(), 1);
    ::setenv("TALVOR_AUDIO_PACE", "fast", 1);

    std::vector<std::uint32_t> keys;
    std::vector<int32_t> statusAtKey;
    std::vector<float> features(232 * 20);
    std::vector<std::int16_t> samples(104000);
    int32_t startFrame = 0, endFrame = 0, startSample = 0, endSample = 0;
    std::string error;
    auto window = talvor::platform::WindowEndpoint::create(
        "engine test window " + std::to_string(::getpid()),
        [&](std::uint32_t msg, std::uint32_t wParam, std::int32_t) -> std::int32_t {
            if (msg == talvor::platform::WM_KEYDOWN) {
                keys.push_back(wParam);
                // As the analyser does on TokenKeyDone.
                StopTokenProces();
                statusAtKey.push_back(GetTokenParam(features.data(), &startFrame, &endFrame, samples.data(),
                                                    &startSample, &endSample));
            }
            return 0;
        },
        &error);
    ASSERT_TRUE(window) << error;

    ASSERT_NE(TokenProces(window->handle()), 0);
    talvor::test::serveEventsUntil([&] { return !keys.empty(); }, 10000, 5);
    // A second notification would arrive meanwhile.
    talvor::test::serveEventsFor(300, 5);
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0], 26665u);
    const int32_t status = statusAtKey[0];
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

TEST(Exports, SoundCardErrorsReachTheHostsDialogs)
{
    // The library carries its own copy of the platform layer; dialogs the host
    // installed must still show its messages.
    talvor::platform::ScopedScriptedDialogs dialogs;
    ::setenv("TALVOR_AUDIO_IN", "/nonexistent/folder/word.wav", 1);
    std::vector<std::int16_t> buffer(800);
    EXPECT_EQ(OpenSoundCardIn(buffer.data(), 800), 0);
    ::setenv("TALVOR_AUDIO_IN", "null", 1);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, "message");
    EXPECT_EQ(dialogs.shown[0].caption, "ERROR ON THE SOUND CARD MEDIA");
    EXPECT_FALSE(dialogs.shown[0].text.empty());
}

}  // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // The application lives as long as the process: the platform keeps its
    // process-wide window registry on it.
    static QCoreApplication* app = new QCoreApplication(argc, argv);
    (void)app;
    return RUN_ALL_TESTS();
}
