#pragma once
// Plot geometry of the DTW window, without Qt: the user scales of the track
// pictures and the flat plots, the colour palette and its levels, the band
// edges, and the 3-D surface with its floating horizon.

#include <array>
#include <cstdint>
#include <vector>

#include "timewarp/DtwCanvas.h"
#include "timewarp/DtwLoading.h"
#include "timewarp/DtwMatch.h"

namespace talvor::timewarp {

// Plot styles (PlotStyle).
enum : char {
    kPlotFlat = 'F',     // flat grid: one point per cell
    kPlotMap = 'M',      // colour map: one filled box per cell
    kPlot3D = '3',       // 3-D surface
};

// Track pictures (tracks, warped tracks, the distance graph): frame or step
// 1..200 across from 0.5 with width 200.5; the displayed feature's range
// upwards (top at the top, top - height at the bottom).
UserScale trackScale(const DtwFeatureName& feature);

// Flat plots of an N x M matrix, S = max(N, M): left 0.5, width S, top
// S + 0.5, height -S, so cell (i, j) is centred at (i, j) with the test frame
// across and the reference frame upwards.
UserScale gridScale(int N, int M);

// The distance bar: 0 .. distance + 0.001 across, 1 (top) .. 0 upwards.
UserScale barScale(double pairDistance);

// Eight colours, level 0 the smallest distance: the base colours, each
// component plus `brightness` and at most 255.
using Palette = std::array<std::uint32_t, 8>;
Palette MakePalette(int brightness);

// Palette level of a distance for a colour step (matrix maximum / 8):
// min(7, floor(d / step)); 0 when the step is not above 0; 7 when the
// distance or the step is not finite.
int paletteLevel(float d, float colourStep);

// The band edges the flat plots mark for test frame i: WarpBand of the
// method ('I' or 'N'); nothing for other methods.
bool bandEdges(char method, int i, int N, int M, int range, Band* out);

// The 3-D view of an N x M matrix on a square picture of P pixels (user scale
// 0..P across, 0..P upwards, origin at the bottom left).
struct Projection3D {
    int P = 0;
    int S = 1;
    double a = 0, b = 0, c = 0, e = 0;  // per test frame (a/S, b/S); per reference frame (-c/S, e/S)
    double h = 0;                       // height factor: 0.5 P cos(elevation) / maximum
    int x0 = 0;                         // origin (ground of cell (1, 1))
    int y0 = 0;

    // rotation and elevation in degrees.  h = 0 when maximum is not above 0
    // or not finite.
    static Projection3D make(int P, int N, int M, int rotation, int elevation, float maximum);

    int x(int i, int j) const;
    double ground(int i, int j) const;
    int top(int i, int j, float d) const;  // floor(h d + ground)
};

// Floating horizon over the picture's pixel columns 0..width-1: a segment is
// drawn point by point along its longer axis; a point shows only where it is
// not below the horizon of its column, which then rises to it.  A column
// outside the picture ends the segment.
class Horizon {
public:
    explicit Horizon(int width) : m_height(std::size_t(width > 0 ? width : 0), 0) {}
    int width() const { return int(m_height.size()); }
    int at(int x) const { return x >= 0 && x < width() ? m_height[std::size_t(x)] : 0; }
    bool visible(int x, int y) const { return x >= 0 && x < width() && y >= m_height[std::size_t(x)]; }
    // Draws (x0, y0) .. (x1, y1) in user pixels (y upwards) onto the canvas.
    void drawLine(Canvas& canvas, int x0, int y0, int x1, int y1, std::uint32_t color);

private:
    std::vector<int> m_height;
};

// The path as the 3-D plot drew it: projected top point and visibility of
// path points 1..pathLength.
struct ProjectedPath {
    std::array<int, kMaxPathPoints + 1> x{};
    std::array<int, kMaxPathPoints + 1> y{};
    std::array<bool, kMaxPathPoints + 1> visible{};
};

// Draws the trace's matrix as a 3-D surface on the canvas in one go (the
// canvas gets the user scale of the view) and records the projected path.
void Draw3DSurface(Canvas& canvas, const DtwTrace& trace, const Palette& palette, float colourStep, int rotation,
                   int elevation, ProjectedPath* path);

}  // namespace talvor::timewarp
