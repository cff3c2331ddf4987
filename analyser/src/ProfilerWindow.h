#pragma once
// The frmProfile window: buttons, menus, the word list and the two labels
// over the Profiler's state, and the platform services the Profiler uses.
// The display panes live in paneArea(), placed in the window's twip layout
// (15 twips a pixel).

#include "analyser/Profiler.h"
#include "platform/Timer.h"
#include "platform/Window.h"

#include <QComboBox>
#include <QMainWindow>

#include <array>
#include <functional>
#include <memory>

class QAction;
class QLabel;
class QPushButton;

namespace talvor::worddata {
class WordDataWindow;
}

namespace talvor::analyser {

class WordDisplays;
class WordDisplayPanes;
class DisplayChoosers;

// Message boxes, the colour dialog, peers' windows and the play timer over
// the platform layer.
class PlatformHost final : public ProfilerHost {
public:
    BoxAnswer messageBox(const std::string& text, const std::string& caption, BoxIcon icon,
                         BoxButtons buttons) override;
    std::optional<std::uint32_t> chooseColor(std::uint32_t initial) override;
    std::uint32_t findWindow(const std::string& caption) override;
    std::int32_t sendMessage(std::uint32_t window, std::uint32_t msg, std::uint32_t wParam,
                             std::int32_t lParam) override;
    void hidePeerWindow(std::uint32_t window) override;
    std::uint32_t ownWindow() override { return m_endpoint ? m_endpoint->handle() : 0; }
    void startPlayTimer(int intervalMs) override;
    void stopPlayTimer() override;

    void setEndpoint(platform::WindowEndpoint* endpoint) { m_endpoint = endpoint; }
    void setPlayTick(std::function<void()> tick) { m_tick = std::move(tick); }

private:
    platform::WindowEndpoint* m_endpoint = nullptr;
    std::unique_ptr<platform::Timer> m_timer;
    std::function<void()> m_tick;
};

// The word list: tells when the user opens it or gives it the focus.
class WordListBox : public QComboBox {
public:
    using QComboBox::QComboBox;
    std::function<void()> onOpen;

protected:
    void showPopup() override;
    void focusInEvent(QFocusEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;  // typed keys are discarded
};

class ProfilerWindow final : public QMainWindow, public ProfilerView {
public:
    // Window layout in pixels (the design's twips / 15).
    static constexpr int kInnerWidth = 686;
    static constexpr int kButtonTop = 440;
    static constexpr int kButtonHeight = 28;
    static constexpr int kInnerHeight = kButtonTop + kButtonHeight + 8;
    static constexpr int kFramePaneLeft = 392;   // 5880 twips
    static constexpr int kFramePaneWidth = 281;  // 4215 twips

    ProfilerWindow(Profiler& profiler, PlatformHost& host);
    ~ProfilerWindow() override;

    // The window's registered message endpoint (null when its caption could
    // not be registered).
    platform::WindowEndpoint* endpoint() const { return m_endpoint.get(); }
    QWidget* paneArea() const { return m_panes; }
    // Called when the window has been hidden.
    std::function<void()> onHidden;

    // ProfilerView
    void stateChanged() override;
    void windowChanged() override;
    void raiseAndRepaint() override;
    // The word displays: the Profiler's word shown in the panes, the panes cleared.
    void Display() override;
    void redrawShown() override;
    void clearPanes() override;
    void redrawWave() override;
    void unloadHelpers() override;
    WordDisplays& displays() const { return *m_displays; }
    WordDisplayPanes& displayPanes() const { return *m_displayPanes; }
    DisplayChoosers& displayChoosers() const { return *m_choosers; }

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void buildMenus();
    void buildControls();
    void registerEndpoint();
    void showWordDataEditor();
    void applyColours();

    Profiler& m_profiler;
    PlatformHost& m_host;
    std::unique_ptr<platform::WindowEndpoint> m_endpoint;
    std::string m_registeredCaption;
    QWidget* m_central = nullptr;
    QWidget* m_panes = nullptr;
    std::unique_ptr<WordDisplays> m_displays;
    std::unique_ptr<WordDisplayPanes> m_displayPanes;
    std::unique_ptr<DisplayChoosers> m_choosers;
    QLabel* m_lblSay = nullptr;
    QLabel* m_lblWord = nullptr;
    WordListBox* m_cboWordName = nullptr;
    std::array<QPushButton*, kButtonCount> m_buttons{};
    QAction* m_miTalvor = nullptr;
    QAction* m_miExit = nullptr;
    QAction* m_miVocabulary = nullptr;
    // The word data editor over the analyser's store, made on first use.
    std::unique_ptr<worddata::WordDataWindow> m_wordDataWindow;
    QAction* m_miReplay = nullptr;
    bool m_updating = false;
};

}  // namespace talvor::analyser
