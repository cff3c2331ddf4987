#include "engine/ColorScale.h"

#include <algorithm>
#include <cmath>

namespace talvor::engine {

namespace {

constexpr float kColorStep = 1.7957747f;  // 255 / 142

struct Run {
    int r, g, b;   // start colour
    int channel;   // 0 red, 1 green, 2 blue: the component that moves
    int direction; // +1 up from the start, -1 down
};

// The seven runs of 142 colours, from white to black.
constexpr Run kRuns[] = {
    {255, 255, 255, 2, -1},  // white -> yellow
    {255, 255, 0, 0, -1},    // yellow -> green
    {0, 255, 0, 2, +1},      // green -> cyan
    {0, 255, 255, 1, -1},    // cyan -> blue
    {0, 0, 255, 0, +1},      // blue -> magenta
    {255, 0, 255, 2, -1},    // magenta -> red
    {255, 0, 0, 0, -1},      // red -> black
};

}  // namespace

ColorScale::ColorScale(float low0, float high0, float low1, float high1)
{
    const float low[kScales] = {low0, low1};
    const float high[kScales] = {high0, high1};
    for (int s = 0; s < kScales; ++s) {
        const float step = (high[s] - low[s]) / 998.0f;
        float t = low[s];
        for (int i = 0; i < kThresholds; ++i) {
            m_thresholds[s][i] = t;
            t = t + step;
        }
    }

    int entry = 0;
    for (const Run& run : kRuns) {
        int rgb[3] = {run.r, run.g, run.b};
        float moving = static_cast<float>(rgb[run.channel]);
        for (int j = 0; j < kRunLength; ++j) {
            rgb[run.channel] = static_cast<int>(moving);  // truncation toward zero
            m_colors[entry++] = packRgb(rgb[0], rgb[1], rgb[2]);
            moving = moving + static_cast<float>(run.direction) * kColorStep;
        }
    }
    for (; entry < kColors; ++entry)
        m_colors[entry] = packRgb(0, 0, 0);
}

int ColorScale::intervalOf(int scale, float v) const
{
    if (std::isnan(v))
        return 0;
    // The number of thresholds below v is the interval index: interval i
    // holds t_(i-1) < v <= t_i.
    const auto& t = m_thresholds[scale];
    return static_cast<int>(std::lower_bound(t.begin(), t.end(), v) - t.begin());
}

void buildColorScale()
{
    (void)colorScale();
}

const ColorScale& colorScale()
{
    static const ColorScale scale(1.0f, 100.0f, 13.0f, 1300.0f);
    return scale;
}

void valueToColor(std::span<const float> values, std::span<Rgb> colours, int kind)
{
    const ColorScale& cs = colorScale();
    const int scale = kind != 0 ? 1 : 0;
    const std::size_t n = std::min(values.size(), colours.size());
    for (std::size_t i = 0; i < n; ++i)
        colours[i] = cs.colorOfValue(scale, values[i]);
}

}  // namespace talvor::engine
