#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "platform/Audio.h"
#include "platform/Process.h"
#include "testing/TempDir.h"

using namespace talvor::platform;
using namespace std::chrono_literals;

namespace {

std::vector<std::int16_t> ramp(std::size_t n)
{
    std::vector<std::int16_t> v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = std::int16_t(int(i % 2000) - 1000 + 1);  // never 0, so silence is told apart
    return v;
}

// Writes a sound file in any format libsndfile knows (for the refused ones).
void writeOther(const std::string& path, int format, int rate, int channels, std::size_t frames)
{
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
    std::vector<short> data(frames * std::size_t(channels), 100);
    sf_writef_short(f, data.data(), sf_count_t(frames));
    sf_close(f);
}

// Records what an input's onBufferFull saw.
struct FullWatch {
    std::mutex m;
    std::condition_variable cv;
    int calls = 0;
    std::thread::id thread;
    std::function<void()> callback()
    {
        return [this]() {
            std::lock_guard l(m);
            ++calls;
            thread = std::this_thread::get_id();
            cv.notify_all();
        };
    }
    bool waitFor(int n, std::chrono::milliseconds t)
    {
        std::unique_lock l(m);
        return cv.wait_for(l, t, [&] { return calls >= n; });
    }
};

class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedEnv() { m_old ? ::setenv(m_name, m_old->c_str(), 1) : ::unsetenv(m_name); }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

}  // namespace

TEST(Wav, WritesAndReadsBackExactly)
{
    talvor::test::TempDir dir;
    const std::string path = dir.path() + "/a.wav";
    const auto samples = ramp(12345);
    std::string error;
    ASSERT_TRUE(writeWav(path, samples.data(), samples.size(), &error)) << error;
    std::vector<std::int16_t> back;
    ASSERT_TRUE(readWav(path, &back, &error)) << error;
    EXPECT_EQ(back, samples);
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    ASSERT_NE(f, nullptr);
    sf_close(f);
    EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    EXPECT_EQ(info.samplerate, 8000);
    EXPECT_EQ(info.channels, 1);
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp-" + std::to_string(::getpid())));
    // Nothing is left behind, and an empty recording is a valid file.
    ASSERT_TRUE(writeWav(path, nullptr, 0, &error)) << error;
    ASSERT_TRUE(readWav(path, &back, &error)) << error;
    EXPECT_TRUE(back.empty());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(Wav, RefusesOtherFormatsAndBadFilesWithAMessage)
{
    talvor::test::TempDir dir;
    struct Case {
        const char* name;
        int format, rate, channels;
        const char* expect;  // in the message
    } cases[] = {
        {"16 kHz", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 16000, 1, "16000 Hz"},
        {"stereo", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 2, "2 channels"},
        {"8-bit", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 8000, 1, "8-bit PCM"},
        {"float", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 8000, 1, "32-bit float"},
        {"AIFF", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 8000, 1, "not a WAV file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.path() + "/" + c.name + ".wav";
        writeOther(path, c.format, c.rate, c.channels, 100);
        std::vector<std::int16_t> out{1, 2, 3};
        std::string error;
        EXPECT_FALSE(readWav(path, &out, &error));
        EXPECT_NE(error.find(c.expect), std::string::npos) << error;
        EXPECT_NE(error.find(path), std::string::npos) << error;
        EXPECT_EQ(out, (std::vector<std::int16_t>{1, 2, 3}));  // untouched
    }
    std::string error;
    EXPECT_FALSE(readWav(dir.path() + "/missing.wav", nullptr, &error));
    EXPECT_NE(error.find("no such file"), std::string::npos) << error;
    EXPECT_FALSE(readWav(dir.path(), nullptr, &error));  // a folder
    std::ofstream(dir.path() + "/text.wav") << "not a sound at all";
    EXPECT_FALSE(readWav(dir.path() + "/text.wav", nullptr, &error));
    EXPECT_NE(error.find("text.wav"), std::string::npos) << error;
    // Writing into a missing folder fails and says so.
    const auto s = ramp(10);
    EXPECT_FALSE(writeWav(dir.path() + "/no/such/dir/x.wav", s.data(), s.size(), &error));
    EXPECT_NE(error.find("x.wav"), std::string::npos) << error;
}

TEST(Wav, ReadsRealSpeech)
{
    const char* data = std::getenv("TALVOR_SHARED_DATA");
    const std::string path = std::string(data ? data : "../shared/data") + "/fsdd/0_george_0.wav";
    if (!std::filesystem::exists(path))
        GTEST_SKIP() << "speech samples not found at " << path;
    std::vector<std::int16_t> s;
    std::string error;
    ASSERT_TRUE(readWav(path, &s, &error)) << error;
    EXPECT_GT(s.size(), 1000u);
}

class WavInputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_samples = ramp(3000);
        m_path = m_dir.path() + "/in.wav";
        std::string error;
        ASSERT_TRUE(writeWav(m_path, m_samples.data(), m_samples.size(), &error)) << error;
    }
    talvor::test::TempDir m_dir;
    std::string m_path;
    std::vector<std::int16_t> m_samples;
};

TEST_F(WavInputTest, FastDeliversTheFileThenSilenceAndCallsBackOnItsOwnThread)
{
    auto in = createWavFileInput(m_path, Pace::Fast);
    std::vector<std::int16_t> buffer(10000, 0x7777);
    FullWatch full;
    std::string error;
    ASSERT_TRUE(in->open(buffer.data(), buffer.size(), full.callback(), &error)) << error;
    EXPECT_TRUE(in->isOpen());
    ASSERT_TRUE(full.waitFor(1, 5s));
    EXPECT_NE(full.thread, std::this_thread::get_id());
    EXPECT_EQ(in->samplesDelivered(), buffer.size());
    EXPECT_TRUE(std::equal(m_samples.begin(), m_samples.end(), buffer.begin()));
    EXPECT_TRUE(std::all_of(buffer.begin() + 3000, buffer.end(), [](auto v) { return v == 0; }));
    EXPECT_EQ(in->close(), buffer.size());
    EXPECT_FALSE(in->isOpen());
    EXPECT_EQ(in->close(), 0u);
    EXPECT_EQ(full.calls, 1);

    // A buffer shorter than the file takes its first samples only.
    std::vector<std::int16_t> small(1000);
    FullWatch again;
    ASSERT_TRUE(in->open(small.data(), small.size(), again.callback(), &error)) << error;
    ASSERT_TRUE(again.waitFor(1, 5s));
    EXPECT_TRUE(std::equal(small.begin(), small.end(), m_samples.begin()));
    EXPECT_EQ(in->close(), 1000u);
}

TEST_F(WavInputTest, RealTimeDeliversAtTheSampleRateAndStopsAtClose)
{
    auto in = createWavFileInput(m_path, Pace::RealTime);
    std::vector<std::int16_t> buffer(80000, 0x7777);  // 10 s: never full here
    FullWatch full;
    std::string error;
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_TRUE(in->open(buffer.data(), buffer.size(), full.callback(), &error)) << error;
    // Positions only grow, and never run ahead of the clock.
    std::size_t last = 0;
    while (std::chrono::steady_clock::now() - t0 < 300ms) {
        const std::size_t now = in->samplesDelivered();
        const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(
            std::chrono::steady_clock::now() - t0);
        ASSERT_GE(now, last);
        ASSERT_LE(now, std::size_t(elapsed.count() * 8 / 1000) + 1);
        last = now;
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_GE(last, 1200u);  // at least 150 ms of the 300 ms, even on a busy machine
    const std::size_t closed = in->close();
    EXPECT_GE(closed, last);
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(in->samplesDelivered(), closed);  // nothing more after close
    EXPECT_EQ(buffer[closed], 0x7777);
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + std::ptrdiff_t(std::min<std::size_t>(closed, 3000)),
                           m_samples.begin()));
    EXPECT_EQ(full.calls, 0);
}

TEST_F(WavInputTest, CloseFromInsideTheCallbackAndNoCallAfterClose)
{
    auto in = createWavFileInput(m_path, Pace::Fast);
    std::vector<std::int16_t> buffer(500);
    std::atomic<std::size_t> closedWith{999};
    FullWatch full;
    std::string error;
    ASSERT_TRUE(in->open(
        buffer.data(), buffer.size(),
        [&, cb = full.callback()]() {
            closedWith = in->close();
            cb();
        },
        &error));
    ASSERT_TRUE(full.waitFor(1, 5s));
    EXPECT_EQ(closedWith.load(), 500u);
    EXPECT_FALSE(in->isOpen());

    // Closed before the buffer fills: the callback never comes.
    for (int i = 0; i < 20; ++i) {
        std::vector<std::int16_t> big(1 << 20);
        std::atomic<int> calls{0};
        ASSERT_TRUE(in->open(big.data(), big.size(), [&]() { ++calls; }, &error));
        in->close();
        const int seen = calls;
        std::this_thread::sleep_for(1ms);
        EXPECT_EQ(calls.load(), seen);
    }
}

TEST_F(WavInputTest, OpenFailsWithTheReasonAndOpensNothing)
{
    std::vector<std::int16_t> buffer(100);
    std::string error;
    auto missing = createWavFileInput(m_dir.path() + "/nothing.wav", Pace::Fast);
    EXPECT_FALSE(missing->open(buffer.data(), buffer.size(), nullptr, &error));
    EXPECT_NE(error.find("nothing.wav"), std::string::npos) << error;
    EXPECT_FALSE(missing->isOpen());
    EXPECT_EQ(missing->close(), 0u);

    auto in = createWavFileInput(m_path, Pace::RealTime);
    EXPECT_FALSE(in->open(buffer.data(), 0, nullptr, &error));
    EXPECT_FALSE(in->open(nullptr, 10, nullptr, &error));
    ASSERT_TRUE(in->open(buffer.data(), buffer.size(), nullptr, &error));
    error.clear();
    EXPECT_FALSE(in->open(buffer.data(), buffer.size(), nullptr, &error));  // already open
    EXPECT_FALSE(error.empty());
    in->close();
}

TEST(NullInput, DeliversSilence)
{
    for (Pace pace : {Pace::Fast, Pace::RealTime}) {
        SCOPED_TRACE(pace == Pace::Fast ? "fast" : "realtime");
        auto in = createNullInput(pace);
        std::vector<std::int16_t> buffer(400, 0x7777);  // 50 ms
        FullWatch full;
        std::string error;
        ASSERT_TRUE(in->open(buffer.data(), buffer.size(), full.callback(), &error)) << error;
        ASSERT_TRUE(full.waitFor(1, 5s));
        EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](auto v) { return v == 0; }));
        EXPECT_EQ(in->close(), 400u);
    }
}

TEST(SoundOutput, NullAndWavOutputsTimeTheirPlayback)
{
    talvor::test::TempDir dir;
    const auto samples = ramp(400);  // 50 ms
    for (bool wav : {false, true}) {
        SCOPED_TRACE(wav ? "wav" : "null");
        const std::string path = dir.path() + "/out.wav";
        auto out = wav ? createWavFileOutput(path) : createNullOutput();
        EXPECT_EQ(out->close(), 0u);
        std::string error;
        EXPECT_FALSE(out->play(samples.data(), 0, &error));
        ASSERT_TRUE(out->play(samples.data(), samples.size(), &error)) << error;
        EXPECT_TRUE(out->isPlaying());
        EXPECT_LT(out->position(), 400u);
        const auto t0 = std::chrono::steady_clock::now();
        while (out->isPlaying() && std::chrono::steady_clock::now() - t0 < 5s)
            std::this_thread::sleep_for(2ms);
        EXPECT_GE(std::chrono::steady_clock::now() - t0, 30ms);
        EXPECT_EQ(out->position(), 400u);
        EXPECT_EQ(out->close(), 400u);
        if (wav) {
            std::vector<std::int16_t> back;
            ASSERT_TRUE(readWav(path, &back, &error)) << error;
            EXPECT_EQ(back, samples);
        }
        // Closed early: the position stays where it was.
        const auto longer = ramp(80000);
        ASSERT_TRUE(out->play(longer.data(), longer.size(), &error)) << error;
        std::this_thread::sleep_for(20ms);
        const std::size_t p = out->close();
        EXPECT_GT(p, 0u);
        EXPECT_LT(p, 80000u);
        EXPECT_FALSE(out->isPlaying());
        EXPECT_EQ(out->position(), p);
    }
    // A WAV output into a missing folder fails with the reason.
    auto bad = createWavFileOutput(dir.path() + "/missing/out.wav");
    std::string error;
    EXPECT_FALSE(bad->play(samples.data(), samples.size(), &error));
    EXPECT_NE(error.find("out.wav"), std::string::npos) << error;
    EXPECT_FALSE(bad->isPlaying());
}

TEST(PortAudio, FailsCleanlyWithoutADevice)
{
    std::vector<std::int16_t> buffer(8000);
    auto in = createPortAudioInput();
    std::string error;
    if (in->open(buffer.data(), buffer.size(), nullptr, &error)) {
        in->close();
        GTEST_SKIP() << "this machine has a sound input device";
    }
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(in->isOpen());
    EXPECT_EQ(in->close(), 0u);
    EXPECT_EQ(in->samplesDelivered(), 0u);

    auto out = createPortAudioOutput();
    error.clear();
    if (out->play(buffer.data(), buffer.size(), &error)) {
        out->close();
        GTEST_SKIP() << "this machine has a sound output device";
    }
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(out->isPlaying());
    EXPECT_EQ(out->close(), 0u);
}

TEST(SoundDevices, ChosenByTheEnvironment)
{
    talvor::test::TempDir dir;
    const std::string path = dir.path() + "/word.wav";
    const auto samples = ramp(500);
    std::string error;
    ASSERT_TRUE(writeWav(path, samples.data(), samples.size(), &error));

    {
        // A WAV file, as fast as possible: the file then silence, at once.
        ScopedEnv in("TALVOR_AUDIO_IN", path.c_str()), pace("TALVOR_AUDIO_PACE", "fast");
        auto input = createSoundInput();
        std::vector<std::int16_t> buffer(40000, 0x7777);  // 5 s
        FullWatch full;
        ASSERT_TRUE(input->open(buffer.data(), buffer.size(), full.callback(), &error)) << error;
        ASSERT_TRUE(full.waitFor(1, 2s));  // far sooner than the 5 s of real time
        EXPECT_TRUE(std::equal(samples.begin(), samples.end(), buffer.begin()));
        EXPECT_EQ(buffer.back(), 0);
        input->close();
    }
    {
        // The same file in real time (the default pace).
        ScopedEnv in("TALVOR_AUDIO_IN", path.c_str()), pace("TALVOR_AUDIO_PACE", nullptr);
        auto input = createSoundInput();
        std::vector<std::int16_t> buffer(40000);
        ASSERT_TRUE(input->open(buffer.data(), buffer.size(), nullptr, &error)) << error;
        std::this_thread::sleep_for(50ms);
        EXPECT_LT(input->samplesDelivered(), 20000u);
        input->close();
    }
    {
        ScopedEnv in("TALVOR_AUDIO_IN", "null"), pace("TALVOR_AUDIO_PACE", "fast");
        auto input = createSoundInput();
        std::vector<std::int16_t> buffer(100, 5);
        FullWatch full;
        ASSERT_TRUE(input->open(buffer.data(), buffer.size(), full.callback(), &error)) << error;
        ASSERT_TRUE(full.waitFor(1, 2s));
        EXPECT_EQ(buffer[50], 0);
        input->close();
    }
    {
        ScopedEnv in("TALVOR_AUDIO_IN", (dir.path() + "/absent.wav").c_str());
        std::vector<std::int16_t> buffer(100);
        EXPECT_FALSE(createSoundInput()->open(buffer.data(), buffer.size(), nullptr, &error));
        EXPECT_NE(error.find("absent.wav"), std::string::npos);
    }
    {
        const std::string outPath = dir.path() + "/played.wav";
        ScopedEnv out("TALVOR_AUDIO_OUT", outPath.c_str());
        auto output = createSoundOutput();
        ASSERT_TRUE(output->play(samples.data(), samples.size(), &error)) << error;
        std::vector<std::int16_t> back;
        ASSERT_TRUE(readWav(outPath, &back, &error)) << error;
        EXPECT_EQ(back, samples);
        output->close();
    }
    {
        ScopedEnv out("TALVOR_AUDIO_OUT", "null");
        auto output = createSoundOutput();
        ASSERT_TRUE(output->play(samples.data(), samples.size(), &error)) << error;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);  // no file made
        output->close();
    }
}

TEST(Wav, ASaveBeyondTheFileSizeLimitFailsAndLeavesNothing)
{
    // Under ulimit -f a program that ignores SIGXFSZ (as every program does
    // from main) gets "File too large" from the write and reports it; the old
    // file stays and no temporary is left.  In a child, so that the limit and
    // the signal stay there.
    talvor::test::TempDir dir;
    const std::string path = dir.path() + "/big.wav";
    const std::vector<std::int16_t> old(100, 7);
    std::string error;
    ASSERT_TRUE(writeWav(path, old.data(), old.size(), &error)) << error;
    const pid_t child = ::fork();
    if (child == 0) {
        ignoreFileSizeSignal();
        struct rlimit limit {};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = 4096;
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const std::vector<std::int16_t> samples(100000, 1);
        std::string why;
        if (writeWav(path, samples.data(), samples.size(), &why))
            ::_exit(2);
        ::_exit(why.find("File too large") != std::string::npos ? 0 : 3);
    }
    ASSERT_GT(child, 0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_FALSE(WIFSIGNALED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    std::vector<std::int16_t> back;
    ASSERT_TRUE(readWav(path, &back, &error)) << error;
    EXPECT_EQ(back, old);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(Wav, AHeaderThatAnnouncesMoreThanTheFileHoldsReadsNoMore)
{
    // A 44-byte header whose data chunk claims 2 GB, then 100 bytes of samples.
    talvor::test::TempDir dir;
    auto le32 = [](std::uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
    auto le16 = [](std::uint16_t v) { return std::string{char(v), char(v >> 8)}; };
    std::string bytes = "RIFF" + le32(0x7FFFFFF0u) + "WAVE" + "fmt " + le32(16) + le16(1) + le16(1) + le32(8000) +
                        le32(16000) + le16(2) + le16(16) + "data" + le32(0x7FFFFFC0u) + std::string(100, '\x01');
    const std::string path = dir.path() + "/liar.wav";
    std::ofstream(path, std::ios::binary) << bytes;
    std::vector<std::int16_t> samples;
    std::string error;
    if (readWav(path, &samples, &error))
        EXPECT_LE(samples.size(), 50u);
    else
        EXPECT_FALSE(error.empty());
}

namespace {

// A file whose every sample tells where it stood (never 0, so silence is told apart).
std::vector<std::int16_t> positions(std::size_t n)
{
    std::vector<std::int16_t> v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = std::int16_t(int(i % 30000) + 1);
    return v;
}

// One recording of a running input: what it delivered and how much of it was used.
struct Take {
    std::vector<std::int16_t> samples;
    std::size_t used = 0;
};

}  // namespace

// The samples handed to consecutive continuing recordings, each cut at what
// its caller used and put end to end, are the room's own samples: no gap and
// no overlap, whatever the delay between a close and the next open.
TEST(ContinuousInput, ConsecutiveRecordingsJoinWithoutGapOrOverlap)
{
    talvor::test::TempDir dir;
    const std::string path = dir.path() + "/stream.wav";
    const auto file = positions(8000 * 4);
    std::string error;
    ASSERT_TRUE(writeWav(path, file.data(), file.size(), &error)) << error;

    struct Row {
        const char* name;
        Pace pace;
        std::vector<int> delaysMs;  // before each open after the first
    };
    const Row rows[] = {
        {"fast, back to back", Pace::Fast, {0, 0, 0, 0, 0}},
        {"fast, with pauses", Pace::Fast, {30, 0, 120, 5, 60}},
        {"realtime, back to back", Pace::RealTime, {0, 0, 0}},
        {"realtime, pauses longer than a recording", Pace::RealTime, {250, 0, 400}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto in = createWavFileInput(path, row.pace, InputMode::Continuous);
        EXPECT_TRUE(in->keepsRunning());
        std::vector<Take> takes;
        for (std::size_t k = 0; k <= row.delaysMs.size(); ++k) {
            if (k > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(row.delaysMs[k - 1]));
            std::vector<std::int16_t> buffer(2400, 0x7777);
            FullWatch full;
            ASSERT_TRUE(k == 0 ? in->open(buffer.data(), buffer.size(), full.callback(), &error)
                               : in->openContinuing(buffer.data(), buffer.size(), full.callback(), &error))
                << error;
            if (row.pace == Pace::Fast)
                ASSERT_TRUE(full.waitFor(1, 5s));
            else
                std::this_thread::sleep_for(100ms);
            const std::size_t delivered = in->samplesDelivered();
            // The caller took a part of what came, as the detector does.
            const std::size_t used = delivered * (k % 3 + 1) / 4;
            EXPECT_EQ(in->closeUsed(used), delivered);
            takes.push_back({std::vector<std::int16_t>(buffer.begin(), buffer.begin() + std::ptrdiff_t(delivered)), used});
        }
        std::vector<std::int16_t> joined;
        for (const Take& t : takes)
            joined.insert(joined.end(), t.samples.begin(), t.samples.begin() + std::ptrdiff_t(t.used));
        ASSERT_GT(joined.size(), 1000u);
        ASSERT_LE(joined.size(), file.size());
        EXPECT_TRUE(std::equal(joined.begin(), joined.end(), file.begin())) << "the recordings do not join up";
        in->release();
    }
}

// A continuous room plays on: a recording that begins at once (a press of
// Speak) begins where the room has got to, in real time whether or not
// anything recorded; at fast pace the room waits for its listener.
TEST(ContinuousInput, ARecordingThatBeginsNowTakesTheRoomWhereItIs)
{
    talvor::test::TempDir dir;
    const std::string path = dir.path() + "/stream.wav";
    const auto file = positions(8000 * 3);
    std::string error;
    ASSERT_TRUE(writeWav(path, file.data(), file.size(), &error)) << error;
    std::vector<std::int16_t> buffer(800, 0x7777);

    auto live = createWavFileInput(path, Pace::RealTime, InputMode::Continuous);
    ASSERT_TRUE(live->open(buffer.data(), buffer.size(), nullptr, &error)) << error;
    std::this_thread::sleep_for(20ms);
    live->close();
    live->release();  // the microphone goes, the room plays on
    std::this_thread::sleep_for(300ms);
    ASSERT_TRUE(live->open(buffer.data(), buffer.size(), nullptr, &error)) << error;
    std::this_thread::sleep_for(40ms);
    ASSERT_GT(live->close(), 0u);
    EXPECT_GE(buffer[0], 8 * 300) << "the room stood still while nothing recorded";

    auto fast = createWavFileInput(path, Pace::Fast, InputMode::Continuous);
    FullWatch full;
    ASSERT_TRUE(fast->open(buffer.data(), buffer.size(), full.callback(), &error)) << error;
    ASSERT_TRUE(full.waitFor(1, 5s));
    fast->closeUsed(300);
    std::this_thread::sleep_for(50ms);
    FullWatch again;
    ASSERT_TRUE(fast->open(buffer.data(), buffer.size(), again.callback(), &error)) << error;
    ASSERT_TRUE(again.waitFor(1, 5s));
    EXPECT_EQ(buffer[0], file[300]);
    fast->close();

    // Past the file's end the room is silent; per recording, every open
    // starts the file again.
    auto perRecording = createWavFileInput(path, Pace::Fast);
    EXPECT_FALSE(perRecording->keepsRunning());
    for (int k = 0; k < 2; ++k) {
        FullWatch f;
        ASSERT_TRUE(perRecording->openContinuing(buffer.data(), buffer.size(), f.callback(), &error)) << error;
        ASSERT_TRUE(f.waitFor(1, 5s));
        EXPECT_EQ(buffer[0], file[0]);
        perRecording->closeUsed(100);
    }
}

// The PortAudio library is initialised once per process, however many
// recordings start and stop; without a device the open says how to go on.
TEST(PortAudio, InitialisesOncePerProcessAndTellsHowToGoOnWithoutADevice)
{
    EXPECT_LE(soundBackendInitialisations(), 1u);
    std::vector<std::int16_t> buffer(800);
    auto in = createPortAudioInput();
    bool opened = false;
    std::string firstError;
    for (int k = 0; k < 1000; ++k) {
        std::string error;
        if (in->open(buffer.data(), buffer.size(), nullptr, &error)) {
            opened = true;
            in->close();
        } else if (firstError.empty()) {
            firstError = error;
        }
        if (k % 100 == 99)
            in->release();
    }
    in->release();
    EXPECT_EQ(soundBackendInitialisations(), 1u);
    if (!opened) {
        EXPECT_NE(firstError.find("TALVOR_AUDIO_IN=path.wav"), std::string::npos) << firstError;
        EXPECT_GT(firstError.find('\n'), 0u) << "the device's own text comes first";
    }
}

// The sound libraries' own messages stay off the terminal while the device
// is probed (a program that finds no device prints nothing of them).
TEST(PortAudio, ProbingPrintsNoBackEndChatter)
{
    talvor::test::TempDir dir;
    const std::string err = dir.path() + "/stderr.txt";
    const std::string out = dir.path() + "/stdout.txt";
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        // A fresh program, so that the library is initialised in it.
        ::freopen(out.c_str(), "w", stdout);
        ::freopen(err.c_str(), "w", stderr);
        ::execl(TALVOR_TEST_PEER, TALVOR_TEST_PEER, "--sound-probe", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    std::ifstream o(out), e(err);
    const std::string said((std::istreambuf_iterator<char>(o)), {});
    const std::string chatter((std::istreambuf_iterator<char>(e)), {});
    if (said.rfind("OPENED", 0) == 0)
        GTEST_SKIP() << "this machine has a sound input device";
    EXPECT_NE(said.find("TALVOR_AUDIO_IN=path.wav"), std::string::npos) << said;
    EXPECT_EQ(chatter.find("ALSA lib"), std::string::npos) << chatter;
    EXPECT_EQ(chatter.find("jack"), std::string::npos) << chatter;
    EXPECT_EQ(chatter, "");
}
