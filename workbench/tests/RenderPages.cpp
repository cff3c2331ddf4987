// Renders every wizard page into a PNG, the way a user reaches it, on a small
// data tree made in a temporary folder.  Usage: workbench_render_pages OUTDIR
#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QDir>
#include <QPixmap>
#include <QTabWidget>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "common/StatwalkConfig.h"
#include "testing/TempDir.h"
#include "workbench/SmallWindows.h"
#include "workbench/WizardWindow.h"

using namespace talvor;
using namespace talvor::workbench;

namespace {

struct NoPrograms : ExternalPrograms {
    std::unique_ptr<StartedProgram> start(const std::string&, const std::string&, std::string* e) override
    {
        *e = "not started while rendering";
        return nullptr;
    }
    WindowHandle findWindow(const std::string&) override { return 0; }
    WindowHandle waitForNewWindow(const std::string&, WindowHandle, int) override { return 0; }
};

void put(const std::filesystem::path& p, const std::string& bytes)
{
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
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
    const std::filesystem::path data = std::filesystem::path(dir.path()) / "DATA";
    put(data / "digits" / "digits.voc",
        " 10 \r\n0  zero\r\n1  one\r\n2  two\r\n3  three\r\n4  four\r\n5  five\r\n6  six\r\n7  seven\r\n8  eight\r\n9  "
        "nine\r\n");
    for (const char* f : {"mjk01", "mjk02", "fab01", "fab02", "mtp01"})
        put(data / "digits" / (std::string(f) + ".lab"), "");
    StatwalkConfig models;
    models.mode = ModeHmmTraining;
    models.vocabulary = "digits";
    models.workDirectory = "hmm8";
    for (int i : {0, 1, 2, 3, 4, 5, 6, 7, 16, 19})
        models.features[std::size_t(i)] = true;
    models.featureCount = 10;
    models.files = {"mjk01", "mjk02", "fab01", "fab02"};
    models.states = 8;
    models.mixtures = 2;
    std::string modelText;
    statwalkConfigText(models, &modelText);
    put(data / "digits" / "hmm8" / "STATWALK1.EDF", modelText);
    std::filesystem::create_directories(data / "digits" / "dtw20");
    put(data / "digits" / "_strings" / "mjk90.lab",
        " 0\t 1\t 52\t 0\tone_two_three\t\r\n 1\t 2\t 40\t 52\tnine_nine\t\r\n");
    put(data / "colours" / "colours.voc", " 3 \r\n0  red\r\n1  green\r\n2  blue\r\n");

    ModuleState state;
    state.AppPath = dir.path();
    NoPrograms programs;
    WizardWindow window(programs, state);
    window.show();
    Wizard& w = window.wizard();

    int shots = 0;
    auto shoot = [&](const char* name) {
        window.refresh();
        QApplication::processEvents();
        const QString file = out + "/" + QString::fromUtf8(name) + ".png";
        if (!window.grab().save(file))
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
        else
            ++shots;
    };
    auto next = [&] {
        w.cmdNext_Click();
        window.refresh();
    };

    // DTW Matching through pages 0, 1, 3, 4, 5, 6 and 9.
    w.controls.optMode = ModeDtwMatching;
    shoot("page0-begin");
    next();
    w.controls.lstVocIndex = 1;
    w.lstVoc_Click();
    shoot("page1-vocabulary");
    next();
    shoot("page3-file");
    next();
    w.cmdAdd_Click();
    w.controls.lstRefAvailableIndex = 2;
    w.cmdAdd_Click();
    shoot("page4-references");
    next();
    shoot("page5-workdir");
    next();
    for (int i : {0, 1, 2, 3, 16, 19})
        w.controls.chkFeature[std::size_t(i)] = true;
    w.chkFeature_Click();
    shoot("page6-features");
    next();
    shoot("page9-end");

    // Speech Recording, new vocabulary and word strings.
    w.cmdPrevious_Click();
    w.controls.optMode = ModeSpeechRecording;
    next();
    w.optVocab_Click(1);
    next();
    w.controls.txtVocName = "animals";
    w.txtVocName_Change();
    for (const char* word : {"cat", "dog", "horse"}) {
        w.controls.txtWord = word;
        w.txtWord_Enter();
    }
    shoot("page2-new-vocabulary");
    next();
    w.controls.txtFileName = "mjk03";
    w.txtFileName_Change();
    shoot("page3-file-recording");

    w.cmdPrevious_Click();
    next();
    w.controls.lstVocIndex = 1;
    w.optVocab_Click(0);
    w.optVocStr_Click(1);
    next();
    w.lstStrText_DblClick();
    w.lstStrText_DblClick();
    w.cmdStr_Click(0);
    w.controls.lstStrTextIndex = 3;
    w.lstStrText_DblClick();
    shoot("page2-word-strings");

    // Database maintenance and the run-time mode's options page.
    w.cmdPrevious_Click();
    w.controls.optMode = ModeDatabaseMaintenance;
    next();
    w.controls.lstDataVocIndex = 1;
    w.lstDataVoc_Click();
    shoot("page7-data");
    w.cmdPrevious_Click();
    w.controls.optMode = ModeStringsSpeakRecognizeHmm;
    next();
    w.controls.lstVocIndex = 1;
    w.lstVoc_Click();
    next();
    w.controls.lstWorkDirIndex = 1;
    next();
    shoot("page8-other");

    // HMM Matching: the Work Dir page with its Models button.
    w.cmdPrevious_Click();
    w.controls.optMode = ModeHmmMatching;
    next();
    w.controls.lstVocIndex = 1;
    w.lstVoc_Click();
    next();
    next();
    shoot("page5-workdir-models");

    // Speech Recording with word strings: the strings of a recording previewed.
    w.cmdPrevious_Click();
    w.controls.optMode = ModeSpeechRecording;
    next();
    w.controls.lstVocIndex = 1;
    w.lstVoc_Click();
    w.optVocStr_Click(1);
    w.controls.lstVocFilePrevIndex = 0;
    w.lstVocFilePrev_Click();
    shoot("page1-word-strings");

    // The small windows: the Models button's dialog for hmm8, and the restore
    // window that stands in for the hidden wizard.
    auto shootWidget = [&](QWidget& widget, const char* name) {
        widget.show();
        QApplication::processEvents();
        const QString file = out + "/" + QString::fromUtf8(name) + ".png";
        if (widget.grab().save(file))
            ++shots;
        else
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
        widget.hide();
    };
    w.vocName = "digits";
    w.workDir = "hmm8";
    if (!w.ReadModelEdf())
        std::fprintf(stderr, "the models of hmm8 were not read\n");
    ModelsDialog modelsDialog;
    modelsDialog.setParameters(w.modelParameters);
    shootWidget(modelsDialog, "models-dialog");
    RestoreWindow restore([] {});
    shootWidget(restore, "restore-window");

    // The about box, opened (modally) from the first page's logo.
    w.cmdPrevious_Click();
    window.refresh();
    QTimer::singleShot(0, [&] {
        if (QDialog* about = window.aboutBox()) {
            QApplication::processEvents();
            const QString file = out + "/about.png";
            if (about->grab().save(file))
                ++shots;
            about->hide();
        }
    });
    window.showAbout();

    std::printf("%d pictures written to %s\n", shots, qPrintable(out));
    return shots == 17 ? 0 : 1;
}
