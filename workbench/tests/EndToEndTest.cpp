// The workbench from its wizard to a started mode, on a copy of the bundled
// demo tree in a temporary program folder: HMM Training and HMM Matching with
// the stand-ins of the external HMM programs (tests/fakestatwalk), which read
// the word sets their job names and refuse a job whose sets are missing or
// short, so a wrong working copy fails here and not only a missing window.
#include <QApplication>
#include <QPushButton>

#include <filesystem>

#include <gtest/gtest.h>

#include "FakeControls.h"
#include "RegisteredWindowFixture.h"
#include "common/DataTree.h"
#include "common/FileNames.h"
#include "common/StatwalkConfig.h"
#include "platform/Window.h"
#include "testing/EventLoop.h"

using namespace talvor;
using namespace talvor::workbench;
using talvor::test::serveEventsUntil;
namespace fs = std::filesystem;

namespace {

int indexOf(const std::vector<std::string>& list, const std::string& s)
{
    auto it = std::find(list.begin(), list.end(), s);
    return it == list.end() ? -1 : int(it - list.begin());
}

std::string fileText(const std::string& path)
{
    std::string text;
    readFileWhole(path, &text);
    return text;
}

class EndToEnd : public talvor::workbench::test::RegisteredWindowFixture {
protected:
    talvor::workbench::test::FakeControls hosted;

    void SetUp() override
    {
        const char* source = std::getenv("TALVOR_SOURCE_DIR");
        ASSERT_NE(source, nullptr);
        fs::copy(fs::path(source) / "data" / "DATA", fs::path(dir.path()) / "DATA", fs::copy_options::recursive);
        for (const char* program : {FAKE_STATWALK1, FAKE_STATWALK2}) {
            const fs::path to = fs::path(dir.path()) / fs::path(program).filename();
            fs::copy_file(program, to);
            fs::permissions(to, fs::perms::owner_all);
        }
        openWindow();
        window->wizard().setControls(&hosted.wavescope, &hosted.dtw, &hosted.chainview);
    }

    Wizard& w() { return window->wizard(); }
    // Next as the user presses it.
    void next()
    {
        window->refresh();
        ASSERT_TRUE(window->nextButton()->isEnabled()) << "page " << w().currentPage();
        window->nextButton()->click();
    }
    std::string messages() const
    {
        std::string s;
        for (const auto& d : dialogs.shown)
            s += d.text + "\n";
        return s;
    }
};

}  // namespace

TEST_F(EndToEnd, HmmTrainingThenMatchingWithTheStandIns)
{
    const DataTree tree(dir.path());
    // HMM Training: both demo recordings, a new work directory, the cepstra.
    w().controls.optMode = ModeHmmTraining;
    next();
    w().controls.lstVocIndex = indexOf(w().controls.lstVoc, "digits");
    w().lstVoc_Click();
    next();
    ASSERT_EQ(w().currentPage(), PageReferences);
    w().cmdRefData_Click(0);
    ASSERT_EQ(w().controls.lstRefSelected, (std::vector<std::string>{"gb1", "us1"}));
    next();
    w().optDirectory_Click(0);
    w().controls.txtWorkDir = "hmm";
    next();
    for (int i = 0; i < 8; ++i)
        w().controls.chkFeature[std::size_t(i)] = true;
    w().chkFeature_Click();
    next();
    ASSERT_EQ(w().currentPage(), PageEnd) << messages();
    next();

    // The job and its working copies are written, the trainer is found by
    // its window, and the wizard waits hidden.
    EXPECT_EQ(messages(), "");
    StatwalkConfig job;
    std::string error;
    ASSERT_TRUE(readStatwalkConfig(tree.statwalkConfigFile(StatwalkKind::Training), &job, &error)) << error;
    EXPECT_EQ(job.files, (std::vector<std::string>{"gb1", "us1"}));
    EXPECT_EQ(job.featureCount, 8);
    EXPECT_EQ(fileText(tree.modelConfigCopy("digits", "hmm")), fileText(tree.statwalkConfigFile(StatwalkKind::Training)));
    for (const char* f : {"gb1.LB", "gb1.PR", "us1.LB", "us1.PR"})
        EXPECT_TRUE(fs::exists(tree.workFolder("digits", "hmm") + "/" + f)) << f;
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "Talvor Setup");
    EXPECT_TRUE(window->watchTimerActive());
    EXPECT_EQ(w().currentPage(), PageBegin);

    // The trainer writes a model per word and closes; the watch timer brings
    // the wizard back.
    ASSERT_TRUE(serveEventsUntil([&] { return window->isVisible(); }, 15000));
    EXPECT_FALSE(window->watchTimerActive());
    const std::string trainerLog = fileText(dir.path() + "/statwalk1.log");
    EXPECT_NE(trainerLog.find("window Statwalk in mode: HMM Training"), std::string::npos) << trainerLog;
    for (const char* word : {"zero", "five", "nine"})
        EXPECT_TRUE(fs::exists(tree.workFolder("digits", "hmm") + "/" + word + ".mod")) << word;

    // HMM Matching of us1 against those models: the features come from them.
    w().controls.chkFeature.fill(false);
    w().controls.optMode = ModeHmmMatching;
    next();
    w().controls.lstVocIndex = indexOf(w().controls.lstVoc, "digits");
    w().lstVoc_Click();
    next();
    w().controls.lstFilesIndex = indexOf(w().controls.lstFiles, "us1");
    next();
    ASSERT_EQ(w().currentPage(), PageWorkDir);
    w().controls.lstWorkDirIndex = indexOf(w().controls.lstWorkDir, "hmm");
    next();
    ASSERT_EQ(w().currentPage(), PageEnd) << messages();
    EXPECT_EQ(w().numFeat, 8);
    next();
    EXPECT_EQ(messages(), "");
    ASSERT_TRUE(readStatwalkConfig(tree.statwalkConfigFile(StatwalkKind::Recognition), &job, &error)) << error;
    EXPECT_EQ(job.files, std::vector<std::string>{"us1"});
    EXPECT_EQ(job.featureCount, 8);
    EXPECT_FALSE(window->isVisible());
    ASSERT_TRUE(serveEventsUntil([&] { return window->isVisible(); }, 15000));
    const std::string recogniserLog = fileText(dir.path() + "/statwalk2.log");
    EXPECT_NE(recogniserLog.find("window Statwalk in mode: HMM Matching"), std::string::npos) << recogniserLog;
    EXPECT_EQ(recogniserLog.find("bad"), std::string::npos) << recogniserLog;
}
