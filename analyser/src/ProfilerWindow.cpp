#include "ProfilerWindow.h"

#include "analyser/DisplayChooserDialogs.h"
#include "analyser/WordDisplayPanes.h"
#include "analyser/ProfilerWord.h"
#include "analyser/WordDisplays.h"

#include "platform/Colors.h"
#include "platform/Dialogs.h"
#include "worddata/WordDataWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFont>
#include <QKeyEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>

namespace talvor::analyser {

// ---------------------------------------------------------------------------
// PlatformHost

BoxAnswer PlatformHost::messageBox(const std::string& text, const std::string& caption, BoxIcon icon,
                                   BoxButtons buttons)
{
    using platform::MessageButtons;
    using platform::MessageIcon;
    MessageIcon i = MessageIcon::None;
    switch (icon) {
    case BoxIcon::None: i = MessageIcon::None; break;
    case BoxIcon::Information: i = MessageIcon::Information; break;
    case BoxIcon::Warning: i = MessageIcon::Warning; break;
    case BoxIcon::Critical: i = MessageIcon::Critical; break;
    case BoxIcon::Question: i = MessageIcon::Question; break;
    }
    const MessageButtons b = buttons == BoxButtons::Ok      ? MessageButtons::Ok
                             : buttons == BoxButtons::YesNo ? MessageButtons::YesNo
                                                            : MessageButtons::YesNoCancel;
    switch (platform::dialogs().messageBox(text, caption, i, b)) {
    case platform::DialogAnswer::Yes: return BoxAnswer::Yes;
    case platform::DialogAnswer::No: return BoxAnswer::No;
    case platform::DialogAnswer::Cancel: return BoxAnswer::Cancel;
    default: return BoxAnswer::Ok;
    }
}

std::optional<std::uint32_t> PlatformHost::chooseColor(std::uint32_t initial)
{
    return platform::dialogs().chooseColor(initial);
}

std::uint32_t PlatformHost::findWindow(const std::string& caption)
{
    return platform::findWindowByCaption(caption);
}

std::int32_t PlatformHost::sendMessage(std::uint32_t window, std::uint32_t msg, std::uint32_t wParam,
                                       std::int32_t lParam)
{
    return platform::sendMessage(window, msg, wParam, lParam);
}

void PlatformHost::hidePeerWindow(std::uint32_t window)
{
    platform::requestWindow(window, platform::WindowRequest::Hide);
}

void PlatformHost::startPlayTimer(int intervalMs)
{
    if (!m_timer)
        m_timer = platform::Timer::create();
    m_timer->start(std::max(intervalMs, 1), [this] {
        if (m_tick)
            m_tick();
    });
}

void PlatformHost::stopPlayTimer()
{
    if (m_timer)
        m_timer->stop();
}

// ---------------------------------------------------------------------------
// WordListBox

void WordListBox::showPopup()
{
    if (onOpen)
        onOpen();
    QComboBox::showPopup();
}

void WordListBox::focusInEvent(QFocusEvent* e)
{
    if (onOpen)
        onOpen();
    QComboBox::focusInEvent(e);
}

void WordListBox::keyPressEvent(QKeyEvent* e)
{
    e->accept();
}

// ---------------------------------------------------------------------------
// ProfilerWindow

ProfilerWindow::ProfilerWindow(Profiler& profiler, PlatformHost& host) : m_profiler(profiler), m_host(host)
{
    setObjectName("frmProfile");
    buildMenus();
    buildControls();
    m_host.setPlayTick([this] { m_profiler.playTimerTick(); });
    m_profiler.setView(this);
}

ProfilerWindow::~ProfilerWindow()
{
    m_profiler.setView(nullptr);
    m_host.setEndpoint(nullptr);
    m_host.setPlayTick(nullptr);
}

void ProfilerWindow::buildMenus()
{
    QMenu* system = menuBar()->addMenu("&System");
    system->setObjectName("mnuSystem");
    m_miTalvor = system->addAction("&Talvor", [this] { m_profiler.miTalvor_Click(); });
    m_miTalvor->setObjectName("miTalvor");
    // The one way to the word data editor: it shows the analyser's own store.
    m_miVocabulary = system->addAction("Vocabulary operations", [this] { showWordDataEditor(); });
    m_miVocabulary->setObjectName("miVocabulary");
    m_miExit = system->addAction("E&xit");
    m_miExit->setObjectName("miExit");

    QMenu* options = menuBar()->addMenu("&Options");
    options->setObjectName("mnuOptions");
    QMenu* colours = options->addMenu("Color setting");
    colours->setObjectName("miOptColorSet");
    colours->addAction("Frame", [this] { m_profiler.miFrame_Click(); })->setObjectName("miFrame");
    colours->addAction("Signal", [this] { m_profiler.miSig_Click(); })->setObjectName("miSig");
    colours->addAction("Signal out of speech", [this] { m_profiler.miOkraj_Click(); })->setObjectName("miOkraj");
    colours->addAction("Parameter out of valid frames", [this] { m_profiler.miOkrajParam_Click(); })
        ->setObjectName("miOkrajParam");
    m_miReplay = options->addAction("Replay when get word ");
    m_miReplay->setObjectName("miReplay");
    m_miReplay->setCheckable(true);
    connect(m_miReplay, &QAction::triggered, this, [this] {
        if (!m_updating)
            m_profiler.miReplay_Click();
    });
}

void ProfilerWindow::buildControls()
{
    m_central = new QWidget(this);
    setCentralWidget(m_central);
    m_central->setFixedSize(kInnerWidth, kInnerHeight);

    m_lblSay = new QLabel(m_central);
    m_lblSay->setObjectName("lblSay");
    m_lblSay->setTextFormat(Qt::PlainText);
    m_lblSay->setGeometry(8, 6, 130, 30);
    m_lblWord = new QLabel(m_central);
    m_lblWord->setObjectName("lblWord");
    m_lblWord->setTextFormat(Qt::PlainText);
    m_cboWordName = new WordListBox(m_central);
    m_cboWordName->setObjectName("cboWordName");
    m_cboWordName->setEditable(false);
    m_cboWordName->setGeometry(kFramePaneLeft, 8, kFramePaneWidth, 26);
    m_cboWordName->onOpen = [this] { m_profiler.cboWordName_DropDown(); };
    // Only the user's picks reach the word list's click handler.
    connect(m_cboWordName, &QComboBox::activated, this, [this](int index) {
        if (!m_updating)
            m_profiler.cboWordName_Click(index);
    });

    // The display panes' place: wave pane at 600 twips down to the bottom of
    // the spectrum container at 6525 twips.
    m_panes = new QWidget(m_central);
    m_panes->setObjectName("paneArea");
    m_panes->setGeometry(0, 40, kInnerWidth, kButtonTop - 44);
    m_displays = std::make_unique<WordDisplays>();
    m_displays->frameChooser().setSelected(1);  // both views start at type 1
    m_displays->spectrumChooser().setSelected(1);
    m_displayPanes = std::make_unique<WordDisplayPanes>(m_panes, *m_displays, m_panes->pos());
    m_choosers = std::make_unique<DisplayChoosers>(*m_displays, *m_displayPanes, this);

    const char* names[kButtonCount] = {"cmdNext", "cmdStop", "cmdRepeat", "cmdPlay", "cmdSave",
                                       "cmdDtw",  "cmdHmm",  "cmdTalvor", "cmdExit"};
    for (int b = 0; b < kButtonCount; ++b) {
        auto* button = new QPushButton(m_central);
        button->setObjectName(names[b]);
        m_buttons[std::size_t(b)] = button;
    }
    connect(m_buttons[BtnNext], &QPushButton::clicked, this, [this] { m_profiler.cmdNext_Click(); });
    connect(m_buttons[BtnStop], &QPushButton::clicked, this, [this] { m_profiler.cmdStop_Click(); });
    connect(m_buttons[BtnRepeat], &QPushButton::clicked, this, [this] { m_profiler.cmdRepeat_Click(); });
    connect(m_buttons[BtnPlay], &QPushButton::clicked, this, [this] { m_profiler.cmdPlay_Click(); });
    connect(m_buttons[BtnSave], &QPushButton::clicked, this, [this] { m_profiler.cmdSave_Click(); });
    connect(m_buttons[BtnDtw], &QPushButton::clicked, this, [this] { m_profiler.cmdDtw_Click(); });
    connect(m_buttons[BtnHmm], &QPushButton::clicked, this, [this] { m_profiler.cmdHmm_Click(); });
    connect(m_buttons[BtnTalvor], &QPushButton::clicked, this, [this] { m_profiler.cmdTalvor_Click(); });
    connect(m_buttons[BtnExit], &QPushButton::clicked, this, [this] { m_profiler.cmdExit_Click(); });
    registerEndpoint();
    stateChanged();
}

void ProfilerWindow::registerEndpoint()
{
    const std::string caption = m_profiler.caption.empty()
                                    ? std::string(kCaptionWavescope) + m_profiler.modeName()
                                    : m_profiler.caption;
    std::string error;
    // Only the platform's WM_KEYDOWN messages reach Form_KeyDown; keys typed
    // into the window never do.
    m_endpoint = platform::WindowEndpoint::create(
        caption,
        [this](std::uint32_t msg, std::uint32_t wParam, std::int32_t) -> std::int32_t {
            if (msg == platform::WM_KEYDOWN)
                m_profiler.Form_KeyDown(std::int32_t(wParam));
            return 0;
        },
        &error);
    if (!m_endpoint) {
        platform::dialogs().messageBox("The analyser window cannot be registered: " + error +
                                           "\r\nThe engine and the recogniser cannot reach it.",
                                       kWavescopeTitle, platform::MessageIcon::Critical,
                                       platform::MessageButtons::Ok);
        return;
    }
    m_registeredCaption = caption;
    m_endpoint->setRequestHandler([this](platform::WindowRequest r) {
        switch (r) {
        case platform::WindowRequest::Hide: m_profiler.setShown(false); break;
        case platform::WindowRequest::Show: m_profiler.setShown(true); break;
        case platform::WindowRequest::Enable: m_profiler.setEnabled(true); break;
        case platform::WindowRequest::Disable: m_profiler.setEnabled(false); break;
        }
    });
    m_host.setEndpoint(m_endpoint.get());
}

void ProfilerWindow::stateChanged()
{
    m_updating = true;
    const Profiler& p = m_profiler;
    // The word data editor shows the analyser's selected word as its current word.
    if (m_wordDataWindow && m_wordDataWindow->isVisible())
        m_wordDataWindow->refresh();
    if (!p.caption.empty()) {
        setWindowTitle(QString::fromStdString(p.caption));
        if (m_endpoint && p.caption != m_registeredCaption) {
            std::string error;
            if (m_endpoint->setCaption(p.caption, &error))
                m_registeredCaption = p.caption;
            else
                platform::dialogs().messageBox("The analyser window cannot take the caption \"" + p.caption +
                                                   "\": " + error,
                                               kWavescopeTitle, platform::MessageIcon::Critical,
                                               platform::MessageButtons::Ok);
        }
    }

    auto paint = [](QLabel* l, const LabelState& s, int points) {
        l->setText(QString::fromStdString(s.text));
        l->setVisible(s.visible);
        QPalette pal = l->palette();
        pal.setColor(QPalette::WindowText, platform::toQColor(s.color));
        l->setPalette(pal);
        QFont f = l->font();
        f.setPointSize(points);
        f.setBold(true);
        l->setFont(f);
    };
    paint(m_lblSay, p.lblSay, 12);
    paint(m_lblWord, p.lblWord, p.lblWordFontSize);
    if (p.lblWordOverFramePane) {
        // Over the frame pane; a text wider than the pane (a long string, a
        // failed token's reason) grows to the left, over the hidden prompt.
        const int right = kFramePaneLeft + kFramePaneWidth;
        const int wanted = QFontMetrics(m_lblWord->font()).horizontalAdvance(m_lblWord->text()) + 4;
        const int left = std::max(8, std::min(kFramePaneLeft, right - wanted));
        m_lblWord->setGeometry(left, 6, right - left, 30);
    } else
        m_lblWord->setGeometry(140, 6, kFramePaneLeft + kFramePaneWidth - 140, 30);

    m_cboWordName->setVisible(p.wordListVisible);
    QStringList items;
    for (const std::string& w : p.wordList)
        items << QString::fromStdString(w);
    QStringList current;
    for (int i = 0; i < m_cboWordName->count(); ++i)
        current << m_cboWordName->itemText(i);
    if (current != items) {
        m_cboWordName->clear();
        m_cboWordName->addItems(items);
    }
    m_cboWordName->setCurrentIndex(p.listIndex);

    const int w = (kInnerWidth + 3) / 7;  // the inner width / 7, rounded
    for (int b = 0; b < kButtonCount; ++b) {
        QPushButton* button = m_buttons[std::size_t(b)];
        const ButtonState& s = p.buttons[std::size_t(b)];
        button->setText(QString::fromStdString(s.caption));
        button->setEnabled(s.enabled);
        button->setVisible(s.visible);
        button->setGeometry(s.slot * w, kButtonTop, w, kButtonHeight);
    }
    m_miTalvor->setEnabled(p.miTalvorEnabled);
    m_miExit->setEnabled(p.miExitEnabled);
    m_miReplay->setChecked(p.miReplayChecked);
    m_updating = false;
}

void ProfilerWindow::windowChanged()
{
    setEnabled(m_profiler.windowEnabled);
    if (m_profiler.windowShown) {
        // A window shown again keeps its old place in the stacking order
        // under some window systems: bring it to the front, as it was asked for.
        if (!isVisible()) {
            show();
            raise();
            activateWindow();
        }
    } else {
        if (isVisible())
            hide();
        if (onHidden)
            onHidden();
    }
}

void ProfilerWindow::raiseAndRepaint()
{
    raise();
    activateWindow();
    repaint();
}

void ProfilerWindow::applyColours()
{
    m_displays->setColour(ColourItem::Signal, m_profiler.colSpeech);
    m_displays->setColour(ColourItem::OutOfSpeech, m_profiler.colOutOfSpeech);
    m_displays->setColour(ColourItem::Frame, m_profiler.colFrame);
    m_displays->setColour(ColourItem::ParamOut, m_profiler.colParamOut);
}

void ProfilerWindow::redrawShown()
{
    applyColours();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_displays->redraw();
    m_displayPanes->refresh();
    QApplication::restoreOverrideCursor();
}

void ProfilerWindow::Display()
{
    // The menu's colours, then the word the Profiler holds (a word that is not
    // valid only clears the panes).
    applyColours();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_displays->showWord(profilerWord(m_profiler));
    m_displayPanes->refresh();
    QApplication::restoreOverrideCursor();
}

void ProfilerWindow::clearPanes()
{
    m_displays->clearAll();
    m_displayPanes->refresh();
}

void ProfilerWindow::redrawWave()
{
    // Without a valid token the wave pane is only cleared.
    m_displays->clearAll();
    m_displayPanes->refresh();
}

void ProfilerWindow::unloadHelpers()
{
    m_choosers->hideAll();
    if (m_wordDataWindow)
        m_wordDataWindow->hide();
}

void ProfilerWindow::showWordDataEditor()
{
    if (!m_wordDataWindow) {
        m_wordDataWindow = std::make_unique<worddata::WordDataWindow>(m_profiler.wordData(), m_profiler.module().AppPath);
        m_wordDataWindow->setTableChanged([this] { m_profiler.wordTableChanged(); });
        m_wordDataWindow->setRowPicked([this](std::int32_t row) { m_profiler.wordPickedInEditor(row - 1); });
    }
    m_wordDataWindow->refresh();
    const bool opening = !m_wordDataWindow->isVisible();
    m_wordDataWindow->show();
    if (opening) {
        // Centred on the analyser, as its other windows are (placed once
        // shown, when its size is known).
        m_wordDataWindow->move(frameGeometry().center() - m_wordDataWindow->frameGeometry().center() +
                               m_wordDataWindow->pos());
    }
    m_wordDataWindow->raise();
}

void ProfilerWindow::closeEvent(QCloseEvent* e)
{
    // The close box asks the mode's questions; the window is hidden, never
    // destroyed, when the user leaves.
    e->ignore();
    m_profiler.Form_Unload();
}

}  // namespace talvor::analyser
