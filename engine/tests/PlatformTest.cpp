// The engine over the platform layer: spoken words from WAV files, the
// platform's WAV-file input and timer, and its dialogs.
#include "engine/Engine.h"

#include "Fakes.h"
#include "PlatformServices.h"
#include "Signals.h"

#include "platform/Audio.h"
#include "platform/Dialogs.h"
#include "testing/EventLoop.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace talvor::engine {
namespace {

std::string fixture(const std::string& name)
{
    const char* root = std::getenv("TALVOR_SOURCE_DIR");
    return std::string(root ? root : ".") + "/engine/tests/fixtures/" + name;
}

std::vector<std::int16_t> readFixture(const std::string& path)
{
    std::vector<std::int16_t> s;
    std::string error;
    EXPECT_TRUE(platform::readWav(path, &s, &error)) << error;
    return s;
}

// First and last sample louder than `level`: where the speech is.
std::pair<std::int32_t, std::int32_t> speechExtent(const std::vector<std::int16_t>& s, int level = 200)
{
    std::int32_t first = -1, last = -1;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (std::abs(s[i]) > level) {
            if (first < 0)
                first = static_cast<std::int32_t>(i);
            last = static_cast<std::int32_t>(i);
        }
    }
    return {first, last};
}

struct Detected {
    int status = 99;
    std::int32_t startSample = 0, endSample = 0, startFrame = 0, endFrame = 0;
    int notifications = 0;
};

// Through an engine over fakes, delivered 50 ms at a time.
Detected detectWithFakes(const std::vector<std::int16_t>& s)
{
    test::FakeRig rig;
    Detected d;
    if (rig.engine->TokenProces(1) == 0)
        return d;
    rig.timer->tick();
    while (rig.in->isOpen() && rig.in->delivered < s.size()) {
        rig.in->deliver(s, 400);
        rig.timer->tick();
    }
    std::vector<float> features(232 * 20);
    std::vector<std::int16_t> samples(TokenDetector::kBufferSamples);
    d.status = rig.engine->GetTokenParam(features.data(), &d.startFrame, &d.endFrame, samples.data(),
                                         &d.startSample, &d.endSample);
    d.notifications = static_cast<int>(rig.messages->posted.size());
    return d;
}

TEST(SpokenDigits, EachVoiceIsCutOutAroundItsSpeech)
{
    const char* files[] = {"three_en-us.wav",          "seven_en-us.wav", "three_en-gb-f3.wav",
                           "seven_en-gb-f3.wav",       "three_en-gb-scotland.wav", "seven_en-gb-scotland.wav"};
    for (const char* name : files) {
        SCOPED_TRACE(name);
        const std::vector<std::int16_t> s = readFixture(fixture(name));
        ASSERT_FALSE(s.empty());
        const auto [first, last] = speechExtent(s);
        const Detected d = detectWithFakes(s);
        EXPECT_EQ(d.status, 0);
        EXPECT_EQ(d.notifications, 1);
        // The word is cut out within a few frames of where its sound is.
        EXPECT_NEAR(d.startSample, first, 160) << "speech from " << first;
        EXPECT_NEAR(d.endSample, last, 480) << "speech to " << last;
        EXPECT_GE(d.endFrame - d.startFrame, 15);
    }
}

TEST(SpokenDigits, RealSpeechIsFoundInsideEachRecording)
{
    const char* shared = std::getenv("TALVOR_SHARED_DATA");
    const std::filesystem::path folder = std::filesystem::path(shared ? shared : "") / "fsdd";
    if (!shared || !std::filesystem::is_directory(folder))
        GTEST_SKIP() << "no spoken digits at " << folder << " (TALVOR_SHARED_DATA/fsdd)";

    // Each recording between half a second and a second of digital silence,
    // as a quiet room before and after the word.
    constexpr std::int32_t kLead = 4000;
    int files = 0, found = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() != ".wav")
            continue;
        SCOPED_TRACE(entry.path().filename().string());
        const std::vector<std::int16_t> word = readFixture(entry.path().string());
        std::vector<std::int16_t> s;
        test::appendSilence(s, kLead);
        s.insert(s.end(), word.begin(), word.end());
        test::appendSilence(s, 8000);
        const Detected d = detectWithFakes(s);
        ++files;
        if (d.status != 0)
            continue;
        ++found;
        const auto n = static_cast<std::int32_t>(word.size());
        EXPECT_GE(d.startSample, kLead - 80);
        EXPECT_LT(d.startSample, kLead + n);
        EXPECT_GE(d.endSample, d.startSample + 15 * 80);
        EXPECT_LE(d.endSample, kLead + n + 400);
    }
    ASSERT_GT(files, 0);
    // A few recordings are shorter than the shortest word the detector keeps.
    EXPECT_GE(found * 100, files * 95) << found << " of " << files;
}

// An engine on the platform's devices and timer; notifications recorded.
struct PlatformRig {
    test::FakeMessages* messages = nullptr;
    std::unique_ptr<Engine> engine;
    PlatformRig()
    {
        EngineServices s;
        s.soundIn = makePlatformSoundIn();
        s.soundOut = makePlatformSoundOut();
        s.timer = makePlatformTimer();
        s.messageBoxes = makePlatformMessageBoxes();
        auto m = std::make_unique<test::FakeMessages>();
        messages = m.get();
        s.messages = std::move(m);
        engine = std::make_unique<Engine>(std::move(s));
    }
    bool waitForMessage(int ms)
    {
        return talvor::test::serveEventsUntil([&] { return !messages->posted.empty(); }, ms, 5);
    }
};

class PlatformEngine : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::setenv("TALVOR_AUDIO_PACE", "fast", 1);
        ::setenv("TALVOR_AUDIO_OUT", "null", 1);
    }
    void TearDown() override { ::setenv("TALVOR_AUDIO_IN", "null", 1); }
};

class PlatformPace : public PlatformEngine, public ::testing::WithParamInterface<const char*> {};

// The file played as fast as it goes (the buffer is full before the first
// tick) and in real time (a few blocks per tick, from the device's thread).
TEST_P(PlatformPace, WordFromTheWavFileInputComesOutOfTokenProces)
{
    const std::string path = fixture("seven_en-us.wav");
    const std::vector<std::int16_t> file = readFixture(path);
    ::setenv("TALVOR_AUDIO_IN", path.c_str(), 1);
    ::setenv("TALVOR_AUDIO_PACE", GetParam(), 1);
    PlatformRig rig;
    ASSERT_NE(rig.engine->TokenProces(9), 0);
    ASSERT_TRUE(rig.waitForMessage(10000));
    // Let a late tick or device report show itself.
    talvor::test::serveEventsFor(200, 5);
    ASSERT_EQ(rig.messages->posted.size(), 1u);
    EXPECT_EQ(rig.messages->posted[0].window, 9u);
    EXPECT_EQ(rig.messages->posted[0].wParam, TokenKeyDone);
    EXPECT_FALSE(rig.engine->recording());

    std::vector<float> features(232 * 20);
    std::vector<std::int16_t> samples(TokenDetector::kBufferSamples);
    std::int32_t sf = 0, ef = 0, ss = 0, es = 0;
    ASSERT_EQ(rig.engine->GetTokenParam(features.data(), &sf, &ef, samples.data(), &ss, &es), 0);
    // The same word as the file fed through fakes, and the file's own samples.
    const Detected d = detectWithFakes(file);
    EXPECT_EQ(ss, d.startSample);
    EXPECT_EQ(es, d.endSample);
    EXPECT_EQ(ef - sf, d.endFrame - d.startFrame);
    for (std::int32_t i = 0; i <= es + 800 && i < static_cast<std::int32_t>(file.size()); ++i)
        ASSERT_EQ(samples[static_cast<std::size_t>(i)], file[static_cast<std::size_t>(i)]) << i;
    EXPECT_EQ(rig.engine->StopTokenProces(), 0);
}

INSTANTIATE_TEST_SUITE_P(Pace, PlatformPace, ::testing::Values("fast", "realtime"));

TEST_F(PlatformEngine, DeviceErrorsAreShownThroughTheDialogs)
{
    ::setenv("TALVOR_AUDIO_IN", "/nonexistent/folder/word.wav", 1);
    platform::ScopedScriptedDialogs dialogs;
    PlatformRig rig;
    EXPECT_EQ(rig.engine->TokenProces(9), 0);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].caption, kSoundErrorCaption);
    EXPECT_FALSE(dialogs.shown[0].text.empty());
    EXPECT_EQ(dialogs.shown[0].icon, platform::MessageIcon::Information);
    EXPECT_TRUE(rig.messages->posted.empty());
}

TEST_F(PlatformEngine, PlaybackThroughTheNullOutputFreesItsCopy)
{
    // Playback through the null output reports its position when closed.
    PlatformRig rig;
    std::vector<std::int16_t> s(800, 100);
    EXPECT_NE(rig.engine->OpenSoundCardOut(s.data(), 800), 0);
    EXPECT_GE(rig.engine->CloseSoundCardOut(), 0);
    EXPECT_EQ(rig.engine->playbackCopyLength(), 0u);
}

}  // namespace
}  // namespace talvor::engine
