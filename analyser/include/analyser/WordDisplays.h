#pragma once
// The word displays of the analyser window, without any window: a recorded
// token or a stored word shown as its waveform (with a marker on the current
// frame), one frame (signal, windowed signal or DFT power), its spectrogram
// (or the 3-D view) and six feature tracks.  Each pane's content is a
// PaneScene that the window's panes paint.
//
// The displays keep their own copy of the word they show, taken by a
// successful showWord(); every pane operation reads only that copy and checks
// its indices against it.  Without a word shown the panes are only cleared.
//
// Use:
//     WordDisplays d;                       // pane sizes of the window's layout
//     d.showWord({sampleBuf, sampleCount, featureBuf, wStart, wStop, startSample, endSample, status});
//     paint(d.waveScene());  label(d.frameCaption());
//     d.pointerPress();  d.pointerMove(true, x);  d.pointerRelease(1, x);

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "analyser/DisplayChoosers.h"
#include "analyser/DisplayTables.h"
#include "analyser/PaneScene.h"
#include "analyser/Mesh3D.h"

namespace talvor::analyser {

// A word as the window's buffers hold it.
struct WordSource {
    std::span<const std::int16_t> samples;  // sampleBuf
    std::int32_t sampleCount = 0;           // samples that hold sound
    std::span<const float> features;        // featureBuf, 20 values a frame
    std::int32_t wStart = 0, wStop = 0;     // first and end frame of the word
    std::int32_t startSample = 0, endSample = 0;
    std::int32_t status = 0;                // 0: a valid word
};

struct PaneSize {
    int width = 0, height = 0;
};

// Pane sizes in pixels, from the window's layout.
struct DisplayPaneSizes {
    PaneSize wave{twipsToPixels(kWaveTwips.width), twipsToPixels(kWaveTwips.height)};
    PaneSize frame{twipsToPixels(kFrameTwips.width), twipsToPixels(kFrameTwips.height)};
    PaneSize spectrum{twipsToPixels(kSpectrumTwips.width), twipsToPixels(kSpectrumTwips.height)};
    PaneSize picHelp{twipsToPixels(kPicHelpTwips.width), twipsToPixels(kPicHelpTwips.height)};
    std::array<PaneSize, kParamPanes> param{};
    DisplayPaneSizes();
};

enum class ColourItem { Frame, Signal, OutOfSpeech, ParamOut };  // miFrame, miSig, miOkraj, miOkrajParam

class WordDisplays {
public:
    explicit WordDisplays(DisplayPaneSizes sizes = {});

    // --- the word ---
    // Display of a new word: copies it, computes its spectrum and draws every
    // pane.  A word that is not valid (status not 0, bounds outside the
    // buffers, no word between them) is not shown: the panes are cleared and
    // the result is false.
    bool showWord(const WordSource& word);
    // Display of the word shown (after a colour change); clears the panes when none is.
    void redraw();
    // All panes cleared; no word shown until the next showWord.
    void clearAll();
    bool wordShown() const { return m_shown; }

    // --- the panes' procedures ---
    void displayWave();
    // nGraf: pointer position in wave pane pixels; -1 the last position.
    void displayFrame(int nGraf);
    void displaySpectrum();
    // The 3-D view of the word's spectrum into picHelp, at the spectrum chooser's angles.
    void draw3D();
    // "filtr": each frame's dB values smoothed once more by a causal three-point
    // average of the unsmoothed values; both spectrum views redrawn.
    void filtr();
    void displayParam(int pane, int feature);
    void printHead(int pane);
    // The parameter pane last clicked, redrawn with its chooser's feature.
    void selected(int clickedPane);

    // --- the wave pane's pointer ---
    void pointerPress();
    void pointerMove(bool buttonHeld, double x);
    void pointerRelease(int button, double x);  // button 1 = left
    bool dragging() const { return m_dragging; }

    // --- colours of the Options menu ---
    Rgb colour(ColourItem item) const;
    void setColour(ColourItem item, Rgb colour);
    // The colour dialog seeded with the item's colour; a chosen colour is set
    // and the word redrawn; Cancel changes nothing.  True when a colour was chosen.
    bool chooseColour(ColourItem item);

    // --- choosers ---
    SpectrumChooserModel& spectrumChooser() { return m_spectrumChooser; }
    FrameChooserModel& frameChooser() { return m_frameChooser; }
    ParamChoosersModel& paramChoosers() { return m_paramChoosers; }
    const ParamChoosersModel& paramChoosers() const { return m_paramChoosers; }

    // --- what the panes show ---
    const PaneScene& waveScene() const { return m_wave; }
    const PaneScene& frameScene() const { return m_frame; }
    const PaneScene& spectrumScene() const { return m_spectrum; }
    const PaneScene& picHelpScene() const { return m_picHelp; }
    const PaneScene& paramScene(int pane) const { return m_param.at(std::size_t(pane)); }
    const std::string& frameCaption() const { return m_frameCaption; }    // lbFrame
    const std::string& frameTitle() const { return m_frameTitle; }        // lbBuffered
    const std::string& spectrumTitle() const { return m_spectrumTitle; }  // lbSpectrum
    bool picHelpVisible() const { return m_picHelpVisible; }
    const DisplayPaneSizes& sizes() const { return m_sizes; }
    void setSizes(const DisplayPaneSizes& sizes) { m_sizes = sizes; }
    // Counts each change of a scene or a caption, so a view knows when to repaint.
    std::uint64_t revision() const { return m_revision; }

    // --- state, for the window and for tests ---
    std::span<const float> spectrum() const { return {m_spectrumBuf.data(), std::size_t(m_spectrumCount)}; }
    std::int32_t spectrumCount() const { return m_spectrumCount; }
    std::int32_t signalSpan() const { return m_signalSpan; }
    std::int32_t shownSamples() const { return m_shownSamples; }
    std::int32_t pointCount() const { return m_pointCount; }
    std::int32_t wordFirstPoint() const { return m_wordFirstPoint; }
    std::int32_t wordLastPoint() const { return m_wordLastPoint; }
    std::int32_t markFirstPoint() const { return m_markFirstPoint; }
    std::int32_t markPointCount() const { return m_markPointCount; }
    float markPosition() const { return m_markPosition; }
    std::span<const PolyPoint> wavePoints() const { return {m_pointBuf.data(), std::size_t(m_pointCount)}; }

private:
    std::int16_t sampleAt(long long index) const;  // 0 outside the word's samples
    int firstShownSample() const;
    void computeSpectrum();
    void drawSpectrogram(int kind);
    void drawFrameCurve(int f);
    void setMarker(int markerStart, int markCount);
    void changed() { ++m_revision; }

    DisplayPaneSizes m_sizes;
    SpectrumChooserModel m_spectrumChooser;
    FrameChooserModel m_frameChooser;
    ParamChoosersModel m_paramChoosers;

    // The word shown.
    bool m_shown = false;
    std::vector<std::int16_t> m_sampleBuf;  // sampleCount samples
    std::vector<float> m_featureBuf;
    std::int32_t m_wStart = 0, m_wStop = 0, m_startSample = 0, m_endSample = 0;
    std::vector<float> m_spectrumBuf;
    std::int32_t m_spectrumCount = 0;
    std::int32_t m_signalSpan = 0;

    // Wave pane.
    std::vector<PolyPoint> m_pointBuf;
    std::int32_t m_pointCount = 0;
    std::int32_t m_shownSamples = 0;
    std::int32_t m_wordFirstPoint = 0, m_wordLastPoint = 0;
    bool m_columnMode = false;
    std::int32_t m_markFirstPoint = 0, m_markPointCount = 0;
    float m_markPosition = 0.5f;
    bool m_dragging = false;

    Rgb m_colSpeech = kDefaultSpeech;
    Rgb m_colOutOfSpeech = kDefaultOutOfSpeech;
    Rgb m_colFrame = kDefaultFrame;
    Rgb m_colParamOut = kDefaultParamOut;

    Spectrum3D m_spectrum3D;
    PaneScene m_wave, m_frame, m_spectrum, m_picHelp;
    std::array<PaneScene, kParamPanes> m_param;
    std::string m_frameCaption, m_frameTitle, m_spectrumTitle;
    bool m_picHelpVisible = false;
    std::uint64_t m_revision = 0;
};

}  // namespace talvor::analyser
