#pragma once
// The 3-D view of a word's power spectrum: a mesh seen from an angle,
// frequency along one axis, time along the other, level as height, each
// segment coloured by the level's place on the engine's dB colour scale.
// Hidden parts are removed with a floating horizon: a point is plotted only
// when it lies on or above the highest point plotted so far in its column.
//
// Drawing happens in user coordinates: x 0..W to the right, y 0..W from the
// bottom edge up, W the picture's width in pixels.  A PlotSink receives the
// points and lines; SurfacePlot maps them onto a pixel surface, a test's sink
// records them.
//
// Use:
//     platform::PixelSurface picture(281, 109, background);
//     SurfacePlot plot(picture);
//     Spectrum3D view;
//     view.Draw3DSpectrum(plot, spectrum, spectrumCount, 30.0f, 60.0f);

#include <cstdint>
#include <span>
#include <vector>

#include "analyser/DisplayTables.h"
#include "platform/Surface.h"

namespace talvor::analyser {

class PlotSink {
public:
    virtual ~PlotSink();
    virtual int width() const = 0;  // W, in pixels
    virtual void clear() = 0;
    virtual void pset(int x, int y, Rgb colour) = 0;
    virtual void line(int x1, int y1, int x2, int y2, Rgb colour) = 0;
    // The frame the following points belong to (0: the front edge).
    virtual void beginFrame(int /*frame*/) {}
};

// A pixel surface seen through the user scale: pixel column x, pixel row
// trunc((W - y) x height / W).  Points outside the surface are dropped.
class SurfacePlot : public PlotSink {
public:
    SurfacePlot(platform::PixelSurface& surface, Rgb background);
    int width() const override { return m_surface.width(); }
    void clear() override;
    void pset(int x, int y, Rgb colour) override;
    void line(int x1, int y1, int x2, int y2, Rgb colour) override;
    int pixelRow(int y) const;

private:
    platform::PixelSurface& m_surface;
    Rgb m_background;
};

class Spectrum3D {
public:
    static constexpr int kBins = 128;

    // Draws FftSpectrumFrames (256 floats each, the 128 dB values drawn):
    // frames = n / 256; nothing but a cleared picture without a full frame.
    // Angles in degrees, rounded to whole degrees.
    void Draw3DSpectrum(PlotSink& pic, std::span<const float> spectrum, std::int32_t n, float rotation,
                        float elevation);
    // Plots the segment point by point where it lies on or above the horizon,
    // raising the horizon; columns outside 0..W-1 are skipped.
    void DrawHorizonLine(PlotSink& pic, int x1, int y1, int x2, int y2, Rgb colour);

    // The horizon of the last drawing (one entry per pixel column); set it to
    // test DrawHorizonLine alone.
    std::vector<std::int32_t>& horizon() { return m_horizon; }

private:
    void plot(PlotSink& pic, int x, int y, Rgb colour);
    std::vector<std::int32_t> m_horizon;
    std::int16_t m_prevX[kBins + 1] = {};
    std::int16_t m_prevY[kBins + 1] = {};
};

}  // namespace talvor::analyser
