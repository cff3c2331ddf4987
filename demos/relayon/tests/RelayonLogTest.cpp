#include "relayon/RelayonLog.h"

#include <gtest/gtest.h>

#include <vector>

using namespace talvor::relayon;

namespace {

struct Result {
    std::uint32_t w;
    std::int32_t l;
};

QString logAfter(const std::vector<Result>& results)
{
    RelayonLog log;
    for (const Result& r : results)
        EXPECT_TRUE(log.handleMessage(kResultMessage, r.w, r.l));
    return log.text();
}

}  // namespace

TEST(RelayonLog, WordsOfOneUtteranceShareALine)
{
    struct Row {
        const char* name;
        std::vector<Result> results;
        const char* text;
    } rows[] = {
        {"the first result starts a line", {{0, 0}}, "\r\nZero"},
        {"one utterance, one line", {{1, 4}, {2, 4}, {3, 4}}, "\r\nOne Two Three"},
        {"a new counter starts a new line", {{1, 4}, {2, 4}, {9, 5}}, "\r\nOne Two\r\nNine"},
        {"a counter that goes back is a new utterance too", {{7, 5}, {8, 4}, {6, 5}}, "\r\nSeven\r\nEight\r\nSix"},
        {"lParam -1 continues the empty line before the first result", {{4, -1}, {5, -1}}, " Four Five"},
        {"wParam outside 0..9 shows the number", {{12, 0}, {10, 0}, {4294967295u, 1}},
         "\r\n12 10\r\n4294967295"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(logAfter(row.results), QString::fromLatin1(row.text));
    }
}

TEST(RelayonLog, OnlyTheResultMessageIsHandled)
{
    RelayonLog log;
    for (std::uint32_t msg : {1024u, 1026u, 0x0100u, 0u})
        EXPECT_FALSE(log.handleMessage(msg, 3, 0));
    EXPECT_TRUE(log.text().isEmpty());
    EXPECT_EQ(log.lastUtterance(), -1);
}

TEST(RelayonLog, KeepsTheLast16000CharactersAndEndsWithTheLatestWord)
{
    RelayonLog log;
    for (int i = 0; i < 5000; ++i) {
        log.handleMessage(kResultMessage, std::uint32_t(i % 13), i / 3);
        ASSERT_LE(log.text().size(), kLogKeep);
        ASSERT_TRUE(log.text().endsWith(resultWord(std::uint32_t(i % 13))));
    }
    EXPECT_EQ(log.text().size(), kLogKeep);

    // A user typed a log longer than the window's read buffer: the append
    // keeps the end of it and the new word.
    const QString typed = QString(19990, QLatin1Char('x')) + QStringLiteral("0123456789");
    log.setText(typed);
    log.handleMessage(kResultMessage, 7, 999999);
    EXPECT_EQ(log.text().size(), kLogKeep);
    EXPECT_TRUE(log.text().endsWith(QStringLiteral("0123456789\r\nSeven")));

    // The cut never leaves half of a character outside the basic plane.
    QString wide;
    for (int i = 0; i < 9000; ++i)
        wide += QString::fromUcs4(U"\U0001F600");
    log.setText(wide);
    log.AppendToLog(QStringLiteral("z"));
    EXPECT_FALSE(log.text().front().isLowSurrogate());
    EXPECT_TRUE(log.text().endsWith(QStringLiteral("z")));
}

TEST(RelayonLog, DisplayUsesPlainLineBreaks)
{
    const QString log = QStringLiteral("\r\nOne Two\r\nNine");
    EXPECT_EQ(RelayonLog::toDisplay(log), QStringLiteral("\nOne Two\nNine"));
    EXPECT_EQ(RelayonLog::fromDisplay(RelayonLog::toDisplay(log)), log);
}
