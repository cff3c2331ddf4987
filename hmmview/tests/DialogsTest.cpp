// The Properties dialog and the model viewer, offscreen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <fstream>

#include "Fixtures.h"
#include "ViewerFixture.h"
#include "common/FileNames.h"
#include "hmmview/ChainviewWindow.h"
#include "hmmview/ConfigDialog.h"
#include "hmmview/ModelViewWindow.h"
#include "hmmview/SchemeFile.h"
#include "hmmview/UscChainview.h"
#include "platform/Colors.h"
#include "platform/Dialogs.h"

namespace talvor::hmmview {
namespace {

using platform::DialogAnswer;

struct PropertiesTest : ::testing::Test {
    talvor::test::TempDir dir;
    platform::ScopedScriptedDialogs dialogs;
    int animation = -1;
    std::unique_ptr<ConfigDialog> open(const DisplaySettings& s = {})
    {
        return std::make_unique<ConfigDialog>(s, dir.path(), 10, [this](int v) { animation = v; });
    }
};

TEST_F(PropertiesTest, OkWritesTheSelectedSchemeOnlyAndNoTemporaryOne)
{
    {
        auto d = open();
        EXPECT_EQ(d->schemes()->count(), 0);
        d->Command1_Click();
        EXPECT_TRUE(d->isOK());
    }
    EXPECT_TRUE(listSchemes(dir.path()).empty());

    ASSERT_TRUE(saveScheme(dir.path(), "Alpha", DisplaySettings{}));
    DisplaySettings changed;
    changed.clrState = 255;
    auto d = open(changed);
    ASSERT_EQ(d->schemes()->count(), 1);
    EXPECT_EQ(d->settings(), changed);  // opening a dialog loads no scheme
    d->Command1_Click();
    DisplaySettings back;
    ASSERT_TRUE(loadScheme(dir.path(), "Alpha", back));
    EXPECT_EQ(back.clrState, 255);
    EXPECT_EQ(listSchemes(dir.path()), std::vector<std::string>{"Alpha"});
}

TEST_F(PropertiesTest, SaveAsAsksBeforeReplacingAndDeleteAsksFirst)
{
    ASSERT_TRUE(saveScheme(dir.path(), "Alpha", DisplaySettings{}));
    ASSERT_TRUE(saveScheme(dir.path(), "Beta", DisplaySettings{}));
    DisplaySettings mine;
    mine.grStpX = 333;
    auto d = open(mine);
    ASSERT_EQ(d->schemes()->count(), 2);
    EXPECT_EQ(d->schemes()->currentText(), "Alpha");

    // The present name: nothing.  A refused name: a message, nothing written.
    dialogs.texts = {std::string("Alpha"), std::string("a/b")};
    d->Command3_Click();
    d->Command3_Click();
    EXPECT_EQ(dialogs.shown.size(), 3u);
    EXPECT_EQ(dialogs.shown[0].text, "Save this configuration scheme as:");
    EXPECT_EQ(dialogs.shown[0].caption, "Save scheme");
    EXPECT_EQ(dialogs.shown[0].detail, "Alpha");
    EXPECT_EQ(dialogs.shown[2].kind, "message");
    EXPECT_EQ(d->schemes()->count(), 2);

    // An existing name in another case: asked; No keeps the file, Yes replaces
    // it and selects its one entry.
    dialogs.shown.clear();
    dialogs.texts = {std::string("beta"), std::string("beta")};
    dialogs.answers = {DialogAnswer::No, DialogAnswer::Yes};
    d->Command3_Click();
    DisplaySettings beta;
    ASSERT_TRUE(loadScheme(dir.path(), "Beta", beta));
    EXPECT_EQ(beta.grStpX, 120);
    d->Command3_Click();
    ASSERT_TRUE(loadScheme(dir.path(), "Beta", beta));
    EXPECT_EQ(beta.grStpX, 333);
    EXPECT_EQ(d->schemes()->count(), 2);
    EXPECT_EQ(d->schemes()->currentText(), "Beta");

    // A new name goes on top, selected.
    dialogs.texts = {std::string("Gamma")};
    d->Command3_Click();
    EXPECT_EQ(d->schemes()->itemText(0), "Gamma");
    EXPECT_EQ(d->schemes()->currentIndex(), 0);
    EXPECT_EQ(listSchemes(dir.path()), (std::vector<std::string>{"Alpha", "Beta", "Gamma"}));

    // Delete: asked; No keeps it; Yes deletes the file, then the entry.
    dialogs.shown.clear();
    dialogs.answers = {DialogAnswer::No, DialogAnswer::Yes};
    d->Command4_Click();
    EXPECT_EQ(dialogs.shown[0].text, "Are yuo sure you want to delete the configuration scheme: \"Gamma\"?");
    EXPECT_EQ(dialogs.shown[0].caption, "Delete scheme");
    EXPECT_EQ(d->schemes()->count(), 3);
    d->Command4_Click();
    EXPECT_EQ(d->schemes()->count(), 2);
    EXPECT_EQ(listSchemes(dir.path()), (std::vector<std::string>{"Alpha", "Beta"}));

    // A failed delete is reported and the entry stays.
    std::filesystem::remove(dir.path() + "/Alpha.sc1");
    d->schemes()->setCurrentIndex(d->schemes()->findText("Alpha"));
    dialogs.shown.clear();
    dialogs.answers = {DialogAnswer::Yes};
    d->Command4_Click();
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[1].icon, platform::MessageIcon::Critical);
    EXPECT_EQ(d->schemes()->count(), 2);

    // With no scheme selected Delete does nothing.
    d->schemes()->setCurrentIndex(-1);
    dialogs.shown.clear();
    d->Command4_Click();
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(PropertiesTest, FieldsClampAndSlidersSetTheirValues)
{
    auto d = open();
    d->scaleField(2)->setText("0");
    d->txtScale_Change(2);
    EXPECT_EQ(d->scaleField(2)->text(), "1");
    EXPECT_EQ(d->settings().grStpR, 1.0f);
    d->scaleField(4)->setText("2500");
    d->txtScale_Change(4);
    EXPECT_EQ(d->scaleField(4)->text(), "2000");
    EXPECT_EQ(d->settings().leftGraphPos, 2000);
    // Only digits can be typed.
    d->scaleField(0)->setText("");
    QTest::keyClicks(d->scaleField(0), "1a-2");
    EXPECT_EQ(d->scaleField(0)->text(), "12");

    d->setManual(false);
    d->gridSlider()->setValue(3);
    d->sldGrid_Change(3);
    EXPECT_EQ(d->settings().grStpX, 120);
    EXPECT_EQ(d->settings().grpsh, 180);
    EXPECT_EQ(d->scaleField(3)->text(), "180");
    d->animationSlider()->setValue(40);
    EXPECT_EQ(animation, 40);
}

TEST_F(PropertiesTest, ChangeColorChangesTheRoleAndTheExample)
{
    auto d = open();
    d->selectRole(1);  // "State border": the example's background
    dialogs.colors = {0x00336699u};
    d->cmbChaColor_Click();
    EXPECT_EQ(d->settings().clrStateBorder, 0x00336699);
    const QImage example = d->example()->pixmap().toImage();
    EXPECT_EQ(example.pixel(1, 1), platform::toQColor(0x00336699u).rgb());
    // Cancelled: unchanged.
    d->cmbChaColor_Click();
    EXPECT_EQ(d->settings().clrStateBorder, 0x00336699);
}

TEST_F(PropertiesTest, FrameCaptionsAreThePaddedOnesAndAClickRedrawsTheExample)
{
    auto d = open();
    QStringList captions;
    for (QRadioButton* r : d->findChildren<QRadioButton*>())
        captions << r->text();
    EXPECT_TRUE(captions.contains(QStringLiteral("           Manual "))) << captions.join('|').toStdString();
    EXPECT_TRUE(captions.contains(QStringLiteral("          Automatic "))) << captions.join('|').toStdString();
    const qint64 before = d->example()->pixmap().cacheKey();
    QTest::mouseClick(d->example(), Qt::LeftButton);
    EXPECT_NE(d->example()->pixmap().cacheKey(), before);
}

// Properties from the viewer window: OK with a changed role colour, and the
// panes repaint in it.
TEST(PropertiesFromTheViewer, OkRepaintsThePanes)
{
    testing::ProgramFolder folder;
    testing::ViewerTest::writeStandardFolder(folder);
    platform::ScopedScriptedDialogs dialogs;
    UscChainview chainview;
    chainview.SetAppPath(folder.dir.path());
    ASSERT_TRUE(chainview.LoadMode(4, folder.voc, "", folder.rec, folder.work));
    chainview.model().MATCH(0);
    ChainviewWindow& w = chainview.window();
    w.show();
    QApplication::processEvents();
    dialogs.colors = {0x000000C0u};
    bool seen = false;
    QTimer::singleShot(0, &w, [&] {
        auto* d = dynamic_cast<ConfigDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        seen = true;
        d->selectRole(1);
        d->cmbChaColor_Click();
        d->Command1_Click();
    });
    w.miProperties_Click();
    ASSERT_TRUE(seen);
    EXPECT_EQ(chainview.model().settings().clrStateBorder, 0x000000C0);
    EXPECT_FALSE(std::filesystem::exists(folder.dir.path() + "/tmp.sc1"));
    QApplication::processEvents();
    const QImage img = w.pane(0)->grab().toImage();
    const QRect picture = w.pane(0)->pictureRect();
    EXPECT_EQ(img.pixel(picture.left() + 3, 1), platform::toQColor(0x000000C0u).rgb());
}

// A scheme naming a system colour the platform does not know: the example
// paints it in the fixed fallback colour (the button face), not black or garbage.
TEST_F(PropertiesTest, UnknownSystemColourFallsBackToAFixedColour)
{
    std::string text = *schemeText("odd", DisplaySettings{});
    const std::string border = "\"State paths\"\t16777215";
    const std::size_t at = text.find(border);
    ASSERT_NE(at, std::string::npos);
    text.replace(at, border.size(), "\"State paths\"\t-2147483549");  // system colour 99
    ASSERT_TRUE(writeFileWhole(dir.path() + "/odd.sc1", text));
    auto d = open();
    d->cmboSchemas_Click(0);
    EXPECT_EQ(static_cast<std::uint32_t>(d->settings().clrStateBorder), 0x80000063u);
    const QImage example = d->example()->pixmap().toImage();
    EXPECT_EQ(example.pixel(1, 1), platform::toQColor(platform::kSystemButtonFace).rgb());
}

TEST(ModelViewer, ShowsTheModelAndPlotsOnlyWhatMakesSense)
{
    testing::ModelDir dir;
    testing::ModSpec desc = testing::ModSpec::leftRight("yes", 3, 2, 2);
    desc.modelID = 7;
    const std::string path = dir.write("Yes.MOD", desc);
    ModelViewWindow w;
    w.LoadMOD(path);
    EXPECT_EQ(w.wordLabel()->text(), "yes");
    EXPECT_EQ(w.headerLabel(0)->text(), "Model ID : 7");
    EXPECT_EQ(w.headerLabel(5)->text(), "Number of states : 3");
    EXPECT_EQ(w.headerLabel(8)->text(), "Training date : 17.5.2004");
    EXPECT_TRUE(w.text()->toPlainText().startsWith("1.state"));
    EXPECT_EQ(w.featureChoice()->count(), 2);
    EXPECT_EQ(w.mixtureChoice()->itemText(1), "ADD");
    EXPECT_EQ(w.stateChoice()->count(), 3);

    const QImage blank = w.plot();
    w.scaleBox(0)->setText("3");
    w.scaleBox(1)->setText("3");
    w.cmbDisplayState_Click();
    EXPECT_EQ(w.plot(), blank);  // min X = max X: nothing
    w.scaleBox(0)->setText("-3");
    w.scaleBox(2)->setText("-0.5");
    w.cmbDisplayState_Click();
    EXPECT_EQ(w.plot(), blank);  // no height: nothing
    w.scaleBox(2)->setText("1");
    w.cmbDisplayState_Click();
    EXPECT_NE(w.plot(), blank);
    w.cmbClearGraf_Click();
    EXPECT_EQ(w.plot(), blank);
    // Letters cannot be typed into a scale box.
    w.scaleBox(1)->setText("");
    QTest::keyClicks(w.scaleBox(1), "2x.5");
    EXPECT_EQ(w.scaleBox(1)->text(), "2.5");

    // A model of two states: its header, but no text and no choices.
    ModelViewWindow small;
    small.LoadMOD(dir.write("two.mod", testing::ModSpec::leftRight("no", 2, 1, 1)));
    EXPECT_EQ(small.headerLabel(5)->text(), "Number of states : 2");
    EXPECT_TRUE(small.text()->toPlainText().isEmpty());
    EXPECT_EQ(small.stateChoice()->count(), 0);
}

}  // namespace
}  // namespace talvor::hmmview
