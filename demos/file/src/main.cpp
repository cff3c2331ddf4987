// File: shows each result a live recogniser writes to its result file.  The
// command line names the file (its words joined by one blank; none:
// "result.txt", in the current directory).
#include <QApplication>

#include "filedemo/FileWindow.h"
#include "platform/Process.h"

int main(int argc, char** argv)
{
    talvor::platform::ignoreFileSizeSignal();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("File"));
    std::vector<std::string> args;
    const QStringList all = QCoreApplication::arguments();
    for (qsizetype i = 1; i < all.size(); ++i)
        args.push_back(all[i].toStdString());
    talvor::filedemo::FileWindow window(talvor::filedemo::watchedFileName(args));
    window.show();
    return app.exec();
}
