#pragma once
// Waveform to polyline for a picture of a given width and height: one point
// per sample for a short stretch, a maximum and a minimum per pixel column
// for a long one.  y grows downwards.

#include <cstdint>
#include <span>

namespace talvor::engine {

struct PolyPoint {
    std::int32_t x;
    std::int32_t y;
};

// Points needed for a picture `width` pixels wide: 2 x width + 1.
constexpr long long konvertPointsNeeded(int width) { return 2LL * (width > 0 ? width : 0) + 1; }

// height >= 0: the stretch is scaled so that its maximum lies a tenth of its
// distance from the mean below the top and the whole stretch fits in height.
// height < 0: fixed scale, the value 0 at the middle row trunc(-height / 2)
// and a full scale of 1.1 x range (range read from `count` on entry).
// On return `count` holds the number of points written: n when n < 2 width
// (point mode), else 2 width + 1 (column mode).
// Result: the vertical range used divided back by 1.1, truncated; 0 for a
// constant stretch or a zero range (a flat line at the middle row); -1 when
// there are no samples, the width is negative or `points` is too small
// (count 0, nothing written).
int konvert(int width, int height, std::span<const std::int16_t> samples, std::span<PolyPoint> points, int& count);
int konvertS(int width, int height, std::span<const float> samples, std::span<PolyPoint> points, int& count);

}  // namespace talvor::engine
