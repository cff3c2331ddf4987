// The wizard's page sequence for every mode, the conditions that keep a page,
// the report pane, Begin again and the experiment-file buttons.
#include <algorithm>
#include <functional>

#include "WizardFixture.h"
#include "common/FileNames.h"
#include "common/NameCheck.h"

using namespace talvor;
using namespace talvor::workbench;
using talvor::workbench::test::WizardFixture;
using talvor::workbench::test::writeFile;

namespace {

enum class Vocab { Existing, New, Strings };

int indexOf(const std::vector<std::string>& list, const std::string& s)
{
    auto it = std::find(list.begin(), list.end(), s);
    return it == list.end() ? -1 : int(it - list.begin());
}

// Fills the current page the way a user who makes a valid choice would.
void fillPage(Wizard& w, int mode, Vocab vocab)
{
    WizardControls& c = w.controls;
    switch (w.currentPage()) {
    case PageBegin:
        c.optMode = mode;
        break;
    case PageVocabulary:
        c.lstVocIndex = indexOf(c.lstVoc, "digits");
        w.lstVoc_Click();
        if (vocab == Vocab::New) {
            w.optVocab_Click(1);
        } else if (vocab == Vocab::Strings) {
            w.optVocStr_Click(1);
        }
        break;
    case PageNewVocabulary:
        if (c.optVocStr == 0) {
            c.txtVocName = "animals";
            w.txtVocName_Change();
            c.txtWord = "cat";
            w.txtWord_Enter();
        } else {
            w.lstStrText_DblClick();
        }
        break;
    case PageFile:
        if (c.txtFileNameEnabled) {
            c.txtFileName = "s3";
            w.txtFileName_Change();
        }
        break;
    case PageReferences:
        w.cmdAdd_Click();
        break;
    case PageWorkDir:
        c.lstWorkDirIndex = indexOf(c.lstWorkDir, (mode == 2 || mode == 3 || mode == 6 || mode == 8) ? "dtw1" : "hmm1");
        break;
    case PageFeatures:
        c.chkFeature[0] = true;
        w.chkFeature_Click();
        break;
    default:
        break;
    }
}

// Presses Next from page 0 until the wizard is back on page 0 or stays put;
// returns every page shown, the first included.
std::vector<int> walk(Wizard& w, int mode, Vocab vocab)
{
    std::vector<int> pages{w.currentPage()};
    for (int step = 0; step < 12; ++step) {
        fillPage(w, mode, vocab);
        const int before = w.currentPage();
        w.cmdNext_Click();
        if (w.currentPage() == before)
            break;
        pages.push_back(w.currentPage());
        if (w.currentPage() == PageBegin)
            break;
    }
    return pages;
}

}  // namespace

TEST_F(WizardFixture, PageSequenceOfEveryMode)
{
    makeTree();
    struct Row {
        int mode;
        Vocab vocab;
        std::vector<int> pages;
    };
    const Row rows[] = {
        {0, Vocab::Existing, {0, 1, 3, 9, 0}},
        {0, Vocab::New, {0, 1, 2, 3, 9, 0}},
        {0, Vocab::Strings, {0, 1, 2, 3, 9, 0}},
        {1, Vocab::Existing, {0, 1, 3, 9, 0}},
        {1, Vocab::Strings, {0, 1, 3, 9, 0}},
        {2, Vocab::Existing, {0, 1, 3, 4, 5, 6, 9, 0}},
        {3, Vocab::Existing, {0, 1, 4, 5, 6, 9, 0}},
        {4, Vocab::Existing, {0, 1, 3, 5, 9, 0}},
        {5, Vocab::Existing, {0, 1, 3, 5, 9, 0}},
        {6, Vocab::Existing, {0, 1, 3, 4, 5, 6, 9, 0}},
        {7, Vocab::Existing, {0, 1, 5, 9, 0}},
        {8, Vocab::Existing, {0, 1, 4, 5, 6, 9, 0}},
        {9, Vocab::Existing, {0, 7, 0}},
        {10, Vocab::Existing, {0, 1, 3, 5, 8, 9, 0}},
        {11, Vocab::Existing, {0, 1, 3, 5, 8, 9, 0}},
        {12, Vocab::Existing, {0, 1, 5, 8, 9, 0}},
        {13, Vocab::Existing, {0, 8, 9}},  // stays on the End page
    };
    for (const Row& row : rows) {
        SCOPED_TRACE("mode " + std::to_string(row.mode) + " vocab " + std::to_string(int(row.vocab)));
        programs.opensCaption = "Statwalk in mode: " + state.ModeNames(row.mode);
        w.cmdPrevious_Click();
        ASSERT_EQ(w.currentPage(), 0);
        EXPECT_EQ(walk(w, row.mode, row.vocab), row.pages);
        EXPECT_EQ(w.mode, row.mode);
        // Only the current page can be selected.
        for (int p = 0; p < kPageCount; ++p)
            EXPECT_EQ(w.pageEnabled(p), p == w.currentPage()) << "page " << p;
        if (row.mode == ModeRuntime) {
            EXPECT_FALSE(w.controls.cmdNextEnabled);
            EXPECT_EQ(w.currentPage(), PageEnd);
        }
    }
}

TEST_F(WizardFixture, ConditionsThatKeepAPage)
{
    makeTree();
    struct Row {
        const char* name;
        int mode;
        Vocab vocab;
        int page;                             // where the choice is spoilt
        std::function<void(Wizard&)> spoil;   // after a valid fill
        int expectedPage;
        std::string message;                  // "" when none is shown
    };
    const Row rows[] = {
        {"no vocabulary selected", 2, Vocab::Existing, 1, [](Wizard& x) { x.controls.lstVocIndex = -1; }, 1,
         "Select a vocabulary."},
        {"new vocabulary needs none", 0, Vocab::New, 1, [](Wizard& x) { x.controls.lstVocIndex = -1; }, 2, ""},
        {"word strings all empty", 0, Vocab::Strings, 2,
         [](Wizard& x) { x.controls.lstString = {"", ""}; }, 2, ""},
        {"word strings with one", 0, Vocab::Strings, 2,
         [](Wizard& x) { x.controls.lstString = {"", "one_two", ""}; }, 3, ""},
        {"new vocabulary without a name", 0, Vocab::New, 2, [](Wizard& x) { x.controls.txtVocName.clear(); }, 2,
         *nameProblem("", NameKind::Vocabulary)},
        {"new vocabulary named like an old one", 0, Vocab::New, 2,
         [](Wizard& x) { x.controls.txtVocName = "Digits"; }, 2, "This vocabulary already exists. Type another name."},
        {"new vocabulary with a slash", 0, Vocab::New, 2, [](Wizard& x) { x.controls.txtVocName = "../x"; }, 2,
         *nameProblem("../x", NameKind::Vocabulary)},
        {"recording name exists", 0, Vocab::Existing, 3, [](Wizard& x) { x.controls.txtFileName = "s1"; }, 3,
         "This file already exists. Type another name."},
        {"recording name exists in another case", 0, Vocab::Existing, 3,
         [](Wizard& x) { x.controls.txtFileName = "S2"; }, 3, "This file already exists. Type another name."},
        {"recording name empty", 0, Vocab::Existing, 3, [](Wizard& x) { x.controls.txtFileName.clear(); }, 3, ""},
        {"recording name with a slash", 0, Vocab::Existing, 3,
         [](Wizard& x) { x.controls.txtFileName = "a/b"; }, 3, *nameProblem("a/b", NameKind::File)},
        {"no file selected", 1, Vocab::Existing, 3, [](Wizard& x) { x.controls.lstFilesIndex = -1; }, 3, ""},
        {"no recording to select", 4, Vocab::Existing, 3,
         [](Wizard& x) {
             x.controls.lstFiles.clear();
             x.controls.lstFilesIndex = -1;
         },
         3, "There is no recording in the vocabulary digits yet. Record one first in the mode Speech Recording."},
        {"no reference selected", 2, Vocab::Existing, 4, [](Wizard& x) { x.cmdRefData_Click(1); }, 4, ""},
        {"work directory empty", 2, Vocab::Existing, 5, [](Wizard& x) { x.controls.lstWorkDirIndex = -1; }, 5, ""},
        {"new work directory without a name", 3, Vocab::Existing, 5,
         [](Wizard& x) {
             x.optDirectory_Click(0);
             x.controls.txtWorkDir.clear();
         },
         5, ""},
        {"new work directory named", 3, Vocab::Existing, 5,
         [](Wizard& x) {
             x.optDirectory_Click(0);
             x.controls.txtWorkDir = "hmm2";
         },
         6, ""},
        {"new work directory _strings", 3, Vocab::Existing, 5,
         [](Wizard& x) {
             x.optDirectory_Click(0);
             x.controls.txtWorkDir = "_strings";
         },
         5, *nameProblem("_strings", NameKind::WorkDirectory)},
        {"HMM matching without models", 4, Vocab::Existing, 5,
         [](Wizard& x) { x.controls.lstWorkDirIndex = indexOf(x.controls.lstWorkDir, "dtw1"); }, 5,
         "There are no models in this subdirectory. Select another subdirectory or train new models in a new "
         "subdirectory."},
        {"HMM matching with models", 4, Vocab::Existing, 5, [](Wizard&) {}, 9, ""},
        {"strings matching without models", 10, Vocab::Existing, 5,
         [](Wizard& x) { x.controls.lstWorkDirIndex = indexOf(x.controls.lstWorkDir, "dtw1"); }, 5,
         "There are no models in this subdirectory. Select another subdirectory or train new models in a new "
         "subdirectory."},
        {"HMM recognition with no work directory", 7, Vocab::Existing, 5,
         [](Wizard& x) { x.controls.lstWorkDirIndex = -1; }, 5,
         "There are no models in this subdirectory. Select another subdirectory or train new models in a new "
         "subdirectory."},
        {"no features", 2, Vocab::Existing, 6, [](Wizard& x) { x.controls.chkFeature.fill(false); }, 6,
         "Select at least one feature."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        w.cmdPrevious_Click();
        host.messages.clear();
        for (int step = 0; step < 10 && w.currentPage() != row.page; ++step) {
            fillPage(w, row.mode, row.vocab);
            w.cmdNext_Click();
        }
        ASSERT_EQ(w.currentPage(), row.page);
        fillPage(w, row.mode, row.vocab);
        row.spoil(w);
        w.cmdNext_Click();
        EXPECT_EQ(w.currentPage(), row.expectedPage);
        if (row.message.empty())
            EXPECT_TRUE(host.messages.empty()) << host.messages.front();
        else
            EXPECT_EQ(host.messages, std::vector<std::string>{row.message});
    }
}

TEST_F(WizardFixture, EmptyDataTreeKeepsTheVocabularyPageOutsideNewVocabularies)
{
    // No DATA folder at all: only Speech Recording with New can go on.
    for (int mode : {1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 12}) {
        SCOPED_TRACE(mode);
        w.cmdPrevious_Click();
        host.messages.clear();
        w.controls.optMode = mode;
        w.cmdNext_Click();
        ASSERT_EQ(w.currentPage(), PageVocabulary);
        EXPECT_TRUE(w.controls.lstVoc.empty());
        w.cmdNext_Click();
        EXPECT_EQ(w.currentPage(), PageVocabulary);
        EXPECT_EQ(host.messages.size(), 1u);
    }
    w.cmdPrevious_Click();
    w.controls.optMode = 0;
    w.cmdNext_Click();
    EXPECT_EQ(w.controls.optVocab, 1);  // New is on when there is nothing to choose
    w.cmdNext_Click();
    EXPECT_EQ(w.currentPage(), PageNewVocabulary);
}

TEST_F(WizardFixture, ReportTexts)
{
    makeTree();
    walk(w, ModeDtwMatching, Vocab::Existing);  // ends on page 0 after the End page
    // Stop before the End page to read the summary.
    w.cmdPrevious_Click();
    std::vector<int> pages;
    for (int step = 0; step < 6; ++step) {
        fillPage(w, ModeDtwMatching, Vocab::Existing);
        w.controls.chkFeature[16] = true;
        w.controls.chkFeature[19] = true;
        if (w.currentPage() == PageReferences) {
            w.controls.lstRefAvailableIndex = 1;
            w.cmdAdd_Click();
        }
        w.cmdNext_Click();
    }
    ASSERT_EQ(w.currentPage(), PageEnd);
    const std::string line1 = " Mode: DTW Matching" + std::string(28 - 19 + 14, ' ') + " Vocabulary: digits";
    const std::string line2 = " Source File: s1" + std::string(42 - 16, ' ') + " Reference Files:   s1  s2";
    EXPECT_EQ(w.report.text(), line1 + "\n" + line2 + "\n Work directory: dtw1\n Features: c1 de ene ");

    // HMM training names its files model files.
    w.cmdPrevious_Click();
    EXPECT_EQ(w.report.text(), "");
    for (int step = 0; step < 3; ++step) {
        fillPage(w, ModeHmmTraining, Vocab::Existing);
        w.cmdNext_Click();
    }
    ASSERT_EQ(w.currentPage(), PageWorkDir);
    EXPECT_EQ(w.report.lines()[1], " Model Files:   s1");

    // Database maintenance: the Data page clears the pane.
    w.cmdPrevious_Click();
    w.controls.optMode = ModeDatabaseMaintenance;
    w.cmdNext_Click();
    EXPECT_EQ(w.report.text(), " Mode: Database Maintanence");
    EXPECT_EQ(w.controls.lstDataVoc, (std::vector<std::string>{"colours", "digits"}));
    w.cmdNext_Click();
    EXPECT_EQ(w.currentPage(), PageBegin);
    EXPECT_EQ(w.report.text(), "");

    // Speech Recording: a new vocabulary is reported by the New Vocabulary
    // page; with word strings of an existing one, both pages report it.
    const std::string mode0 = " Mode: Speech Recording" + std::string(28 - 23, ' ');
    struct Row {
        Vocab vocab;
        std::string report;
    };
    const Row rows[] = {
        {Vocab::New, mode0 + std::string(14, ' ') + " Vocabulary: animals\n Source File: s3"},
        {Vocab::Strings, mode0 + std::string(14, ' ') + " Vocabulary: digits\n" + std::string(28, ' ') +
                             " Vocabulary: digits\n Source File: s3"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(int(row.vocab));
        w.cmdPrevious_Click();
        for (int step = 0; step < 4 && w.currentPage() != PageEnd; ++step) {
            fillPage(w, ModeSpeechRecording, row.vocab);
            w.cmdNext_Click();
        }
        ASSERT_EQ(w.currentPage(), PageEnd);
        EXPECT_EQ(w.report.text(), row.report + std::string(42 - 16, ' '));
    }
}

TEST_F(WizardFixture, PrintZones)
{
    ReportPane r;
    r.print("abc");
    r.advanceZones(1);
    r.print("x");
    r.advanceZones(2);
    r.printLine("y");
    r.advanceZones(1);  // at the start of a line: one whole zone
    r.print(std::string(14, 'z'));
    r.advanceZones(1);  // exactly at a zone boundary: the next one
    r.print("w");
    EXPECT_EQ(r.text(), "abc" + std::string(11, ' ') + "x" + std::string(27, ' ') + "y\n" + std::string(14, ' ') +
                            std::string(14, 'z') + std::string(14, ' ') + "w");
}

TEST_F(WizardFixture, BeginAgainKeepsTheChoices)
{
    makeTree();
    for (int step = 0; step < 4; ++step) {  // mode 2 up to the Work Dir page
        fillPage(w, ModeDtwMatching, Vocab::Existing);
        w.cmdNext_Click();
    }
    fillPage(w, ModeDtwMatching, Vocab::Existing);
    w.cmdNext_Click();
    ASSERT_EQ(w.currentPage(), PageFeatures);
    w.controls.lstVocItems = {"a", "b"};
    w.controls.txtVocName = "v";
    w.controls.txtWord = "w";
    w.controls.txtSize = " 2";
    w.controls.cmdNextEnabled = false;
    w.controls.cmdRemoveEnabled = true;
    w.controls.optVocabNewEnabled = false;

    w.cmdPrevious_Click();
    EXPECT_EQ(w.currentPage(), PageBegin);
    EXPECT_EQ(w.curTab, 0);
    EXPECT_EQ(w.nextTab, 0);
    EXPECT_EQ(w.mode, ModeDtwMatching);
    EXPECT_EQ(w.vocName, "digits");
    EXPECT_EQ(w.sourceFile, "s1");
    EXPECT_EQ(w.workDir, "dtw1");
    EXPECT_TRUE(w.controls.lstVocItems.empty());
    EXPECT_EQ(w.controls.txtVocName, "");
    EXPECT_EQ(w.controls.txtWord, "");
    EXPECT_EQ(w.controls.txtSize, "0");
    EXPECT_EQ(w.report.text(), "");
    EXPECT_TRUE(w.controls.cmdNextEnabled);
    EXPECT_FALSE(w.controls.cmdRemoveEnabled);
    EXPECT_TRUE(w.controls.optVocabNewEnabled);
    for (int p = 0; p < kPageCount; ++p)
        EXPECT_EQ(w.pageEnabled(p), p == 0) << p;
}

TEST_F(WizardFixture, FormLoadState)
{
    EXPECT_EQ(w.dataPath, dir.path() + "/");
    EXPECT_EQ(w.nStates, 8);
    EXPECT_EQ(w.nMixtures, 1);
    EXPECT_EQ(w.wordStringLimit, 5);
    EXPECT_EQ(w.FeatureNames[0], "c1    ");
    EXPECT_EQ(w.FeatureNames[15], "dc8   ");
    EXPECT_EQ(w.FeatureNames[19], "ene   ");
    EXPECT_EQ(state.ModeNames(9), "Database Maintanence");
    EXPECT_EQ(w.currentPage(), 0);
    for (int p = 0; p < kPageCount; ++p)
        EXPECT_EQ(w.pageEnabled(p), p == 0);
    EXPECT_STREQ(pageCaption(8), "Other configurations");
    EXPECT_STREQ(modeOptionCaption(10), "Pick & Match (HMM)");
    EXPECT_STREQ(modeOptionCaption(13), "Talvor's Recognition Engine");
}

TEST(ExperimentSuffix, EndsInCfvInAnyCase)
{
    struct Row {
        const char* name;
        bool ok;
    };
    const Row rows[] = {{"a.cfv", true},  {"/x/TALVOR-II.CFV", true}, {"b.CfV", true}, {".cfv", true},
                        {"a.cfg", false}, {"cfv", false},             {"a.cfv.txt", false}, {"", false},
                        {"acfv", false}};
    for (const Row& r : rows)
        EXPECT_EQ(hasExperimentSuffix(r.name), r.ok) << r.name;
}

TEST_F(WizardFixture, LoadAndSaveExperimentFiles)
{
    makeTree();
    // Walk mode 3 to the End page and save.
    for (int step = 0; step < 5; ++step) {
        fillPage(w, ModeHmmTraining, Vocab::Existing);
        if (w.currentPage() == PageReferences)
            w.cmdRefData_Click(0);
        w.cmdNext_Click();
    }
    ASSERT_EQ(w.currentPage(), PageEnd);
    ASSERT_TRUE(w.controls.cmdSaveEnabled);
    w.controls.txtDescription = "two \"speakers\"";
    host.fileAnswers.push_back(dir.path() + "/exp1");  // no suffix: ".CFV" is added
    w.cmdSave_Click();
    EXPECT_EQ(host.dialogTitles.back(), "Save Talvor configuration file.");
    std::string bytes;
    ASSERT_TRUE(readFileWhole(dir.path() + "/exp1.CFV", &bytes));
    EXPECT_EQ(bytes.substr(0, 90), "\"Configuration File for TALVOR II\"\r\nDescription:\t\"two *speakers*\"\r\n"
                                   "Working_mode:\t3\r\nTrue\r\n");
    EXPECT_NE(bytes.find("Count_of_ref._files:\t2\r\ns1\r\ns2\r\nFeatures:\r\n1\r\n0\r\n"), std::string::npos);
    EXPECT_EQ(bytes.substr(bytes.size() - 6), "\n0\r\n\r\n");  // one extra line end

    // A name that does not end in .cfv is ignored; cancel does nothing.
    w.cmdPrevious_Click();
    writeFile(std::filesystem::path(dir.path()) / "exp1.txt", bytes);
    host.fileAnswers.push_back(dir.path() + "/exp1.txt");
    host.fileAnswers.push_back(std::nullopt);
    w.cmdLoad_Click();
    w.cmdLoad_Click();
    EXPECT_EQ(host.dialogTitles.back(), "Open Talvor configuration file.");
    EXPECT_EQ(w.currentPage(), PageBegin);
    EXPECT_EQ(w.report.text(), "");

    // Outside mode 13 a loaded file goes to the End page.
    w.mode = ModeDtwMatching;
    w.vocName.clear();
    w.controls.lstRefSelected.clear();
    w.controls.chkFeature.fill(false);
    std::filesystem::rename(std::filesystem::path(dir.path()) / "exp1.txt",
                            std::filesystem::path(dir.path()) / "exp1.cFv");
    host.fileAnswers.push_back(dir.path() + "/exp1.cFv");
    w.cmdLoad_Click();
    EXPECT_EQ(w.currentPage(), PageEnd);
    EXPECT_EQ(w.mode, ModeHmmTraining);
    EXPECT_EQ(w.vocName, "digits");
    EXPECT_EQ(w.sourceFile, "");  // "---" stands for no name
    EXPECT_EQ(w.workDir, "dtw1");
    EXPECT_EQ(w.controls.lstRefSelected, (std::vector<std::string>{"s1", "s2"}));
    EXPECT_EQ(w.numFeat, 1);
    EXPECT_EQ(w.controls.txtDescription, "two *speakers*");
    EXPECT_NE(w.report.text().find(" Model Files:   s1  s2"), std::string::npos);

    // In mode 13 the file is read and the wizard stays where it is.
    w.cmdPrevious_Click();
    w.controls.optMode = ModeRuntime;
    host.fileAnswers.push_back(std::nullopt);  // page 8 opens the dialog by itself
    w.cmdNext_Click();
    ASSERT_EQ(w.currentPage(), PageOther);
    w.mode = ModeRuntime;
    w.controls.cmdLoadEnabled = true;
    host.fileAnswers.push_back(dir.path() + "/exp1.CFV");
    w.cmdLoad_Click();
    EXPECT_EQ(w.currentPage(), PageOther);
    EXPECT_EQ(w.mode, ModeHmmTraining);

    // A short file changes nothing and says so.
    writeFile(std::filesystem::path(dir.path()) / "short.cfv", bytes.substr(0, bytes.find("Features:")));
    w.mode = ModeDtwMatching;
    w.vocName = "keep";
    host.messages.clear();
    host.fileAnswers.push_back(dir.path() + "/short.cfv");
    w.cmdLoad_Click();
    EXPECT_EQ(w.vocName, "keep");
    EXPECT_EQ(w.mode, ModeDtwMatching);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0],
              dir.path() + "/short.cfv is not a usable Talvor configuration file: it ends before its last item.");
}

TEST_F(WizardFixture, RuntimeModeLoadsAnExperimentOnItsOptionsPage)
{
    makeTree();
    // Save a Speak & Recognize (DTW) experiment, then run it in mode 13.
    w.mode = ModeSpeakRecognizeDtw;
    w.vocName = "digits";
    w.sourceFile = "x";
    w.workDir = "dtw1";
    w.controls.lstRefSelected = {"s1"};
    w.controls.chkFeature[3] = true;
    host.fileAnswers.push_back(dir.path() + "/run.cfv");
    w.cmdSave_Click();

    w.cmdPrevious_Click();
    w.controls.optMode = ModeRuntime;
    host.fileAnswers.push_back(dir.path() + "/run.cfv");
    w.cmdNext_Click();
    // The file is read on the options page, which is then set up for the
    // loaded mode: results may go to a text file or a window.
    EXPECT_EQ(w.currentPage(), PageOther);
    EXPECT_EQ(w.mode, ModeSpeakRecognizeDtw);
    EXPECT_FALSE(w.controls.cmdLoadEnabled);
    EXPECT_FALSE(w.controls.recogniserOptionsEnabled);
    EXPECT_TRUE(w.controls.resultPassingEnabled);
    EXPECT_EQ(w.controls.optRunTime, 1);
    EXPECT_EQ(w.runTimeMode, 1);
    EXPECT_EQ(w.controls.optRunTimeEnabled, (std::array<bool, 5>{true, true, true, false, false}));
    EXPECT_TRUE(w.controls.chcRThideEnabled);
    w.cmdNext_Click();
    EXPECT_EQ(w.currentPage(), PageEnd);
    w.cmdNext_Click();  // starts the loaded mode, then begins again
    EXPECT_EQ(w.currentPage(), PageBegin);
    EXPECT_EQ(hosted.log.calls.back(), "wavescope.LoadMode(8,digits,x,dtw1)");
}

TEST_F(WizardFixture, RunModeStartsTheModeAndBeginsAgain)
{
    makeTree();
    host.messages.clear();
    programs.opensCaption = "Statwalk in mode: HMM Matching";
    walk(w, ModeHmmMatching, Vocab::Existing);
    EXPECT_EQ(w.currentPage(), PageBegin);
    EXPECT_EQ(host.messages, std::vector<std::string>{});
    EXPECT_EQ(programs.started, std::vector<std::string>{dir.path() + "/statwalk2"});
}

TEST_F(WizardFixture, PageControls)
{
    makeTree();
    w.controls.optMode = ModeDtwMatching;
    w.cmdNext_Click();
    // Vocabulary page: first vocabulary chosen, its words and recordings shown.
    EXPECT_EQ(w.controls.lstVoc, (std::vector<std::string>{"colours", "digits"}));
    EXPECT_EQ(w.controls.optVocab, 0);
    EXPECT_FALSE(w.controls.optVocabNewEnabled);
    EXPECT_EQ(w.controls.lstVocPrev, (std::vector<std::string>{"red"}));
    w.controls.lstVocIndex = 1;
    w.lstVoc_Click();
    EXPECT_EQ(w.controls.lstVocPrev, (std::vector<std::string>{"one", "two", "three"}));
    EXPECT_EQ(w.controls.lstVocFilePrev, (std::vector<std::string>{"s1", "s2"}));
    w.cmdNext_Click();
    w.cmdNext_Click();
    ASSERT_EQ(w.currentPage(), PageReferences);
    EXPECT_FALSE(w.controls.cmdNextEnabled);
    // The same reference twice stays one entry; at most five in DTW.
    w.cmdAdd_Click();
    w.cmdAdd_Click();
    EXPECT_EQ(w.controls.lstRefSelected, (std::vector<std::string>{"s1"}));
    EXPECT_TRUE(w.controls.cmdNextEnabled);
    for (int i = 3; i <= 8; ++i)
        writeFile(data() / "digits" / ("t" + std::to_string(i) + ".lab"), "x");
    w.SSTab1_Click(PageReferences);
    w.cmdRefData_Click(0);
    EXPECT_EQ(w.controls.lstRefSelected.size(), 5u);
    w.mode = ModeHmmTraining;
    w.cmdRefData_Click(0);
    EXPECT_EQ(w.controls.lstRefSelected.size(), 8u);
    w.cmdRefData_Click(1);
    EXPECT_TRUE(w.controls.lstRefSelected.empty());
    EXPECT_FALSE(w.controls.cmdNextEnabled);

    // Word strings: at most five words, "Delete string" keeps the last entry.
    w.vocName = "digits";
    w.controls.optVocStr = 1;
    w.SSTab1_Click(PageNewVocabulary);
    EXPECT_EQ(w.controls.lstStrText, (std::vector<std::string>{"one", "two", "three"}));
    for (int i = 0; i < 6; ++i)
        w.lstStrText_DblClick();
    EXPECT_EQ(w.controls.lstString, (std::vector<std::string>{"one_one_one_one_one"}));
    w.cmdStr_Click(1);
    EXPECT_EQ(w.controls.lstString.size(), 1u);
    w.cmdStr_Click(0);
    w.cmdStr_Click(1);
    EXPECT_EQ(w.controls.lstString.size(), 1u);
    EXPECT_EQ(w.controls.lstStringIndex, 0);

    // Work Dir page of a vocabulary without work directories: New Directory,
    // and the "_strings" folder made on the way.
    w.vocName = "colours";
    w.mode = ModeDtwMatching;
    w.SSTab1_Click(PageWorkDir);
    EXPECT_EQ(w.controls.optDirectory, 0);
    EXPECT_FALSE(w.controls.optDirectoryExistingEnabled);
    EXPECT_TRUE(std::filesystem::is_directory(data() / "colours" / "_strings"));
    w.vocName = "digits";
    w.SSTab1_Click(PageWorkDir);
    EXPECT_EQ(w.controls.lstWorkDir, (std::vector<std::string>{"dtw1", "hmm1"}));  // no "_strings"
}

TEST_F(WizardFixture, ReferencesPageRefusesMoreThanFiveHundredDtwReferences)
{
    makeTree();  // s1 and s2: one word each
    std::string rows;
    for (int k = 0; k < 499; ++k)
        rows += " " + std::to_string(k) + "\t 0\t 3\t 0\tone\t\r\n";
    writeFile(data() / "digits" / "big.lab", rows);
    w.controls.optMode = ModeSpeakRecognizeDtw;
    w.cmdNext_Click();
    w.controls.lstVocIndex = 1;
    w.lstVoc_Click();
    w.cmdNext_Click();
    ASSERT_EQ(w.currentPage(), PageReferences);
    const std::vector<std::string>& available = w.controls.lstRefAvailable;
    auto add = [&](const std::string& name) {
        w.controls.lstRefAvailableIndex =
            int(std::find(available.begin(), available.end(), name) - available.begin());
        w.cmdAdd_Click();
    };
    add("big");
    add("s1");  // 500: still taken
    EXPECT_EQ(w.controls.lstRefSelected, (std::vector<std::string>{"big", "s1"}));
    EXPECT_TRUE(host.messages.empty());
    add("s2");  // 501: refused, and the box says how many
    EXPECT_EQ(w.controls.lstRefSelected, (std::vector<std::string>{"big", "s1"}));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0], "These reference files hold 501 words; the DTW comparer takes at most 500 "
                                "references. Choose fewer files.");
    // "Select all" the same; the selection stays as it was.
    w.cmdRefData_Click(0);
    EXPECT_EQ(w.controls.lstRefSelected, (std::vector<std::string>{"big", "s1"}));
    ASSERT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(host.messages[1], host.messages[0]);
    // Training has no such limit.
    w.mode = ModeHmmTraining;
    w.cmdRefData_Click(0);
    EXPECT_EQ(w.controls.lstRefSelected.size(), 3u);
    EXPECT_EQ(host.messages.size(), 2u);
}

TEST_F(WizardFixture, WordStringPreviewShowsTheStringsOfARecording)
{
    makeTree();
    // Two complete label lines and a cut one: the complete lines' strings.
    writeFile(data() / "digits" / "_strings" / "w1.lab",
              " 0\t 1\t 41\t 0\tone_two\t\r\n 1\t 2\t 30\t 41\tthree\t\r\n 2\t 3\t 12\t");
    w.controls.optMode = ModeSpeechRecording;
    w.cmdNext_Click();
    w.controls.lstVocIndex = indexOf(w.controls.lstVoc, "digits");
    w.lstVoc_Click();
    w.optVocStr_Click(1);
    EXPECT_TRUE(w.controls.lstVocPrev.empty());
    ASSERT_EQ(w.controls.lstVocFilePrev, (std::vector<std::string>{"w1"}));
    w.controls.lstVocFilePrevIndex = 0;
    w.lstVocFilePrev_Click();
    EXPECT_EQ(w.controls.lstVocPrev, (std::vector<std::string>{"one_two", "three"}));

    // With words the recordings are no word strings: nothing is read.
    w.optVocStr_Click(0);
    EXPECT_EQ(w.controls.lstVocFilePrevIndex, -1);
    w.controls.lstVocFilePrevIndex = 0;
    w.lstVocFilePrev_Click();
    EXPECT_EQ(w.controls.lstVocPrev, (std::vector<std::string>{"one", "two", "three"}));
}

TEST_F(WizardFixture, ModelsButtonSaysWhenADirectoryHasNoModels)
{
    makeTree();
    for (int step = 0; step < 3; ++step) {
        fillPage(w, ModeHmmMatching, Vocab::Existing);
        w.cmdNext_Click();
    }
    ASSERT_EQ(w.currentPage(), PageWorkDir);
    EXPECT_TRUE(w.controls.cmdModelsVisible);
    EXPECT_FALSE(w.controls.optDirectoryNewEnabled);
    EXPECT_EQ(w.controls.workDirPrompt, 14);
    host.messages.clear();
    w.controls.lstWorkDirIndex = indexOf(w.controls.lstWorkDir, "dtw1");
    w.cmdModels_Click();
    EXPECT_EQ(w.workDir, "dtw1");
    EXPECT_EQ(host.messages, std::vector<std::string>{"There are no models in this subdirectory. Select another "
                                                      "subdirectory or train new models in a new subdirectory."});
    host.messages.clear();
    w.controls.lstWorkDirIndex = indexOf(w.controls.lstWorkDir, "hmm1");
    w.cmdModels_Click();
    EXPECT_EQ(w.workDir, "hmm1");
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(w.currentPage(), PageWorkDir);  // the button does not move the wizard

    // Only the HMM matching modes without word strings offer the button.
    struct Row {
        int mode;
        bool visible;
        int prompt;
    };
    for (const Row& row : {Row{2, false, 13}, Row{3, false, 5}, Row{5, true, 14}, Row{7, true, 14},
                           Row{8, false, 13}, Row{10, false, 5}, Row{12, false, 5}}) {
        SCOPED_TRACE(row.mode);
        w.mode = row.mode;
        w.SSTab1_Click(PageWorkDir);
        EXPECT_EQ(w.controls.cmdModelsVisible, row.visible);
        EXPECT_EQ(w.controls.workDirPrompt, row.prompt);
    }
}

TEST_F(WizardFixture, ExperimentFileRoundTripsEveryFeatureAndTheDefaultDescription)
{
    makeTree();
    w.mode = ModeDtwMatching;
    w.vocName = "digits";
    w.sourceFile = "s1";
    w.workDir = "dtw1";
    w.controls.lstRefSelected = {"s1", "s2"};
    w.controls.chkFeature.fill(true);
    const std::string description = w.controls.txtDescription;  // "Experimet description:" CR LF
    ASSERT_EQ(description, "Experimet description:\r\n");
    const std::string file = dir.path() + "/all.cfv";
    ASSERT_TRUE(w.Save_CFV(file));

    w.controls.chkFeature.fill(false);
    w.controls.txtDescription.clear();
    w.controls.lstRefSelected.clear();
    w.numFeat = 0;
    ASSERT_TRUE(w.Load_CFV(file));
    EXPECT_EQ(w.numFeat, 20);
    for (bool on : w.controls.chkFeature)
        EXPECT_TRUE(on);
    EXPECT_EQ(w.controls.txtDescription, description);
    EXPECT_EQ(w.controls.lstRefSelected, (std::vector<std::string>{"s1", "s2"}));
    EXPECT_EQ(w.report.lines().back(), "");
    EXPECT_NE(w.report.text().find(" Features: c1 c2 c3 c4 c5 c6 c7 c8 dc1 dc2 dc3 dc4 dc5 dc6 dc7 dc8 de dde svf ene "),
              std::string::npos);

    // A file that names no reference files leaves the selected list as it was.
    w.controls.lstRefSelected.clear();
    ASSERT_TRUE(w.Save_CFV(file));
    w.controls.lstRefSelected = {"kept"};
    ASSERT_TRUE(w.Load_CFV(file));
    EXPECT_EQ(w.controls.lstRefSelected, (std::vector<std::string>{"kept"}));

    // A missing file changes nothing and is no success.
    w.vocName = "keep";
    EXPECT_FALSE(w.Load_CFV(dir.path() + "/none.cfv"));
    EXPECT_EQ(w.vocName, "keep");
}

TEST_F(WizardFixture, ExperimentFileKeepsSeparatorDescriptionsAndEmptyNames)
{
    // A description that is one separator used to vanish on saving and shift
    // every later item; empty names are written "---" and read back empty.
    makeTree();
    for (const char* description : {" ", "\t", "\r\n", "", "---"}) {
        SCOPED_TRACE(testing::PrintToString(std::string(description)));
        w.mode = ModeDtwMatching;
        w.vocName = "";
        w.sourceFile = "";
        w.workDir = "";
        w.controls.lstRefSelected = {"s1"};
        w.controls.chkFeature.fill(false);
        w.controls.chkFeature[3] = true;
        w.controls.txtDescription = description;
        const std::string file = dir.path() + "/sep.cfv";
        ASSERT_TRUE(w.Save_CFV(file));
        w.vocName = "x";
        w.sourceFile = "y";
        w.workDir = "z";
        w.controls.chkFeature.fill(true);
        ASSERT_TRUE(w.Load_CFV(file)) << (host.messages.empty() ? "" : host.messages.back());
        EXPECT_EQ(w.controls.txtDescription, std::string(description) == "---" ? "" : description);
        EXPECT_EQ(w.mode, ModeDtwMatching);
        EXPECT_EQ(w.vocName, "");
        EXPECT_EQ(w.sourceFile, "");
        EXPECT_EQ(w.workDir, "");
        EXPECT_EQ(w.controls.lstRefSelected, (std::vector<std::string>{"s1"}));
        EXPECT_EQ(w.numFeat, 1);
        EXPECT_TRUE(w.controls.chkFeature[3]);
    }
}

TEST_F(WizardFixture, ExperimentFileWithUnsafeNamesIsRefused)
{
    makeTree();
    struct Row {
        const char* what;
        const char* voc;
        const char* source;
        const char* work;
        const char* ref;
    };
    const Row rows[] = {
        {"vocabulary up the tree", "../../../etc", "s1", "w1", "s1"},
        {"vocabulary with a separator", "a\\b", "s1", "w1", "s1"},
        {"source file with a path", "digits", "../x", "w1", "s1"},
        {"work directory that is the strings folder", "digits", "s1", "_STRINGS", "s1"},
        {"work directory dot dot", "digits", "s1", "..", "s1"},
        {"reference with a wildcard", "digits", "s1", "w1", "s*"},
        {"hidden reference", "digits", "s1", "w1", ".s1"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        const std::string text = std::string("\"Configuration File for TALVOR II\"\r\nDescription:\td\r\n") +
                                 "Working_mode:\t3\r\nTrue\r\nTrue\r\nVocabulary_name:\t" + r.voc +
                                 "\r\nSource_file:\t" + r.source + "\r\nWork_directory:\t" + r.work +
                                 "\r\nCount_of_ref._files:\t1\r\n" + r.ref + "\r\nFeatures:\r\n" +
                                 "1\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n";
        const std::string file = dir.path() + "/bad.cfv";
        writeFile(file, text);
        w.vocName = "keep";
        w.workDir = "keepdir";
        w.controls.lstRefSelected = {"kept"};
        host.messages.clear();
        EXPECT_FALSE(w.Load_CFV(file));
        ASSERT_EQ(host.messages.size(), 1u);
        EXPECT_NE(host.messages[0].find("cannot be used"), std::string::npos) << host.messages[0];
        EXPECT_EQ(w.vocName, "keep");
        EXPECT_EQ(w.workDir, "keepdir");
        EXPECT_EQ(w.controls.lstRefSelected, (std::vector<std::string>{"kept"}));
    }
}
