// Renders the File demo's window (empty, and after three results and a
// notice) into PNGs:  file_render OUTDIR
// (QT_QPA_PLATFORM=offscreen without a display).
#include <QApplication>
#include <QDir>
#include <filesystem>

#include "common/ResultFile.h"
#include "filedemo/FileWindow.h"

using namespace talvor::filedemo;

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(out);
    const std::string folder = QDir(out).absoluteFilePath(QStringLiteral("file-render-work")).toStdString();
    std::filesystem::create_directories(folder);
    const std::string path = folder + "/result.txt";
    FileWindow window(path);
    window.show();
    window.grab().save(out + QStringLiteral("/file-empty.png"));
    for (const char* word : {"three", "seven", "one two four"}) {
        talvor::writeResultFile("", path, word);
        window.pollOnce();
    }
    std::filesystem::create_directory(path);
    window.pollOnce();
    window.grab().save(out + QStringLiteral("/file-results.png"));
    std::filesystem::remove_all(folder);
    return 0;
}
