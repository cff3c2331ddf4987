// Renders the analyser window with its word displays into PNGs:
//     QT_QPA_PLATFORM=offscreen build/analyser/analyser_window_render OUTDIR [WAV]
// window-token.png: Speech Recording, after a token that the word detector cut
// out of WAV (by default a spoken "seven" of the engine's fixtures);
// window-stored.png: Signal Exploring, the same word stored and shown from the
// word list; window-3d.png: the stored word with the 3-D spectrum view.
#include <QApplication>
#include <QWidget>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "TokenFixture.h"
#include "analyser/Profiler.h"
#include "analyser/UscWavescope.h"
#include "analyser/WordDisplays.h"
#include "common/DataTree.h"
#include "platform/Dialogs.h"
#include "../../src/ProfilerWindow.h"

namespace {

using namespace talvor;

// An engine that hands out one recorded token.
class TokenEngine final : public analyser::AnalyserEngine {
public:
    explicit TokenEngine(const analyser::testing::RecordedToken& t) : m_token(t) {}
    std::int32_t InitSoundCard() override { return 0; }
    std::intptr_t TokenProces(std::uint32_t) override { return 1; }
    std::int32_t StopTokenProces() override { return 0; }
    std::int32_t GetTokenParam(float* features, std::int32_t* startFrame, std::int32_t* endFrame,
                               std::int16_t* samples, std::int32_t* startSample, std::int32_t* endSample) override
    {
        std::memcpy(features, m_token.featureBuf.data(), std::size_t(m_token.wStop + 10) * 20 * sizeof(float));
        std::memcpy(samples, m_token.sampleBuf.data(), std::size_t(m_token.endSample + 801) * sizeof(std::int16_t));
        *startFrame = m_token.wStart;
        *endFrame = m_token.wStop;
        *startSample = m_token.startSample;
        *endSample = m_token.endSample;
        return m_token.status;
    }
    std::int32_t ChangeTokenMaxFrames(std::int32_t f) override { return f; }
    std::intptr_t OpenSoundCardOut(const std::int16_t*, std::int32_t) override { return 0; }
    std::int32_t CloseSoundCardOut() override { return 0; }
    std::int32_t CloseSoundCardIn() override { return 0; }

private:
    const analyser::testing::RecordedToken& m_token;
};

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: analyser_window_render OUTDIR [WAV]\n");
        return 2;
    }
    const std::string out = argv[1];
    std::filesystem::create_directories(out);
    const char* source = std::getenv("TALVOR_SOURCE_DIR");
    const std::string wav =
        argc > 2 ? argv[2] : std::string(source ? source : ".") + "/engine/tests/fixtures/seven_en-us.wav";
    const analyser::testing::RecordedToken token = analyser::testing::recordToken(wav);
    if (token.status != 0 || token.wStart < 10) {
        std::fprintf(stderr, "no word in %s (status %d) %s\n", wav.c_str(), token.status, token.error.c_str());
        return 1;
    }
    platform::ScopedScriptedDialogs dialogs;  // every box answered at once

    // A program folder with the vocabulary "digits" and the word stored as "seven.lab".
    const std::string root = (std::filesystem::path(out) / "program").string();
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(std::filesystem::path(root) / "DATA");
    DataTree tree(root);
    tree.createVocabulary("digits", {"seven"});
    worddata::WordDataStore store;
    store.SetNewVoc({"seven"}, 1);
    const std::size_t frames = std::size_t(token.wStop + 10);
    store.PutWordData(1, std::span<const float>(token.featureBuf).first(frames * 20),
                      std::span<const std::int16_t>(token.sampleBuf).subspan(std::size_t(token.startSample - 800),
                                                                             frames * 80),
                      std::int32_t(frames), "seven");
    store.Save_Data((std::filesystem::path(root) / "DATA" / "digits" / "seven.lab").string());

    int written = 0;
    auto shoot = [&](UscWavescope& w, const std::string& name) {
        QWidget* win = w.window();
        win->show();
        QApplication::processEvents();
        const std::string path = out + "/" + name + ".png";
        if (win->grab().save(QString::fromStdString(path))) {
            std::printf("%s\n", path.c_str());
            ++written;
        }
        win->hide();
    };

    {
        UscWavescope w(std::make_unique<TokenEngine>(token));
        w.SetAppPath(root);
        analyser::Profiler& p = w.profiler();
        if (p.SetMode(0, "digits", "take1", "")) {
            p.caption = std::string(kCaptionWavescope) + w.state().ModeNames(0);
            p.cmdNext_Click();
            p.Form_KeyDown(analyser::TokenKeyDone);
            shoot(w, "window-token");
        } else {
            std::fprintf(stderr, "Speech Recording refused\n");
        }
    }
    {
        UscWavescope w(std::make_unique<TokenEngine>(token));
        w.SetAppPath(root);
        analyser::Profiler& p = w.profiler();
        if (p.SetMode(1, "digits", "seven", "")) {
            p.caption = std::string(kCaptionWavescope) + w.state().ModeNames(1);
            shoot(w, "window-stored");
            auto* window = dynamic_cast<analyser::ProfilerWindow*>(w.window());
            if (window) {
                window->displays().spectrumChooser().setSelected(3);
                window->Display();
                shoot(w, "window-3d");
            }
        } else {
            std::fprintf(stderr, "Signal Exploring refused: %s\n",
                         dialogs.shown.empty() ? "" : dialogs.shown.back().text.c_str());
        }
    }
    return written == 3 ? 0 : 1;
}
