#pragma once
// Fakes for driving the analyser's logic headless: a scripted engine, a host
// with scripted message-box answers and peer windows, a recording view, and
// DTW comparer and HMM viewer stand-ins.
#include "analyser/Profiler.h"
#include "common/DataTree.h"
#include "common/FileNames.h"
#include "common/StatwalkConfig.h"
#include "testing/TempDir.h"

#include <algorithm>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace talvor::analyser::test {

// The token the next GetTokenParam delivers.
struct ScriptedToken {
    std::int32_t status = 0;
    std::int32_t wStart = 10;
    std::int32_t wStop = 60;
    std::int32_t startSample = 2000;
    std::int32_t endSample = 6000;
};

// Frame f, feature j holds f * 100 + j; sample n holds n % 30000 + 1.
inline float featureValue(int f, int j) { return float(f * 100 + j); }
inline std::int16_t sampleValue(int n) { return std::int16_t(n % 30000 + 1); }

class ScriptedEngine final : public AnalyserEngine {
public:
    ScriptedToken token;
    std::int32_t discard = 0;  // GetTokenDiscard
    bool failStart = false;
    std::vector<std::string> calls;
    std::vector<std::int32_t> maxFrames;
    std::int32_t lastPlayCount = -1;
    const std::int16_t* lastPlay = nullptr;
    int running = 0;

    std::int32_t InitSoundCard() override { calls.push_back("InitSoundCard"); return 0; }
    std::intptr_t TokenProces(std::uint32_t window) override
    {
        calls.push_back("TokenProces " + std::to_string(window));
        return start();
    }
    // A token process starts, unless failStart says the input cannot.
    std::intptr_t start()
    {
        if (failStart)
            return 0;
        running = 1;
        return 5;
    }
    std::int32_t StopTokenProces() override { calls.push_back("StopTokenProces"); running = 0; return 0; }
    std::int32_t GetTokenParam(float* features, std::int32_t* startFrame, std::int32_t* endFrame,
                               std::int16_t* samples, std::int32_t* startSample, std::int32_t* endSample) override
    {
        calls.push_back("GetTokenParam");
        for (int f = 0; f < token.wStop + 10; ++f)
            for (int j = 0; j < 20; ++j)
                features[f * 20 + j] = featureValue(f, j);
        for (int n = 0; n <= token.endSample + 800; ++n)
            samples[n] = sampleValue(n);
        *startFrame = token.wStart;
        *endFrame = token.wStop;
        *startSample = token.startSample;
        *endSample = token.endSample;
        return token.status;
    }
    std::int32_t ChangeTokenMaxFrames(std::int32_t frames) override
    {
        maxFrames.push_back(frames);
        return frames < 15 ? 200 : frames;
    }
    std::intptr_t OpenSoundCardOut(const std::int16_t* samples, std::int32_t count) override
    {
        calls.push_back("OpenSoundCardOut " + std::to_string(count));
        lastPlay = samples;
        lastPlayCount = count;
        return 7;
    }
    std::int32_t CloseSoundCardOut() override { calls.push_back("CloseSoundCardOut"); return 0; }
    std::int32_t CloseSoundCardIn() override { calls.push_back("CloseSoundCardIn"); return 0; }
    std::intptr_t ContinueTokenProces(std::uint32_t window) override
    {
        calls.push_back("ContinueTokenProces " + std::to_string(window));
        return start();
    }
    std::int32_t ReleaseSoundCardIn() override { calls.push_back("ReleaseSoundCardIn"); return 0; }
    std::int32_t GetTokenDiscard() override { return discard; }

    int count(const std::string& prefix) const
    {
        int n = 0;
        for (const auto& c : calls)
            n += c.rfind(prefix, 0) == 0;
        return n;
    }
};

struct Box {
    std::string text, caption;
    BoxIcon icon;
    BoxButtons buttons;
};

struct Sent {
    std::uint32_t window, msg, wParam;
    std::int32_t lParam;
};

class FakeHost final : public ProfilerHost {
public:
    std::vector<Box> boxes;
    std::deque<BoxAnswer> answers;
    std::map<std::string, std::uint32_t> windows;  // peers by caption
    std::vector<Sent> sent;
    std::vector<std::uint32_t> hidden;
    std::function<void(const Sent&)> onSend;  // runs inside the send (nested answers)
    std::vector<int> timerStarts;
    bool timerActive = false;
    std::deque<std::optional<std::uint32_t>> colours;

    BoxAnswer messageBox(const std::string& text, const std::string& caption, BoxIcon icon,
                         BoxButtons buttons) override
    {
        boxes.push_back({text, caption, icon, buttons});
        if (!answers.empty()) {
            const BoxAnswer a = answers.front();
            answers.pop_front();
            return a;
        }
        return buttons == BoxButtons::Ok ? BoxAnswer::Ok : BoxAnswer::Yes;
    }
    std::optional<std::uint32_t> chooseColor(std::uint32_t) override
    {
        if (colours.empty())
            return std::nullopt;
        auto c = colours.front();
        colours.pop_front();
        return c;
    }
    std::uint32_t findWindow(const std::string& caption) override
    {
        auto it = windows.find(caption);
        return it == windows.end() ? 0 : it->second;
    }
    std::int32_t sendMessage(std::uint32_t window, std::uint32_t msg, std::uint32_t wParam,
                             std::int32_t lParam) override
    {
        sent.push_back({window, msg, wParam, lParam});
        if (onSend)
            onSend(sent.back());
        return 0;
    }
    void hidePeerWindow(std::uint32_t window) override { hidden.push_back(window); }
    std::uint32_t ownWindow() override { return 41; }
    void startPlayTimer(int intervalMs) override
    {
        timerStarts.push_back(intervalMs);
        timerActive = true;
    }
    void stopPlayTimer() override { timerActive = false; }
};

class RecordingView final : public ProfilerView {
public:
    std::vector<std::string> calls;
    void Display() override { calls.push_back("Display"); }
    void redrawShown() override { calls.push_back("redrawShown"); }
    void clearPanes() override { calls.push_back("clearPanes"); }
    void redrawWave() override { calls.push_back("redrawWave"); }
    void unloadHelpers() override { calls.push_back("unloadHelpers"); }
    void raiseAndRepaint() override { calls.push_back("raiseAndRepaint"); }
};

class FakeDtw final : public DtwControl {
public:
    std::int32_t answer = 3;
    bool loadFails = false;
    std::vector<std::string> calls;
    std::function<void()> onRecognise;
    FeatureSelection features{};

    int count_recognise() const { return int(std::count(calls.begin(), calls.end(), "GetRecogWord")); }
    std::string version() const override { return "1.0.0"; }
    void setVersion(const std::string&) override {}
    std::int32_t revision() const override { return 0; }
    void setRevision(std::int32_t) override {}
    ControlResult SetAppPath(const std::string&) override { return {}; }
    ControlResult ShowDTW(std::int32_t modal) override
    {
        calls.push_back("ShowDTW " + std::to_string(modal));
        return {};
    }
    ControlResult LoadDTW() override
    {
        calls.push_back("LoadDTW");
        return loadFails ? ControlResult::failure("no word sets") : ControlResult{};
    }
    ControlResult LoadMode(std::int32_t, const std::string&, const std::string&, std::int32_t,
                           std::span<const std::int16_t>, const std::vector<std::string>&,
                           const std::string&) override
    {
        return {};
    }
    ControlResult SetPMword(std::int32_t i) override
    {
        calls.push_back("SetPMword " + std::to_string(i));
        return {};
    }
    ControlResult GetRecogWord(std::int32_t& i) override
    {
        calls.push_back("GetRecogWord");
        if (onRecognise)
            onRecognise();
        i = answer;
        return answer < 0 ? ControlResult::failure("nothing recognised") : ControlResult{};
    }
    ControlResult GetSelectedFeature(std::span<bool> sF) override
    {
        for (std::size_t k = 0; k < sF.size() && k < features.size(); ++k)
            sF[k] = features[k];
        return {};
    }
};

class FakeChainview final : public ChainviewControl {
public:
    std::string recognised = "one two";
    std::vector<std::string> calls;
    std::int32_t lastI = 0, lastFrames = 0;
    std::string lastName;
    std::vector<float> lastV;
    std::vector<std::int16_t> lastS;

    std::int32_t revision() const override { return 0; }
    void setRevision(std::int32_t) override {}
    ControlResult SetAppPath(const std::string&) override { return {}; }
    ControlResult ShowChainview(std::int32_t modal) override
    {
        calls.push_back("ShowChainview " + std::to_string(modal));
        return {};
    }
    ControlResult LoadMode(std::int32_t, const std::string&, const std::string&, const std::string&,
                           const std::string&) override
    {
        return {};
    }
    ControlResult PutWordData(std::int32_t i, std::span<const float> v, std::span<const std::int16_t> s,
                              std::int32_t nFrames, std::string& name, std::int32_t& result) override
    {
        calls.push_back("PutWordData " + std::to_string(i));
        lastI = i;
        lastFrames = nFrames;
        lastName = name;
        lastV.assign(v.begin(), v.end());
        lastS.assign(s.begin(), s.end());
        name = recognised;
        result = 0;
        return {};
    }
    ControlResult SetPruneTreshold(std::int32_t) override { return {}; }
    ControlResult GetResultByOrder(std::int32_t, std::int32_t& result) override
    {
        result = -1;
        return {};
    }
    ControlResult GetModelVocabularyIndex(std::int32_t, std::int32_t& v) override
    {
        v = -1;
        return {};
    }
};

// A program folder with vocabulary "digits" (zero .. four), its work folder
// "work1" with a STATWALK1.EDF copy selecting features 0 and 19, and the
// strings work folder "digits/work1" for modes 10 and 12.
struct ProgramFolder {
    talvor::test::TempDir dir;
    DataTree tree{dir.path()};
    std::vector<std::string> words{"zero", "one", "two", "three", "four"};

    ProgramFolder()
    {
        tree.createVocabulary("digits", words);
        tree.createWorkFolder("digits", "work1");
        tree.ensureStringsFolder("digits");
        StatwalkConfig c;
        c.mode = 7;
        c.vocabulary = "digits";
        c.workDirectory = "work1";
        c.features[0] = true;
        c.features[19] = true;
        c.featureCount = 2;
        c.files = {"train"};
        writeStatwalkConfig(tree.modelConfigCopy("digits", "work1"), c);
    }
    std::string work() const { return tree.workFolder("digits", "work1"); }
};

// Everything a headless analyser needs.
struct Rig {
    ProgramFolder folder;
    ScriptedEngine engine;
    FakeHost host;
    ModuleState module;
    RecordingView view;
    FakeDtw dtw;
    FakeChainview chainview;
    Profiler profiler{engine, host, module};

    Rig()
    {
        module.AppPath = folder.dir.path();
        module.InitModeNames();
        profiler.setView(&view);
        profiler.uDTW = &dtw;
        profiler.uChainview = &chainview;
        profiler.Form_Load();
    }
    std::string statwalk(int mode) const { return "Statwalk in mode: " + modeNameTable(mode); }
    // Sets the analyser up for a mode with the usual arguments.
    ControlResult setMode(int mode)
    {
        switch (mode) {
        case 0: return profiler.SetMode(0, "digits", "take1", "");
        case 1:
        case 5:
        case 6: return profiler.SetMode(mode, "digits", "take1", "");
        case 7:
        case 8: return profiler.SetMode(mode, "digits", "", "work1");
        case 10: return profiler.SetMode(mode, "digits", "strings1", "digits/work1");
        case 12: return profiler.SetMode(mode, "digits", "", "digits/work1");
        default: return profiler.SetMode(mode, "", "", "");
        }
    }
    // Speak: the engine finds `token` and announces it.
    void speak(const ScriptedToken& token)
    {
        engine.token = token;
        profiler.Form_KeyDown(TokenKeyDone);
    }
    std::vector<int> flags() const
    {
        std::vector<int> f;
        for (int b : {BtnNext, BtnRepeat, BtnPlay, BtnSave, BtnDtw, BtnHmm, BtnTalvor})
            f.push_back(profiler.buttons[std::size_t(b)].enabled ? 1 : 0);
        return f;
    }
};

}  // namespace talvor::analyser::test
