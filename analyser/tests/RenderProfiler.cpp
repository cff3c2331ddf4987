// Renders the analyser window in each mode, and while listening, into PNGs:
//     QT_QPA_PLATFORM=offscreen build/analyser/analyser_render OUTDIR
// with a scripted engine, so no sound device is needed.
#include "ProfilerFakes.h"
#include "analyser/Profiler.h"
#include "analyser/UscWavescope.h"
#include "common/DataTree.h"
#include "common/StatwalkConfig.h"
#include "platform/Dialogs.h"

#include <QApplication>
#include <QPixmap>
#include <QWidget>

#include <cstdio>
#include <filesystem>

namespace {

using namespace talvor;

class SilentEngine final : public analyser::AnalyserEngine {
public:
    std::int32_t status = 0;   // of the next token
    std::int32_t discard = 0;  // GetTokenDiscard
    std::int32_t InitSoundCard() override { return 0; }
    std::intptr_t TokenProces(std::uint32_t) override { return 1; }
    std::int32_t StopTokenProces() override { return 0; }
    std::int32_t GetTokenParam(float*, std::int32_t* a, std::int32_t* b, std::int16_t*, std::int32_t* c,
                               std::int32_t* d) override
    {
        *a = 10;
        *b = 60;
        *c = 1600;
        *d = 5680;
        return status;
    }
    std::int32_t GetTokenDiscard() override { return discard; }
    std::int32_t ChangeTokenMaxFrames(std::int32_t f) override { return f; }
    std::intptr_t OpenSoundCardOut(const std::int16_t*, std::int32_t) override { return 0; }
    std::int32_t CloseSoundCardOut() override { return 0; }
    std::int32_t CloseSoundCardIn() override { return 0; }
};

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: analyser_render OUTDIR\n");
        return 2;
    }
    const std::string out = argv[1];
    std::filesystem::create_directories(out);
    platform::ScopedScriptedDialogs dialogs;  // every box answered at once

    const std::string root = (std::filesystem::path(out) / "program").string();
    std::filesystem::create_directories(std::filesystem::path(root) / "DATA");
    DataTree tree(root);
    tree.createVocabulary("digits", {"zero", "one", "two", "three", "four"});
    tree.createWorkFolder("digits", "work1");
    StatwalkConfig c;
    c.vocabulary = "digits";
    c.workDirectory = "work1";
    c.features[0] = c.features[19] = true;
    c.featureCount = 2;
    c.files = {"train"};
    writeStatwalkConfig(tree.modelConfigCopy("digits", "work1"), c);

    int written = 0;
    auto shoot = [&](UscWavescope& w, const std::string& name) {
        QWidget* win = w.window();
        win->show();
        QApplication::processEvents();
        const std::string path = out + "/" + name + ".png";
        if (win->grab().save(QString::fromStdString(path)))
            ++written;
        win->hide();
    };
    struct Shot {
        int mode;
        const char* v;
        const char* l;
        const char* w;
    };
    const Shot shots[] = {{0, "digits", "take1", ""}, {1, "digits", "take1", ""}, {7, "digits", "", "work1"},
                          {8, "digits", "", "work1"}, {12, "digits", "", "digits/work1"}, {3, "", "", ""}};
    for (const Shot& s : shots) {
        UscWavescope w(std::make_unique<SilentEngine>());
        analyser::test::FakeDtw dtw;
        analyser::test::FakeChainview chainview;
        w.SetAppPath(root);
        w.SetControls(&dtw, &chainview);
        analyser::Profiler& p = w.profiler();
        // Set up without the modal show.
        if (!p.SetMode(s.mode, s.v, s.l, s.w)) {
            std::fprintf(stderr, "mode %d refused: %s\n", s.mode, dialogs.shown.empty() ? "" : dialogs.shown.back().text.c_str());
            continue;
        }
        p.caption = std::string(kCaptionWavescope) + w.state().ModeNames(s.mode);
        shoot(w, "mode" + std::to_string(s.mode));
        if (s.mode == 0 || s.mode == 8) {
            if (s.mode == 0)
                p.cmdNext_Click();
            else
                p.cmdRepeat_Click();
            shoot(w, "mode" + std::to_string(s.mode) + "-listening");
            p.Form_KeyDown(analyser::TokenKeyDone);
            shoot(w, "mode" + std::to_string(s.mode) + "-recorded");
        }
    }
    // A token the detector gave up: too long (a string of 2.3 s, say).
    for (const Shot& s : {shots[0], shots[3], shots[4]}) {
        auto engine = std::make_unique<SilentEngine>();
        engine->status = -1;
        engine->discard = 2;
        UscWavescope w(std::move(engine));
        analyser::test::FakeDtw dtw;
        analyser::test::FakeChainview chainview;
        w.SetAppPath(root);
        w.SetControls(&dtw, &chainview);
        analyser::Profiler& p = w.profiler();
        if (!p.SetMode(s.mode, s.v, s.l, s.w))
            continue;
        p.caption = std::string(kCaptionWavescope) + w.state().ModeNames(s.mode);
        if (s.mode == 0)
            p.cmdNext_Click();
        else
            p.cmdRepeat_Click();
        p.Form_KeyDown(analyser::TokenKeyDone);
        shoot(w, "mode" + std::to_string(s.mode) + "-no-word");
    }
    std::printf("%d PNGs in %s\n", written, out.c_str());
    return written > 0 ? 0 : 1;
}
