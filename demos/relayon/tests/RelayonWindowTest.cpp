// Relayon's window over the platform's window layer: results posted by
// another process appear in the log in the order they were posted.
#include "relayon/RelayonDialog.h"

#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include "platform/Window.h"
#include "testing/EventLoop.h"

using namespace talvor;
using namespace talvor::relayon;

namespace {

// Runs the sender with the given (msg, wParam, lParam) triples and serves
// events until it has ended.
std::string runSender(const QString& caption, const QStringList& triples)
{
    QProcess sender;
    sender.setProgram(QStringLiteral(RELAYON_TEST_SENDER));
    sender.setArguments(QStringList{caption} + triples);
    sender.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sender.start();
    EXPECT_TRUE(sender.waitForStarted(5000));
    test::serveEventsUntil([&] { return sender.state() == QProcess::NotRunning; }, 15000);
    return QString::fromUtf8(sender.readAllStandardOutput()).trimmed().toStdString();
}

}  // namespace

TEST(RelayonWindow, ResultsFromAnotherProcessAppearInOrder)
{
    RelayonDialog dialog;
    ASSERT_TRUE(dialog.registered()) << dialog.registrationError();
    dialog.show();
    QStringList triples;
    // Two utterances of three words, a message Relayon does not handle, a
    // third utterance with a number outside the digits.
    for (auto [w, l] : {std::pair{1, 0}, {2, 0}, {3, 0}, {9, 1}, {8, 1}, {7, 1}})
        triples << QStringLiteral("1025") << QString::number(w) << QString::number(l);
    triples << QStringLiteral("1024") << QStringLiteral("5") << QStringLiteral("2");
    triples << QStringLiteral("1025") << QStringLiteral("12") << QStringLiteral("2");
    EXPECT_EQ(runSender(QString::fromLatin1(kCaption), triples), "SENT 8");
    const QString expected = QStringLiteral("\r\nOne Two Three\r\nNine Eight Seven\r\n12");
    EXPECT_TRUE(test::serveEventsUntil([&] { return dialog.logText() == expected; }, 5000))
        << dialog.logText().toStdString();
    EXPECT_EQ(dialog.logEdit()->toPlainText(), QStringLiteral("\nOne Two Three\nNine Eight Seven\n12"));
}

TEST(RelayonWindow, EnterInTheLogClosesTheDialogWhichHasItsIcon)
{
    RelayonDialog dialog;
    EXPECT_FALSE(dialog.windowIcon().isNull());
    EXPECT_FALSE(dialog.windowIcon().pixmap(32, 32).toImage().isNull());
    // Shift+Enter, Ctrl+Enter and other keys are the log's.
    int result = -1;
    QTimer::singleShot(0, [&] {
        dialog.logEdit()->setFocus();
        QTest::keyClicks(dialog.logEdit(), "ab");
        QTest::keyClick(dialog.logEdit(), Qt::Key_Return, Qt::ShiftModifier);
        EXPECT_TRUE(dialog.isVisible());
        QTest::keyClick(dialog.logEdit(), Qt::Key_Return);  // the default button: OK
    });
    result = dialog.exec();
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(dialog.logEdit()->toPlainText().startsWith(QStringLiteral("ab")));
}

TEST(RelayonWindow, AnEditedLogIsKeptAndAppendedTo)
{
    RelayonDialog dialog;
    ASSERT_TRUE(dialog.registered()) << dialog.registrationError();
    dialog.logEdit()->setPlainText(QStringLiteral("my notes\nline two"));
    ASSERT_TRUE(platform::postMessage(platform::findWindowByCaption(kCaption), kResultMessage, 4, 0));
    EXPECT_TRUE(test::serveEventsUntil([&] { return dialog.logText().endsWith(QStringLiteral("Four")); }, 5000));
    EXPECT_EQ(dialog.logText(), QStringLiteral("my notes\r\nline two\r\nFour"));
}

TEST(RelayonWindow, ASecondRelayonCannotTakeTheCaption)
{
    RelayonDialog first;
    ASSERT_TRUE(first.registered());
    RelayonDialog second;
    EXPECT_FALSE(second.registered());
    EXPECT_NE(second.registrationError().find("TALVOR recog"), std::string::npos) << second.registrationError();
    // Results still reach the first.
    ASSERT_TRUE(platform::postMessage(platform::findWindowByCaption(kCaption), kResultMessage, 0, 3));
    EXPECT_TRUE(test::serveEventsUntil([&] { return first.logText() == QStringLiteral("\r\nZero"); }, 5000));
}
