#include "analyser/DisplayChoosers.h"

#include <cmath>

namespace talvor::analyser {

std::string paneCaptionOf(const std::string& name)
{
    const auto blank = name.find(' ');
    return blank == std::string::npos ? std::string() : name.substr(0, blank + 1);
}

namespace {
std::string angleText(float degrees)
{
    return std::to_string(std::lround(degrees));
}
}  // namespace

std::string SpectrumChooserModel::rotationText() const { return angleText(m_rotation); }
std::string SpectrumChooserModel::elevationText() const { return angleText(m_elevation); }

void SpectrumChooserModel::open()
{
    if (m_selected >= 1 && m_selected <= 3)
        optionClicked(m_selected - 1);
    m_savedType = m_selected;
}

void SpectrumChooserModel::optionClicked(int index)
{
    m_selected = index + 1;
}

bool SpectrumChooserModel::rotationSpin(bool up)
{
    if (up && m_rotation < float(kRotationMax)) {
        m_rotation += float(kAngleStep);
        return true;
    }
    if (!up && m_rotation > float(kRotationMin)) {
        m_rotation -= float(kAngleStep);
        return true;
    }
    return false;
}

bool SpectrumChooserModel::elevationSpin(bool up)
{
    if (up && m_elevation < float(kElevationMax)) {
        m_elevation += float(kAngleStep);
        return true;
    }
    if (!up && m_elevation > float(kElevationMin)) {
        m_elevation -= float(kAngleStep);
        return true;
    }
    return false;
}

void FrameChooserModel::open()
{
    if (m_selected < 1 || m_selected > 3)
        m_selected = 1;
    m_savedType = m_selected;
}

ParamChoosersModel::ParamChoosersModel()
{
    for (std::size_t p = 0; p < kFeatures.size(); ++p)
        m_range[p] = {kFeatures[p].minimum, kFeatures[p].maximum};
    for (int i = 0; i < kParamPanes; ++i) {
        Pane& pane = mutablePane(i);
        for (std::size_t p = 0; p < kFeatures.size(); ++p)
            pane.colours[p] = kFeatures[p].colour;
        setParameter(i, kDefaultPaneFeature[std::size_t(i)]);
    }
}

void ParamChoosersModel::setRange(int feature, float minimum, float maximum)
{
    m_range.at(std::size_t(feature)) = {minimum, maximum};
}

void ParamChoosersModel::setParameter(int pane, int feature)
{
    Pane& p = mutablePane(pane);
    if (!p.checked.at(std::size_t(feature))) {
        p.checked[std::size_t(feature)] = true;
        boxClicked(pane, feature, true);
    }
    p.savedSelected = p.lastSelected;
}

void ParamChoosersModel::open(int pane)
{
    Pane& p = mutablePane(pane);
    p.savedChecked = p.checked;
    p.savedColours = p.colours;
    p.savedMultichoice = p.multichoice;
    p.savedSelected = p.lastSelected;
}

void ParamChoosersModel::boxClicked(int pane, int feature, bool checked)
{
    Pane& p = mutablePane(pane);
    p.checked.at(std::size_t(feature)) = checked;
    if (!checked || p.multichoice)
        return;
    for (int other = 0; other < kFeatureCount; ++other) {
        if (other != feature && p.checked[std::size_t(other)]) {
            p.checked[std::size_t(other)] = false;
            break;
        }
    }
    p.lastSelected = feature;
}

void ParamChoosersModel::multichoiceClicked(int pane, bool on)
{
    Pane& p = mutablePane(pane);
    const bool switchedOff = p.multichoice && !on;
    p.multichoice = on;
    if (!switchedOff)
        return;
    int kept = -1;
    for (int f = 0; f < kFeatureCount; ++f) {
        if (!p.checked[std::size_t(f)])
            continue;
        if (kept < 0)
            kept = f;
        else
            p.checked[std::size_t(f)] = false;
    }
    p.lastSelected = kept < 0 ? 0 : kept;
}

void ParamChoosersModel::setColour(int pane, int feature, Rgb colour)
{
    mutablePane(pane).colours.at(std::size_t(feature)) = colour;
}

void ParamChoosersModel::cancel(int pane)
{
    Pane& p = mutablePane(pane);
    p.checked = p.savedChecked;
    p.colours = p.savedColours;
    p.multichoice = p.savedMultichoice;
    p.lastSelected = p.savedSelected;
}

}  // namespace talvor::analyser
