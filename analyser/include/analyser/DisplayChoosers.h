#pragma once
// The state of the three display choosers of the analyser window, without
// any window: the spectrum view (with the angles of the 3-D view), the frame
// view, and the feature and curve colour of each of the six parameter panes.
// The dialogs (DisplayChooserDialogs.h) are views of these models: a user's
// click calls the model, then the dialog shows the model's state again.

#include <array>
#include <cstdint>
#include <string>

#include "analyser/DisplayTables.h"

namespace talvor::analyser {

// "Select spectrum type": type 1 dB spectrogram, 2 magnitude spectrogram, 3 the 3-D view.
class SpectrumChooserModel {
public:
    static constexpr int kRotationMin = 0, kRotationMax = 90;
    static constexpr int kElevationMin = 5, kElevationMax = 90;
    static constexpr int kAngleStep = 5;

    int selected() const { return m_selected; }
    int savedType() const { return m_savedType; }
    float rotation() const { return m_rotation; }
    float elevation() const { return m_elevation; }
    std::string rotationText() const;   // "30"
    std::string elevationText() const;  // "60"
    // The angle labels and spin buttons work only for the 3-D view.
    bool anglesEnabled() const { return m_selected == 3; }

    void setSelected(int type) { m_selected = type; }  // the window's reset to type 1
    // Opening: the option of the current type is checked, and remembered for Cancel.
    void open();
    void optionClicked(int index);  // option 0..2
    void ok() { m_savedType = m_selected; }
    void cancel() { m_selected = m_savedType; }
    // One click of a spin button (5 degrees); true when the angle changed.
    bool rotationSpin(bool up);
    bool elevationSpin(bool up);

private:
    int m_selected = 1;
    int m_savedType = 1;
    float m_rotation = 30.0f;
    float m_elevation = 60.0f;
};

// "Select displayed frame function": type 1 signal, 2 windowed signal, 3 DFT power.
class FrameChooserModel {
public:
    int selected() const { return m_selected; }
    // The type the frame pane draws: one outside 1..3 counts as 1.
    int displayType() const { return m_selected >= 1 && m_selected <= 3 ? m_selected : 1; }
    void setSelected(int type) { m_selected = type; }
    void open();  // a type outside 1..3 (0 before the first opening) becomes 1
    void optionClicked(int index) { m_selected = index + 1; }
    void ok() { m_savedType = m_selected; }
    void cancel() { m_selected = m_savedType; }

private:
    int m_selected = 0;
    int m_savedType = 0;
};

// "Select parameter": one chooser per parameter pane, all six in one model so
// that the defaults are applied once, and the feature scales they share.
class ParamChoosersModel {
public:
    struct Pane {
        std::array<bool, kFeatureCount> checked{};
        std::array<Rgb, kFeatureCount> colours{};
        bool multichoice = false;
        int lastSelected = 0;
        // Saved when the chooser opens, put back by CANCEL.
        std::array<bool, kFeatureCount> savedChecked{};
        std::array<Rgb, kFeatureCount> savedColours{};
        bool savedMultichoice = false;
        int savedSelected = 0;
    };

    ParamChoosersModel();  // the defaults: features 19, 0, 16, 1, 17, 2; the table's colours and scales

    const Pane& pane(int index) const { return m_panes.at(std::size_t(index)); }
    int lastSelected(int pane) const { return this->pane(pane).lastSelected; }
    // The curve colour of the feature a pane shows.
    Rgb curveColour(int pane) const { return this->pane(pane).colours[std::size_t(lastSelected(pane))]; }
    float rangeMin(int feature) const { return m_range.at(std::size_t(feature))[0]; }
    float rangeMax(int feature) const { return m_range.at(std::size_t(feature))[1]; }
    void setRange(int feature, float minimum, float maximum);

    // The pane's box `feature` is checked (its click rule runs); the result becomes the saved choice.
    void setParameter(int pane, int feature);
    // Opening: saves checks, colours, multichoice and the choice for CANCEL.
    void open(int pane);
    // A click on box `feature`, which is now `checked`: with multichoice off,
    // checking a box unchecks the first other checked one and makes it the
    // pane's feature.  Anything else changes nothing more.
    void boxClicked(int pane, int feature, bool checked);
    // "Multichoice select" switched on or off; switching it off keeps only the
    // first checked box and shows it (feature 0 when none is checked).
    void multichoiceClicked(int pane, bool on);
    // The box whose colour "&Set color" (or a right-button release) changes.
    int colourTarget(int pane) const { return lastSelected(pane); }
    void setColour(int pane, int feature, Rgb colour);
    // CANCEL: everything as it was when the chooser opened, by plain assignment.
    void cancel(int pane);

private:
    Pane& mutablePane(int index) { return m_panes.at(std::size_t(index)); }
    std::array<Pane, kParamPanes> m_panes{};
    std::array<std::array<float, 2>, kFeatureCount> m_range{};
};

}  // namespace talvor::analyser
