#include <gtest/gtest.h>

#include <QApplication>
#include <QAbstractButton>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QListView>
#include <QMessageBox>
#include <QTimer>

#include "../src/QtDialogs.h"
#include "platform/Dialogs.h"

using namespace talvor::platform;

TEST(Dialogs, DefaultAnswerIsTheFirstButton)
{
    const std::pair<MessageButtons, DialogAnswer> table[] = {
        {MessageButtons::Ok, DialogAnswer::Ok},
        {MessageButtons::OkCancel, DialogAnswer::Ok},
        {MessageButtons::YesNo, DialogAnswer::Yes},
        {MessageButtons::YesNoCancel, DialogAnswer::Yes},
        {MessageButtons::RetryCancel, DialogAnswer::Retry},
        {MessageButtons::AbortRetryIgnore, DialogAnswer::Abort},
    };
    for (auto [buttons, answer] : table)
        EXPECT_EQ(defaultAnswer(buttons), answer) << int(buttons);
}

TEST(Dialogs, ScriptedRecordsWhatWasShownAndAnswersFromItsQueues)
{
    ScopedScriptedDialogs d;
    d.answers = {DialogAnswer::No};
    d.texts = {std::string("typed"), std::nullopt, std::string("/tmp/a.lab")};
    d.colors = {0x00112233u};

    EXPECT_EQ(dialogs().messageBox("Delete?", "Confirm", MessageIcon::Question, MessageButtons::YesNo),
              DialogAnswer::No);
    // Queue used up: the default answer.
    EXPECT_EQ(dialogs().messageBox("Again?", "Confirm", MessageIcon::Question, MessageButtons::YesNoCancel),
              DialogAnswer::Yes);
    EXPECT_EQ(dialogs().inputBox("Name", "New", "x"), std::optional<std::string>("typed"));
    EXPECT_EQ(dialogs().openFile("Open", "/data", "Label files (*.lab)"), std::nullopt);
    EXPECT_EQ(dialogs().saveFile("Save", "/data", "Label files (*.lab)"),
              std::optional<std::string>("/tmp/a.lab"));
    EXPECT_EQ(dialogs().openFile("Open", "/data", ""), std::nullopt);  // empty queue: cancelled
    EXPECT_EQ(dialogs().chooseColor(0x80000000u | 15), std::optional<std::uint32_t>(0x00112233u));
    EXPECT_EQ(dialogs().chooseColor(0), std::nullopt);

    ASSERT_EQ(d.shown.size(), 8u);
    EXPECT_EQ(d.shown[0].kind, "message");
    EXPECT_EQ(d.shown[0].text, "Delete?");
    EXPECT_EQ(d.shown[0].caption, "Confirm");
    EXPECT_EQ(d.shown[0].icon, MessageIcon::Question);
    EXPECT_EQ(d.shown[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(d.shown[2].kind, "input");
    EXPECT_EQ(d.shown[2].detail, "x");
    EXPECT_EQ(d.shown[3].kind, "open");
    EXPECT_EQ(d.shown[3].text, "/data");
    EXPECT_EQ(d.shown[3].detail, "Label files (*.lab)");
    EXPECT_EQ(d.shown[4].kind, "save");
    EXPECT_EQ(d.shown[6].kind, "color");
    EXPECT_EQ(d.shown[6].detail, "8000000F");
}

TEST(Dialogs, InstalledOnesWinUntilRemoved)
{
    {
        ScopedScriptedDialogs d;
        EXPECT_EQ(&dialogs(), &d);
    }
    // With a QApplication on this thread the Qt dialogs serve.
    EXPECT_EQ(&dialogs(), &talvor::platform::detail::qtDialogs());
}

TEST(Dialogs, HeadlessWritesToStandardErrorAndTakesTheDefault)
{
    Dialogs& h = talvor::platform::detail::headlessDialogs();
    testing::internal::CaptureStderr();
    const DialogAnswer a = h.messageBox("Cannot find window  X", "Note", MessageIcon::Warning,
                                        MessageButtons::RetryCancel);
    const auto in = h.inputBox("Name", "New", "x");
    const auto f = h.openFile("Open", "/data", "*.lab");
    const auto c = h.chooseColor(5);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(a, DialogAnswer::Retry);
    EXPECT_FALSE(in);
    EXPECT_FALSE(f);
    EXPECT_FALSE(c);
    EXPECT_NE(err.find("Note: Cannot find window  X"), std::string::npos) << err;
    EXPECT_NE(err.find("Open"), std::string::npos) << err;
}

TEST(Dialogs, QtMessageBoxShowsTextAndReturnsThePressedButton)
{
    // Press "No" on the box once it is up.
    QString seenText, seenTitle;
    QTimer::singleShot(0, [&]() {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                seenText = box->text();
                seenTitle = box->windowTitle();
                box->button(QMessageBox::No)->click();
            }
    });
    const DialogAnswer a = talvor::platform::detail::qtDialogs().messageBox(
        "Save changes?", "TALVOR", MessageIcon::Question, MessageButtons::YesNoCancel);
    EXPECT_EQ(a, DialogAnswer::No);
    EXPECT_EQ(seenText, "Save changes?");
    EXPECT_EQ(seenTitle, "TALVOR");
}

TEST(Dialogs, FiltersBecomeQtFilters)
{
    using talvor::platform::detail::qtFilter;
    EXPECT_EQ(qtFilter("Label files (*.lab)"), "Label files (*.lab)");
    EXPECT_EQ(qtFilter("Label files (*.lab)|*.lab|All files|*.*"), "Label files (*.lab);;All files (*.*)");
    EXPECT_EQ(qtFilter("Sets|*.LB;*.PR"), "Sets (*.LB *.PR)");
}

// The open dialog shows the files of a filter's pattern in any letter case
// ("Labs file (*.LAB)" lists x.lab too), and only those.
TEST(Dialogs, OpenDialogMatchesTheFilterInAnyLetterCase)
{
    const QString folder = QDir::tempPath() + QStringLiteral("/talvor-filter-") + QString::number(QCoreApplication::applicationPid());
    QDir().mkpath(folder);
    for (const char* name : {"a.lab", "B.LAB", "c.Lab", "d.par"}) {
        QFile f(folder + QLatin1Char('/') + QLatin1String(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    QStringList shown;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"));
        ASSERT_NE(view, nullptr);
        // The folder is read in the background: wait for its files.
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 5000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            QAbstractItemModel* m = view->model();
            const QModelIndex root = view->rootIndex();
            if (m->rowCount(root) >= 3 && m->canFetchMore(root) == false) {
                QStringList names;
                for (int r = 0; r < m->rowCount(root); ++r)
                    names << m->index(r, 0, root).data().toString();
                shown = names;
                if (names.size() >= 3)
                    break;
            }
        }
        dialog->reject();
    });
    talvor::platform::detail::qtDialogs().openFile("Open", folder.toStdString(), "Labs file (*.LAB)");
    shown.sort();
    EXPECT_EQ(shown, (QStringList{QStringLiteral("B.LAB"), QStringLiteral("a.lab"), QStringLiteral("c.Lab")}));
    QDir(folder).removeRecursively();
}
