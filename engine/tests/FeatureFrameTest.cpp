#include "engine/FeatureFrame.h"
#include "engine/TokenDetector.h"

#include "ReferenceFeatures.h"
#include "Signals.h"

#include "common/IsaLevel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace talvor::engine {
namespace {

TEST(FeatureTables, HammingWindowUses159AsDivisorAndLifterPeaksInTheMiddle)
{
    const FeatureTables& t = featureTables();
    EXPECT_FLOAT_EQ(t.hamming[0], 0.08f);
    // With 159 as divisor the window ends where it starts.
    EXPECT_EQ(t.hamming[159], t.hamming[0]);
    for (int i = 0; i < 80; ++i)
        EXPECT_NEAR(t.hamming[i], t.hamming[159 - i], 1e-6f) << i;
    EXPECT_LT(t.hamming[79], 1.0f);
    EXPECT_GT(t.hamming[79], 0.999f);

    EXPECT_FLOAT_EQ(t.lifter[3], 5.0f);  // n = 4: 1 + 4 sin(pi/2)
    EXPECT_NEAR(t.lifter[7], 1.0f, 1e-6f);  // n = 8: 1 + 4 sin(pi)
    EXPECT_FLOAT_EQ(t.lifter[0], 1.0f + 4.0f * std::sin(3.1415927f * 0.125f));
    EXPECT_EQ(t.deltaDivisor, 60.0f);
}

TEST(PreEmphasis, FiltersDownwardWithTheLastRawSampleOfThePreviousBlock)
{
    std::int16_t block[kBlockSamples];
    for (int i = 0; i < kBlockSamples; ++i)
        block[i] = static_cast<std::int16_t>(i % 2 ? 32767 : -32768);  // full scale, alternating
    std::int16_t last = 1000;
    PreEmphasis(block, &last);
    // trunc(0.5128205 (-32768 - 0.95 * 1000)) = trunc(-17291.02)
    EXPECT_EQ(block[0], static_cast<std::int16_t>(0.5128205f * (-32768.0f - 0.95f * 1000.0f)));
    EXPECT_EQ(block[0], -17291);
    // 32767 after -32768 and the other way round stay inside 16 bits.
    EXPECT_EQ(block[1], 32767);
    EXPECT_EQ(block[2], -32767);
    EXPECT_EQ(last, 32767);  // the raw last sample, not the filtered one

    std::int16_t next[kBlockSamples] = {};
    next[0] = 100;
    PreEmphasis(next, &last);
    EXPECT_EQ(next[0], static_cast<std::int16_t>(0.5128205f * (100.0f - 0.95f * 32767.0f)));
    EXPECT_EQ(next[1], static_cast<std::int16_t>(0.5128205f * (0.0f - 0.95f * 100.0f)));  // -48, toward zero
    EXPECT_EQ(next[1], -48);
    EXPECT_EQ(last, 0);
}

TEST(LogEnergy, IsTheNearestFloatToTheLogarithmOfTheSum)
{
    EXPECT_EQ(LogEnergy(0.0f), -30.0f);  // silence
    EXPECT_EQ(LogEnergy(1.0f), 0.0f);
    EXPECT_EQ(LogEnergy(1e10f), 10.0f);
    // Energies from a whisper to full scale (R_0 of a 160-sample window
    // reaches about 1.7e11), 1e-30 added in 32 bits, against the logarithm
    // in extended precision rounded to float.
    const float low = 1e-3f, high = 2e11f;
    std::uint32_t from = 0, to = 0;
    std::memcpy(&from, &low, sizeof from);
    std::memcpy(&to, &high, sizeof to);
    int checked = 0, wrong = 0;
    for (std::uint32_t bits = from; bits <= to; bits += 1999) {
        float r0 = 0.0f;
        std::memcpy(&r0, &bits, sizeof r0);
        const float sum = r0 + 1e-30f;
        const float expected = static_cast<float>(std::log10(static_cast<long double>(sum)));
        const float got = LogEnergy(r0);
        ++checked;
        if (got != expected && ++wrong <= 5)
            ADD_FAILURE() << "log10(" << r0 << ") gave " << got << ", the nearest float is " << expected;
    }
    EXPECT_EQ(wrong, 0) << "of " << checked;
}

TEST(LpcCepstrum, FirstOrderProcessGivesTheAnalyticCepstrum)
{
    // R_k = 0.5^k is the autocorrelation of x[n] = 0.5 x[n-1] + e[n]:
    // A(z) = 1 - 0.5 z^-1, and the cepstrum of 1/A is c_n = 0.5^n / n.
    float r[kLpcOrder + 1];
    for (int k = 0; k <= kLpcOrder; ++k)
        r[k] = std::ldexp(1.0f, -k);
    float a[kLpcOrder + 1];
    LevinsonDurbin(r, a);
    EXPECT_EQ(a[1], -0.5f);
    for (int j = 2; j <= kLpcOrder; ++j)
        EXPECT_EQ(a[j], 0.0f) << j;

    float c[kCepstra];
    LpcCepstrum(r, c);
    for (int n = 1; n <= kCepstra; ++n) {
        const float expected = std::ldexp(1.0f, -n) / static_cast<float>(n) * featureTables().lifter[n - 1];
        EXPECT_NEAR(c[n - 1], expected, 1e-7f) << "c" << n;
    }
}

TEST(LpcCepstrum, StopsWhenThePredictionErrorIsNotPositive)
{
    struct Case {
        const char* name;
        float r[kLpcOrder + 1];
        int lastNonZero;  // highest predictor index that may be non-zero
    };
    const Case cases[] = {
        // A perfectly predictable signal: E = 0 after the first order.
        {"constant", {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, 1},
        // Not an autocorrelation at all: E < 0 after the first order.
        {"r1 above r0", {1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 1},
        // Silence: R_0 floored to 1e-30, all coefficients 0.
        {"silence", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0},
        // Error reaches zero at order 2.
        {"order two", {2, 1, -1, -2, -1, 1, 2, 1, -1, -2, -1, 1, 2}, 2},
        // After the first order the error is barely positive (about 2e-6),
        // and the second reflection coefficient would be about -2.6e5: the
        // recursion stops before it instead of blowing the cepstra up.
        {"error barely positive", {1, -(1 - 0x1p-20f), 0.5f, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        float a[kLpcOrder + 1];
        LevinsonDurbin(c.r, a);
        for (int j = c.lastNonZero + 1; j <= kLpcOrder; ++j)
            EXPECT_EQ(a[j], 0.0f) << j;
        for (int j = 1; j <= kLpcOrder; ++j)
            EXPECT_LE(std::fabs(a[j]), 924.0f) << j;  // C(12, 6): a stable predictor's largest
        float cep[kCepstra];
        LpcCepstrum(c.r, cep);
        for (float v : cep)
            EXPECT_TRUE(std::isfinite(v));
    }
}

TEST(Deltas, LinearlyRisingEnergyGivesItsSlope)
{
    std::vector<FeatureFrame> frames(9, FeatureFrame{});
    const float slope = 0.25f;
    for (int k = 0; k < 9; ++k) {
        frames[k].v[FeatEnergy] = 3.0f + slope * static_cast<float>(k);
        for (int i = 0; i < kCepstra; ++i)
            frames[k].v[i] = static_cast<float>(i) * static_cast<float>(k);  // slope i in c(i+1)
    }
    DeltaCepstrum(frames.data(), 4);
    EXPECT_FLOAT_EQ(frames[4].v[FeatDeltaEnergy], slope);
    for (int i = 0; i < kCepstra; ++i)
        EXPECT_FLOAT_EQ(frames[4].v[FeatDeltaCepstrum + i], static_cast<float>(i));
    // Spectral change of a straight line: each d_i = -5 * 4 * slope_i.
    SpectralChange(frames.data(), 4);
    float expected = 0.0f;
    for (int i = 0; i < kCepstra; ++i)
        expected += (20.0f * static_cast<float>(i)) * (20.0f * static_cast<float>(i));
    EXPECT_FLOAT_EQ(frames[4].v[FeatSpectralChange], expected * 0.0625f);
}

// Drives a detector frame by frame over `samples`.
struct FrameDriver {
    TokenDetector detector;
    explicit FrameDriver(const std::vector<std::int16_t>& samples)
    {
        std::memcpy(detector.recordBuffer(), samples.data(), samples.size() * sizeof(std::int16_t));
        detector.NextFrame();  // starts the fetch
        detector.setRecorded(static_cast<std::int32_t>(samples.size()));
    }
    void step()
    {
        ASSERT_EQ(detector.NextFrame(), 1);
        detector.ComputeFrameFeatures();
        detector.EndpointStep();
    }
};

TEST(ComputeFrameFeatures, DelayedValuesAppearOnlyOnceTheirFramesExist)
{
    std::vector<std::int16_t> s;
    test::appendVowel(s, 1600);
    FrameDriver d(s);
    const FeatureFrame* f = d.detector.frames();
    for (int t = 0; t <= 10; ++t) {
        d.step();
        SCOPED_TRACE(t);
        // Deltas and spectral change of frame a appear when t = a + 4 >= 8,
        // index 17 when t = a + 5 >= 10.
        for (int a = 0; a <= t; ++a) {
            const bool deltas = a >= 4 && a + 4 <= t;
            EXPECT_EQ(f[a].v[FeatDeltaEnergy] != 0.0f, deltas) << "frame " << a;
            EXPECT_EQ(f[a].v[FeatSpectralChange] != 0.0f, deltas) << "frame " << a;
            EXPECT_EQ(f[a].v[FeatDeltaCepstrum + 5] != 0.0f, deltas) << "frame " << a;
            const bool deltaDelta = a >= 5 && a + 5 <= t;
            EXPECT_EQ(f[a].v[FeatDeltaDeltaEnergy] != 0.0f, deltaDelta) << "frame " << a;
        }
    }
}

TEST(ComputeFrameFeatures, SilenceGivesEnergyMinus30AndFiniteCepstra)
{
    std::vector<std::int16_t> s(800, 0);
    FrameDriver d(s);
    for (int t = 0; t < 5; ++t)
        d.step();
    const FeatureFrame& f = d.detector.frames()[4];
    EXPECT_EQ(f.v[FeatEnergy], -30.0f);
    for (int i = 0; i < kCepstra; ++i)
        EXPECT_EQ(f.v[i], 0.0f);
}

TEST(ComputeFrameFeatures, TonesKeepEveryValueFiniteAndTheCepstraSmall)
{
    // Pairs of tones make nearly predictable frames, where rounding can
    // give the recursion reflection coefficients above 1.  The predictor
    // must stay stable: its cepstrum c_n is at most 12/n in size, liftered
    // at most about 31, and every value of every frame is finite.
    struct Tones {
        int f1, f2, amplitude;
    };
    const Tones cases[] = {{3650, 3500, 8000}, {3950, 7900, 8000}, {3775, 3500, 12000},
                           {350, 1000, 16000}, {3575, 3000, 16000}, {3975, 7950, 12000}};
    for (const Tones& c : cases) {
        SCOPED_TRACE(testing::Message() << c.f1 << " Hz + " << c.f2 << " Hz at " << c.amplitude);
        std::vector<std::int16_t> s(4000);
        for (std::size_t i = 0; i < s.size(); ++i) {
            const double t = 2.0 * 3.14159265358979323846 * static_cast<double>(i) / 8000.0;
            const double v = c.amplitude * std::sin(c.f1 * t) + 0.5 * c.amplitude * std::sin(c.f2 * t);
            s[i] = static_cast<std::int16_t>(std::lround(std::clamp(v, -32768.0, 32767.0)));
        }
        FrameDriver d(s);
        float largest = 0.0f;
        int nonFinite = 0;
        for (int n = 0; n < 49; ++n) {
            ASSERT_EQ(d.detector.NextFrame(), 1);
            d.detector.ComputeFrameFeatures();
            const int t = d.detector.frameCounter();
            const FeatureFrame* f = d.detector.frames();
            for (int i = 0; i < kCepstra; ++i) {
                nonFinite += std::isfinite(f[t].v[i]) ? 0 : 1;
                largest = std::max(largest, std::fabs(f[t].v[i]));
            }
            if (t >= 10) {  // frame t - 5 is now complete
                for (float v : f[t - 5].v)
                    nonFinite += std::isfinite(v) ? 0 : 1;
            }
            d.detector.EndpointStep();
        }
        EXPECT_EQ(nonFinite, 0);
        EXPECT_LE(largest, 32.0f);
    }
}

TEST(ComputeFrameFeatures, MatchesTheWholeRecordingReferenceBitForBit)
{
    // The engine computes frames one block at a time in a store that it
    // shifts while waiting; the reference computes the whole recording at
    // once.  Every complete frame of the word and its context must agree,
    // whichever instruction-set level the block steps run at.
    const std::vector<std::int16_t> s = test::wordRecording();
    const std::vector<FeatureFrame> ref = reference::computeFrames(s);
    for (isa::Level level : isa::kAllLevels) {
        if (static_cast<int>(level) > static_cast<int>(isa::supportedLevel()))
            continue;
        const isa::ScopedCeiling ceiling(level);
        SCOPED_TRACE(isa::levelName(level));
        TokenDetector detector;
        TokenResult result;
        detector.LinkTokenResult(&result);
        std::memcpy(detector.recordBuffer(), s.data(), s.size() * sizeof(std::int16_t));
        detector.NextFrame();
        detector.setRecorded(static_cast<std::int32_t>(s.size()));
        ASSERT_EQ(detector.ProcessFrames(), TokenFound);

        const int offset = result.startSample / 80 - result.startFrame;  // absolute = store + offset
        for (int p = 0; p <= result.endFrame + 9; ++p) {
            const int a = p + offset;
            SCOPED_TRACE(p);
            ASSERT_GE(a, 5);
            for (int i = 0; i < kFeatureCount; ++i)
                ASSERT_EQ(detector.frames()[p].v[i], ref[static_cast<std::size_t>(a)].v[i]) << "index " << i;
        }
    }
}

}  // namespace
}  // namespace talvor::engine
