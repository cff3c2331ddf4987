#include "analyser/DisplayChoosers.h"

#include <gtest/gtest.h>

#include <vector>

namespace talvor::analyser {
namespace {

TEST(ParamChoosers, DefaultsOfTheSixPanes)
{
    const ParamChoosersModel m;
    const int features[] = {19, 0, 16, 1, 17, 2};
    for (int pane = 0; pane < kParamPanes; ++pane) {
        SCOPED_TRACE(pane);
        EXPECT_EQ(m.lastSelected(pane), features[pane]);
        int checked = 0;
        for (bool c : m.pane(pane).checked)
            checked += c;
        EXPECT_EQ(checked, 1);
        EXPECT_TRUE(m.pane(pane).checked[std::size_t(features[pane])]);
    }
    EXPECT_EQ(m.curveColour(0), rgbOf(255, 0, 0));
    EXPECT_EQ(m.curveColour(1), rgbOf(0, 0, 255));
    EXPECT_EQ(m.pane(3).colours[18], rgbOf(0, 128, 0));
    EXPECT_EQ(m.rangeMin(19), 3.0f);
    EXPECT_EQ(m.rangeMax(18), 50.0f);
    EXPECT_EQ(std::string(kFeatures[2].name), "CEP3  - 3th cepstral coeficient");
    EXPECT_EQ(paneCaptionOf(kFeatures[8].name), "DCEP1 ");
    EXPECT_EQ(paneCaptionOf("ENERGY"), "");
}

// A click sequence on one pane's chooser: +f checks box f, -f unchecks it,
// 'M' / 'm' switch multichoice on / off, 'c' sets box lastSelected's colour.
struct Step {
    char op;
    int feature;
};
struct SequenceRow {
    const char* what;
    std::vector<Step> steps;
    std::vector<int> checked;  // after the sequence
    int lastSelected;
};

void run(ParamChoosersModel& m, int pane, const std::vector<Step>& steps)
{
    for (const Step& s : steps) {
        switch (s.op) {
        case '+': m.boxClicked(pane, s.feature, true); break;
        case '-': m.boxClicked(pane, s.feature, false); break;
        case 'M': m.multichoiceClicked(pane, true); break;
        case 'm': m.multichoiceClicked(pane, false); break;
        case 'c': m.setColour(pane, m.colourTarget(pane), rgbOf(1, 2, s.feature)); break;
        }
    }
}

std::vector<int> checkedOf(const ParamChoosersModel& m, int pane)
{
    std::vector<int> out;
    for (int f = 0; f < kFeatureCount; ++f)
        if (m.pane(pane).checked[std::size_t(f)])
            out.push_back(f);
    return out;
}

TEST(ParamChoosers, ClickSequencesAndCancel)
{
    const SequenceRow rows[] = {
        {"single choice", {{'+', 5}}, {5}, 5},
        {"single choice twice", {{'+', 5}, {'+', 7}}, {7}, 7},
        {"uncheck the shown box", {{'-', 19}}, {}, 19},
        {"multichoice adds boxes, keeps the feature", {{'M', 0}, {'+', 3}, {'+', 12}}, {3, 12, 19}, 19},
        {"multichoice off keeps the first", {{'M', 0}, {'+', 12}, {'+', 3}, {'m', 0}}, {3}, 3},
        {"multichoice off with none checked", {{'M', 0}, {'-', 19}, {'m', 0}}, {}, 0},
        {"multichoice on and off alone", {{'M', 0}, {'m', 0}}, {19}, 19},
        {"colour then choice", {{'c', 7}, {'+', 2}, {'c', 9}}, {2}, 2},
    };
    for (const SequenceRow& row : rows) {
        SCOPED_TRACE(row.what);
        ParamChoosersModel m;
        m.open(0);
        const auto before = m.pane(0);
        run(m, 0, row.steps);
        EXPECT_EQ(checkedOf(m, 0), row.checked);
        EXPECT_EQ(m.lastSelected(0), row.lastSelected);
        // The other panes are untouched.
        EXPECT_EQ(m.lastSelected(1), 0);
        m.cancel(0);
        EXPECT_EQ(m.pane(0).checked, before.checked);
        EXPECT_EQ(m.pane(0).colours, before.colours);
        EXPECT_EQ(m.pane(0).multichoice, before.multichoice);
        EXPECT_EQ(m.lastSelected(0), 19);
    }
}

TEST(ParamChoosers, ColourGoesToTheShownFeaturesBox)
{
    ParamChoosersModel m;
    m.open(2);
    run(m, 2, {{'M', 0}, {'+', 4}, {'c', 50}});
    EXPECT_EQ(m.pane(2).colours[16], rgbOf(1, 2, 50));  // lastSelected (DEN), not the box clicked last
    EXPECT_EQ(m.pane(2).colours[4], rgbOf(0, 0, 255));
    EXPECT_EQ(m.curveColour(2), rgbOf(1, 2, 50));
}

TEST(SpectrumChooser, OptionsCancelAndSpinLimits)
{
    SpectrumChooserModel m;
    EXPECT_EQ(m.selected(), 1);
    EXPECT_EQ(m.rotationText(), "30");
    EXPECT_EQ(m.elevationText(), "60");
    m.open();
    EXPECT_FALSE(m.anglesEnabled());
    m.optionClicked(2);
    EXPECT_TRUE(m.anglesEnabled());
    m.cancel();
    EXPECT_EQ(m.selected(), 1);
    m.open();
    m.optionClicked(2);
    m.ok();
    EXPECT_EQ(m.selected(), 3);
    m.open();
    m.optionClicked(1);
    m.cancel();
    EXPECT_EQ(m.selected(), 3);

    struct Row {
        const char* what;
        bool rotation;
        bool up;
        int clicks;
        float end;
        int changes;
    };
    const Row rows[] = {
        {"rotation down to 0", true, false, 10, 0.0f, 6},
        {"rotation up to 90", true, true, 20, 90.0f, 12},
        {"elevation down to 5", false, false, 20, 5.0f, 11},
        {"elevation up to 90", false, true, 20, 90.0f, 6},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        SpectrumChooserModel s;
        int changes = 0;
        for (int i = 0; i < row.clicks; ++i)
            changes += row.rotation ? s.rotationSpin(row.up) : s.elevationSpin(row.up);
        EXPECT_EQ(row.rotation ? s.rotation() : s.elevation(), row.end);
        EXPECT_EQ(changes, row.changes);
        // A click at the limit changes nothing.
        EXPECT_FALSE(row.rotation ? s.rotationSpin(row.up) : s.elevationSpin(row.up));
    }
}

TEST(FrameChooser, FirstOpeningChecksSignalAndCancelRestores)
{
    FrameChooserModel m;
    EXPECT_EQ(m.selected(), 0);
    EXPECT_EQ(m.displayType(), 1);
    m.open();
    EXPECT_EQ(m.selected(), 1);
    m.optionClicked(2);
    m.cancel();
    EXPECT_EQ(m.selected(), 1);
    m.setSelected(7);
    m.open();
    EXPECT_EQ(m.selected(), 1);
    m.optionClicked(1);
    m.ok();
    EXPECT_EQ(m.selected(), 2);
}

}  // namespace
}  // namespace talvor::analyser
