// Observation scores of models trained from real speech (the free spoken
// digit recordings, TALVOR_SHARED_DATA/fsdd): every word the engine's
// detector cuts out of two speakers' recordings scored against each
// speaker's ten digit models, trained as the HMM trainer trains them, the
// core's scores (component sums in vectors, exp skipped at the density
// floor) against the plain density steps bit for bit, under every
// instruction-set level.  Skips when the recordings are not there.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "common/FileNames.h"
#include "common/IsaLevel.h"
#include "common/StatwalkConfig.h"
#include "common/WordSetFile.h"
#include "PaddedWord.h"
#include "hmmview/HmmModel.h"
#include "hmmview/ObservationScores.h"
#include "hmmview_testing/PlainHmm.h"
#include "platform/Audio.h"
#include "statwalk/HmmParameters.h"
#include "statwalk/ModFile.h"
#include "statwalk/Training.h"
#include "testing/TempDir.h"

namespace talvor::hmmview {
namespace {

namespace fs = std::filesystem;

struct Word {
    int digit = 0;
    int frames = 0;
    std::vector<float> values;  // all 20 features per frame
};

// The word the engine's detector finds in a recording padded with quiet noise.
bool detect(const std::vector<std::int16_t>& speech, unsigned seed, Word* word)
{
    engine::test::PaddedWord found;
    if (!engine::test::detectPaddedWord(speech, seed, 0, &found))
        return false;
    word->frames = found.frames;
    word->values = std::move(found.values);
    return true;
}

FeatureSelection firstFeatures(int count)
{
    FeatureSelection f{};
    for (int i = 0; i < count; ++i)
        f[static_cast<std::size_t>(i)] = true;
    return f;
}

TEST(TrainedModelScores, EqualThePlainStepsOnRealSpeech)
{
    const char* shared = std::getenv("TALVOR_SHARED_DATA");
    const std::string folder = shared ? std::string(shared) + "/fsdd" : std::string();
    if (folder.empty() || !fs::is_directory(folder))
        GTEST_SKIP() << "no recordings at TALVOR_SHARED_DATA/fsdd";

    struct Setup {
        const char* speaker;
        int states, mixtures, features;
    };
    // The trainer's defaults (8 states, 2 mixtures, the 16 cepstral
    // features), and more mixtures over all 20 features.
    const Setup setups[] = {{"george", 8, 2, 16}, {"jackson", 6, 4, 20}};
    talvor::test::TempDir dir;
    long floored = 0, computed = 0, scores = 0;
    for (const Setup& setup : setups) {
        SCOPED_TRACE(setup.speaker);
        const FeatureSelection selection = firstFeatures(setup.features);
        std::vector<Word> words;
        std::string error;
        for (int digit = 0; digit < 10; ++digit)
            for (int take = 0; take < 5; ++take) {
                std::vector<std::int16_t> speech;
                const std::string wav = folder + "/" + std::to_string(digit) + "_" + setup.speaker + "_" +
                                        std::to_string(take) + ".wav";
                Word w;
                w.digit = digit;
                if (platform::readWav(wav, &speech, &error) &&
                    detect(speech, static_cast<unsigned>(digit * 5 + take + 1), &w)) {
                    w.values = selectedFeatureValues(w.values, selection);
                    words.push_back(std::move(w));
                }
            }
        ASSERT_GE(words.size(), 40u);

        // Takes train the models as the trainer does: variance floors over
        // all the data, then each digit's model from its own words.
        std::vector<statwalk::TrainingSequence> all;
        for (const Word& w : words)
            all.push_back({w.values, w.frames});
        statwalk::TrainingOptions options;
        options.varianceFloor = statwalk::varianceFloor(all, setup.features);
        std::vector<std::unique_ptr<HmmModel>> models;
        for (int digit = 0; digit < 10; ++digit) {
            std::vector<statwalk::TrainingSequence> own;
            for (const Word& w : words)
                if (w.digit == digit)
                    own.push_back({w.values, w.frames});
            const statwalk::TrainingResult r =
                statwalk::trainWordModel(own, setup.states, setup.mixtures, setup.features, options);
            ASSERT_TRUE(r.ok) << r.reason;
            statwalk::ModHeader header;
            header.word = "digit" + std::to_string(digit);
            header.modelID = digit;
            header.modelConst = statwalk::gaussianConstant(setup.features);
            std::string bytes;
            ASSERT_TRUE(statwalk::modFileBytes(header, r.model, &bytes, &error)) << error;
            std::string path = joinPath(dir.path(), std::string(setup.speaker) + std::to_string(digit) + ".mod");
            ASSERT_TRUE(writeFileWhole(path, bytes));
            auto model = std::make_unique<HmmModel>();
            const ModLoadReport report = model->LoadMOD(path);
            ASSERT_TRUE(report.loaded) << report.error;
            models.push_back(std::move(model));
        }

        for (const Word& w : words) {
            const PackedWord packed{w.values, w.frames, setup.features};
            // How many components the floor takes, by the plain sums.
            for (const auto& model : models) {
                const std::size_t F = static_cast<std::size_t>(setup.features);
                const int C = setup.states * setup.mixtures;
                for (int t = 0; t < w.frames; ++t)
                    for (int c = 0; c < C; ++c) {
                        float sum = 0.0f;
                        for (std::size_t f = 0; f < F; ++f) {
                            const std::size_t at = static_cast<std::size_t>(c) * F + f;
                            const float inv = model->modelInvCovars()[at];
                            if (inv == 0.0f)
                                continue;
                            const float d = w.values[static_cast<std::size_t>(t) * F + f] - model->modelMeans()[at];
                            sum = sum + d * d * inv;
                        }
                        (sum >= model->compiled().floorFrom[static_cast<std::size_t>(c)] ? floored : computed) += 1;
                    }
            }
            std::vector<std::vector<float>> expected;  // per model, [t * S + s]
            for (const auto& model : models) {
                expected.emplace_back();
                for (int t = 0; t < w.frames; ++t)
                    for (int s = 0; s < setup.states; ++s)
                        expected.back().push_back(plain::observation(*model, s, w.values, t));
            }
            for (isa::Level level : isa::kAllLevels) {
                if (level > isa::supportedLevel())
                    continue;
                isa::ScopedCeiling ceiling(level);
                ObservationScores scoresOfWord(packed);
                for (std::size_t k = 0; k < models.size(); ++k) {
                    ObservationScores::ModelScores& b = scoresOfWord.forModel(*models[k]);
                    for (int t = 0; t < w.frames; ++t) {
                        const float* row = b.frame(t);
                        for (int s = 0; s < setup.states; ++s) {
                            const float want = expected[k][static_cast<std::size_t>(t * setup.states + s)];
                            ASSERT_EQ(std::bit_cast<std::uint32_t>(row[s]), std::bit_cast<std::uint32_t>(want))
                                << isa::levelName(level) << ", " << models[k]->word() << ", digit " << w.digit
                                << " word: b(" << s << ", " << t << ") " << row[s] << " against " << want;
                            ++scores;
                        }
                    }
                }
            }
        }
    }
    std::printf("trained models on real speech: %ld scores equal; %ld component densities at the floor, %ld computed\n",
                scores, floored, computed);
    EXPECT_GT(floored, 0);
    EXPECT_GT(computed, 0);
}

}  // namespace
}  // namespace talvor::hmmview
