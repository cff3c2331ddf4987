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
#include <QLabel>
#include <QMouseEvent>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <filesystem>

#include "WizardFixture.h"
#include "platform/Dialogs.h"
#include "testing/EventLoop.h"
#include "common/StatwalkConfig.h"
#include "workbench/SmallWindows.h"
#include "workbench/WizardWindow.h"

using namespace talvor;
using namespace talvor::workbench;
using talvor::test::serveEventsFor;
using talvor::test::serveEventsUntil;
using talvor::workbench::test::FakeControls;
using talvor::workbench::test::FakePrograms;
using talvor::workbench::test::writeFile;

namespace {

class WindowFixture : public ::testing::Test {
protected:
    talvor::test::TempDir dir;
    ModuleState state;
    FakePrograms programs;
    FakeControls hosted;
    platform::ScopedScriptedDialogs dialogs;
    std::unique_ptr<WizardWindow> window;
    int ended = 0;

    void SetUp() override
    {
        const std::filesystem::path data = std::filesystem::path(dir.path()) / "DATA";
        writeFile(data / "digits" / "digits.voc", " 2 \r\n0  one\r\n1  two\r\n");
        writeFile(data / "digits" / "s1.lab", " 0\t 1\t 2\t 0\ttwo\t\r\n");
        writeFile(data / "digits" / "s1.par", std::string(22 * 80, '\0'));
        std::filesystem::create_directories(data / "digits" / "dtw1");
        state.AppPath = dir.path();
        window = std::make_unique<WizardWindow>(programs, state);
        window->wizard().setControls(&hosted.wavescope, &hosted.dtw, &hosted.chainview);
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

    // Next on the End page starts the DTW comparer, whose window is modal:
    // meanwhile the wizard's buttons and pages are off.  Then it begins again.
    bool anyOn = true;
    hosted.log.during["dtw.LoadDTW"] = [&] {
        anyOn = window->nextButton()->isEnabled() || window->beginAgainButton()->isEnabled() ||
                window->tabs()->isEnabled();
    };
    window->nextButton()->click();
    EXPECT_FALSE(anyOn);
    EXPECT_EQ(tabs->currentIndex(), PageBegin);
    EXPECT_TRUE(dialogs.shown.empty()) << dialogs.shown[0].text;
    EXPECT_EQ(hosted.log.calls.back(), "dtw.LoadDTW()");
    EXPECT_TRUE(window->nextButton()->isEnabled());
    EXPECT_TRUE(std::filesystem::exists(dir.path() + "/DATA/digits/dtw1/s1.PR"));
    EXPECT_EQ(window->reportPane()->toPlainText(), "");
    EXPECT_TRUE(window->modeOption(ModeDtwMatching)->isChecked());  // the choice is kept
}

TEST_F(WindowFixture, OtherConfigurationsShowsTheOnePromptOfTheMode)
{
    auto promptOn = [&](const char* key) {
        for (QLabel* l : page(PageOther)->findChildren<QLabel*>())
            if (l->toolTip() == key)
                return !l->isHidden();
        ADD_FAILURE() << "no prompt " << key;
        return false;
    };
    for (int mode : {int(ModeSpeakRecognizeDtw), int(ModeRuntime)}) {
        SCOPED_TRACE(mode);
        window->wizard().mode = mode;
        window->wizard().SSTab1_Click(PageOther);  // mode 13 asks for an experiment file: cancelled
        window->refresh();
        EXPECT_EQ(promptOn("Help 0008"), mode != ModeRuntime);
        EXPECT_EQ(promptOn("Help 0016"), mode == ModeRuntime);
    }
}

TEST_F(WindowFixture, NewVocabularyWithoutANameGreysTheWholeWordEditor)
{
    window->modeOption(ModeSpeechRecording)->click();
    window->nextButton()->click();
    for (QRadioButton* r : page(PageVocabulary)->findChildren<QRadioButton*>())
        if (r->text() == "New")
            r->click();
    window->nextButton()->click();
    ASSERT_EQ(window->tabs()->currentIndex(), PageNewVocabulary);
    QWidget* p = page(PageNewVocabulary);
    std::vector<QWidget*> editor;
    QLineEdit* name = nullptr;
    for (QLabel* l : p->findChildren<QLabel*>())
        if (l->text() == "Enter vocabulary items:" || l->text() == "List:" || l->text() == "Size:") {
            editor.push_back(l);
            editor.push_back(l->buddy());
        }
    for (QLineEdit* e : p->findChildren<QLineEdit*>())
        if (std::find(editor.begin(), editor.end(), e) == editor.end() && e->isVisibleTo(p))
            name = e;
    ASSERT_EQ(editor.size(), 6u);
    ASSERT_NE(name, nullptr);
    for (QWidget* x : editor)
        EXPECT_FALSE(x->isEnabled()) << x->metaObject()->className();
    QTest::keyClicks(name, "animals");
    for (QWidget* x : editor)
        EXPECT_TRUE(x->isEnabled()) << x->metaObject()->className();
    name->selectAll();
    QTest::keyClick(name, Qt::Key_Backspace);  // the name typed away again
    for (QWidget* x : editor)
        EXPECT_FALSE(x->isEnabled()) << x->metaObject()->className();
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
    // Centred in the screen's free area where the window fits; where it does
    // not, as large as the area allows (never below its minimum size) and
    // starting at the area's edge, never partly off the screen on that side.
    const QRect area = window->screen()->availableGeometry();
    for (const QPoint start : {QPoint(0, 0), QPoint(-300, -200), QPoint(area.right() - 10, area.bottom() - 10)}) {
        const QSize size = window->size();
        window->move(start);
        window->CenterForm();
        const QRect frame = window->frameGeometry();
        const bool fitsWide = frame.width() <= area.width(), fitsHigh = frame.height() <= area.height();
        if (fitsWide)
            EXPECT_NEAR(frame.center().x(), area.center().x(), 1);
        else
            EXPECT_EQ(frame.left(), area.left());
        if (fitsHigh)
            EXPECT_NEAR(frame.center().y(), area.center().y(), 1);
        else
            EXPECT_EQ(frame.top(), area.top());
        EXPECT_GE(window->width(), window->minimumWidth());
        EXPECT_GE(window->height(), window->minimumHeight());
        if (fitsWide && fitsHigh && size.width() <= area.width() && size.height() <= area.height())
            EXPECT_EQ(window->size(), size);
    }
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

TEST_F(WindowFixture, SmallWindowsShowModelsAndRestoreTheHiddenWizard)
{
    // The Models button: the dialog shows the models' parameters modally
    // until OK hides it.
    StatwalkConfig models;
    models.vocabulary = "digits";
    models.workDirectory = "hmm1";
    models.features[2] = models.features[17] = true;
    models.featureCount = 2;
    models.files = {"s1", "s2"};
    models.states = 6;
    std::string text;
    ASSERT_TRUE(statwalkConfigText(models, &text));
    writeFile(std::filesystem::path(dir.path()) / "DATA" / "digits" / "hmm1" / "STATWALK1.EDF", text);
    Wizard& w = window->wizard();
    w.vocName = "digits";
    w.controls.lstWorkDir = {"dtw1", "hmm1"};
    w.controls.lstWorkDirIndex = 1;
    std::vector<std::string> shown;
    bool checked = false;
    QTimer::singleShot(0, [&] {
        ModelsDialog* d = window->modelsDialog();
        ASSERT_NE(d, nullptr);
        EXPECT_TRUE(d->isVisible());
        EXPECT_EQ(d->windowTitle(), "Model Parameters");
        for (QLabel* l : {d->numFiles(), d->files(), d->states(), d->mixtures(), d->features()})
            shown.push_back(l->text().toStdString());
        checked = d->feature(2)->isChecked() && d->feature(17)->isChecked() && !d->feature(0)->isChecked();
        for (QPushButton* b : d->findChildren<QPushButton*>())
            if (b->text() == "OK")
                b->click();
    });
    w.cmdModels_Click();
    EXPECT_EQ(shown, (std::vector<std::string>{"Number of training files:  2", "s1  s2  ", "Number of states:  6",
                                               "Number of mixtures:  1", "Number of features:  2"}));
    EXPECT_TRUE(checked);
    EXPECT_FALSE(window->modelsDialog()->isVisible());

    // The restore window at the top right; a double click and closing it
    // both bring back the wizard and the analyser's window.
    for (int how = 0; how < 2; ++how) {
        SCOPED_TRACE(how == 0 ? "double click" : "close");
        window->hideWindow();
        window->showRestoreWindow();
        RestoreWindow* v = window->restoreWindow();
        ASSERT_NE(v, nullptr);
        EXPECT_TRUE(v->isVisible());
        EXPECT_EQ(v->windowTitle(), "TalvorII");
        const QRect screen = v->screen()->geometry();
        EXPECT_EQ(v->frameGeometry().right(), screen.right());
        EXPECT_EQ(v->frameGeometry().top(), screen.top());
        hosted.log.calls.clear();
        if (how == 0) {
            QMouseEvent e(QEvent::MouseButtonDblClick, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
            QApplication::sendEvent(v, &e);
        } else {
            v->close();
        }
        EXPECT_FALSE(v->isVisible());
        EXPECT_TRUE(window->isVisible());
        EXPECT_EQ(hosted.log.calls, std::vector<std::string>{"wavescope.ShowWavescope(1)"});
    }
}

TEST_F(WindowFixture, KeyboardAboutBoxHelpFileAndDataPage)
{
    // The help-caption file was written into the program folder at start.
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(dir.path()) / "Talvor_II.c_h"));

    // Enter presses Next; Exit takes no focus from the keyboard.
    window->modeOption(ModeDatabaseMaintenance)->click();
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(window.get(), &enter);
    EXPECT_EQ(window->tabs()->currentIndex(), PageData);
    for (QPushButton* b : window->findChildren<QPushButton*>())
        if (b->text() == "&Exit")
            EXPECT_EQ(b->focusPolicy(), Qt::ClickFocus);

    // Delete asks, Cancel is the default answer, and nothing goes.
    QPushButton* del = nullptr;
    for (QPushButton* b : page(PageData)->findChildren<QPushButton*>())
        if (b->text() == "Delete")
            del = b;
    ASSERT_NE(del, nullptr);
    EXPECT_EQ(del->toolTip(), QStringLiteral("Delete selected item."));
    del->click();
    ASSERT_FALSE(dialogs.shown.empty());
    EXPECT_EQ(dialogs.shown.back().buttons, platform::MessageButtons::OkCancel);
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(dir.path()) / "DATA" / "digits"));
    dialogs.answers = {platform::DialogAnswer::Ok};
    del->click();
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(dir.path()) / "DATA" / "digits"));

    // The about box opens modally on a click on the logo of the first page;
    // a double click on its link opens the README with the desktop's handler.
    window->beginAgainButton()->click();
    QLabel* logo = nullptr;
    for (QLabel* l : page(PageBegin)->findChildren<QLabel*>())
        if (l->toolTip() == "About TALVOR")
            logo = l;
    ASSERT_NE(logo, nullptr);
    QStringList texts;
    bool modal = false;
    std::vector<QUrl> opened;
    window->setLinkOpener([&](const QUrl& url) { opened.push_back(url); });
    QTimer::singleShot(0, [&] {
        QDialog* box = window->aboutBox();
        ASSERT_NE(box, nullptr);
        modal = box->isVisible() && QApplication::activeModalWidget() == box;
        for (QLabel* l : box->findChildren<QLabel*>())
            texts << l->text();
        auto* link = box->findChild<QLabel*>("aboutLink");
        ASSERT_NE(link, nullptr);
        QTest::mouseDClick(link, Qt::LeftButton);
        box->hide();
    });
    QTest::mouseClick(logo, Qt::LeftButton);  // returns once the box is hidden
    EXPECT_TRUE(modal);
    EXPECT_FALSE(window->aboutBox()->isVisible());
    EXPECT_TRUE(texts.contains("Software for graphic presentation of"));
    EXPECT_TRUE(texts.contains("speech recognations algorithms"));
    EXPECT_TRUE(texts.contains(QString::fromStdString(aboutVersionLine())));
    EXPECT_TRUE(texts.contains(QString::fromUtf8(WizardWindow::kAboutLink)));
    EXPECT_EQ(aboutVersionLine(), "Version: 2.0.0.1");
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], QUrl::fromLocalFile(QString::fromUtf8(WizardWindow::kAboutLink)));
    EXPECT_TRUE(std::filesystem::exists(WizardWindow::kAboutLink));
}
