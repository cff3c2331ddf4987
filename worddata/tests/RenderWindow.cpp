// Renders the word data editor window with a small recording into a PNG.
// Usage: worddata_render OUTDIR
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTableWidget>
#include <cstdio>

#include "StoreFixture.h"
#include "testing/TempDir.h"
#include "worddata/WordDataWindow.h"

using namespace talvor::worddata;
using namespace talvor::worddata::fixture;

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
    writeRecording(dir.path(), "digits", {row(1, " 30", " 0", "zero"), row(2, " 41", " 50", "one"),
                                          row(3, " 0", " 111", "two"), row(4, " 25", " 111", "three")}, 156, 156);
    WordDataStore store;
    if (store.Open_Data(dir.path() + "/digits.lab", "digits.lab") != 0)
        return 1;
    WordDataWindow window(store, dir.path());
    window.show();
    window.grid()->setCurrentCell(1, 0);
    app.processEvents();
    window.grab().save(out + "/worddata_editor.png");
    return 0;
}
