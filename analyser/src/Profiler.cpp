#include "analyser/Profiler.h"

#include "common/DataTree.h"
#include "common/FileNames.h"
#include "common/NameCheck.h"
#include "common/VocabularyFile.h"
#include "common/WordSetFile.h"

#include <algorithm>
#include <span>

namespace talvor::analyser {

AnalyserEngine::~AnalyserEngine() = default;
ProfilerHost::~ProfilerHost() = default;
ProfilerView::~ProfilerView() = default;

namespace {

constexpr const char* kSay = "SAY: ";
constexpr const char* kSayAWord = "SAY A WORD ";
constexpr const char* kSayAString = "SAY A STRING OF WORDS: ...";
constexpr const char* kPressSpeak = "Press 'SPEAK' button";
constexpr const char* kRecognized = "Recognized: ";
constexpr const char* kStopCaption = "S&top";

// The word data store's failures, shown through the analyser's host.
class HostMessages final : public worddata::MessageOutput {
public:
    explicit HostMessages(ProfilerHost& host) : m_host(host) {}
    void showError(const std::string& text) override
    {
        m_host.messageBox(text, "Vocabulary operations", BoxIcon::Critical, BoxButtons::Ok);
    }

private:
    ProfilerHost& m_host;
};

bool isBrowsingMode(std::int32_t m)
{
    return m == 1 || m == 5 || m == 6 || m == 10;
}

}  // namespace

bool CopyIntegerBlock(std::span<std::int16_t> dst, std::int64_t dstStart, std::int64_t count,
                      std::span<const std::int16_t> src, std::int64_t srcStart)
{
    const std::int64_t n = count < 0 ? -count : count;
    if (dstStart < 0 || srcStart < 0 || dstStart + n > std::int64_t(dst.size()) ||
        srcStart + n > std::int64_t(src.size()))
        return false;
    if (count > 0) {
        for (std::int64_t i = 0; i < n; ++i)
            dst[std::size_t(dstStart + i)] = src[std::size_t(srcStart + i)];
    } else {
        for (std::int64_t i = n - 1; i >= 0; --i)
            dst[std::size_t(dstStart + i)] = src[std::size_t(srcStart + i)];
    }
    return true;
}

std::string tokenLabelText(std::int32_t frames)
{
    const WordSetEntry word{1, 0, frames, 0};
    return labelFileText(std::span<const WordSetEntry>(&word, 1), LabelFileSpacing::Token);
}

Profiler::Profiler(AnalyserEngine& engine, ProfilerHost& host, ModuleState& module)
    : sampleBuf(kSampleBufSize, 0),
      featureBuf(kFeatureBufSize, 0.0f),
      m_engine(engine),
      m_host(host),
      m_module(module),
      m_storeMessages(std::make_unique<HostMessages>(host))
{
    m_store.setMessageOutput(m_storeMessages.get());
    const char* captions[kButtonCount] = {"&Next word", kStopCaption, "&Repeat", "&Play", "&Save",
                                          "&DTW",       "&HMM",       "&TALVOR", "E&xit"};
    for (int b = 0; b < kButtonCount; ++b)
        buttons[b].caption = captions[b];
}

Profiler::~Profiler()
{
    if (m_listening)
        m_engine.StopTokenProces();
    m_engine.ReleaseSoundCardIn();
}

void Profiler::changed()
{
    // The word data editor's current word is the list's selected word.
    if (listIsSelectable() && m_store.currentRow() != listIndex + 1)
        m_store.setCurrentRow(listIndex + 1);
    if (m_view)
        m_view->stateChanged();
}

void Profiler::fail(const std::string& text)
{
    m_host.messageBox(text, kWavescopeTitle, BoxIcon::Critical, BoxButtons::Ok);
}

void Profiler::setShown(bool shown)
{
    windowShown = shown;
    if (m_view)
        m_view->windowChanged();
}

void Profiler::setEnabled(bool enabled)
{
    windowEnabled = enabled;
    if (m_view)
        m_view->windowChanged();
}

// ---------------------------------------------------------------------------
// Start-up and set-up

void Profiler::Form_Load()
{
    if (m_loaded)
        return;
    m_loaded = true;
    userPicksWord = false;
    waitingResult = false;
    status = StatusNoToken;
    isSavedData = false;
    SetCmd(0, 0, 0, 0, 0, 0, 0, 1);
    m_engine.InitSoundCard();
    selFeat.fill(false);
    m_module.InitModeNames();
    // The button layout: Next and Stop share the left place, then Repeat to
    // TALVOR one button width each; the Exit button never shows.
    for (int b = BtnStop; b <= BtnTalvor; ++b)
        buttons[b].slot = b - BtnStop;
    buttons[BtnNext].slot = 0;
    buttons[BtnExit].visible = false;
    userPicksWord = true;
    changed();
}

void Profiler::SetCmd(int a1, int a2, int a3, int a4, int a5, int a6, int a7, int a8)
{
    const int flags[] = {a1, a2, a3, a4, a5, a6, a7};
    const ButtonId ids[] = {BtnNext, BtnRepeat, BtnPlay, BtnSave, BtnDtw, BtnHmm, BtnTalvor};
    for (int k = 0; k < 7; ++k)
        buttons[ids[k]].enabled = flags[k] != 0;
    miTalvorEnabled = a7 != 0;
    // Leaving is by TALVOR, the System menu's Talvor, the close box or key 26672.
    buttons[BtnExit].enabled = false;
    miExitEnabled = false;
    const bool listeningLayout = !(a1 || a2 || a3 || a4 || a5 || a6 || a7 || a8);
    buttons[BtnStop].visible = listeningLayout;
    buttons[BtnStop].enabled = listeningLayout;
    buttons[BtnNext].visible = !listeningLayout;
    changed();
}

void Profiler::clearStopRequest()
{
    if (oldStatus == StatusStopped)
        oldStatus = 0;
}

ControlResult Profiler::SetMode(std::int32_t pMode, const std::string& vName, const std::string& lName,
                                const std::string& wParh)
{
    auto refuse = [&](const std::string& text) {
        fail(text);
        return ControlResult::failure(text);
    };
    if (pMode < 0 || pMode >= kModeCount)
        return refuse("There is no operating mode " + std::to_string(pMode) + ".");
    auto checked = [&](const std::string& name, NameKind kind, std::string* why) {
        if (auto problem = nameProblem(name, kind)) {
            *why = *problem;
            return false;
        }
        return true;
    };

    // A listening still running from the last mode ends first.
    if (m_listening) {
        m_engine.StopTokenProces();
        m_listening = false;
    }
    StopCapture();
    if (!m_loaded)
        Form_Load();

    // Everything is checked and read before anything changes.
    std::string why;
    const std::string dataFolder = joinPath(m_module.AppPath, "DATA");
    const std::string newPathVoc = joinPath(dataFolder, vName);
    std::string newPathWork = pathWork;
    std::optional<std::vector<std::string>> vocWords;
    std::optional<FeatureSelection> mask;
    const bool usesVocabulary =
        pMode == 0 || pMode == 1 || pMode == 5 || pMode == 6 || pMode == 7 || pMode == 8 || pMode == 10 ||
        (pMode == 12 && !vName.empty());
    const bool usesLabel = pMode == 0 || pMode == 1 || pMode == 5 || pMode == 6 || pMode == 10;
    const bool usesFiles = usesVocabulary || usesLabel || pMode == 12;
    if (usesFiles && m_module.AppPath.empty())
        return refuse("The program folder is not known: SetAppPath comes before LoadMode.");
    if (usesVocabulary && !checked(vName, NameKind::Vocabulary, &why))
        return refuse(why);
    if (usesLabel && !checked(lName, NameKind::File, &why))
        return refuse(why);

    auto readMask = [&](const std::string& folder) -> bool {
        const std::string file = joinPath(folder, "Statwalk1.edf");
        std::string text;
        if (!readFileWhole(resolveFileName(file), &text)) {
            why = "Cannot read the feature selection: " + file + " is missing.";
            return false;
        }
        const std::vector<std::string> items = statwalkItems(text);
        if (items.size() < 9 || items[8].compare(0, 9, "Features:") != 0) {
            why = "Cannot read the feature selection from " + file + ": its ninth item is not \"Features:\".";
            return false;
        }
        FeatureSelection f{};
        if (items.size() < 10 || !parseFeatureMask(items[9], &f)) {
            why = "Cannot read the feature selection from " + file +
                  ": the mask is not 20 characters \"0\" or \"1\".";
            return false;
        }
        mask = f;
        return true;
    };
    auto readWords = [&]() -> bool {
        const std::string file = joinPath(newPathVoc, vName + ".voc");
        Vocabulary voc;
        std::string error;
        if (!readVocabularyFile(file, &voc, &error)) {
            why = "Cannot read the vocabulary: " + error;
            return false;
        }
        if (voc.empty()) {
            why = "The vocabulary " + file + " holds no words.";
            return false;
        }
        vocWords = vocabularyWords(voc);
        return true;
    };

    switch (pMode) {
    case 0:
    case 1:
    case 5: {
        // The recordings' folder: "" (the vocabulary folder) or "_strings",
        // with or without a separator after it.  Mode 5 reads its recording
        // from the vocabulary folder whatever the argument says.
        std::string folder = normalizeSeparators(wParh);
        while (!folder.empty() && folder.back() == '/')
            folder.pop_back();
        if (pMode != 5 && !folder.empty() && !isStringsFolderName(folder))
            return refuse("The recording folder \"" + wParh + "\" is neither the vocabulary folder nor \"_strings\".");
        if (pMode == 0) {
            if (wParh.empty()) {
                if (!readWords())
                    return refuse(why);
            } else {
                std::vector<std::string> names;
                std::int32_t n = 0;
                m_store.GetWordNames(names, n);
                if (n < 1)
                    return refuse("There are no words to record.");
            }
        }
        newPathWork = pMode == 5 ? std::string() : folder;
        break;
    }
    case 6:
    case 8:
        if (!uDTW)
            return refuse("Mode " + modeNameTable(pMode) + " needs the DTW comparer, and none was handed over.");
        if (pMode == 6)
            break;
        [[fallthrough]];
    case 7:
        if (!checked(wParh, NameKind::WorkDirectory, &why))
            return refuse(why);
        newPathWork = joinPath(newPathVoc, wParh);
        if (pMode == 7 && !readMask(newPathWork))
            return refuse(why);
        if (!readWords())
            return refuse(why);
        break;
    case 10:
    case 12: {
        if (!uChainview)
            return refuse("Mode " + modeNameTable(pMode) + " needs the HMM viewer, and none was handed over.");
        const std::string path = normalizeSeparators(wParh);
        const auto slash = path.find('/');
        const std::string voc = slash == std::string::npos ? std::string() : path.substr(0, slash);
        const std::string work = slash == std::string::npos ? path : path.substr(slash + 1);
        if (slash == std::string::npos)
            return refuse("The work directory \"" + wParh + "\" does not name its vocabulary (vocabulary/work directory).");
        if (!checked(voc, NameKind::Vocabulary, &why) || !checked(work, NameKind::WorkDirectory, &why))
            return refuse(why);
        newPathWork = joinPath(joinPath(dataFolder, voc), work);
        if (!readMask(newPathWork))
            return refuse(why);
        break;
    }
    default:
        break;
    }

    // The peers' set-up comes last among the checks: a failing peer leaves
    // the window as it was.
    if (pMode == 6 || pMode == 8) {
        const ControlResult r = uDTW->LoadDTW();
        if (!r)
            return refuse("The DTW comparer could not load its word sets: " + r.error);
        if (pMode == 8) {
            std::array<bool, kFeaturesPerFrame> sf{};
            const ControlResult g = uDTW->GetSelectedFeature(sf);
            if (!g)
                return refuse("The DTW comparer did not give its features: " + g.error);
            mask = sf;
        }
    }

    profilerMode = pMode;
    m_wParh = pMode == 0 || pMode == 1 ? newPathWork : wParh;
    m_maxWordFrames = m_engine.ChangeTokenMaxFrames(0);
    lblWordFontSize = 14;
    if (usesVocabulary || pMode == 12) {
        nameVoc = vName;
        pathVoc = newPathVoc;
        nameLab = lName;
        pathWork = newPathWork;
    }
    if (pMode == 0) {
        if (newPathWork.empty())
            m_maxWordFrames = m_engine.ChangeTokenMaxFrames(130);
        else
            lblWordFontSize = 8;
    }
    if (mask)
        selFeat = *mask;
    if (vocWords) {
        wordList = *vocWords;
        listIndex = 0;
    }
    SetProfilerMode(profilerMode);
    return ControlResult::success();
}

void Profiler::SetWordNames()
{
    std::vector<std::string> names;
    std::int32_t n = 0;
    m_store.GetWordNames(names, n);
    if (n < 1)
        return;
    wordList.assign(names.begin() + 1, names.begin() + 1 + n);
    listIndex = 0;
    changed();
}

void Profiler::wordTableChanged()
{
    std::vector<std::string> names;
    std::int32_t n = 0;
    m_store.GetWordNames(names, n);
    wordList.assign(names.begin() + 1, names.begin() + 1 + std::max<std::int32_t>(n, 0));
    const std::int32_t row = m_store.currentRow() - 1;
    listIndex = row >= 0 && row < std::int32_t(wordList.size()) ? row : (wordList.empty() ? -1 : 0);
    changed();
}

void Profiler::wordPickedInEditor(std::int32_t index)
{
    if (busy() || m_listening || index < 0 || index >= std::int32_t(wordList.size()) || index == listIndex)
        return;
    userPicksWord = true;
    cboWordName_Click(index);
    changed();
}

void Profiler::SetNewVoc(const std::vector<std::string>& words, std::int32_t nWords)
{
    m_store.SetNewVoc(words, nWords);
}

void Profiler::AllCls()
{
    if (m_view)
        m_view->clearPanes();
    status = StatusNoToken;
    if (profilerMode != 7 && profilerMode != 8) {
        wordList.clear();
        listIndex = -1;
    }
    lblWord.text = " ";
    lblSay.text = "Word: ";
    changed();
}

void Profiler::SetProfilerMode(std::int32_t pm)
{
    if (pm < 0 || pm > 12)
        return;
    profilerMode = pm;
    caption = kCaptionWavescope + m_module.ModeNames(pm);
    AllCls();
    buttons[BtnNext].caption = "&Next word";
    buttons[BtnRepeat].caption = "&Repeat";
    for (int b = BtnStop; b <= BtnTalvor; ++b)
        buttons[b].slot = b - BtnStop;
    buttons[BtnNext].slot = 0;
    lblSay.visible = true;
    lblWord.visible = true;
    lblWordOverFramePane = false;
    wordListVisible = false;

    auto speakLayout = [&] {
        buttons[BtnRepeat].caption = "Sp&eak";
        buttons[BtnRepeat].slot = 0;
        buttons[BtnStop].slot = 1;
        buttons[BtnNext].slot = 1;
        buttons[BtnNext].caption = buttons[BtnStop].caption;
    };
    auto browseLayout = [&] {
        buttons[BtnRepeat].caption = "Pre&vious";
        wordListVisible = true;
        lblWord.visible = false;
    };
    const std::string lab = nameLab + ".lab";
    switch (pm) {
    case 0:
        SetCmd(1, 0, 0, 0, 0, 0, 0, 1);
        if (m_wParh.empty())
            m_store.NewLab(joinPath(pathVoc, nameVoc), nameLab);
        SetWordNames();
        itemIndex = -1;
        changed();
        m_host.messageBox(kReadyToRecord, kWavescopeTitle, BoxIcon::Information, BoxButtons::Ok);
        break;
    case 1: {
        SetCmd(1, 1, 1, 0, 0, 0, 1, 1);
        browseLayout();
        const std::string file = joinPath(pathWork.empty() ? pathVoc : joinPath(pathVoc, pathWork), lab);
        if (m_store.Open_Data(file, lab) == -1) {
            changed();
            m_host.messageBox(kCannotFind + file, kTalvorTitle, BoxIcon::Critical, BoxButtons::Ok);
            return;
        }
        SetWordNames();
        ShowStoredWord();
        break;
    }
    case 5:
    case 6:
        if (pm == 5)
            SetCmd(1, 1, 1, 0, 0, 1, 1, 1);
        else
            SetCmd(1, 1, 1, 0, 1, 0, 1, 1);
        browseLayout();
        m_store.Open_Data(joinPath(pathVoc, lab), lab);
        SetWordNames();
        ShowStoredWord();
        changed();
        if (pm == 5)
            hideStatwalk();
        break;
    case 7:
    case 8:
        SetCmd(0, 1, 0, 0, 0, 0, 1, 1);
        speakLayout();
        lblSay.text = "";
        changed();
        if (pm == 7)
            hideStatwalk();
        break;
    case 10:
        SetCmd(1, 1, 1, 0, 0, 1, 1, 1);
        browseLayout();
        lblSay.visible = false;
        m_store.Open_Data(joinPath(joinPath(pathVoc, kStringsFolder), lab), lab);
        SetWordNames();
        ShowStoredWord();
        break;
    case 12:
        SetCmd(0, 1, 0, 0, 0, 0, 1, 1);
        m_store.NewVoc(5);
        lblSay.visible = false;
        lblWordOverFramePane = true;
        lblWord.text = kPressSpeak;
        speakLayout();
        break;
    default:
        break;
    }
    changed();
}

void Profiler::hideStatwalk()
{
    if (const std::uint32_t h = FindWindowByCaption(statwalkCaption()))
        m_host.hidePeerWindow(h);
}

std::uint32_t Profiler::FindWindowByCaption(const std::string& captionText)
{
    const std::uint32_t h = m_host.findWindow(captionText);
    if (h == 0)
        m_host.messageBox(kCannotFindWindow + captionText, kWavescopeTitle, BoxIcon::None, BoxButtons::Ok);
    return h;
}

// ---------------------------------------------------------------------------
// Recording cycle

void Profiler::failedTokenButtons()
{
    switch (profilerMode) {
    case 0:
        SetCmd(0, 1, 1, 1, 0, 0, 1, 1);
        break;
    case 7:
    case 8:
        SetCmd(0, 1, 0, 0, 0, 0, 1, 1);
        break;
    case 10:
        SetCmd(0, 1, 0, 0, 0, 0, 0, 1);
        break;
    case 12:
        SetCmd(0, 1, 0, 0, 0, 0, 1, 1);
        lblWord.text = kPressSpeak;
        changed();
        break;
    default:
        break;
    }
}

void Profiler::StopCapture()
{
    m_engine.ReleaseSoundCardIn();
}

bool Profiler::StartListening(bool continuing)
{
    // A playback still timed must not close the new recording's input.
    m_host.stopPlayTimer();
    m_engine.CloseSoundCardOut();
    const std::uint32_t window = m_host.ownWindow();
    if (window == 0)  // the engine could not tell us about the word
        m_host.messageBox("The analyser window is not registered: it cannot listen.", kWavescopeTitle,
                          BoxIcon::Critical, BoxButtons::Ok);
    if (window == 0 || (continuing ? m_engine.ContinueTokenProces(window) : m_engine.TokenProces(window)) == 0) {
        // The engine has shown the device's own text.
        m_listening = false;
        status = 1;
        failedTokenButtons();
        showNoWord(kInputDidNotStart);
        return false;
    }
    m_listening = true;
    status = StatusNoToken;
    return true;
}

void Profiler::StopListening()
{
    if (!m_listening)
        return;
    if (m_module.runTime.RTmode >= 1) {
        // The utterance under way is still finished and passed on; the
        // listening loop ends after it.
        oldStatus = StatusStopped;
        return;
    }
    Recorded();
}

void Profiler::cmdRepeat_Click()
{
    if (busy() || m_listening)
        return;
    clearStopRequest();
    auto listen = [&] {
        if (StartListening())
            SetCmd(0, 0, 0, 0, 0, 0, 0, 0);
    };
    switch (profilerMode) {
    case 0:
        lblSay.text = kSay;
        lblSay.color = kRed;
        // The item to be said, in place of a failed token's reason.
        if (itemIndex >= 0 && itemIndex < std::int32_t(wordList.size()))
            lblWord.text = wordList[std::size_t(itemIndex)];
        lblWord.color = kRed;
        changed();
        listen();
        break;
    case 1:
    case 5:
    case 6:
    case 10:
        if (listIndex >= 1) {
            PreviousWord();
            if (listIsSelectable())
                lblWord.text = wordList[std::size_t(listIndex)];
            changed();
        }
        break;
    case 7:
    case 8:
        lblSay.text = kSayAWord;
        lblSay.color = kRed;
        lblWord.text = "";
        changed();
        listen();
        break;
    case 12:
        lblWord.text = kSayAString;
        lblWord.color = kRed;
        changed();
        listen();
        break;
    default:
        break;
    }
}

std::optional<TokenWord> Profiler::tokenWord() const
{
    const std::int64_t first = std::int64_t(wStart) - kMarginFrames;
    const std::int64_t frames = std::int64_t(wStop) - wStart + 2 * kMarginFrames;
    const std::int64_t firstSample = std::int64_t(startSample) - kMarginFrames * kSamplesPerFrame;
    // The engine delivers frames 0 .. wStop + 9 and samples 0 .. endSample + 800.
    if (first < 0 || wStop <= wStart || firstSample < 0)
        return std::nullopt;
    if ((first + frames) * kFeaturesPerFrame > std::int64_t(featureBuf.size()) ||
        first + frames > std::int64_t(wStop) + kMarginFrames)
        return std::nullopt;
    const std::int64_t samples = frames * kSamplesPerFrame;
    if (firstSample + samples > std::int64_t(sampleBuf.size()) ||
        firstSample + samples > std::int64_t(endSample) + 801)
        return std::nullopt;
    TokenWord w;
    w.nFrames = std::int32_t(frames);
    w.v.assign(featureBuf.begin() + first * kFeaturesPerFrame,
               featureBuf.begin() + (first + frames) * kFeaturesPerFrame);
    w.s.assign(std::size_t(samples), 0);
    if (!CopyIntegerBlock(w.s, 0, samples, sampleBuf, firstSample))
        return std::nullopt;
    return w;
}

bool Profiler::Save_Lb_Pr(std::string* error)
{
    if (status != 0) {
        if (error)
            *error = "there is no valid token";
        return false;
    }
    if (wStart < 0 || wStop <= wStart || std::int64_t(wStop) * kFeaturesPerFrame > std::int64_t(featureBuf.size())) {
        if (error)
            *error = "the token's frames " + std::to_string(wStart) + " to " + std::to_string(wStop) +
                     " lie outside the recording";
        return false;
    }
    const std::span<const float> frames(featureBuf.data() + std::size_t(wStart) * kFeaturesPerFrame,
                                        std::size_t(wStop - wStart) * kFeaturesPerFrame);
    const std::vector<float> values = selectedFeatureValues(frames, selFeat);
    const WordSetEntry word{1, 0, wStop - wStart, 0};
    return writeTokenWordSet(joinPath(pathWork, "x.lb"), joinPath(pathWork, "x.pr"), word,
                             selectedFeatureCount(selFeat), values, error);
}

std::string Profiler::noWordReason() const
{
    switch (status) {
    case -1:
        if (m_discarded == 2) {
            // The maximum word length in seconds: 200 frames "2", 130 "1.3"
            // (an engine that stored nothing below 15 keeps its 200).
            const std::int32_t frames = m_maxWordFrames >= 15 ? m_maxWordFrames : 200;
            std::string seconds = std::to_string(frames / 100);
            if (frames % 100 != 0) {
                std::string hundredths = std::to_string(100 + frames % 100).substr(1);
                if (hundredths.back() == '0')
                    hundredths.pop_back();
                seconds += "." + hundredths;
            }
            return "too long (over " + seconds + " s)";
        }
        return m_discarded == 1 ? kTooShort : kNoSpeechFound;
    case -2:
        return kStartedTooSoon;
    case 1:
        return kStoppedBeforeTheEnd;
    default:
        return kNoSpeechFound;
    }
}

void Profiler::showNoWord(const std::string& reason)
{
    switch (profilerMode) {
    case 0:
    case 7:
    case 8:
        lblSay.text = kNoWord;
        lblWord.text = reason;
        lblSay.color = kBlack;
        lblWord.color = kBlack;
        break;
    case 12:
        lblWord.text = std::string(kNoWord) + reason + ".  " + kPressSpeak;
        lblWord.color = kDarkBlue;
        lblWord.visible = true;
        break;
    default:
        return;
    }
    changed();
}

void Profiler::endRunTimeLoop()
{
    oldStatus = StatusStopped;
}

void Profiler::Recorded()
{
    if (!m_listening)
        return;
    m_listening = false;
    m_engine.StopTokenProces();
    status = m_engine.GetTokenParam(featureBuf.data(), &wStart, &wStop, sampleBuf.data(), &startSample,
                                    &endSample);
    m_discarded = m_engine.GetTokenDiscard();
    if (std::int64_t(endSample) + 800 > 0)
        sampleCount = std::int32_t(std::min<std::int64_t>(std::int64_t(endSample) + 800, std::int64_t(sampleBuf.size())));

    if (profilerMode < 7)
        lblSay.text = "WORD: ";
    lblSay.color = kBlack;
    lblWord.color = kBlack;
    changed();
    if (status != 0) {
        if (m_view) {
            m_view->clearPanes();
            m_view->redrawWave();
        }
    } else {
        if (m_view)
            m_view->Display();
        if (miReplayChecked)
            PlayToken();
    }

    const std::uint64_t exits = m_exits;
    const bool valid = status == 0;
    bool produced = valid;  // a result that run-time output may pass on
    // No message box for a token without a word (run-time listening goes
    // on): the reason stands where the word would.
    if (!valid)
        showNoWord(noWordReason());
    auto tokenFailed = [&](const std::string& text) {
        produced = false;
        failedTokenButtons();
        endRunTimeLoop();  // no message box per utterance
        m_host.messageBox(text, kWavescopeTitle, BoxIcon::Critical, BoxButtons::Ok);
    };
    auto showResultLabel = [&] {
        lblWord.color = kDarkBlue;
        lblWord.visible = true;
    };

    switch (profilerMode) {
    case 0:
        if (!valid) {
            SetCmd(0, 1, 1, 1, 0, 0, 1, 1);
            return;
        }
        if (itemIndex >= std::int32_t(wordList.size()) - 1) {
            SetCmd(0, 1, 1, 1, 0, 0, 1, 1);
            m_host.messageBox(kAllRecorded, kWavescopeTitle, BoxIcon::None, BoxButtons::Ok);
        } else {
            SetCmd(1, 1, 1, 1, 0, 0, 0, 1);
        }
        break;
    case 7:
        if (!valid) {
            SetCmd(0, 1, 0, 0, 0, 0, 1, 1);
            break;
        }
        showResultLabel();
        {
            std::string error;
            if (!Save_Lb_Pr(&error)) {
                tokenFailed("The token could not be written: " + error);
                break;
            }
        }
        if (const std::uint32_t h = FindWindowByCaption(statwalkCaption())) {
            waitingResult = true;
            BusyScope busyScope(*this);
            m_host.sendMessage(h, StatwalkCommand, CommandRecognise, 0);
        } else {
            // Nothing can recognise the token; in run-time listening the loop
            // ends here rather than showing the box after every word.
            produced = false;
            endRunTimeLoop();
        }
        if (m_exits != exits)
            return;  // the window was left while the recogniser had the token
        SetCmd(0, 1, 1, 0, 0, 1, 1, 1);
        break;
    case 8: {
        if (!valid) {
            SetCmd(0, 1, 0, 0, 0, 0, 1, 1);
            break;
        }
        showResultLabel();
        std::string error;
        if (!Save_Lb_Pr(&error)) {
            tokenFailed("The token could not be written: " + error);
            break;
        }
        std::int32_t index = -1;
        if (uDTW) {
            BusyScope busyScope(*this);
            if (!uDTW->GetRecogWord(index))
                index = -1;
        }
        if (m_exits != exits)
            return;
        if (index < 0 || index >= std::int32_t(wordList.size()))
            index = -1;
        wIndex = index;
        waitingResult = false;
        lblSay.text = kRecognized;
        lblSay.color = kDarkBlue;
        lblWord.text = index >= 0 ? wordList[std::size_t(index)] : std::string();
        produced = index >= 0;
        SetCmd(0, 1, 1, 0, 1, 0, 1, 1);
        break;
    }
    case 10:
        if (valid) {
            showResultLabel();
            SetCmd(0, 1, 1, 0, 0, 0, 0, 1);
        } else {
            SetCmd(0, 1, 0, 0, 0, 0, 0, 1);
        }
        break;
    case 12: {
        showResultLabel();
        if (!valid) {
            SetCmd(0, 1, 0, 0, 0, 0, 1, 1);
            break;
        }
        const std::optional<TokenWord> word = tokenWord();
        if (!word || !uChainview) {
            tokenFailed("The token lies outside the recording and cannot be matched.");
            break;
        }
        std::string name;
        std::int32_t result = -1;
        {
            BusyScope busyScope(*this);
            uChainview->PutWordData(1, word->v, word->s, word->nFrames, name, result);
        }
        if (m_exits != exits)
            return;
        waitingResult = false;
        lblWord.text = name;
        produced = result == 0;
        SetCmd(0, 1, 1, 0, 0, 1, 1, 1);
        break;
    }
    default:
        break;
    }
    changed();

    isSavedData = false;
    const bool stopRequested = oldStatus == StatusStopped;
    oldStatus = status;
    if (m_module.runTime.RTmode >= 1) {
        if (produced)
            runTimeOutputEndOfRecording();
        if (m_exits != exits)
            return;
        if (!stopRequested && oldStatus != StatusStopped) {
            if (StartListening(true))
                SetCmd(0, 0, 0, 0, 0, 0, 0, 0);
        } else {
            StopCapture();  // the run-time loop is over
        }
    }
}

void Profiler::Form_KeyDown(std::int32_t keyCode)
{
    if (keyCode == TokenKeyDone) {
        // A notification queued before the listening ended is not a second token.
        if (m_listening)
            Recorded();
        return;
    }
    if (keyCode == TokenKeyBufferFull) {
        if (!m_listening)
            return;
        m_engine.StopTokenProces();
        if (m_engine.ContinueTokenProces(m_host.ownWindow()) == 0) {
            m_listening = false;
            status = 1;
            failedTokenButtons();
            showNoWord(kInputDidNotStart);
        }
        return;
    }
    if (waitingResult && keyCode >= 0 && keyCode < std::int32_t(wordList.size())) {
        waitingResult = false;
        lblSay.text = kRecognized;
        lblSay.color = kDarkBlue;
        lblWord.text = wordList[std::size_t(keyCode)];
        changed();
        if (m_module.runTime.RTmode >= 1)
            runTimeOutputAnswerKey(keyCode);
        return;
    }
    switch (keyCode) {
    case KeyBringBack:
        setEnabled(true);
        if (m_view)
            m_view->raiseAndRepaint();
        break;
    case KeyExit:
        Exitus();
        break;
    case KeyHide:
        setShown(false);
        break;
    case KeyEnable:
        setEnabled(true);
        break;
    default:
        break;
    }
}

void Profiler::PlayToken()
{
    m_host.stopPlayTimer();
    m_engine.CloseSoundCardOut();
    if (!m_listening)
        m_engine.CloseSoundCardIn();
    std::int64_t start = 0;
    std::int64_t count = sampleCount;
    if (status == 0) {
        start = std::int64_t(startSample) - 400;
        count = std::int64_t(endSample) - startSample + 800;
    }
    // Only a stretch that lies inside the samples held is played.
    if (count <= 0 || start < 0 || start + count > std::int64_t(sampleBuf.size()))
        return;
    if (m_engine.OpenSoundCardOut(sampleBuf.data() + start, std::int32_t(count)) == 0)
        return;
    m_host.startPlayTimer(int(count * 1000 / 8000));
}

void Profiler::playTimerTick()
{
    m_host.stopPlayTimer();
    m_engine.CloseSoundCardOut();
}

// ---------------------------------------------------------------------------
// Commands

void Profiler::selectEntry(std::int32_t index)
{
    if (index >= 0 && index < std::int32_t(wordList.size()))
        listIndex = index;
    changed();
}

void Profiler::cmdNext_Click()
{
    if (busy() || m_listening)
        return;
    const std::int32_t count = std::int32_t(wordList.size());
    if (profilerMode == 0) {
        if (itemIndex != -1)
            miPutWord_Click();
        if (itemIndex + 1 >= count)
            return;
        ++itemIndex;
        selectEntry(itemIndex);
        lblWord.text = wordList[std::size_t(itemIndex)];
        changed();
        cmdRepeat_Click();
    } else if (isBrowsingMode(profilerMode)) {
        if (listIndex < count - 1) {
            NextWord();
            if (listIsSelectable())
                lblWord.text = wordList[std::size_t(listIndex)];
            changed();
        }
    }
}

void Profiler::cmdSave_Click()
{
    if (busy())
        return;
    if (profilerMode == 0 || profilerMode == 10) {
        miPutWord_Click();
        miSaveVoc_Click();
    }
}

void Profiler::cmdDtw_Click()
{
    if (busy() || !uDTW)
        return;
    BusyScope busyScope(*this);
    if (profilerMode == 6) {
        if (!listIsSelectable())
            return;
        if (uDTW->SetPMword(listIndex))
            uDTW->ShowDTW(1);
    } else if (profilerMode == 8) {
        uDTW->ShowDTW(1);
    }
}

void Profiler::cmdHmm_Click()
{
    if (busy())
        return;
    switch (profilerMode) {
    case 5:
    case 7: {
        if (profilerMode == 5 && !listIsSelectable())
            return;
        const std::int32_t picked = listIndex;
        if (const std::uint32_t h = FindWindowByCaption(statwalkCaption())) {
            setEnabled(false);
            BusyScope busyScope(*this);
            if (profilerMode == 5)
                m_host.sendMessage(h, StatwalkPick, std::uint32_t(picked), 0);
            else
                m_host.sendMessage(h, StatwalkCommand, CommandHmmButton, 0);
        }
        break;
    }
    case 10:
    case 12: {
        if (status != 0 || !uChainview)
            return;
        if (profilerMode == 10 && !listIsSelectable())
            return;
        const std::optional<TokenWord> word = tokenWord();
        if (!word)
            return;
        const std::int32_t i = profilerMode == 10 ? listIndex + 1 : 1;
        std::string name = profilerMode == 10 ? wordList[std::size_t(listIndex)] : std::string();
        std::int32_t result = -1;
        BusyScope busyScope(*this);
        uChainview->PutWordData(i, word->v, word->s, word->nFrames, name, result);
        uChainview->ShowChainview(1);
        break;
    }
    default:
        break;
    }
}

void Profiler::cmdExit_Click()
{
    if (!busy())
        Exitus();
}

void Profiler::miTalvor_Click()
{
    if (!busy())
        Exitus();
}

void Profiler::miReplay_Click()
{
    miReplayChecked = !miReplayChecked;
    changed();
}

void Profiler::chooseColour(std::uint32_t& colour)
{
    if (busy())
        return;
    if (const std::optional<std::uint32_t> c = m_host.chooseColor(colour)) {
        colour = *c;
        if (m_view)
            m_view->redrawShown();
    }
}

void Profiler::cboWordName_DropDown()
{
    if (isBrowsingMode(profilerMode))
        userPicksWord = true;
}

void Profiler::cboWordName_Click(std::int32_t index)
{
    if (busy() || index < 0 || index >= std::int32_t(wordList.size()))
        return;
    listIndex = index;
    if (!userPicksWord)
        return;
    userPicksWord = false;
    itemIndex = index;
    if (profilerMode != 7 && profilerMode != 8)
        ShowStoredWord();
}

bool Profiler::Form_Unload()
{
    if (busy())
        return false;
    return Exitus();
}

bool Profiler::miPutWord_Click()
{
    if (status != 0 || !listIsSelectable())
        return false;
    const std::optional<TokenWord> word = tokenWord();
    if (!word)
        return false;
    const std::string name = wordList[std::size_t(listIndex)];
    return m_store.PutWordData(listIndex + 1, word->v, word->s, word->nFrames, name) == 0;
}

bool Profiler::miSaveVoc_Click()
{
    const std::string lab = nameLab + ".lab";
    std::string folder = pathVoc;
    if (profilerMode == 10)
        folder = joinPath(pathVoc, kStringsFolder);
    else if (!pathWork.empty())
        folder = joinPath(pathVoc, pathWork);
    const bool saved = m_store.SaveFiles(joinPath(folder, lab), lab) == 0;
    if (saved)
        isSavedData = true;
    return saved;
}

bool Profiler::Exitus()
{
    auto exitQuestion = [&] {
        return m_host.messageBox(kExitQuestion, kWavescopeTitle, BoxIcon::Question, BoxButtons::YesNo) ==
               BoxAnswer::Yes;
    };
    switch (profilerMode) {
    case 0:
        if (!isSavedData) {
            const BoxAnswer a =
                m_host.messageBox(kNotSavedQuestion, kWavescopeTitle, BoxIcon::Question, BoxButtons::YesNoCancel);
            if (a == BoxAnswer::Cancel)
                return false;
            if (a == BoxAnswer::Yes) {
                miPutWord_Click();
                if (!miSaveVoc_Click())
                    return false;  // the store said why; nothing is lost
            }
        }
        if (!exitQuestion())
            return false;
        break;
    case 1:
    case 6:
    case 8:
    case 10:
    case 12:
        if (!exitQuestion())
            return false;
        break;
    case 5:
    case 7:
        if (!exitQuestion())
            return false;
        if (const std::uint32_t h = FindWindowByCaption(statwalkCaption())) {
            BusyScope busyScope(*this);
            m_host.sendMessage(h, StatwalkCommand, CommandClose, 0);
        }
        break;
    default:
        break;
    }

    ++m_exits;
    if (m_view)
        m_view->unloadHelpers();
    if (m_listening) {
        m_engine.StopTokenProces();
        m_listening = false;
    }
    m_host.stopPlayTimer();
    waitingResult = false;
    endRunTimeLoop();
    StopCapture();
    m_engine.CloseSoundCardOut();
    setEnabled(true);
    setShown(false);
    return true;
}

// ---------------------------------------------------------------------------
// Word browsing

void Profiler::ShowStoredWord()
{
    if (!listIsSelectable())
        return;
    std::int32_t k = listIndex + 1;
    std::int32_t frames = 0;
    std::int32_t st = 0;
    std::string name;
    m_store.GetWordData(k, featureBuf, sampleBuf, frames, name, st);
    // The store delivers features and samples for a status of 0 or below,
    // except for an empty table (status -2 and no frames); a word is shown
    // only with 10 margin frames on each side and one frame between them.
    const bool delivered = st <= 0 && frames > 0;
    status = delivered && frames >= 2 * kMarginFrames + 1 ? 0 : (st > 0 ? st : StatusNoToken);
    if (k - 1 >= 0 && k - 1 < std::int32_t(wordList.size()))
        wordList[std::size_t(k - 1)] = name;
    sampleCount = delivered ? std::int32_t(std::min<std::int64_t>(std::int64_t(frames) * kSamplesPerFrame,
                                                                  std::int64_t(sampleBuf.size())))
                            : 0;
    wStop = frames - kMarginFrames;
    wStart = kMarginFrames;
    startSample = kMarginFrames * kSamplesPerFrame;
    endSample = (frames - kMarginFrames) * kSamplesPerFrame;
    changed();
    if (m_view)
        m_view->Display();
    if (miReplayChecked && sampleCount > 0)
        PlayToken();
}

void Profiler::PreviousWord()
{
    if (wordList.empty())
        return;
    const std::int32_t last = std::int32_t(wordList.size()) - 1;
    const std::int32_t i = listIndex;
    if (i > last)
        listIndex = last;
    else if (i > 0)
        listIndex = i - 1;
    else
        listIndex = 0;
    ShowStoredWord();
}

void Profiler::NextWord()
{
    userPicksWord = false;
    if (wordList.empty())
        return;
    const std::int32_t last = std::int32_t(wordList.size()) - 1;
    const std::int32_t i = listIndex;
    if (i < last)
        listIndex = i >= 0 ? i + 1 : 0;
    else
        listIndex = last;
    ShowStoredWord();
}

}  // namespace talvor::analyser
