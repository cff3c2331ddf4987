// The C exports of the spectra, conversion, array and DTW routines: each
// turns the caller's pointers and counts into bounded spans for the C++
// functions behind it, with the array sizes the callers guarantee.
#include "engine/AnalysisExports.h"

#include <algorithm>
#include <span>

#include "engine/ArrayRoutines.h"
#include "engine/ClassifyDtw.h"
#include "engine/ColorScale.h"
#include "engine/Fourier.h"
#include "engine/SonogramDisplay.h"
#include "platform/Dialogs.h"

using namespace talvor::engine;

namespace {

// The colour scale is built when the library is loaded.
[[maybe_unused]] const bool colourScaleBuilt = (buildColorScale(), true);

std::size_t nonNegative(long long n)
{
    return n > 0 ? std::size_t(n) : 0;
}

// Konvert and KonvertS: the caller's pointers checked, its buffer of
// konvertPointsNeeded(width) points, the count passed in and back.
template <class Sample>
std::int32_t konvertExport(int (*convert)(int, int, std::span<const Sample>, std::span<PolyPoint>, int&),
                           std::int32_t width, std::int32_t height, const Sample* samples, std::int32_t n,
                           PolyPoint* points, std::int32_t* count)
{
    if (!count)
        return -1;
    if (n > 0 && (!samples || !points)) {
        *count = 0;
        return -1;
    }
    int c = *count;
    const int result = convert(width, height, std::span<const Sample>(samples, nonNegative(n)),
                               std::span<PolyPoint>(points, nonNegative(konvertPointsNeeded(width))), c);
    *count = c;
    return result;
}

}  // namespace

extern "C" {

std::int32_t Dft(const std::int16_t* samples, std::int32_t count, float* out)
{
    if (count != kDftLength) {
        talvor::platform::dialogs().messageBox("Errors in the number of input values !\n",
                                               "Application error - Fourier transformation",
                                               talvor::platform::MessageIcon::Critical,
                                               talvor::platform::MessageButtons::Ok);
        return -2;
    }
    if (!samples || !out)
        return -1;
    dftFrame(std::span<const std::int16_t>(samples, kDftLength), std::span<float, kDftFrameFloats>(out, kDftFrameFloats));
    return 0;
}

std::int32_t Compute_Spectrum(const std::int16_t* samples, std::int32_t* count, float* out)
{
    if (!count)
        return -1;
    const int frames = *count > 0 ? *count / kSpectrumHop : 0;
    if (frames > 0 && (!samples || !out))
        return -1;
    const std::size_t floats = std::size_t(frames) * kDftFrameFloats;
    const std::size_t available = frames > 0 ? std::size_t(frames) * kSpectrumHop + kSpectrumHop : 0;
    const int written = computeSpectrum(std::span<const std::int16_t>(samples, available), *count,
                                        std::span<float>(out, floats));
    *count = written;
    return 0;
}

std::int32_t Compute_Spectrum_FFT(const std::int16_t* samples, std::int32_t* count, float* out, std::int32_t* outSize)
{
    if (!count || !outSize)
        return -1;
    const int frames = *count / kSpectrumHop;
    const std::size_t capacity = nonNegative(*outSize);
    if (frames > 0 && (!samples || (!out && capacity > 0)))
        return -1;
    const std::size_t available = frames > 0 ? std::size_t(frames) * kSpectrumHop + (kFftLength - kSpectrumHop) : 0;
    return computeSpectrumFft(std::span<const std::int16_t>(samples, available), *count,
                              std::span<float>(out, out ? capacity : 0));
}

std::int32_t Value_To_Color(const float* values, std::int32_t count, std::uint32_t* colours, std::int32_t kind)
{
    if (count > 0 && (!values || !colours))
        return -1;
    valueToColor(std::span<const float>(values, nonNegative(count)), std::span<Rgb>(colours, nonNegative(count)), kind);
    return 0;
}

std::int32_t Display_Spectrum(talvor::platform::PixelSurface* surface, std::int32_t width, std::int32_t height,
                              const float* spectra, std::int32_t count, std::int32_t kind)
{
    if (!surface || (count > 0 && !spectra))
        return -1;
    displaySpectrum(*surface, width, height, std::span<const float>(spectra, nonNegative(count)), kind);
    return 0;
}

std::int32_t Display_Spectrum_FFT(talvor::platform::PixelSurface* memory, talvor::platform::PixelSurface* destination,
                                  std::int32_t destWidth, std::int32_t destHeight, const float* spectra,
                                  std::int32_t count, std::int32_t kind)
{
    if (!memory || !destination || (count > 0 && !spectra))
        return -1;
    displaySpectrumFft(*memory, *destination, destWidth, destHeight,
                       std::span<const float>(spectra, nonNegative(count)), kind);
    return 0;
}

std::int32_t Konvert(std::int32_t width, std::int32_t height, const std::int16_t* samples, std::int32_t n,
                     PolyPoint* points, std::int32_t* count)
{
    return konvertExport(konvert, width, height, samples, n, points, count);
}

std::int32_t KonvertS(std::int32_t width, std::int32_t height, const float* samples, std::int32_t n,
                      PolyPoint* points, std::int32_t* count)
{
    return konvertExport(konvertS, width, height, samples, n, points, count);
}

std::int32_t GetExtrems(const std::int16_t* samples, std::int32_t n, std::int32_t* max, std::int32_t* min)
{
    if (!max || !min || (n > 0 && !samples))
        return -1;
    getExtrems(std::span<const std::int16_t>(samples, nonNegative(n)), *max, *min);
    return 0;
}

void* Get_Pointer(void* value)
{
    return value;
}

void* Get_Long_Pointer(void* value)
{
    return value;
}

void* Get_Integer_Pointer(void* value)
{
    return value;
}

void* Get_Single_Pointer(void* value)
{
    return value;
}

std::int32_t Long_To_Int(std::int32_t* longs, std::int32_t n, std::int16_t* ints)
{
    if (n != 0 && (!longs || !ints))
        return -1;
    return longToInt(longs, n, ints);
}

std::int32_t Copy_Integer(std::int16_t* destination, std::int32_t n, const std::int16_t* source)
{
    if (n != 0 && (!destination || !source))
        return -1;
    return copyInteger(destination, n, source);
}

std::int32_t Copy_Single(float* destination, std::int32_t n, const float* source)
{
    if (n != 0 && (!destination || !source))
        return -1;
    return copySingle(destination, n, source);
}

std::int32_t ClassifyWordDTW(char method, std::int16_t dim, std::int16_t band, std::int16_t testIndex,
                             const float* testWords, const std::int16_t* testFrames, std::int16_t nRefs,
                             const float* refWords, const std::int16_t* refFrames, float* distances,
                             std::int16_t* order)
{
    if (!testWords || !testFrames || (nRefs > 0 && (!refWords || !refFrames || !distances || !order)))
        return -1;
    const std::size_t refs = nonNegative(nRefs);
    return classifyWordDtw(method, dim, band, testIndex,
                           std::span<const float>(testWords, std::size_t(kDtwTestWords) * kDtwMaxValues),
                           std::span<const std::int16_t>(testFrames, kDtwTestWords), nRefs,
                           std::span<const float>(refWords, refWords ? std::size_t(kDtwRefWords) * kDtwMaxValues : 0),
                           std::span<const std::int16_t>(refFrames, refs), std::span<float>(distances, refs),
                           std::span<std::int16_t>(order, refs));
}

std::int32_t Local_Distance(const float* test, const float* ref, std::int32_t nTest, std::int32_t nRef,
                            std::int32_t dim, float* matrix, float* min, float* max)
{
    if (!min || !max)
        return -1;
    const bool any = nTest > 0 && nRef > 0;
    if (any && (!test || !ref || !matrix))
        return -1;
    const std::size_t testFloats = any ? std::size_t(nTest) * kFeatureFrameFloats : 0;
    const std::size_t refFloats = any ? std::size_t(nRef) * kFeatureFrameFloats : 0;
    const std::size_t matrixFloats = any ? std::size_t(nRef - 1) * kLocalDistanceRow + std::size_t(nTest) : 0;
    return localDistance(std::span<const float>(test, testFloats), std::span<const float>(ref, refFloats), nTest, nRef,
                         dim, std::span<float>(matrix, matrixFloats), *min, *max);
}

std::int32_t Make_PR_Data(const float* source, float* destination, std::int32_t nWords, const std::int32_t* mask,
                          const std::int32_t* frameCounts)
{
    if (!mask || (nWords > 0 && !frameCounts))
        return -1;
    const std::span<const std::int32_t, kFeatureFrameFloats> flags(mask, kFeatureFrameFloats);
    const std::span<const std::int32_t> counts(frameCounts, nonNegative(nWords));
    const std::size_t sourceFloats = nonNegative(prDataSourceFloats(nWords, counts));
    const std::size_t destinationFloats = nonNegative(prDataDestinationFloats(nWords, flags, counts));
    if ((sourceFloats > 0 && !source) || (destinationFloats > 0 && !destination))
        return -1;
    return makePrData(std::span<const float>(source, sourceFloats), std::span<float>(destination, destinationFloats),
                      nWords, flags, counts);
}

}  // extern "C"
