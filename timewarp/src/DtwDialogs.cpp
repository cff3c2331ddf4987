#include "timewarp/DtwDialogs.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "common/NumberText.h"

namespace talvor::timewarp {

std::string scoreText(float score)
{
    char buf[400];
    const auto r = std::to_chars(buf, buf + sizeof buf, double(score), std::chars_format::fixed, 2);
    if (r.ec != std::errc())
        return "";
    return std::string(buf, r.ptr);
}

int featurePosition(const std::string& flags, int k)
{
    int n = 0;
    for (int m = 0; m < k && m < int(flags.size()); ++m)
        n += flags[std::size_t(m)] == '1';
    return std::max(1, n);
}

std::int16_t flexibleBandRange(int N, int M)
{
    const double r = std::sqrt(double(std::int32_t(N) * std::int32_t(M))) * 0.2;
    return std::int16_t(std::clamp(roundHalfEven(r), 0, 32767));
}

ReferenceRanking RankReferences(const DtwWordStore& store, int testLabel)
{
    ReferenceRanking result;
    const int total = std::clamp<int>(store.referenceTotal, 0, kMaxReferences);
    std::vector<bool> ranked(std::size_t(total) + 1, false);
    for (int rank = 1; rank <= total; ++rank) {
        // Selection of the lowest score not ranked yet, below 1e36: strict <,
        // so equal scores keep their load order and forbidden scores (1e35)
        // come after all others.  A score that is not a number never passes:
        // such a reference takes the first free rank at the end.
        float best = 1e36f;
        int candidate = 0;
        for (int r = 1; r <= total; ++r) {
            if (!ranked[std::size_t(r)] && store.batch[std::size_t(r)].score < best) {
                best = store.batch[std::size_t(r)].score;
                candidate = r;
            }
        }
        for (int r = 1; candidate == 0 && r <= total; ++r)
            if (!ranked[std::size_t(r)])
                candidate = r;
        ranked[std::size_t(candidate)] = true;
        result.order.push_back(candidate);
    }
    for (int r : result.order)
        if (store.reference(r).label == testLabel)
            result.trueList.push_back(r);
    return result;
}

// ---------------------------------------------------------------------------

void RefSelection::Form_Load()
{
    const DtwWordStore& store = m_session.state().store;
    const int w = store.currentTestWord;
    const int label = m_session.testValid() && w >= 1 && w <= store.testWordCount ? store.testWord(w).label : -1;
    m_ranking = RankReferences(store, label);
    m_position[True] = m_position[Nearest] = m_position[Other] = 1;
    m_way = Nearest;
}

bool RefSelection::trueAvailable() const
{
    return m_session.state().mode != 8 && !m_ranking.trueList.empty();
}

void RefSelection::optRef_Click(Way way)
{
    if (way == True && !trueAvailable())
        return;
    m_way = way;
}

int RefSelection::count(Way way) const
{
    switch (way) {
    case True:
        return int(m_ranking.trueList.size());
    case Nearest:
        return int(m_ranking.order.size());
    case Other:
        return int(m_ranking.order.size());
    }
    return 0;
}

int RefSelection::reference(Way way) const
{
    const int k = m_position[way];
    if (k < 1 || k > count(way))
        return 0;
    switch (way) {
    case True:
        return m_ranking.trueList[std::size_t(k - 1)];
    case Nearest:
        return m_ranking.order[std::size_t(k - 1)];
    case Other:
        return k;
    }
    return 0;
}

RefSelection::Panel RefSelection::panelOf(int r) const
{
    const DtwComparerState& state = m_session.state();
    if (r < 1 || r > state.store.referenceTotal)
        return {};
    const WordRecord& ref = state.store.reference(r);
    const std::string setName =
        ref.set >= 1 && ref.set <= kMaxReferenceSets ? state.referenceNames[std::size_t(ref.set)] : "";
    return {state.vocabulary[std::size_t(ref.label)] + " (" + setName + ")",
            scoreText(state.store.batch[std::size_t(r)].score)};
}

RefSelection::Panel RefSelection::ShowNearestRef(int k) const
{
    return k >= 1 && k <= int(m_ranking.order.size()) ? panelOf(m_ranking.order[std::size_t(k - 1)]) : Panel{};
}

RefSelection::Panel RefSelection::ShowTrueRef(int k) const
{
    return k >= 1 && k <= int(m_ranking.trueList.size()) ? panelOf(m_ranking.trueList[std::size_t(k - 1)]) : Panel{};
}

RefSelection::Panel RefSelection::ShowOtherRef(int k) const
{
    return panelOf(k);
}

RefSelection::Panel RefSelection::panel(Way way) const
{
    switch (way) {
    case True:
        return ShowTrueRef(m_position[True]);
    case Nearest:
        return ShowNearestRef(m_position[Nearest]);
    case Other:
        return ShowOtherRef(m_position[Other]);
    }
    return {};
}

void RefSelection::next(Way way)
{
    if (m_position[way] < count(way))
        ++m_position[way];
}

void RefSelection::previous(Way way)
{
    if (m_position[way] > 1)
        --m_position[way];
}

void RefSelection::spinDown(Way way)
{
    if (way == Other)
        previous(way);
    else
        next(way);
}

void RefSelection::spinUp(Way way)
{
    if (way == Other)
        next(way);
    else
        previous(way);
}

bool RefSelection::cmdOk_Click()
{
    const int r = m_way == True && !trueAvailable() ? 0 : reference(m_way);
    if (r == 0) {
        m_session.setStatusLine(" No reference was chosen; the reference is kept.");
        return false;
    }
    if (!m_session.testValid()) {
        m_session.setStatusLine(" There is no test word to match: load or choose a test word first.");
        return false;
    }
    m_session.state().store.currentReference = std::int16_t(r);
    return m_session.Reference();
}

// ---------------------------------------------------------------------------

void PlotOptions::spiRotDown()
{
    m_state.rotation = std::int16_t(std::max(0, m_state.rotation - 5));
}

void PlotOptions::spiRotUp()
{
    m_state.rotation = std::int16_t(std::min(45, m_state.rotation + 5));
}

void PlotOptions::spiElevDown()
{
    m_state.elevation = std::int16_t(std::max(5, m_state.elevation - 5));
}

void PlotOptions::spiElevUp()
{
    m_state.elevation = std::int16_t(std::min(85, m_state.elevation + 5));
}

// ---------------------------------------------------------------------------

void MethodOptions::Form_Load()
{
    const char current = method();
    choose(current == kMethodItakura || current == kMethodLinear ? current : char(kMethodGeneral));
}

void MethodOptions::choose(char method)
{
    m_session.state().store.method = method;
    m_title = methodTitle(method);
}

void MethodOptions::spiRangeDown()
{
    std::int16_t& range = m_session.state().store.bandRange;
    if (range > 2)
        --range;
}

void MethodOptions::spiRangeUp()
{
    DtwWordStore& store = m_session.state().store;
    if (store.bandRange < store.N && store.bandRange < store.M)
        ++store.bandRange;
}

bool MethodOptions::cmdOk_Click()
{
    m_session.labels().dtwCaption = m_title;
    if (!m_session.testValid()) {
        m_session.setStatusLine(" There is no test word to match: load or choose a test word first.");
        return false;
    }
    return m_session.showBestReference();
}

// ---------------------------------------------------------------------------

bool FeatureOptions::enabled(int k) const
{
    const std::string& flags = m_session.state().featureFlags;
    return k >= 1 && k <= int(flags.size()) && flags[std::size_t(k - 1)] == '1';
}

void FeatureOptions::optFeature_Click(int k)
{
    if (!enabled(k))
        return;
    m_selected = k;
    DtwComparerState& state = m_session.state();
    state.displayedFeature = std::int16_t(k);
    state.displayedPosition = std::int16_t(featurePosition(state.featureFlags, k));
}

bool FeatureOptions::cmdOk_Click()
{
    if (!m_session.pairValid()) {
        m_session.setStatusLine(m_session.testValid()
                                    ? " There is no reference to show: load or choose a reference first."
                                    : " There is no test word to show: load or choose a test word first.");
        return false;
    }
    m_session.refillTracks();
    return true;
}

}  // namespace talvor::timewarp
