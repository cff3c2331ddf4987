// The wizard window over its model: widgets write the user's input into the
// model, the tabs follow the page switch, the command keys and the watch
// timer act on the real window.
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>

#include "WizardFixture.h"
#include "platform/Dialogs.h"
#include "testing/EventLoop.h"
#include "workbench/WizardWindow.h"

using namespace talvor;
using namespace talvor::workbench;
using talvor::test::serveEventsFor;
using talvor::test::serveEventsUntil;
using talvor::workbench::test::FakePrograms;
using talvor::workbench::test::writeFile;

namespace {

class WindowFixture : public ::testing::Test {
protected:
    talvor::test::TempDir dir;
    ModuleState state;
    FakePrograms programs;
    platform::ScopedScriptedDialogs dialogs;
    std::unique_ptr<WizardWindow> window;
    int ended = 0;

    void SetUp() override
    {
        const std::filesystem::path data = std::filesystem::path(dir.path()) / "DATA";
        writeFile(data / "digits" / "digits.voc", " 2 \r\n0  one\r\n1  two\r\n");
        writeFile(data / "digits" / "s1.lab", "x");
        std::filesystem::create_directories(data / "digits" / "dtw1");
        state.AppPath = dir.path();
        window = std::make_unique<WizardWindow>(programs, state);
        window->setEndProgram([this] { ++ended; });
        window->show();
    }
    QWidget* page(int p) { return window->tabs()->widget(p); }
};

}  // namespace

TEST_F(WindowFixture, StepsThroughDtwMatchingWithTheWidgets)
{
    QTabWidget* tabs = window->tabs();
    ASSERT_EQ(tabs->count(), kPageCount);
    EXPECT_EQ(tabs->tabText(0), "Begin ");
    EXPECT_EQ(tabs->tabText(9), "End");
    EXPECT_EQ(window->windowTitle(), "TALVOR II Setup");
    EXPECT_EQ(window->modeOption(10)->text(), "Pick && Match (HMM)");  // shown as one "&"

    window->modeOption(ModeDtwMatching)->click();
    window->nextButton()->click();
    EXPECT_EQ(tabs->currentIndex(), PageVocabulary);
    for (int p = 0; p < kPageCount; ++p)
        EXPECT_EQ(tabs->isTabEnabled(p), p == PageVocabulary) << p;
    EXPECT_EQ(window->reportPane()->toPlainText(), " Mode: DTW Matching");

    window->nextButton()->click();  // digits is the first vocabulary
    ASSERT_EQ(tabs->currentIndex(), PageFile);
    window->nextButton()->click();  // s1 is selected
    ASSERT_EQ(tabs->currentIndex(), PageReferences);
    EXPECT_FALSE(window->nextButton()->isEnabled());
    for (QPushButton* b : page(PageReferences)->findChildren<QPushButton*>())
        if (b->text() == "Select all")
            b->click();
    EXPECT_TRUE(window->nextButton()->isEnabled());
    window->nextButton()->click();
    ASSERT_EQ(tabs->currentIndex(), PageWorkDir);
    window->nextButton()->click();
    ASSERT_EQ(tabs->currentIndex(), PageFeatures);
    for (QCheckBox* b : page(PageFeatures)->findChildren<QCheckBox*>())
        if (b->text() == "svf")
            b->click();
    window->nextButton()->click();
    ASSERT_EQ(tabs->currentIndex(), PageEnd);
    EXPECT_EQ(window->reportPane()->toPlainText().split('\n').last(), " Features: svf ");

    // Next on the End page says what would start and begins again.
    window->nextButton()->click();
    EXPECT_EQ(tabs->currentIndex(), PageBegin);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_NE(dialogs.shown[0].text.find("in mode: DTW Matching"), std::string::npos);
    EXPECT_EQ(window->reportPane()->toPlainText(), "");
    EXPECT_TRUE(window->modeOption(ModeDtwMatching)->isChecked());  // the choice is kept
}

TEST_F(WindowFixture, MessageOfAKeptPageComesThroughTheDialogs)
{
    window->modeOption(ModeSpeechRecording)->click();
    window->nextButton()->click();
    window->nextButton()->click();  // Existing digits, words
    ASSERT_EQ(window->tabs()->currentIndex(), PageFile);
    EXPECT_FALSE(window->nextButton()->isEnabled());  // no name typed yet
    auto* name = page(PageFile)->findChild<QLineEdit*>();
    ASSERT_NE(name, nullptr);
    name->setFocus();
    name->insert("S1");  // as typed: the model hears of it
    EXPECT_TRUE(window->nextButton()->isEnabled());
    window->nextButton()->click();
    EXPECT_EQ(window->tabs()->currentIndex(), PageFile);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "This file already exists. Type another name.");
}

TEST_F(WindowFixture, DescriptionTurnsQuotesIntoStars)
{
    window->wizard().switchToPage(PageEnd);
    auto* text = page(PageEnd)->findChild<QPlainTextEdit*>();
    ASSERT_NE(text, nullptr);
    text->setPlainText("say \"one\"");
    EXPECT_EQ(text->toPlainText(), "say *one*");
    EXPECT_EQ(window->wizard().controls.txtDescription, "say *one*");
}

TEST_F(WindowFixture, CommandKeysActOnTheWindow)
{
    Wizard& w = window->wizard();
    w.mode = ModeHmmTraining;
    programs.opensCaption = "Statwalk in mode: HMM Training";
    w.StartWatchedProgram(kTrainerProgram, w.trainerWindow);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "Talvor Setup");
    EXPECT_TRUE(window->watchTimerActive());

    w.Form_KeyDown(KeyShowAndRestoreCaption);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "TALVOR II Setup");
    w.Form_KeyDown(KeyHideWindow);
    EXPECT_FALSE(window->isVisible());
    w.Form_KeyDown(KeyShowAndStopWatch);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->watchTimerActive());
    w.Form_KeyDown(KeyEndProgram);
    EXPECT_EQ(ended, 1);
}

TEST_F(WindowFixture, WatchTimerShowsTheWizardWhenTheProgramsWindowHasGone)
{
    Wizard& w = window->wizard();
    w.mode = ModeHmmMatching;
    programs.opensCaption = "Statwalk in mode: HMM Matching";
    w.StartWatchedProgram(kRecogniserProgram, w.recogniserWindow);
    ASSERT_FALSE(window->isVisible());
    // While the window is there, the ticks change nothing.
    serveEventsFor(2300);
    EXPECT_FALSE(window->isVisible());
    programs.windows.clear();
    EXPECT_TRUE(serveEventsUntil([&] { return window->isVisible(); }, 3000));
    EXPECT_FALSE(window->watchTimerActive());
    EXPECT_EQ(window->windowTitle(), "Talvor Setup");
}

TEST_F(WindowFixture, ClosingTheWindowEndsTheProgram)
{
    window->close();
    EXPECT_EQ(ended, 1);
}

TEST_F(WindowFixture, StartsOnTheFirstPageInTheMiddleOfTheScreen)
{
    EXPECT_EQ(window->tabs()->currentIndex(), PageBegin);
    for (int p = 0; p < kPageCount; ++p)
        EXPECT_EQ(window->tabs()->isTabEnabled(p), p == 0) << p;
    const QSize size = window->size();
    window->move(0, 0);
    window->CenterForm();
    const QRect screen = window->screen()->geometry();
    const QRect frame = window->frameGeometry();
    EXPECT_NEAR(frame.center().x(), screen.center().x(), 1);
    EXPECT_NEAR(frame.center().y(), screen.center().y(), 1);
    EXPECT_EQ(window->size(), size);
}

TEST_F(WindowFixture, ModelsButtonOnTheWorkDirPageOfTheHmmMatchingModes)
{
    Wizard& w = window->wizard();
    QPushButton* models = nullptr;
    for (QPushButton* b : page(PageWorkDir)->findChildren<QPushButton*>())
        if (b->text() == "Models")
            models = b;
    ASSERT_NE(models, nullptr);

    w.mode = ModeDtwMatching;
    w.vocName = "digits";
    w.switchToPage(PageWorkDir);
    EXPECT_TRUE(models->isHidden());

    w.mode = ModeHmmMatching;
    w.SSTab1_Click(PageWorkDir);
    window->refresh();
    ASSERT_FALSE(models->isHidden());
    models->click();  // dtw1 holds no models
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "There are no models in this subdirectory. Select another subdirectory or train "
                                     "new models in a new subdirectory.");
    EXPECT_EQ(window->tabs()->currentIndex(), PageWorkDir);
}
