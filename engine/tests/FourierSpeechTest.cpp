// Real words: spectra of recorded digits as features for the DTW classifier.
// Each speaker's first recording of every digit is the reference; the other
// recordings must mostly be recognised as their digit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/ClassifyDtw.h"
#include "engine/Fourier.h"
#include "platform/Audio.h"

namespace talvor::engine {
namespace {

constexpr int kBands = 16;  // 8 FFT bins each, bins 0..127

std::filesystem::path speechFolder()
{
    const char* shared = std::getenv("TALVOR_SHARED_DATA");
    return shared ? std::filesystem::path(shared) / "fsdd" : std::filesystem::path();
}

// Frames of 16 band levels (mean dB of 8 bins), word after word in the
// classifier's layout row.
std::vector<float> bandFrames(const std::filesystem::path& wav)
{
    std::vector<std::int16_t> samples;
    std::string error;
    if (!platform::readWav(wav.string(), &samples, &error))
        return {};
    const int count = static_cast<int>(samples.size());
    std::vector<float> spectra(std::size_t(count / kSpectrumHop + 1) * kFftFrameFloats);
    if (computeSpectrumFft(samples, count, spectra) != 0)
        return {};
    const int frames = std::min(count / kSpectrumHop, kDtwMaxValues / kBands);
    std::vector<float> features;
    for (int f = 0; f < frames; ++f) {
        for (int b = 0; b < kBands; ++b) {
            float sum = 0.0f;
            for (int k = 0; k < 8; ++k)
                sum += std::max(spectra[std::size_t(f) * kFftFrameFloats + std::size_t(b * 8 + k)], 0.0f);
            features.push_back(sum / 8.0f / 10.0f);
        }
    }
    return features;
}

TEST(SpectraOnSpeech, DigitsAreRecognisedFromTheirSpectra)
{
    const auto folder = speechFolder();
    if (folder.empty() || !std::filesystem::exists(folder / "0_george_0.wav"))
        GTEST_SKIP() << "no recorded digits in " << folder << " (TALVOR_SHARED_DATA/fsdd)";
    for (const char* speaker : {"george", "jackson", "theo"}) {
        SCOPED_TRACE(speaker);
        std::vector<float> refs(std::size_t(kDtwRefWords) * kDtwMaxValues, 0.0f);
        std::vector<std::int16_t> refFrames(kDtwRefWords, 0);
        for (int digit = 0; digit < 10; ++digit) {
            const auto word = bandFrames(folder / (std::to_string(digit) + "_" + speaker + "_0.wav"));
            ASSERT_FALSE(word.empty());
            for (std::size_t v = 0; v < word.size(); ++v)
                refs[std::size_t(digit) + kDtwRefWords * v] = word[v];
            refFrames[std::size_t(digit)] = static_cast<std::int16_t>(word.size() / kBands);
        }
        for (const char method : {'N', 'I', 'L'}) {
            SCOPED_TRACE(method);
            int right = 0;
            int total = 0;
            for (int digit = 0; digit < 10; ++digit) {
                for (int take = 1; take < 5; ++take) {
                    const auto word = bandFrames(folder / (std::to_string(digit) + "_" + speaker + "_" + std::to_string(take) + ".wav"));
                    ASSERT_FALSE(word.empty());
                    std::vector<float> tests(std::size_t(kDtwTestWords) * kDtwMaxValues, 0.0f);
                    std::vector<std::int16_t> testFrames(kDtwTestWords, 0);
                    for (std::size_t v = 0; v < word.size(); ++v)
                        tests[kDtwTestWords * v] = word[v];
                    testFrames[0] = static_cast<std::int16_t>(word.size() / kBands);
                    std::vector<float> distances(10);
                    std::vector<std::int16_t> order(10);
                    const int best = classifyWordDtw(method, kBands, 10, 1, tests, testFrames, 10, refs, refFrames,
                                                     distances, order);
                    ASSERT_GE(best, 0);
                    right += best == digit + 1;
                    ++total;
                }
            }
            // Chance is 1 in 10; these recordings give 34 to 38 of 40.
            EXPECT_GE(right, total * 7 / 10) << right << " of " << total;
        }
    }
}

}  // namespace
}  // namespace talvor::engine
