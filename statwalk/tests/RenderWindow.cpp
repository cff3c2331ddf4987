// Renders the programs' window as the user sees it during training, after a
// failed training, after HMM Matching (with and without a refused model file)
// and with the result of a pick into PNGs: statwalk_render_window OUTDIR
#include <QApplication>
#include <QPixmap>
#include <cstdio>
#include <string>

#include "StatwalkWindow.h"

using talvor::statwalk::StatwalkWindow;

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    const std::string out = argv[1];
    auto render = [&](StatwalkWindow& w, const std::string& name) {
        w.show();
        QApplication::processEvents();
        QApplication::processEvents();
        w.grab().save(QString::fromStdString(out + "/" + name + ".png"));
    };
    {
        StatwalkWindow w("Statwalk in mode: HMM Training");
        w.setStatus("Training the models of the vocabulary digits in the work directory hmm1 ...");
        w.appendLine("Vocabulary digits, work directory hmm1: 10 words, 8 states, 2 mixtures, 16 features "
                     "(11111111111111110000)");
        for (const char* f : {"SAB01", "SAB02", "SAB03"})
            w.appendLine(std::string("Training file ") + f + ": 10 words");
        w.appendLine("zero: 3 utterances, 6 rounds, score -4212.871");
        w.appendLine("one: 3 utterances, 4 rounds, score -3890.122");
        w.appendLine("two: no model (no training utterances)");
        render(w, "statwalk_training");
    }
    {
        StatwalkWindow w("Statwalk in mode: HMM Training");
        w.setStatus("Training failed: Cannot read the word set SAB04: it is missing or unreadable. Close this "
                    "window to go back.");
        w.appendLine("Training failed: Cannot read the word set SAB04: it is missing or unreadable. No model was "
                     "written.");
        render(w, "statwalk_training_failed");
    }
    {
        StatwalkWindow w("Statwalk in mode: HMM Matching");
        w.setStatus("Accuracy: 9 of 10 words (90.0 %)");
        w.appendLine("10 models: zero one two three four five six seven eight nine");
        for (int k = 0; k < 10; ++k)
            w.appendLine("Word " + std::to_string(k) + " (three): recognised three, score -812.5531" +
                         (k == 4 ? "  (wrong)" : ""));
        w.appendLine("Accuracy: 9 of 10 words (90.0 %)");
        render(w, "statwalk_matching");
    }
    {
        StatwalkWindow w("Statwalk in mode: Pick & Match (HMM)");
        w.setStatus("Picked word 3 of us1: three\nRecognised as: three  (right)\nBest models:  1. three -812.5531  "
                    "2. eight -901.2254  3. two -955.0071\nClose this window to go back to the analyser.");
        w.appendLine("Vocabulary digits, work directory models");
        w.appendLine("10 models: zero one two three four five six seven eight nine");
        w.appendLine("Picked word 3 of us1: three");
        w.appendLine("Recognised as: three  (right)");
        w.appendLine("Best models:  1. three -812.5531  2. eight -901.2254  3. two -955.0071");
        render(w, "statwalk_pick_result");
    }
    {
        StatwalkWindow w("Statwalk in mode: HMM Matching");
        w.setStatus("Recognised the test file us1 with the models of the work directory models. Accuracy: 9 of 10 "
                    "words (90.0 %). 1 model file was not used (see the log): flat.mod: Model file "
                    "/p/DATA/digits/models/flat.mod: 16 zero variances; those features do not count in the "
                    "density. Close this window to go back.");
        w.appendLine("Vocabulary digits, work directory models, test file us1");
        w.appendLine("Model file flat.mod not used: Model file /p/DATA/digits/models/flat.mod: 16 zero variances; "
                     "those features do not count in the density");
        render(w, "statwalk_matching_refused");
    }
    return 0;
}
