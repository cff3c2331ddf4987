#include "analyser/WordDisplays.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "engine/AnalysisExports.h"
#include "platform/Colors.h"
#include "platform/Dialogs.h"

namespace talvor::analyser {

namespace {

// Whole numbers from fractions: to the nearest, halves to the even neighbour.
int roundEven(double v)
{
    if (!std::isfinite(v))
        return v > 0 ? std::numeric_limits<int>::max() : std::numeric_limits<int>::min();
    v = std::clamp(v, double(std::numeric_limits<int>::min()), double(std::numeric_limits<int>::max()));
    return int(std::nearbyint(v));
}

std::int16_t toInt16(double v)
{
    if (std::isnan(v))
        return std::numeric_limits<std::int16_t>::min();
    v = std::clamp(v, -32768.0, 32767.0);
    return std::int16_t(std::nearbyint(v));
}

std::uint32_t paneBackground()
{
    return platform::resolveColor(platform::kSystemButtonFace);
}

// The polyline of points [first, last] of `points`, clamped to them; none when empty.
void addRun(PaneScene& scene, std::span<const PolyPoint> points, long long first, long long last, Rgb colour)
{
    first = std::max<long long>(first, 0);
    last = std::min<long long>(last, (long long)points.size() - 1);
    if (first > last)
        return;
    ScenePolyline line;
    line.colour = colour;
    line.points.assign(points.begin() + first, points.begin() + last + 1);
    scene.polylines.push_back(std::move(line));
}

// The hidden scratch surface of the spectrogram: at least as wide as the
// window's (220 pixels), wide enough for every frame, 256 rows.
constexpr int kScratchWidth = 220;
constexpr int kScratchHeight = 256;

}  // namespace

DisplayPaneSizes::DisplayPaneSizes()
{
    for (std::size_t i = 0; i < param.size(); ++i)
        param[i] = {twipsToPixels(kParamTwips[i].width), twipsToPixels(kParamTwips[i].height)};
}

WordDisplays::WordDisplays(DisplayPaneSizes sizes) : m_sizes(sizes), m_spectrumBuf(std::size_t(kSpectrumCapacity))
{
    // With a count of 0 the engine builds its FFT tables.
    std::int32_t zero = 0, capacity = kSpectrumCapacity;
    Compute_Spectrum_FFT(nullptr, &zero, nullptr, &capacity);
    for (int i = 0; i < kParamPanes; ++i)
        printHead(i);
}

// ---------------------------------------------------------------- the word

std::int16_t WordDisplays::sampleAt(long long index) const
{
    return index >= 0 && index < (long long)m_sampleBuf.size() ? m_sampleBuf[std::size_t(index)] : 0;
}

int WordDisplays::firstShownSample() const
{
    return m_startSample < kContextSamples ? 0 : m_startSample - kContextSamples;
}

bool WordDisplays::showWord(const WordSource& word)
{
    const long long available = std::min<long long>(
        {(long long)word.samples.size(), (long long)kSampleBufferSize, (long long)word.sampleCount});
    const bool valid = word.status == 0 && word.sampleCount > 0 && word.startSample >= 0
                       && word.startSample < word.endSample
                       && (long long)word.endSample + 800 <= (long long)kSampleBufferSize && word.wStart >= 0
                       && word.wStart < word.wStop && word.wStop + 10 <= kMaxFrames && available > word.endSample
                       && !word.features.empty();
    if (!valid) {
        clearAll();
        return false;
    }
    m_shown = true;
    m_sampleBuf.assign(word.samples.begin(), word.samples.begin() + available);
    const std::size_t features = std::min(word.features.size(), std::size_t(kFeatureBufferSize));
    m_featureBuf.assign(word.features.begin(), word.features.begin() + std::ptrdiff_t(features));
    m_wStart = word.wStart;
    m_wStop = word.wStop;
    m_startSample = word.startSample;
    m_endSample = word.endSample;
    redraw();
    return true;
}

void WordDisplays::redraw()
{
    if (!m_shown) {
        clearAll();
        return;
    }
    for (int i = 0; i < kParamPanes; ++i)
        displayParam(i, m_paramChoosers.lastSelected(i));
    // The peak-to-peak value of the recorded sound scales the frame pane.
    PolyPoint span[5];
    std::int32_t count = 0;
    m_signalSpan = Konvert(2, 2, m_sampleBuf.data(), std::int32_t(m_sampleBuf.size()), span, &count);
    displayWave();
    // The spectrum first: the frame pane may show it.
    computeSpectrum();
    displayFrame(roundEven(m_sizes.wave.width / 2.0));
    displaySpectrum();
}

void WordDisplays::clearAll()
{
    m_shown = false;
    m_spectrumCount = 0;
    m_pointCount = 0;
    m_markPointCount = 0;
    m_frameCaption.clear();
    m_wave.clear();
    m_frame.clear();
    m_spectrum.clear();
    m_picHelp.clear();
    for (auto& p : m_param)
        p.clear();
    changed();
}

void WordDisplays::computeSpectrum()
{
    // Frame j begins 480 - 80 j samples before the word's start; samples
    // before the buffer count as 0.
    const int n = m_endSample - m_startSample + 800;
    const int frames = n / kFrameHop;
    std::vector<std::int16_t> stretch(std::size_t(frames) * kFrameHop + (256 - kFrameHop));
    for (std::size_t k = 0; k < stretch.size(); ++k)
        stretch[k] = sampleAt((long long)m_startSample - 480 + (long long)k);
    std::int32_t count = n, capacity = kSpectrumCapacity;
    const int result = Compute_Spectrum_FFT(stretch.data(), &count, m_spectrumBuf.data(), &capacity);
    m_spectrumCount = result == 0 ? frames * kSpectrumFloatsPerFrame : 0;
    // The lowest two bins take the average of their neighbours, each term divided first.
    for (int j = 0; j < frames && result == 0; ++j) {
        float* b = m_spectrumBuf.data() + std::size_t(j) * kSpectrumFloatsPerFrame;
        b[0] = b[3] / 3.0f + b[2] / 3.0f + b[4] / 3.0f;
        b[1] = b[3] / 3.0f + b[0] / 3.0f + b[2] / 3.0f;
    }
}

// ---------------------------------------------------------------- wave pane

void WordDisplays::displayWave()
{
    m_wave.clear();
    m_wave.width = m_sizes.wave.width;
    m_wave.height = m_sizes.wave.height;
    m_pointCount = 0;
    m_markPointCount = 0;
    changed();
    const int W = m_sizes.wave.width, H = m_sizes.wave.height;
    if (!m_shown || W < 1 || H < 1)
        return;
    const int first = firstShownSample();
    m_shownSamples = m_startSample < kContextSamples ? m_endSample + kContextSamples
                                                     : m_endSample - m_startSample + 2 * kContextSamples;
    m_pointBuf.assign(std::size_t(2 * W + 1), PolyPoint{0, 0});
    std::vector<std::int16_t> shown(static_cast<std::size_t>(m_shownSamples));
    for (std::size_t k = 0; k < shown.size(); ++k)
        shown[k] = sampleAt((long long)first + (long long)k);
    std::int32_t count = 0;
    Konvert(W, H, shown.data(), m_shownSamples, m_pointBuf.data(), &count);
    m_pointCount = std::max(count, 0);
    m_columnMode = m_shownSamples >= 2 * W;
    const float pointsPerSample = float(m_pointCount) / float(m_shownSamples);
    m_wordFirstPoint =
        int(std::floor(double(pointsPerSample) * double(m_shownSamples - (m_endSample - m_startSample) - 400)));
    m_wordLastPoint = roundEven(m_pointCount - std::floor(double(pointsPerSample) * 5 * 80) - 1);
    // Three runs that share their boundary points.
    const std::span<const PolyPoint> points = wavePoints();
    addRun(m_wave, points, 0, m_wordFirstPoint, m_colOutOfSpeech);
    addRun(m_wave, points, m_wordFirstPoint, m_wordLastPoint, m_colSpeech);
    addRun(m_wave, points, m_wordLastPoint, m_pointCount - 1, m_colOutOfSpeech);
}

void WordDisplays::setMarker(int markerStart, int markCount)
{
    // The marker is the last polyline of the wave scene, over the three runs.
    if (m_markPointCount > 0 && !m_wave.polylines.empty())
        m_wave.polylines.pop_back();
    m_markFirstPoint = markerStart;
    m_markPointCount = markCount;
    const std::size_t before = m_wave.polylines.size();
    addRun(m_wave, wavePoints(), markerStart, (long long)markerStart + markCount - 1, m_colFrame);
    if (m_wave.polylines.size() == before)
        m_markPointCount = 0;
}

// ---------------------------------------------------------------- frame pane

void WordDisplays::displayFrame(int nGraf)
{
    const int waveWidth = std::max(m_sizes.wave.width, 1);
    if (nGraf == -1)
        nGraf = roundEven(double(waveWidth) * double(m_markPosition));
    m_markPosition = float(nGraf) / float(waveWidth);
    m_frame.clear();
    m_frame.width = m_sizes.frame.width;
    m_frame.height = m_sizes.frame.height;
    changed();
    if (!m_shown || m_pointCount < 1)
        return;
    const float spp = float(m_shownSamples) / float(waveWidth);
    if (nGraf < 0 || double(spp) * nGraf > double(m_shownSamples - 80)) {
        // No frame there: the pane is empty, and so is its caption.
        m_frameCaption.clear();
        return;
    }
    const int f = int(std::floor(double(spp) * nGraf / 80.0)) * 80;
    drawFrameCurve(f);
    // Two points per pixel column in column mode, one per sample otherwise.
    if (m_columnMode)
        setMarker(roundEven(2.0 * f / double(spp)), roundEven(320.0 / double(spp)));
    else
        setMarker(f, 160);
    const int k = f / 80;
    if (k >= 5 && k <= m_wStop - 6) {
        char text[64];
        std::snprintf(text, sizeof text, "FRAME #%02d (FROM %d)", k - 4, m_wStop - m_wStart);
        m_frameCaption = text;
    } else {
        m_frameCaption = "OUT OF SPEECH";
    }
}

void WordDisplays::drawFrameCurve(int f)
{
    const int type = m_frameChooser.displayType();
    m_frameTitle = kFrameTypeTitles[std::size_t(type - 1)];
    const int W = m_sizes.frame.width, H = m_sizes.frame.height;
    if (W < 1 || H < 1)
        return;
    const long long s0 = (long long)firstShownSample() + f;
    std::vector<std::int16_t> values;
    std::int32_t scale = 0;
    if (type == 3) {
        const long long j = f / 80;
        if ((j + 1) * kSpectrumFloatsPerFrame > m_spectrumCount)
            return;
        const float* db = m_spectrumBuf.data() + j * kSpectrumFloatsPerFrame;
        for (int b = 0; b < kSpectrumBins; ++b)
            values.push_back(toInt16(double(db[b] - 65.0f)));
        scale = 130;
    } else {
        for (int i = 0; i < 160; ++i) {
            const std::int16_t s = sampleAt(s0 + i);
            if (type == 2) {
                const float w = float(0.54 - 0.46 * std::cos(6.283185307178 * i / 159.0));
                values.push_back(toInt16(double(float(s) * w)));
            } else {
                values.push_back(s);
            }
        }
        scale = type == 2 ? m_signalSpan : roundEven(m_signalSpan * 1.1);
    }
    std::vector<PolyPoint> points(std::size_t(2 * W + 1));
    std::int32_t count = scale;
    Konvert(W, -H, values.data(), std::int32_t(values.size()), points.data(), &count);
    addRun(m_frame, std::span<const PolyPoint>(points.data(), std::size_t(std::max(count, 0))), 0, count - 1,
           m_colFrame);
}

// ---------------------------------------------------------------- spectrum pane

void WordDisplays::displaySpectrum()
{
    m_spectrum.clear();
    m_spectrum.width = m_sizes.spectrum.width;
    m_spectrum.height = m_sizes.spectrum.height;
    changed();
    if (!m_shown)
        return;
    const int type = m_spectrumChooser.selected();
    if (type >= 1 && type <= 3)
        m_spectrumTitle = kSpectrumTypeCaptions[std::size_t(type - 1)];
    if (type == 3) {
        m_picHelpVisible = true;
        draw3D();
        return;
    }
    m_picHelpVisible = false;
    drawSpectrogram(type - 1);
}

void WordDisplays::drawSpectrogram(int kind)
{
    m_spectrum.clear();
    m_spectrum.width = m_sizes.spectrum.width;
    m_spectrum.height = m_sizes.spectrum.height;
    changed();
    const int W = m_sizes.spectrum.width, H = m_sizes.spectrum.height;
    if (!m_shown || W < 1 || H < 1 || m_spectrumCount < 2 * kSpectrumFloatsPerFrame)
        return;
    const int frames = m_spectrumCount / kSpectrumFloatsPerFrame;
    platform::PixelSurface scratch(std::max(kScratchWidth, frames), kScratchHeight, paneBackground());
    platform::PixelSurface pane(W, H, paneBackground());
    Display_Spectrum_FFT(&scratch, &pane, W, H, m_spectrumBuf.data(), m_spectrumCount, kind);
    m_spectrum.picture = std::move(pane);
}

void WordDisplays::draw3D()
{
    m_picHelp.clear();
    m_picHelp.width = m_sizes.picHelp.width;
    m_picHelp.height = m_sizes.picHelp.height;
    changed();
    if (!m_shown || m_picHelp.width < 1 || m_picHelp.height < 1)
        return;
    m_picHelpVisible = true;
    platform::PixelSurface picture(m_picHelp.width, m_picHelp.height, paneBackground());
    SurfacePlot plot(picture, paneBackground());
    m_spectrum3D.Draw3DSpectrum(plot, spectrum(), m_spectrumCount, m_spectrumChooser.rotation(),
                                m_spectrumChooser.elevation());
    m_picHelp.picture = std::move(picture);
}

void WordDisplays::filtr()
{
    if (!m_shown)
        return;
    const int frames = m_spectrumCount / kSpectrumFloatsPerFrame;
    float before[kSpectrumBins];
    for (int j = 0; j < frames; ++j) {
        float* b = m_spectrumBuf.data() + std::size_t(j) * kSpectrumFloatsPerFrame;
        std::copy_n(b, kSpectrumBins, before);
        for (int k = 0; k < kSpectrumBins; ++k) {
            const float b1 = k >= 1 ? before[k - 1] : 0.0f, b2 = k >= 2 ? before[k - 2] : 0.0f;
            b[k] = before[k] / 3.0f + b1 / 3.0f + b2 / 3.0f;
        }
    }
    draw3D();
    // The 2-D view as the spectrum pane draws it: kind = the chosen type - 1.
    drawSpectrogram(m_spectrumChooser.selected() - 1);
}

// ---------------------------------------------------------------- parameter panes

void WordDisplays::printHead(int pane)
{
    PaneScene& scene = m_param.at(std::size_t(pane));
    scene.width = m_sizes.param[std::size_t(pane)].width;
    scene.height = m_sizes.param[std::size_t(pane)].height;
    const int p = m_paramChoosers.lastSelected(pane);
    SceneText head;
    head.colour = m_paramChoosers.pane(pane).colours[std::size_t(p)];
    head.text = paneCaptionOf(kFeatures[std::size_t(p)].name);
    scene.texts.assign(1, head);  // the old caption goes
    changed();
}

void WordDisplays::displayParam(int pane, int feature)
{
    PaneScene& scene = m_param.at(std::size_t(pane));
    scene.clear();
    changed();
    if (!m_shown || feature < 0 || feature >= kFeatureCount)
        return;
    printHead(pane);
    const int W = m_sizes.param[std::size_t(pane)].width, H = m_sizes.param[std::size_t(pane)].height;
    if (W < 1 || H < 23)
        return;
    const float maximum = m_paramChoosers.rangeMax(feature), minimum = m_paramChoosers.rangeMin(feature);
    const float range = maximum - minimum;
    // Frames wStart - 5 .. wStop + 4: five frames of lead-in and of lead-out.
    const int first = std::max(m_wStart - 5, 0), last = m_wStop + 4;
    const double xStep = double(W) / double(last - first);
    const double yScale = range != 0.0f && std::isfinite(range) ? double(H - 22) / double(range) : 0.0;
    const double y0 = roundEven(yScale * double(maximum) + 12 + 5);
    std::vector<PolyPoint> points;
    for (int i = first; i <= last; ++i) {
        const std::size_t at = std::size_t(20) * std::size_t(i) + std::size_t(feature);
        if (at >= m_featureBuf.size())
            break;
        const double v = m_featureBuf[at];
        int y = H / 2;  // a zero range: a flat line
        if (std::isnan(v))
            y = H - 1;
        else if (yScale != 0.0)
            y = std::clamp(roundEven(y0 - yScale * v), 0, H - 1);
        points.push_back({roundEven(xStep * (i - first)), y});
    }
    scene.dots.push_back({0, 0, kParamDotColour});
    // Lead-in up to the word start, the word, the lead-out from its last frame.
    addRun(scene, points, 0, m_wStart - first, m_colParamOut);
    addRun(scene, points, m_wStart - first, m_wStop - 1 - first, m_paramChoosers.pane(pane).colours[std::size_t(feature)]);
    addRun(scene, points, m_wStop - 1 - first, last - first, m_colParamOut);
}

void WordDisplays::selected(int clickedPane)
{
    displayParam(clickedPane, m_paramChoosers.lastSelected(clickedPane));
}

// ---------------------------------------------------------------- pointer

void WordDisplays::pointerPress()
{
    m_dragging = true;
}

namespace {
// A pointer left of the pane counts as one past its end.
int pointerColumn(double x, int width)
{
    const int column = roundEven(x);
    return column < 0 ? width : column;
}
}  // namespace

void WordDisplays::pointerMove(bool buttonHeld, double x)
{
    if (buttonHeld && m_dragging)
        displayFrame(pointerColumn(x, m_sizes.wave.width));
}

void WordDisplays::pointerRelease(int button, double x)
{
    if (button == 1 && m_shown) {
        displayFrame(pointerColumn(x, m_sizes.wave.width));
        m_dragging = false;
    }
}

// ---------------------------------------------------------------- colours

Rgb WordDisplays::colour(ColourItem item) const
{
    switch (item) {
    case ColourItem::Frame: return m_colFrame;
    case ColourItem::Signal: return m_colSpeech;
    case ColourItem::OutOfSpeech: return m_colOutOfSpeech;
    case ColourItem::ParamOut: return m_colParamOut;
    }
    return 0;
}

void WordDisplays::setColour(ColourItem item, Rgb colour)
{
    switch (item) {
    case ColourItem::Frame: m_colFrame = colour; break;
    case ColourItem::Signal: m_colSpeech = colour; break;
    case ColourItem::OutOfSpeech: m_colOutOfSpeech = colour; break;
    case ColourItem::ParamOut: m_colParamOut = colour; break;
    }
}

bool WordDisplays::chooseColour(ColourItem item)
{
    const auto chosen = platform::dialogs().chooseColor(colour(item));
    if (!chosen)
        return false;
    setColour(item, *chosen & 0x00FFFFFFu);
    redraw();
    return true;
}

}  // namespace talvor::analyser
