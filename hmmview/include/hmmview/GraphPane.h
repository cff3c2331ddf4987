#pragma once
// One model pane of the viewer window: at its left the model combo with the
// order and score labels, at its right the trellis picture painted from the
// pane's record.  Reports the user's pick of another model (ChangedModel).

#include <functional>
#include <string>
#include <vector>

#include <QWidget>

#include "hmmview/ChainviewModel.h"
#include "hmmview/TrellisPainter.h"

class QComboBox;
class QLabel;

namespace talvor::hmmview {

class GraphPane : public QWidget {
public:
    GraphPane(const ChainviewModel& model, int index, TwipScale scale, QWidget* parent = nullptr);

    int index() const { return m_index; }
    // The user picked model newModIndex (oldModIndex shown before).
    void setChangedModel(std::function<void(int pane, int oldModIndex, int newModIndex)> handler)
    {
        m_changedModel = std::move(handler);
    }
    // Shows the pane's state: combo entries and selection, labels, colours.
    void refresh();
    // The trellis picture's left edge moves left by `offsetPx` (the window's
    // horizontal scroll bar).
    void setGraphOffset(int offsetPx);
    int graphOffset() const { return m_offset; }
    // The height the pane's rows need, in pixels.
    int paneHeight() const;
    // The trellis picture's full width in pixels.
    int pictureWidth() const;
    int leftGraphPosPx() const;

    QComboBox* modName() const { return m_combo; }
    QLabel* orderLabel() const { return m_order; }
    QLabel* scoreLabel() const { return m_score; }
    // The trellis picture's rectangle in pane coordinates (before clipping).
    QRect pictureRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void placeChildren();

    const ChainviewModel& m_model;
    int m_index;
    TwipScale m_scale;
    int m_offset = 0;
    QComboBox* m_combo;
    QLabel* m_order;
    QLabel* m_score;
    std::vector<std::string> m_shownWords;
    std::function<void(int, int, int)> m_changedModel;
    bool m_guard = false;
};

}  // namespace talvor::hmmview
