// The viewer model's menu commands: word data files, extra model files,
// sorting the panes, and the test-all run with its recognition log.
#include <algorithm>
#include <climits>
#include <filesystem>
#include <numeric>

#include "common/FeatureValues.h"
#include "common/FileNames.h"
#include "common/NameCheck.h"
#include "common/NumberText.h"
#include "hmmview/ChainviewModel.h"
#include "hmmview/Decoders.h"
#include "hmmview/ObservationScores.h"
#include "hmmview/RecogLog.h"

namespace talvor::hmmview {

ControlResult ChainviewModel::openLabFile(const std::string& path)
{
    if (m_busy)
        return ControlResult::failure(busyReason());
    const std::filesystem::path p(path);
    const std::string title = p.filename().string();
    std::string problem;
    if (!checkName(p.stem().string(), NameKind::File, &problem))
        return ControlResult::failure(problem);
    if (m_store.Open_Data(path, title) != 0) {
        const std::string reason = m_store.lastError();
        AddToReport(reason);
        return ControlResult::failure(reason);
    }
    m_words.clear();
    m_wordIndex = -1;
    for (std::int32_t row = 1; row < m_store.Rows(); ++row)
        m_words.push_back(m_store.cell(row, worddata::ColName));
    if (!m_words.empty())
        cmboWords_Click(0);
    else
        clearPanes();
    changed();
    return ControlResult::success();
}

ControlResult ChainviewModel::saveLabFile(const std::string& path)
{
    if (m_busy)
        return ControlResult::failure(busyReason());
    std::string problem;
    if (!checkName(std::filesystem::path(path).stem().string(), NameKind::File, &problem))
        return ControlResult::failure(problem);
    if (m_store.Save_Data(path) != 0) {
        const std::string reason = m_store.lastError();
        AddToReport(reason);
        return ControlResult::failure(reason);
    }
    return ControlResult::success();
}

ControlResult ChainviewModel::addModelFile(const std::string& path)
{
    if (m_busy)
        return ControlResult::failure(busyReason());
    if (modelCount() >= kMaxModels)
        return ControlResult::failure("At most " + std::to_string(kMaxModels) + " models can be loaded.");
    auto model = std::make_unique<HmmModel>();
    std::string name = path;
    const ModLoadReport report = model->LoadMOD(name);
    AddToReport(path);
    if (!report.error.empty())
        AddToReport("Cannot use " + path + ": " + report.error);
    m_models.push_back(std::move(model));
    // The viewer's panes are the models' panes: a fresh viewer's empty panes go.
    if (modelCount() == 1)
        m_panes.clear();
    m_panes.emplace_back();
    setPaneModel(paneCount() - 1, modelCount() - 1);
    panesChanged();
    changed();
    return report.error.empty() ? ControlResult::success() : ControlResult::failure(report.error);
}

void ChainviewModel::arrangePanes(const std::vector<std::int32_t>& modelsInOrder)
{
    const std::vector<ChainviewPane> before = m_panes;
    std::vector<bool> taken(before.size(), false);
    for (std::size_t k = 0; k < m_panes.size(); ++k) {
        const std::int32_t model = k < modelsInOrder.size() ? modelsInOrder[k] : -1;
        std::size_t from = before.size();
        for (std::size_t j = 0; j < before.size() && from == before.size(); ++j)
            if (!taken[j] && before[j].modelIndex == model)
                from = j;
        if (from < before.size()) {
            taken[from] = true;
            m_panes[k] = before[from];
        } else {
            m_panes[k] = ChainviewPane{};
            setPaneModel(static_cast<int>(k), model);
        }
    }
    panesChanged();
    changed();
}

void ChainviewModel::sortModelsByVocabulary()
{
    if (m_busy)
        return;
    auto lower = [](std::string text) {
        for (char& c : text)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        return text;
    };
    // A model's place: its word's position in the vocabulary, else after all.
    std::vector<std::size_t> place(static_cast<std::size_t>(modelCount()), m_vocabulary.size());
    for (int m = 0; m < modelCount(); ++m)
        for (std::size_t v = 0; v < m_vocabulary.size(); ++v)
            if (lower(m_vocabulary[v].word) == lower(model(m).word())) {
                place[static_cast<std::size_t>(m)] = v;
                break;
            }
    std::vector<std::int32_t> order(static_cast<std::size_t>(modelCount()));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](std::int32_t a, std::int32_t b) {
        return place[static_cast<std::size_t>(a)] < place[static_cast<std::size_t>(b)];
    });
    if (m_vocabulary.empty()) {
        AddToReport("No vocabulary is known: the models stand in the order of their files.");
    } else {
        const auto outside = std::count(place.begin(), place.end(), m_vocabulary.size());
        if (outside > 0)
            AddToReport(std::to_string(outside) + (outside == 1 ? " model's word is" : " models' words are") +
                        " not in the vocabulary " + m_vocabularyName + ": they stand last, in the order of their files.");
    }
    // Panes beyond the models stay empty.
    order.resize(static_cast<std::size_t>(std::max(paneCount(), modelCount())), -1);
    arrangePanes(order);
}

void ChainviewModel::sortModelsByScore()
{
    if (m_busy)
        return;
    MATCH(0);
    const int n = paneCount();
    std::vector<int> panes(static_cast<std::size_t>(n));
    std::iota(panes.begin(), panes.end(), 0);
    std::vector<long long> key(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const std::int32_t rank = roundHalfEven(leadingNumber(m_panes[static_cast<std::size_t>(i)].order));
        key[static_cast<std::size_t>(i)] = rank >= 1 ? rank : LLONG_MAX;
    }
    // Ranked panes by rank, then the unranked (pruned, not scored), each group
    // in pane order: a permutation, whatever ties there are.
    std::stable_sort(panes.begin(), panes.end(),
                     [&](int a, int b) { return key[static_cast<std::size_t>(a)] < key[static_cast<std::size_t>(b)]; });
    std::vector<std::int32_t> models;
    for (int position = 0; position < n; ++position)
        models.push_back(m_panes[static_cast<std::size_t>(panes[static_cast<std::size_t>(position)])].modelIndex);
    arrangePanes(models);
}

ControlResult ChainviewModel::testAllBlocks(std::vector<RecogLogBlock>& blocks)
{
    blocks.clear();
    if (!m_config.found)
        return ControlResult::failure("Nothing was tested: " + m_config.error + ".");
    if (selectedFeatureCount(m_config.featureMask) != m_config.coefCount)
        return ControlResult::failure("Nothing was tested: the trainer configuration selects " +
                                      std::to_string(selectedFeatureCount(m_config.featureMask)) +
                                      " features but gives their number as " + std::to_string(m_config.coefCount) + ".");
    const std::vector<std::string> names = modelWords();
    std::vector<const HmmModel*> models;
    for (const auto& m : m_models)
        models.push_back(m.get());
    for (std::int32_t row = 1; row < m_store.Rows(); ++row) {
        RecogLogBlock block{m_store.cell(row, worddata::ColName), names,
                            std::vector<float>(models.size(), kScoreFloor)};
        worddata::WordData word;
        word.i = row;
        std::int32_t status = 0;
        m_store.GetWordData(word, status);
        const bool featuresInFull =
            (status == worddata::WordDelivered || status == worddata::NoSamplesLoaded ||
             status == worddata::SamplesOutOfRange) &&
            word.v.size() >= static_cast<std::size_t>(std::max(word.nFrames, 0)) * kFeaturesPerFrame;
        // Packed and decoded the way MATCH does it; a word MATCH refuses scores -1e30.
        const PackedFrames packed = featuresInFull && word.nFrames >= kMinWordFrames && word.nFrames <= kMaxWordFrames
                                        ? packWordFrames(word.v, word.nFrames, m_config.featureMask)
                                        : PackedFrames{};
        if (packed.frames > 0 && !firstUnusableFeatureValue(packed.values)) {
            const PackedWord w = packed.word();
            ObservationScores scores(w);
            MatchOptions options;
            options.scores = &scores;
            if (m_recogMethod == ParallelMethod) {
                MatchResults table;
                std::string recognised;
                MatchParallelHMM(models, w, table, m_pruneTr, recognised, options);
                for (std::size_t m = 0; m < models.size(); ++m)
                    block.scores[m] = table.at(static_cast<int>(m), MatchResults::kScore);
            } else {
                for (std::size_t m = 0; m < models.size(); ++m)
                    MatchSequentialHMM(*models[m], w, block.scores[m], static_cast<int>(m), false, options);
            }
        }
        blocks.push_back(std::move(block));
    }
    return ControlResult::success();
}

ControlResult ChainviewModel::TestAllToAll()
{
    if (m_busy)
        return ControlResult::failure(busyReason());
    BusyScope busy(*this);
    std::vector<RecogLogBlock> blocks;
    ControlResult r = testAllBlocks(blocks);
    if (!r) {
        AddToReport(r.error);
        return r;
    }
    const std::string path = joinPath(m_state.AppPath, kRecogLogName);
    std::string error;
    if (!writeFileWhole(path, recogLogText(blocks), &error)) {
        const std::string reason = "Cannot write " + path + ": " + error;
        AddToReport(reason);
        return ControlResult::failure(reason);
    }
    AddToReport("Test all to all: " + std::to_string(blocks.size()) + " words scored, written to " + path);
    return ControlResult::success();
}

}  // namespace talvor::hmmview
