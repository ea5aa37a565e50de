// The trend chart under the pointer: which row a point of the view shows, and the tip that
// tells what the row held.
#include "chart/trend_chart.h"
#include "record/reading_table.h"

#include <QCategoryAxis>
#include <QMouseEvent>
#include <QToolTip>

#include <cmath>

int TrendChart::rowAtX(double x) const {
    if (!table_ || !std::isfinite(x) || page_.rowX.empty())
        return -1;
    if (page_.x == ChartPage::X::Rows) {
        const qint64 row = std::llround(x) - 1;
        return row >= plotFrom_ && row < table_->rowCount() ? int(row) : -1;
    }
    // The row on view whose X is nearest.
    int best = -1;
    double bestDistance = qInf();
    for (size_t i = 0; i < page_.rowX.size(); ++i) {
        const double d = std::abs(page_.rowX[i] - x);
        if (d < bestDistance) { // false for NaN
            bestDistance = d;
            best = int(i);
        }
    }
    return best < 0 ? -1 : page_.firstRow + best;
}

QString TrendChart::pointText(int row) const {
    if (!table_ || row < 0 || row >= table_->rowCount())
        return {};
    QStringList parts;
    if (!table_->isNoNull(row))
        parts << QStringLiteral("No %1").arg(table_->no(row));
    if (!table_->isTimeNull(row))
        parts << clockText(table_->timeMs(row));
    QString held = table_->value(row).isEmpty() ? QStringLiteral("(no value)") : table_->value(row);
    // A text table reads an empty unit back as "NULL": no unit either way.
    if (table_->unitKind(row) != Unit::None)
        held += u' ' + table_->unit(row);
    parts << held;
    return parts.join(QStringLiteral(" \u00B7 "));
}

std::optional<double> TrendChart::xAtViewPos(const QPoint& pos) const {
    for (const QChart* lane :
         {static_cast<const QChart*>(chart()), static_cast<const QChart*>(voltLane)}) {
        if (!lane->isVisible())
            continue;
        const QPointF at = lane->mapFromScene(mapToScene(pos));
        const QRectF plot = lane->plotArea();
        if (plot.contains(at) && plot.width() > 0)
            return axisX->min() +
                   (at.x() - plot.left()) / plot.width() * (axisX->max() - axisX->min());
    }
    return std::nullopt;
}

int TrendChart::rowAtViewPos(const QPoint& pos) const {
    const std::optional<double> x = xAtViewPos(pos);
    return x ? rowAtX(*x) : -1;
}

QRect TrendChart::pointColumn(int row) const {
    const int i = row - page_.firstRow;
    const double x = i >= 0 && size_t(i) < page_.rowX.size() ? page_.rowX[size_t(i)] : qQNaN();
    const QRectF plot = chart()->plotArea();
    const double span = axisX->max() - axisX->min();
    if (!std::isfinite(x) || span <= 0)
        return {};
    const double at = plot.left() + (x - axisX->min()) / span * plot.width();
    const int px = mapFromScene(chart()->mapToScene(QPointF(at, plot.top()))).x();
    const qint64 slots = std::max<qint64>(page_.rows, 1);
    const int half = std::max(4, int(plot.width() / double(slots) / 2));
    return QRect(px - half, 0, 2 * half + 1, viewport()->height());
}

void TrendChart::mouseMoveEvent(QMouseEvent* event) {
    QChartView::mouseMoveEvent(event);
    if (event->buttons() != Qt::NoButton)
        return; // zooming
    const QPoint pos = event->position().toPoint();
    const int row = rowAtViewPos(pos);
    if (row < 0) {
        QToolTip::hideText();
        return;
    }
    // The tip stays while the pointer is on the point's column, however long that is and
    // whatever the chart draws meanwhile.
    constexpr int kTipStaysMs = 24 * 3600 * 1000;
    QToolTip::showText(event->globalPosition().toPoint(), pointText(row), viewport(),
                       pointColumn(row), kTipStaysMs);
}
