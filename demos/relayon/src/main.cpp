// Relayon: shows each word a live recogniser posts to the window titled
// "TALVOR recog" (the recogniser's default receiver caption).
#include <QApplication>

#include "platform/Dialogs.h"
#include "platform/Process.h"
#include "relayon/RelayonDialog.h"

int main(int argc, char** argv)
{
    talvor::platform::ignoreFileSizeSignal();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Relayon"));
    QApplication::setWindowIcon(talvor::relayon::RelayonDialog::applicationIcon());
    talvor::relayon::RelayonDialog dialog;
    if (!dialog.registered())
        talvor::platform::dialogs().messageBox(
            dialog.registrationError() + "\nNo recognised words will reach this window: close the other "
                                         "window titled \"" + std::string(talvor::relayon::kCaption) +
                "\" and start Relayon again.",
            "Relayon", talvor::platform::MessageIcon::Warning, talvor::platform::MessageButtons::Ok);
    dialog.exec();
    return 0;
}
