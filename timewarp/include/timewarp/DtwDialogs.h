#pragma once
// The DTW window's dialogs without Qt: reference selection (frmRefSel) and
// the three option dialogs, plot (frmPlot), method (frmMethod) and feature
// (frmFeat).  Each model holds what its dialog shows and does what its
// controls do; the Qt dialogs map it onto their widgets.
#include <cstdint>
#include <string>
#include <vector>

#include "timewarp/DtwSession.h"

namespace talvor::timewarp {

// A score as "#####0.00": at least one digit before the point, two after it;
// 1e35 (the forbidden score) is written out in full.
std::string scoreText(float score);

// Position of feature k (1..20) among the stored features: the number of "1"
// among the first k flags, at least 1.
int featurePosition(const std::string& flags, int k);

// The flexibly adjusted band range: round(0.2 sqrt(N M)), halves to even.
std::int16_t flexibleBandRange(int N, int M);

// References by their last batch score, ascending; equal scores keep their
// load order and forbidden scores come last.  The true list holds every
// reference whose label is the test word's, in score order.
struct ReferenceRanking {
    std::vector<int> order;     // reference indices, best first
    std::vector<int> trueList;  // of order, those with the test word's label
};
ReferenceRanking RankReferences(const DtwWordStore& store, int testLabel);

// "Reference selection".
class RefSelection {
public:
    enum Way { True = 0, Nearest = 1, Other = 2 };
    struct Panel {
        std::string word;   // "<word> (<reference word set>)"
        std::string score;  // scoreText of its batch score
    };

    explicit RefSelection(DtwSession& session) : m_session(session) {}

    // Ranks the references afresh; positions 1; "Nearest" chosen.
    void Form_Load();
    void optRef_Click(Way way);
    Way way() const { return m_way; }
    // "True" can be chosen: not in mode 8 (a recorded word's label is no
    // truth) and only with at least one reference of the test word's label.
    bool trueAvailable() const;

    int position(Way way) const { return m_position[way]; }
    // The reference a way shows: 0 when there is none.
    int reference(Way way) const;
    Panel panel(Way way) const;
    // The panel of the k-th nearest reference, of the k-th reference of the
    // test word's label, and of reference k; empty when there is none.
    Panel ShowNearestRef(int k) const;
    Panel ShowTrueRef(int k) const;
    Panel ShowOtherRef(int k) const;
    // The next (position + 1) and the previous reference, within 1 .. the
    // way's count.
    void next(Way way);
    void previous(Way way);
    // The spin buttons: "Nearest" and "True" run down their lists (down is
    // the next reference); "Other" counts reference numbers (up is the next).
    void spinDown(Way way);
    void spinUp(Way way);
    int count(Way way) const;

    // Makes the chosen reference current and shows it; false (nothing
    // changed, the status line says why) when there is none or the current
    // test word is not valid.
    bool cmdOk_Click();

    const ReferenceRanking& ranking() const { return m_ranking; }

private:
    Panel panelOf(int r) const;
    DtwSession& m_session;
    ReferenceRanking m_ranking;
    Way m_way = Nearest;
    int m_position[3] = {1, 1, 1};
};

// "Plot options".  The options and spin buttons set the library's plot
// style, rotation and elevation at once; the new style is drawn at the next
// match.
class PlotOptions {
public:
    explicit PlotOptions(DtwComparerState& state) : m_state(state) {}
    void optFlat_Click() { m_state.plotStyle = kPlotFlat; }
    void opt3D_Click() { m_state.plotStyle = kPlot3D; }
    void optMap_Click() { m_state.plotStyle = kPlotMap; }
    char style() const { return m_state.plotStyle; }
    // Rotation and elevation can be changed for the 3-D surface only.
    bool anglesEnabled() const { return m_state.plotStyle == kPlot3D; }
    int rotation() const { return m_state.rotation; }
    int elevation() const { return m_state.elevation; }
    void spiRotDown();   // - 5, at least 0
    void spiRotUp();     // + 5, at most 45
    void spiElevDown();  // - 5, at least 5
    void spiElevUp();    // + 5, at most 85

private:
    DtwComparerState& m_state;
};

// "Time Warping Methods".
class MethodOptions {
public:
    explicit MethodOptions(DtwSession& session) : m_session(session) {}
    // Selects the current method and shows the band range.
    void Form_Load();
    void OptIta_Click() { choose(kMethodItakura); }
    void optNsc_Click() { choose(kMethodGeneral); }
    void optLin_Click() { choose(kMethodLinear); }
    char method() const { return m_session.state().store.method; }
    const std::string& title() const { return m_title; }
    // The range frame, its options, label and spin button: general method only.
    bool rangeEnabled() const { return method() == kMethodGeneral; }
    void optFixed_Click() { m_session.flexibleRange = false; }
    void optFlex_Click() { m_session.flexibleRange = true; }
    bool flexible() const { return m_session.flexibleRange; }
    int range() const { return m_session.state().store.bandRange; }
    void spiRangeDown();  // - 1 while above 2
    void spiRangeUp();    // + 1 while below both N and M
    // The window's title follows; the current test word is matched against
    // every reference and the best becomes current (when none scores below
    // the forbidden value the current reference stays and the status line
    // says so).  False when there is no valid test word to match.
    bool cmdOk_Click();

private:
    void choose(char method);
    DtwSession& m_session;
    std::string m_title = methodTitle(kMethodGeneral);
};

// "Feature selection".
class FeatureOptions {
public:
    explicit FeatureOptions(DtwSession& session) : m_session(session) {}
    // Selects the displayed feature.
    void Form_Load() { m_selected = m_session.state().displayedFeature; }
    // Feature k (1..20) is stored and can be chosen.
    bool enabled(int k) const;
    int selected() const { return m_selected; }
    // Chooses feature k: the displayed feature and its position follow.
    // Ignored for a feature that is not stored.
    void optFeature_Click(int k);
    // Refills both tracks with the displayed feature and redraws them.
    // False when the pair is not valid (the status line says why).
    bool cmdOk_Click();

private:
    DtwSession& m_session;
    int m_selected = 1;
};

}  // namespace talvor::timewarp
