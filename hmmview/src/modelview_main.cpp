// modelview [FILE]: the model viewer on its own, showing the model file FILE.
#include <QApplication>

#include "hmmview/ModelViewWindow.h"
#include "platform/Process.h"

int main(int argc, char** argv)
{
    talvor::platform::ignoreFileSizeSignal();
    QApplication app(argc, argv);
    talvor::hmmview::ModelViewWindow window;
    if (argc > 1)
        window.LoadMOD(QString::fromLocal8Bit(argv[1]).toStdString());
    window.show();
    return app.exec();
}
