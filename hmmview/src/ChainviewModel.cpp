#include "hmmview/ChainviewModel.h"

#include <algorithm>

#include "common/DataTree.h"
#include "common/FeatureValues.h"
#include "common/FileNames.h"
#include "common/ModelSetFiles.h"
#include "common/NameCheck.h"
#include "common/NumberText.h"
#include "hmmview/Decoders.h"
#include "hmmview/ObservationScores.h"

namespace talvor::hmmview {

ChainviewListener::~ChainviewListener() = default;

// Fills the panes' records from what the decoders report, and paces the
// animation: before each step the panes drawn on since the last one are
// repainted.
class ChainviewModel::Recorder final : public TrellisObserver {
public:
    explicit Recorder(ChainviewModel& model)
        : m_model(model)
        , m_dirty(model.m_panes.size(), false)
    {
    }

    void layoutPane(int pane, int frames, int rows, bool entryRow) override
    {
        if (ChainviewPane* p = at(pane)) {
            p->record.layout(frames, rows, entryRow);
            p->order = "-x-";
            p->score = "-x-";
            if (p->heightRows != rows) {
                p->heightRows = rows;
                m_geometry = true;
            }
        }
    }
    void statePath(int pane, int frame, int row, int fromRow) override
    {
        if (ChainviewPane* p = at(pane))
            p->record.setLink(frame, row, fromRow);
    }
    void localBest(int pane, int frame, int row) override
    {
        if (ChainviewPane* p = at(pane))
            p->record.setLocalBest(frame, row);
    }
    void frameBest(int pane, int frame, int row) override
    {
        if (ChainviewPane* p = at(pane))
            p->record.setFrameBest(frame, row);
    }
    void bestPath(int pane, int frame, int row) override
    {
        if (ChainviewPane* p = at(pane))
            p->record.bestPath.push_back({frame, row});
    }
    void orderScore(int pane, const std::string& order, const std::string& score) override
    {
        labelsWritten = true;
        if (ChainviewPane* p = at(pane)) {
            p->order = order;
            p->score = score;
        }
    }
    bool step() override
    {
        flush();
        // STOP ends every later step at once, without waiting.
        if (!m_model.m_onAnimate)
            return true;
        return m_model.m_pacer.AnimationStep();
    }

    void flush()
    {
        if (m_geometry) {
            m_geometry = false;
            m_model.panesChanged();
        }
        for (std::size_t k = 0; k < m_dirty.size(); ++k) {
            if (m_dirty[k]) {
                m_dirty[k] = false;
                m_model.paneChanged(static_cast<int>(k));
            }
        }
    }

    bool labelsWritten = false;

private:
    ChainviewPane* at(int pane)
    {
        if (pane < 0 || pane >= static_cast<int>(m_model.m_panes.size()))
            return nullptr;
        m_dirty[static_cast<std::size_t>(pane)] = true;
        return &m_model.m_panes[static_cast<std::size_t>(pane)];
    }

    ChainviewModel& m_model;
    std::vector<bool> m_dirty;
    bool m_geometry = false;
};

namespace {

// Five panes stand in a fresh window.
constexpr int kInitialPanes = 5;

std::string wordStatusText(std::int32_t status)
{
    switch (status) {
    case worddata::WordNumberBelow:
    case worddata::WordNumberBeyond: return "there is no such word in the table";
    case worddata::WordHasNoData: return "the word holds no recorded data";
    case worddata::NoFeaturesLoaded: return "no feature data are loaded";
    case worddata::FeaturesOutOfRange: return "its features lie outside the loaded feature data";
    default: return "its data could not be read";
    }
}

}  // namespace

ChainviewModel::ChainviewModel(Clock& clock, MessagePump& pump)
    : m_pacer(clock, pump, [this] { return m_onAnimate; })
    , m_panes(kInitialPanes)
{
    m_state.InitModeNames();
    m_pacer.SetAnimationDelay(10);
}

ChainviewModel::~ChainviewModel() = default;

void ChainviewModel::SetPruneTreshold(std::int32_t x)
{
    m_pruneTr = x > 0 ? static_cast<float>(x) : kDefaultPruneThreshold;
}

std::string ChainviewModel::caption() const { return m_state.caption(kCaptionChainview, m_mode); }

std::string ChainviewModel::busyReason() const
{
    return m_busy ? "The HMM viewer is matching a word; try again when the match has ended." : std::string();
}

ControlResult ChainviewModel::LoadMode(std::int32_t pMode, const std::string& vName, const std::string&,
                                       const std::string& lName, const std::string& wParh)
{
    if (m_busy)
        return ControlResult::failure(busyReason());
    if (pMode < 0 || pMode >= kModeCount)
        return ControlResult::failure("Mode " + std::to_string(pMode) + " is not an operating mode (0 to 13).");
    std::string problem;
    if (!checkName(vName, NameKind::Vocabulary, &problem) || !checkName(wParh, NameKind::WorkDirectory, &problem) ||
        (pMode != ModeStringsSpeakRecognizeHmm && !checkName(lName, NameKind::File, &problem)))
        return ControlResult::failure(problem);

    m_mode = pMode;
    m_report.clear();
    m_saveLabEnabled = false;
    const DataTree tree(m_state.AppPath);
    m_config = ReadTrainerConfig(tree.modelConfigCopy(vName, wParh));
    m_vocabulary.clear();
    m_vocabularyName = vName;
    std::string vocabularyError;
    if (!readVocabularyFile(tree.vocabularyFile(vName), &m_vocabulary, &vocabularyError))
        m_vocabulary.clear();

    std::string labelPath;
    if (pMode == ModeStringsPickMatchHmm) {
        labelPath = tree.stringRecordingBase(vName, lName) + ".lab";
        m_returnCaption = kReturnSignalCaption;
        m_stringEnabled = true;
        m_recogMethod = StringMethod;
    } else if (pMode == ModeStringsSpeakRecognizeHmm) {
        m_returnCaption = kReturnSignalCaption;
        m_saveLabEnabled = true;
        m_stringEnabled = true;
        m_recogMethod = StringMethod;
    } else {
        labelPath = tree.recordingBase(vName, lName) + ".lab";
        m_returnCaption = kReturnTalvorCaption;
        m_stringEnabled = false;
        m_recogMethod = SequentialMethod;
    }

    m_words.clear();
    m_wordIndex = -1;
    if (pMode == ModeStringsSpeakRecognizeHmm) {
        m_store.NewVoc(5);
        m_words.push_back(kModeStringsWord);
    } else {
        if (m_store.Open_Data(resolveFileName(labelPath), lName + ".lab") != 0) {
            AddToReport(m_store.lastError());
            m_store.NewVoc(0);
        }
        for (std::int32_t row = 1; row < m_store.Rows(); ++row)
            m_words.push_back(m_store.cell(row, worddata::ColName));
    }

    // The models (and the panes' records) of the previous folder go first.
    m_models.clear();
    for (ChainviewPane& p : m_panes) {
        p.modelIndex = -1;
        p.record.clear();
    }
    resultsNothing();
    if (!m_words.empty())
        cmboWords_Click(0);
    loadModels(tree.workFolder(vName, wParh));

    m_panes.assign(m_models.size(), ChainviewPane{});
    for (std::size_t i = 0; i < m_panes.size(); ++i)
        setPaneModel(static_cast<int>(i), static_cast<std::int32_t>(i));
    panesChanged();
    changed();

    if (pMode == ModeHmmSequentialParallel)
        MATCH(0);
    return ControlResult::success();
}

void ChainviewModel::loadModels(const std::string& folder)
{
    // The set as one training left it, never half of two.
    const ModelSetReading reading(folder);
    const std::vector<std::string> files = listFilesWithExtension(folder, ".mod");
    const std::size_t n = std::min<std::size_t>(files.size(), kMaxModels);
    for (std::size_t k = 0; k < n; ++k) {
        auto model = std::make_unique<HmmModel>();
        const std::string path = joinPath(folder, files[k]);
        std::string name = path;
        const ModLoadReport report = model->LoadMOD(name);
        AddToReport(path);
        if (!report.error.empty())
            AddToReport("Cannot use " + files[k] + ": " + report.error);
        else if (!report.loaded)
            AddToReport(files[k] + " holds fewer than 3 states: it is never matched.");
        for (const std::string& w : report.warnings)
            AddToReport(files[k] + ": " + w);
        m_models.push_back(std::move(model));
    }
    if (files.size() > n)
        AddToReport(std::to_string(files.size() - n) + " more model files were skipped: at most " +
                    std::to_string(kMaxModels) + " models are loaded.");
    AddToReport(kReportOpeningModels);
}

void ChainviewModel::setPaneModel(int pane, std::int32_t modelIndex)
{
    ChainviewPane& p = m_panes[static_cast<std::size_t>(pane)];
    p.modelIndex = modelIndex;
    p.record.clear();
    p.order.clear();
    p.score.clear();
    if (modelIndex >= 0 && modelIndex < modelCount())
        p.heightRows = m_models[static_cast<std::size_t>(modelIndex)]->nStates();
}

ControlResult ChainviewModel::PutWordData(std::int32_t i, std::span<const float> v, std::span<const std::int16_t> s,
                                          std::int32_t nFrames, std::string& name, std::int32_t& result)
{
    name.clear();
    result = -1;
    if (m_busy)
        return ControlResult::failure(busyReason());
    std::int32_t row = i;
    if (m_mode == ModeStringsSpeakRecognizeHmm) {
        row = m_wordIndex + 1;
    } else if (i < 1 || i > static_cast<std::int32_t>(m_words.size())) {
        const std::string reason = "Word " + std::to_string(i) + " is not in the word list (" +
                                   (m_words.empty() ? std::string("it is empty") : "1 to " + std::to_string(m_words.size())) +
                                   "): nothing was matched.";
        AddToReport(reason);
        resultsNothing();
        return ControlResult::failure(reason);
    }
    if (row < 1 || row > static_cast<std::int32_t>(m_words.size())) {
        const std::string reason = "No word is selected: nothing was matched.";
        AddToReport(reason);
        resultsNothing();
        return ControlResult::failure(reason);
    }
    // The word keeps the name the list shows for it.
    const std::string storeName = m_words[static_cast<std::size_t>(row - 1)];
    if (m_store.PutWordData(row, v, s, nFrames, storeName) != 0) {
        const std::string reason = m_store.lastError();
        AddToReport(reason);
        resultsNothing();
        changed();
        return ControlResult::failure(reason);
    }
    if (m_mode != ModeStringsSpeakRecognizeHmm)
        cmboWords_Click(i - 1);
    MATCH(0);
    name = currentWordText();
    result = 0;
    return ControlResult::success();
}

std::int32_t ChainviewModel::GetResultByOrder(std::int32_t order) const
{
    // Column 2 holds panes; the receiver is told the model the pane showed
    // when the result was written, whatever the panes show now.
    const std::optional<std::int32_t> pane = m_results.GetResultByOrder(order);
    if (!pane || *pane < 0 || *pane >= static_cast<std::int32_t>(m_resultModels.size()))
        return -1;
    return m_resultModels[static_cast<std::size_t>(*pane)];
}

void ChainviewModel::resultsFollowPanes()
{
    m_resultModels.clear();
    for (const ChainviewPane& p : m_panes)
        m_resultModels.push_back(p.modelIndex);
}

std::int32_t ChainviewModel::GetModelVocabularyIndex(std::int32_t modelIndex) const
{
    if (modelIndex < 0 || modelIndex >= modelCount())
        return -1;
    return m_models[static_cast<std::size_t>(modelIndex)]->modelID();
}

void ChainviewModel::unrank()
{
    m_resultModels.clear();
    for (int row = 0; row < MatchResults::kRows; ++row)
        m_results.at(row, MatchResults::kOrder) = -1.0f;
}

std::string ChainviewModel::stoppedReport(int finished, int models)
{
    return "Stopped: " + std::to_string(finished) + " of " + std::to_string(models) +
           " models matched; nothing is ranked.";
}

void ChainviewModel::resultsNothing()
{
    m_resultModels.clear();
    for (int row = 0; row < MatchResults::kRows; ++row) {
        m_results.at(row, MatchResults::kScore) = kScoreFloor;
        m_results.at(row, MatchResults::kOrder) = -1.0f;
    }
}

std::vector<const HmmModel*> ChainviewModel::paneModels() const
{
    std::vector<const HmmModel*> out;
    out.reserve(m_panes.size());
    for (const ChainviewPane& p : m_panes)
        out.push_back(p.modelIndex >= 0 && p.modelIndex < modelCount()
                          ? m_models[static_cast<std::size_t>(p.modelIndex)].get()
                          : nullptr);
    return out;
}

void ChainviewModel::MATCH(std::int32_t animIt)
{
    if (m_busy)
        return;
    BusyScope busy(*this);
    const bool animate = animIt != 0;
    if (m_models.empty()) {
        AddToReport(kReportNoModels);
        return;
    }
    auto refuse = [this](const std::string& why) {
        AddToReport(why);
        resultsNothing();
        clearPanes();
    };
    if (m_wordIndex < 0 || m_wordIndex >= static_cast<int>(m_words.size())) {
        refuse("No word is selected: nothing was matched.");
        return;
    }
    worddata::WordData word;
    word.i = m_wordIndex + 1;
    std::int32_t status = 0;
    m_store.GetWordData(word, status);
    const std::string which = "Word " + std::to_string(m_wordIndex + 1) + " \"" + m_words[static_cast<std::size_t>(m_wordIndex)] + "\"";
    const bool featuresInFull =
        (status == worddata::WordDelivered || status == worddata::NoSamplesLoaded ||
         status == worddata::SamplesOutOfRange) &&
        word.nFrames >= 0 &&
        word.v.size() >= static_cast<std::size_t>(word.nFrames) * static_cast<std::size_t>(kFeaturesPerFrame);
    if (!featuresInFull) {
        refuse(which + " cannot be matched: " + wordStatusText(status) + ".");
        return;
    }
    if (word.nFrames < kMinWordFrames || word.nFrames > kMaxWordFrames) {
        refuse(which + " has " + std::to_string(word.nFrames) + " frames; a word of " +
               std::to_string(kMinWordFrames) + " to " + std::to_string(kMaxWordFrames) + " frames can be matched.");
        return;
    }
    if (!m_config.found) {
        refuse("Nothing was matched: " + m_config.error + ".");
        return;
    }
    const PackedFrames packed = packWordFrames(word.v, word.nFrames, m_config.featureMask);
    if (packed.features != m_config.coefCount) {
        refuse("Nothing was matched: the trainer configuration selects " + std::to_string(packed.features) +
               " features but gives their number as " + std::to_string(m_config.coefCount) + ".");
        return;
    }
    if (const std::optional<std::size_t> at = firstUnusableFeatureValue(packed.values)) {
        // NaN or a huge value would make every score meaningless.
        refuse(which + " cannot be matched: frame " +
               std::to_string(static_cast<std::size_t>(kMarginFrames) + *at / static_cast<std::size_t>(packed.features)) +
               " holds a feature value that is not a finite number within " + numberText(kFeatureMagnitudeLimit) +
               " either side of 0.");
        return;
    }
    switch (m_recogMethod) {
    case ParallelMethod: matchParallel(packed, animate); break;
    case StringMethod: matchString(packed, animate); break;
    default: matchSequential(packed, animate, word.name); break;
    }
}

void ChainviewModel::matchSequential(const PackedFrames& packed, bool animate, const std::string& testedName)
{
    const PackedWord word = packed.word();
    ObservationScores scores(word);
    Recorder recorder(*this);
    const MatchOptions options{&recorder, animate, &scores};
    const std::vector<const HmmModel*> models = paneModels();
    const int n = paneCount();
    // A STOP ends the run: the model being drawn and the ones after it are
    // not scored, and nothing is ranked.
    int finished = 0;
    bool stopped = false;
    for (int i = 0; i < n; ++i) {
        ChainviewPane& p = m_panes[static_cast<std::size_t>(i)];
        float score = kScoreFloor;
        MatchStatus status = MatchStatus::NotScored;
        p.record.clear();
        p.order.clear();
        p.score.clear();
        if (!stopped) {
            if (models[static_cast<std::size_t>(i)])
                status = MatchSequentialHMM(*models[static_cast<std::size_t>(i)], word, score, i, true, options);
            stopped = status == MatchStatus::Stopped;
        }
        if (stopped) {
            m_results.at(i, MatchResults::kScore) = kScoreFloor;
            p.order = kStoppedOrder;
            p.score.clear();
            paneChanged(i);
            continue;
        }
        ++finished;
        m_results.at(i, MatchResults::kScore) = score;
        const OrderScoreLabels labels = ShowOrderScore(score, "SCORE:", 0);
        p.order = labels.order;
        p.score = labels.score;
        paneChanged(i);
    }
    recorder.flush();
    if (stopped) {
        for (int i = 0; i < finished; ++i) {
            m_panes[static_cast<std::size_t>(i)].order = kStoppedOrder;
            paneChanged(i);
        }
        unrank();
        AddToReport(stoppedReport(finished, n));
        return;
    }
    std::vector<std::int32_t> order(static_cast<std::size_t>(n), -1);
    RankByScore(m_results, order, kScoreFloor);
    resultsFollowPanes();
    for (int i = 0; i < n; ++i) {
        ChainviewPane& p = m_panes[static_cast<std::size_t>(i)];
        const std::int32_t rank = order[static_cast<std::size_t>(i)];
        const OrderScoreLabels labels = ShowOrderScore(m_results.at(i, MatchResults::kScore), numberText(rank), 0);
        p.order = labels.order;
        p.score = labels.score;
        if (rank == 1 && !testedName.empty() && models[static_cast<std::size_t>(i)])
            AddToReport(kReportRecognizedWord + models[static_cast<std::size_t>(i)]->word());
        paneChanged(i);
    }
    if (m_mode == ModeStringsSpeakRecognizeHmm)
        replaceCurrentEntry(testedName);
}

void ChainviewModel::matchParallel(const PackedFrames& packed, bool animate)
{
    const PackedWord word = packed.word();
    ObservationScores scores(word);
    Recorder recorder(*this);
    const MatchOptions options{&recorder, animate, &scores};
    std::string recognised;  // empty at every match
    const MatchStatus status = MatchParallelHMM(paneModels(), word, m_results, m_pruneTr, recognised, options);
    recorder.flush();
    // Ranked only when it ran to its end; a stopped run shows the scores of
    // the models it finished and "stopped" in place of every rank (the table
    // is the decoder's: it keeps what it held).
    if (status != MatchStatus::Stopped) {
        resultsFollowPanes();
    } else {
        int finished = 0;
        for (int i = 0; i < paneCount(); ++i) {
            ChainviewPane& p = m_panes[static_cast<std::size_t>(i)];
            const bool scored = p.order == "SCORE:";
            finished += scored || p.order == "pruned" ? 1 : 0;
            if (p.order == "pruned")
                continue;
            p.order = kStoppedOrder;
            if (!scored)
                p.score.clear();
            paneChanged(i);
        }
        AddToReport(stoppedReport(finished, paneCount()));
    }
    if (!recognised.empty())
        AddToReport(kReportRecognizedWord + recognised);
    if (m_mode == ModeStringsSpeakRecognizeHmm && status != MatchStatus::Stopped)
        replaceCurrentEntry(recognised);
}

void ChainviewModel::matchString(const PackedFrames& packed, bool animate)
{
    const PackedWord word = packed.word();
    ObservationScores scores(word);
    Recorder recorder(*this);
    const MatchOptions options{&recorder, animate, &scores};
    std::string text;
    std::int32_t count = 0;
    const MatchStatus status = MatchStringHMM(paneModels(), word, m_results, text, 10, count, options);
    recorder.flush();
    // The words are written before the labels are cleared and the paths drawn.
    if (status != MatchStatus::Stopped || recorder.labelsWritten)
        resultsFollowPanes();
    if (m_mode == ModeStringsSpeakRecognizeHmm && status != MatchStatus::Stopped)
        replaceCurrentEntry(text);
    if (!text.empty())
        AddToReport(kReportRecognizedString + text);
}

void ChainviewModel::replaceCurrentEntry(const std::string& text)
{
    if (m_wordIndex >= 0 && m_wordIndex < static_cast<int>(m_words.size())) {
        m_words[static_cast<std::size_t>(m_wordIndex)] = text;
        changed();
    }
}

std::string ChainviewModel::currentWordText() const
{
    return m_wordIndex >= 0 && m_wordIndex < static_cast<int>(m_words.size())
               ? m_words[static_cast<std::size_t>(m_wordIndex)]
               : std::string();
}

void ChainviewModel::clearPanes()
{
    for (int k = 0; k < paneCount(); ++k) {
        ChainviewPane& p = m_panes[static_cast<std::size_t>(k)];
        p.record.clear();
        p.order.clear();
        p.score.clear();
        paneChanged(k);
    }
}

void ChainviewModel::cmdMatch_Click()
{
    if (!m_busy)
        MATCH(0);
}

void ChainviewModel::cmboWords_Click(int index)
{
    if (m_busy || index < 0 || index >= static_cast<int>(m_words.size()))
        return;
    m_wordIndex = index;
    clearPanes();
    AddToReport(kReportTestedFile + m_store.lblName() + kReportSelectedWord + m_words[static_cast<std::size_t>(index)]);
}

void ChainviewModel::cmdNextWord_Click()
{
    if (m_busy || m_words.empty())
        return;
    cmboWords_Click(m_wordIndex + 1 >= static_cast<int>(m_words.size()) ? 0 : m_wordIndex + 1);
}

void ChainviewModel::cmdAnimate_Click()
{
    if (m_onAnimate) {
        // STOP: the running match ends at its next step.
        m_onAnimate = false;
        m_animateCaption = kAnimateCaption;
        changed();
        return;
    }
    if (m_busy)
        return;
    m_onAnimate = true;
    m_animateCaption = kStopCaption;
    Button_Enable(false, false, false, true, true, false);
    MATCH(-1);
    m_onAnimate = false;
    m_pacer.ContinueAnimation();
    m_animateCaption = kAnimateCaption;
    m_pauseCaption = kPauseCaption;
    Button_Enable(true, true, true, true, false, true);
}

void ChainviewModel::stopAnimation()
{
    m_onAnimate = false;
    m_pacer.ContinueAnimation();
}

void ChainviewModel::cmdPause_Click()
{
    if (!m_onAnimate)
        return;
    if (m_pauseCaption != kContinueCaption) {
        m_pacer.PauseAnimation();
        m_pauseCaption = kContinueCaption;
    } else {
        m_pacer.ContinueAnimation();
        m_pauseCaption = kPauseCaption;
    }
    changed();
}

void ChainviewModel::setRecogMethod(std::int32_t method)
{
    if (m_busy || method < SequentialMethod || method > StringMethod)
        return;
    if (method == StringMethod && !m_stringEnabled)
        return;
    m_recogMethod = method;
    changed();
}

void ChainviewModel::paneModelPicked(int pane, std::int32_t newIndex)
{
    if (m_busy || pane < 0 || pane >= paneCount() || newIndex < 0 || newIndex >= modelCount())
        return;
    const std::int32_t oldIndex = m_panes[static_cast<std::size_t>(pane)].modelIndex;
    if (newIndex != oldIndex) {
        setPaneModel(pane, newIndex);
        for (int k = 0; k < paneCount(); ++k) {
            if (k != pane && m_panes[static_cast<std::size_t>(k)].modelIndex == newIndex) {
                setPaneModel(k, oldIndex);
                break;
            }
        }
        panesChanged();
    } else {
        ChainviewPane& p = m_panes[static_cast<std::size_t>(pane)];
        p.record.clear();
        p.order.clear();
        p.score.clear();
        paneChanged(pane);
    }
}

void ChainviewModel::Button_Enable(bool bMatch, bool cWords, bool bNext, bool bAnimate, bool bPause, bool bBack)
{
    m_buttons = {bMatch, cWords, bNext, bAnimate, bPause, bBack};
    changed();
}

void ChainviewModel::AddToReport(const std::string& text)
{
    m_report.push_front(text);
    while (m_report.size() > kReportLineLimit)
        m_report.pop_back();
    changed();
}

std::string ChainviewModel::reportText() const
{
    std::string out;
    for (const std::string& line : m_report) {
        if (!out.empty())
            out += '\n';
        out += line;
    }
    return out;
}

std::vector<std::string> ChainviewModel::modelWords() const
{
    std::vector<std::string> out;
    out.reserve(m_models.size());
    for (const auto& m : m_models)
        out.push_back(m->word());
    return out;
}

void ChainviewModel::changed()
{
    if (m_listener)
        m_listener->viewerChanged();
}

void ChainviewModel::paneChanged(int pane)
{
    if (m_listener)
        m_listener->paneChanged(pane);
}

void ChainviewModel::panesChanged()
{
    if (m_listener)
        m_listener->panesChanged();
}

}  // namespace talvor::hmmview
