// Renders the HMM viewer with three model panes after a match by each method
// into PNGs, on a small program folder made in a temporary folder.
// Usage: hmmview_render_viewer OUTDIR
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QPixmap>
#include <QThread>

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "common/DataTree.h"
#include "common/StatwalkConfig.h"
#include "common/VocabularyFile.h"
#include "hmmview/ChainviewWindow.h"
#include "hmmview/GraphPane.h"
#include "hmmview/UscChainview.h"
#include "hmmview_testing/ModFile.h"
#include "platform/FileDialogFit.h"
#include "testing/TempDir.h"
#include "worddata/WordDataStore.h"

using namespace talvor;
using namespace talvor::hmmview;

namespace {

// A left-right model of S states over 3 features whose state s has mean
// level + s on every feature.
testing::ModSpec model(const std::string& word, int S, float level, std::int16_t id)
{
    testing::ModSpec m = testing::ModSpec::leftRight(word, S, 1, 3, 0.7f);
    m.modelID = id;
    for (int s = 0; s < S; ++s)
        for (int f = 0; f < 3; ++f) {
            m.mean(s, 0, f) = level + static_cast<float>(s);
            m.var(s, 0, f) = 0.5f;
        }
    m.modelConst = 0.06f;
    return m;
}

// nFrames frames (margins included) walking through `levels`, each held
// for `hold` frames, in features c1, dc1 and ene; a little wobble.
std::vector<float> word(const std::vector<float>& levels, int hold)
{
    const int T = static_cast<int>(levels.size()) * hold;
    const int n = T + 20;
    std::vector<float> v(static_cast<std::size_t>(n) * 20, 0.0f);
    for (int t = 0; t < T; ++t) {
        const float x = levels[static_cast<std::size_t>(t / hold)] + 0.2f * std::sin(static_cast<float>(t));
        for (int c : {0, 8, 19})
            v[static_cast<std::size_t>(t + 10) * 20 + static_cast<std::size_t>(c)] = x;
    }
    return v;
}

}  // namespace

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
    const DataTree tree(dir.path());
    const std::string work = tree.workFolder("digits", "hmm5");
    std::filesystem::create_directories(work);
    std::filesystem::create_directories(tree.stringsFolder("digits"));
    StatwalkConfig config;
    config.mode = 3;
    config.vocabulary = "digits";
    config.workDirectory = "hmm5";
    config.featureCount = 3;
    config.features[0] = config.features[8] = config.features[19] = true;
    config.files = {"train"};
    writeStatwalkConfig(tree.modelConfigCopy("digits", "hmm5"), config);
    testing::writeMod(work + "/one.mod", model("one", 5, 0.0f, 1));
    testing::writeMod(work + "/three.mod", model("three", 4, 6.0f, 3));
    testing::writeMod(work + "/two.mod", model("two", 6, 2.0f, 2));
    writeVocabularyFile(tree.vocabularyFile("digits"), {"one", "two", "three"});

    worddata::WordDataStore store;
    store.SetNewVoc({"one", "two"}, 2);
    const std::vector<float> one = word({0, 1, 2, 3, 4}, 5);
    const std::vector<float> two = word({2, 3, 4, 5, 6, 7}, 4);
    store.PutWordData(1, one, std::vector<std::int16_t>(one.size() * 4, 0), static_cast<std::int32_t>(one.size() / 20), "one");
    store.PutWordData(2, two, std::vector<std::int16_t>(two.size() * 4, 0), static_cast<std::int32_t>(two.size() / 20), "two");
    store.Save_Data(tree.recordingBase("digits", "mjk01") + ".lab");

    UscChainview chainview;
    chainview.SetAppPath(dir.path());
    int shots = 0;
    auto shoot = [&](const char* name) {
        ChainviewWindow& w = chainview.window();
        w.Form_Resize();
        QApplication::processEvents();
        const QString file = out + "/" + QString::fromUtf8(name) + ".png";
        if (w.grab().save(file))
            ++shots;
        else
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
    };

    chainview.LoadMode(4, "digits", "", "mjk01", "hmm5");
    chainview.ShowChainview(0);
    shoot("viewer-loaded");
    chainview.model().MATCH(0);
    shoot("viewer-sequential");
    {
        // The first pane four times enlarged, to check the marks' colours.
        GraphPane* pane = chainview.window().pane(0);
        pane->grab().scaled(pane->width() * 4, pane->height() * 4).save(out + "/viewer-sequential-pane0-x4.png");
    }
    // Sorted by score: each pane keeps its trellis, rank and score.
    chainview.model().sortModelsByScore();
    shoot("viewer-sorted-by-score");
    chainview.model().sortModelsByVocabulary();
    chainview.SetPruneTreshold(40);
    chainview.model().setRecogMethod(ParallelMethod);
    chainview.model().cmdNextWord_Click();
    chainview.model().MATCH(0);
    shoot("viewer-parallel");

    chainview.LoadMode(12, "digits", "", "", "hmm5");
    std::vector<float> joined = word({0, 1, 2, 3, 4, 2, 3, 4, 5, 6, 7}, 3);
    std::string name;
    std::int32_t result = 0;
    chainview.PutWordData(1, joined, std::vector<std::int16_t>(joined.size() * 4, 0),
                          static_cast<std::int32_t>(joined.size() / 20), name, result);
    shoot("viewer-string");

    // "Open LAB file" as the Qt dialogs lay it out, on the vocabulary folder.
    {
        QFileDialog dialog(nullptr, QStringLiteral("Open"), QString::fromStdString(tree.vocabularyFolder("digits")),
                           QStringLiteral("Labs file (*.LAB *.lab)"));
        platform::fitFileDialog(dialog);
        dialog.show();
        // The listing fills in from another thread.
        for (int k = 0; k < 50; ++k) {
            QApplication::processEvents(QEventLoop::AllEvents, 20);
            QThread::msleep(10);
        }
        const QString file = out + "/open-lab-dialog.png";
        if (dialog.grab().save(file))
            ++shots;
    }
    std::printf("%d pictures; string: %s\n", shots, name.c_str());
    return shots == 6 ? 0 : 1;
}
