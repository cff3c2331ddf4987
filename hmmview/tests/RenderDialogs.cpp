// Renders the Properties dialog (each tab) and the model viewer (its text and
// a density plot) into PNGs.  Usage: hmmview_render_dialogs OUTDIR
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPixmap>
#include <QTabWidget>

#include <cstdio>

#include "hmmview/ConfigDialog.h"
#include "hmmview/ModelViewWindow.h"
#include "hmmview/SchemeFile.h"
#include "hmmview_testing/ModFile.h"
#include "testing/TempDir.h"

using namespace talvor;
using namespace talvor::hmmview;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    talvor::test::TempDir dir;
    saveScheme(dir.path(), "classroom", DisplaySettings{});
    saveScheme(dir.path(), "dark", DisplaySettings{});
    int shots = 0;
    auto save = [&](QWidget& w, const char* name) {
        w.show();
        QApplication::processEvents();
        if (w.grab().save(out + "/" + QString::fromUtf8(name) + ".png"))
            ++shots;
    };

    ConfigDialog dialog(DisplaySettings{}, dir.path(), 10, nullptr);
    dialog.resize(760, 520);
    const char* const tabs[3] = {"properties-global", "properties-scales", "properties-colors"};
    for (int t = 0; t < 3; ++t) {
        dialog.tabs()->setCurrentIndex(t);
        save(dialog, tabs[t]);
    }

    testing::ModSpec desc = testing::ModSpec::leftRight("seven", 4, 3, 2, 0.6f);
    desc.modelID = 7;
    desc.modelConst = 0.25f;
    const float means[3] = {-1.0f, 0.4f, 1.5f};
    const float vars[3] = {0.3f, 0.15f, 0.6f};
    const float weights[3] = {0.2f, 0.5f, 0.3f};
    for (int s = 0; s < 4; ++s)
        for (int m = 0; m < 3; ++m) {
            desc.weights[static_cast<std::size_t>(s * 3 + m)] = weights[m];
            for (int f = 0; f < 2; ++f) {
                desc.mean(s, m, f) = means[m] + 0.3f * static_cast<float>(s) - 0.5f * static_cast<float>(f);
                desc.var(s, m, f) = vars[m];
            }
        }
    const std::string path = dir.path() + "/seven.mod";
    testing::writeMod(path, desc);
    ModelViewWindow viewer;
    viewer.LoadMOD(path);
    save(viewer, "modelview-text");
    viewer.tabs()->setCurrentIndex(1);
    viewer.mixtureChoice()->setCurrentIndex(0);  // ALL
    viewer.cmbDisplayState_Click();
    viewer.mixtureChoice()->setCurrentIndex(1);  // ADD
    viewer.cmbDisplayState_Click();
    save(viewer, "modelview-graf");
    std::printf("%d pictures\n", shots);
    return shots == 5 ? 0 : 1;
}
