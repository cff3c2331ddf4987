// The editor window over a store: its grid and labels follow the commands.
#include <gtest/gtest.h>

#include <QLabel>
#include <QMenuBar>
#include <QTableWidget>

#include "StoreFixture.h"
#include "platform/Dialogs.h"
#include "testing/TempDir.h"
#include "worddata/WordDataWindow.h"

using namespace talvor;
using namespace talvor::worddata;
using namespace talvor::worddata::fixture;

namespace {

struct ScopedDialogs {
    platform::ScriptedDialogs d;
    ScopedDialogs() { platform::setDialogs(&d); }
    ~ScopedDialogs() { platform::setDialogs(nullptr); }
};

QStringList menuTexts(QMenuBar* bar, int index)
{
    QStringList out;
    for (QAction* a : bar->actions()[index]->menu()->actions())
        out << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return out;
}

TEST(WordDataWindow, ShowsTheTableAndFollowsTheCommands)
{
    ScopedDialogs dialogs;
    test::TempDir dir;
    writeRecording(dir.path(), "words", {row(1, " 30", " 0", "one"), row(2, " 41", " 50", "<b>two</b>")}, 111, 111);
    WordDataStore store;
    WordDataWindow window(store, dir.path());
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Vocabulary operations"));
    EXPECT_EQ(menuTexts(window.menuBar(), 0),
              (QStringList{"N&ew vocabulary", "Open saved vocabulary", "-", "Save vocabulary", "Save &As ...", "-",
                           "&Hide vocabulary options form", "-", "E&xit vocabulary options"}));
    EXPECT_EQ(menuTexts(window.menuBar(), 1),
              (QStringList{"&Play word", "-", "&Insert new word", "&Append new word",
                           "&Remove current word from vocabulary"}));

    int changes = 0;
    window.setTableChanged([&] { ++changes; });
    dialogs.d.texts = {dir.path() + "/words.lab"};
    window.menuBar()->actions()[0]->menu()->actions()[1]->trigger();  // open
    QTableWidget* grid = window.grid();
    ASSERT_EQ(grid->rowCount(), 2);
    EXPECT_EQ(grid->horizontalHeaderItem(4)->text(), QStringLiteral("name"));
    EXPECT_EQ(grid->item(1, 3)->text(), QStringLiteral(" 50"));
    EXPECT_EQ(grid->item(1, 4)->text(), QStringLiteral("<b>two</b>"));
    EXPECT_EQ(grid->editTriggers(), QAbstractItemView::NoEditTriggers);

    // Names are plain text wherever the window shows them.
    for (QLabel* l : window.findChildren<QLabel*>())
        EXPECT_EQ(l->textFormat(), Qt::PlainText) << l->text().toStdString();

    grid->setCurrentCell(1, 0);  // the user picks word 2
    EXPECT_EQ(store.currentRow(), 2);
    window.menuBar()->actions()[1]->menu()->actions()[2]->trigger();  // insert
    ASSERT_EQ(grid->rowCount(), 3);
    EXPECT_EQ(grid->item(2, 0)->text(), QStringLiteral(" 3"));
    EXPECT_EQ(changes, 2);

    window.show();
    window.menuBar()->actions()[0]->menu()->actions().last()->trigger();  // exit: hides, keeps the data
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(store.Rows(), 4);
}

}  // namespace
