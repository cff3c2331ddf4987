#pragma once
// A program folder with one vocabulary, a work folder of models with its
// trainer configuration, and a recording of test words, for the viewer model.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "Fixtures.h"
#include "common/DataTree.h"
#include "common/StatwalkConfig.h"
#include "hmmview/Animation.h"
#include "hmmview/ChainviewModel.h"
#include "testing/TempDir.h"
#include "worddata/WordDataStore.h"

namespace talvor::hmmview::testing {

struct FakeClock : Clock {
    std::int64_t now = 1000;
    std::int64_t nowMs() override { return now; }
};

// Moves the fake clock by each wait and runs `onCall` (the user's clicks).
struct FakePump : MessagePump {
    explicit FakePump(FakeClock& c) : clock(c) {}
    FakeClock& clock;
    int calls = 0;
    std::function<void(int call)> onCall;
    void processEvents(std::int64_t maxWaitMs) override
    {
        ++calls;
        clock.now += std::max<std::int64_t>(maxWaitMs, 1);
        if (onCall)
            onCall(calls);
    }
};

// The features the fixture's models use: c1, dc1 and ene, in feature order.
inline FeatureSelection fixtureMask()
{
    FeatureSelection mask{};
    mask[0] = mask[8] = mask[19] = true;
    return mask;
}

struct ProgramFolder {
    talvor::test::TempDir dir;
    std::string voc = "digits";
    std::string work = "hmm";
    std::string rec = "test01";

    DataTree tree() const { return DataTree(dir.path()); }
    std::string workFolder() const { return tree().workFolder(voc, work); }

    ProgramFolder()
    {
        std::filesystem::create_directories(workFolder());
    }

    void writeConfig(const FeatureSelection& mask, int count)
    {
        StatwalkConfig c;
        c.mode = 3;
        c.vocabulary = voc;
        c.workDirectory = work;
        c.featureCount = count;
        c.features = mask;
        c.files = {"train"};
        std::string error;
        ASSERT_TRUE(writeStatwalkConfig(tree().modelConfigCopy(voc, work), c, &error)) << error;
    }
    void writeModel(const std::string& file, const ModSpec& desc)
    {
        ASSERT_TRUE(writeMod(workFolder() + "/" + file, desc));
    }
    // Words of nFrames frames each (margins included), features from randomFrames.
    void writeWords(const std::vector<std::string>& names, const std::vector<std::int32_t>& frames, unsigned seed = 1,
                    const std::string& base = "")
    {
        worddata::WordDataStore store;
        ASSERT_EQ(store.SetNewVoc(names, static_cast<std::int32_t>(names.size())), 0);
        for (std::size_t k = 0; k < names.size(); ++k) {
            const std::vector<float> v = wordFrames(frames[k], seed + static_cast<unsigned>(k));
            const std::vector<std::int16_t> s(static_cast<std::size_t>(frames[k]) * 80, 0);
            ASSERT_EQ(store.PutWordData(static_cast<std::int32_t>(k + 1), v, s, frames[k], names[k]), 0)
                << store.lastError();
        }
        ASSERT_EQ(store.Save_Data((base.empty() ? tree().recordingBase(voc, rec) : base) + ".lab"), 0)
            << store.lastError();
    }
    static std::vector<float> wordFrames(std::int32_t nFrames, unsigned seed)
    {
        return randomFrames(nFrames, 20, seed);
    }
};

// Three models over the fixture's three features.
inline std::vector<ModSpec> threeModels()
{
    return {randomModel("one", 4, 2, 3, 11), randomModel("two", 5, 1, 3, 12), randomModel("three", 3, 3, 3, 13)};
}

struct ViewerTest : ::testing::Test {
    ProgramFolder folder;
    FakeClock clock;
    FakePump pump{clock};
    std::unique_ptr<ChainviewModel> viewer = std::make_unique<ChainviewModel>(clock, pump);

    void SetUp() override { viewer->SetAppPath(folder.dir.path()); }

    // Three models, the configuration, and words "alpha" (40 frames), "beta" (60), "gamma" (33).
    static void writeStandardFolder(ProgramFolder& f)
    {
        f.writeConfig(fixtureMask(), 3);
        const std::vector<ModSpec> specs = threeModels();
        f.writeModel("1one.mod", specs[0]);
        f.writeModel("2two.mod", specs[1]);
        f.writeModel("3three.mod", specs[2]);
        f.writeWords({"alpha", "beta", "gamma"}, {40, 60, 33});
    }
    void standardFolder() { writeStandardFolder(folder); }
    ControlResult load(std::int32_t mode = 4)
    {
        return viewer->LoadMode(mode, folder.voc, "", folder.rec, folder.work);
    }
};

}  // namespace talvor::hmmview::testing
