#pragma once
// The fixed tables of the analyser's word displays: the twenty feature names
// (as the users know them, spelling included), their default curve colours
// and scales, the feature each parameter pane shows first, the wave and
// parameter colours, the captions of the spectrum and frame views, and the
// pane layout of the analyser window.

#include <array>
#include <cstdint>
#include <string>

namespace talvor::analyser {

using Rgb = std::uint32_t;  // 0x00BBGGRR

constexpr Rgb rgbOf(int r, int g, int b)
{
    return Rgb(r & 0xFF) | (Rgb(g & 0xFF) << 8) | (Rgb(b & 0xFF) << 16);
}

inline constexpr int kFeatureCount = 20;   // values per feature frame
inline constexpr int kParamPanes = 6;      // grafParam 0..5
inline constexpr int kFrameHop = 80;       // samples per frame
inline constexpr int kContextSamples = 400;

// Buffer bounds: the largest word the feature buffer admits is 750 frames.
inline constexpr int kSampleBufferSize = 200001;           // sampleBuf 0..200000
inline constexpr int kFeatureBufferSize = 15001;           // featureBuf 0..15000
inline constexpr int kMaxFrames = 750;
inline constexpr int kSpectrumFloatsPerFrame = 256;
inline constexpr int kSpectrumBins = 128;
// One frame more than the largest word: the engine refuses frames >= capacity / 256.
inline constexpr int kSpectrumCapacity = (kMaxFrames + 1) * kSpectrumFloatsPerFrame;

// Word and frame colours at window load.
inline constexpr Rgb kDefaultSpeech = rgbOf(58, 32, 18);
inline constexpr Rgb kDefaultOutOfSpeech = rgbOf(249, 239, 234);
inline constexpr Rgb kDefaultFrame = rgbOf(183, 99, 53);
inline constexpr Rgb kDefaultParamOut = rgbOf(249, 239, 234);
inline constexpr Rgb kParamDotColour = rgbOf(0, 128, 128);  // QBColor(3)
inline constexpr Rgb kRgbBlack = rgbOf(0, 0, 0);
inline constexpr Rgb kRgbWhite = rgbOf(255, 255, 255);        // QBColor(15)

struct FeatureInfo {
    const char* name;  // check-box caption of the parameter chooser
    Rgb colour;        // default curve colour
    float minimum;     // default scale
    float maximum;
};

inline constexpr std::array<FeatureInfo, kFeatureCount> kFeatures = {{
    {"CEP1  - 1st cepstral coeficient", rgbOf(0, 0, 255), -5.0f, 5.0f},
    {"CEP2  - 2nd cepstral coeficient", rgbOf(0, 0, 255), -5.0f, 5.0f},
    {"CEP3  - 3th cepstral coeficient", rgbOf(0, 0, 255), -5.0f, 5.0f},
    {"CEP4  - 4th cepstral coeficient", rgbOf(0, 0, 255), -5.0f, 5.0f},
    {"CEP5  - 5th cepstral coeficient", rgbOf(0, 0, 255), -5.0f, 5.0f},
    {"CEP6  - 6th cepstral coeficient", rgbOf(0, 0, 255), -5.0f, 5.0f},
    {"CEP7  - 7th cepstral coeficient", rgbOf(0, 0, 255), -5.0f, 5.0f},
    {"CEP8  - 8th cepstral coeficient", rgbOf(0, 0, 255), -5.0f, 5.0f},
    {"DCEP1 - 1st delta cepstral coeficient", rgbOf(255, 0, 255), -1.0f, 1.0f},
    {"DCEP2 - 2nd delta cepstral coeficient", rgbOf(255, 0, 255), -1.0f, 1.0f},
    {"DCEP3 - 3th delta cepstral coeficient", rgbOf(255, 0, 255), -1.0f, 1.0f},
    {"DCEP4 - 4th delta cepstral coeficient", rgbOf(255, 0, 255), -1.0f, 1.0f},
    {"DCEP5 - 5th delta cepstral coeficient", rgbOf(255, 0, 255), -1.0f, 1.0f},
    {"DCEP6 - 6th delta cepstral coeficient", rgbOf(255, 0, 255), -1.0f, 1.0f},
    {"DCEP7 - 7th delta cepstral coeficient", rgbOf(255, 0, 255), -1.0f, 1.0f},
    {"DCEP8 - 8th delta cepstral coeficient", rgbOf(255, 0, 255), -1.0f, 1.0f},
    {"DEN   - delta energy", rgbOf(255, 0, 0), -1.0f, 1.0f},
    {"DDEN  - delta delta energy", rgbOf(255, 0, 0), -1.0f, 1.0f},
    {"SVF   - spectral variation function", rgbOf(0, 128, 0), 0.0f, 50.0f},
    {"ENE   - energy", rgbOf(255, 0, 0), 3.0f, 9.0f},
}};

// The feature each parameter pane shows at first: ENE, CEP1, DEN, CEP2, DDEN, CEP3.
inline constexpr std::array<int, kParamPanes> kDefaultPaneFeature = {19, 0, 16, 1, 17, 2};

// The pane caption of a feature: its name up to and including the first blank.
std::string paneCaptionOf(const std::string& name);

// Spectrum views 1..3 and frame views 1..3.
inline constexpr std::array<const char*, 3> kSpectrumTypeCaptions = {"Power spectrum in dB", "Amplitude spectrum",
                                                                     "3D power spectrum"};
inline constexpr std::array<const char*, 3> kFrameTypeCaptions = {"Signal in frame", "Windowed signal in frame",
                                                                  "DFT - power spectrum"};
inline constexpr std::array<const char*, 3> kFrameTypeTitles = {"Signal", "Windowed signal", "DFT Power"};

// Pane places in the analyser window, in twips (15 twips a pixel).
struct TwipRect {
    int left, top, width, height;
};
inline constexpr int kTwipsPerPixel = 15;
constexpr int twipsToPixels(int twips) { return twips / kTwipsPerPixel; }

inline constexpr TwipRect kWaveTwips = {120, 600, 10005, 1575};
inline constexpr std::array<TwipRect, kParamPanes> kParamTwips = {{
    {120, 2280, 2800, 1365},
    {3000, 2280, 2800, 1365},
    {120, 3720, 2800, 1365},
    {3000, 3720, 2800, 1365},
    {120, 5160, 2800, 1365},
    {3000, 5160, 2805, 1365},
}};
inline constexpr TwipRect kFrameTwips = {5880, 3015, 4215, 1575};
inline constexpr TwipRect kSpectrumHelpTwips = {5880, 4680, 4215, 1845};  // container with the title
inline constexpr TwipRect kSpectrumTwips = {0, 240, 4155, 1545};          // inside the container
inline constexpr TwipRect kPicHelpTwips = {0, 240, 4215, 1635};           // 3-D view, inside the container
inline constexpr TwipRect kSpectrumSrcTwips = {1200, 1080, 3300, 3840};   // scratch surface

}  // namespace talvor::analyser
