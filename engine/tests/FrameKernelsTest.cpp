// The block steps of the frames (pre-emphasis, window, autocorrelation) run
// in wide kernels chosen by the machine's instruction-set level; under every
// level the machine supports they give the bits of the plain loops.
#include "engine/FeatureFrame.h"

#include "ReferenceFeatures.h"
#include "Signals.h"

#include "common/IsaLevel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace talvor::engine {
namespace {

// No level forced (each kernel at its own choice), then each level the
// machine supports.
std::vector<std::optional<isa::Level>> supportedLevels()
{
    return isa::chosenAndSupportedLevels();
}

std::uint32_t bitsOf(float v)
{
    std::uint32_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

// The same bits, or both NaN.
::testing::AssertionResult sameFloats(const float* fast, const float* plain, int count)
{
    for (int k = 0; k < count; ++k) {
        if (bitsOf(fast[k]) != bitsOf(plain[k]) && !(std::isnan(fast[k]) && std::isnan(plain[k])))
            return ::testing::AssertionFailure() << "element " << k << ": " << fast[k] << " (0x" << std::hex
                                                 << bitsOf(fast[k]) << ") against " << plain[k] << " (0x"
                                                 << bitsOf(plain[k]) << ")";
    }
    return ::testing::AssertionSuccess();
}

struct Recording {
    const char* name;
    std::function<std::vector<std::int16_t>()> make;
};

std::vector<std::int16_t> randomSamples(std::uint32_t seed, int low, int high, std::size_t n)
{
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> dist(low, high);
    std::vector<std::int16_t> s(n);
    for (auto& v : s)
        v = static_cast<std::int16_t>(dist(rng));
    return s;
}

const std::vector<Recording>& recordings()
{
    constexpr std::size_t kSamples = 40 * kBlockSamples;
    static const std::vector<Recording> table = {
        {"silence", [] { return std::vector<std::int16_t>(kSamples, 0); }},
        {"full scale, alternating sign every sample",
         [] {
             std::vector<std::int16_t> s(kSamples);
             for (std::size_t i = 0; i < s.size(); ++i)
                 s[i] = i % 2 ? std::int16_t{-32768} : std::int16_t{32767};
             return s;
         }},
        {"full scale, alternating sign every block",
         [] {
             std::vector<std::int16_t> s(kSamples);
             for (std::size_t i = 0; i < s.size(); ++i)
                 s[i] = (i / kBlockSamples) % 2 ? std::int16_t{-32768} : std::int16_t{32767};
             return s;
         }},
        {"random over the whole 16-bit range", [] { return randomSamples(1, -32768, 32767, kSamples); }},
        {"random over the whole 16-bit range, another seed", [] { return randomSamples(2, -32768, 32767, kSamples); }},
        {"random, a few steps around zero", [] { return randomSamples(3, -3, 3, kSamples); }},
        {"lone impulses",
         [] {
             std::vector<std::int16_t> s(kSamples, 0);
             for (std::size_t i = 7; i < s.size(); i += 97)
                 s[i] = static_cast<std::int16_t>(i % 2 ? -32768 : 32767);
             return s;
         }},
        {"a spoken word", [] { return test::wordRecording(100, 200, 100); }},
    };
    return table;
}

TEST(FrameKernels, BlockStepsGiveThePlainLoopsBitsAtEveryLevel)
{
    for (const std::optional<isa::Level> level : supportedLevels()) {
        const isa::ScopedCeiling ceiling(level);
        for (const Recording& recording : recordings()) {
            SCOPED_TRACE(std::string(isa::levelName(level)) + ", " + recording.name);
            const std::vector<std::int16_t> s = recording.make();
            std::int16_t fastLast = 0, plainLast = 0;
            std::int16_t fastPrevious[kBlockSamples] = {}, plainPrevious[kBlockSamples] = {};
            for (std::size_t b = 0; b + kBlockSamples <= s.size(); b += kBlockSamples) {
                SCOPED_TRACE(b / kBlockSamples);
                std::int16_t fast[kBlockSamples], plain[kBlockSamples];
                std::memcpy(fast, s.data() + b, sizeof fast);
                std::memcpy(plain, s.data() + b, sizeof plain);
                PreEmphasis(fast, &fastLast);
                reference::preEmphasis(plain, &plainLast);
                ASSERT_EQ(std::memcmp(fast, plain, sizeof fast), 0);
                ASSERT_EQ(fastLast, plainLast);

                float fastWindow[kWindowSamples], plainWindow[kWindowSamples];
                HammingWindow(fastPrevious, fast, fastWindow);
                reference::hammingWindow(plainPrevious, plain, plainWindow);
                ASSERT_TRUE(sameFloats(fastWindow, plainWindow, kWindowSamples));

                float fastR[kLpcOrder + 1], plainR[kLpcOrder + 1];
                Autocorrelation(fastWindow, fastR);
                reference::autocorrelation(plainWindow, plainR);
                ASSERT_TRUE(sameFloats(fastR, plainR, kLpcOrder + 1));
                std::memcpy(fastPrevious, fast, sizeof fast);
                std::memcpy(plainPrevious, plain, sizeof plain);
            }
        }
    }
}

TEST(FrameKernels, AutocorrelationOfAnyWindowGivesThePlainSums)
{
    // Windows no 16-bit block gives as well: sums that overflow, infinities
    // and NaN near the end of the window (which only some lags reach),
    // subnormal values, negative zeros.
    constexpr float inf = std::numeric_limits<float>::infinity();
    const auto random = [](std::uint32_t seed, float scale) {
        std::mt19937 rng(seed);
        std::normal_distribution<float> dist(0.0f, 1.0f);
        std::vector<float> w(kWindowSamples);
        for (auto& v : w)
            v = scale * dist(rng);
        return w;
    };
    const auto with = [](std::vector<float> w, int index, float value) {
        w[static_cast<std::size_t>(index)] = value;
        return w;
    };
    struct Case {
        const char* name;
        std::vector<float> window;
    };
    const std::vector<Case> cases = {
        {"unit normal", random(11, 1.0f)},
        {"tiny", random(12, 1e-20f)},
        {"subnormal", random(13, 1e-41f)},
        {"large", random(14, 1e15f)},
        {"overflowing products", random(15, 3e19f)},
        {"negative zeros", std::vector<float>(kWindowSamples, -0.0f)},
        {"infinity in the last sample", with(random(16, 1.0f), kWindowSamples - 1, inf)},
        {"minus infinity past the longest lag", with(random(17, 1.0f), kWindowSamples - 5, -inf)},
        {"NaN in the last sample", with(random(18, 1.0f), kWindowSamples - 1, std::nanf(""))},
        {"infinity first", with(random(19, 1.0f), 0, inf)},
        {"zeros with one infinity", with(std::vector<float>(kWindowSamples, 0.0f), 150, inf)},
    };
    for (const std::optional<isa::Level> level : supportedLevels()) {
        const isa::ScopedCeiling ceiling(level);
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(isa::levelName(level)) + ", " + c.name);
            float fast[kLpcOrder + 1], plain[kLpcOrder + 1];
            Autocorrelation(c.window.data(), fast);
            reference::autocorrelation(c.window.data(), plain);
            EXPECT_TRUE(sameFloats(fast, plain, kLpcOrder + 1));
        }
    }
}

}  // namespace
}  // namespace talvor::engine
