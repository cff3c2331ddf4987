#include "engine/Engine.h"

#include "Fakes.h"
#include "ReferenceFeatures.h"
#include "Signals.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace talvor::engine {
namespace {

using test::FakeRig;

constexpr WindowHandle kWindow = 77;
constexpr float kUnwritten = 12345.0f;
constexpr std::int16_t kUnwrittenSample = 4321;

struct TokenCopy {
    std::vector<float> features = std::vector<float>((TokenDetector::kFrameStoreSize + 5) * 20, kUnwritten);
    std::vector<std::int16_t> samples = std::vector<std::int16_t>(TokenDetector::kBufferSamples + 100, kUnwrittenSample);
    std::int32_t startFrame = -99, endFrame = -99, startSample = -99, endSample = -99;
    std::int32_t status = -99;

    std::size_t featuresWritten() const
    {
        std::size_t n = features.size();
        while (n > 0 && features[n - 1] == kUnwritten)
            --n;
        return n;
    }
    std::size_t samplesWritten() const
    {
        std::size_t n = samples.size();
        while (n > 0 && samples[n - 1] == kUnwrittenSample)
            --n;
        return n;
    }
};

TokenCopy getTokenParam(Engine& e)
{
    TokenCopy c;
    c.status = e.GetTokenParam(c.features.data(), &c.startFrame, &c.endFrame, c.samples.data(), &c.startSample,
                               &c.endSample);
    return c;
}

// Delivers `s` in chunks of the given sizes, one timer tick after each, as
// long as the engine keeps recording; then a few more ticks.
void feed(FakeRig& rig, const std::vector<std::int16_t>& s, const std::vector<std::size_t>& chunks)
{
    rig.timer->tick();  // the first tick of a process starts its frame fetch
    std::size_t i = 0;
    while (rig.in->isOpen() && rig.in->delivered < s.size() && rig.in->delivered < rig.in->count) {
        rig.in->deliver(s, chunks[i++ % chunks.size()]);
        rig.timer->tick();
    }
    for (int k = 0; k < 3; ++k)
        rig.timer->tick();
}

TEST(TokenProcess, OddChunksGiveTheSameWordAsOneDelivery)
{
    const std::vector<std::int16_t> s = test::wordRecording();
    FakeRig whole, chunked;
    ASSERT_NE(whole.engine->TokenProces(kWindow), 0);
    ASSERT_NE(chunked.engine->TokenProces(kWindow), 0);
    EXPECT_EQ(whole.timer->interval, 50);
    feed(whole, s, {s.size()});
    feed(chunked, s, {37, 113, 401, 80, 1, 999, 79, 81});

    for (FakeRig* rig : {&whole, &chunked}) {
        EXPECT_EQ(rig->messages->posted.size(), 1u);
        EXPECT_EQ(rig->messages->count(TokenKeyDone), 1);
        EXPECT_EQ(rig->messages->posted[0].window, kWindow);
        EXPECT_EQ(rig->messages->posted[0].lParam, 0);
        EXPECT_FALSE(rig->timer->active);
        EXPECT_FALSE(rig->in->isOpen());
        EXPECT_FALSE(rig->engine->recording());
        EXPECT_TRUE(rig->engine->tokenProcessRunning());  // until StopTokenProces
    }

    const TokenCopy a = getTokenParam(*whole.engine);
    const TokenCopy b = getTokenParam(*chunked.engine);
    EXPECT_EQ(a.status, 0);
    EXPECT_EQ(b.status, 0);
    EXPECT_EQ(a.startFrame, b.startFrame);
    EXPECT_EQ(a.endFrame, b.endFrame);
    EXPECT_EQ(a.startSample, b.startSample);
    EXPECT_EQ(a.endSample, b.endSample);
    EXPECT_EQ(a.features, b.features);
    EXPECT_EQ(a.samples, b.samples);

    // The word lies between 500 ms and 950 ms.
    EXPECT_NEAR(a.startSample, 4000, 320);
    EXPECT_NEAR(a.endSample, 7600, 320);
    EXPECT_GE(a.startFrame, 10);

    // Same bounds as the whole-recording reference.
    const reference::Detection ref = reference::detect(reference::computeFrames(s));
    EXPECT_EQ(ref.status, 0);
    EXPECT_EQ(a.startSample, ref.startSample);
    EXPECT_EQ(a.endSample, ref.endSample);
    EXPECT_EQ(a.endFrame - a.startFrame, ref.endFrame - ref.startFrame);
}

// The end of a word stops the recording into the buffer at the samples the
// detector took; a continuing process asks the device to begin right after
// them, and only the end of listening releases the device.
TEST(TokenProcess, AContinuingProcessBeginsRightAfterTheSamplesTheDetectorTook)
{
    const std::vector<std::int16_t> s = test::wordRecording();
    FakeRig rig;
    ASSERT_NE(rig.engine->TokenProces(kWindow), 0);
    EXPECT_EQ(rig.in->continuingOpens, 0);
    feed(rig, s, {s.size()});
    ASSERT_EQ(rig.messages->count(TokenKeyDone), 1);
    const TokenCopy word = getTokenParam(*rig.engine);
    ASSERT_EQ(word.status, 0);
    ASSERT_TRUE(rig.in->lastUsed.has_value());
    EXPECT_EQ(*rig.in->lastUsed, std::size_t(rig.engine->detector().nextSample() - 1));
    EXPECT_GT(*rig.in->lastUsed, std::size_t(word.endSample));  // the quiet after the word was taken
    EXPECT_LT(*rig.in->lastUsed, s.size());  // what came after it is the next word's

    rig.engine->StopTokenProces();
    ASSERT_NE(rig.engine->ContinueTokenProces(kWindow), 0);
    EXPECT_EQ(rig.in->continuingOpens, 1);
    // Stopped before the detector took anything: nothing of it was used.
    rig.engine->StopTokenProces();
    EXPECT_EQ(rig.in->lastUsed, std::size_t{0});
    EXPECT_EQ(rig.in->releases, 0);
    rig.engine->ReleaseSoundCardIn();
    EXPECT_EQ(rig.in->releases, 1);
    EXPECT_FALSE(rig.engine->recording());
    EXPECT_FALSE(rig.engine->tokenProcessRunning());

    // A recording of the caller's own buffer counts all it delivered as used.
    std::vector<std::int16_t> own(800);
    ASSERT_NE(rig.engine->OpenSoundCardIn(own.data(), 800), 0);
    rig.in->lastUsed.reset();
    rig.engine->CloseSoundCardIn();
    EXPECT_FALSE(rig.in->lastUsed.has_value());
}

TEST(TokenProcess, LateTickAfterTheWordChangesNothing)
{
    // A tick the event loop had queued before the timer stopped must not run
    // the detector on past the word.
    const std::vector<std::int16_t> s = test::wordRecording();
    FakeRig rig;
    ASSERT_NE(rig.engine->TokenProces(kWindow), 0);
    const auto tick = rig.timer->tickFn;
    feed(rig, s, {s.size()});
    ASSERT_EQ(rig.messages->posted.size(), 1u);
    const TokenCopy before = getTokenParam(*rig.engine);
    tick();
    const TokenCopy after = getTokenParam(*rig.engine);
    EXPECT_EQ(rig.messages->posted.size(), 1u);
    EXPECT_EQ(after.status, 0);
    EXPECT_EQ(after.features, before.features);
    EXPECT_EQ(after.endSample, before.endSample);
}

TEST(TokenProcess, DigitalSilenceDoesNotStallDetection)
{
    const std::vector<std::int16_t> s = test::wordRecording(500, 450, 600, true);
    FakeRig rig;
    ASSERT_NE(rig.engine->TokenProces(kWindow), 0);
    feed(rig, s, {400});
    EXPECT_EQ(rig.messages->count(TokenKeyDone), 1);
    const TokenCopy c = getTokenParam(*rig.engine);
    EXPECT_EQ(c.status, 0);
    EXPECT_NEAR(c.startSample, 4000, 320);
}

TEST(TokenProcess, FullBufferPostsExactlyOneNotification)
{
    struct Case {
        const char* name;
        bool word;
        bool tickFirst;  // a tick before the buffer fills, or the first tick after
        int status;
    };
    const Case cases[] = {{"word in the frames still pending", true, true, 0},
                          {"word, buffer full before the first tick", true, false, 0},
                          {"no word", false, true, -1},
                          {"no word, buffer full before the first tick", false, false, -1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::int16_t> s;
        if (c.word) {
            test::appendNoise(s, 96000, 20);
            test::appendVowel(s, 3600);
        }
        test::appendNoise(s, static_cast<std::size_t>(TokenDetector::kBufferSamples) - s.size(), 20, 5);
        FakeRig rig;
        ASSERT_NE(rig.engine->TokenProces(kWindow), 0);
        if (c.tickFirst)
            rig.timer->tick();
        rig.in->deliver(s, s.size());  // the whole buffer at once: the device reports it full
        rig.timer->tick();
        rig.timer->tick();
        EXPECT_EQ(rig.messages->count(TokenKeyDone), 1);
        EXPECT_EQ(rig.messages->count(TokenKeyBufferFull), 0);
        EXPECT_EQ(rig.messages->posted.size(), 1u);
        EXPECT_FALSE(rig.timer->active);
        EXPECT_FALSE(rig.in->isOpen());
        EXPECT_EQ(rig.engine->tokenResult().status, c.status);
    }
}

TEST(TokenProcess, StoppedProcessPostsNothing)
{
    const std::vector<std::int16_t> s = test::wordRecording();
    FakeRig rig;
    ASSERT_NE(rig.engine->TokenProces(kWindow), 0);
    feed(rig, std::vector<std::int16_t>(s.begin(), s.begin() + 3000), {500});
    const auto full = rig.in->bufferFull;
    const auto tick = rig.timer->tickFn;
    EXPECT_EQ(rig.engine->StopTokenProces(), 0);
    EXPECT_FALSE(rig.timer->active);
    EXPECT_FALSE(rig.in->isOpen());
    EXPECT_FALSE(rig.engine->tokenProcessRunning());
    // A late buffer-full report and a late tick change nothing.
    full();
    tick();
    EXPECT_TRUE(rig.messages->posted.empty());
    EXPECT_EQ(rig.engine->StopTokenProces(), 0);
}

TEST(TokenProcess, SecondCallWhileRecordingRestartsCleanly)
{
    const std::vector<std::int16_t> s = test::wordRecording();
    FakeRig rig;
    const DeviceHandle first = rig.engine->TokenProces(1);
    ASSERT_NE(first, 0);
    rig.timer->tick();
    rig.in->deliver(std::vector<std::int16_t>(1000, 555), 1000);
    rig.timer->tick();
    const auto oldBufferFull = rig.in->bufferFull;

    const DeviceHandle second = rig.engine->TokenProces(2);
    ASSERT_NE(second, 0);
    EXPECT_EQ(rig.in->opens, 2);
    EXPECT_EQ(rig.in->closes, 1);
    EXPECT_EQ(rig.timer->starts, 2);
    EXPECT_TRUE(rig.timer->active);
    EXPECT_EQ(rig.engine->detector().recordBuffer()[999], 0);  // the whole buffer was cleared
    oldBufferFull();  // the closed recording's report is ignored

    feed(rig, s, {640});
    ASSERT_EQ(rig.messages->posted.size(), 1u);
    EXPECT_EQ(rig.messages->posted[0].window, 2u);
    EXPECT_EQ(rig.messages->posted[0].wParam, TokenKeyDone);
    EXPECT_EQ(rig.engine->tokenResult().status, 0);
}

TEST(TokenProcess, NewProcessVoidsThePreviousWord)
{
    // After a found word, a new process reads "running" (1) until it decides,
    // whether it is stopped before its first block or fails to start at all;
    // the old word's status 0 would make the caller store or recognise it
    // again over a cleared buffer.
    const std::vector<std::int16_t> s = test::wordRecording();
    for (const bool failStart : {false, true}) {
        SCOPED_TRACE(failStart ? "start fails" : "stopped at once");
        FakeRig rig;
        ASSERT_NE(rig.engine->TokenProces(kWindow), 0);
        feed(rig, s, {640});
        ASSERT_EQ(getTokenParam(*rig.engine).status, 0);
        rig.engine->StopTokenProces();

        rig.in->failOpen = failStart;
        EXPECT_EQ(rig.engine->TokenProces(kWindow) != 0, !failStart);
        rig.engine->StopTokenProces();
        EXPECT_EQ(rig.engine->tokenResult().status, TokenRunning);
        EXPECT_EQ(getTokenParam(*rig.engine).status, 1);
    }
}

TEST(TokenProcess, FailuresStartNothingAndSayWhy)
{
    struct Case {
        const char* name;
        bool noDevice = false;
        bool failOpen = false;
        bool failTimer = false;
        bool failBuffer = false;
        const char* text;
        const char* caption;
        int opens;
    };
    const Case cases[] = {
        {"no device", true, false, false, false, "No sound device is available.", kSoundErrorCaption, 0},
        {"open fails", false, true, false, false, "The device is in use.", kSoundErrorCaption, 1},
        {"timer fails", false, false, true, false, kTimerFailedText, kAppMessageCaption, 1},
        {"no recording buffer", false, false, false, true, kMemoryErrorText, kAppMessageCaption, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SampleAllocator allocate = allocateSamples;
        if (c.failBuffer)
            allocate = [](std::size_t) { return std::unique_ptr<std::int16_t[]>(); };
        FakeRig rig(allocate, !c.noDevice);
        if (rig.in)
            rig.in->failOpen = c.failOpen;
        rig.timer->failStart = c.failTimer;

        EXPECT_EQ(rig.engine->TokenProces(kWindow), 0);
        ASSERT_EQ(rig.boxes->shown.size(), 1u);
        EXPECT_EQ(rig.boxes->shown[0].text, c.text);
        EXPECT_EQ(rig.boxes->shown[0].caption, c.caption);
        EXPECT_EQ(rig.boxes->shown[0].icon, c.caption == kAppMessageCaption ? MessageIcon::Warning
                                                                            : MessageIcon::Information);
        EXPECT_FALSE(rig.timer->active);
        EXPECT_FALSE(rig.engine->recording());
        EXPECT_FALSE(rig.engine->tokenProcessRunning());
        if (rig.in) {
            EXPECT_EQ(rig.in->opens, c.opens);
            EXPECT_FALSE(rig.in->isOpen());
        }
        if (!c.failTimer) {
            EXPECT_EQ(rig.timer->starts, 0);
        }
        EXPECT_TRUE(rig.messages->posted.empty());
    }
}

TEST(SoundInput, OpenAndCloseFollowTheRecordingFlag)
{
    FakeRig rig;
    std::vector<std::int16_t> buffer(1000);
    EXPECT_EQ(rig.engine->OpenSoundCardIn(buffer.data(), 0), 0);
    EXPECT_EQ(rig.engine->OpenSoundCardIn(buffer.data(), -5), 0);
    EXPECT_EQ(rig.in->opens, 0);
    // The formats are filled first, whatever the call's outcome.
    EXPECT_TRUE(rig.engine->soundInitialised());
    EXPECT_EQ(rig.engine->inputFormat(), SoundFormat);
    EXPECT_EQ(rig.engine->CloseSoundCardIn(), 0);  // not recording
    EXPECT_EQ(rig.in->closes, 0);

    const DeviceHandle h = rig.engine->OpenSoundCardIn(buffer.data(), 1000);
    EXPECT_NE(h, 0);
    EXPECT_TRUE(rig.engine->soundInitialised());
    EXPECT_EQ(rig.in->lastFormat, SoundFormat);
    EXPECT_EQ(rig.engine->OpenSoundCardIn(buffer.data(), 1000), h);  // already recording
    EXPECT_EQ(rig.in->opens, 1);
    rig.in->deliver(std::vector<std::int16_t>(1000, 3), 640);
    EXPECT_EQ(buffer[639], 3);

    // A close that is asked for while a close is under way gets -1.
    std::int32_t nested = 0;
    rig.in->onClose = [&] { nested = rig.engine->CloseSoundCardIn(); };
    EXPECT_EQ(rig.engine->CloseSoundCardIn(), 640);
    EXPECT_EQ(nested, -1);
    EXPECT_FALSE(rig.engine->recording());
    EXPECT_EQ(rig.engine->CloseSoundCardIn(), 0);

    const DeviceHandle again = rig.engine->OpenSoundCardIn(buffer.data(), 1000);
    EXPECT_NE(again, 0);
    EXPECT_NE(again, h);
}

TEST(SoundOutput, PlaysOneCopyAtATime)
{
    // Playback copies fail to allocate; the recording buffer does not.
    bool failCopies = false;
    FakeRig rig([&](std::size_t n) {
        return failCopies && n != static_cast<std::size_t>(TokenDetector::kBufferSamples)
                   ? std::unique_ptr<std::int16_t[]>()
                   : allocateSamples(n);
    });
    EXPECT_EQ(rig.engine->CloseSoundCardOut(), 0);  // nothing opened
    std::vector<std::int16_t> a(500, 7), b(300, 9);
    EXPECT_FALSE(rig.engine->soundInitialised());
    EXPECT_EQ(rig.engine->OpenSoundCardOut(a.data(), 0), 0);
    EXPECT_EQ(rig.out->plays, 0);
    EXPECT_EQ(rig.engine->outputFormat(), SoundFormat);

    const DeviceHandle h = rig.engine->OpenSoundCardOut(a.data(), 500);
    EXPECT_NE(h, 0);
    EXPECT_NE(rig.out->playing, a.data());  // a copy is played
    EXPECT_EQ(rig.out->played, a);
    a[0] = 1;  // the caller may change its samples meanwhile
    EXPECT_EQ(rig.out->playing[0], 7);
    EXPECT_EQ(rig.engine->OpenSoundCardOut(b.data(), 300), h);  // already playing
    EXPECT_EQ(rig.out->plays, 1);
    EXPECT_EQ(rig.engine->playbackCopyLength(), 500u);

    rig.out->position = 123;
    std::int32_t nested = 0;
    rig.out->onClose = [&] { nested = rig.engine->CloseSoundCardOut(); };
    EXPECT_EQ(rig.engine->CloseSoundCardOut(), 123);
    EXPECT_EQ(nested, -1);  // a close while a close is under way
    rig.out->onClose = nullptr;
    EXPECT_FALSE(rig.engine->playing());
    EXPECT_EQ(rig.engine->playbackCopyLength(), 0u);
    EXPECT_NE(rig.engine->OpenSoundCardOut(b.data(), 300), 0);
    EXPECT_EQ(rig.engine->playbackCopyLength(), 300u);
    rig.engine->CloseSoundCardOut();

    failCopies = true;
    EXPECT_EQ(rig.engine->OpenSoundCardOut(b.data(), 300), 0);
    ASSERT_EQ(rig.boxes->shown.size(), 1u);
    EXPECT_EQ(rig.boxes->shown[0].text, kMemoryErrorText);
    EXPECT_EQ(rig.out->plays, 2);
    failCopies = false;

    rig.out->failPlay = true;
    EXPECT_EQ(rig.engine->OpenSoundCardOut(b.data(), 300), 0);
    ASSERT_EQ(rig.boxes->shown.size(), 2u);
    EXPECT_EQ(rig.boxes->shown[1].text, "No output device.");
    EXPECT_EQ(rig.boxes->shown[1].caption, kSoundErrorCaption);
    EXPECT_EQ(rig.engine->playbackCopyLength(), 0u);
    EXPECT_FALSE(rig.engine->playing());
}

TEST(GetTokenParam, CopiesTheWordWithItsMarginsAndCutsAtTheBufferEnd)
{
    FakeRig rig;
    // Before any word: frames 0..9 and samples 0..800.
    TokenCopy none = getTokenParam(*rig.engine);
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.featuresWritten(), 10u * 20);
    EXPECT_EQ(none.samplesWritten(), 801u);

    const std::vector<std::int16_t> s = test::wordRecording();
    ASSERT_NE(rig.engine->TokenProces(kWindow), 0);
    feed(rig, s, {800});
    const TokenCopy c = getTokenParam(*rig.engine);
    ASSERT_EQ(c.status, 0);
    EXPECT_EQ(c.featuresWritten(), static_cast<std::size_t>(c.endFrame + 10) * 20);
    EXPECT_EQ(c.samplesWritten(), static_cast<std::size_t>(c.endSample + 801));
    EXPECT_EQ(0, std::memcmp(c.samples.data(), s.data(), static_cast<std::size_t>(c.endSample + 801) * 2));
    EXPECT_EQ(0, std::memcmp(c.features.data(), rig.engine->detector().frames(),
                             static_cast<std::size_t>(c.endFrame + 10) * 80));

    // A word that ends just before the buffer is full: the recording ends
    // (-1) with the end mark near the buffer's end, and the copy stops there.
    std::vector<std::int16_t> late;
    test::appendNoise(late, 100800, 20);
    test::appendVowel(late, 2800);
    test::appendNoise(late, static_cast<std::size_t>(TokenDetector::kBufferSamples) - late.size(), 20, 5);
    ASSERT_NE(rig.engine->TokenProces(kWindow), 0);
    feed(rig, late, {4000});
    const TokenCopy cut = getTokenParam(*rig.engine);
    EXPECT_EQ(cut.status, -1);
    EXPECT_GT(cut.endSample + 801, TokenDetector::kBufferSamples);
    EXPECT_EQ(cut.samplesWritten(), static_cast<std::size_t>(TokenDetector::kBufferSamples));
}

TEST(ChangeTokenMaxFrames, KeepsTheLengthWithinTheFrameStore)
{
    struct Case {
        std::int32_t in, stored;
    };
    const Case cases[] = {{14, 200}, {15, 15}, {0, 200}, {-7, 200}, {100, 100},
                          {200, 200}, {201, 200}, {100000, 200}};
    FakeRig rig;
    EXPECT_EQ(rig.engine->detector().maxWordLength(), 200);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(rig.engine->ChangeTokenMaxFrames(c.in), c.stored);
        EXPECT_EQ(rig.engine->detector().maxWordLength(), c.stored);
    }
}

TEST(Recompute, RunsDetectionAgainOverTheRecording)
{
    const std::vector<std::int16_t> s = test::wordRecording();

    // 799 samples recorded: 1, nothing changes.
    {
        FakeRig rig;
        ASSERT_NE(rig.engine->TokenProces(kWindow), 0);
        feed(rig, std::vector<std::int16_t>(s.begin(), s.begin() + 799), {799});
        rig.engine->StopTokenProces();
        EXPECT_EQ(rig.engine->detector().recorded(), 799);
        const TokenCopy before = getTokenParam(*rig.engine);
        EXPECT_EQ(rig.engine->Recompute(), 1);
        const TokenCopy after = getTokenParam(*rig.engine);
        EXPECT_EQ(before.features, after.features);
        EXPECT_EQ(before.samples, after.samples);
        EXPECT_EQ(after.status, 1);
    }

    FakeRig rig;
    ASSERT_NE(rig.engine->TokenProces(kWindow), 0);
    rig.timer->tick();
    rig.in->deliver(s, 2000);
    rig.timer->tick();
    // While recording: the current status, the detector untouched.
    const auto t = rig.engine->detector().frameCounter();
    const auto next = rig.engine->detector().nextSample();
    EXPECT_EQ(rig.engine->Recompute(), 1);
    EXPECT_EQ(rig.engine->detector().frameCounter(), t);
    EXPECT_EQ(rig.engine->detector().nextSample(), next);

    feed(rig, s, {2000});
    const TokenCopy live = getTokenParam(*rig.engine);
    ASSERT_EQ(live.status, 0);
    rig.engine->StopTokenProces();
    EXPECT_EQ(rig.engine->Recompute(), 0);
    const TokenCopy again = getTokenParam(*rig.engine);
    EXPECT_EQ(again.startSample, live.startSample);
    EXPECT_EQ(again.endSample, live.endSample);
    EXPECT_EQ(again.startFrame, live.startFrame);
    EXPECT_EQ(again.endFrame, live.endFrame);
    EXPECT_EQ(again.features, live.features);
}

}  // namespace
}  // namespace talvor::engine
