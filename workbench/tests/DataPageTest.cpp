// The Data page and the new-vocabulary editor of the wizard, headless.
#include <gtest/gtest.h>

#include "WizardFixture.h"
#include "common/FileNames.h"

using namespace talvor;
using namespace talvor::workbench;
using namespace talvor::workbench::test;
namespace fs = std::filesystem;

namespace {

class DataPage : public WizardFixture {
protected:
    void SetUp() override
    {
        WizardFixture::SetUp();
        makeTree();
        w.mode = ModeDatabaseMaintenance;
        w.cmdDataRefresh_Click();
    }
};

TEST_F(DataPage, RefreshListsTheTreeAndTheOptionsChooseOneList)
{
    const WizardControls& c = w.controls;
    EXPECT_EQ(c.lstDataVoc, (std::vector<std::string>{"colours", "digits"}));
    EXPECT_EQ(c.optData, 0);
    w.controls.lstDataVocIndex = 1;
    w.lstDataVoc_Click();
    EXPECT_EQ(c.lstDataFile, (std::vector<std::string>{"s1", "s2"}));
    EXPECT_EQ(c.lstDataDir, (std::vector<std::string>{"dtw1", "hmm1"}));  // "_strings" is no work directory
    EXPECT_EQ(c.lstDataFileString, std::vector<std::string>{"w1"});
    w.controls.lstDataFileIndex = 1;
    w.optData_Click(2);
    EXPECT_EQ(c.optData, 2);
    EXPECT_EQ(c.lstDataFileIndex, -1);  // the other lists lose their selection
    EXPECT_EQ(c.lstDataVocIndex, 1);    // the vocabulary's stays
}

TEST_F(DataPage, DeleteAsksFirstAndCancelKeepsEverything)
{
    w.controls.lstDataVocIndex = 1;
    w.lstDataVoc_Click();
    w.optData_Click(1);
    w.controls.lstDataFileIndex = 0;  // s1
    w.cmdDelete_Click();              // no answer given: Cancel
    ASSERT_EQ(host.questions.size(), 1u);
    EXPECT_EQ(host.questions[0], "Are you sure you want to delete " + (data() / "digits" / "s1").string() + ".* files?");
    EXPECT_TRUE(fs::exists(data() / "digits" / "s1.lab"));

    host.okAnswers = {true};
    w.controls.lstDataFileIndex = 0;
    w.cmdDelete_Click();
    EXPECT_FALSE(fs::exists(data() / "digits" / "s1.lab"));
    EXPECT_FALSE(fs::exists(data() / "digits" / "s1.par"));
    EXPECT_TRUE(fs::exists(data() / "digits" / "s2.lab"));
    EXPECT_EQ(w.controls.lstDataFile, std::vector<std::string>{"s2"});  // refilled from the disk
    EXPECT_EQ(w.controls.optData, 1);

    host.okAnswers = {true};
    w.optData_Click(2);
    w.controls.lstDataDirIndex = 1;  // hmm1
    w.cmdDelete_Click();
    EXPECT_FALSE(fs::exists(data() / "digits" / "hmm1"));
    EXPECT_EQ(w.controls.lstDataDir, std::vector<std::string>{"dtw1"});

    host.okAnswers = {true};
    w.optData_Click(0);
    w.cmdDelete_Click();
    EXPECT_FALSE(fs::exists(data() / "digits"));
    EXPECT_EQ(w.controls.lstDataVoc, std::vector<std::string>{"colours"});
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(DataPage, AnEntryGoneFromTheDiskIsNotDeletedAgain)
{
    w.controls.lstDataVocIndex = 1;
    w.lstDataVoc_Click();
    w.optData_Click(1);
    fs::remove(data() / "digits" / "s2.lab");
    w.controls.lstDataFileIndex = 1;  // s2, still in the list
    host.okAnswers = {true};
    w.cmdDelete_Click();
    EXPECT_TRUE(host.questions.empty());
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_TRUE(fs::exists(data() / "digits" / "s2.par"));
    EXPECT_EQ(w.controls.lstDataFile, std::vector<std::string>{"s1"});
}

TEST_F(WizardFixture, NewVocabularyEditor)
{
    makeTree();
    w.controls.lstVoc = {"colours", "digits"};
    WizardControls& c = w.controls;
    c.txtVocName = "Digits";
    EXPECT_FALSE(w.txtVocName_Enter());
    EXPECT_EQ(host.messages.back(), "This vocabulary already exists. Type another name.");
    c.txtVocName = "numbers";
    EXPECT_TRUE(w.txtVocName_Enter());
    w.txtVocName_Change();

    for (const char* word : {"one", "two", "three"}) {
        c.txtWord = word;
        w.txtWord_Enter();
    }
    EXPECT_EQ(c.lstVocItems, (std::vector<std::string>{"one", "two", "three"}));
    EXPECT_EQ(c.txtSize, " 3");
    EXPECT_TRUE(c.cmdNextEnabled);

    // Double-click, type, Enter: replaced in place.
    c.lstVocItemsIndex = 1;
    w.lstVocItems_DblClick();
    EXPECT_EQ(c.txtWord, "two");
    c.txtWord = "deux";
    w.txtWord_Enter();
    EXPECT_EQ(c.lstVocItems, (std::vector<std::string>{"one", "deux", "three"}));
    EXPECT_FALSE(w.editingWord);
    // Double-click, empty Enter: removed.
    c.lstVocItemsIndex = 0;
    w.lstVocItems_DblClick();
    c.txtWord.clear();
    w.txtWord_Enter();
    EXPECT_EQ(c.lstVocItems, (std::vector<std::string>{"deux", "three"}));
    EXPECT_EQ(c.txtSize, " 2");
    // A click ends editing: the next Enter appends.
    c.lstVocItemsIndex = 0;
    w.lstVocItems_DblClick();
    w.lstVocItems_Click();
    c.txtWord = "four";
    w.txtWord_Enter();
    EXPECT_EQ(c.lstVocItems, (std::vector<std::string>{"deux", "three", "four"}));
    // A word the vocabulary file cannot hold is refused and stays in the box.
    for (const char* bad : {"two words", "a\"b", "x,y", "tab\there"}) {
        SCOPED_TRACE(bad);
        const auto messages = host.messages.size();
        c.txtWord = bad;
        w.txtWord_Enter();
        EXPECT_EQ(c.lstVocItems.size(), 3u);
        EXPECT_EQ(c.txtWord, bad);
        EXPECT_EQ(host.messages.size(), messages + 1);
    }
}

TEST_F(WizardFixture, NextOnTheNewVocabularyPageWantsAWord)
{
    makeTree();
    w.mode = ModeSpeechRecording;
    w.controls.optMode = ModeSpeechRecording;
    w.cmdNext_Click();  // to the vocabulary page
    w.controls.optVocab = 1;
    w.cmdNext_Click();  // to the new-vocabulary page
    ASSERT_EQ(w.currentPage(), PageNewVocabulary);
    w.controls.txtVocName = "numbers";
    w.cmdNext_Click();
    EXPECT_EQ(w.currentPage(), PageNewVocabulary);
    EXPECT_EQ(host.messages.back(), "Enter at least one vocabulary item.");
}

TEST_F(WizardFixture, HelpPromptsComeFromTheProgramFoldersFile)
{
    writeFile(std::filesystem::path(dir.path()) / "talvor_ii.C_H", "\r\n0008 \"<i>Prune</i> it\"\r\n0042 x\r\n");
    w.LoadTalvorHelpFile();
    EXPECT_EQ(w.prompts[8], "<i>Prune</i> it");
    EXPECT_EQ(w.prompts[9], promptText(9));
}

}  // namespace

namespace {

// A saved experiment's text with the given lines replaced (1-based), for the refusal rows.
std::string experimentWith(const std::string& text, int line, const std::string& replacement)
{
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        const auto end = text.find("\r\n", at);
        lines.push_back(text.substr(at, end - at));
        at = end == std::string::npos ? text.size() : end + 2;
    }
    lines[std::size_t(line - 1)] = replacement;
    std::string out;
    for (const auto& l : lines)
        out += l + "\r\n";
    return out;
}

TEST_F(WizardFixture, ExperimentFilesRoundTripTheirOptionsAndRefuseWhatTheyCannotUse)
{
    makeTree();
    w.mode = ModeStringsPickMatchHmm;
    w.vocName = "digits";
    w.sourceFile = "w1";
    w.workDir = "hmm1";
    w.controls.optVocab = 0;
    w.controls.optVocStr = 1;  // word strings
    w.controls.txtDescription = "";
    w.controls.chkFeature[0] = true;
    const std::string path = dir.path() + "/e.cfv";
    ASSERT_TRUE(w.Save_CFV(path));
    std::string text;
    ASSERT_TRUE(readFileWhole(path, &text));

    w.controls.optVocab = 1;
    w.controls.optVocStr = 0;
    w.controls.txtDescription = "something";
    ASSERT_TRUE(w.Load_CFV(path));
    EXPECT_EQ(w.controls.optVocab, 0);
    EXPECT_EQ(w.controls.optVocStr, 1);  // so a loaded word-string experiment finds _strings
    EXPECT_EQ(w.controls.txtDescription, "");

    struct Row { int line; std::string replacement; std::string reason; };
    const Row rows[] = {
        {1, "\"Configuration File\"", "its first line is not"},
        {3, "Working_mode:\t14", "the working mode 14 is not one of 0 to 13."},
        {4, "Maybe", "the vocabulary options are not True or False."},
        {6, "Vocabulary_name:\t..", "\"..\""},
        {8, "Work_directory:\t_strings", "_strings"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        writeFile(std::filesystem::path(dir.path()) / "bad.cfv", experimentWith(text, row.line, row.replacement));
        w.vocName = "keep";
        host.messages.clear();
        EXPECT_FALSE(w.Load_CFV(dir.path() + "/bad.cfv"));
        EXPECT_EQ(w.vocName, "keep");
        ASSERT_EQ(host.messages.size(), 1u);
        EXPECT_EQ(host.messages[0].rfind(dir.path() + "/bad.cfv is not a usable Talvor configuration file: ", 0), 0u)
            << host.messages[0];
        EXPECT_NE(host.messages[0].find(row.reason), std::string::npos) << host.messages[0];
    }

    // Six references in a DTW mode.
    w.mode = ModeDtwMatching;
    w.controls.lstRefSelected = {"s1", "s2", "s1", "s2", "s1", "s2"};
    ASSERT_TRUE(w.Save_CFV(dir.path() + "/six.cfv"));
    host.messages.clear();
    EXPECT_FALSE(w.Load_CFV(dir.path() + "/six.cfv"));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].find("at most 5 reference files"), std::string::npos);
}

TEST_F(WizardFixture, BeginAgainForgetsTheDescription)
{
    w.controls.txtDescription = "my experiment";
    w.cmdPrevious_Click();
    EXPECT_EQ(w.controls.txtDescription, WizardControls().txtDescription);
}

}  // namespace
