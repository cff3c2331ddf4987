#include "workbench/WizardWindow.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QDesktopServices>
#include <QDialog>
#include <QUrl>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "platform/Dialogs.h"
#include "workbench/SmallWindows.h"

namespace talvor::workbench {

namespace {
// A label that answers a double-click (the prompts read the help-caption file
// again; the logo opens the about box).
class PromptLabel : public QLabel {
public:
    explicit PromptLabel(std::function<void()> onDoubleClick) : m_onDoubleClick(std::move(onDoubleClick)) {}

protected:
    void mouseDoubleClickEvent(QMouseEvent*) override { m_onDoubleClick(); }

private:
    std::function<void()> m_onDoubleClick;
};

// The logo: a click (a press and release of the left button on it).
class LogoLabel : public QLabel {
public:
    explicit LogoLabel(std::function<void()> onClick) : m_onClick(std::move(onClick)) {}

protected:
    void mouseReleaseEvent(QMouseEvent* e) override
    {
        if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()))
            m_onClick();
    }

private:
    std::function<void()> m_onClick;
};
}  // namespace

namespace {

QString qs(const std::string& s)
{
    return QString::fromStdString(s);
}

// Puts `items` into `list` and selects `index`, touching the list only where it differs.
void showList(QListWidget* list, const std::vector<std::string>& items, int index)
{
    bool same = list->count() == int(items.size());
    for (int i = 0; same && i < list->count(); ++i)
        same = list->item(i)->text() == qs(items[std::size_t(i)]);
    if (!same) {
        list->clear();
        for (const std::string& s : items)
            list->addItem(qs(s));
    }
    if (list->currentRow() != index)
        list->setCurrentRow(index);
}

void showText(QLineEdit* edit, const std::string& text)
{
    if (edit->text() != qs(text))
        edit->setText(qs(text));
}

QLabel* labelFor(const char* text, QWidget* buddy = nullptr)
{
    auto* l = new QLabel(QString::fromUtf8(text));
    if (buddy)
        l->setBuddy(buddy);
    return l;
}

}  // namespace

WizardWindow::WizardWindow(ExternalPrograms& programs, ModuleState& state, QWidget* parent)
    : QWidget(parent), m_wizard(std::make_unique<Wizard>(*this, programs, state))
{
    setWindowTitle(kDesignCaption);
    m_endProgram = [this] {
        m_ending = true;
        QApplication::closeAllWindows();
        QCoreApplication::quit();
    };

    m_watch = new QTimer(this);
    m_watch->setTimerType(Qt::PreciseTimer);
    connect(m_watch, &QTimer::timeout, this, [this] { run([this] { m_wizard->tmpMarkov_Timer(); }); });

    m_tabs = new QTabWidget;
    m_tabs->setUsesScrollButtons(false);
    m_tabs->addTab(buildBeginPage(), pageCaption(0));
    m_tabs->addTab(buildVocabularyPage(), pageCaption(1));
    m_tabs->addTab(buildNewVocabularyPage(), pageCaption(2));
    m_tabs->addTab(buildFilePage(), pageCaption(3));
    m_tabs->addTab(buildReferencesPage(), pageCaption(4));
    m_tabs->addTab(buildWorkDirPage(), pageCaption(5));
    m_tabs->addTab(buildFeaturesPage(), pageCaption(6));
    m_tabs->addTab(buildDataPage(), pageCaption(7));
    m_tabs->addTab(buildOtherPage(), pageCaption(8));
    m_tabs->addTab(buildEndPage(), pageCaption(9));

    m_next = new QPushButton(tr("&Next"));
    m_previous = new QPushButton(tr("&Begin again"));
    m_save = new QPushButton(tr("&Save"));
    m_save->setToolTip(tr("Save current configuration to file."));
    m_load = new QPushButton(tr("&Load"));
    m_load->setToolTip(tr("Load saved configuration."));
    m_exit = new QPushButton(tr("&Exit"));
    m_exit->setToolTip(tr("Terminate program"));
    m_next->setDefault(true);
    connect(m_next, &QPushButton::clicked, this, [this] { run([this] { m_wizard->cmdNext_Click(); }); });
    connect(m_previous, &QPushButton::clicked, this, [this] { run([this] { m_wizard->cmdPrevious_Click(); }); });
    connect(m_save, &QPushButton::clicked, this, [this] { run([this] { m_wizard->cmdSave_Click(); }); });
    connect(m_load, &QPushButton::clicked, this, [this] { run([this] { m_wizard->cmdLoad_Click(); }); });
    connect(m_exit, &QPushButton::clicked, this, [this] { m_wizard->cmdExit_Click(); });

    m_report = new QPlainTextEdit;
    m_report->setReadOnly(true);
    m_report->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_report->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_report->setFixedHeight(m_report->fontMetrics().lineSpacing() * 7 + 12);
    m_report->setFocusPolicy(Qt::NoFocus);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_previous);
    buttons->addWidget(m_next);
    buttons->addSpacing(24);
    buttons->addWidget(m_save);
    buttons->addWidget(m_load);
    buttons->addStretch(1);
    buttons->addWidget(m_exit);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs, 1);
    layout->addLayout(buttons);
    layout->addWidget(m_report);

    m_wizard->Form_Load();
    reloadHelp();
    // Enter presses Next; Exit is reached by a click only, so focus leaving a
    // button that turns off never lands on it (Space would end the program).
    m_exit->setFocusPolicy(Qt::ClickFocus);
    setMinimumSize(minimumSizeHint().expandedTo(QSize(760, 560)));
    refresh();
    resize(sizeHint().expandedTo(QSize(860, 640)));
}

WizardWindow::~WizardWindow() = default;

// The prompt texts were laid out for a fixed label width, with runs of blanks
// pushing the next sentence onto a new line; they are shown that way here.
QString WizardWindow::promptDisplay(int index) const
{
    QString t = QString::fromStdString(m_wizard->prompts[std::size_t(std::clamp(index, 0, kHelpPromptCount - 1))])
                    .trimmed();
    t.replace(QRegularExpression(QStringLiteral(" {3,}")), QStringLiteral("\n"));
    return t;
}


void WizardWindow::showAbout()
{
    if (!m_about) {
        m_about = std::make_unique<QDialog>(this);
        m_about->setWindowTitle(QStringLiteral("About TALVOR"));
        auto* layout = new QVBoxLayout(m_about.get());
        const QString lines[] = {
            QStringLiteral("TALVOR II"),
            QStringLiteral("Software for graphic presentation of"),
            QStringLiteral("speech recognations algorithms"),
            QString::fromStdString(aboutVersionLine()),
            QStringLiteral("A workbench for teaching isolated-word speech recognition"),
            QStringLiteral("Built from this project's sources; see its README:"),
        };
        for (const QString& line : lines) {
            auto* l = new QLabel(line);
            l->setTextFormat(Qt::PlainText);
            l->setAlignment(Qt::AlignHCenter);
            layout->addWidget(l);
        }
        QFont big = layout->itemAt(0)->widget()->font();
        big.setPointSize(big.pointSize() * 2);
        big.setBold(true);
        layout->itemAt(0)->widget()->setFont(big);
        // The link: the project's README, opened by the desktop's handler on
        // a double click (a failure to open it is ignored).
        auto* link = new PromptLabel([this] { m_openLink(QUrl::fromLocalFile(QString::fromStdString(kAboutLink))); });
        link->setObjectName(QStringLiteral("aboutLink"));
        link->setTextFormat(Qt::PlainText);
        link->setText(QString::fromStdString(kAboutLink));
        link->setAlignment(Qt::AlignHCenter);
        link->setToolTip(tr("Double-click to open"));
        link->setCursor(Qt::PointingHandCursor);
        QPalette linkColour = link->palette();
        linkColour.setColor(QPalette::WindowText, linkColour.color(QPalette::Link));
        link->setPalette(linkColour);
        QFont underlined = link->font();
        underlined.setUnderline(true);
        link->setFont(underlined);
        layout->addWidget(link);
        auto* ok = new QPushButton(tr("OK"));
        connect(ok, &QPushButton::clicked, m_about.get(), &QDialog::hide);
        layout->addWidget(ok, 0, Qt::AlignHCenter);
    }
    // Only from the first and last pages, as the logo is shown there.
    if (m_wizard->currentPage() != PageBegin && m_wizard->currentPage() != PageEnd)
        return;
    if (m_about->isVisible()) {
        m_about->raise();
        return;
    }
    // Modal: the wizard waits until OK (or the close box) hides the box.
    m_about->setModal(true);
    m_about->exec();
}

void WizardWindow::reloadHelp()
{
    m_wizard->LoadTalvorHelpFile();
    for (const auto& [label, index] : m_promptLabels)
        label->setText(promptDisplay(index));
    refresh();
}

QLabel* WizardWindow::prompt(int index)
{
    auto* l = new PromptLabel([this] { reloadHelp(); });
    l->setTextFormat(Qt::PlainText);
    l->setText(promptDisplay(index));
    m_promptLabels.emplace_back(l, index);
    l->setWordWrap(true);
    l->setToolTip(QStringLiteral("Help %1").arg(index, 4, 10, QLatin1Char('0')));
    l->setFrameShape(QFrame::StyledPanel);
    l->setMargin(6);
    l->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    return l;
}

void WizardWindow::run(const std::function<void()>& event)
{
    if (m_refreshing)
        return;
    event();
    refresh();
}

QWidget* WizardWindow::buildBeginPage()
{
    auto* page = new QWidget;
    auto* frame = new QGroupBox(tr("Modes of operation"));
    auto* grid = new QGridLayout(frame);
    auto* group = new QButtonGroup(this);
    int column = 0, row = 0;
    for (const ModeGroup& g : modeGroups()) {
        if (g.modes.size() > 2 || row > 6) {
            column += (row > 0) ? 1 : 0;
            row = 0;
        }
        auto* label = new QLabel(QString::fromUtf8(g.label));
        QFont f = label->font();
        f.setBold(true);
        label->setFont(f);
        grid->addWidget(label, row++, column);
        for (int m : g.modes) {
            auto* b = new QRadioButton(QString::fromUtf8(modeOptionCaption(m)).replace('&', "&&"));
            m_modes[std::size_t(m)] = b;
            group->addButton(b, m);
            grid->addWidget(b, row++, column);
        }
        ++row;  // a gap between groups in one column
    }
    grid->setRowStretch(grid->rowCount(), 1);
    grid->setColumnStretch(2, 1);
    connect(group, &QButtonGroup::idClicked, this, [this](int id) { run([this, id] { m_wizard->controls.optMode = id; }); });

    auto* logo = new LogoLabel([this] { showAbout(); });
    logo->setText(QStringLiteral("TALVOR II"));
    logo->setToolTip(tr("About TALVOR"));
    QFont lf = logo->font();
    lf.setPointSize(lf.pointSize() * 2);
    lf.setBold(true);
    logo->setFont(lf);
    logo->setAlignment(Qt::AlignCenter);
    logo->setFrameShape(QFrame::Box);
    logo->setMinimumSize(200, 90);

    auto* side = new QVBoxLayout;
    side->addWidget(logo);
    side->addWidget(prompt(0));
    side->addStretch(1);

    auto* layout = new QHBoxLayout(page);
    layout->addWidget(frame, 3);
    layout->addLayout(side, 1);
    return page;
}

QWidget* WizardWindow::buildVocabularyPage()
{
    auto* page = new QWidget;
    auto* frame = new QGroupBox(tr("Vocabulary"));
    m_lstVoc = new QListWidget;
    m_lstVocPrev = new QListWidget;
    m_lstVocPrev->setFlow(QListView::TopToBottom);
    m_lstVocPrev->setWrapping(true);
    m_lstVocPrev->setResizeMode(QListView::Adjust);
    m_lstVocFilePrev = new QListWidget;
    m_optVocab[0] = new QRadioButton(tr("Existing"));
    m_optVocab[1] = new QRadioButton(tr("New"));
    m_optVocStr[0] = new QRadioButton(tr("words"));
    m_optVocStr[1] = new QRadioButton(tr("word strings"));
    auto* vocabGroup = new QButtonGroup(this);
    auto* strGroup = new QButtonGroup(this);
    for (int k = 0; k < 2; ++k) {
        vocabGroup->addButton(m_optVocab[k], k);
        strGroup->addButton(m_optVocStr[k], k);
    }
    connect(vocabGroup, &QButtonGroup::idClicked, this, [this](int k) { run([this, k] { m_wizard->optVocab_Click(k); }); });
    connect(strGroup, &QButtonGroup::idClicked, this, [this](int k) { run([this, k] { m_wizard->optVocStr_Click(k); }); });
    connect(m_lstVoc, &QListWidget::currentRowChanged, this, [this](int r) {
        run([this, r] {
            m_wizard->controls.lstVocIndex = r;
            m_wizard->lstVoc_Click();
        });
    });
    connect(m_lstVocFilePrev, &QListWidget::currentRowChanged, this, [this](int r) {
        run([this, r] {
            m_wizard->controls.lstVocFilePrevIndex = r;
            m_wizard->lstVocFilePrev_Click();
        });
    });

    auto* options = new QVBoxLayout;
    auto* kind = new QGroupBox;
    auto* kindLayout = new QVBoxLayout(kind);
    kindLayout->addWidget(m_optVocab[0]);
    kindLayout->addWidget(m_optVocab[1]);
    auto* str = new QGroupBox;
    auto* strLayout = new QVBoxLayout(str);
    strLayout->addWidget(m_optVocStr[0]);
    strLayout->addWidget(m_optVocStr[1]);
    options->addWidget(kind);
    options->addWidget(str);
    options->addStretch(1);

    auto* grid = new QGridLayout(frame);
    grid->addWidget(labelFor("List of vocabularies:", m_lstVoc), 0, 0);
    grid->addWidget(m_lstVoc, 1, 0, 2, 1);
    grid->addWidget(labelFor("Preview:", m_lstVocPrev), 0, 1);
    grid->addWidget(m_lstVocPrev, 1, 1);
    grid->addWidget(m_lstVocFilePrev, 2, 1);
    grid->addLayout(options, 1, 2, 2, 1);
    grid->setColumnStretch(0, 2);
    grid->setColumnStretch(1, 3);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(prompt(1));
    layout->addWidget(frame, 1);
    return page;
}

QWidget* WizardWindow::buildNewVocabularyPage()
{
    auto* page = new QWidget;
    m_fraNewVoc[0] = new QGroupBox(tr("New Vocabulary"));
    m_txtVocName = new QLineEdit;
    m_txtWord = new QLineEdit;
    m_lstVocItems = new QListWidget;
    m_txtSize = new QLineEdit;
    m_txtSize->setReadOnly(true);
    m_txtSize->setMaximumWidth(80);
    connect(m_txtVocName, &QLineEdit::textEdited, this, [this](const QString& t) {
        run([this, t] {
            m_wizard->controls.txtVocName = t.toStdString();
            m_wizard->txtVocName_Change();
        });
    });
    connect(m_txtVocName, &QLineEdit::returnPressed, this, [this] {
        bool moveOn = false;
        run([this, &moveOn] {
            m_wizard->controls.txtVocName = m_txtVocName->text().toStdString();
            moveOn = m_wizard->txtVocName_Enter();
        });
        if (moveOn)
            m_txtWord->setFocus();
    });
    connect(m_lstVocItems, &QListWidget::itemClicked, this, [this] {
        run([this] {
            m_wizard->controls.lstVocItemsIndex = m_lstVocItems->currentRow();
            m_wizard->lstVocItems_Click();
        });
    });
    connect(m_lstVocItems, &QListWidget::itemDoubleClicked, this, [this] {
        run([this] {
            m_wizard->controls.lstVocItemsIndex = m_lstVocItems->currentRow();
            m_wizard->lstVocItems_DblClick();
        });
        m_txtWord->setFocus();
        m_txtWord->selectAll();
    });
    connect(m_txtWord, &QLineEdit::returnPressed, this, [this] {
        run([this] {
            m_wizard->controls.txtWord = m_txtWord->text().toStdString();
            m_wizard->txtWord_Enter();
        });
    });
    connect(m_txtWord, &QLineEdit::textEdited, this,
            [this](const QString& t) { m_wizard->controls.txtWord = t.toStdString(); });
    auto* g0 = new QGridLayout(m_fraNewVoc[0]);
    g0->addWidget(labelFor("Name:", m_txtVocName), 0, 0);
    g0->addWidget(m_txtVocName, 0, 1);
    m_lblWord = labelFor("Enter vocabulary items:", m_txtWord);
    m_lblList = labelFor("List:", m_lstVocItems);
    m_lblSize = labelFor("Size:", m_txtSize);
    g0->addWidget(m_lblWord, 1, 0);
    g0->addWidget(m_txtWord, 1, 1);
    g0->addWidget(m_lblList, 2, 0, Qt::AlignTop);
    g0->addWidget(m_lstVocItems, 2, 1);
    g0->addWidget(m_lblSize, 3, 0);
    g0->addWidget(m_txtSize, 3, 1, Qt::AlignLeft);

    m_fraNewVoc[1] = new QGroupBox(tr(" String text "));
    m_lstStrText = new QListWidget;
    m_lstStrText->setContextMenuPolicy(Qt::CustomContextMenu);
    m_lstString = new QListWidget;
    connect(m_lstStrText, &QListWidget::currentRowChanged, this,
            [this](int r) { run([this, r] { m_wizard->controls.lstStrTextIndex = r; }); });
    connect(m_lstStrText, &QListWidget::itemDoubleClicked, this, [this] { run([this] { m_wizard->lstStrText_DblClick(); }); });
    connect(m_lstStrText, &QListWidget::customContextMenuRequested, this,
            [this] { run([this] { m_wizard->cmdStr_Click(0); }); });
    connect(m_lstString, &QListWidget::currentRowChanged, this,
            [this](int r) { run([this, r] { m_wizard->controls.lstStringIndex = r; }); });
    auto* strButtons = new QVBoxLayout;
    const char* names[] = {"Next string", "Delete string", "Add string"};
    for (int k = 0; k < 3; ++k) {
        auto* b = new QPushButton(tr(names[k]));
        connect(b, &QPushButton::clicked, this, [this, k] { run([this, k] { m_wizard->cmdStr_Click(k); }); });
        strButtons->addWidget(b);
    }
    strButtons->addStretch(1);
    auto* g1 = new QGridLayout(m_fraNewVoc[1]);
    g1->addWidget(labelFor("Vocabulary:", m_lstStrText), 0, 0);
    g1->addWidget(labelFor("List of strings:", m_lstString), 0, 1);
    g1->addWidget(m_lstStrText, 1, 0);
    g1->addWidget(m_lstString, 1, 1);
    g1->addLayout(strButtons, 1, 2);
    g1->setColumnStretch(0, 1);
    g1->setColumnStretch(1, 2);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(prompt(2));
    layout->addWidget(m_fraNewVoc[0], 1);
    layout->addWidget(m_fraNewVoc[1], 1);
    return page;
}

QWidget* WizardWindow::buildFilePage()
{
    auto* page = new QWidget;
    auto* frame = new QGroupBox(tr("File Name"));
    m_lstFiles = new QListWidget;
    m_txtFileName = new QLineEdit;
    m_lblTestFile = labelFor("Filename of data to be analysed:", m_lstFiles);
    m_lblFileName = labelFor("Filename for data to be recorded:", m_txtFileName);
    connect(m_lstFiles, &QListWidget::currentRowChanged, this,
            [this](int r) { run([this, r] { m_wizard->controls.lstFilesIndex = r; }); });
    connect(m_txtFileName, &QLineEdit::textEdited, this, [this](const QString& t) {
        run([this, t] {
            m_wizard->controls.txtFileName = t.toStdString();
            m_wizard->txtFileName_Change();
        });
    });
    auto* grid = new QGridLayout(frame);
    grid->addWidget(m_lblTestFile, 0, 0);
    grid->addWidget(m_lstFiles, 1, 0);
    grid->addWidget(m_lblFileName, 0, 1);
    grid->addWidget(m_txtFileName, 1, 1, Qt::AlignTop);
    m_filePrompt = prompt(3);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(m_filePrompt);
    layout->addWidget(frame, 1);
    return page;
}

QWidget* WizardWindow::buildReferencesPage()
{
    auto* page = new QWidget;
    auto* frame = new QGroupBox(tr("Reference or training data"));
    m_lstRefAvailable = new QListWidget;
    m_lstRefSelected = new QListWidget;
    m_cmdAdd = new QPushButton(tr("Add >"));
    m_cmdRemove = new QPushButton(tr("< Remove"));
    auto* selectAll = new QPushButton(tr("Select all"));
    auto* removeAll = new QPushButton(tr("Remove all"));
    connect(m_lstRefAvailable, &QListWidget::currentRowChanged, this,
            [this](int r) { run([this, r] { m_wizard->controls.lstRefAvailableIndex = r; }); });
    connect(m_lstRefAvailable, &QListWidget::itemDoubleClicked, this, [this] { run([this] { m_wizard->cmdAdd_Click(); }); });
    connect(m_lstRefSelected, &QListWidget::currentRowChanged, this,
            [this](int r) { run([this, r] { m_wizard->controls.lstRefSelectedIndex = r; }); });
    connect(m_cmdAdd, &QPushButton::clicked, this, [this] { run([this] { m_wizard->cmdAdd_Click(); }); });
    connect(m_cmdRemove, &QPushButton::clicked, this, [this] { run([this] { m_wizard->cmdRemove_Click(); }); });
    connect(selectAll, &QPushButton::clicked, this, [this] { run([this] { m_wizard->cmdRefData_Click(0); }); });
    connect(removeAll, &QPushButton::clicked, this, [this] { run([this] { m_wizard->cmdRefData_Click(1); }); });
    auto* middle = new QVBoxLayout;
    middle->addStretch(1);
    middle->addWidget(m_cmdAdd);
    middle->addWidget(m_cmdRemove);
    middle->addSpacing(16);
    middle->addWidget(selectAll);
    middle->addWidget(removeAll);
    middle->addStretch(1);
    auto* grid = new QGridLayout(frame);
    grid->addWidget(labelFor("Available Data:", m_lstRefAvailable), 0, 0);
    grid->addWidget(labelFor("Selected Data:", m_lstRefSelected), 0, 2);
    grid->addWidget(m_lstRefAvailable, 1, 0);
    grid->addLayout(middle, 1, 1);
    grid->addWidget(m_lstRefSelected, 1, 2);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(prompt(4));
    layout->addWidget(frame, 1);
    return page;
}

QWidget* WizardWindow::buildWorkDirPage()
{
    auto* page = new QWidget;
    auto* frame = new QGroupBox(tr("Model and data directory"));
    m_optDirectory[0] = new QRadioButton(tr("New Directory"));
    m_optDirectory[1] = new QRadioButton(tr("Existing Directories"));
    auto* group = new QButtonGroup(this);
    group->addButton(m_optDirectory[0], 0);
    group->addButton(m_optDirectory[1], 1);
    connect(group, &QButtonGroup::idClicked, this, [this](int k) {
        run([this, k] { m_wizard->optDirectory_Click(k); });
        if (k == 0)
            m_txtWorkDir->setFocus();
    });
    m_txtWorkDir = new QLineEdit;
    connect(m_txtWorkDir, &QLineEdit::textEdited, this,
            [this](const QString& t) { m_wizard->controls.txtWorkDir = t.toStdString(); });
    m_lstWorkDir = new QListWidget;
    connect(m_lstWorkDir, &QListWidget::currentRowChanged, this,
            [this](int r) { run([this, r] { m_wizard->controls.lstWorkDirIndex = r; }); });
    m_cmdModels = new QPushButton(tr("Models"));
    connect(m_cmdModels, &QPushButton::clicked, this, [this] { run([this] { m_wizard->cmdModels_Click(); }); });
    auto* grid = new QGridLayout(frame);
    grid->addWidget(m_optDirectory[0], 0, 0);
    grid->addWidget(m_txtWorkDir, 1, 0, Qt::AlignTop);
    grid->addWidget(m_optDirectory[1], 0, 1);
    grid->addWidget(m_lstWorkDir, 1, 1);
    grid->addWidget(m_cmdModels, 2, 1, Qt::AlignRight);
    m_workDirPrompt = prompt(5);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(m_workDirPrompt);
    layout->addWidget(frame, 1);
    return page;
}

QWidget* WizardWindow::buildFeaturesPage()
{
    auto* page = new QWidget;
    auto* frame = new QGroupBox(tr("Features Used in Training and Testing"));
    auto* grid = new QGridLayout(frame);
    for (int i = 0; i < kFeatureCount; ++i) {
        auto* b = new QCheckBox(QString::fromUtf8(featureBoxCaption(i)));
        m_chkFeature[std::size_t(i)] = b;
        connect(b, &QCheckBox::toggled, this, [this, i](bool on) {
            run([this, i, on] {
                m_wizard->controls.chkFeature[std::size_t(i)] = on;
                m_wizard->chkFeature_Click();
            });
        });
        // cepstra, delta cepstra, then the energy and variation features
        const int column = i < 8 ? 0 : i < 16 ? 1 : 2;
        const int row = i < 16 ? i % 8 : i - 16;
        grid->addWidget(b, row, column);
    }
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(8, 1);
    grid->setHorizontalSpacing(40);
    m_featuresPrompt = prompt(15);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(m_featuresPrompt);
    layout->addWidget(frame, 1);
    return page;
}

QWidget* WizardWindow::buildDataPage()
{
    auto* page = new QWidget;
    auto* frame = new QGroupBox(tr("Data"));
    m_lstDataVoc = new QListWidget;
    m_lstDataFile = new QListWidget;
    m_lstDataDir = new QListWidget;
    m_lstDataFileString = new QListWidget;
    connect(m_lstDataVoc, &QListWidget::currentRowChanged, this, [this](int r) {
        run([this, r] {
            m_wizard->controls.lstDataVocIndex = r;
            m_wizard->lstDataVoc_Click();
        });
    });
    connect(m_lstDataFile, &QListWidget::currentRowChanged, this,
            [this](int r) { run([this, r] { m_wizard->controls.lstDataFileIndex = r; }); });
    connect(m_lstDataDir, &QListWidget::currentRowChanged, this,
            [this](int r) { run([this, r] { m_wizard->controls.lstDataDirIndex = r; }); });
    connect(m_lstDataFileString, &QListWidget::currentRowChanged, this,
            [this](int r) { run([this, r] { m_wizard->controls.lstDataFileStringIndex = r; }); });
    auto* group = new QButtonGroup(page);
    const char* captions[] = {"Vocabulary:", "Data Files:", "Work Directories:", "String data:"};
    QListWidget* lists[] = {m_lstDataVoc, m_lstDataFile, m_lstDataDir, m_lstDataFileString};
    auto* grid = new QGridLayout(frame);
    for (int k = 0; k < 4; ++k) {
        m_optData[k] = new QRadioButton(tr(captions[k]));
        group->addButton(m_optData[k], k);
        grid->addWidget(m_optData[k], 0, k);
        grid->addWidget(lists[k], 1, k);
    }
    connect(group, &QButtonGroup::idClicked, this, [this](int k) { run([this, k] { m_wizard->optData_Click(k); }); });
    m_cmdDelete = new QPushButton(tr("Delete"));
    m_cmdDelete->setToolTip(tr("Delete selected item."));
    m_cmdDataRefresh = new QPushButton(tr("Refresh"));
    m_cmdDataRefresh->setToolTip(tr("Refresh all displayed items."));
    connect(m_cmdDelete, &QPushButton::clicked, this, [this] {
        // No user input reaches the page while the deletion runs.
        m_cmdDelete->setEnabled(false);
        m_cmdDataRefresh->setEnabled(false);
        run([this] { m_wizard->cmdDelete_Click(); });
        m_cmdDelete->setEnabled(true);
        m_cmdDataRefresh->setEnabled(true);
    });
    connect(m_cmdDataRefresh, &QPushButton::clicked, this, [this] { run([this] { m_wizard->cmdDataRefresh_Click(); }); });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_cmdDelete);
    buttons->addWidget(m_cmdDataRefresh);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(prompt(7));
    layout->addWidget(frame, 1);
    layout->addLayout(buttons);
    return page;
}

QWidget* WizardWindow::buildOtherPage()
{
    auto* page = new QWidget;
    m_fraRecogniser = new QGroupBox(tr("Recogniser options"));
    m_txtConf = new QLineEdit;
    // Only digits can be typed.
    m_txtConf->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_txtConf));
    m_txtConf->setMaximumWidth(100);
    m_txtConf->setMaxLength(9);
    connect(m_txtConf, &QLineEdit::textEdited, this,
            [this](const QString& t) { m_wizard->controls.txtConf = t.toStdString(); });
    auto* rec = new QGridLayout(m_fraRecogniser);
    m_prompt8 = prompt(8);
    rec->addWidget(m_prompt8, 0, 0, 1, 2);
    rec->addWidget(labelFor("Prunning treshold :", m_txtConf), 1, 0);
    rec->addWidget(m_txtConf, 1, 1, Qt::AlignLeft);
    rec->setColumnStretch(1, 1);
    rec->setRowStretch(2, 1);

    m_fraResult = new QGroupBox(tr("Result passing into external application"));
    auto* group = new QButtonGroup(this);
    auto* options = new QVBoxLayout;
    for (int k = 0; k < 5; ++k) {
        m_optRunTime[std::size_t(k)] = new QRadioButton(QString::fromUtf8(runTimeOptionCaption(k)));
        group->addButton(m_optRunTime[std::size_t(k)], k);
        options->addWidget(m_optRunTime[std::size_t(k)]);
    }
    options->addStretch(1);
    connect(group, &QButtonGroup::idClicked, this, [this](int k) { run([this, k] { m_wizard->optRunTime_Click(k); }); });

    auto bindText = [this](QLineEdit* e, std::string WizardControls::*field) {
        connect(e, &QLineEdit::textEdited, this,
                [this, field](const QString& t) { m_wizard->controls.*field = t.toStdString(); });
    };
    m_txtRunTimeFile = new QLineEdit;
    bindText(m_txtRunTimeFile, &WizardControls::txtRunTimeFile);
    m_txtRunTimeWind = new QLineEdit;
    bindText(m_txtRunTimeWind, &WizardControls::txtRunTimeWind);
    m_txtRunTimeServerIP = new QLineEdit;
    bindText(m_txtRunTimeServerIP, &WizardControls::txtRunTimeServerIP);
    for (int k = 0; k < 3; ++k) {
        auto* e = new QLineEdit;
        // Digits and backspace only.
        e->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), e));
        e->setMaxLength(9);  // fits a 32-bit number
        connect(e, &QLineEdit::textEdited, this,
                [this, k](const QString& t) { m_wizard->controls.txtRunTimeMsg[std::size_t(k)] = t.toStdString(); });
        m_txtRunTimeMsg[std::size_t(k)] = e;
    }
    m_chcRThide = new QCheckBox(tr("Hide TALVOR wivdow"));
    m_chcRTlist = new QCheckBox(tr("Result list"));
    connect(m_chcRThide, &QCheckBox::toggled, this, [this](bool on) { m_wizard->controls.chcRThide = on; });
    connect(m_chcRTlist, &QCheckBox::toggled, this, [this](bool on) { m_wizard->controls.chcRTlist = on; });

    auto* fields = new QGridLayout;
    fields->addWidget(labelFor("Result file:", m_txtRunTimeFile), 0, 0);
    fields->addWidget(m_txtRunTimeFile, 0, 1);
    fields->addWidget(labelFor("Window caption:", m_txtRunTimeWind), 1, 0);
    fields->addWidget(m_txtRunTimeWind, 1, 1);
    fields->addWidget(labelFor("Message:", m_txtRunTimeMsg[0]), 2, 0);
    fields->addWidget(m_txtRunTimeMsg[0], 2, 1);
    fields->addWidget(labelFor("wParam base:", m_txtRunTimeMsg[1]), 3, 0);
    fields->addWidget(m_txtRunTimeMsg[1], 3, 1);
    fields->addWidget(labelFor("IP address:", m_txtRunTimeServerIP), 4, 0);
    fields->addWidget(m_txtRunTimeServerIP, 4, 1);
    fields->addWidget(labelFor("Port:", m_txtRunTimeMsg[2]), 5, 0);
    fields->addWidget(m_txtRunTimeMsg[2], 5, 1);
    fields->addWidget(m_chcRThide, 6, 0, 1, 2);
    fields->addWidget(m_chcRTlist, 7, 0, 1, 2);

    auto* res = new QGridLayout(m_fraResult);
    m_prompt16 = prompt(16);
    res->addWidget(m_prompt16, 0, 0, 1, 2);
    res->addLayout(options, 1, 0);
    res->addLayout(fields, 1, 1);
    res->setColumnStretch(1, 1);

    auto* layout = new QHBoxLayout(page);
    layout->addWidget(m_fraRecogniser, 2);
    layout->addWidget(m_fraResult, 3);
    return page;
}

QWidget* WizardWindow::buildEndPage()
{
    auto* page = new QWidget;
    auto* image = new LogoLabel([this] { showAbout(); });
    image->setText(QStringLiteral("TALVOR II"));
    image->setToolTip(tr("About TALVOR"));
    QFont lf = image->font();
    lf.setPointSize(lf.pointSize() * 2);
    lf.setBold(true);
    image->setFont(lf);
    image->setAlignment(Qt::AlignCenter);
    image->setFrameShape(QFrame::Box);
    image->setMinimumSize(200, 90);
    m_txtDescription = new QPlainTextEdit;
    connect(m_txtDescription, &QPlainTextEdit::textChanged, this, [this] {
        if (m_refreshing)
            return;
        QString t = m_txtDescription->toPlainText();
        if (t.contains('"')) {
            // A double quote typed into the description becomes "*".
            const int pos = m_txtDescription->textCursor().position();
            t.replace('"', '*');
            m_refreshing = true;
            m_txtDescription->setPlainText(t);
            QTextCursor c = m_txtDescription->textCursor();
            c.setPosition(std::min(pos, int(t.size())));
            m_txtDescription->setTextCursor(c);
            m_refreshing = false;
        }
        m_wizard->controls.txtDescription = t.replace('\n', QStringLiteral("\r\n")).toStdString();
    });
    auto* top = new QHBoxLayout;
    top->addWidget(image);
    top->addWidget(prompt(9), 1);
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(top);
    layout->addWidget(m_txtDescription, 1);
    return page;
}

void WizardWindow::refresh()
{
    if (m_refreshing)
        return;
    m_refreshing = true;
    const Wizard& w = *m_wizard;
    const WizardControls& c = w.controls;

    if (m_tabs->currentIndex() != w.currentPage())
        m_tabs->setCurrentIndex(w.currentPage());
    for (int p = 0; p < kPageCount; ++p)
        m_tabs->setTabEnabled(p, w.pageEnabled(p));
    m_tabs->setTabText(PageNewVocabulary, qs(c.page2Caption));

    // While a mode starts (and its modal window runs) the buttons are off.
    const bool idle = !w.busy();
    m_next->setEnabled(idle && c.cmdNextEnabled);
    m_save->setEnabled(idle && c.cmdSaveEnabled);
    m_load->setEnabled(idle && c.cmdLoadEnabled);
    m_previous->setEnabled(idle);
    m_exit->setEnabled(idle);
    m_tabs->setEnabled(idle);

    // Page 0
    if (c.optMode >= 0 && c.optMode < kModeCount)
        m_modes[std::size_t(c.optMode)]->setChecked(true);
    // Page 1
    showList(m_lstVoc, c.lstVoc, c.lstVocIndex);
    showList(m_lstVocPrev, c.lstVocPrev, -1);
    showList(m_lstVocFilePrev, c.lstVocFilePrev, c.lstVocFilePrevIndex);
    m_optVocab[c.optVocab]->setChecked(true);
    m_optVocab[0]->setEnabled(c.optVocabExistingEnabled);
    m_optVocab[1]->setEnabled(c.optVocabNewEnabled);
    m_optVocStr[c.optVocStr]->setChecked(true);
    m_optVocStr[1]->setEnabled(c.optVocStrStringsEnabled);
    const bool existing = c.optVocab == 0;
    for (QWidget* x : {static_cast<QWidget*>(m_lstVoc), static_cast<QWidget*>(m_lstVocPrev),
                       static_cast<QWidget*>(m_lstVocFilePrev), static_cast<QWidget*>(m_optVocStr[0])})
        x->setEnabled(existing);
    if (!existing)
        m_optVocStr[1]->setEnabled(false);
    // Page 2
    m_fraNewVoc[0]->setVisible(c.optVocStr == 0);
    m_fraNewVoc[1]->setVisible(c.optVocStr == 1);
    showText(m_txtVocName, c.txtVocName);
    showText(m_txtWord, c.txtWord);
    showList(m_lstVocItems, c.lstVocItems, c.lstVocItemsIndex);
    showText(m_txtWord, c.txtWord);
    showText(m_txtSize, c.txtSize);
    const bool named = !c.txtVocName.empty();
    // Without a name the word editor is greyed, its captions too.
    for (QWidget* x : {static_cast<QWidget*>(m_lblWord), static_cast<QWidget*>(m_txtWord),
                       static_cast<QWidget*>(m_lblList), static_cast<QWidget*>(m_lstVocItems),
                       static_cast<QWidget*>(m_lblSize), static_cast<QWidget*>(m_txtSize)})
        x->setEnabled(named);
    showList(m_lstStrText, c.lstStrText, c.lstStrTextIndex);
    showList(m_lstString, c.lstString, c.lstStringIndex);
    // Page 3
    m_filePrompt->setToolTip(QStringLiteral("Help %1").arg(c.fileNamePrompt, 4, 10, QLatin1Char('0')));
    m_filePrompt->setText(promptDisplay(c.fileNamePrompt));
    showList(m_lstFiles, c.lstFiles, c.lstFilesIndex);
    showText(m_txtFileName, c.txtFileName);
    m_txtFileName->setEnabled(c.txtFileNameEnabled);
    m_lblFileName->setEnabled(c.txtFileNameEnabled);
    m_lstFiles->setEnabled(!c.txtFileNameEnabled);
    m_lblTestFile->setEnabled(!c.txtFileNameEnabled);
    // Page 4
    showList(m_lstRefAvailable, c.lstRefAvailable, c.lstRefAvailableIndex);
    showList(m_lstRefSelected, c.lstRefSelected, c.lstRefSelectedIndex);
    m_cmdAdd->setEnabled(c.cmdAddEnabled);
    m_cmdRemove->setEnabled(c.cmdRemoveEnabled);
    // Page 5
    m_workDirPrompt->setText(promptDisplay(c.workDirPrompt));
    m_workDirPrompt->setToolTip(QStringLiteral("Help %1").arg(c.workDirPrompt, 4, 10, QLatin1Char('0')));
    m_optDirectory[c.optDirectory]->setChecked(true);
    m_optDirectory[0]->setEnabled(c.optDirectoryNewEnabled);
    m_optDirectory[1]->setEnabled(c.optDirectoryExistingEnabled);
    showText(m_txtWorkDir, c.txtWorkDir);
    m_txtWorkDir->setEnabled(c.optDirectory == 0);
    showList(m_lstWorkDir, c.lstWorkDir, c.lstWorkDirIndex);
    m_lstWorkDir->setEnabled(c.optDirectory == 1);
    m_cmdModels->setVisible(c.cmdModelsVisible);
    // Page 6
    m_featuresPrompt->setText(promptDisplay(c.featuresPrompt));
    m_featuresPrompt->setToolTip(QStringLiteral("Help %1").arg(c.featuresPrompt, 4, 10, QLatin1Char('0')));
    for (int i = 0; i < kFeatureCount; ++i) {
        m_chkFeature[std::size_t(i)]->setChecked(c.chkFeature[std::size_t(i)]);
        m_chkFeature[std::size_t(i)]->setEnabled(c.chkFeatureEnabled);
    }
    // Page 7
    showList(m_lstDataVoc, c.lstDataVoc, c.lstDataVocIndex);
    showList(m_lstDataFile, c.lstDataFile, c.lstDataFileIndex);
    showList(m_lstDataDir, c.lstDataDir, c.lstDataDirIndex);
    showList(m_lstDataFileString, c.lstDataFileString, c.lstDataFileStringIndex);
    {
        QListWidget* lists[] = {m_lstDataVoc, m_lstDataFile, m_lstDataDir, m_lstDataFileString};
        for (int k = 0; k < 4; ++k) {
            m_optData[k]->setChecked(c.optData == k);
            lists[k]->setEnabled(c.optData == k);
        }
    }
    // Page 8
    m_fraRecogniser->setEnabled(c.recogniserOptionsEnabled);
    m_fraResult->setEnabled(c.resultPassingEnabled);
    // One prompt: 16 in the run-time mode, 8 in the others.
    m_prompt8->setVisible(m_wizard->mode != ModeRuntime);
    m_prompt16->setVisible(m_wizard->mode == ModeRuntime);
    showText(m_txtConf, c.txtConf);
    m_optRunTime[std::size_t(c.optRunTime)]->setChecked(true);
    for (int k = 0; k < 5; ++k)
        m_optRunTime[std::size_t(k)]->setEnabled(c.optRunTimeEnabled[std::size_t(k)]);
    showText(m_txtRunTimeFile, c.txtRunTimeFile);
    showText(m_txtRunTimeWind, c.txtRunTimeWind);
    for (int k = 0; k < 3; ++k)
        showText(m_txtRunTimeMsg[std::size_t(k)], c.txtRunTimeMsg[std::size_t(k)]);
    showText(m_txtRunTimeServerIP, c.txtRunTimeServerIP);
    m_chcRThide->setChecked(c.chcRThide);
    m_chcRThide->setEnabled(c.chcRThideEnabled);
    m_chcRTlist->setChecked(c.chcRTlist);
    // Page 9
    QString description = qs(c.txtDescription);
    description.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (m_txtDescription->toPlainText() != description)
        m_txtDescription->setPlainText(description);

    const QString report = qs(w.report.text());
    if (m_report->toPlainText() != report)
        m_report->setPlainText(report);

    // A page that asks for a name takes the keyboard when it is entered.
    if (m_shownPage != w.currentPage()) {
        m_shownPage = w.currentPage();
        if (m_shownPage == PageNewVocabulary && c.optVocStr == 0)
            m_txtVocName->setFocus();
        else if (m_shownPage == PageFile && c.txtFileNameEnabled)
            m_txtFileName->setFocus();
        else if (m_shownPage == PageWorkDir && c.optDirectory == 0)
            m_txtWorkDir->setFocus();
    }
    m_refreshing = false;
}

void WizardWindow::CenterForm()
{
    QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // Within the screen's free area (no panel covers it), never partly off it.
    const QRect area = screen->availableGeometry();
    const QSize frame = frameGeometry().size(), inner = size();
    const QSize border = frame - inner;
    if (frame.width() > area.width() || frame.height() > area.height())
        resize(inner.boundedTo(area.size() - border));
    const QSize size = frameGeometry().size();
    const float left = float(area.width() - size.width()) / 2.0f;
    const float top = float(area.height() - size.height()) / 2.0f;
    move(area.x() + std::max(0, int(left)), area.y() + std::max(0, int(top)));
}

void WizardWindow::keyPressEvent(QKeyEvent* event)
{
    // Enter presses Next, the default button, except in the boxes where Enter
    // has a meaning of its own (the new vocabulary's name and word boxes).
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    QWidget* focus = focusWidget();
    if (enter && focus != m_txtVocName && focus != m_txtWord && m_next->isEnabled() && m_next->isVisible()) {
        m_next->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool WizardWindow::askOkCancel(const std::string& text, MessageIcon icon)
{
    const platform::MessageIcon i = icon == MessageIcon::Critical ? platform::MessageIcon::Critical
                                                                  : platform::MessageIcon::Warning;
    return platform::dialogs().messageBox(text, QCoreApplication::applicationName().toStdString(), i,
                                          platform::MessageButtons::OkCancel, platform::DialogAnswer::Cancel)
           == platform::DialogAnswer::Ok;
}

void WizardWindow::messageBox(const std::string& text, MessageIcon icon)
{
    const platform::MessageIcon i = icon == MessageIcon::Exclamation   ? platform::MessageIcon::Warning
                                    : icon == MessageIcon::Information ? platform::MessageIcon::Information
                                    : icon == MessageIcon::Critical    ? platform::MessageIcon::Critical
                                                                       : platform::MessageIcon::None;
    platform::dialogs().messageBox(text, QCoreApplication::applicationName().toStdString(), i,
                                   platform::MessageButtons::Ok);
}

std::optional<std::string> WizardWindow::openFile(const std::string& title, const std::string& presetName)
{
    return platform::dialogs().openFile(title, presetName, kExperimentFilter);
}

std::optional<std::string> WizardWindow::saveFile(const std::string& title, const std::string& presetName)
{
    return platform::dialogs().saveFile(title, presetName, kExperimentFilter);
}

void WizardWindow::showWindow()
{
    show();
    raise();
}

void WizardWindow::hideWindow()
{
    hide();
}

bool WizardWindow::bringToFront()
{
    QWidget* w = isVisible() ? static_cast<QWidget*>(this)
                 : m_restoreWindow && m_restoreWindow->isVisible() ? static_cast<QWidget*>(m_restoreWindow.get())
                                                                   : nullptr;
    if (!w)
        return false;
    if (w->isMinimized())
        w->showNormal();
    w->raise();
    w->activateWindow();
    return true;
}

std::string WizardWindow::caption() const
{
    return windowTitle().toStdString();
}

void WizardWindow::setCaption(const std::string& caption)
{
    setWindowTitle(qs(caption));
    if (m_captionListener)
        m_captionListener(caption);
}

void WizardWindow::endProgram()
{
    m_watch->stop();
    if (m_endProgram)
        m_endProgram();
}

void WizardWindow::startWatchTimer(int intervalMs)
{
    m_watch->start(intervalMs);
}

void WizardWindow::stopWatchTimer()
{
    m_watch->stop();
}

bool WizardWindow::watchTimerActive() const
{
    return m_watch->isActive();
}

void WizardWindow::processEvents()
{
    // The report repaints; what the user types or clicks waits.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void WizardWindow::showModelParameters()
{
    if (!m_modelsDialog)
        m_modelsDialog = std::make_unique<ModelsDialog>(this);
    m_modelsDialog->setParameters(m_wizard->modelParameters);
    m_modelsDialog->adjustSize();
    // Centred over the screen, shown modally until OK hides it.
    if (QScreen* screen = this->screen())
        m_modelsDialog->move(screen->geometry().center() - m_modelsDialog->rect().center());
    m_modelsDialog->exec();
}

void WizardWindow::showRestoreWindow()
{
    if (!m_restoreWindow)
        m_restoreWindow = std::make_unique<RestoreWindow>([this] { run([this] { m_wizard->frmV_DblClick(); }); });
    m_restoreWindow->show();
    m_restoreWindow->placeTopRight();
}

void WizardWindow::hideRestoreWindow()
{
    if (m_restoreWindow)
        m_restoreWindow->hide();
}

void WizardWindow::modelChanged()
{
    refresh();
}

void WizardWindow::closeEvent(QCloseEvent* event)
{
    // Closing the window ends the program, as Exit does; while a mode starts
    // the end waits until it has.
    if (m_wizard->busy()) {
        event->ignore();
        m_wizard->cmdExit_Click();
        return;
    }
    event->accept();
    if (!m_ending) {
        m_ending = true;
        endProgram();
    }
}

}  // namespace talvor::workbench
