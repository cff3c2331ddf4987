#include "hmmview/DisplaySettings.h"

namespace talvor::hmmview {

const std::array<std::string_view, kColourRoleCount>& colourRoleNames()
{
    static const std::array<std::string_view, kColourRoleCount> names = {
        "State",
        "State border",
        "State paths",
        "Best recognition path",
        "Virtual state",
        "Local best state in frame",
        "The best state in frame",
        "Model sheet border",
        "Model text",
        "Model text border",
    };
    return names;
}

Colour& DisplaySettings::colour(ColourRole role)
{
    switch (role) {
    case ColourRole::State: return clrState;
    case ColourRole::StateBorder: return clrStateBorder;
    case ColourRole::StatePath: return clrStatePath;
    case ColourRole::BestPath: return clrStateBPrath;
    case ColourRole::VirtualState: return clrStateV;
    case ColourRole::LocalBest: return clrStateLMax;
    case ColourRole::FrameBest: return clrStateMax;
    case ColourRole::ModelSheetBorder: return clrModelSheetBorder;
    case ColourRole::ModelText: return clrModelText;
    case ColourRole::ModelTextBorder: break;
    }
    return clrModelTextBorder;
}

Colour DisplaySettings::colour(ColourRole role) const
{
    return const_cast<DisplaySettings*>(this)->colour(role);
}

}  // namespace talvor::hmmview
