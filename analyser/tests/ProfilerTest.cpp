// The analyser window's logic, headless: mode set-up, the recording cycle,
// keys, playback, token files, storing and leaving.
#include "ProfilerFakes.h"

#include "common/FileNames.h"
#include "common/WordSetFile.h"
#include "worddata/WordDataStore.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace talvor::analyser::test {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> filesUnder(const std::string& folder)
{
    std::vector<std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        out.push_back(e.path().string() + "@" + std::to_string(e.is_regular_file() ? fs::file_size(e.path()) : 0));
    std::sort(out.begin(), out.end());
    return out;
}

// ---------------------------------------------------------------------------
// Mode set-up

TEST(SetProfilerMode, EachModeLaysOutItsWindow)
{
    struct Row {
        int mode;
        std::vector<int> flags;  // Next, Repeat, Play, Save, DTW, HMM, TALVOR
        const char* repeat;
        const char* next;
        int repeatSlot, stopSlot;
        bool list, say, word;
        const char* wordText;
    };
    // Modes 2, 3, 4, 9, 11 keep the start-up buttons (only TALVOR... off: the
    // start-up SetCmd leaves every button but Exit off).
    const std::vector<int> startUp{0, 0, 0, 0, 0, 0, 0};
    const Row rows[] = {
        {0, {1, 0, 0, 0, 0, 0, 0}, "&Repeat", "&Next word", 1, 0, false, true, true, " "},
        {1, {1, 1, 1, 0, 0, 0, 1}, "Pre&vious", "&Next word", 1, 0, true, true, false, " "},
        {2, startUp, "&Repeat", "&Next word", 1, 0, false, true, true, " "},
        {3, startUp, "&Repeat", "&Next word", 1, 0, false, true, true, " "},
        {4, startUp, "&Repeat", "&Next word", 1, 0, false, true, true, " "},
        {5, {1, 1, 1, 0, 0, 1, 1}, "Pre&vious", "&Next word", 1, 0, true, true, false, " "},
        {6, {1, 1, 1, 0, 1, 0, 1}, "Pre&vious", "&Next word", 1, 0, true, true, false, " "},
        {7, {0, 1, 0, 0, 0, 0, 1}, "Sp&eak", "S&top", 0, 1, false, true, true, " "},
        {8, {0, 1, 0, 0, 0, 0, 1}, "Sp&eak", "S&top", 0, 1, false, true, true, " "},
        {9, startUp, "&Repeat", "&Next word", 1, 0, false, true, true, " "},
        {10, {1, 1, 1, 0, 0, 1, 1}, "Pre&vious", "&Next word", 1, 0, true, false, false, " "},
        {11, startUp, "&Repeat", "&Next word", 1, 0, false, true, true, " "},
        {12, {0, 1, 0, 0, 0, 0, 1}, "Sp&eak", "S&top", 0, 1, false, false, true, "Press 'SPEAK' button"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE("mode " + std::to_string(r.mode));
        Rig rig;
        rig.host.windows[rig.statwalk(5)] = 900;
        rig.host.windows[rig.statwalk(7)] = 901;
        ASSERT_TRUE(rig.setMode(r.mode).ok);
        const Profiler& p = rig.profiler;
        EXPECT_EQ(p.profilerMode, r.mode);
        EXPECT_EQ(p.caption, "Wavescope in mode: " + modeNameTable(r.mode));
        EXPECT_EQ(rig.flags(), r.flags);
        EXPECT_EQ(p.buttons[BtnRepeat].caption, r.repeat);
        EXPECT_EQ(p.buttons[BtnNext].caption, r.next);
        EXPECT_EQ(p.buttons[BtnRepeat].slot, r.repeatSlot);
        EXPECT_EQ(p.buttons[BtnStop].slot, r.stopSlot);
        EXPECT_EQ(p.buttons[BtnNext].slot, r.stopSlot);
        EXPECT_FALSE(p.buttons[BtnExit].visible);
        EXPECT_FALSE(p.buttons[BtnExit].enabled);
        EXPECT_EQ(p.wordListVisible, r.list);
        EXPECT_EQ(p.lblSay.visible, r.say);
        EXPECT_EQ(p.lblWord.visible, r.word);
        if (r.mode != 1 && r.mode != 5 && r.mode != 6 && r.mode != 10)
            EXPECT_EQ(p.lblWord.text, r.wordText);
        EXPECT_EQ(p.status, StatusNoToken);
        // Only mode 0 with the vocabulary folder limits words to 130 frames.
        EXPECT_EQ(rig.engine.maxFrames.back(), r.mode == 0 ? 130 : 0);
        // The recogniser's window is hidden in modes 5 and 7.
        EXPECT_EQ(rig.host.hidden, r.mode == 5 ? std::vector<std::uint32_t>{900}
                                   : r.mode == 7 ? std::vector<std::uint32_t>{901}
                                                 : std::vector<std::uint32_t>{});
    }
}

TEST(SetProfilerMode, ModeZeroPromptsAndListsTheVocabulary)
{
    Rig rig;
    ASSERT_TRUE(rig.setMode(0).ok);
    ASSERT_EQ(rig.host.boxes.size(), 1u);
    EXPECT_EQ(rig.host.boxes[0].text,
              "The Wavescope is ready to record\r\none   repetition  of  the  vocabulary.\r\n"
              "After  pressing  the  Next word button\r\nyou  wil  be  prompted  to say a word.");
    EXPECT_EQ(rig.host.boxes[0].icon, BoxIcon::Information);
    EXPECT_EQ(rig.profiler.wordList, rig.folder.words);
    EXPECT_EQ(rig.profiler.itemIndex, -1);
}

TEST(SetMode, FeatureSelectionComesFromTheModelsOrTheComparer)
{
    for (int mode : {7, 10, 12}) {
        SCOPED_TRACE(mode);
        Rig rig;
        ASSERT_TRUE(rig.setMode(mode).ok);
        FeatureSelection want{};
        want[0] = want[19] = true;
        EXPECT_EQ(rig.profiler.selFeat, want);
    }
    Rig rig;
    rig.dtw.features[3] = true;
    ASSERT_TRUE(rig.setMode(8).ok);
    FeatureSelection want{};
    want[3] = true;
    EXPECT_EQ(rig.profiler.selFeat, want);
    EXPECT_EQ(rig.dtw.calls, std::vector<std::string>{"LoadDTW"});
    EXPECT_EQ(rig.profiler.wordList, rig.folder.words);
    EXPECT_EQ(rig.profiler.listIndex, 0);
}

TEST(SetMode, RefusalsShowAMessageAndChangeNothing)
{
    struct Row {
        const char* name;
        int mode;
        const char* vName;
        const char* lName;
        const char* wParh;
        std::function<void(Rig&)> setup;
        const char* says;  // part of the message
    };
    const Row rows[] = {
        {"mode out of range", 14, "digits", "a", "", nullptr, "mode 14"},
        {"negative mode", -1, "digits", "a", "", nullptr, "mode -1"},
        {"vocabulary with a path", 0, "../etc", "a", "", nullptr, "Vocabulary name"},
        {"label with a separator", 0, "digits", "a/b", "", nullptr, ""},
        {"recording folder not _strings", 1, "digits", "a", "work1", nullptr, "_strings"},
        {"work folder climbing", 8, "digits", "", "..", nullptr, ""},
        {"strings path without vocabulary", 12, "digits", "", "work1", nullptr, "vocabulary/work directory"},
        {"strings path with a bad work folder", 10, "digits", "s", "digits/../x", nullptr, ""},
        {"missing STATWALK1.EDF", 7, "digits", "", "work1",
         [](Rig& r) { fs::remove(resolveFileName(r.folder.tree.modelConfigCopy("digits", "work1"))); },
         "is missing"},
        {"ninth item not Features:", 10, "digits", "s", "digits/work1",
         [](Rig& r) {
             writeFileWhole(r.folder.tree.modelConfigCopy("digits", "work1"),
                            "Operation Mode:\r\n  7 \r\nVocabulary:\r\n  digits\r\nWork Directory:\r\n  work1\r\n"
                            "Number of features:\r\n  2 \r\nFeaturez:\r\n  10000000000000000001\r\n");
         },
         "\"Features:\""},
        {"short mask", 12, "", "", "digits/work1",
         [](Rig& r) {
             writeFileWhole(r.folder.tree.modelConfigCopy("digits", "work1"),
                            "Operation Mode:\r\n  7 \r\nVocabulary:\r\n  digits\r\nWork Directory:\r\n  work1\r\n"
                            "Number of features:\r\n  2 \r\nFeatures:\r\n  1001\r\n");
         },
         "20 characters"},
        {"empty vocabulary (mode 8)", 8, "digits", "", "work1",
         [](Rig& r) { writeFileWhole(r.folder.tree.vocabularyFile("digits"), " 0 \r\n"); }, "no words"},
        {"empty vocabulary (mode 0)", 0, "digits", "take", "",
         [](Rig& r) { writeFileWhole(r.folder.tree.vocabularyFile("digits"), " 0 \r\n"); }, "no words"},
        {"missing vocabulary (mode 7)", 7, "nodigits", "", "work1", nullptr, "nodigits"},
        {"no DTW comparer", 8, "digits", "", "work1", [](Rig& r) { r.profiler.uDTW = nullptr; }, "DTW comparer"},
        {"no HMM viewer", 12, "digits", "", "digits/work1", [](Rig& r) { r.profiler.uChainview = nullptr; },
         "HMM viewer"},
        {"comparer cannot load", 6, "digits", "a", "", [](Rig& r) { r.dtw.loadFails = true; }, "no word sets"},
        {"no program folder", 8, "digits", "", "work1", [](Rig& r) { r.module.AppPath.clear(); }, "SetAppPath"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Rig rig;
        ASSERT_TRUE(rig.setMode(8).ok);  // a mode in place before
        if (r.setup)
            r.setup(rig);
        const auto before = filesUnder(rig.folder.dir.path());
        const auto boxes = rig.host.boxes.size();
        const std::string caption = rig.profiler.caption;
        const ControlResult result = rig.profiler.SetMode(r.mode, r.vName, r.lName, r.wParh);
        EXPECT_FALSE(result.ok);
        ASSERT_EQ(rig.host.boxes.size(), boxes + 1);
        EXPECT_NE(rig.host.boxes.back().text.find(r.says), std::string::npos) << rig.host.boxes.back().text;
        EXPECT_EQ(result.error, rig.host.boxes.back().text);
        EXPECT_EQ(rig.profiler.profilerMode, 8);
        EXPECT_EQ(rig.profiler.caption, caption);
        EXPECT_EQ(filesUnder(rig.folder.dir.path()), before);
    }
}

TEST(SetMode, AcceptsTheHostsArgumentForms)
{
    // Word strings are recorded into "_strings", which the host passes with a
    // separator after it; pick and match reads the vocabulary folder whatever
    // work folder comes with it.
    Rig rig;
    rig.profiler.SetNewVoc({"one two", "three four"}, 2);
    ASSERT_TRUE(rig.profiler.SetMode(0, "digits", "strings1", "_strings/").ok);
    EXPECT_EQ(rig.profiler.pathWork, "_strings");
    EXPECT_EQ(rig.profiler.wordList, (std::vector<std::string>{"one two", "three four"}));
    EXPECT_EQ(rig.profiler.lblWordFontSize, 8);
    EXPECT_EQ(rig.engine.maxFrames.back(), 0);  // strings are not limited to 130 frames
    rig.profiler.cmdNext_Click();
    rig.speak({});
    rig.profiler.cmdSave_Click();
    EXPECT_TRUE(fs::exists(joinPath(rig.folder.tree.stringsFolder("digits"), "strings1.lab")));

    // Only the recorded string was saved.
    ASSERT_TRUE(rig.profiler.SetMode(1, "digits", "strings1", "_strings\\").ok);
    EXPECT_EQ(rig.profiler.wordList, std::vector<std::string>{"one two"});
    ASSERT_TRUE(rig.profiler.SetMode(5, "digits", "take1", "work1").ok);
    ASSERT_TRUE(rig.profiler.SetMode(10, "digits", "strings1", "digits/work1").ok);
    EXPECT_EQ(rig.profiler.wordList, std::vector<std::string>{"one two"});
}

TEST(SetMode, StopsAListeningStillRunning)
{
    Rig rig;
    ASSERT_TRUE(rig.setMode(8).ok);
    rig.profiler.cmdRepeat_Click();
    ASSERT_TRUE(rig.profiler.listening());
    ASSERT_TRUE(rig.setMode(7).ok);
    EXPECT_FALSE(rig.profiler.listening());
    EXPECT_EQ(rig.engine.running, 0);
    // A late notification of the old listening is no token.
    rig.profiler.Form_KeyDown(TokenKeyDone);
    EXPECT_EQ(rig.engine.count("GetTokenParam"), 0);
}

TEST(CopyIntegerBlock, CopiesUpOrDownAndRefusesRangesOutside)
{
    struct Row {
        const char* name;
        std::int64_t dstStart, count, srcStart;
        bool ok;
        std::vector<std::int16_t> after;  // of the array {1, 2, 3, 4, 5, 6}, copied onto itself
    };
    const Row rows[] = {
        {"rising, apart", 3, 2, 0, true, {1, 2, 3, 1, 2, 6}},
        {"rising, overlapping upward smears", 1, 3, 0, true, {1, 1, 1, 1, 5, 6}},
        {"falling, overlapping upward moves", 1, -3, 0, true, {1, 1, 2, 3, 5, 6}},
        {"nothing", 0, 0, 3, true, {1, 2, 3, 4, 5, 6}},
        {"past the end", 4, 3, 0, false, {1, 2, 3, 4, 5, 6}},
        {"before the start", 0, 2, -1, false, {1, 2, 3, 4, 5, 6}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        std::vector<std::int16_t> a{1, 2, 3, 4, 5, 6};
        EXPECT_EQ(CopyIntegerBlock(a, r.dstStart, r.count, a, r.srcStart), r.ok);
        EXPECT_EQ(a, r.after);
    }
}

// ---------------------------------------------------------------------------
// Token files

TEST(SaveLbPr, WritesTheTokenFromItsStartFrame)
{
    struct Row {
        std::int32_t wStart, wStop;
        std::vector<int> features;
    };
    const Row rows[] = {{10, 60, {0, 19}}, {14, 60, {0, 19}}, {10, 25, {}}, {12, 40, {1, 2, 3}}};
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.wStart) + ".." + std::to_string(r.wStop));
        Rig rig;
        ASSERT_TRUE(rig.setMode(8).ok);
        // An older, longer x.pr leaves nothing behind.
        writeFileWhole(joinPath(rig.folder.work(), "x.pr"), std::string(5000, 'z'));
        rig.profiler.selFeat.fill(false);
        for (int j : r.features)
            rig.profiler.selFeat[std::size_t(j)] = true;
        rig.profiler.cmdRepeat_Click();
        rig.speak({0, r.wStart, r.wStop, 2000, 6000});
        std::string lb, pr;
        ASSERT_TRUE(readFileWhole(joinPath(rig.folder.work(), "x.lb"), &lb));
        ASSERT_TRUE(readFileWhole(joinPath(rig.folder.work(), "x.pr"), &pr));
        // The two lines, then the stamp that ties x.pr to this x.lb.
        const std::string lines = " 1 \r\n 1  0  " + std::to_string(r.wStop - r.wStart) + "  0 \r\n";
        EXPECT_EQ(lb.substr(0, lines.size()), lines);
        EXPECT_EQ(lb.substr(lines.size(), 6), "stamp ");
        const std::size_t valueBytes = 4 * std::size_t(r.wStop - r.wStart) * r.features.size();
        ASSERT_EQ(pr.size(), valueBytes + 16);
        EXPECT_EQ(pr.substr(valueBytes, 4), "TKST");
        const std::vector<float> values = parseFeatureFile(pr.substr(0, valueBytes));
        WordSet token;
        std::string err;
        ASSERT_TRUE(readWordSet(joinPath(rig.folder.work(), "x.lb"), joinPath(rig.folder.work(), "x.pr"),
                                std::int32_t(r.features.size()), &token, &err, 1))
            << err;
        EXPECT_EQ(token.values, values);
        std::size_t k = 0;
        for (int f = r.wStart; f < r.wStop; ++f)
            for (int j : r.features)
                ASSERT_EQ(values[k++], featureValue(f, j));
    }
    EXPECT_EQ(tokenLabelText(50), " 1 \r\n 1  0  50  0 \r\n");
}

TEST(SaveLbPr, ExampleTokenGivesFourHundredBytes)
{
    Rig rig;
    ASSERT_TRUE(rig.setMode(7).ok);  // features 0 and 19 from the models
    rig.profiler.cmdRepeat_Click();
    rig.speak({0, 10, 60, 2000, 6000});
    std::string pr;
    ASSERT_TRUE(readFileWhole(joinPath(rig.folder.work(), "x.pr"), &pr));
    EXPECT_EQ(pr.size(), 400u + 16u);  // 50 frames of 8 bytes, then the stamp's trailer
    EXPECT_EQ(pr.substr(400, 4), "TKST");
}

// ---------------------------------------------------------------------------
// The recording cycle

struct RecordedRow {
    int mode;
    std::int32_t status;
    int rt;
};

TEST(Recorded, PerModeStatusAndRunTime)
{
    for (int mode : {0, 7, 8, 12})
        for (std::int32_t status : {0, 1, -1, -2})
            for (int rt : {0, 1, 2}) {
                if (mode == 0 && rt > 0)
                    continue;  // recording a vocabulary is never run-time recognition
                SCOPED_TRACE("mode " + std::to_string(mode) + " status " + std::to_string(status) + " rt " +
                             std::to_string(rt));
                Rig rig;
                rig.host.windows[rig.statwalk(7)] = 901;
                rig.module.runTime.RTmode = rt;
                ASSERT_TRUE(rig.setMode(mode).ok);
                if (mode == 0)
                    rig.profiler.cmdNext_Click();  // item 0, listening
                else
                    rig.profiler.cmdRepeat_Click();
                ASSERT_TRUE(rig.profiler.listening());
                EXPECT_EQ(rig.profiler.status, StatusNoToken);
                EXPECT_EQ(rig.flags(), std::vector<int>(7, 0));
                EXPECT_TRUE(rig.profiler.buttons[BtnStop].visible);
                EXPECT_FALSE(rig.profiler.buttons[BtnNext].visible);
                rig.view.calls.clear();
                rig.host.sent.clear();

                rig.speak({status, 10, 60, 2000, 6000});
                const Profiler& p = rig.profiler;
                EXPECT_EQ(p.status, rt > 0 ? StatusNoToken : status)
                    << "listening again sets 10";
                const bool ok = status == 0;
                // Panes: the token shown, or the wave redrawn over cleared panes.
                EXPECT_EQ(rig.view.calls.front(), ok ? "Display" : "clearPanes");
                const bool wrote = fs::exists(joinPath(rig.folder.work(), "x.lb"));
                EXPECT_EQ(wrote, ok && (mode == 7 || mode == 8));
                // Sends to the recogniser: only mode 7 with a token.
                EXPECT_EQ(rig.host.sent.size(), ok && mode == 7 ? 1u : 0u);
                if (!rig.host.sent.empty()) {
                    EXPECT_EQ(rig.host.sent[0].msg, StatwalkCommand);
                    EXPECT_EQ(rig.host.sent[0].wParam, CommandRecognise);
                    EXPECT_TRUE(p.waitingResult);
                } else {
                    EXPECT_FALSE(p.waitingResult);
                }
                EXPECT_EQ(rig.dtw.count_recognise(), ok && mode == 8 ? 1 : 0);
                EXPECT_EQ(rig.chainview.calls.size(), ok && mode == 12 ? 1u : 0u);
                // Run-time recognition listens again; otherwise the buttons of the table.
                const bool again = rt > 0;
                EXPECT_EQ(p.listening(), again);
                if (again) {
                    EXPECT_EQ(rig.flags(), std::vector<int>(7, 0));
                    continue;
                }
                std::vector<int> want;
                switch (mode) {
                case 0: want = ok ? std::vector<int>{1, 1, 1, 1, 0, 0, 0} : std::vector<int>{0, 1, 1, 1, 0, 0, 1}; break;
                case 7: want = ok ? std::vector<int>{0, 1, 1, 0, 0, 1, 1} : std::vector<int>{0, 1, 0, 0, 0, 0, 1}; break;
                case 8: want = ok ? std::vector<int>{0, 1, 1, 0, 1, 0, 1} : std::vector<int>{0, 1, 0, 0, 0, 0, 1}; break;
                case 12: want = ok ? std::vector<int>{0, 1, 1, 0, 0, 1, 1} : std::vector<int>{0, 1, 0, 0, 0, 0, 1}; break;
                }
                EXPECT_EQ(rig.flags(), want);
                EXPECT_FALSE(p.buttons[BtnStop].visible);
                if (mode == 8 && ok) {
                    EXPECT_EQ(p.lblSay.text, "Recognized: ");
                    EXPECT_EQ(p.lblWord.text, "three");
                    EXPECT_EQ(p.lblWord.color, kDarkBlue);
                    EXPECT_EQ(p.wIndex, 3);
                }
                if (mode == 12)
                    EXPECT_EQ(p.lblWord.text, ok ? "one two" : "No word: " + p.noWordReason() + ".  Press 'SPEAK' button");
                if (mode == 0)
                    EXPECT_EQ(p.lblSay.text, ok ? "WORD: " : "No word: ");
            }
}

TEST(Recorded, WordRecordsStartTenFramesBeforeTheToken)
{
    // mode 12 hands the HMM viewer frames wStart - 10 .. wStop + 9 and the
    // samples from startSample - 800: features and samples stay in step.
    for (std::int32_t wStart : {10, 14}) {
        SCOPED_TRACE(wStart);
        Rig rig;
        ASSERT_TRUE(rig.setMode(12).ok);
        rig.profiler.cmdRepeat_Click();
        const std::int32_t startSample = 800 + wStart * 80;
        rig.speak({0, wStart, 60, startSample, startSample + (60 - wStart + 1) * 80});
        const FakeChainview& c = rig.chainview;
        ASSERT_EQ(c.lastFrames, 60 - wStart + 20);
        ASSERT_EQ(c.lastV.size(), std::size_t(c.lastFrames) * 20);
        ASSERT_EQ(c.lastS.size(), std::size_t(c.lastFrames) * 80);
        EXPECT_EQ(c.lastV[0], featureValue(wStart - 10, 0));
        EXPECT_EQ(c.lastV[10 * 20 + 19], featureValue(wStart, 19));
        EXPECT_EQ(c.lastS[0], sampleValue(startSample - 800));
        EXPECT_EQ(c.lastS[800], sampleValue(startSample));
        EXPECT_EQ(c.lastI, 1);
        EXPECT_EQ(c.lastName, "");
    }
}

TEST(Recorded, NothingRecognisedShowsAnEmptyWord)
{
    Rig rig;
    rig.module.runTime.RTmode = 0;
    rig.dtw.answer = -1;
    ASSERT_TRUE(rig.setMode(8).ok);
    rig.profiler.cmdRepeat_Click();
    rig.speak({});
    EXPECT_EQ(rig.profiler.lblSay.text, "Recognized: ");
    EXPECT_EQ(rig.profiler.lblWord.text, "");
    EXPECT_EQ(rig.profiler.wIndex, -1);
}

TEST(Recorded, AFailedTokenFileWriteCountsAsAFailedToken)
{
    for (int mode : {7, 8}) {
        SCOPED_TRACE(mode);
        Rig rig;
        rig.host.windows[rig.statwalk(7)] = 901;
        rig.module.runTime.RTmode = 2;
        ASSERT_TRUE(rig.setMode(mode).ok);
        fs::remove_all(rig.folder.work());  // the work folder went
        rig.profiler.cmdRepeat_Click();
        const auto boxes = rig.host.boxes.size();
        rig.speak({});
        ASSERT_EQ(rig.host.boxes.size(), boxes + 1);
        EXPECT_NE(rig.host.boxes.back().text.find("could not be written"), std::string::npos);
        EXPECT_TRUE(rig.host.sent.empty());
        EXPECT_EQ(rig.dtw.count_recognise(), 0);
        EXPECT_EQ(rig.flags(), (std::vector<int>{0, 1, 0, 0, 0, 0, 1}));
        EXPECT_FALSE(rig.profiler.listening());  // the run-time loop ends: one box, not one per word
    }
}

TEST(Recorded, RunTimeWithoutARecogniserEndsAfterOneMessage)
{
    Rig rig;
    rig.module.runTime.RTmode = 2;
    ASSERT_TRUE(rig.setMode(7).ok);
    rig.profiler.cmdRepeat_Click();
    rig.host.boxes.clear();
    rig.speak({});
    ASSERT_EQ(rig.host.boxes.size(), 1u);
    EXPECT_EQ(rig.host.boxes[0].text, "Cannot find window  Statwalk in mode: Speak & Recognize (HMM)");
    EXPECT_FALSE(rig.profiler.listening());
    EXPECT_FALSE(rig.profiler.waitingResult);
}

TEST(Recorded, StopInRunTimeFinishesTheUtteranceThenEnds)
{
    Rig rig;
    rig.module.runTime.RTmode = 2;
    ASSERT_TRUE(rig.setMode(8).ok);
    rig.profiler.cmdRepeat_Click();
    rig.profiler.cmdStop_Click();
    EXPECT_TRUE(rig.profiler.listening());  // the utterance goes on
    EXPECT_EQ(rig.profiler.status, StatusNoToken);
    rig.speak({});
    EXPECT_EQ(rig.dtw.count_recognise(), 1);  // still recognised
    EXPECT_FALSE(rig.profiler.listening());
    EXPECT_EQ(rig.engine.count("TokenProces"), 1);
    // Speak again starts a fresh loop: the old Stop request is forgotten.
    rig.profiler.cmdRepeat_Click();
    rig.speak({});
    EXPECT_TRUE(rig.profiler.listening());
}

TEST(Recorded, StopOutsideRunTimeEndsWithARunningToken)
{
    Rig rig;
    ASSERT_TRUE(rig.setMode(8).ok);
    rig.profiler.cmdRepeat_Click();
    rig.engine.token.status = 1;  // the engine is still detecting
    rig.profiler.cmdStop_Click();
    EXPECT_FALSE(rig.profiler.listening());
    EXPECT_EQ(rig.profiler.status, 1);
    EXPECT_EQ(rig.dtw.count_recognise(), 0);
    EXPECT_EQ(rig.flags(), (std::vector<int>{0, 1, 0, 0, 0, 0, 1}));
}

TEST(Recorded, AFailedTokenSaysWhyWhereTheWordStands)
{
    struct Row {
        const char* what;
        std::int32_t status;
        std::int32_t discard;  // GetTokenDiscard
        const char* reason;
    };
    const Row rows[] = {
        {"buffer used up, nothing heard", -1, 0, "no speech found"},
        {"buffer used up after a short sound", -1, 1, "too short"},
        {"buffer used up after a long sound", -1, 2, "too long (over 2 s)"},
        {"word starts before frame 10", -2, 0, "started too soon after Speak"},
        {"stopped while detecting", 1, 2, "stopped before the word ended"},
    };
    for (const Row& row : rows)
        for (int mode : {0, 7, 8, 12})
            for (int rt : {0, 2}) {
                if (mode == 0 && rt > 0)
                    continue;
                SCOPED_TRACE(std::string(row.what) + ", mode " + std::to_string(mode) + ", rt " + std::to_string(rt));
                Rig rig;
                rig.host.windows[rig.statwalk(7)] = 901;
                rig.module.runTime.RTmode = rt;
                ASSERT_TRUE(rig.setMode(mode).ok);
                if (mode == 0)
                    rig.profiler.cmdNext_Click();
                else
                    rig.profiler.cmdRepeat_Click();
                rig.engine.discard = row.discard;
                const auto boxes = rig.host.boxes.size();
                rig.speak({row.status, 10, 60, 2000, 6000});
                const Profiler& p = rig.profiler;
                // Not a message box: run-time listening goes on.
                EXPECT_EQ(rig.host.boxes.size(), boxes);
                EXPECT_EQ(p.listening(), rt > 0);
                // The speech recording's maximum is 130 frames (1.3 s).
                const std::string reason =
                    mode == 0 && row.discard == 2 && row.status == -1 ? "too long (over 1.3 s)" : row.reason;
                if (mode == 12) {
                    EXPECT_EQ(p.lblWord.text, "No word: " + reason + ".  Press 'SPEAK' button");
                    EXPECT_TRUE(p.lblWord.visible);
                } else {
                    EXPECT_EQ(p.lblSay.text, "No word: ");
                    EXPECT_EQ(p.lblWord.text, reason);
                    EXPECT_EQ(p.lblSay.color, kBlack);
                    EXPECT_EQ(p.lblWord.color, kBlack);
                }
            }

    // Speech recording: Repeat prompts the item again in place of the reason.
    Rig rig;
    ASSERT_TRUE(rig.setMode(0).ok);
    rig.profiler.cmdNext_Click();
    rig.speak({-1, 10, 60, 2000, 6000});
    ASSERT_EQ(rig.profiler.lblWord.text, "no speech found");
    rig.profiler.cmdRepeat_Click();
    EXPECT_EQ(rig.profiler.lblSay.text, "SAY: ");
    EXPECT_EQ(rig.profiler.lblWord.text, "zero");
    EXPECT_EQ(rig.profiler.lblWord.color, kRed);
}

TEST(ChooseColour, RedrawsTheShownWordEvenWhileListening)
{
    Rig rig;
    ASSERT_TRUE(rig.setMode(8).ok);
    rig.profiler.cmdRepeat_Click();
    rig.speak({});
    rig.profiler.cmdRepeat_Click();  // listening for the next word: status 10
    ASSERT_TRUE(rig.profiler.listening());
    rig.view.calls.clear();
    rig.host.colours = {0x0000FFu, std::nullopt};
    rig.profiler.miSig_Click();
    EXPECT_EQ(rig.profiler.colSpeech, 0x0000FFu);
    EXPECT_EQ(rig.view.calls, (std::vector<std::string>{"redrawShown"}));
    rig.profiler.miFrame_Click();  // cancelled: nothing changes, nothing is drawn
    EXPECT_EQ(rig.view.calls.size(), 1u);
}

TEST(StartListening, AFailedStartReportsAFailedToken)
{
    Rig rig;
    rig.module.runTime.RTmode = 1;
    ASSERT_TRUE(rig.setMode(8).ok);
    rig.engine.failStart = true;
    rig.profiler.cmdRepeat_Click();
    EXPECT_FALSE(rig.profiler.listening());
    EXPECT_EQ(rig.profiler.status, 1);
    EXPECT_EQ(rig.flags(), (std::vector<int>{0, 1, 0, 0, 0, 0, 1}));
    EXPECT_FALSE(rig.profiler.buttons[BtnStop].visible);
    // Nothing listens: the red prompt gives way to the reason.
    EXPECT_EQ(rig.profiler.lblSay.text, "No word: ");
    EXPECT_EQ(rig.profiler.lblSay.color, kBlack);
    EXPECT_EQ(rig.profiler.lblWord.text, "the sound input did not start");
    // In a running loop the next start fails the same way and the loop ends.
    rig.engine.failStart = false;
    rig.profiler.cmdRepeat_Click();
    rig.engine.failStart = true;
    rig.speak({});
    EXPECT_FALSE(rig.profiler.listening());
    EXPECT_EQ(rig.engine.count("TokenProces"), 2);
    EXPECT_EQ(rig.engine.count("ContinueTokenProces"), 1);
}

// A press of Speak records from the press; the next word of run-time
// listening (and a restart after a full buffer) goes on right after the
// samples the last one took; the microphone stops when listening is over.
TEST(StartListening, TheLoopContinuesTheRecordingAndReleasesTheInputWhenItEnds)
{
    Rig rig;
    rig.module.runTime.RTmode = 2;
    ASSERT_TRUE(rig.setMode(8).ok);
    rig.engine.calls.clear();
    rig.profiler.cmdRepeat_Click();
    EXPECT_EQ(rig.engine.count("TokenProces"), 1);
    rig.speak({});
    rig.speak({-1});  // a failed token: listening goes on all the same
    rig.profiler.Form_KeyDown(TokenKeyBufferFull);
    EXPECT_EQ(rig.engine.count("TokenProces"), 1);
    EXPECT_EQ(rig.engine.count("ContinueTokenProces"), 3);
    EXPECT_EQ(rig.engine.count("ReleaseSoundCardIn"), 0);
    rig.profiler.cmdStop_Click();
    rig.speak({});
    EXPECT_FALSE(rig.profiler.listening());
    EXPECT_EQ(rig.engine.count("ContinueTokenProces"), 3);
    EXPECT_EQ(rig.engine.count("ReleaseSoundCardIn"), 1);

    // Outside run-time listening the input runs on until the window is left.
    Rig single;
    ASSERT_TRUE(single.setMode(8).ok);
    single.engine.calls.clear();
    single.profiler.cmdRepeat_Click();
    single.speak({});
    single.profiler.cmdRepeat_Click();
    single.speak({});
    EXPECT_EQ(single.engine.count("TokenProces"), 2);
    EXPECT_EQ(single.engine.count("ContinueTokenProces"), 0);
    EXPECT_EQ(single.engine.count("ReleaseSoundCardIn"), 0);
    single.host.answers.push_back(BoxAnswer::Yes);
    single.profiler.cmdTalvor_Click();
    EXPECT_EQ(single.engine.count("ReleaseSoundCardIn"), 1);
}

// ---------------------------------------------------------------------------
// Keys

TEST(FormKeyDown, KeysAreTakenInOrder)
{
    Rig rig;
    rig.host.windows[rig.statwalk(7)] = 901;
    ASSERT_TRUE(rig.setMode(7).ok);
    rig.profiler.cmdRepeat_Click();
    rig.speak({});
    ASSERT_TRUE(rig.profiler.waitingResult);

    // The fake recogniser's re-enable key is no word index: waiting goes on.
    rig.profiler.setEnabled(false);
    rig.profiler.Form_KeyDown(KeyEnable);
    EXPECT_TRUE(rig.profiler.waitingResult);
    EXPECT_TRUE(rig.profiler.windowEnabled);
    rig.profiler.Form_KeyDown(5);  // one past the list
    EXPECT_TRUE(rig.profiler.waitingResult);
    // A TokenKeyDone while waiting is no word index either (and no token:
    // nothing is listening).
    rig.profiler.Form_KeyDown(TokenKeyDone);
    EXPECT_TRUE(rig.profiler.waitingResult);
    EXPECT_EQ(rig.engine.count("GetTokenParam"), 1);
    // The answer.
    rig.profiler.Form_KeyDown(2);
    EXPECT_FALSE(rig.profiler.waitingResult);
    EXPECT_EQ(rig.profiler.lblSay.text, "Recognized: ");
    EXPECT_EQ(rig.profiler.lblSay.color, kDarkBlue);
    EXPECT_EQ(rig.profiler.lblWord.text, "two");
    // Without waiting, a small key is nothing.
    rig.profiler.Form_KeyDown(1);
    EXPECT_EQ(rig.profiler.lblWord.text, "two");

    // Command keys.
    rig.profiler.setEnabled(false);
    rig.profiler.Form_KeyDown(KeyBringBack);
    EXPECT_TRUE(rig.profiler.windowEnabled);
    EXPECT_EQ(rig.view.calls.back(), "raiseAndRepaint");
    rig.profiler.setShown(true);
    rig.profiler.Form_KeyDown(KeyHide);
    EXPECT_FALSE(rig.profiler.windowShown);
    for (int key : {26671, 26673, 12345})
        rig.profiler.Form_KeyDown(key);
    rig.profiler.setShown(true);
    rig.host.answers = {BoxAnswer::Yes};
    rig.profiler.Form_KeyDown(KeyExit);
    EXPECT_FALSE(rig.profiler.windowShown);
}

TEST(FormKeyDown, AnAnswerInsideTheRecogniseCommandIsTaken)
{
    Rig rig;
    rig.host.windows[rig.statwalk(7)] = 901;
    ASSERT_TRUE(rig.setMode(7).ok);
    rig.host.onSend = [&](const Sent& s) {
        if (s.wParam == CommandRecognise) {
            EXPECT_TRUE(rig.profiler.waitingResult);  // set before the send
            rig.profiler.Form_KeyDown(4);
        }
    };
    rig.profiler.cmdRepeat_Click();
    rig.speak({});
    EXPECT_FALSE(rig.profiler.waitingResult);
    EXPECT_EQ(rig.profiler.lblWord.text, "four");
    EXPECT_EQ(rig.flags(), (std::vector<int>{0, 1, 1, 0, 0, 1, 1}));
}

TEST(FormKeyDown, ExitArrivingInsideTheRecogniseCommandEndsTheCycle)
{
    Rig rig;
    rig.host.windows[rig.statwalk(7)] = 901;
    rig.module.runTime.RTmode = 2;
    ASSERT_TRUE(rig.setMode(7).ok);
    rig.profiler.setShown(true);
    rig.host.onSend = [&](const Sent& s) {
        if (s.wParam == CommandRecognise)
            rig.profiler.Form_KeyDown(KeyExit);  // Yes to the exit question by default
    };
    rig.profiler.cmdRepeat_Click();
    rig.speak({});
    EXPECT_FALSE(rig.profiler.windowShown);
    EXPECT_FALSE(rig.profiler.listening());  // the run-time loop does not go on
    EXPECT_FALSE(rig.profiler.waitingResult);
    EXPECT_EQ(rig.engine.count("TokenProces"), 1);
}

TEST(FormKeyDown, BufferFullRestartsListeningOnlyWhileListening)
{
    Rig rig;
    ASSERT_TRUE(rig.setMode(8).ok);
    rig.profiler.Form_KeyDown(TokenKeyBufferFull);
    EXPECT_EQ(rig.engine.count("TokenProces"), 0);
    rig.profiler.cmdRepeat_Click();
    const std::string say = rig.profiler.lblSay.text;
    rig.profiler.Form_KeyDown(TokenKeyBufferFull);
    EXPECT_EQ(rig.engine.count("TokenProces"), 1);
    EXPECT_EQ(rig.engine.count("ContinueTokenProces"), 1);
    EXPECT_TRUE(rig.profiler.listening());
    EXPECT_EQ(rig.profiler.lblSay.text, say);
}

// ---------------------------------------------------------------------------
// Playback

TEST(PlayToken, PlaysTheTokenWithContextOrTheRecording)
{
    Rig rig;
    ASSERT_TRUE(rig.setMode(8).ok);
    rig.profiler.cmdRepeat_Click();
    rig.speak({0, 10, 60, 2000, 6000});
    rig.profiler.cmdPlay_Click();
    EXPECT_EQ(rig.engine.lastPlayCount, 6000 - 2000 + 800);
    EXPECT_EQ(rig.engine.lastPlay, rig.profiler.sampleBuf.data() + 1600);
    EXPECT_EQ(rig.host.timerStarts.back(), 4800 * 1000 / 8000);

    // A failed token plays the recording from its start.
    rig.profiler.cmdRepeat_Click();
    rig.speak({-1, 10, 60, 2000, 9000});
    rig.profiler.cmdPlay_Click();
    EXPECT_EQ(rig.engine.lastPlayCount, 9800);
    EXPECT_EQ(rig.engine.lastPlay, rig.profiler.sampleBuf.data());

    // Bounds outside the buffer play nothing.
    const auto plays = rig.engine.count("OpenSoundCardOut");
    rig.profiler.status = 0;
    rig.profiler.startSample = 100;  // starts before sample 0
    rig.profiler.PlayToken();
    rig.profiler.startSample = 199000;
    rig.profiler.endSample = 200000;
    rig.profiler.PlayToken();
    rig.profiler.status = 1;
    rig.profiler.sampleCount = 0;
    rig.profiler.PlayToken();
    EXPECT_EQ(rig.engine.count("OpenSoundCardOut"), plays);
}

TEST(PlayToken, SpeakingAfterPlayKeepsTheNewRecordingOpen)
{
    Rig rig;
    ASSERT_TRUE(rig.setMode(8).ok);
    rig.profiler.cmdRepeat_Click();
    rig.speak({});
    rig.profiler.cmdPlay_Click();
    ASSERT_TRUE(rig.host.timerActive);
    rig.profiler.cmdRepeat_Click();
    EXPECT_FALSE(rig.host.timerActive);  // Speak switched the play timer off
    // A tick that was already due closes the output only.
    rig.engine.calls.clear();
    rig.profiler.playTimerTick();
    EXPECT_EQ(rig.engine.calls, std::vector<std::string>{"CloseSoundCardOut"});
    EXPECT_TRUE(rig.profiler.listening());
}

// ---------------------------------------------------------------------------
// Leaving

TEST(Exitus, QuestionsPerMode)
{
    struct Row {
        int mode;
        bool saved;
        std::vector<BoxAnswer> answers;
        std::vector<std::string> asked;
        bool leaves;
        bool closesRecogniser;
    };
    const std::string notSaved = "Your data was not saved. Do you want to save it?";
    const std::string exitQ = "Do you want to exit Wavescope ?";
    const Row rows[] = {
        {0, false, {BoxAnswer::Cancel}, {notSaved}, false, false},
        {0, false, {BoxAnswer::No, BoxAnswer::No}, {notSaved, exitQ}, false, false},
        {0, false, {BoxAnswer::No, BoxAnswer::Yes}, {notSaved, exitQ}, true, false},
        {0, true, {BoxAnswer::Yes}, {exitQ}, true, false},
        {1, false, {BoxAnswer::No}, {exitQ}, false, false},
        {8, false, {BoxAnswer::Yes}, {exitQ}, true, false},
        {5, false, {BoxAnswer::No}, {exitQ}, false, false},
        {5, false, {BoxAnswer::Yes}, {exitQ}, true, true},
        {7, false, {BoxAnswer::Yes}, {exitQ}, true, true},
        {2, false, {}, {}, true, false},
        {3, false, {}, {}, true, false},
        {4, false, {}, {}, true, false},
        {9, false, {}, {}, true, false},
        {11, false, {}, {}, true, false},
        {13, false, {}, {}, true, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE("mode " + std::to_string(r.mode) + " saved " + std::to_string(r.saved));
        Rig rig;
        rig.host.windows[rig.statwalk(5)] = 900;
        rig.host.windows[rig.statwalk(7)] = 901;
        ASSERT_TRUE(rig.setMode(r.mode).ok);
        rig.profiler.isSavedData = r.saved;
        rig.profiler.setShown(true);
        rig.host.boxes.clear();
        rig.host.answers.assign(r.answers.begin(), r.answers.end());
        EXPECT_EQ(rig.profiler.Exitus(), r.leaves);
        std::vector<std::string> asked;
        for (const Box& b : rig.host.boxes) {
            asked.push_back(b.text);
            EXPECT_EQ(b.icon, BoxIcon::Question);
        }
        EXPECT_EQ(asked, r.asked);
        EXPECT_EQ(rig.profiler.windowShown, !r.leaves);
        const bool closed = !rig.host.sent.empty() && rig.host.sent.back().wParam == CommandClose &&
                            rig.host.sent.back().msg == StatwalkCommand;
        EXPECT_EQ(closed, r.closesRecogniser);
        if (r.leaves) {
            EXPECT_GE(rig.engine.count("ReleaseSoundCardIn"), 1);  // the input is let go
            EXPECT_GE(rig.engine.count("CloseSoundCardOut"), 1);
        }
    }
}

TEST(Exitus, LeavingEndsListeningAndWaiting)
{
    Rig rig;
    rig.module.runTime.RTmode = 2;
    ASSERT_TRUE(rig.setMode(8).ok);
    rig.profiler.cmdRepeat_Click();
    rig.profiler.cmdPlay_Click();
    rig.host.answers = {BoxAnswer::Yes};
    ASSERT_TRUE(rig.profiler.Exitus());
    EXPECT_FALSE(rig.profiler.listening());
    EXPECT_EQ(rig.engine.running, 0);
    EXPECT_FALSE(rig.host.timerActive);
    // A TokenKeyDone queued before the exit is no token.
    rig.profiler.Form_KeyDown(TokenKeyDone);
    EXPECT_EQ(rig.engine.count("GetTokenParam"), 0);
}

// ---------------------------------------------------------------------------
// Recording a vocabulary

TEST(SpeechRecording, RecordsEveryItemAndSavesFilesAFreshStoreReads)
{
    Rig rig;
    ASSERT_TRUE(rig.setMode(0).ok);
    Profiler& p = rig.profiler;
    // The first Next stores nothing: there is no item yet.
    p.cmdNext_Click();
    EXPECT_EQ(p.itemIndex, 0);
    EXPECT_EQ(p.lblWord.text, "zero");
    EXPECT_EQ(p.lblSay.text, "SAY: ");
    EXPECT_EQ(p.lblSay.color, kRed);
    const std::size_t n = rig.folder.words.size();
    for (std::size_t k = 0; k < n; ++k) {
        SCOPED_TRACE(k);
        // Word k: a token of 20 + k frames.
        const std::int32_t frames = std::int32_t(20 + k);
        rig.host.boxes.clear();
        rig.speak({0, 10, 10 + frames, 1600, 1600 + (frames + 1) * 80});
        if (k + 1 < n) {
            EXPECT_TRUE(rig.host.boxes.empty());
            EXPECT_EQ(rig.flags(), (std::vector<int>{1, 1, 1, 1, 0, 0, 0}));
            p.cmdNext_Click();  // stores word k, prompts k + 1
            EXPECT_EQ(p.lblWord.text, rig.folder.words[k + 1]);
        } else {
            ASSERT_EQ(rig.host.boxes.size(), 1u);
            EXPECT_EQ(rig.host.boxes[0].text, "All vocabulary items have been recorded.\r\n"
                                              "You can press TALVOR to return back to Talvor.\r\n");
            EXPECT_EQ(rig.flags(), (std::vector<int>{0, 1, 1, 1, 0, 0, 1}));
        }
    }
    EXPECT_FALSE(p.isSavedData);
    p.cmdSave_Click();
    EXPECT_TRUE(p.isSavedData);

    worddata::WordDataStore fresh;
    const std::string lab = joinPath(rig.folder.tree.vocabularyFolder("digits"), "take1.lab");
    ASSERT_EQ(fresh.Open_Data(lab, "take1.lab"), 0);
    ASSERT_EQ(fresh.Rows(), std::int32_t(n) + 1);
    for (std::size_t k = 0; k < n; ++k) {
        SCOPED_TRACE(k);
        worddata::WordData w;
        w.i = std::int32_t(k + 1);
        std::int32_t st = -9;
        fresh.GetWordData(w, st);
        ASSERT_EQ(st, 0);
        EXPECT_EQ(w.name, rig.folder.words[k]);
        EXPECT_EQ(w.nFrames, std::int32_t(20 + k) + 20);
        // Frame 10 of the stored word is the token's frame wStart.
        EXPECT_EQ(w.v[10 * 20 + 19], featureValue(10, 19));
        EXPECT_EQ(w.s[800], sampleValue(1600));
    }
}

TEST(SpeechRecording, AFailedSaveKeepsTheQuestionOnExit)
{
    Rig rig;
    ASSERT_TRUE(rig.setMode(0).ok);
    rig.profiler.cmdNext_Click();
    rig.speak({});
    fs::remove_all(rig.folder.tree.vocabularyFolder("digits"));
    rig.profiler.cmdSave_Click();
    EXPECT_FALSE(rig.profiler.isSavedData);
    rig.host.boxes.clear();
    rig.host.answers = {BoxAnswer::Yes};  // save: fails again, the window stays
    EXPECT_FALSE(rig.profiler.Exitus());
    EXPECT_EQ(rig.host.boxes.front().text, "Your data was not saved. Do you want to save it?");
}

TEST(SpeechRecording, NextAndSaveDoNothingWithoutASelection)
{
    Rig rig;
    ASSERT_TRUE(rig.setMode(8).ok);
    rig.profiler.cmdRepeat_Click();
    rig.speak({});
    rig.profiler.listIndex = -1;
    EXPECT_FALSE(rig.profiler.miPutWord_Click());
    rig.profiler.status = 1;
    rig.profiler.listIndex = 0;
    EXPECT_FALSE(rig.profiler.miPutWord_Click());
}

// ---------------------------------------------------------------------------
// The recogniser's buttons

TEST(CmdHmm, SendsOnlyToAWindowThatExists)
{
    Rig rig;
    ASSERT_TRUE(rig.setMode(7).ok);  // no recogniser: its message at set-up
    EXPECT_EQ(rig.host.boxes.back().text, "Cannot find window  Statwalk in mode: Speak & Recognize (HMM)");
    rig.profiler.cmdRepeat_Click();
    rig.speak({});
    EXPECT_FALSE(rig.profiler.waitingResult);
    EXPECT_EQ(rig.host.boxes.back().text, "Cannot find window  Statwalk in mode: Speak & Recognize (HMM)");
    rig.profiler.cmdHmm_Click();
    EXPECT_TRUE(rig.profiler.windowEnabled);
    EXPECT_TRUE(rig.host.sent.empty());

    rig.host.windows[rig.statwalk(7)] = 901;
    rig.profiler.cmdHmm_Click();
    EXPECT_FALSE(rig.profiler.windowEnabled);
    ASSERT_EQ(rig.host.sent.size(), 1u);
    EXPECT_EQ(rig.host.sent[0].msg, StatwalkCommand);
    EXPECT_EQ(rig.host.sent[0].wParam, CommandHmmButton);
    rig.profiler.Form_KeyDown(KeyEnable);
    EXPECT_TRUE(rig.profiler.windowEnabled);
}

TEST(CmdHmm, PickSendsTheSelectedIndex)
{
    Rig rig;
    // A recording with three words to pick from.
    worddata::WordDataStore s;
    s.SetNewVoc({"a", "b", "c"}, 3);
    for (int i = 1; i <= 3; ++i)
        ASSERT_EQ(s.PutWordData(i, std::vector<float>(25 * 20, 1.0f), std::vector<std::int16_t>(25 * 80, 1), 25,
                                std::string(1, char('a' + i - 1))),
                  0);
    ASSERT_EQ(s.SaveFiles(joinPath(rig.folder.tree.vocabularyFolder("digits"), "take1.lab"), "take1.lab"), 0);
    rig.host.windows[rig.statwalk(5)] = 900;
    ASSERT_TRUE(rig.setMode(5).ok);
    ASSERT_EQ(rig.profiler.wordList.size(), 3u);
    rig.profiler.cboWordName_DropDown();
    rig.profiler.cboWordName_Click(2);
    rig.profiler.cmdHmm_Click();
    ASSERT_EQ(rig.host.sent.size(), 1u);
    EXPECT_EQ(rig.host.sent[0].msg, StatwalkPick);
    EXPECT_EQ(rig.host.sent[0].wParam, 2u);
    EXPECT_FALSE(rig.profiler.windowEnabled);
}

}  // namespace
}  // namespace talvor::analyser::test
