// Starting every operating mode from the End page against hosted controls that
// record their calls: the order of the calls, the files made under the program
// folder, the programs started, and where the wizard ends; then the working
// copies byte for byte, the reading of a model configuration, and every way a
// start can fail.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sys/stat.h>

#include "FakeControls.h"
#include "WizardFixture.h"
#include "common/FileNames.h"
#include "common/NumberText.h"
#include "common/ResultFile.h"
#include "common/StatwalkConfig.h"
#include "common/VocabularyFile.h"
#include "common/WordSetFile.h"

using namespace talvor;
using namespace talvor::workbench;
using namespace talvor::workbench::test;
namespace fs = std::filesystem;

namespace {

// Stored feature value of frame f, feature i of a recording: tells every
// frame and feature apart.
float storedValue(int recording, int frame, int feature)
{
    return float(recording * 10000 + frame * 100 + feature) + 0.25f;
}

struct LabWord {
    int number, label, length, offset;
};

std::string labText(const std::vector<LabWord>& words)
{
    std::string s;
    for (const LabWord& w : words)
        s += signedDecimal(std::int64_t(w.number)) + "\t" + signedDecimal(std::int64_t(w.label)) + "\t" + signedDecimal(std::int64_t(w.length)) + "\t" +
             signedDecimal(std::int64_t(w.offset)) + "\tword\t\r\n";
    return s;
}

std::string parBytes(int recording, int frames)
{
    std::string s;
    for (int f = 0; f < frames; ++f)
        for (int i = 0; i < 20; ++i) {
            const float v = storedValue(recording, f, i);
            char b[4];
            std::memcpy(b, &v, 4);
            s.append(b, 4);
        }
    return s;
}

// The recordings of the tree: s1 with a gap between its words (so .lab
// offsets are not running sums), s2 with one word.
const std::vector<LabWord> kS1{{0, 0, 3, 0}, {1, 2, 2, 30}};
const std::vector<LabWord> kS2{{0, 1, 4, 0}};

// Everything under a folder: relative path -> content ("<dir>" for folders).
std::map<std::string, std::string> snapshot(const fs::path& root)
{
    std::map<std::string, std::string> m;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        const std::string rel = fs::relative(e.path(), root).string();
        if (e.is_directory()) {
            m[rel] = "<dir>";
        } else {
            std::string bytes;
            readFileWhole(e.path().string(), &bytes);
            m[rel] = bytes;
        }
    }
    return m;
}

// The paths created or changed between two snapshots (removed ones with "-").
std::vector<std::string> changes(const std::map<std::string, std::string>& before,
                                 const std::map<std::string, std::string>& after)
{
    std::vector<std::string> out;
    for (const auto& [k, v] : after) {
        auto it = before.find(k);
        if (it == before.end() || it->second != v)
            out.push_back(k);
    }
    for (const auto& [k, v] : before)
        if (!after.count(k))
            out.push_back("-" + k);
    return out;
}

int indexOf(const std::vector<std::string>& list, const std::string& s)
{
    auto it = std::find(list.begin(), list.end(), s);
    return it == list.end() ? -1 : int(it - list.begin());
}

class RunModeFixture : public WizardFixture {
protected:
    FakeControls controls;
    std::vector<std::string> reportSeen;  // every report line shown while the test ran

    void SetUp() override
    {
        WizardFixture::SetUp();
        controls.log.appPath = dir.path();
        w.setControls(&controls.wavescope, &controls.dtw, &controls.chainview);
        host.onChange = [this] {
            for (const std::string& line : w.report.lines())
                if (!line.empty() && std::find(reportSeen.begin(), reportSeen.end(), line) == reportSeen.end())
                    reportSeen.push_back(line);
        };
    }

    bool sawReport(const std::string& text) const
    {
        return std::any_of(reportSeen.begin(), reportSeen.end(),
                           [&](const std::string& l) { return l.find(text) != std::string::npos; });
    }

    fs::path voc() const { return data() / "digits"; }

    // DATA/digits: three words, recordings s1 and s2 (.lab, .par, .rec), the
    // work directories dtw1 and hmm1 (trained with c1 and ene, 5 states, 2
    // mixtures), and the word-string recording w1.
    void makeRunTree()
    {
        writeFile(voc() / "digits.voc", " 3 \r\n0  one\r\n1  two\r\n2  three\r\n");
        writeFile(voc() / "s1.lab", labText(kS1));
        writeFile(voc() / "s1.par", parBytes(1, 60));
        writeFile(voc() / "s1.rec", std::string(60 * 160, '\0'));
        writeFile(voc() / "s2.lab", labText(kS2));
        writeFile(voc() / "s2.par", parBytes(2, 24));
        fs::create_directories(voc() / "dtw1");
        writeFile(voc() / "hmm1" / "STATWALK1.EDF", modelCopy());
        writeFile(voc() / "_strings" / "w1.lab", labText({{0, 0, 2, 0}}));
        writeFile(voc() / "_strings" / "w1.par", parBytes(3, 22));
    }

    static StatwalkConfig modelConfig()
    {
        StatwalkConfig c;
        c.mode = ModeHmmTraining;
        c.vocabulary = "digits";
        c.workDirectory = "hmm1";
        c.features[0] = c.features[19] = true;
        c.featureCount = 2;
        c.files = {"s1", "s2", "s3"};
        c.states = 5;
        c.mixtures = 2;
        return c;
    }
    static std::string modelCopy()
    {
        std::string text;
        EXPECT_TRUE(statwalkConfigText(modelConfig(), &text));
        return text;
    }

    // Saves an experiment of mode m (vocabulary digits, reference s1 and s2,
    // features c1 and ene) with a scratch wizard; returns its path.
    std::string experiment(int m, const std::string& work)
    {
        FakeHost h;
        FakePrograms p;
        ModuleState st;
        st.AppPath = dir.path();
        Wizard x(h, p, st);
        x.Form_Load();
        x.mode = m;
        x.vocName = "digits";
        x.sourceFile = "s1";
        x.workDir = work;
        x.controls.lstRefSelected = {"s1", "s2"};
        x.controls.chkFeature[0] = x.controls.chkFeature[19] = true;
        const std::string path = dir.path() + "/exp" + std::to_string(m) + ".cfv";
        EXPECT_TRUE(x.Save_CFV(path));
        return path;
    }

};

}  // namespace

namespace {

// How a row of the mode table walks the wizard.
struct Pass {
    int mode = 0;
    bool newVocabulary = false;   // mode 0: New, named "animals" with "cat" and "dog"
    bool wordStrings = false;     // word strings of an existing vocabulary
    std::string file;             // page 3: typed (mode 0) or chosen
    std::vector<std::string> refs;  // page 4
    std::string newDirectory;     // page 5: typed; else `workDir` chosen
    std::string workDir;
    std::string experiment;       // mode 13: the experiment file to load
    bool hide = false;            // page 8: hide the wizard (run-time output)
};

// Walks from page 0 to the End page, filling each page as a user would;
// false when a page stays.
bool walkTo(Wizard& w, const Pass& p, FakeHost& host)
{
    WizardControls& c = w.controls;
    for (int step = 0; step < 12 && w.currentPage() != PageEnd; ++step) {
        switch (w.currentPage()) {
        case PageBegin:
            c.optMode = p.mode;
            if (!p.experiment.empty())
                host.fileAnswers.push_back(p.experiment);
            break;
        case PageVocabulary:
            c.lstVocIndex = indexOf(c.lstVoc, "digits");
            w.lstVoc_Click();
            if (p.newVocabulary)
                w.optVocab_Click(1);
            if (p.wordStrings)
                w.optVocStr_Click(1);
            break;
        case PageNewVocabulary:
            if (c.optVocStr == 0) {
                c.txtVocName = "animals";
                w.txtVocName_Change();
                for (const char* word : {"cat", "dog"}) {
                    c.txtWord = word;
                    w.txtWord_Enter();
                }
            } else {
                c.lstStrTextIndex = 0;
                w.lstStrText_DblClick();
                c.lstStrTextIndex = 1;
                w.lstStrText_DblClick();
            }
            break;
        case PageFile:
            if (c.txtFileNameEnabled) {
                c.txtFileName = p.file;
                w.txtFileName_Change();
            } else {
                c.lstFilesIndex = indexOf(c.lstFiles, p.file);
            }
            break;
        case PageReferences:
            for (const std::string& r : p.refs) {
                c.lstRefAvailableIndex = indexOf(c.lstRefAvailable, r);
                w.cmdAdd_Click();
            }
            break;
        case PageWorkDir:
            if (!p.newDirectory.empty()) {
                w.optDirectory_Click(0);
                c.txtWorkDir = p.newDirectory;
            } else {
                w.optDirectory_Click(1);
                c.lstWorkDirIndex = indexOf(c.lstWorkDir, p.workDir);
            }
            break;
        case PageFeatures:
            c.chkFeature.fill(false);
            c.chkFeature[0] = c.chkFeature[19] = true;
            w.chkFeature_Click();
            break;
        case PageOther:
            c.chcRThide = p.hide;
            break;
        default:
            break;
        }
        const int before = w.currentPage();
        w.cmdNext_Click();
        if (w.currentPage() == before)
            return false;
    }
    return w.currentPage() == PageEnd;
}

struct ModeRow {
    const char* name;
    Pass pass;
    std::vector<std::string> calls;
    std::vector<std::string> files;  // created or changed under the program folder
    std::vector<std::string> started;
    int page;
    bool visible;
    std::string caption;
    bool timer;
    std::vector<std::string> report;  // lines shown on the way
};

const std::string kRt0 = "wavescope.SetRunTimeMode(0,result.txt,TALVOR recog,1025,0,127.0.0.1,11111,0,0)";
const std::string kRt1 = "wavescope.SetRunTimeMode(1,result.txt,TALVOR recog,1025,0,127.0.0.1,11111,0,0)";
const std::string kRt1Hide = "wavescope.SetRunTimeMode(1,result.txt,TALVOR recog,1025,0,127.0.0.1,11111,1,0)";
const std::string kHead1 = "wavescope.SetControls(dtw,chainview)";
const std::string kHead2 = "chainview.SetPruneTreshold(500)";
const std::string kHead3 = "wavescope.SetAppPath(APP)";
const std::string kMask = "100000000000000000010";  // c1 and ene, then the closing 0

std::vector<std::string> head(const std::string& rt) { return {kHead1, kHead2, kHead3, rt}; }
std::vector<std::string> plus(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const std::string kDesign = kDesignCaption;

}  // namespace

TEST_F(RunModeFixture, EveryModeStartsWithItsCallsFilesAndPrograms)
{
    const std::string s1 = "DATA/digits/dtw1/s1.", s2 = "DATA/digits/dtw1/s2.";
    const ModeRow rows[] = {
        {"0 with words", {.mode = 0, .file = "s3"}, plus(head(kRt0), {"wavescope.LoadMode(0,digits,s3,)"}), {}, {}, 0,
         true, kDesign, false, {}},
        {"0 with strings", {.mode = 0, .wordStrings = true, .file = "w2"},
         plus(head(kRt0), {"wavescope.SetNewVoc(one_two,1)", "wavescope.LoadMode(0,digits,w2,_strings/)"}), {}, {},
         0, true, kDesign, false, {}},
        {"0 with a new vocabulary", {.mode = 0, .newVocabulary = true, .file = "a1"},
         plus(head(kRt0), {"wavescope.LoadMode(0,animals,a1,)"}), {"DATA/animals", "DATA/animals/animals.voc"}, {}, 0,
         true, kDesign, false, {"New vocabulary and subdirectory animals has been created."}},
        {"1", {.mode = 1, .file = "s1"}, plus(head(kRt0), {"wavescope.LoadMode(1,digits,s1,)"}), {}, {}, 0, true,
         kDesign, false, {}},
        {"2", {.mode = 2, .file = "s1", .refs = {"s2"}, .workDir = "dtw1"},
         plus(head(kRt0), {"dtw.LoadMode(2,digits,dtw1,2," + kMask + ",s2,s1)", "dtw.LoadDTW()"}),
         {s1 + "LB", s1 + "PR", s2 + "LB", s2 + "PR"}, {}, 0, true, kDesign, false,
         {"Configuration structure has been created", "Making working copies of: s1  s2  "}},
        {"3 with a new directory", {.mode = 3, .refs = {"s1", "s2"}, .newDirectory = "hmm2"}, head(kRt0),
         {"DATA/digits/hmm2", "DATA/digits/hmm2/STATWALK1.EDF", "DATA/digits/hmm2/s1.LB", "DATA/digits/hmm2/s1.PR",
          "DATA/digits/hmm2/s2.LB", "DATA/digits/hmm2/s2.PR", "STATWALK1.EDF"},
         {"APP/statwalk1"}, 0, false, "Talvor Setup", true,
         {"Subdirectory hmm2 has been created.", "Configuration file 'STATWALK1.EDF' has been created",
          "Making working copies of: s1  s2  "}},
        {"3 existing", {.mode = 3, .refs = {"s2"}, .workDir = "dtw1"}, head(kRt0),
         {"DATA/digits/dtw1/STATWALK1.EDF", s2 + "LB", s2 + "PR", "STATWALK1.EDF"}, {"APP/statwalk1"}, 0, false,
         "Talvor Setup", true, {"Configuration file 'STATWALK1.EDF' has been created"}},
        {"4", {.mode = 4, .file = "s1", .workDir = "hmm1"}, head(kRt0),
         {"DATA/digits/hmm1/s1.LB", "DATA/digits/hmm1/s1.PR", "STATWALK2.EDF"}, {"APP/statwalk2"}, 0, false,
         "Talvor Setup", true, {"Configuration file 'STATWALK2.EDF' has been created", "Making working copies of: s1  "}},
        {"5", {.mode = 5, .file = "s1", .workDir = "hmm1"}, plus(head(kRt0), {"wavescope.LoadMode(5,digits,s1,hmm1)"}),
         {"DATA/digits/hmm1/s1.LB", "DATA/digits/hmm1/s1.PR", "STATWALK2.EDF"}, {"APP/statwalk2"}, 0, true, kDesign,
         false, {}},
        {"6", {.mode = 6, .file = "s1", .refs = {"s1", "s2"}, .workDir = "dtw1"},
         plus(head(kRt0), {"dtw.LoadMode(6,digits,dtw1,2," + kMask + ",s1|s2,s1)",
                           "wavescope.LoadMode(6,digits,s1,dtw1)"}),
         {s1 + "LB", s1 + "PR", s2 + "LB", s2 + "PR"}, {}, 0, true, kDesign, false, {}},
        {"7", {.mode = 7, .workDir = "hmm1"}, plus(head(kRt0), {"wavescope.LoadMode(7,digits,,hmm1)"}),
         {"STATWALK2.EDF"}, {"APP/statwalk2"}, 0, true, kDesign, false, {}},
        {"8", {.mode = 8, .refs = {"s1", "s2"}, .workDir = "dtw1"},
         plus(head(kRt0), {"dtw.LoadMode(8,digits,dtw1,2," + kMask + ",s1|s2,x)",
                           "wavescope.LoadMode(8,digits,x,dtw1)"}),
         {s1 + "LB", s1 + "PR", s2 + "LB", s2 + "PR"}, {}, 0, true, kDesign, false,
         {"Configuration structure has been created"}},
        {"10", {.mode = 10, .wordStrings = true, .file = "w1", .workDir = "hmm1"},
         plus(head(kRt0), {"chainview.LoadMode(10,digits,APP/DATA/digits/_strings/w1,w1,hmm1)",
                           "wavescope.LoadMode(10,digits,w1,digits/hmm1)"}),
         {}, {}, 0, true, kDesign, false, {}},
        {"11", {.mode = 11, .file = "s1", .workDir = "hmm1"},
         plus(head(kRt0), {"chainview.LoadMode(11,digits,,s1,hmm1)", "chainview.ShowChainview(1)"}), {}, {}, 0, true,
         kDesign, false, {}},
        {"12", {.mode = 12, .workDir = "hmm1"},
         plus(head(kRt1), {"chainview.LoadMode(12,digits,,,hmm1)", "wavescope.LoadMode(12,digits,,digits/hmm1)"}), {},
         {}, 0, true, kDesign, false, {}},
        {"13", {.mode = 13}, head(kRt0), {}, {}, 9, true, kDesign, false, {}},
        {"13 with a loaded mode-8 experiment", {.mode = 13, .experiment = "8"},
         plus(head(kRt1), {"dtw.LoadMode(8,digits,dtw1,2," + kMask + ",s1|s2,x)",
                           "wavescope.LoadMode(8,digits,x,dtw1)"}),
         {s1 + "LB", s1 + "PR", s2 + "LB", s2 + "PR"}, {}, 0, true, kDesign, false, {}},
        {"hidden", {.mode = 13, .experiment = "8", .hide = true},
         plus(head(kRt1Hide), {"dtw.LoadMode(8,digits,dtw1,2," + kMask + ",s1|s2,x)",
                               "wavescope.LoadMode(8,digits,x,dtw1)"}),
         {s1 + "LB", s1 + "PR", s2 + "LB", s2 + "PR"}, {}, 0, false, kDesign, false, {}},
    };
    makeRunTree();
    for (const ModeRow& row : rows) {
        SCOPED_TRACE(row.name);
        // A fresh program folder and wizard for every row.
        fs::remove_all(dir.path() + "/DATA");
        for (const char* f : {"STATWALK1.EDF", "STATWALK2.EDF"})
            fs::remove(dir.path() + "/" + f);
        makeRunTree();
        Pass pass = row.pass;
        if (!pass.experiment.empty())
            pass.experiment = experiment(std::stoi(pass.experiment), "dtw1");
        FakeHost h;
        h.onChange = [&] {};
        FakePrograms p;
        p.opensCaption = std::string("Statwalk in mode: ") + state.ModeNames(pass.mode);
        Wizard x(h, p, state);
        x.Form_Load();
        x.setControls(&controls.wavescope, &controls.dtw, &controls.chainview);
        reportSeen.clear();
        h.onChange = [&] {
            for (const std::string& line : x.report.lines())
                if (!line.empty() && std::find(reportSeen.begin(), reportSeen.end(), line) == reportSeen.end())
                    reportSeen.push_back(line);
        };
        ASSERT_TRUE(walkTo(x, pass, h)) << "stayed on page " << x.currentPage() << ": " << joined(h.messages);
        const auto before = snapshot(dir.path());
        controls.log.calls.clear();
        x.cmdNext_Click();
        EXPECT_EQ(h.messages, std::vector<std::string>{});
        EXPECT_EQ(controls.log.calls, row.calls);
        std::vector<std::string> changed = changes(before, snapshot(dir.path()));
        std::vector<std::string> want = row.files;
        std::sort(changed.begin(), changed.end());
        std::sort(want.begin(), want.end());
        EXPECT_EQ(changed, want);
        std::vector<std::string> started;
        for (std::string s : p.started)
            started.push_back("APP" + s.substr(dir.path().size()));
        EXPECT_EQ(started, row.started);
        EXPECT_EQ(x.currentPage(), row.page);
        EXPECT_EQ(h.visible, row.visible);
        EXPECT_EQ(h.restoreShown, row.pass.hide);
        EXPECT_EQ(h.windowCaption, row.caption);
        EXPECT_EQ(h.timerActive, row.timer);
        EXPECT_FALSE(x.busy());
        for (const std::string& line : row.report)
            EXPECT_TRUE(sawReport(line)) << line << " not in:\n" << joined(reportSeen, "\n");
        if (row.page == PageEnd)
            EXPECT_FALSE(x.controls.cmdNextEnabled);
    }
}

TEST_F(RunModeFixture, WordSetsHoldTheSelectedFeaturesOfEachWordAtRunningOffsets)
{
    makeRunTree();
    w.vocName = "digits";
    w.workDir = "dtw1";
    w.controls.chkFeature.fill(false);
    w.controls.chkFeature[1] = w.controls.chkFeature[8] = w.controls.chkFeature[19] = true;
    const std::vector<int> features{1, 8, 19};
    // An older, longer working copy is replaced whole.
    writeFile(voc() / "dtw1" / "s1.PR", std::string(4096, 'z'));
    writeFile(voc() / "dtw1" / "s1.LB", " 9 \r\n");

    std::string error;
    ASSERT_TRUE(w.MakeLbPrFiles("s1", &error)) << error;
    LabelFileContents lb;
    ASSERT_TRUE(readLabelFile((voc() / "dtw1" / "s1.LB").string(), &lb, &error)) << error;
    EXPECT_EQ(lb.count, 2);
    // Offsets are the running sums of the lengths, whatever the .lab says.
    EXPECT_EQ(lb.words, (std::vector<WordSetEntry>{{0, 0, 3, 0}, {1, 2, 2, 3}}));
    std::string text;
    readFileWhole((voc() / "dtw1" / "s1.LB").string(), &text);
    EXPECT_EQ(text, " 2 \r\n 0   0   3   0 \r\n 1   2   2   3 \r\n");

    // Each word's frames start behind its 10 stored margin frames.
    std::string expected;
    for (const LabWord& word : kS1)
        for (int f = 0; f < word.length; ++f)
            for (int i : features) {
                const float v = storedValue(1, word.offset + 10 + f, i);
                char b[4];
                std::memcpy(b, &v, 4);
                expected.append(b, 4);
            }
    std::string pr;
    ASSERT_TRUE(readFileWhole((voc() / "dtw1" / "s1.PR").string(), &pr));
    EXPECT_EQ(pr.size(), std::size_t(5 * 3 * 4));
    EXPECT_EQ(pr, expected);
    EXPECT_EQ(w.report.text(), "s1  ");

    // The 4-byte values go over as they are, whatever they hold.
    std::string par = parBytes(2, 24);
    const char nan[4] = {'\x01', '\x00', '\xa0', '\x7f'};  // a signalling NaN
    std::memcpy(&par[std::size_t((10 * 20 + 19) * 4)], nan, 4);
    writeFile(voc() / "s2.par", par);
    ASSERT_TRUE(w.MakeLbPrFiles("s2", &error)) << error;
    ASSERT_TRUE(readFileWhole((voc() / "dtw1" / "s2.PR").string(), &pr));
    EXPECT_EQ(pr.substr(8, 4), std::string(nan, 4));
}

TEST_F(RunModeFixture, WordSetsRefuseWhatWouldGiveAWrongCopy)
{
    makeRunTree();
    w.vocName = "digits";
    w.workDir = "dtw1";
    w.controls.chkFeature[0] = true;
    struct Row {
        const char* name;
        std::string lab;  // "" : no .lab file
        int parFrames;    // -1: no .par file
        const char* why;
    };
    const Row rows[] = {
        {"no .lab", "", 60, "s9.lab cannot be read."},
        {"no .par", labText({{0, 0, 3, 0}}), -1, "s9.par cannot be read."},
        {"offset beyond the .par", labText({{0, 0, 3, 0}, {1, 1, 3, 100}}), 60, "line 2 of s9.lab: the word's frames"},
        {"last frame one past the end", labText({{0, 0, 41, 10}}), 60, "line 1 of s9.lab: the word's frames"},
        {"negative offset", labText({{0, 0, 3, -11}}), 60, "line 1 of s9.lab: the word's frames"},
        {"length 0", labText({{0, 0, 0, 0}}), 60, "line 1 of s9.lab has a length below 1."},
        {"not a number", " 0\t one\t 3\t 0\tw\t\r\n", 60, "line 1 of s9.lab holds a cell that is not a whole number."},
        {"no words", "\r\n", 60, "s9.lab holds no words."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        fs::remove(voc() / "s9.lab");
        fs::remove(voc() / "s9.par");
        if (!row.lab.empty())
            writeFile(voc() / "s9.lab", row.lab);
        if (row.parFrames >= 0)
            writeFile(voc() / "s9.par", parBytes(9, row.parFrames));
        std::string error;
        EXPECT_FALSE(w.MakeLbPrFiles("s9", &error));
        EXPECT_NE(error.find(row.why), std::string::npos) << error;
        EXPECT_EQ(error.rfind("Cannot make the working copy of s9: ", 0), 0u) << error;
        EXPECT_FALSE(fs::exists(voc() / "dtw1" / "s9.LB"));
        EXPECT_FALSE(fs::exists(voc() / "dtw1" / "s9.PR"));
    }
    // The last frame exactly at the end is fine: 9 + 10 + 41 = 60 frames.
    writeFile(voc() / "s9.lab", labText({{0, 0, 41, 9}}));
    std::string error;
    EXPECT_TRUE(w.MakeLbPrFiles("s9", &error)) << error;
}

TEST_F(RunModeFixture, ModelConfigurationIsTakenWholeOrNotAtAll)
{
    makeRunTree();
    w.vocName = "digits";
    w.workDir = "hmm1";
    // A good copy sets the wizard and the dialog.
    ASSERT_TRUE(w.ReadModelEdf());
    EXPECT_EQ(w.numFeat, 2);
    EXPECT_EQ(w.nStates, 5);
    EXPECT_EQ(w.nMixtures, 2);
    std::array<bool, 20> mask{};
    mask[0] = mask[19] = true;
    EXPECT_EQ(w.controls.chkFeature, mask);
    EXPECT_EQ(w.modelParameters.chkFeature, mask);
    EXPECT_EQ(w.modelParameters.lblNumFiles, "Number of training files:  3");
    EXPECT_EQ(w.modelParameters.lblFiles, "s1  s2  s3  ");
    EXPECT_EQ(w.modelParameters.lblStates, "Number of states:  5");
    EXPECT_EQ(w.modelParameters.lblMixtures, "Number of mixtures:  2");
    EXPECT_EQ(w.modelParameters.lblFeatures, "Number of features:  2");

    // Broken copies change nothing.
    w.controls.chkFeature.fill(false);
    w.controls.chkFeature[4] = true;
    w.numFeat = 1;
    w.nStates = 8;
    w.nMixtures = 1;
    w.modelParameters = {};
    const auto unchanged = [&] {
        return w.numFeat == 1 && w.nStates == 8 && w.nMixtures == 1 && w.controls.chkFeature[4] &&
               std::count(w.controls.chkFeature.begin(), w.controls.chkFeature.end(), true) == 1 &&
               w.modelParameters.lblStates.empty();
    };
    const std::string good = modelCopy();
    // Cut after every item (every line end).
    for (std::size_t at = good.find("\r\n"); at != std::string::npos && at + 2 < good.size();
         at = good.find("\r\n", at + 2)) {
        SCOPED_TRACE("cut at " + std::to_string(at));
        writeFile(voc() / "hmm1" / "STATWALK1.EDF", good.substr(0, at + 2));
        EXPECT_FALSE(w.ReadModelEdf());
        EXPECT_TRUE(unchanged());
    }
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string t = good;
        t.replace(t.find(from), from.size(), to);
        return t;
    };
    const std::pair<const char*, std::string> broken[] = {
        {"count not a number", replaced("   3 \r\n  s1", "  three\r\n  s1")},
        {"feature count differs from the mask", replaced("features:\r\n   2 ", "features:\r\n   3 ")},
        {"no states", replaced("states:\r\n   5 ", "states:\r\n   0 ")},
        {"no mixtures", replaced("mixtures:\r\n   2 ", "mixtures:\r\n  -1 ")},
        {"mask too short", replaced("10000000000000000001", "1000000000000000001")},
        {"fewer names than counted", replaced("   3 \r\n  s1", "   4 \r\n  s1")},
    };
    for (const auto& [name, text] : broken) {
        SCOPED_TRACE(name);
        writeFile(voc() / "hmm1" / "STATWALK1.EDF", text);
        std::string why;
        EXPECT_FALSE(w.ReadModelEdf(&why));
        EXPECT_FALSE(why.empty());
        EXPECT_TRUE(unchanged());
    }
    // No copy at all: false and no reason beyond "no models".
    fs::remove(voc() / "hmm1" / "STATWALK1.EDF");
    std::string why = "x";
    EXPECT_FALSE(w.ReadModelEdf(&why));
    EXPECT_EQ(why, "");
    // A copy named in another letter case is found.
    writeFile(voc() / "hmm1" / "Statwalk1.edf", good);
    EXPECT_TRUE(w.ReadModelEdf());
}

TEST_F(RunModeFixture, ConfigurationFilesOfTheHmmPrograms)
{
    makeRunTree();
    w.mode = ModeHmmTraining;
    w.vocName = "digits";
    w.workDir = "dtw1";
    w.numFeat = 3;
    w.controls.chkFeature[0] = w.controls.chkFeature[8] = w.controls.chkFeature[19] = true;
    w.controls.lstRefSelected = {"s1", "s2", "s3"};
    std::string error;
    ASSERT_TRUE(w.MakeMarkovTrainEdf(&error)) << error;
    std::string main, copy;
    ASSERT_TRUE(readFileWhole(dir.path() + "/STATWALK1.EDF", &main));
    ASSERT_TRUE(readFileWhole((voc() / "dtw1" / "STATWALK1.EDF").string(), &copy));
    EXPECT_EQ(main, copy);
    EXPECT_EQ(main, "Operation Mode:\r\n   3 \r\nVocabulary:\r\n  digits\r\nWork Directory:\r\n  dtw1\r\n"
                    "Number of features:\r\n   3 \r\nFeatures:\r\n  10000000100000000001\r\n"
                    "Number of training files:\r\n   3 \r\n  s1\r\n  s2\r\n  s3\r\nNumber of states:\r\n   8 \r\n"
                    "Number of mixtures:\r\n   1 \r\n");
    EXPECT_EQ(w.report.text(), "Configuration file 'STATWALK1.EDF' has been created");

    // Recognition: the chosen file, or "X" in Speak & Recognize (HMM).
    for (int m : {ModeHmmMatching, ModeSpeakRecognizeHmm}) {
        w.mode = m;
        w.sourceFile = "s2";
        ASSERT_TRUE(w.MakeMarkovTestEdf(&error)) << error;
        StatwalkConfig c;
        ASSERT_TRUE(readStatwalkConfig(dir.path() + "/STATWALK2.EDF", &c, &error)) << error;
        EXPECT_EQ(c.kind, StatwalkKind::Recognition);
        EXPECT_EQ(c.files, std::vector<std::string>{m == ModeSpeakRecognizeHmm ? "X" : "s2"});
    }

    // A copy that cannot be written (the work directory is gone) fails, with
    // the report line of the file that was written and none for the copy.
    w.report.clear();
    w.mode = ModeHmmTraining;
    w.workDir = "gone";
    EXPECT_FALSE(w.MakeMarkovTrainEdf(&error));
    EXPECT_NE(error.find("gone"), std::string::npos) << error;
}

TEST_F(RunModeFixture, RunTimePageRefusesOutputsThatCannotWork)
{
    makeRunTree();
    fs::create_directories(dir.path() + "/results");
    // Names that are there already but are no regular files.
    ASSERT_EQ(::mkfifo((dir.path() + "/pipe").c_str(), 0600), 0);
    { std::ofstream(dir.path() + "/old.txt") << "one\r\n"; }
    fs::create_symlink(dir.path() + "/old.txt", dir.path() + "/link.txt");
    const std::size_t longest = longestResultFileName(dir.path());
    struct Row {
        const char* name;
        int kind;
        std::function<void(WizardControls&)> set;
        const char* problem;  // "" : accepted
    };
    const Row rows[] = {
        {"defaults, text file", 1, [](WizardControls&) {}, ""},
        {"defaults, window message", 2, [](WizardControls&) {}, ""},
        {"nine digits", 0, [](WizardControls& c) { c.txtConf = "999999999"; }, ""},
        {"ten digits", 0, [](WizardControls& c) { c.txtConf = "1000000000"; }, "at most 9 digits"},
        {"empty boxes read 0", 0, [](WizardControls& c) { c.txtConf.clear(); c.txtRunTimeMsg[2].clear(); }, ""},
        {"port of ten digits", 0, [](WizardControls& c) { c.txtRunTimeMsg[2] = "1234567890"; }, "at most 9 digits"},
        {"message 256", 2, [](WizardControls& c) { c.txtRunTimeMsg[0] = "256"; }, "1024 or more"},
        {"message 1023", 2, [](WizardControls& c) { c.txtRunTimeMsg[0] = "1023"; }, "1024 or more"},
        {"message 1024", 2, [](WizardControls& c) { c.txtRunTimeMsg[0] = "1024"; }, ""},
        {"message 26666", 2, [](WizardControls& c) { c.txtRunTimeMsg[0] = "26666"; }, "neither 26666 nor 26686"},
        {"message 26686", 2, [](WizardControls& c) { c.txtRunTimeMsg[0] = "26686"; }, "neither 26666 nor 26686"},
        {"empty message box", 2, [](WizardControls& c) { c.txtRunTimeMsg[0].clear(); }, "1024 or more"},
        {"no caption", 2, [](WizardControls& c) { c.txtRunTimeWind.clear(); }, "caption"},
        {"no file name", 1, [](WizardControls& c) { c.txtRunTimeFile.clear(); }, "type its name"},
        {"control character", 1, [](WizardControls& c) { c.txtRunTimeFile = "a\tb.txt"; }, "control character"},
        {"a folder", 1, [](WizardControls& c) { c.txtRunTimeFile = "RESULTS"; }, "is a folder"},
        {"ends in a slash", 1, [](WizardControls& c) { c.txtRunTimeFile = "new/"; }, "is a folder"},
        {"a named pipe", 1, [](WizardControls& c) { c.txtRunTimeFile = "pipe"; }, "is a named pipe, not a regular file"},
        {"a device", 1, [](WizardControls& c) { c.txtRunTimeFile = "/dev/null"; }, "is a device, not a regular file"},
        {"a link", 1, [](WizardControls& c) { c.txtRunTimeFile = "LINK.txt"; }, "is a symbolic link"},
        {"an earlier result", 1, [](WizardControls& c) { c.txtRunTimeFile = "old.txt"; }, ""},
        {"the longest name", 1, [&](WizardControls& c) { c.txtRunTimeFile = std::string(longest, 'n'); }, ""},
        {"a name too long", 1, [&](WizardControls& c) { c.txtRunTimeFile = std::string(longest + 1, 'n'); },
         "too long a name"},
        {"a name too long in a folder", 1,
         [&](WizardControls& c) { c.txtRunTimeFile = "results\\" + std::string(longest + 1, 'n'); }, "too long a name"},
        {"no output: the name is not looked at", 0, [](WizardControls& c) { c.txtRunTimeFile.clear(); }, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Wizard x(host, programs, state);
        x.Form_Load();
        x.runTimeMode = row.kind;
        x.controls.optRunTime = row.kind;
        row.set(x.controls);
        const std::string problem = x.runTimePageProblem();
        if (*row.problem == 0)
            EXPECT_EQ(problem, "");
        else
            EXPECT_NE(problem.find(row.problem), std::string::npos) << problem;
    }
    // The page says why and stays.
    w.controls.optMode = ModeRuntime;
    w.cmdNext_Click();  // page 8; the experiment dialog is cancelled
    ASSERT_EQ(w.currentPage(), PageOther);
    w.optRunTime_Click(2);
    w.controls.txtRunTimeMsg[0] = "256";
    host.messages.clear();
    w.cmdNext_Click();
    EXPECT_EQ(w.currentPage(), PageOther);
    ASSERT_EQ(host.messages.size(), 1u);
    w.controls.txtRunTimeMsg[0] = "1025";
    w.cmdNext_Click();
    EXPECT_EQ(w.currentPage(), PageEnd);
}

TEST_F(RunModeFixture, AStartThatFailsStopsAtTheFirstFailure)
{
    struct Row {
        const char* name;
        Pass pass;
        std::function<void()> before;  // after the walk, before Next on the End page
        std::string message;                          // shown (a part of it)
        std::vector<std::string> calls;               // every control call made
        std::vector<std::string> files;               // created or changed
        std::vector<std::string> started;
        int page;
    };
    const std::string pre = "Cannot make the working copy of ";
    const Row rows[] = {
        {"missing .PAR", {.mode = 2, .file = "s1", .refs = {"s2"}, .workDir = "dtw1"},
         [this] { fs::remove(voc() / "s2.par"); }, pre + "s2: ",
         plus(head(kRt0), {"dtw.LoadMode(2,digits,dtw1,2," + kMask + ",s2,s1)"}),
         {"DATA/digits/dtw1/s1.LB", "DATA/digits/dtw1/s1.PR"}, {}, PageEnd},
        {"offset beyond the .PAR", {.mode = 8, .refs = {"s1", "s2"}, .workDir = "dtw1"},
         [this] { writeFile(voc() / "s1.lab", labText({{0, 0, 3, 100}})); }, pre + "s1: line 1",
         plus(head(kRt0), {"dtw.LoadMode(8,digits,dtw1,2," + kMask + ",s1|s2,x)"}), {}, {}, PageEnd},
        {"existing vocabulary for New", {.mode = 0, .newVocabulary = true, .file = "a1"},
         [this] { fs::create_directories(data() / "Animals"); }, "The vocabulary animals exists already.",
         {kHead1, kHead2}, {}, {}, PageEnd},
        {"uncreatable new directory", {.mode = 3, .refs = {"s1"}, .newDirectory = "hmm2"},
         [this] { writeFile(voc() / "hmm2", "in the way"); }, "DATA/digits/hmm2: a file of that name is in the way.",
         {kHead1, kHead2}, {}, {}, PageEnd},
        {"control failing", {.mode = 2, .file = "s1", .refs = {"s2"}, .workDir = "dtw1"},
         [this] { controls.log.failures["dtw.LoadMode"] = "The vocabulary file is short."; },
         "The vocabulary file is short.", plus(head(kRt0), {"dtw.LoadMode(2,digits,dtw1,2," + kMask + ",s2,s1)"}), {},
         {}, PageEnd},
        {"analyser failing", {.mode = 8, .refs = {"s1"}, .workDir = "dtw1"},
         [this] { controls.log.failures["wavescope.SetRunTimeMode"] = "No."; }, "No.",
         {kHead1, kHead2, kHead3, kRt0}, {}, {}, PageEnd},
        {"statwalk missing", {.mode = 3, .refs = {"s1"}, .workDir = "dtw1"},
         [this] { programs.failWith = "No such file or directory"; },
         "Cannot start APP/statwalk1\r\nNo such file or directory", head(kRt0),
         {"DATA/digits/dtw1/STATWALK1.EDF", "DATA/digits/dtw1/s1.LB", "DATA/digits/dtw1/s1.PR", "STATWALK1.EDF"},
         {"APP/statwalk1"}, PageBegin},
        {"vocabulary gone", {.mode = 1, .file = "s1"}, [this] { fs::remove_all(voc()); },
         "The vocabulary digits does not exist.", {}, {}, {}, PageEnd},
        {"recording gone", {.mode = 6, .file = "s1", .refs = {"s2"}, .workDir = "dtw1"},
         [this] { fs::remove(voc() / "s2.lab"); },
         "The recording s2 does not exist in the vocabulary digits.", {}, {}, {}, PageEnd},
        {"new recording made meanwhile", {.mode = 0, .file = "s3"},
         [this] { writeFile(voc() / "S3.LAB", ""); },
         "The recording s3 exists already in the vocabulary digits.", {}, {}, {}, PageEnd},
        {"models gone", {.mode = 4, .file = "s1", .workDir = "hmm1"},
         [this] { fs::remove(voc() / "hmm1" / "STATWALK1.EDF"); },
         "There are no models in the work directory hmm1.", {}, {}, {}, PageEnd},
        {"no DTW comparer", {.mode = 8, .refs = {"s1"}, .workDir = "dtw1"},
         [this] { w.setControls(&controls.wavescope, nullptr, &controls.chainview); },
         "The DTW comparer is not part of this program.", {}, {}, {}, PageEnd},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        fs::remove_all(dir.path() + "/DATA");
        for (const char* f : {"STATWALK1.EDF", "STATWALK2.EDF"})
            fs::remove(dir.path() + "/" + f);
        makeRunTree();
        controls.log.failures.clear();
        programs = FakePrograms{};
        programs.opensCaption = std::string("Statwalk in mode: ") + state.ModeNames(row.pass.mode);
        w.setControls(&controls.wavescope, &controls.dtw, &controls.chainview);
        w.cmdPrevious_Click();
        host.messages.clear();
        ASSERT_TRUE(walkTo(w, row.pass, host)) << joined(host.messages);
        row.before();
        const auto before = snapshot(dir.path());
        controls.log.calls.clear();
        w.cmdNext_Click();
        ASSERT_EQ(host.messages.size(), 1u) << joined(host.messages);
        std::string shown = host.messages[0];
        for (std::size_t p; (p = shown.find(dir.path())) != std::string::npos;)
            shown.replace(p, dir.path().size(), "APP");
        EXPECT_NE(shown.find(row.message), std::string::npos) << shown;
        EXPECT_EQ(controls.log.calls, row.calls);
        std::vector<std::string> changed = changes(before, snapshot(dir.path()));
        std::vector<std::string> want = row.files;
        std::sort(changed.begin(), changed.end());
        std::sort(want.begin(), want.end());
        EXPECT_EQ(changed, want);
        std::vector<std::string> started;
        for (const std::string& s : programs.started)
            started.push_back("APP" + s.substr(dir.path().size()));
        EXPECT_EQ(started, row.started);
        EXPECT_EQ(w.currentPage(), row.page);
        // The wizard stays in view and can be used again.
        EXPECT_TRUE(host.visible);
        EXPECT_FALSE(host.timerActive);
        EXPECT_TRUE(w.controls.cmdNextEnabled);
        EXPECT_FALSE(w.busy());
        if (row.page == PageEnd && !row.calls.empty())
            EXPECT_EQ(w.report.lines().end()[-2].empty() ? w.report.lines().end()[-3] : w.report.lines().end()[-2],
                      host.messages[0]);
    }
}

TEST_F(RunModeFixture, ANewDirectoryThatExistsIsRefusedOnItsPage)
{
    makeRunTree();
    w.controls.optMode = ModeHmmTraining;
    w.cmdNext_Click();
    w.controls.lstVocIndex = indexOf(w.controls.lstVoc, "digits");
    w.cmdNext_Click();
    w.cmdRefData_Click(0);
    w.cmdNext_Click();
    ASSERT_EQ(w.currentPage(), PageWorkDir);
    for (const char* name : {"_Strings", "dtw1", "DTW1"}) {
        SCOPED_TRACE(name);
        host.messages.clear();
        w.optDirectory_Click(0);
        w.controls.txtWorkDir = name;
        w.cmdNext_Click();
        EXPECT_EQ(w.currentPage(), PageWorkDir);
        ASSERT_EQ(host.messages.size(), 1u);
        EXPECT_FALSE(w.newDirectoryThisPass());
    }
    EXPECT_EQ(host.messages[0], "The directory DTW1 exists already. Type another name.");
    w.controls.txtWorkDir = "fresh";
    w.cmdNext_Click();
    EXPECT_EQ(w.currentPage(), PageFeatures);
    EXPECT_TRUE(w.newDirectoryThisPass());
}

TEST_F(RunModeFixture, NewVocabularyAndDirectoryBelongToThePassThatChoseThem)
{
    makeRunTree();
    // Pass 1 makes the vocabulary animals.
    ASSERT_TRUE(walkTo(w, {.mode = 0, .newVocabulary = true, .file = "a1"}, host));
    EXPECT_TRUE(w.newVocabularyThisPass());
    w.cmdNext_Click();
    ASSERT_TRUE(fs::exists(data() / "animals" / "animals.voc"));
    EXPECT_FALSE(w.newVocabularyThisPass());
    // Pass 2 makes the work directory hmm2, but Begin again drops it.
    ASSERT_TRUE(walkTo(w, {.mode = 3, .refs = {"s1"}, .newDirectory = "hmm2"}, host));
    EXPECT_TRUE(w.newDirectoryThisPass());
    w.cmdPrevious_Click();
    EXPECT_FALSE(w.newDirectoryThisPass());
    // Pass 3, the run-time mode loading a mode-3 experiment: the New options
    // of earlier passes are still on, but nothing is created.
    const std::string exp = experiment(ModeHmmTraining, "dtw1");
    ASSERT_EQ(w.controls.optVocab, 0);
    programs.opensCaption = "Statwalk in mode: HMM Training";
    w.controls.optVocab = 1;     // as a literal option left over would be
    w.controls.optDirectory = 0;
    host.messages.clear();
    ASSERT_TRUE(walkTo(w, {.mode = 13, .experiment = exp}, host)) << joined(host.messages);
    const auto before = snapshot(dir.path());
    w.cmdNext_Click();
    EXPECT_EQ(host.messages, std::vector<std::string>{});
    EXPECT_FALSE(fs::exists(data() / "animals" / "hmm2"));
    EXPECT_FALSE(fs::exists(voc() / "hmm2"));
    std::vector<std::string> changed = changes(before, snapshot(dir.path()));
    EXPECT_EQ(changed, (std::vector<std::string>{"DATA/digits/dtw1/STATWALK1.EDF", "DATA/digits/dtw1/s1.LB",
                                                 "DATA/digits/dtw1/s1.PR", "DATA/digits/dtw1/s2.LB",
                                                 "DATA/digits/dtw1/s2.PR", "STATWALK1.EDF"}));
}

TEST_F(RunModeFixture, EndRequestsWaitUntilTheModeHasStarted)
{
    makeRunTree();
    ASSERT_TRUE(walkTo(w, {.mode = 1, .file = "s1"}, host));
    bool busyInside = false, endedInside = true;
    int pageInside = -1;
    controls.log.during["wavescope.LoadMode"] = [&] {
        busyInside = w.busy();
        w.Form_KeyDown(KeyEndProgram);  // the external program says: end
        w.cmdExit_Click();
        w.cmdNext_Click();              // ignored while busy
        endedInside = host.ended;
        pageInside = w.currentPage();
    };
    w.cmdNext_Click();
    EXPECT_TRUE(busyInside);
    EXPECT_FALSE(endedInside);
    EXPECT_EQ(pageInside, PageEnd);
    EXPECT_TRUE(host.ended);
    EXPECT_EQ(std::count(controls.log.calls.begin(), controls.log.calls.end(), "wavescope.LoadMode(1,digits,s1,)"), 1);
}

TEST_F(RunModeFixture, RestoreWindowBringsBackTheWizardAndTheAnalyser)
{
    makeRunTree();
    const std::string exp = experiment(ModeSpeakRecognizeDtw, "dtw1");
    ASSERT_TRUE(walkTo(w, {.mode = 13, .experiment = exp, .hide = true}, host));
    w.cmdNext_Click();
    EXPECT_FALSE(host.visible);
    EXPECT_TRUE(host.restoreShown);
    controls.log.calls.clear();
    w.frmV_DblClick();
    EXPECT_TRUE(host.visible);
    EXPECT_FALSE(host.restoreShown);
    EXPECT_EQ(controls.log.calls, std::vector<std::string>{"wavescope.ShowWavescope(1)"});
}

TEST_F(RunModeFixture, ModelsButtonShowsTheModelsParameters)
{
    makeRunTree();
    w.vocName = "digits";
    w.controls.lstWorkDir = {"dtw1", "hmm1"};
    w.controls.lstWorkDirIndex = 1;
    w.cmdModels_Click();
    EXPECT_EQ(host.modelDialogs, 1);
    EXPECT_EQ(w.modelParameters.lblNumFiles, "Number of training files:  3");
    EXPECT_EQ(w.nStates, 5);
    w.controls.lstWorkDirIndex = 0;
    w.cmdModels_Click();
    EXPECT_EQ(host.modelDialogs, 1);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0], "There are no models in this subdirectory. Select another subdirectory or train new "
                                "models in a new subdirectory.");
}

TEST_F(RunModeFixture, StartUpGivesEachControlTheProgramFolder)
{
    w.SetAppPathOnControls();
    EXPECT_EQ(controls.log.calls, (std::vector<std::string>{"dtw.SetAppPath(APP)", "chainview.SetAppPath(APP)",
                                                            "wavescope.SetAppPath(APP)"}));
    controls.log.failures["chainview.SetAppPath"] = "The viewer cannot start.";
    w.SetAppPathOnControls();
    EXPECT_EQ(host.messages, std::vector<std::string>{"The viewer cannot start."});
}
