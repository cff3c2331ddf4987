#include "hmmview/TrellisPainter.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

#include "platform/Colors.h"

namespace talvor::hmmview {

namespace {

QColor colourOf(Colour c) { return platform::toQColor(static_cast<std::uint32_t>(c)); }

}  // namespace

QSize trellisPictureSize(const PaneRecord& record, std::int32_t heightRows, const DisplaySettings& settings,
                         TwipScale scale)
{
    const double w = static_cast<double>(record.frames) * settings.grStpX + 2.0 * settings.grpsh;
    const double h = static_cast<double>(std::max(heightRows, 0)) * settings.grStpY + settings.grpsh;
    return QSize(scale.pxRound(w), scale.pxRound(h));
}

QPointF trellisCellCentre(std::int32_t frame, std::int32_t row, int heightPx, const DisplaySettings& settings,
                          TwipScale scale)
{
    const double x = scale.px(static_cast<double>(frame) * settings.grStpX + settings.grpsh);
    const double y = heightPx - scale.px(static_cast<double>(row) * settings.grStpY + settings.grpsh);
    return {std::floor(x) + 0.5, std::floor(y) + 0.5};
}

void paintTrellis(QPainter& painter, const PaneRecord& record, QPoint origin, int widthPx, int heightPx,
                  const DisplaySettings& settings, TwipScale scale, const QRect& clip)
{
    const QRect picture(origin, QSize(widthPx, heightPx));
    const QRect area = picture.intersected(clip);
    if (area.isEmpty())
        return;
    painter.save();
    painter.setClipRect(area);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(area, colourOf(settings.clrStateBorder));
    if (!record.painted || record.frames <= 0 || record.rows <= 0) {
        painter.restore();
        return;
    }
    painter.translate(origin);
    const double r = scale.px(settings.grStpR);
    const double stepX = std::max(scale.px(settings.grStpX), 1e-6);
    // Frames whose marks can reach into the visible strip.
    const double left = area.left() - origin.x() - 3 * r - stepX;
    const double right = area.right() - origin.x() + 3 * r + stepX;
    const double shift = scale.px(settings.grpsh);
    const int first = std::clamp(static_cast<int>(std::floor((left - shift) / stepX)), 0, record.frames - 1);
    const int last = std::clamp(static_cast<int>(std::ceil((right - shift) / stepX)), 0, record.frames - 1);
    auto centre = [&](int t, int row) { return trellisCellCentre(t, row, heightPx, settings, scale); };
    auto circle = [&](QPointF c, double radius, Colour colour, bool filled) {
        const QColor q = colourOf(colour);
        painter.setPen(QPen(q, 0));
        painter.setBrush(filled ? QBrush(q) : Qt::NoBrush);
        painter.drawEllipse(c, radius, radius);
    };

    for (int t = first; t <= last; ++t)
        for (int row = 0; row < record.rows; ++row)
            circle(centre(t, row), 2 * r, record.entryRow && row == 0 ? settings.clrStateV : settings.clrState, false);
    painter.setPen(QPen(colourOf(settings.clrStatePath), 0));
    for (int t = std::max(first, 1); t <= std::min(last + 1, record.frames - 1); ++t)
        for (int row = 0; row < record.rows; ++row) {
            const int from = record.fromRow(t, row);
            if (from >= 0)
                painter.drawLine(centre(t, row), centre(t - 1, from));
        }
    for (int t = first; t <= last; ++t) {
        const std::size_t k = static_cast<std::size_t>(t);
        if (k < record.localBest.size() && record.localBest[k] >= 0)
            circle(centre(t, record.localBest[k]), 2 * r, settings.clrStateLMax, false);
        if (k < record.frameBest.size() && record.frameBest[k] >= 0)
            circle(centre(t, record.frameBest[k]), 2 * r, settings.clrStateMax, false);
    }
    for (const PaneRecord::Cell& c : record.bestPath) {
        if (c.frame < first || c.frame > last)
            continue;
        circle(centre(c.frame, c.row), r, settings.clrStateBPrath, true);
        circle(centre(c.frame, c.row), 3 * r, settings.clrStateBPrath, false);
    }
    painter.restore();
}

}  // namespace talvor::hmmview
