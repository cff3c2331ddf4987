#include "timewarp/DtwSession.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "common/NumberText.h"
#include "timewarp/DtwDialogs.h"
#include "timewarp/DtwMatch.h"

namespace talvor::timewarp {

std::string versionText(int major, int minor, int revision)
{
    return std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(revision);
}

const char* methodTitle(char method)
{
    switch (method) {
    case kMethodItakura:
        return "Dynamic Time Warping - Itakura";
    case kMethodGeneral:
        return "Dynamic Time Warping - General";
    case kMethodLinear:
        return "Linear Time Warping";
    default:
        return "";
    }
}

std::string distanceText(double value)
{
    char buf[400];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 2);
    if (r.ec != std::errc())
        return "";
    std::string s(buf, r.ptr);
    if (s.size() >= 2 && s.back() == '0' && s[s.size() - 2] != '.')
        s.pop_back();
    return s;
}

namespace {

constexpr char kQuote = '"';

const DtwFeatureName& displayedFeatureName(const DtwComparerState& state)
{
    const int f = std::clamp<int>(state.displayedFeature, 1, kMaxFeatures);
    return state.featureNames[std::size_t(f - 1)];
}

}  // namespace

DtwSession::DtwSession(DtwComparerState& state, ModuleState& module)
    : m_state(state)
    , m_module(module)
{
    FormLoad();
}

// ---------------------------------------------------------------------------
// The control's procedures

ControlResult DtwSession::LoadMode(std::int32_t pMode, const std::string& vName, const std::string& wParh,
                                   std::int32_t nFeat, std::span<const std::int16_t> chkFeat,
                                   const std::vector<std::string>& refFiles, const std::string& sourceFile)
{
    if (pMode < 0 || pMode >= kModeCount)
        return ControlResult::failure("the mode " + std::to_string(pMode) + " is not one of 0 to "
                                      + std::to_string(kModeCount - 1));
    if (chkFeat.size() < std::size_t(kMaxFeatures))
        return ControlResult::failure(std::to_string(chkFeat.size()) + " feature flags given, "
                                      + std::to_string(kMaxFeatures) + " needed");
    if (refFiles.size() > std::size_t(kMaxReferenceSets))
        return ControlResult::failure(std::to_string(refFiles.size()) + " reference word sets given, at most "
                                      + std::to_string(kMaxReferenceSets));
    if (nFeat < 0 || nFeat > kMaxFeatures)
        return ControlResult::failure("the feature count " + std::to_string(nFeat) + " is not one of 0 to "
                                      + std::to_string(kMaxFeatures));
    const auto flagsSet = std::count(chkFeat.begin(), chkFeat.begin() + kMaxFeatures, std::int16_t(1));
    if (flagsSet != nFeat)
        return ControlResult::failure("the feature count " + std::to_string(nFeat) + " differs from the "
                                      + std::to_string(flagsSet) + " features set");

    // The vocabulary is read first: it changes the state only when it was read.
    const std::string previousVocabulary = m_state.vocabularyName;
    m_state.vocabularyName = vName;
    std::string error;
    if (!ReadVocabulary(m_state, &error)) {
        m_state.vocabularyName = previousVocabulary;
        return ControlResult::failure(error);
    }

    stopAnimation();
    m_state.mode = std::int16_t(pMode);
    m_state.workDirectoryName = wParh;
    m_state.store.setNFeat(nFeat);
    m_state.sourceName = sourceFile.empty() ? std::string("x") : sourceFile;
    for (auto& name : m_state.referenceNames)
        name.clear();
    for (std::size_t s = 0; s < refFiles.size(); ++s)
        m_state.referenceNames[s + 1] = refFiles[s];
    m_state.referenceSetCount = std::int16_t(refFiles.size());

    m_state.displayedPosition = 0;
    m_state.displayedFeature = 1;
    m_state.featureFlags.clear();
    for (int k = 1; k <= kMaxFeatures; ++k) {
        if (chkFeat[std::size_t(k - 1)] == 1) {
            ++m_state.displayedPosition;
            m_state.displayedFeature = std::int16_t(k);
            m_state.featureFlags += '1';
        } else {
            m_state.featureFlags += '0';
        }
    }
    // The stored words are read again with the new frame width: the pair
    // must be chosen afresh.
    m_testValid = false;
    m_refValid = false;
    return ControlResult::success();
}

ControlResult DtwSession::LoadDTW(bool* showModal)
{
    *showModal = false;
    m_module.InitModeNames();
    stopAnimation();
    std::string error;
    // Other loading failures are shown in the status line and absorbed; a
    // configuration that asks for more references than the comparer holds
    // fails the call, with nothing loaded, so the caller can say so.
    if (std::int64_t total = 0; CountReferences(m_state, &total) && total > kMaxReferences) {
        const std::string text = tooManyReferencesText(total);
        setStatus(" " + text);
        return ControlResult::failure(text);
    }
    const bool loaded = LoadWordData(m_state, &error);
    if (loaded) {
        m_testValid = false;
        m_refValid = false;
    }
    DtwWordStore& store = m_state.store;
    if (m_state.mode >= 8) {
        // No test word of an earlier run before the first recognition.
        store.testWordCount = 0;
        store.currentTestWord = 0;
        m_testValid = false;
    }
    if (m_state.mode >= 6) {
        if (store.testWordCount >= 1)
            NextWord();
        else
            PrintStatusToMatch();
    } else {
        if (NextWord())
            showBestReference();
        *showModal = true;
    }
    if (!loaded)
        setStatus(" The word sets could not be loaded: " + error);
    return ControlResult::success();
}

ControlResult DtwSession::SetPMword(std::int32_t i)
{
    DtwWordStore& store = m_state.store;
    if (store.testWordCount < 1)
        return ControlResult::failure("no test words are loaded");
    stopAnimation();
    std::int64_t w = std::int64_t(i) + 1;
    if (w > store.testWordCount || w < 1)
        w = 1;
    loadTest(int(w));
    PrintStatusToMatch();
    DrawTestVector();
    m_pictures.dtw.clear();
    showBestReference();
    return ControlResult::success();
}

ControlResult DtwSession::GetRecogWord(std::int32_t& i)
{
    i = -1;
    stopAnimation();
    std::string error;
    if (!LoadRecordedWord(m_state, &error)) {
        setStatus(" The recorded word could not be read: " + error);
        return ControlResult::failure(error);
    }
    m_state.store.currentTestWord = 1;
    loadTest(1);
    const bool found = matchAndTakeBest();
    Reference();
    if (!found) {
        setStatus(" No reference can be matched with the recorded word by the current method.");
        return ControlResult::success();
    }
    i = m_state.store.best.label;
    return ControlResult::success();
}

ControlResult DtwSession::GetSelectedFeature(std::span<bool> sF) const
{
    if (sF.size() < std::size_t(kMaxFeatures))
        return ControlResult::failure(std::to_string(sF.size()) + " elements given, "
                                      + std::to_string(kMaxFeatures) + " needed");
    for (int k = 0; k < kMaxFeatures; ++k)
        sF[std::size_t(k)] = std::size_t(k) < m_state.featureFlags.size() && m_state.featureFlags[std::size_t(k)] == '1';
    return ControlResult::success();
}

std::string DtwSession::windowCaption() const
{
    return std::string(kCaptionWarpscope) + modeNameTable(m_state.mode);
}

bool DtwSession::loadTest(int w)
{
    if (!LoadTestVector(m_state, w))
        return false;
    m_testValid = true;
    return true;
}

bool DtwSession::loadRef(int r)
{
    if (!LoadRefVector(m_state, r))
        return false;
    m_refValid = true;
    return true;
}

bool DtwSession::matchAndTakeBest()
{
    DtwWordStore& store = m_state.store;
    if (!m_testValid)
        return false;
    if (MatchAllReferences(store, store.currentTestWord) < 0)
        return false;
    store.currentReference = store.best.reference;
    return true;
}

bool DtwSession::showBestReference()
{
    if (!m_testValid) {
        setStatus(" There is no test word to match: load or choose a test word first.");
        return false;
    }
    const bool found = matchAndTakeBest();
    Reference();
    if (!found)
        setStatus(" No reference can be matched with this word by the current method; the reference is kept.");
    return found;
}

void DtwSession::refillTracks()
{
    DtwWordStore& store = m_state.store;
    const int pos = m_state.displayedPosition;
    const bool stored = pos >= 1 && pos <= store.nFeat();
    if (m_testValid)
        for (int i = 1; i <= store.N && i <= kMaxFrames; ++i)
            m_state.testTrack[std::size_t(i)] = stored ? store.testVector(i, pos) : 0.0f;
    if (m_refValid)
        for (int j = 1; j <= store.M && j <= kMaxFrames; ++j)
            m_state.referenceTrack[std::size_t(j)] = stored ? store.refVector(j, pos) : 0.0f;
    DrawTestVector();
    DrawRefVector();
}

bool DtwSession::pairValid() const
{
    const DtwWordStore& store = m_state.store;
    return m_testValid && m_refValid && store.N >= 1 && store.M >= 1 && store.currentTestWord >= 1
           && store.currentTestWord <= store.testWordCount && store.currentReference >= 1
           && store.currentReference <= store.referenceTotal;
}

// ---------------------------------------------------------------------------
// The window

void DtwSession::FormLoad()
{
    stopAnimation();
    for (Canvas* c : {&m_pictures.test, &m_pictures.ref, &m_pictures.dtw, &m_pictures.testWarp, &m_pictures.refWarp,
                      &m_pictures.dist, &m_pictures.bar})
        c->clear();
    m_replay = PathReplay{};
    m_labels = DtwLabels{};
    const char* title = methodTitle(m_state.store.method);
    m_labels.dtwCaption = *title ? title : methodTitle(kMethodGeneral);
    m_labels.speakCaption = m_state.mode == 6 || m_state.mode == 8 ? "&Signal" : "&TALVOR";
    if (m_testValid)
        DrawTestVector();
    if (m_refValid)
        DrawRefVector();
    if (m_testValid || m_refValid)
        PrintStatusToMatch();
    else
        setStatus(kStatusDesign);
}

void DtwSession::PrintStatusToMatch()
{
    const std::string q(1, kQuote);
    // Words not (yet) loaded show empty, never those of an earlier run.
    const std::string testText = m_testValid ? m_state.testWordText : "";
    const std::string test = m_state.mode == 8 ? q + "recorded word" + q
                                               : q + testText + " (" + sourceWordSetName(m_state) + ")" + q;
    const int set = m_state.currentReferenceSet;
    const std::string setName =
        m_refValid && set >= 1 && set <= kMaxReferenceSets ? m_state.referenceNames[std::size_t(set)] : "";
    const std::string refText = m_refValid ? m_state.referenceWordText : "";
    setStatus(" Press MATCH to perform a DTW match between " + test + " and " + q + refText + " (" + setName + ")."
              + q);
}

void DtwSession::DrawTestVector()
{
    Canvas& c = m_pictures.test;
    c.clear();
    const DtwFeatureName& feature = displayedFeatureName(m_state);
    m_labels.featName[0] = feature.name;
    c.setScale(trackScale(feature));
    const int N = m_state.store.N;
    if (m_testValid && N >= 1) {
        c.pset(1, m_state.testTrack[1], kTestTrackColor);
        for (int i = 2; i <= N && i <= kMaxFrames; ++i)
            c.lineTo(i, m_state.testTrack[std::size_t(i)], kTestTrackColor);
    }
    m_labels.testName = m_state.mode == 8 ? "RECORDING" : m_state.testWordText;
    m_labels.testFrames = m_testValid ? std::to_string(N) : "";
    clearWarpPictures();
}

void DtwSession::DrawRefVector()
{
    Canvas& c = m_pictures.ref;
    c.clear();
    const DtwFeatureName& feature = displayedFeatureName(m_state);
    m_labels.featName[1] = feature.name;
    c.setScale(trackScale(feature));
    const int M = m_state.store.M;
    if (m_refValid && M >= 1) {
        c.pset(1, m_state.referenceTrack[1], kRefTrackColor);
        for (int j = 2; j <= M && j <= kMaxFrames; ++j)
            c.lineTo(j, m_state.referenceTrack[std::size_t(j)], kRefTrackColor);
    }
    m_labels.refName = m_state.referenceWordText;
    m_labels.refFrames = m_refValid ? std::to_string(M) : "";
    clearWarpPictures();
}

bool DtwSession::Reference()
{
    stopAnimation();
    if (!loadRef(m_state.store.currentReference)) {
        setStatus(" There is no reference to match: no reference word set was loaded.");
        return false;
    }
    PrintStatusToMatch();
    DrawRefVector();
    DrawTestVector();
    m_pictures.dtw.clear();
    return true;
}

bool DtwSession::NextWord()
{
    stopAnimation();
    DtwWordStore& store = m_state.store;
    if (store.testWordCount < 1) {
        setStatus(" There is no test word: no test word set was loaded.");
        return false;
    }
    int w = store.currentTestWord + 1;
    if (w > store.testWordCount || w < 1)
        w = 1;
    loadTest(w);
    PrintStatusToMatch();
    DrawTestVector();
    m_pictures.dtw.clear();
    return true;
}

void DtwSession::clearWarpPictures()
{
    m_pictures.testWarp.clear();
    m_pictures.refWarp.clear();
    m_pictures.bar.clear();
    m_pictures.dist.clear();
    m_labels.distance.clear();
    m_labels.warpTestFrames.clear();
    m_labels.warpRefFrames.clear();
}

void DtwSession::stopAnimation()
{
    m_animation.stop();
}

// ---------------------------------------------------------------------------
// Match and the animation

void DtwSession::cmdMatch()
{
    if (!enables().match)
        return;
    if (!pairValid()) {
        setStatus(!m_testValid ? " There is no test word to match: load or choose a test word first."
                               : " There is no reference to match: load or choose a reference first.");
        return;
    }
    m_animation.beginMatch();
    try {
        matchBody();
    } catch (...) {
        m_animation.stop();
        setStatus(" The match could not be drawn.");
    }
    // Every way out of the match leaves the buttons usable.
    if (m_animation.state() == AnimationState::Drawing)
        m_animation.stop();
}

void DtwSession::matchBody()
{
    DtwWordStore& store = m_state.store;
    Canvas& dtw = m_pictures.dtw;
    dtw.clear();
    m_labels.distance.clear();
    m_labels.warpTestFrames.clear();
    m_labels.warpRefFrames.clear();
    if (flexibleRange)
        store.bandRange = flexibleBandRange(store.N, store.M);
    m_palette = MakePalette(0);
    MatchCurrentPair(store);
    const DtwTrace& t = store.trace;
    m_labels.dtwCaption = methodTitle(t.method);

    const UserScale track = trackScale(displayedFeatureName(m_state));
    for (Canvas* c : {&m_pictures.testWarp, &m_pictures.refWarp, &m_pictures.dist}) {
        c->clear();
        c->setScale(track);
    }
    const bool forbidden = float(t.pairDistance) == kForbidden;
    if (!forbidden) {
        m_pictures.bar.clear();
        m_pictures.bar.setScale(barScale(t.pairDistance));
    }
    const int N = t.N;
    const int M = t.M;
    m_colourStep = t.maximum / 8.0f;
    const int S = std::max(N, M);
    const char style = m_state.plotStyle;
    m_plotStyleDrawn = style;
    m_projected = ProjectedPath{};
    if (style == kPlot3D) {
        m_palette = MakePalette(100);
        Draw3DSurface(dtw, t, m_palette, m_colourStep, m_state.rotation, m_state.elevation, &m_projected);
    } else {
        dtw.setScale(gridScale(N, M));
        for (int i = 1; i <= N; ++i) {
            for (int j = 1; j <= M; ++j) {
                if (style == kPlotMap)
                    dtw.fillBox(i - 0.5, j - 0.5, i + 0.5, j + 0.5,
                                m_palette[std::size_t(paletteLevel(t.d(i, j), m_colourStep))]);
                else
                    dtw.pset(i, j, kColorYellow);
            }
        }
        dtw.text(0.7 * N, 0.1 * M, "Test word", 0xE0FFFF);
        dtw.text(0.05 * N, 0.9 * M, "Reference", 0xFFFF00);
    }

    if (forbidden) {
        const double y = style == kPlot3D ? dtw.width() / 2.0 : S / 2.0;
        dtw.text(dtw.scale().left, y, t.method == kMethodItakura ? kItakuraRefused : kBandRefused, kColorLightRed, 11,
                 true);
        m_replay = PathReplay{};
        m_animation.refuse();
        return;
    }

    if (style != kPlot3D && (t.method == kMethodGeneral || t.method == kMethodItakura)) {
        for (int i = 1; i <= N; ++i) {
            Band b;
            if (bandEdges(t.method, i, N, M, t.range, &b)) {
                dtw.pset(i, b.lo, kColorBrightWhite, 2);
                dtw.pset(i, b.hi, kColorBrightWhite, 2);
            }
        }
    }

    m_replay.start(t, m_state.testTrack, m_state.referenceTrack);
    if (m_replay.steps() >= 1) {
        m_pictures.testWarp.pset(1, m_replay.testTrack(m_replay.i(1)), kTestTrackColor);
        m_pictures.refWarp.pset(1, m_replay.refTrack(m_replay.j(1)), kRefTrackColor);
        if (style != kPlot3D)
            dtw.pset(m_replay.i(1), m_replay.j(1), kColorLightRed);
        else if (m_projected.visible[1])
            dtw.pset(m_projected.x[1], m_projected.y[1], kColorLightRed);
    }
    m_animation.startAnimation();
}

void DtwSession::drawPathStep()
{
    PathStep s;
    if (!m_replay.step(&s))
        return;
    Canvas& dtw = m_pictures.dtw;
    if (m_plotStyleDrawn == kPlot3D) {
        if (m_projected.visible[std::size_t(s.k)])
            dtw.pset(m_projected.x[std::size_t(s.k)], m_projected.y[std::size_t(s.k)], kColorLightRed, 3);
    } else {
        dtw.line(s.iPrev, s.jPrev, s.i, s.j, kColorLightRed, 2);
    }
    const float ti = m_replay.testTrack(s.i), tiPrev = m_replay.testTrack(s.iPrev);
    const float rj = m_replay.refTrack(s.j), rjPrev = m_replay.refTrack(s.jPrev);
    m_pictures.testWarp.line(s.k - 1, tiPrev, s.k, ti, kTestTrackColor);
    m_pictures.refWarp.line(s.k - 1, rjPrev, s.k, rj, kRefTrackColor);
    m_labels.distance = distanceText(s.accumulated);
    m_pictures.bar.fillBox(0, 0, s.accumulated, 1, kBarColor);
    Canvas& dist = m_pictures.dist;
    dist.line(s.k - 1, tiPrev, s.k, ti, kTestTrackColor);
    dist.line(s.k - 1, rjPrev, s.k, rj, kRefTrackColor);
    dist.line(s.k, rj, s.k, ti, kDifferenceColor);
    m_labels.warpTestFrames = std::to_string(s.k);
    m_labels.warpRefFrames = std::to_string(s.k);
}

void DtwSession::timerTick()
{
    if (m_animation.state() != AnimationState::Animating)
        return;
    drawPathStep();
    m_animation.tick(m_replay.finished());
}

void DtwSession::cmdPause()
{
    m_animation.pause();
}

void DtwSession::cmdContinue()
{
    m_animation.resume();
}

void DtwSession::cmdForward()
{
    if (m_animation.state() != AnimationState::Paused)
        return;
    if (m_replay.finished()) {
        m_animation.forward(true);
        return;
    }
    drawPathStep();
    m_animation.forward(false);
}

void DtwSession::cmdNextWord()
{
    if (!enables().nextWord || m_state.mode == 8)
        return;
    if (NextWord())
        showBestReference();
}

DtwSession::SpeakAction DtwSession::cmdSpeak() const
{
    if (m_state.mode == 2)
        return SpeakAction::AskThenHide;
    if (m_state.mode == 6 || m_state.mode == 8)
        return SpeakAction::Hide;
    return SpeakAction::Nothing;
}

}  // namespace talvor::timewarp
