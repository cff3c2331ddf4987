// Renders the DTW window into PNGs on a small data tree made in a temporary
// folder: after a match in each plot style and method (the animation run to
// its end, and one paused half way), a refused match, speak and recognise,
// the window before any match, and its four dialogs.  Usage: timewarp_render OUTDIR
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTimer>

#include <cstdio>
#include <string>

#include "DtwTree.h"
#include "timewarp/DtwDialogWindows.h"
#include "timewarp/DtwSession.h"
#include "timewarp/FrmDtw.h"
#include "timewarp/UscDtw.h"

using namespace talvor;
using namespace talvor::timewarp;
using talvor::timewarp::test::DtwTree;

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);

    DtwTree tree;
    UscDtw dtw;
    dtw.SetAppPath(tree.app());
    const auto flags = DtwTree::flags();
    auto loadMode = [&](int mode, const std::string& source) {
        const ControlResult r = dtw.LoadMode(mode, "digits", "dtw1", DtwTree::kFeat, flags, {"refa", "refb"}, source);
        if (!r)
            std::fprintf(stderr, "LoadMode: %s\n", r.error.c_str());
    };
    loadMode(6, "test");
    dtw.LoadDTW();
    dtw.SetPMword(1);
    dtw.ShowDTW(0);
    FrmDtw& w = *dtw.window();

    int shots = 0;
    auto shoot = [&](const std::string& name) {
        w.refresh();
        QApplication::processEvents();
        const QString file = out + "/" + QString::fromStdString(name) + ".png";
        if (!w.grab().save(file))
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
        else
            ++shots;
    };
    auto match = [&](bool toTheEnd) {
        w.cmdMatch_Click();
        int ticks = 0;
        while (dtw.session().animationState() == AnimationState::Animating
               && (toTheEnd || ticks < dtw.session().replay().steps() / 2)) {
            w.timerTick();
            ++ticks;
        }
        if (!toTheEnd)
            w.cmdPause_Click();
    };

    shoot("00-before-match");
    const struct {
        char style;
        const char* name;
    } styles[] = {{kPlotFlat, "flat"}, {kPlotMap, "map"}, {kPlot3D, "3d"}};
    const struct {
        char method;
        const char* name;
    } methods[] = {{kMethodItakura, "itakura"}, {kMethodGeneral, "general"}, {kMethodLinear, "linear"}};
    int n = 1;
    for (const auto& s : styles) {
        for (const auto& m : methods) {
            dtw.state().plotStyle = s.style;
            dtw.state().store.method = m.method;
            match(true);
            char prefix[8];
            std::snprintf(prefix, sizeof prefix, "%02d-", n++);
            shoot(std::string(prefix) + s.name + "-" + m.name);
        }
    }
    dtw.state().plotStyle = kPlot3D;
    dtw.state().rotation = 45;
    dtw.state().elevation = 35;
    dtw.state().store.method = kMethodGeneral;
    match(false);
    shoot("10-3d-rot45-elev35-paused");

    // Test word "two" (30 frames) against "three" of refb (66 frames).
    dtw.state().plotStyle = kPlotFlat;
    dtw.state().store.method = kMethodItakura;
    dtw.SetPMword(2);
    dtw.state().store.currentReference = 9;
    dtw.session().Reference();
    match(true);
    shoot("11-itakura-refused");

    loadMode(8, "");
    dtw.LoadDTW();
    tree.writeToken(3, 57);
    std::int32_t word = -1;
    dtw.GetRecogWord(word);
    dtw.state().store.method = kMethodGeneral;
    dtw.state().plotStyle = kPlotMap;
    match(true);
    shoot("12-speak-and-recognise");

    // The four dialogs, as the window's button and menus open them.
    loadMode(6, "test");
    dtw.LoadDTW();
    dtw.SetPMword(3);
    dtw.ShowDTW(0);
    FrmDtw& w2 = *dtw.window();
    auto shootDialog = [&](const std::string& name, auto dialogOf, auto open) {
        QTimer::singleShot(0, [&, name, dialogOf] {
            DtwDialog* d = dialogOf();
            QApplication::processEvents();
            const QString file = out + "/" + QString::fromStdString(name) + ".png";
            if (d->grab().save(file))
                ++shots;
            d->ok()->click();
        });
        open();
    };
    shootDialog("13-reference-selection", [&] { return static_cast<DtwDialog*>(&dtw.dialogs()->refSel); },
                [&] { w2.cmdNextRef_Click(); });
    dtw.state().plotStyle = kPlot3D;
    shootDialog("14-plot-options", [&] { return static_cast<DtwDialog*>(&dtw.dialogs()->plot); },
                [&] { w2.menu("mniPlot")->trigger(); });
    shootDialog("15-method", [&] { return static_cast<DtwDialog*>(&dtw.dialogs()->method); },
                [&] { w2.menu("mniMethod")->trigger(); });
    shootDialog("16-features", [&] { return static_cast<DtwDialog*>(&dtw.dialogs()->feat); },
                [&] { w2.menu("mniFeat")->trigger(); });

    std::printf("%d pictures written to %s\n", shots, qPrintable(out));
    return shots == 17 ? 0 : 1;
}
