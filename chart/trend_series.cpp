#include "chart/trend_series.h"

#include <QChart>

TrendSeries::TrendSeries(Kind kind, const QString& name) : kind_(kind), name_(name) {}

const TrendSeries::Lane* TrendSeries::lane(const QAbstractAxis* y) const {
    for (const Lane& l : lanes_)
        if (l.y == y)
            return &l;
    return nullptr;
}

void TrendSeries::addLane(QChart* chart, QAbstractAxis* x, QAbstractAxis* y, const QColor& fill,
                          const QColor& line) {
    Lane l;
    l.y = y;
    l.item = new PlotItem(chart, x, y);
    l.item->setObjectName(name_);
    l.item->setFilled(kind_ == Area);
    l.item->setVisible(active_);
    if (kind_ == Area) {
        l.fill = fill.isValid() ? fill : QColor(255, 255, 128);
        l.line = line.isValid() ? line : QColor(0, 128, 255);
    } else {
        l.line = line.isValid() ? line : QColor(128, 255, 0);
    }
    lanes_.append(l);
}

QColor TrendSeries::lineColor(const QAbstractAxis* y) const {
    const Lane* l = lane(y);
    return l ? l->line : QColor();
}

PlotRun TrendSeries::coloured(const QAbstractAxis*, const QColor& line) const {
    PlotRun r;
    r.line = line;
    if (kind_ == Area) { // the area in a pale shade of the line's colour
        auto pale = [](int c) { return c + (255 - c) * 3 / 4; };
        r.fill = QColor(pale(line.red()), pale(line.green()), pale(line.blue()));
    }
    return r;
}

void TrendSeries::setActive(bool active) {
    active_ = active;
    for (Lane& l : lanes_)
        l.item->setVisible(active);
}

void TrendSeries::setRuns(QAbstractAxis* y, QList<PlotRun> runs) {
    const Lane* l = lane(y);
    Q_ASSERT(l);
    if (!l)
        return;
    for (PlotRun& r : runs) {
        if (!r.line.isValid())
            r.line = l->line;
        if (kind_ == Area && !r.fill.isValid())
            r.fill = l->fill;
        if (kind_ == Line)
            r.fill = QColor();
    }
    l->item->setRuns(runs);
}

QList<QPointF> TrendSeries::points(const QAbstractAxis* y) const {
    QList<QPointF> all;
    for (const Lane& l : lanes_)
        if (!y || l.y == y)
            for (const PlotRun& run : l.item->runs())
                all += run.points;
    return all;
}

int TrendSeries::pieceCount() const {
    int n = 0;
    for (const Lane& l : lanes_)
        n += int(l.item->runs().size());
    return n;
}

const PlotRun* TrendSeries::piece(int i) const {
    for (const Lane& l : lanes_) {
        if (i < l.item->runs().size())
            return &l.item->runs()[i];
        i -= int(l.item->runs().size());
    }
    return nullptr;
}

QList<PlotItem*> TrendSeries::items() const {
    QList<PlotItem*> all;
    for (const Lane& l : lanes_)
        all.append(l.item);
    return all;
}
