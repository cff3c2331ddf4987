#pragma once
// What one display pane shows, kept as data: polylines, single dots, texts
// and at most one picture.  The panes of the window only paint a scene (in
// this order: picture, polylines, dots, texts); they never compute one.
// Coordinates are pane pixels, y growing downwards; colours 0x00BBGGRR.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/Convert.h"
#include "platform/Surface.h"

namespace talvor::analyser {

using engine::PolyPoint;

struct ScenePolyline {
    std::uint32_t colour = 0;
    std::vector<PolyPoint> points;
};

struct SceneDot {
    int x = 0, y = 0;
    std::uint32_t colour = 0;
};

struct SceneText {
    int x = 0, y = 0;  // top left corner of the text
    std::uint32_t colour = 0;
    std::string text;
};

struct PaneScene {
    int width = 0, height = 0;
    std::vector<ScenePolyline> polylines;
    std::vector<SceneDot> dots;
    std::vector<SceneText> texts;
    platform::PixelSurface picture;  // empty (0 x 0) when the pane shows none; drawn at (0, 0)

    void clear()
    {
        polylines.clear();
        dots.clear();
        texts.clear();
        picture = platform::PixelSurface();
    }
    bool empty() const { return polylines.empty() && dots.empty() && texts.empty() && picture.width() == 0; }
};

}  // namespace talvor::analyser
