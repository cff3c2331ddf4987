// Renders the analyser's word display panes, placed as in the analyser
// window, into PNGs:
//   analyser_displays_render OUTDIR [WAV]
// writes OUTDIR/displays-token.png (a token the word detector cut out of WAV,
// by default a spoken "seven" of the engine's fixtures), displays-stored.png
// (the same word stored in a word data store and shown by browsing, with the
// DFT power frame view and the amplitude spectrogram), displays-empty.png,
// the 3-D view (displays-3d*.png) and the three choosers (chooser-*.png).
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QWidget>
#include <cstdio>
#include <string>

#include "TokenFixture.h"
#include "analyser/DisplayChooserDialogs.h"
#include "DisplaysView.h"
#include "ProfilerFakes.h"
#include "analyser/WordDisplayPanes.h"

using namespace talvor::analyser;

namespace {

bool save(QWidget& client, const std::string& path)
{
    QImage image(client.size(), QImage::Format_RGB32);
    client.render(&image);
    if (!image.save(QString::fromStdString(path))) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return false;
    }
    std::printf("%s\n", path.c_str());
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTDIR [WAV]\n", argv[0]);
        return 2;
    }
    const std::string out = argv[1];
    const char* root = std::getenv("TALVOR_SOURCE_DIR");
    const std::string wav =
        argc > 2 ? argv[2] : std::string(root ? root : ".") + "/engine/tests/fixtures/seven_en-us.wav";

    const testing::RecordedToken token = testing::recordToken(wav);
    if (!token.error.empty() || token.status != 0) {
        std::fprintf(stderr, "no word in %s (status %d) %s\n", wav.c_str(), token.status, token.error.c_str());
        return 1;
    }
    QWidget client;
    client.resize(twipsToPixels(10125) + 15, twipsToPixels(6525) + 10);
    client.setAutoFillBackground(true);
    WordDisplays displays;
    WordDisplayPanes panes(&client, displays);
    bool ok = save(client, out + "/displays-empty.png");

    displays.showWord(token.source());
    displays.pointerPress();
    displays.pointerRelease(1, 300);
    panes.refresh();
    ok = save(client, out + "/displays-token.png") && ok;

    // The token stored as the analyser stores it (frames 0 .. wStop + 9, the
    // samples from 800 before the word), then browsed to by the analyser.
    test::ScriptedEngine engine;
    test::FakeHost host;
    talvor::ModuleState module;
    Profiler analyser(engine, host, module);
    testing::DisplaysView view(analyser, displays);
    analyser.setView(&view);
    talvor::worddata::WordDataStore& store = analyser.wordData();
    store.SetNewVoc({"seven"}, 1);
    const int frames = token.wStop + 10;
    const std::size_t s0 = std::size_t(token.startSample - 800);
    store.PutWordData(1, std::span<const float>(token.featureBuf).first(std::size_t(frames) * 20),
                      std::span<const std::int16_t>(token.sampleBuf).subspan(s0, std::size_t(frames) * 80), frames,
                      "seven");
    displays.frameChooser().setSelected(3);
    displays.spectrumChooser().setSelected(2);
    analyser.wordList = {"seven"};
    analyser.listIndex = 0;
    analyser.ShowStoredWord();
    if (!displays.wordShown())
        std::fprintf(stderr, "the stored word was not shown (status %d)\n", analyser.status);
    panes.refresh();
    ok = save(client, out + "/displays-stored.png") && ok;

    // The 3-D view of the token's spectrum, at the default angles and at 60 / 30,
    // and the chooser dialogs.
    displays.showWord(token.source());
    displays.spectrumChooser().setSelected(3);
    displays.displaySpectrum();
    panes.refresh();
    ok = save(client, out + "/displays-3d.png") && ok;
    QImage big(281 * 3, 109 * 3, QImage::Format_RGB32);
    {
        QPainter painter(&big);
        painter.scale(3, 3);
        paintScene(painter, displays.picHelpScene(), 281, 109);
    }
    ok = big.save(QString::fromStdString(out + "/displays-3d-large.png")) && ok;
    while (displays.spectrumChooser().rotationSpin(true) && displays.spectrumChooser().rotation() < 60.0f) {
    }
    while (displays.spectrumChooser().elevationSpin(false) && displays.spectrumChooser().elevation() > 30.0f) {
    }
    displays.draw3D();
    panes.refresh();
    ok = save(client, out + "/displays-3d-60-30.png") && ok;

    DisplayChoosers choosers(displays, panes, &client);
    displays.spectrumChooser().open();
    choosers.spectrum().sync();
    choosers.spectrum().adjustSize();
    ok = save(choosers.spectrum(), out + "/chooser-spectrum.png") && ok;
    displays.frameChooser().open();
    choosers.frame().sync();
    choosers.frame().adjustSize();
    ok = save(choosers.frame(), out + "/chooser-frame.png") && ok;
    choosers.param(0).adjustSize();
    ok = save(choosers.param(0), out + "/chooser-param.png") && ok;
    return ok ? 0 : 1;
}
