// Training on utterances drawn from known models, the model file's bytes, and
// the agreement of the trainer's scoring with the HMM viewer's decoder.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <numeric>

#include "Synthetic.h"
#include "common/FileNames.h"
#include "hmmview/Decoders.h"
#include "hmmview/HmmModel.h"
#include "statwalk/ModFile.h"
#include "statwalk/Scoring.h"
#include "statwalk/Training.h"
#include "testing/TempDir.h"

namespace talvor::statwalk {
namespace {

std::vector<TrainingSequence> sequencesOf(const std::vector<test::Drawn>& drawn)
{
    std::vector<TrainingSequence> out;
    for (const auto& d : drawn)
        out.push_back({d.values, d.frames()});
    return out;
}

std::vector<test::Drawn> drawMany(const HmmParameters& p, std::uint32_t seed, int count)
{
    std::mt19937 rng(seed);
    std::vector<test::Drawn> out;
    for (int k = 0; k < count; ++k)
        out.push_back(test::draw(p, rng));
    return out;
}

// What every trained model must satisfy, whatever the data.
void expectWellFormed(const HmmParameters& m, const std::vector<float>& floor)
{
    ASSERT_TRUE(m.consistent());
    for (std::int32_t i = 0; i < m.states; ++i) {
        float row = 0.0f;
        for (std::int32_t j = 0; j < m.states; ++j) {
            const float a = m.transition(i, j);
            row += a;
            const bool allowed = j == i || j == i + 1;
            if (allowed)
                EXPECT_GT(a, 0.0f) << i << " -> " << j;
            else
                EXPECT_EQ(a, 0.0f) << i << " -> " << j;
        }
        EXPECT_NEAR(row, 1.0f, 1e-6f) << "row " << i;
        float weights = 0.0f;
        for (std::int32_t mx = 0; mx < m.mixtures; ++mx) {
            EXPECT_GT(m.weight(i, mx), 0.0f);
            weights += m.weight(i, mx);
            for (std::int32_t f = 0; f < m.features; ++f) {
                EXPECT_TRUE(std::isfinite(m.mean(i, mx, f)));
                EXPECT_GE(m.var(i, mx, f), floor[static_cast<std::size_t>(f)]);
            }
        }
        EXPECT_NEAR(weights, 1.0f, 1e-5f) << "state " << i;
    }
}

TEST(Training, RecoversAKnownLeftToRightModel)
{
    const HmmParameters truth = test::knownModel(7, 5, 1, 4);
    const auto drawn = drawMany(truth, 11, 40);
    const auto seqs = sequencesOf(drawn);
    // The states lie far apart: a floor relative to all the data would lie
    // above their own variances.  The absolute floor only.
    TrainingOptions options;
    options.varianceFloor.assign(4, kAbsoluteVarianceFloor);
    const TrainingResult r = trainWordModel(seqs, 5, 1, 4, options);
    ASSERT_TRUE(r.ok) << r.reason;
    EXPECT_EQ(r.used, 40);
    EXPECT_GE(r.rounds, 1);
    expectWellFormed(r.model, options.varianceFloor);
    for (std::int32_t s = 0; s < 5; ++s) {
        for (std::int32_t f = 0; f < 4; ++f) {
            EXPECT_NEAR(r.model.mean(s, 0, f), truth.mean(s, 0, f), 0.3f) << "state " << s << " feature " << f;
            EXPECT_NEAR(r.model.var(s, 0, f), truth.var(s, 0, f), 0.2f) << "state " << s << " feature " << f;
        }
        if (s + 1 < 5) {
            // The stay probability the drawn paths show (each path leaves state s once).
            double frames = 0.0;
            for (const auto& d : drawn)
                frames += static_cast<double>(std::count(d.path.begin(), d.path.end(), s));
            const double stay = (frames - static_cast<double>(drawn.size())) / frames;
            EXPECT_NEAR(r.model.transition(s, s), stay, 0.03) << "state " << s;
        }
    }
    EXPECT_EQ(r.model.transition(4, 4), 1.0f);

    // New utterances take the same best path through the trained model as
    // through the true one.
    const ScoringModel trained(r.model, gaussianConstant(4)), known(truth, gaussianConstant(4));
    for (const auto& d : drawMany(truth, 99, 8)) {
        const auto a = trained.align(d.values, d.frames());
        const auto b = known.align(d.values, d.frames());
        EXPECT_EQ(a.states, b.states);
    }
}

TEST(Training, SplitsAStateIntoItsMixtures)
{
    // Every state draws from two clusters far apart in feature 0.
    HmmParameters truth = test::knownModel(3, 3, 2, 2, 0.8f, 0.5f);
    for (std::int32_t s = 0; s < 3; ++s) {
        truth.mean(s, 0, 0) = 10.0f * static_cast<float>(s) - 3.0f;
        truth.mean(s, 1, 0) = 10.0f * static_cast<float>(s) + 3.0f;
        truth.weight(s, 0) = 0.3f;
        truth.weight(s, 1) = 0.7f;
    }
    const auto drawn = drawMany(truth, 5, 60);
    const auto seqs = sequencesOf(drawn);
    // The states lie so far apart that a floor relative to all the data
    // would swallow the clusters' own variances: the absolute floor only.
    TrainingOptions options;
    const TrainingResult r = trainWordModel(seqs, 3, 2, 2, options);
    options.varianceFloor.assign(2, kAbsoluteVarianceFloor);
    ASSERT_TRUE(r.ok) << r.reason;
    expectWellFormed(r.model, options.varianceFloor);
    for (std::int32_t s = 0; s < 3; ++s) {
        // The mixtures may come in either order.
        const bool swapped = r.model.mean(s, 0, 0) > r.model.mean(s, 1, 0);
        const std::int32_t low = swapped ? 1 : 0, high = swapped ? 0 : 1;
        EXPECT_NEAR(r.model.mean(s, low, 0), truth.mean(s, 0, 0), 0.3f) << "state " << s;
        EXPECT_NEAR(r.model.mean(s, high, 0), truth.mean(s, 1, 0), 0.3f) << "state " << s;
        EXPECT_NEAR(r.model.weight(s, low), 0.3f, 0.1f) << "state " << s;
        EXPECT_NEAR(r.model.var(s, low, 0), 0.25f, 0.15f) << "state " << s;
    }
}

TEST(Training, FloorsVariancesAndKeepsEveryAllowedStep)
{
    // A constant feature (zero variance), single-frame stays (every state
    // left at once) and more mixtures than some states have frames: the
    // model stays usable for the viewer.
    struct Case {
        const char* name;
        std::int32_t S, M;
        std::vector<std::vector<float>> utterances;  // one feature value per frame; feature 1 constant
    };
    const std::vector<Case> cases = {
        {"one frame per state", 3, 1, {{1, 2, 3}, {1.1f, 2.1f, 3.1f}}},
        {"constant feature", 3, 2, {{0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0}}},
        {"more mixtures than frames", 4, 3, {{5, 1, 7, 2}}},
        {"long and short", 3, 2, {{1, 1, 1, 1, 1, 1, 1, 1, 2, 3}, {1, 2, 3}, {1, 2}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::vector<float>> values;
        for (const auto& u : c.utterances) {
            std::vector<float> v;
            for (float x : u) {
                v.push_back(x);
                v.push_back(4.0f);
            }
            values.push_back(v);
        }
        std::vector<TrainingSequence> seqs;
        for (std::size_t k = 0; k < values.size(); ++k)
            seqs.push_back({values[k], static_cast<std::int32_t>(c.utterances[k].size())});
        TrainingOptions options;
        options.varianceFloor = varianceFloor(seqs, 2);
        EXPECT_EQ(options.varianceFloor[1], kAbsoluteVarianceFloor);
        const TrainingResult r = trainWordModel(seqs, c.S, c.M, 2, options);
        ASSERT_TRUE(r.ok) << r.reason;
        expectWellFormed(r.model, options.varianceFloor);
        // Every utterance long enough scores above minus infinity.
        const ScoringModel scorer(r.model, gaussianConstant(2));
        for (const auto& s : seqs)
            if (s.frames >= c.S) {
                EXPECT_GT(scorer.align(s.values, s.frames).score, kMinusInfinity);
            }
    }
}

TEST(Training, NoModelWithoutUsableUtterances)
{
    const std::vector<float> shortOne(2 * 3, 1.0f);
    const std::vector<float> longOne(6 * 3, 1.0f);
    const std::vector<TrainingSequence> tooShort{{shortOne, 2}};
    const std::vector<TrainingSequence> missingValues{{shortOne, 6}};  // announces more frames than it holds
    const std::vector<TrainingSequence> mixed{{shortOne, 2}, {longOne, 6}};

    TrainingResult r = trainWordModel({}, 4, 1, 3);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.reason, "no training utterances");
    r = trainWordModel(tooShort, 4, 1, 3);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.reason, "no training utterance has at least 4 frames (one per state)");
    r = trainWordModel(missingValues, 4, 1, 3);
    EXPECT_FALSE(r.ok);
    r = trainWordModel(mixed, 4, 1, 3);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.used, 1);
    EXPECT_EQ(r.skipped, 1);
    EXPECT_FALSE(trainWordModel(mixed, 4, 0, 3).ok);
}

// ------------------------------------------------------------- model file

TEST(ModFile, BytesMatchAHandBuiltFile)
{
    HmmParameters m = HmmParameters::sized(3, 1, 2);
    m.transition(0, 0) = 0.75f;
    m.transition(0, 1) = 0.25f;
    m.transition(1, 1) = 0.5f;
    m.transition(1, 2) = 0.5f;
    m.transition(2, 2) = 1.0f;
    for (std::int32_t s = 0; s < 3; ++s) {
        m.weight(s, 0) = 1.0f;
        m.mean(s, 0, 0) = static_cast<float>(s);
        m.mean(s, 0, 1) = -2.0f;
        m.var(s, 0, 0) = 1.0f;
        m.var(s, 0, 1) = 0.5f;
    }
    ModHeader h;
    h.word = "seven";
    h.modelID = 7;
    h.year = 2026;
    h.month = 12;
    h.day = 10;
    h.modelConst = 2.0f;

    // clang-format off
    const unsigned char header[52] = {
        's', 'e', 'v', 'e', 'n', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        7, 0,            // model ID
        0x40, 0x1F,      // 8000 Hz
        0xA0, 0x00,      // window length 160
        0x50, 0x00,      // window shift 80
        2, 0, 3, 0, 1, 0,  // features, states, mixtures
        0, 0,            // maximum skip
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // reserved
        0xEA, 0x07, 12, 0, 10, 0,      // 2026-12-10
        0x00, 0x00, 0x00, 0x40,        // 2.0f
    };
    // clang-format on
    std::string expected(reinterpret_cast<const char*>(header), sizeof header);
    auto put = [&](float v) {
        const auto u = std::bit_cast<std::uint32_t>(v);
        for (int i = 0; i < 4; ++i)
            expected.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
    };
    for (float v : {0.75f, 0.25f, 0.0f, 0.0f, 0.5f, 0.5f, 0.0f, 0.0f, 1.0f})  // transitions, source outer
        put(v);
    for (int s = 0; s < 3; ++s)
        put(1.0f);  // weights
    for (int s = 0; s < 3; ++s) {
        put(static_cast<float>(s));  // means, state outer
        put(-2.0f);
    }
    for (int s = 0; s < 3; ++s) {
        put(1.0f);  // variances
        put(0.5f);
    }
    ASSERT_EQ(expected.size(), 52u + 4u * (9 + 3 + 2 * 3 * 2));

    std::string bytes, error;
    ASSERT_TRUE(modFileBytes(h, m, &bytes, &error)) << error;
    EXPECT_EQ(bytes, expected);

    // A long word keeps 15 characters and a zero; numbers beyond 16 bits and
    // tables that do not fit the sizes are refused.
    h.word = "abcdefghijklmnopqrstuvwxyz";
    ASSERT_TRUE(modFileBytes(h, m, &bytes, &error));
    EXPECT_EQ(bytes.substr(0, 16), std::string("abcdefghijklmno") + '\0');
    h.modelID = 40000;
    EXPECT_FALSE(modFileBytes(h, m, &bytes, &error));
    h.modelID = 1;
    m.vars.pop_back();
    EXPECT_FALSE(modFileBytes(h, m, &bytes, &error));
}

TEST(ModFile, FileNamesOfVocabularyWords)
{
    const Vocabulary v = {{0, "zero"}, {1, "One"}, {2, "one"}, {3, "a.mod.b"}, {4, "model2"}, {5, ".hidden"},
                          {6, "x"}};
    const std::vector<std::pair<std::int32_t, std::string>> expected = {
        {0, "zero.mod"},   {1, "model1.mod"}, {2, "model2.mod"}, {3, "model3.mod"},
        {4, "model4.mod"}, {5, "model5.mod"}, {6, "x.mod"},      {9, "model9.mod"},
    };
    for (const auto& [index, name] : expected)
        EXPECT_EQ(modelFileName(v, index), name) << index;
}

TEST(ModFile, ReadBackByTheViewerScoresExactlyAsTheTrainer)
{
    // Trained models of 1 and 2 mixtures, written, read back through LoadMOD
    // and scored by the viewer's sequential decoder: every word scores bit
    // for bit what the trainer's own scoring gives, and both take the same
    // path.  A word shorter than the states scores -1e30 in both.
    talvor::test::TempDir dir;
    for (std::int32_t M : {1, 2}) {
        SCOPED_TRACE(M);
        const HmmParameters truth = test::knownModel(21 + static_cast<std::uint32_t>(M), 6, M, 5);
        const auto drawn = drawMany(truth, 31, 20);
        const auto seqs = sequencesOf(drawn);
        TrainingOptions options;
        options.varianceFloor = varianceFloor(seqs, 5);
        const TrainingResult r = trainWordModel(seqs, 6, M, 5, options);
        ASSERT_TRUE(r.ok) << r.reason;

        ModHeader h;
        h.word = "nine";
        h.modelID = 9;
        h.year = 2026;
        h.month = 2;
        h.day = 28;
        h.modelConst = gaussianConstant(5);
        std::string bytes, error;
        ASSERT_TRUE(modFileBytes(h, r.model, &bytes, &error)) << error;
        const std::string path = joinPath(dir.path(), "nine.mod");
        ASSERT_TRUE(writeFileWhole(path, bytes, &error)) << error;

        hmmview::HmmModel model;
        std::string name = joinPath(dir.path(), "NINE");
        const hmmview::ModLoadReport report = model.LoadMOD(name);
        ASSERT_TRUE(report.loaded) << report.error;
        EXPECT_TRUE(report.warnings.empty());
        EXPECT_EQ(model.word(), "nine");
        EXPECT_EQ(model.modelID(), 9);
        EXPECT_EQ(model.frequencY(), 8000);
        EXPECT_EQ(model.modelWindowLength(), 160);
        EXPECT_EQ(model.modelWindowShift(), 80);
        EXPECT_EQ(model.trainDate(), (hmmview::TrainDate{2026, 2, 28}));
        EXPECT_EQ(model.modelConst(), gaussianConstant(5));
        EXPECT_EQ(model.modelTrans(), [&] {  // the viewer's table is [to + S * from]
            std::vector<float> t(36);
            for (int i = 0; i < 6; ++i)
                for (int j = 0; j < 6; ++j)
                    t[static_cast<std::size_t>(j + 6 * i)] = r.model.transition(i, j);
            return t;
        }());
        EXPECT_EQ(model.modelMeans(), r.model.means);
        EXPECT_EQ(model.modelCovars(), r.model.vars);

        const ScoringModel scorer(r.model, h.modelConst);
        auto words = drawMany(truth, 77, 6);
        words.push_back(test::Drawn{{0, 1, 2}, std::vector<float>(15, 0.5f)});  // 3 frames < 6 states
        words.push_back(drawMany(test::knownModel(1234, 6, 1, 5), 5, 1)[0]);  // another word
        for (const auto& w : words) {
            float viewerScore = 0.0f;
            const hmmview::PackedWord packed{w.values, w.frames(), 5};
            hmmview::MatchSequentialHMM(model, packed, viewerScore, 0, false);
            const auto own = scorer.align(w.values, w.frames());
            EXPECT_EQ(std::bit_cast<std::uint32_t>(viewerScore), std::bit_cast<std::uint32_t>(own.score))
                << viewerScore << " vs " << own.score;
            for (std::int32_t j = 0; j < 6; ++j)
                EXPECT_EQ(std::bit_cast<std::uint32_t>(scorer.observation(j, w.values.data())),
                          std::bit_cast<std::uint32_t>([&] {
                              float acc = model.mySMALLFLOAT();
                              for (std::int32_t mx = 0; mx < M; ++mx) {
                                  std::int32_t mm = mx, jj = j;
                                  acc = model.GetModelWeight(mm, jj) * model.density_function(j, mx, w.values, 0) +
                                        acc;
                              }
                              return static_cast<float>(std::log(static_cast<double>(acc)));
                          }()));
        }
    }
}

}  // namespace
}  // namespace talvor::statwalk
