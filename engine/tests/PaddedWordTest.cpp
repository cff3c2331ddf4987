// The padding of recorded words: quiet noise, or noise like the recording's
// own background (its quietest 40 ms: level, mean and spectral shape).
#include "PaddedWord.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace talvor::engine::test {
namespace {

double mean(const std::vector<std::int16_t>& s)
{
    double sum = 0.0;
    for (std::int16_t v : s)
        sum += v;
    return sum / double(s.size());
}

double deviation(const std::vector<std::int16_t>& s)
{
    const double m = mean(s);
    double sum = 0.0;
    for (std::int16_t v : s)
        sum += (v - m) * (v - m);
    return std::sqrt(sum / double(s.size()));
}

// Correlation of neighbouring samples: near 0 for white noise, near 1 for
// noise of low frequencies only.
double neighbourCorrelation(const std::vector<std::int16_t>& s)
{
    const double m = mean(s);
    double same = 0.0, next = 0.0;
    for (std::size_t i = 0; i + 1 < s.size(); ++i) {
        same += (s[i] - m) * (s[i] - m);
        next += (s[i] - m) * (s[i + 1] - m);
    }
    return next / same;
}

// `n` samples of background: `level` around `offset`, white or (smoothed by
// y = 0.9 y' + x) of low frequencies.
std::vector<std::int16_t> background(std::size_t n, double level, double offset, bool lowFrequencies, unsigned seed)
{
    std::mt19937 rng(seed);
    std::normal_distribution<double> white(0.0, 1.0);
    std::vector<double> y(n);
    double previous = 0.0;
    for (double& v : y) {
        v = white(rng) + (lowFrequencies ? 0.9 * previous : 0.0);
        previous = v;
    }
    double sum = 0.0;
    for (double v : y)
        sum += v * v;
    const double gain = level / std::sqrt(sum / double(n));
    std::vector<std::int16_t> out(n);
    for (std::size_t i = 0; i < n; ++i)
        out[i] = static_cast<std::int16_t>(std::lround(offset + gain * y[i]));
    return out;
}

std::vector<std::int16_t> tone(std::size_t n, double amplitude)
{
    std::vector<std::int16_t> out(n);
    for (std::size_t i = 0; i < n; ++i)
        out[i] = static_cast<std::int16_t>(std::lround(amplitude * std::sin(0.3 * double(i))));
    return out;
}

std::vector<std::int16_t> join(std::initializer_list<std::vector<std::int16_t>> parts)
{
    std::vector<std::int16_t> out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

TEST(RoomNoise, TakesTheLevelMeanAndShapeOfTheQuietestStretch)
{
    struct Case {
        const char* name;
        std::vector<std::int16_t> recording;
        double level, offset;
        bool lowFrequencies;
    };
    const Case cases[] = {
        {"white background with an offset around a word",
         join({background(1500, 20, 60, false, 1), tone(3000, 6000), background(1500, 20, 60, false, 2)}), 20, 60,
         false},
        {"humming background", join({background(1500, 40, 0, true, 3), tone(3000, 6000),
                                     background(1500, 40, 0, true, 4)}),
         40, 0, true},
        {"the quiet lies between two words", join({tone(2000, 5000), background(800, 12, -5, false, 5),
                                                   background(800, 300, -5, false, 6), tone(2000, 5000)}),
         12, -5, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const RoomNoise noise(c.recording);
        EXPECT_NEAR(noise.deviation(), c.level, 0.25 * c.level);
        // (40 ms of a hum have a mean of their own, part of the hum.)
        EXPECT_NEAR(noise.mean(), c.offset, (c.lowFrequencies ? 1.5 : 0.3) * c.level);
        std::mt19937 rng(7);
        const std::vector<std::int16_t> s = noise.samples(kRoomPadSamples, rng);
        ASSERT_EQ(s.size(), std::size_t(kRoomPadSamples));
        EXPECT_NEAR(deviation(s), noise.deviation(), 0.02 * noise.deviation() + 0.5);
        EXPECT_NEAR(mean(s), noise.mean(), 0.2 * noise.deviation());
        if (c.lowFrequencies)
            EXPECT_GT(neighbourCorrelation(s), 0.75);
        else
            EXPECT_LT(std::fabs(neighbourCorrelation(s)), 0.25);
    }
}

TEST(RoomNoise, ABackgroundWithoutVariationGivesItsMeanAlone)
{
    struct Case {
        const char* name;
        std::vector<std::int16_t> recording;
        std::int16_t expected;
    };
    const Case cases[] = {
        {"digital silence before a word", join({std::vector<std::int16_t>(800, 0), tone(2000, 3000)}), 0},
        {"a constant offset", std::vector<std::int16_t>(1000, 7), 7},
        {"shorter than the stretch", tone(100, 3000), 0},
        {"empty", {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::mt19937 rng(1);
        const std::vector<std::int16_t> s = RoomNoise(c.recording).samples(500, rng);
        ASSERT_EQ(s.size(), 500u);
        for (std::int16_t v : s)
            ASSERT_EQ(v, c.expected);
    }
}

TEST(PaddedWord, PaddingSurroundsTheRecordingUnchanged)
{
    const std::vector<std::int16_t> speech =
        join({background(700, 25, 0, false, 8), tone(2500, 7000), background(700, 25, 0, false, 9)});
    for (const Padding padding : {Padding::Quiet, Padding::Room}) {
        const int pad = padding == Padding::Quiet ? kPadSamples : kRoomPadSamples;
        SCOPED_TRACE(pad);
        const std::vector<std::int16_t> s = padRecording(speech, 3, padding);
        ASSERT_EQ(s.size(), speech.size() + 2 * std::size_t(pad));
        EXPECT_TRUE(std::equal(speech.begin(), speech.end(), s.begin() + pad));
        const std::vector<std::int16_t> before(s.begin(), s.begin() + pad), after(s.end() - pad, s.end());
        EXPECT_NEAR(deviation(before), padding == Padding::Quiet ? 8.0 : 25.0, padding == Padding::Quiet ? 1.0 : 6.0);
        EXPECT_NE(before, after);
        EXPECT_EQ(padRecording(speech, 3, padding), s);
        EXPECT_NE(padRecording(speech, 4, padding), s);
    }
    // The quiet padding stays what the speech tests were made with: the same
    // noise for the same seed as before rooms were added.
    std::mt19937 rng(3);
    std::normal_distribution<float> noise(0.0f, 8.0f);
    const std::vector<std::int16_t> s = padRecording(speech, 3, Padding::Quiet);
    for (int i = 0; i < kPadSamples; ++i)
        ASSERT_EQ(s[std::size_t(i)], static_cast<std::int16_t>(std::lround(noise(rng))));
}

TEST(PaddedWord, AWordInItsOwnBackgroundIsFoundWhereTheBackgroundIsQuietEnough)
{
    // A vowel-like word between stretches of background: found in a quiet
    // background padded as a room, lost where the room is as loud as speech.
    std::vector<std::int16_t> word(4000);
    for (std::size_t i = 0; i < word.size(); ++i) {
        const double t = double(i) / 8000.0;
        double v = 0.0;
        for (int h = 1; h <= 15; ++h)
            v += std::sin(2.0 * 3.141592653589793 * 130.0 * h * t) / h;
        word[i] = static_cast<std::int16_t>(std::lround(4000.0 * v));
    }
    PaddedWord found;
    EXPECT_TRUE(detectPaddedWord(join({background(1200, 10, 0, false, 10), word, background(1200, 10, 0, false, 11)}),
                                 1, 0, &found, Padding::Room));
    EXPECT_FALSE(detectPaddedWord(
        join({background(1200, 3000, 0, false, 12), word, background(1200, 3000, 0, false, 13)}), 1, 0, &found,
        Padding::Room));
}

}  // namespace
}  // namespace talvor::engine::test
