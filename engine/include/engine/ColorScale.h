#pragma once
// The colour scale of the spectrogram pictures: two threshold scales (dB
// values and magnitudes) of 999 thresholds each, and one table of 1000
// colours 0x00BBGGRR running white - yellow - green - cyan - blue - magenta -
// red - black.

#include <array>
#include <cstdint>
#include <span>

namespace talvor::engine {

using Rgb = std::uint32_t;  // red | green << 8 | blue << 16

constexpr Rgb packRgb(int r, int g, int b)
{
    return Rgb(r & 0xFF) | (Rgb(g & 0xFF) << 8) | (Rgb(b & 0xFF) << 16);
}

class ColorScale {
public:
    static constexpr int kScales = 2;         // 0: dB values, 1: magnitudes
    static constexpr int kThresholds = 999;   // t_0 .. t_998
    static constexpr int kColors = 1000;      // one per interval
    static constexpr int kFilledColors = 994; // 994..999 are black
    static constexpr int kRunLength = 142;    // seven runs of 142 colours

    // Thresholds from low to high in 998 equal steps, accumulated in 32-bit floats.
    ColorScale(float low0, float high0, float low1, float high1);

    float threshold(int scale, int i) const { return m_thresholds[scale][i]; }
    std::span<const float, kThresholds> thresholds(int scale) const { return m_thresholds[scale]; }
    Rgb color(int i) const { return m_colors[i]; }

    // The interval of v: 0 for v <= t_0 (and for -inf and NaN), i for
    // t_(i-1) < v <= t_i, 999 for v > t_998 (and +inf).  Binary search.
    int intervalOf(int scale, float v) const;
    // Its colour; values above t_993 are black.
    Rgb colorOfValue(int scale, float v) const { return m_colors[intervalOf(scale, v)]; }

private:
    std::array<std::array<float, kThresholds>, kScales> m_thresholds{};
    std::array<Rgb, kColors> m_colors{};
};

// Builds the process-wide colour scale (scale 0: 1 to 100, scale 1: 13 to
// 1300).  Idempotent and thread-safe; the library calls it when it is loaded,
// and every use of colorScale() builds it first if that has not happened.
void buildColorScale();
const ColorScale& colorScale();

// colours[i] := the colour of values[i] on scale 0 (kind 0) or scale 1 (any
// other kind), for i < min(values.size(), colours.size()).
void valueToColor(std::span<const float> values, std::span<Rgb> colours, int kind);

}  // namespace talvor::engine
