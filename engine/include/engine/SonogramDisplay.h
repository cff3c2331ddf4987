#pragma once
// Spectrogram pictures: spectrum frames turned into colours and drawn into
// pixel surfaces.  Every pixel is clipped to its surface.

#include <span>

#include "platform/Surface.h"

namespace talvor::engine {

// DftSpectrumFrames (160 floats each) drawn into a picture of width x height
// pixels: frames := spectra.size() / 160 - 1 (the last frame is not drawn),
// nothing at all for one frame or none.  Frame k covers the columns from
// trunc((k - 1) width / (frames - 1)) (frame 1 from 0, covering frame 0) for
// width / (frames - 1) columns; bin i fills the rows height - trunc((i-1)
// height / 79) up to height - trunc(i height / 79); bin 0 is never drawn.
// kind 0 draws the dB halves, any other kind the magnitudes.
void displaySpectrum(platform::PixelSurface& surface, int width, int height, std::span<const float> spectra,
                     int kind);

// FftSpectrumFrames (256 floats each): frame i goes to column i of `memory`,
// bin b to row 128 - b; then the first frames - 1 columns, rows 0..127, are
// stretched onto (0, 0, destWidth, destHeight) of `destination` (which may be
// `memory` itself).  Nothing is drawn for one frame or none.
void displaySpectrumFft(platform::PixelSurface& memory, platform::PixelSurface& destination, int destWidth,
                        int destHeight, std::span<const float> spectra, int kind);

}  // namespace talvor::engine
