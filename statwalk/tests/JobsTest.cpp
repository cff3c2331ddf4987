// The trainer's and the recogniser's jobs on a data tree: word sets in, model
// files out, words recognised through the viewer's decoder; and the window
// protocol's commands.
#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <filesystem>
#include <map>
#include <random>

#include "Synthetic.h"
#include "common/DataTree.h"
#include "common/FileNames.h"
#include "common/ModelSetFiles.h"
#include "hmmview/HmmModel.h"
#include "statwalk/Jobs.h"
#include "statwalk/Session.h"
#include "testing/TempDir.h"

namespace talvor::statwalk {
namespace {

namespace fs = std::filesystem;

constexpr std::int32_t kF = 3;
constexpr std::int32_t kS = 4;

// A program folder with the vocabulary "digits" (four words), the work folder
// "w1" and word sets drawn from one known model per word.
class JobTree : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(dir.path().empty());
        std::string err;
        ASSERT_TRUE(tree.createVocabulary("digits", {"zero", "one", "two", "three"}, &err)) << err;
        ASSERT_TRUE(tree.createWorkFolder("digits", "w1", &err)) << err;
        for (std::uint32_t w = 0; w < 4; ++w)
            truth.push_back(test::knownModel(100 + w, kS, 1, kF));
        work = tree.workFolder("digits", "w1");
    }

    // A word set of `perWord` utterances of each label in `labels`.
    void writeSet(const std::string& name, const std::vector<std::int32_t>& labels, int perWord, std::uint32_t seed)
    {
        std::string err;
        ASSERT_TRUE(test::writeDrawnSet(work, name, truth, labels, perWord, seed, &err)) << err;
    }

    StatwalkConfig job(StatwalkKind kind, std::vector<std::string> files) const
    {
        StatwalkConfig c;
        c.kind = kind;
        c.mode = kind == StatwalkKind::Training ? 3 : 4;
        c.vocabulary = "digits";
        c.workDirectory = "w1";
        c.features[0] = c.features[8] = c.features[19] = true;
        c.featureCount = kF;
        c.files = std::move(files);
        c.states = kS;
        c.mixtures = 1;
        return c;
    }

    std::vector<std::string> modFiles() const { return listFilesWithExtension(work, ".mod"); }
    std::vector<std::string> allFiles() const
    {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(work))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    talvor::test::TempDir dir;
    DataTree tree{dir.path()};
    std::vector<HmmParameters> truth;
    std::string work;
    std::vector<std::string> log;
    LogSink sink = [this](const std::string& line) { log.push_back(line); };
};

bool logHas(const std::vector<std::string>& log, const std::string& text)
{
    return std::any_of(log.begin(), log.end(), [&](const std::string& l) { return l.find(text) != std::string::npos; });
}

TEST_F(JobTree, LoadsOnlyAJobOfItsKindAndAKnownMode)
{
    struct Case {
        const char* what;
        StatwalkKind written;  // the kind of the file in the recogniser's place
        std::int32_t mode;
        const char* refusal;   // empty: loads
    };
    const Case cases[] = {
        {"recognition job", StatwalkKind::Recognition, 4, ""},
        {"training job where the recognition job belongs", StatwalkKind::Training, 3, "is not a recognition"},
        {"unknown mode", StatwalkKind::Recognition, 99, "no operating mode 99"},
        {"negative mode", StatwalkKind::Recognition, -1, "no operating mode -1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StatwalkConfig written = job(c.written, {"TEST"});
        written.mode = c.mode;
        std::string err;
        ASSERT_TRUE(writeStatwalkConfig(tree.statwalkConfigFile(StatwalkKind::Recognition), written, &err)) << err;
        StatwalkConfig loaded;
        const bool ok = loadJob(dir.path(), StatwalkKind::Recognition, &loaded, &err);
        EXPECT_EQ(ok, *c.refusal == '\0') << err;
        if (!ok)
            EXPECT_NE(err.find(c.refusal), std::string::npos) << err;
        else
            EXPECT_EQ(loaded.mode, c.mode);
    }
    fs::remove(tree.statwalkConfigFile(StatwalkKind::Recognition));
    StatwalkConfig loaded;
    std::string err;
    EXPECT_FALSE(loadJob(dir.path(), StatwalkKind::Recognition, &loaded, &err));
    EXPECT_FALSE(err.empty());
}

TEST_F(JobTree, TrainsOneModelPerWordAndRecognisesTheTestWords)
{
    // Word 3 ("three") has no training data: no model, a line in the log.
    writeSet("REF1", {0, 1, 2}, 3, 1);
    writeSet("REF2", {0, 1, 2}, 3, 2);
    writeSet("TEST", {2, 0, 1, 3}, 2, 3);
    const TrainingOutcome t =
        runTraining(dir.path(), job(StatwalkKind::Training, {"REF1", "REF2"}), {2026, 12, 10}, sink);
    ASSERT_TRUE(t.ok) << t.error;
    EXPECT_EQ(modFiles(), (std::vector<std::string>{"one.mod", "two.mod", "zero.mod"}));
    EXPECT_EQ(t.untrained, std::vector<std::string>{"three"});
    EXPECT_TRUE(logHas(log, "three: no model (no training utterances)"));
    EXPECT_TRUE(logHas(log, "zero: 6 utterances"));

    hmmview::HmmModel m;
    std::string name = joinPath(work, "two.mod");
    ASSERT_TRUE(m.LoadMOD(name).loaded);
    EXPECT_EQ(m.word(), "two");
    EXPECT_EQ(m.modelID(), 2);
    EXPECT_EQ(m.nStates(), kS);
    EXPECT_EQ(m.nParams(), kF);
    EXPECT_EQ(m.trainDate(), (hmmview::TrainDate{2026, 12, 10}));

    Recogniser r;
    std::string err;
    ASSERT_TRUE(r.load(dir.path(), job(StatwalkKind::Recognition, {"TEST"}), sink, &err)) << err;
    EXPECT_EQ(r.modelCount(), 3u);
    const TestRun run = recogniseTestSet(r, &err);
    EXPECT_EQ(run.words, 8);
    EXPECT_EQ(run.recognised, 8);
    // The two utterances of "three" have no model to be recognised by.
    EXPECT_EQ(run.correct, 6);
    EXPECT_EQ(run.summary, "Accuracy: 6 of 8 words (75.0 %)");
    ASSERT_EQ(run.lines.size(), 8u);
    EXPECT_EQ(run.lines[0].rfind("Word 0 (two): recognised two, score ", 0), 0u) << run.lines[0];

    // The token written as the analyser does: x.lb / x.pr, one word.
    std::mt19937 rng(8);
    const test::Drawn d = test::draw(truth[1], rng);
    const std::vector<WordSetEntry> token{{1, 0, d.frames(), 0}};
    ASSERT_TRUE(writeWordSet(joinPath(work, "x.lb"), joinPath(work, "x.pr"), token, kF, d.values,
                             LabelFileSpacing::Token, &err));
    const auto rec = r.recogniseToken(&err);
    ASSERT_TRUE(rec) << err;
    EXPECT_TRUE(rec->recognised);
    EXPECT_EQ(rec->index, 1);
    EXPECT_EQ(rec->word, "one");
}

TEST_F(JobTree, AFailedTrainingWritesNoModel)
{
    writeSet("REF1", {0, 1, 2, 3}, 2, 1);
    struct Case {
        const char* name;
        std::function<void(StatwalkConfig&)> change;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"missing word set", [](StatwalkConfig& c) { c.files.push_back("NOPE"); }, "Cannot read the word set NOPE"},
        {"word set name with a path", [](StatwalkConfig& c) { c.files = {"../REF1"}; }, "cannot be used"},
        {"vocabulary name with a path", [](StatwalkConfig& c) { c.vocabulary = "../digits"; }, "cannot be used"},
        {"no such work directory", [](StatwalkConfig& c) { c.workDirectory = "w9"; }, "There is no work directory w9"},
        {"two states", [](StatwalkConfig& c) { c.states = 2; }, "A model needs 3 to 99 states, not 2"},
        {"no mixture", [](StatwalkConfig& c) { c.mixtures = 0; }, "A state needs 1 to 99 mixtures, not 0"},
        {"no feature", [](StatwalkConfig& c) { c.features = {}; }, "selects no feature"},
        {"no training file", [](StatwalkConfig& c) { c.files.clear(); }, "names no training file"},
        {"every word too short", [](StatwalkConfig& c) { c.states = 60; }, "No word of the vocabulary has training data"},
    };
    const std::vector<std::string> before = allFiles();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        log.clear();
        StatwalkConfig j = job(StatwalkKind::Training, {"REF1"});
        c.change(j);
        const TrainingOutcome t = runTraining(dir.path(), j, {2026, 1, 1}, sink);
        EXPECT_FALSE(t.ok);
        EXPECT_NE(t.error.find(c.message), std::string::npos) << t.error;
        EXPECT_TRUE(logHas(log, "No model was written"));
        EXPECT_EQ(allFiles(), before);
    }

    // A model that cannot take its name (a folder stands there): none of the
    // others stays either, and no temporary is left behind.
    fs::create_directory(joinPath(work, "two.mod"));
    const TrainingOutcome t = runTraining(dir.path(), job(StatwalkKind::Training, {"REF1"}), {2026, 1, 1}, sink);
    EXPECT_FALSE(t.ok);
    EXPECT_NE(t.error.find("two.mod"), std::string::npos) << t.error;
    std::vector<std::string> expected = before;
    expected.push_back("two.mod");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(allFiles(), expected);

    // Stopped before the end: nothing written.
    fs::remove(joinPath(work, "two.mod"));
    std::atomic<bool> cancel{true};
    EXPECT_FALSE(runTraining(dir.path(), job(StatwalkKind::Training, {"REF1"}), {2026, 1, 1}, sink, &cancel).ok);
    EXPECT_EQ(allFiles(), before);
}

TEST_F(JobTree, RecogniserUsesOnlyModelsThatFitTheJob)
{
    writeSet("REF1", {0, 1, 2, 3}, 3, 1);
    ASSERT_TRUE(runTraining(dir.path(), job(StatwalkKind::Training, {"REF1"}), {2026, 1, 1}, sink).ok);
    // A stray copy of a model under another name, a broken file, and a model
    // trained on other features.
    fs::copy_file(joinPath(work, "one.mod"), joinPath(work, "copy.mod"));
    std::string err;
    ASSERT_TRUE(writeFileWhole(joinPath(work, "broken.mod"), "not a model", &err));
    Recogniser r;
    log.clear();
    ASSERT_TRUE(r.load(dir.path(), job(StatwalkKind::Recognition, {"REF1"}), sink, &err)) << err;
    EXPECT_EQ(r.modelCount(), 4u);
    for (std::size_t k = 0; k < 4; ++k)
        EXPECT_EQ(r.modelIndex(k), static_cast<std::int32_t>(k));
    EXPECT_TRUE(logHas(log, "Model file broken.mod not used"));
    EXPECT_TRUE(logHas(log, "Model file one.mod not used: it is a second model of one") ||
                logHas(log, "Model file copy.mod not used: it is a second model of one"));
    EXPECT_EQ(r.refusals().size(), 2u);

    StatwalkConfig other = job(StatwalkKind::Recognition, {"REF1"});
    other.features[1] = true;
    log.clear();
    EXPECT_FALSE(r.load(dir.path(), other, sink, &err));
    EXPECT_EQ(err, "There is no model with 4 features in the work directory w1");
    EXPECT_TRUE(logHas(log, "not used: it has 3 features, the job selects 4"));

    // Too short for every model: not recognised, all scores minus infinity.
    ASSERT_TRUE(r.load(dir.path(), job(StatwalkKind::Recognition, {"REF1"}), sink, &err));
    const std::vector<float> shortWord(kF * (kS - 1), 0.0f);
    const Recognition none = r.recognise(shortWord, kS - 1);
    EXPECT_FALSE(none.recognised);
    EXPECT_EQ(none.scores, std::vector<float>(4, -1e30f));
}

TEST_F(JobTree, SessionAnswersTheAnalysersCommands)
{
    writeSet("REF1", {0, 1, 2, 3}, 3, 1);
    writeSet("PICK", {3, 1}, 1, 9);
    ASSERT_TRUE(runTraining(dir.path(), job(StatwalkKind::Training, {"REF1"}), {2026, 1, 1}, sink).ok);
    StatwalkConfig j = job(StatwalkKind::Recognition, {"PICK"});
    j.mode = 5;
    Recogniser r;
    std::string err;
    ASSERT_TRUE(r.load(dir.path(), j, sink, &err)) << err;

    std::vector<std::uint32_t> keys;
    std::vector<std::string> shownTexts;
    int quits = 0;
    RecogniserSession session(r, {[&](std::uint32_t k) { keys.push_back(k); },
                                  [&](const std::string& text) { shownTexts.push_back(text); }, [&] { ++quits; },
                                  sink});
    EXPECT_EQ(session.lastResultText(), "nothing recognised yet");

    // Pick: the result is shown and control stays with the recogniser until
    // the window is dismissed; no word key goes to the analyser.  PICK holds
    // three (word 0) and one (word 1).
    struct Pick {
        std::uint32_t index;
        std::vector<std::string> lines;  // what the shown text holds, in order
    };
    const Pick picks[] = {
        {1, {"Picked word 1 of PICK: one", "Recognised as: one  (right)", "Best models:  1. one "}},
        {0, {"Picked word 0 of PICK: three", "Recognised as: three  (right)", "Best models:  1. three "}},
        // A word the test set does not hold: the window says so.
        {7, {"Picked the word at position 7 of PICK", "Not recognised: The test file PICK has no word 7"}},
    };
    for (const Pick& p : picks) {
        SCOPED_TRACE(p.index);
        keys.clear();
        shownTexts.clear();
        EXPECT_EQ(session.handle(kStatwalkPick, p.index, 0), 1);
        ASSERT_EQ(shownTexts.size(), 1u);
        std::size_t at = 0;
        for (const std::string& line : p.lines) {
            at = shownTexts[0].find(line, at);
            EXPECT_NE(at, std::string::npos) << line << "\n" << shownTexts[0];
        }
        EXPECT_TRUE(session.holdsControl());
        EXPECT_TRUE(keys.empty());
        session.dismissed();
        EXPECT_EQ(keys, std::vector<std::uint32_t>{kKeyEnable});
        EXPECT_TRUE(logHas(log, p.lines.back()));
    }
    // The best models are listed best first, three of the four.
    shownTexts.clear();
    ASSERT_EQ(session.handle(kStatwalkPick, 0, 0), 1);
    const std::string best = shownTexts.at(0).substr(shownTexts[0].find("Best models:"));
    EXPECT_NE(best.find(" 3. "), std::string::npos) << best;
    EXPECT_EQ(best.find(" 4. "), std::string::npos) << best;
    EXPECT_EQ(session.lastResultText().rfind("word 0 of the test file: three (score ", 0), 0u);
    session.dismissed();

    // Recognise with no token written yet: no answer; then with a token.
    keys.clear();
    EXPECT_EQ(session.handle(kStatwalkCommand, kCommandRecognise, 0), 1);
    EXPECT_TRUE(keys.empty());
    std::mt19937 rng(4);
    const test::Drawn d = test::draw(truth[2], rng);
    const std::vector<WordSetEntry> token{{1, 0, d.frames(), 0}};
    ASSERT_TRUE(writeWordSet(joinPath(work, "x.lb"), joinPath(work, "x.pr"), token, kF, d.values,
                             LabelFileSpacing::Token, &err));
    EXPECT_EQ(session.handle(kStatwalkCommand, kCommandRecognise, 0), 1);
    EXPECT_EQ(keys, std::vector<std::uint32_t>{2});
    // The analyser writes x.pr from its first byte and leaves what an older,
    // longer token left behind it: only the announced frames are read.
    std::string pr;
    ASSERT_TRUE(readFileWhole(joinPath(work, "x.pr"), &pr));
    ASSERT_TRUE(writeFileWhole(joinPath(work, "x.pr"), pr + std::string(40 * kF * 4, '\x7f')));
    keys.clear();
    EXPECT_EQ(session.handle(kStatwalkCommand, kCommandRecognise, 0), 1);
    EXPECT_EQ(keys, std::vector<std::uint32_t>{2});
    // A token too short for every model: no answer.
    const std::vector<WordSetEntry> shortToken{{1, 0, 2, 0}};
    ASSERT_TRUE(writeWordSet(joinPath(work, "x.lb"), joinPath(work, "x.pr"), shortToken, kF,
                             std::vector<float>(2 * kF, 0.0f), LabelFileSpacing::Token, &err));
    keys.clear();
    EXPECT_EQ(session.handle(kStatwalkCommand, kCommandRecognise, 0), 1);
    EXPECT_TRUE(keys.empty());

    // HMM button: shown; control goes back once, when dismissed.
    shownTexts.clear();
    keys.clear();
    EXPECT_EQ(session.handle(kStatwalkCommand, kCommandHmmButton, 0), 1);
    EXPECT_EQ(shownTexts.size(), 1u);
    EXPECT_TRUE(session.holdsControl());
    EXPECT_TRUE(keys.empty());
    session.dismissed();
    session.dismissed();
    EXPECT_EQ(keys, std::vector<std::uint32_t>{kKeyEnable});

    // Unknown messages are not the protocol's; close ends the program.
    EXPECT_EQ(session.handle(kStatwalkCommand, 1234, 0), 0);
    EXPECT_EQ(session.handle(0x0100, 26670, 0), 0);
    EXPECT_EQ(quits, 0);
    EXPECT_EQ(session.handle(kStatwalkCommand, kCommandClose, 0), 1);
    EXPECT_EQ(quits, 1);
}

std::map<std::string, std::string> modelBytes(const std::string& work)
{
    std::map<std::string, std::string> out;
    for (const std::string& name : listFilesWithExtension(work, ".mod")) {
        std::string bytes;
        readFileWhole(joinPath(work, name), &bytes);
        out[name] = bytes;
    }
    return out;
}

TEST_F(JobTree, ATrainingWhoseRenameIsRefusedKeepsTheOldModelsByteForByte)
{
    writeSet("REF1", {0, 1, 2, 3}, 3, 1);
    ASSERT_TRUE(runTraining(dir.path(), job(StatwalkKind::Training, {"REF1"}), {2026, 1, 1}, sink).ok);
    const std::map<std::string, std::string> old = modelBytes(work);
    ASSERT_EQ(old.size(), 4u);
    const std::vector<std::string> files = allFiles();
    // The new models differ from the old ones (another training day); the
    // first, a middle and the last rename are refused in turn.
    for (std::size_t failing : {0u, 2u, 3u}) {
        SCOPED_TRACE(failing);
        setModelSetRenameHookForTesting([failing](std::size_t k) { return k == failing ? EROFS : 0; });
        log.clear();
        const TrainingOutcome t = runTraining(dir.path(), job(StatwalkKind::Training, {"REF1"}), {2026, 2, 2}, sink);
        setModelSetRenameHookForTesting({});
        EXPECT_FALSE(t.ok);
        EXPECT_TRUE(t.written.empty());
        EXPECT_TRUE(logHas(log, "No model was written"));
        EXPECT_EQ(modelBytes(work), old);
        EXPECT_EQ(allFiles(), files);
    }
    // Without the refusal the new set replaces the old one.
    ASSERT_TRUE(runTraining(dir.path(), job(StatwalkKind::Training, {"REF1"}), {2026, 2, 2}, sink).ok);
    const std::map<std::string, std::string> now = modelBytes(work);
    ASSERT_EQ(now.size(), 4u);
    for (const auto& [name, bytes] : now)
        EXPECT_NE(bytes, old.at(name)) << name;
}

// Puts `value` in place of one feature value of word `word` of a word set.
void poisonWordSet(const std::string& work, const std::string& name, std::size_t word, float value)
{
    WordSet set;
    std::string err;
    ASSERT_TRUE(readWordSet(joinPath(work, name + ".LB"), joinPath(work, name + ".PR"), kF, &set, &err)) << err;
    set.values.at(static_cast<std::size_t>(set.firstValue.at(word)) + 2 * kF + 1) = value;
    ASSERT_TRUE(writeFeatureFile(joinPath(work, name + ".PR"), set.values, &err)) << err;
}

TEST_F(JobTree, AWordSetWithAValueNoFeatureCanHoldIsRefusedWithItsName)
{
    struct Case {
        const char* what;
        float value;
        const char* shown;
    };
    const Case cases[] = {
        {"not a number", std::nanf(""), "a value that is not a number"},
        {"infinite", INFINITY, "the value "},
        {"huge", 4e31f, "the value "},
        {"far below zero", -2e6f, "the value "},
    };
    writeSet("REF1", {0, 1, 2, 3}, 2, 1);
    ASSERT_TRUE(runTraining(dir.path(), job(StatwalkKind::Training, {"REF1"}), {2026, 1, 1}, sink).ok);
    const std::map<std::string, std::string> models = modelBytes(work);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // A training file: refused as a whole, no model changes.
        writeSet("REF2", {0, 1, 2, 3}, 2, 2);
        poisonWordSet(work, "REF2", 5, c.value);
        log.clear();
        const TrainingOutcome t =
            runTraining(dir.path(), job(StatwalkKind::Training, {"REF1", "REF2"}), {2026, 3, 3}, sink);
        EXPECT_FALSE(t.ok);
        EXPECT_NE(t.error.find("The word set REF2 cannot be used: word 5 "), std::string::npos) << t.error;
        EXPECT_NE(t.error.find(c.shown), std::string::npos) << t.error;
        EXPECT_NE(t.error.find("frame 2, selected feature 2"), std::string::npos) << t.error;
        EXPECT_EQ(modelBytes(work), models);

        // The test file and the recorded token: nothing recognised.
        Recogniser r;
        std::string err;
        ASSERT_TRUE(r.load(dir.path(), job(StatwalkKind::Recognition, {"REF2"}), sink, &err)) << err;
        const TestRun run = recogniseTestSet(r, &err);
        EXPECT_EQ(run.words, 0);
        EXPECT_NE(err.find("The word set REF2 cannot be used: word 5 "), std::string::npos) << err;
        ASSERT_TRUE(test::writeDrawnToken(work, truth[1], 5, &err)) << err;
        poisonWordSet(work, "x", 0, c.value);
        err.clear();
        EXPECT_FALSE(r.recogniseToken(&err));
        EXPECT_NE(err.find("The word set x cannot be used: word 1 "), std::string::npos) << err;
    }
}

TEST_F(JobTree, AModelWithZeroVariancesIsRefusedAndTheOthersStillRecognise)
{
    writeSet("REF1", {0, 1, 2, 3}, 3, 1);
    writeSet("TEST", {0, 1, 2, 3}, 2, 7);
    ASSERT_TRUE(runTraining(dir.path(), job(StatwalkKind::Training, {"REF1"}), {2026, 1, 1}, sink).ok);
    // "two" with every variance 0: the last S x M x F floats of the file.
    std::string bytes;
    ASSERT_TRUE(readFileWhole(joinPath(work, "two.mod"), &bytes));
    const std::size_t variances = 4 * static_cast<std::size_t>(kS * kF);
    bytes.replace(bytes.size() - variances, variances, std::string(variances, '\0'));
    ASSERT_TRUE(writeFileWhole(joinPath(work, "two.mod"), bytes));
    hmmview::HmmModel check;
    std::string name = joinPath(work, "two.mod");
    ASSERT_TRUE(check.LoadMOD(name).loaded);  // the viewer's loader takes it, with a warning

    Recogniser r;
    std::string err;
    log.clear();
    ASSERT_TRUE(r.load(dir.path(), job(StatwalkKind::Recognition, {"TEST"}), sink, &err)) << err;
    EXPECT_EQ(r.modelCount(), 3u);
    ASSERT_EQ(r.refusals().size(), 1u);
    EXPECT_EQ(r.refusals()[0].rfind("two.mod: ", 0), 0u) << r.refusals()[0];
    EXPECT_NE(r.refusals()[0].find("zero variances"), std::string::npos) << r.refusals()[0];
    EXPECT_TRUE(logHas(log, "Model file two.mod not used: "));
    const TestRun run = recogniseTestSet(r, &err);
    EXPECT_EQ(run.words, 8);
    EXPECT_EQ(run.correct, 6);  // every word but the two of "two"
}

}  // namespace
}  // namespace talvor::statwalk
