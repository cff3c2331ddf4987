#pragma once
// The HMM viewer's window: the button row with the word list, the report, the
// model panes in a frame with two scroll bars, and the menus, over the
// viewer model (ChainviewModel).  Every command goes to the model; the window
// then shows the model again.  While a match runs only STOP and Pause/Continue
// stay enabled.

#include <functional>
#include <vector>

#include <QImage>
#include <QWidget>

#include "hmmview/ChainviewModel.h"
#include "hmmview/GraphPane.h"
#include "hmmview/TrellisPainter.h"

class QAction;
class QComboBox;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QPushButton;
class QScrollBar;

namespace talvor::hmmview {

class ChainviewWindow : public QWidget, public ChainviewListener {
public:
    explicit ChainviewWindow(ChainviewModel& model, TwipScale scale = {}, QWidget* parent = nullptr);
    ~ChainviewWindow() override;

    ChainviewModel& model() { return m_model; }
    // Called whenever the window is hidden (a modal show ends then).
    void setHiddenListener(std::function<void()> listener) { m_hidden = std::move(listener); }

    // The window's default size (800 x 600 pixels) and places.
    void SetDefSize();
    // Lays the controls out for the window's size; windows below 5000 twips
    // in either direction keep their layout.
    void Form_Resize();
    // Shows the model again.
    void refresh();
    // The return button: in mode 11 asks first; hides the window.
    void returnButton_Click();

    // The menu commands.
    void miOpenLabFile_Click(int index);  // 0 open, 1 save
    void miAddModFile_Click();
    void miIsReport_Click();
    void miSortMod_Click(int index);      // 0 vocabulary order, 1 current score
    void miTestAll_Click();
    void miPutToClipBoard_Click();
    void miProperties_Click();
    // The image "Put windows image to clipboard" puts there: each pane's
    // model name and trellis picture, one pane under the other.  Null (and a
    // message) when it would exceed kMaxImageSide pixels a side.
    QImage windowImage();
    static constexpr int kMaxImageSide = 16384;
    // Dragging the report box's lower edge; y in window coordinates.
    void ResizeReport(Qt::MouseButtons buttons, int y);
    int reportHeight() const { return m_reportHeight; }
    bool reportVisible() const { return m_reportVisible; }

    // ChainviewListener
    void viewerChanged() override;
    void paneChanged(int pane) override;
    void panesChanged() override;

    // The widgets, for tests and pictures.
    QPushButton* matchButton() const { return m_match; }
    QPushButton* nextButton() const { return m_next; }
    QPushButton* animateButton() const { return m_animate; }
    QPushButton* pauseButton() const { return m_pause; }
    QPushButton* returnButton() const { return m_back; }
    QComboBox* wordList() const { return m_words; }
    QPlainTextEdit* report() const { return m_report; }
    QMenuBar* menuBar() const { return m_menuBar; }
    QAction* methodAction(int method) const { return m_methods[static_cast<std::size_t>(method)]; }
    QAction* saveLabAction() const { return m_saveLab; }
    QAction* reportAction() const { return m_isReport; }
    QWidget* paneFrame() const { return m_frame; }
    QScrollBar* paneScrollBar() const { return m_scrModel; }
    QScrollBar* graphScrollBar() const { return m_scrGraph; }
    int paneCount() const { return static_cast<int>(m_panes.size()); }
    GraphPane* pane(int index) const { return m_panes[static_cast<std::size_t>(index)]; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildMenus();
    void rebuildPanes();
    void placePanes();
    void scrGraph_Change(int value);
    int tw(double twips) const { return m_scale.pxRound(twips); }

    ChainviewModel& m_model;
    TwipScale m_scale;
    std::function<void()> m_hidden;
    bool m_tearingDown = false;

    QMenuBar* m_menuBar = nullptr;
    std::vector<QMenu*> m_menus;
    std::array<QAction*, 3> m_methods{};
    QAction* m_saveLab = nullptr;
    QAction* m_isReport = nullptr;
    bool m_dragging = false;
    QPushButton* m_match = nullptr;
    QComboBox* m_words = nullptr;
    QPushButton* m_next = nullptr;
    QPushButton* m_animate = nullptr;
    QPushButton* m_pause = nullptr;
    QPushButton* m_back = nullptr;
    QPlainTextEdit* m_report = nullptr;
    QWidget* m_frame = nullptr;
    QScrollBar* m_scrModel = nullptr;
    QScrollBar* m_scrGraph = nullptr;
    std::vector<GraphPane*> m_panes;
    std::vector<std::string> m_shownWords;
    std::string m_shownReport;
    bool m_reportVisible = true;
    int m_reportHeight = 0;
};

}  // namespace talvor::hmmview
