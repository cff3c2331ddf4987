// The DTW window's dialogs offscreen, opened from the window's button and
// menus as a user does: each runs modally until its OK hides it.
#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QPointer>
#include <QTimer>
#include <gtest/gtest.h>

#include "DtwTree.h"
#include "platform/Dialogs.h"
#include "timewarp/DtwDialogWindows.h"
#include "timewarp/FrmDtw.h"
#include "timewarp/UscDtw.h"

using namespace talvor;
using namespace talvor::timewarp;
using talvor::timewarp::test::DtwTree;

namespace {

class DialogWindows : public testing::Test {
public:
    void SetUp() override
    {
        ASSERT_TRUE(dtw.SetAppPath(tree.app()).ok);
        const auto flags = DtwTree::flags();
        ASSERT_TRUE(dtw.LoadMode(6, "digits", "dtw1", DtwTree::kFeat, flags, {"refa", "refb"}, "test").ok);
        ASSERT_TRUE(dtw.LoadDTW().ok);
        ASSERT_TRUE(dtw.SetPMword(1).ok);  // "one"
        ASSERT_TRUE(dtw.ShowDTW(0).ok);
        w = dtw.window();
    }

    // Runs `act` inside the dialog's modal loop, once it is shown.
    void whileOpen(std::function<void()> act)
    {
        QTimer::singleShot(0, [act] { act(); });
    }

    DtwWordStore& store() { return dtw.state().store; }

    DtwTree tree;
    UscDtw dtw;
    FrmDtw* w = nullptr;
    platform::ScopedScriptedDialogs dialogs;
};

TEST_F(DialogWindows, OtherReferenceBecomesCurrentAndItsTrackIsDrawn)
{
    const QImage before = w->picture("picRef")->grab().toImage();
    bool shown = false;
    whileOpen([&] {
        FrmRefSel& d = dtw.dialogs()->refSel;
        shown = d.isVisible();
        EXPECT_EQ(d.windowTitle().toStdString(), "Reference selection");
        EXPECT_TRUE(d.option(RefSelection::Nearest)->isChecked());
        EXPECT_FALSE(d.spin(RefSelection::Other).widget->isEnabled());
        d.option(RefSelection::Other)->click();
        EXPECT_TRUE(d.spin(RefSelection::Other).widget->isEnabled());
        EXPECT_FALSE(d.wordLabel(RefSelection::Nearest)->isEnabled());
        // The up arrow counts up from the first reference, the down arrow back.
        d.spin(RefSelection::Other).down->click();
        EXPECT_EQ(d.model().position(RefSelection::Other), 1);
        for (int k = 1; k < 9; ++k)
            d.spin(RefSelection::Other).up->click();
        EXPECT_EQ(d.model().position(RefSelection::Other), 9);
        // The keys act on the focused box's number, not on the options.
        auto press = [](QWidget* box, int key) {
            QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier);
            QApplication::sendEvent(box, &e);
        };
        press(d.option(RefSelection::Other), Qt::Key_Down);
        EXPECT_EQ(d.model().position(RefSelection::Other), 8);
        press(d.spin(RefSelection::Other).up, Qt::Key_Up);
        press(d.option(RefSelection::Other), Qt::Key_Up);
        EXPECT_EQ(d.model().position(RefSelection::Other), 10);
        press(d.option(RefSelection::Other), Qt::Key_Down);
        press(d.option(RefSelection::Nearest), Qt::Key_Down);  // a greyed way: nothing moves
        EXPECT_TRUE(d.option(RefSelection::Other)->isChecked());
        EXPECT_EQ(d.model().position(RefSelection::Nearest), 1);
        EXPECT_EQ(d.model().position(RefSelection::Other), 9);
        EXPECT_EQ(d.wordLabel(RefSelection::Other)->text().toStdString(), "three (refb)");
        EXPECT_EQ(d.scoreLabel(RefSelection::Other)->text().toStdString(), scoreText(store().batch[9].score));
        d.ok()->click();
    });
    w->button("cmdNextRef")->click();
    EXPECT_TRUE(shown);
    EXPECT_FALSE(dtw.dialogs()->refSel.isVisible());
    EXPECT_EQ(store().currentReference, 9);
    EXPECT_EQ(w->label("lblRefName")->text().toStdString(), "three");
    EXPECT_EQ(w->label("lblRefFrames")->text().toStdString(), "66");
    EXPECT_NE(w->picture("picRef")->grab().toImage(), before);

    // Opened again: ranked afresh, "Nearest" chosen, the same dialog kept.
    FrmRefSel* first = &dtw.dialogs()->refSel;
    whileOpen([&] {
        FrmRefSel& d = dtw.dialogs()->refSel;
        EXPECT_EQ(&d, first);
        EXPECT_TRUE(d.option(RefSelection::Nearest)->isChecked());
        EXPECT_EQ(d.model().position(RefSelection::Other), 1);
        d.ok()->click();
    });
    w->button("cmdNextRef")->click();
    EXPECT_EQ(store().reference(store().currentReference).label, 1);  // the nearest "one"
}

TEST_F(DialogWindows, ChangingTheMethodRematchesAndTheCaptionFollows)
{
    store().method = kMethodItakura;
    whileOpen([&] {
        FrmMethod& d = dtw.dialogs()->method;
        EXPECT_EQ(d.windowTitle().toStdString(), "Time Warping Methods");
        EXPECT_TRUE(d.OptIta->isChecked());  // opens with the current method
        EXPECT_FALSE(d.spiRange.widget->isEnabled());
        d.optNsc->click();
        EXPECT_TRUE(d.spiRange.widget->isEnabled());
        d.spiRange.down->click();
        EXPECT_EQ(d.lblRange->text().toStdString(), "9");
        d.optLin->click();
        EXPECT_FALSE(d.spiRange.widget->isEnabled());
        d.ok()->click();
    });
    // A reference other than the best, so the rematch shows.
    store().currentReference = 3;
    dtw.session().Reference();
    w->menu("mniMethod")->trigger();
    EXPECT_EQ(store().method, kMethodLinear);
    EXPECT_EQ(store().bandRange, 9);
    EXPECT_EQ(w->label("lblDtwCaption")->text().toStdString(), "Linear Time Warping");
    EXPECT_EQ(store().currentReference, store().best.reference);
    EXPECT_EQ(w->label("lblRefName")->text().toStdString(), "one");

    w->cmdMatch_Click();
    EXPECT_EQ(store().trace.method, kMethodLinear);
    EXPECT_EQ(dtw.session().replay().steps(), store().N);
    EXPECT_FALSE(w->menu("mniMethod")->isEnabled());  // no dialogs while animating
}

TEST_F(DialogWindows, PlotAndFeatureOptions)
{
    whileOpen([&] {
        FrmPlot& d = dtw.dialogs()->plot;
        EXPECT_EQ(d.windowTitle().toStdString(), "Plot options");
        EXPECT_TRUE(d.optFlat->isChecked());
        EXPECT_FALSE(d.spiRot.widget->isEnabled());
        d.opt3D->click();
        EXPECT_TRUE(d.spiRot.widget->isEnabled());
        d.spiRot.up->click();
        d.spiElev.up->click();
        d.spiElev.up->click();
        d.spiElev.up->click();
        EXPECT_EQ(d.lblRot->text().toStdString(), "35");
        EXPECT_EQ(d.lblElev->text().toStdString(), "85");
        d.ok()->click();
    });
    w->menu("mniPlot")->trigger();
    EXPECT_EQ(dtw.state().plotStyle, kPlot3D);
    EXPECT_EQ(dtw.state().rotation, 35);
    EXPECT_EQ(dtw.state().elevation, 85);

    whileOpen([&] {
        FrmFeat& d = dtw.dialogs()->feat;
        EXPECT_EQ(d.windowTitle().toStdString(), "Feature selection");
        EXPECT_TRUE(d.optFeature(17)->isChecked());
        EXPECT_EQ(d.optFeature(17)->text().toStdString(), "dene");
        EXPECT_FALSE(d.optFeature(12)->isEnabled());
        EXPECT_TRUE(d.optFeature(3)->isEnabled());
        d.optFeature(3)->click();
        d.ok()->click();
    });
    w->menu("mniFeat")->trigger();
    EXPECT_EQ(w->label("lblFeatName0")->text().toStdString(), "cep3");
    EXPECT_EQ(w->label("lblFeatName1")->text().toStdString(), "cep3");
    EXPECT_EQ(dtw.state().testTrack[5], store().testVector(5, 3));

    // Exit unloads the dialogs with the window.
    ASSERT_NE(dtw.dialogs(), nullptr);
    dialogs.answers = {platform::DialogAnswer::Yes};
    w->mniExit_Click();
    EXPECT_EQ(dtw.dialogs(), nullptr);
    EXPECT_EQ(dtw.window(), nullptr);
}

}  // namespace
