#pragma once
// The engine library's exports for spectra and colours, waveform conversion
// and array routines, and the DTW classifier.  Arrays are passed as pointers
// to their first element and stay owned by the caller; results are 0 for
// success and negative for failures.  A null pointer where an array is
// needed is refused with -1.

#include <cstdint>

#include "engine/Convert.h"
#include "platform/Surface.h"

#define TALVOR_SPECTRA_EXPORT __attribute__((visibility("default")))

extern "C" {

// One DftSpectrumFrame of 160 samples; count other than 160 shows "Errors in
// the number of input values !" and returns -2.
TALVOR_SPECTRA_EXPORT std::int32_t Dft(const std::int16_t* samples, std::int32_t count, float* out);
// DftSpectrumFrames at every hop of 80 samples; *count in: samples (the
// array holds 80 more), out: the floats written (160 per frame).
TALVOR_SPECTRA_EXPORT std::int32_t Compute_Spectrum(const std::int16_t* samples, std::int32_t* count, float* out);
// FftSpectrumFrames; *count 0 builds the tables and returns -1; -2 when
// *outSize floats cannot hold the frames.  The array holds 80 x frames + 176 samples.
TALVOR_SPECTRA_EXPORT std::int32_t Compute_Spectrum_FFT(const std::int16_t* samples, std::int32_t* count, float* out,
                                                       std::int32_t* outSize);
TALVOR_SPECTRA_EXPORT std::int32_t Value_To_Color(const float* values, std::int32_t count, std::uint32_t* colours,
                                                 std::int32_t kind);
// count: floats of DftSpectrumFrames / FftSpectrumFrames.
TALVOR_SPECTRA_EXPORT std::int32_t Display_Spectrum(talvor::platform::PixelSurface* surface, std::int32_t width,
                                                   std::int32_t height, const float* spectra, std::int32_t count,
                                                   std::int32_t kind);
TALVOR_SPECTRA_EXPORT std::int32_t Display_Spectrum_FFT(talvor::platform::PixelSurface* memory,
                                                       talvor::platform::PixelSurface* destination,
                                                       std::int32_t destWidth, std::int32_t destHeight,
                                                       const float* spectra, std::int32_t count, std::int32_t kind);

// Polylines; the point array holds 2 x width + 1 points.
TALVOR_SPECTRA_EXPORT std::int32_t Konvert(std::int32_t width, std::int32_t height, const std::int16_t* samples,
                                          std::int32_t n, talvor::engine::PolyPoint* points, std::int32_t* count);
TALVOR_SPECTRA_EXPORT std::int32_t KonvertS(std::int32_t width, std::int32_t height, const float* samples,
                                           std::int32_t n, talvor::engine::PolyPoint* points, std::int32_t* count);
TALVOR_SPECTRA_EXPORT std::int32_t GetExtrems(const std::int16_t* samples, std::int32_t n, std::int32_t* max,
                                             std::int32_t* min);

// The address of the value passed by reference (64 bits wide here).
TALVOR_SPECTRA_EXPORT void* Get_Pointer(void* value);
TALVOR_SPECTRA_EXPORT void* Get_Long_Pointer(void* value);
TALVOR_SPECTRA_EXPORT void* Get_Integer_Pointer(void* value);
TALVOR_SPECTRA_EXPORT void* Get_Single_Pointer(void* value);
TALVOR_SPECTRA_EXPORT std::int32_t Long_To_Int(std::int32_t* longs, std::int32_t n, std::int16_t* ints);
TALVOR_SPECTRA_EXPORT std::int32_t Copy_Integer(std::int16_t* destination, std::int32_t n, const std::int16_t* source);
TALVOR_SPECTRA_EXPORT std::int32_t Copy_Single(float* destination, std::int32_t n, const float* source);

// Test words in a 50 x 3000 layout (element (w, v) at w + 50 v), references
// in 250 x 3000 (r + 250 v); testIndex 1-based.
TALVOR_SPECTRA_EXPORT std::int32_t ClassifyWordDTW(char method, std::int16_t dim, std::int16_t band,
                                                  std::int16_t testIndex, const float* testWords,
                                                  const std::int16_t* testFrames, std::int16_t nRefs,
                                                  const float* refWords, const std::int16_t* refFrames,
                                                  float* distances, std::int16_t* order);
TALVOR_SPECTRA_EXPORT std::int32_t Local_Distance(const float* test, const float* ref, std::int32_t nTest,
                                                 std::int32_t nRef, std::int32_t dim, float* matrix, float* min,
                                                 float* max);
TALVOR_SPECTRA_EXPORT std::int32_t Make_PR_Data(const float* source, float* destination, std::int32_t nWords,
                                               const std::int32_t* mask, const std::int32_t* frameCounts);

}  // extern "C"
