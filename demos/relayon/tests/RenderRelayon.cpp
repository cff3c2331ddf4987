// Renders Relayon's dialog (empty, and with a log of three utterances) and
// its about dialog into PNGs:  relayon_render OUTDIR
// (QT_QPA_PLATFORM=offscreen without a display).
#include <QApplication>
#include <QDir>
#include <QPlainTextEdit>
#include <memory>

#include "platform/Window.h"
#include "relayon/RelayonDialog.h"

using namespace talvor::relayon;

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(out);
    RelayonDialog dialog("Relayon render");
    dialog.show();
    dialog.grab().save(out + QStringLiteral("/relayon-empty.png"));
    const auto h = talvor::platform::findWindowByCaption("Relayon render");
    for (auto [w, l] : {std::pair{3u, 0}, {1u, 0}, {4u, 0}, {1u, 1}, {5u, 1}, {9u, 2}, {2u, 2}, {6u, 2}, {12u, 3}})
        talvor::platform::postMessage(h, kResultMessage, w, l);
    QCoreApplication::processEvents();
    dialog.grab().save(out + QStringLiteral("/relayon-log.png"));
    std::unique_ptr<QDialog> about(RelayonDialog::makeAboutDialog(&dialog));
    about->show();
    about->adjustSize();
    about->grab().save(out + QStringLiteral("/relayon-about.png"));
    return 0;
}
