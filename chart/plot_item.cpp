#include "chart/plot_item.h"

#include <QChart>
#include <QPainter>
#include <QPolygonF>
#include <QValueAxis>

#include <cmath>

namespace {

// The range of a value or category axis (both are value axes underneath).
std::pair<double, double> rangeOf(const QAbstractAxis* axis) {
    const auto* v = qobject_cast<const QValueAxis*>(axis);
    return v ? std::pair{v->min(), v->max()} : std::pair{0.0, 1.0};
}

} // namespace

PlotItem::PlotItem(QChart* chart, QAbstractAxis* x, QAbstractAxis* y)
    : QGraphicsObject(chart), chart_(chart), x_(x), y_(y) {
    setZValue(10); // above the plot area and grid, below the legends
    setFlag(ItemClipsToShape);
    connect(chart, &QChart::plotAreaChanged, this, &PlotItem::relayout);
    for (QAbstractAxis* axis : {x, y})
        if (auto* v = qobject_cast<QValueAxis*>(axis))
            connect(v, &QValueAxis::rangeChanged, this, [this] { update(); });
    relayout();
}

void PlotItem::relayout() {
    prepareGeometryChange();
    plot_ = chart_->plotArea();
    update();
}

void PlotItem::setRuns(const QList<PlotRun>& runs) {
    if (runs == runs_)
        return;
    runs_ = runs;
    update();
}

void PlotItem::setFilled(bool filled) {
    if (filled == filled_)
        return;
    filled_ = filled;
    update();
}

QRectF PlotItem::boundingRect() const {
    return plot_;
}

QPointF PlotItem::position(const QPointF& value) const {
    const auto [x0, x1] = rangeOf(x_);
    const auto [y0, y1] = rangeOf(y_);
    const double fx = x1 > x0 ? (value.x() - x0) / (x1 - x0) : 0.5;
    const double fy = y1 > y0 ? (value.y() - y0) / (y1 - y0) : 0.5;
    return {plot_.left() + fx * plot_.width(), plot_.bottom() - fy * plot_.height()};
}

void PlotItem::paint(QPainter* p, const QStyleOptionGraphicsItem*, QWidget*) {
    if (runs_.isEmpty() || plot_.isEmpty())
        return;
    p->save();
    p->setClipRect(plot_);
    p->setRenderHint(QPainter::Antialiasing);
    QPolygonF line;
    for (const PlotRun& run : runs_) {
        line.clear();
        line.reserve(run.points.size() + 2);
        for (const QPointF& v : run.points) {
            const QPointF at = position(v);
            if (std::isfinite(at.x()) && std::isfinite(at.y()))
                line.append(at);
        }
        if (line.isEmpty())
            continue;
        if (line.size() == 1) { // a lone reading: a short stroke, so that it shows
            const QPointF at = line.front();
            line = QPolygonF({at - QPointF(1.5, 0), at + QPointF(1.5, 0)});
        }
        if (filled_ && run.fill.isValid()) {
            QPolygonF area = line;
            area.append(QPointF(line.back().x(), plot_.bottom()));
            area.append(QPointF(line.front().x(), plot_.bottom()));
            p->setPen(Qt::NoPen);
            p->setBrush(run.fill);
            p->drawPolygon(area);
        }
        p->setPen(QPen(run.line, 1));
        p->setBrush(Qt::NoBrush);
        p->drawPolyline(line);
    }
    p->restore();
}
