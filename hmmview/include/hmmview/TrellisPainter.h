#pragma once
// Paints a pane's trellis record with the display settings' scales (twips)
// and colours.  Twips become pixels once, here, at a scale that tests can set.

#include <QRect>

#include "hmmview/DisplaySettings.h"
#include "hmmview/TrellisRecord.h"

class QPainter;

namespace talvor::hmmview {

// 15 twips a pixel, as on the screens the layout was made for.
constexpr int kTwipsPerPixel = 15;

struct TwipScale {
    int twipsPerPixel = kTwipsPerPixel;
    double px(double twips) const { return twips / twipsPerPixel; }
    int pxRound(double twips) const { return static_cast<int>(twips / twipsPerPixel + 0.5); }
};

// The trellis picture's size in pixels: frames x grStpX + 2 x grpsh wide,
// rows x grStpY + grpsh high.
QSize trellisPictureSize(const PaneRecord& record, std::int32_t heightRows, const DisplaySettings& settings,
                         TwipScale scale);

// The centre of cell (frame, row) in pixels on a picture of height `heightPx`:
// x = frame x grStpX + grpsh, y = H - (row x grStpY + grpsh), state 0 at the bottom.
QPointF trellisCellCentre(std::int32_t frame, std::int32_t row, int heightPx, const DisplaySettings& settings,
                          TwipScale scale);

// Paints the picture whose top left corner is at `origin` (pixels, in the
// painter's coordinates), `heightPx` high, drawing only what falls inside
// `clip`: the background in clrStateBorder over the picture's width, then the
// state circles (the entry row in clrStateV), the links to the predecessors,
// the local and frame bests and the best path.
void paintTrellis(QPainter& painter, const PaneRecord& record, QPoint origin, int widthPx, int heightPx,
                  const DisplaySettings& settings, TwipScale scale, const QRect& clip);

}  // namespace talvor::hmmview
