// The chooser dialogs driven by clicks, offscreen, and the pane clicks that open them.
#include "analyser/DisplayChooserDialogs.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMouseEvent>
#include <QTimer>

#include "DisplayFixtures.h"
#include "analyser/WordDisplayPanes.h"
#include "analyser/WordDisplays.h"
#include "platform/Dialogs.h"

namespace talvor::analyser {
namespace {

using testing::storedWord;

std::vector<int> boxesChecked(const ParamChooserDialog& d)
{
    std::vector<int> out;
    for (int p = 0; p < kFeatureCount; ++p)
        if (d.param(p)->isChecked())
            out.push_back(p);
    return out;
}

// Click sequences on the dialog's own boxes, then CANCEL: the boxes, the
// colours and the pane's feature are exactly those of the opening.
TEST(ParamChooserDialog, ClicksThenCancelRestoreExactly)
{
    struct Row {
        const char* what;
        std::vector<std::string> clicks;  // "p5" box 5, "M" multichoice, "C" set colour
        std::vector<int> checked;
        int lastSelected;
    };
    const Row rows[] = {
        {"single choice", {"p5", "p7"}, {7}, 7},
        {"multichoice", {"M", "p3", "p12"}, {3, 12, 19}, 19},
        {"multichoice off", {"M", "p12", "p3", "M"}, {3}, 3},
        {"colour", {"p2", "C"}, {2}, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ParamChoosersModel model;
        ParamChooserDialog dialog(model, 0);
        int selectedCalls = 0;
        dialog.onSelected = [&](int pane) {
            EXPECT_EQ(pane, 0);
            ++selectedCalls;
        };
        platform::ScopedScriptedDialogs dialogs;
        dialogs.colors = {rgbOf(10, 20, 30)};
        QTimer::singleShot(0, [&] {
            for (const std::string& c : row.clicks) {
                if (c == "M")
                    dialog.multichoice()->click();
                else if (c == "C")
                    dialog.colourButton()->click();
                else
                    dialog.param(std::stoi(c.substr(1)))->click();
            }
            EXPECT_EQ(boxesChecked(dialog), row.checked);
            EXPECT_EQ(model.lastSelected(0), row.lastSelected);
            dialog.cancelButton()->click();
        });
        dialog.SelectParameter();
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(selectedCalls, 1);
        EXPECT_EQ(boxesChecked(dialog), std::vector<int>{19});
        EXPECT_FALSE(dialog.multichoice()->isChecked());
        EXPECT_EQ(model.lastSelected(0), 19);
        EXPECT_EQ(model.curveColour(0), rgbOf(255, 0, 0));
        EXPECT_EQ(model.pane(0).colours[2], rgbOf(0, 0, 255));
    }
}

TEST(ParamChooserDialog, RightButtonColoursTheShownFeatureAndCancelledDialogKeepsIt)
{
    ParamChoosersModel model;
    ParamChooserDialog dialog(model, 2);  // DEN
    dialog.show();
    platform::ScopedScriptedDialogs dialogs;
    dialogs.colors = {std::nullopt, rgbOf(1, 2, 3)};
    auto rightRelease = [&](QWidget* w) {
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 5), w->mapToGlobal(QPointF(5, 5)),
                            Qt::RightButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(w, &release);
    };
    rightRelease(dialog.param(4));  // cancelled
    EXPECT_EQ(model.pane(2).colours[16], rgbOf(255, 0, 0));
    rightRelease(dialog.param(4));  // over box 4, for the shown feature 16
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[0].detail, "000000FF");  // seeded with DEN's red
    EXPECT_EQ(model.pane(2).colours[16], rgbOf(1, 2, 3));
    EXPECT_EQ(model.pane(2).colours[4], rgbOf(0, 0, 255));
    EXPECT_FALSE(dialog.param(4)->isChecked());
    dialog.okButton()->click();
    EXPECT_EQ(model.curveColour(2), rgbOf(1, 2, 3));
}

TEST(SpectrumChooserDialog, AnglesOnlyForTheThreeDViewAndStopAtTheirLimits)
{
    SpectrumChooserModel model;
    SpectrumChooserDialog dialog(model);
    int redraws = 0, filtrs = 0;
    dialog.onAnglesChanged = [&] { ++redraws; };
    dialog.onFiltr = [&] { ++filtrs; };
    QTimer::singleShot(0, [&] {
        EXPECT_FALSE(dialog.rotationUp()->isEnabled());
        dialog.option(2)->click();
        EXPECT_TRUE(dialog.rotationUp()->isEnabled());
        for (int i = 0; i < 8; ++i)
            dialog.rotationDown()->click();  // 30 -> 0, then stops
        for (int i = 0; i < 8; ++i)
            dialog.elevationUp()->click();  // 60 -> 90, then stops
        dialog.filtrButton()->click();
        dialog.okButton()->click();
    });
    EXPECT_EQ(dialog.Get_Type(), 3);
    EXPECT_EQ(model.rotation(), 0.0f);
    EXPECT_EQ(model.elevation(), 90.0f);
    EXPECT_EQ(dialog.rotationLabel()->text(), "0");
    EXPECT_EQ(dialog.elevationLabel()->text(), "90");
    EXPECT_EQ(redraws, 6 + 6);
    EXPECT_EQ(filtrs, 1);
    // Cancel returns the type of the opening.
    QTimer::singleShot(0, [&] {
        dialog.option(0)->click();
        EXPECT_FALSE(dialog.rotationUp()->isEnabled());
        dialog.cancelButton()->click();
    });
    EXPECT_EQ(dialog.Get_Type(), 3);
}

TEST(FrameChooserDialog, FirstOpeningChecksSignal)
{
    FrameChooserModel model;
    FrameChooserDialog dialog(model);
    QTimer::singleShot(0, [&] {
        EXPECT_TRUE(dialog.option(0)->isChecked());
        dialog.option(2)->click();
        dialog.okButton()->click();
    });
    EXPECT_EQ(dialog.Get_Type(), 3);
}

// The pane clicks of the window: choosers open, panes are redrawn as the choice asks.
TEST(DisplayChoosers, PaneClicksOpenTheChoosersAndRedraw)
{
    QWidget client;
    WordDisplays d;
    WordDisplayPanes panes(&client, d);
    DisplayChoosers choosers(d, panes, &client);
    ASSERT_TRUE(d.showWord(storedWord(61).source()));
    panes.refresh();

    // Frame pane: DFT power chosen, the same frame in the new view.
    QTimer::singleShot(0, [&] {
        choosers.frame().option(2)->click();
        choosers.frame().okButton()->click();
    });
    panes.frame()->onClick();
    EXPECT_EQ(panes.frameTitle()->text(), "DFT Power");
    EXPECT_EQ(panes.frameCaption()->text(), "FRAME #21 (FROM 41)");

    // Spectrum pane: the 3-D view shown over it; the spin buttons redraw it.
    QTimer::singleShot(0, [&] {
        choosers.spectrum().option(2)->click();
        const auto before = d.revision();
        choosers.spectrum().rotationUp()->click();
        EXPECT_GT(d.revision(), before);
        choosers.spectrum().okButton()->click();
    });
    panes.spectrum()->onClick();
    EXPECT_TRUE(panes.picHelp()->isVisibleTo(&client));
    EXPECT_EQ(panes.spectrumTitle()->text(), "3D power spectrum");
    EXPECT_EQ(d.spectrumChooser().rotation(), 35.0f);

    // Parameter pane 3: SVF chosen, the pane redrawn with it.
    QTimer::singleShot(0, [&] {
        choosers.param(3).param(18)->click();
        choosers.param(3).okButton()->click();
    });
    panes.param(3)->onClick();
    EXPECT_EQ(choosers.clickedPane(), 3);
    EXPECT_EQ(d.paramScene(3).texts.at(0).text, "SVF ");
    EXPECT_EQ(d.paramScene(3).polylines.at(1).colour, rgbOf(0, 128, 0));

    // Without a word, the spin buttons and filtr redraw nothing.
    d.clearAll();
    panes.refresh();
    QTimer::singleShot(0, [&] {
        choosers.spectrum().rotationUp()->click();
        choosers.spectrum().filtrButton()->click();
        EXPECT_TRUE(d.picHelpScene().empty());
        choosers.spectrum().okButton()->click();
    });
    panes.spectrum()->onClick();
    EXPECT_FALSE(panes.picHelp()->isVisibleTo(&client));
}

}  // namespace
}  // namespace talvor::analyser
