#pragma once
// The drawing settings every model pane and the trellis drawing read: six
// scale values and ten role colours.  The viewer holds one shared record; the
// display configuration dialog edits a copy of it.
//
// Colours are 32-bit values 0x00BBGGRR (red in the low byte); a value with the
// top bit set (0x80000000 + n) names the platform's system colour n.

#include <array>
#include <cstdint>
#include <string_view>

namespace talvor::hmmview {

using Colour = std::int32_t;

constexpr Colour systemColour(std::int32_t n)
{
    return static_cast<Colour>(0x80000000u + static_cast<std::uint32_t>(n));
}
constexpr bool isSystemColour(Colour c) { return (static_cast<std::uint32_t>(c) & 0x80000000u) != 0; }
constexpr std::int32_t systemColourIndex(Colour c)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(c) & 0x7FFFFFFFu);
}
constexpr Colour rgbColour(int red, int green, int blue)
{
    return static_cast<Colour>((static_cast<std::uint32_t>(blue & 0xFF) << 16) |
                               (static_cast<std::uint32_t>(green & 0xFF) << 8) |
                               static_cast<std::uint32_t>(red & 0xFF));
}

constexpr std::int32_t kButtonFaceColour = 15;  // system colour of button faces

// Colour roles in the order of the role list (the dialog's list index).
enum class ColourRole : int {
    State = 0,              // state circles
    StateBorder = 1,        // background of the trellis picture
    StatePath = 2,          // lines from each state to its predecessor
    BestPath = 3,           // the back-tracked best path
    VirtualState = 4,       // the virtual (entry) state row
    LocalBest = 5,          // best state of one model in a frame
    FrameBest = 6,          // best state of all models in a frame
    ModelSheetBorder = 7,   // background of the model pane
    ModelText = 8,          // model name, order and score text
    ModelTextBorder = 9,    // background behind the model name and labels
};
constexpr int kColourRoleCount = 10;

// The role list's texts, by role index.
const std::array<std::string_view, kColourRoleCount>& colourRoleNames();

struct DisplaySettings {
    // Scales, in twips unless stated.
    std::int32_t modelGap = 100;       // vertical gap between two stacked panes
    std::int32_t grStpX = 120;         // distance between two frames
    std::int32_t grStpY = 120;         // distance between two states
    float grStpR = 15.0f;              // radius unit: states 2 x, best-path marks 3 x
    std::int32_t grpsh = 200;          // margin left of the first frame and below the lowest row
    std::int32_t leftGraphPos = 1800;  // left position of the trellis inside a pane

    Colour clrState = 0;                                       // black
    Colour clrStateBorder = 16777215;                          // white
    Colour clrStatePath = 16711680;                            // blue
    Colour clrStateBPrath = 255;                               // red
    Colour clrStateV = 16711935;                               // magenta
    Colour clrStateLMax = 16711680;                            // blue
    Colour clrStateMax = 65280;                                // green
    Colour clrModelSheetBorder = systemColour(kButtonFaceColour);
    Colour clrModelText = 0;                                   // black
    Colour clrModelTextBorder = systemColour(kButtonFaceColour);

    // The colour of a role, by role list index (0..9).
    Colour& colour(ColourRole role);
    Colour colour(ColourRole role) const;

    bool operator==(const DisplaySettings&) const = default;
};

}  // namespace talvor::hmmview
