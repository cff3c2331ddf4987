#pragma once
// frmDTW, the DTW comparer's window: a thin Qt face over a DtwSession.  The
// session holds what is shown (labels, enabled commands, the seven pictures)
// and does what the commands do; the window maps it onto its widgets after
// every command and runs the 20 ms path timer while the session animates.
#include <QAction>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <map>
#include <string>

#include "timewarp/DtwSession.h"

namespace talvor::timewarp {

// The hourglass for the length of a command (nothing without a GUI application).
class BusyCursor {
public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

private:
    bool m_set = false;
};

// A canvas as an image: its pixels with its texts painted over them.
QImage canvasImage(const Canvas& canvas);

// A picture box showing one canvas at its own size.
class PictureBox : public QWidget {
public:
    PictureBox(const Canvas& canvas, QWidget* parent = nullptr);
    QSize sizeHint() const override;
    std::function<void()> onClick;
    // Repaints when the canvas changed since the last call.
    void sync();

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;

private:
    const Canvas& m_canvas;
    std::uint64_t m_shown = ~std::uint64_t(0);
};

class FrmDtw : public QWidget {
public:
    explicit FrmDtw(DtwSession& session, QWidget* parent = nullptr);
    ~FrmDtw() override;

    DtwSession& session() { return m_session; }

    // Shows the session's state: labels, enabled commands, pictures, timer.
    void refresh();
    // Centres the window on its screen.
    void centre();

    // Called when the window is hidden (a modal show ends there) and when
    // the user confirmed Exit (the owner then unloads the window).
    std::function<void()> onHidden;
    std::function<void()> onExit;
    // Called by the Select Reference button and the three option menus with
    // "ref", "feat", "method" or "plot"; the owner opens the dialog.
    std::function<void(const std::string&)> onDialog;

    // The commands, as the buttons and menus run them.
    void cmdMatch_Click();
    void cmdPause_Click();
    void cmdContinue_Click();
    void cmdForward_Click();
    void cmdNextWord_Click();
    void cmdNextRef_Click();
    void cmdSpeak_Click();
    void mniSave_Click();
    void mniExit_Click();
    void timerTick();

    // For tests and the render tool: controls by their names ("cmdMatch",
    // "lblStatusLine", "mniSave", "picDtw", ...).
    QPushButton* button(const std::string& name) const;
    QLabel* label(const std::string& name) const;
    QAction* menu(const std::string& name) const;
    PictureBox* picture(const std::string& name) const;
    QTimer& timer() { return m_timer; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QPushButton* addButton(const char* name, const char* caption, void (FrmDtw::*slot)());
    QLabel* addLabel(const char* name, const QString& text = {});
    PictureBox* addPicture(const char* name, const Canvas& canvas);

    DtwSession& m_session;
    QTimer m_timer;
    std::map<std::string, QPushButton*> m_buttons;
    std::map<std::string, QLabel*> m_labels;
    std::map<std::string, QAction*> m_menus;
    std::map<std::string, PictureBox*> m_pictures;
};

}  // namespace talvor::timewarp
