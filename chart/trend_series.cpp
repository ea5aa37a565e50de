#include "chart/trend_series.h"

#include <QAreaSeries>
#include <QChart>
#include <QLineSeries>
#include <QPen>

#include <algorithm>

TrendSeries::TrendSeries(Kind kind, const QString& name) : kind_(kind), name_(name) {}

TrendSeries::Pool* TrendSeries::pool(const QAbstractAxis* y) {
    for (Pool& p : pools_)
        if (p.y == y)
            return &p;
    return nullptr;
}

void TrendSeries::addLane(QChart* chart, QAbstractAxis* x, QAbstractAxis* y, const QColor& fill,
                          const QColor& line) {
    Pool p;
    p.chart = chart;
    p.x = x;
    p.y = y;
    if (kind_ == Area) {
        p.fill = fill.isValid() ? fill : QColor(255, 255, 128);
        p.line = line.isValid() ? line : QColor(0, 128, 255);
    } else {
        p.line = line.isValid() ? line : QColor(128, 255, 0);
    }
    pools_.append(p);
}

QColor TrendSeries::lineColor(const QAbstractAxis* y) const {
    for (const Pool& p : pools_)
        if (p.y == y)
            return p.line;
    return {};
}

void TrendSeries::paint(const Pool& pool, int piece) {
    if (auto* area = qobject_cast<QAreaSeries*>(pool.pieces[piece])) {
        area->setBrush(pool.fill);
        area->setPen(QPen(pool.line, 1));
    } else {
        pool.lines[piece]->setPen(QPen(pool.line, 1));
    }
}

void TrendSeries::addPiece(Pool& pool) {
    auto* line = new QLineSeries;
    QAbstractSeries* piece = line;
    if (kind_ == Area) {
        auto* area = new QAreaSeries(line);
        line->setParent(area); // an area series does not own its line
        area->setPointsVisible(false);
        area->setPointLabelsVisible(false);
        piece = area;
    }
    line->setPointsVisible(false);
    line->setPointLabelsVisible(false);
    piece->setName(name_);
    pool.chart->addSeries(piece);
    piece->attachAxis(pool.x);
    piece->attachAxis(pool.y);
    piece->setVisible(false);
    pool.pieces.append(piece);
    pool.lines.append(line);
    paint(pool, int(pool.pieces.size()) - 1);
}

int TrendSeries::pieceCount() const {
    int n = 0;
    for (const Pool& p : pools_)
        n += int(p.runs.size());
    return n;
}

QXYSeries* TrendSeries::piece(int i) const {
    for (const Pool& p : pools_) {
        if (i < p.runs.size())
            return p.lines.value(i);
        i -= int(p.runs.size());
    }
    return nullptr;
}

void TrendSeries::setActive(bool active) {
    active_ = active;
    for (Pool& p : pools_) {
        if (active)
            draw(p);
        else
            for (QAbstractSeries* piece : p.pieces)
                piece->setVisible(false);
    }
}

void TrendSeries::setRuns(QAbstractAxis* y, const QList<QList<QPointF>>& runs) {
    Pool* p = pool(y);
    Q_ASSERT(p);
    if (!p)
        return;
    p->runs = runs;
    // A hidden series is brought up to date when it is shown.
    if (active_)
        draw(*p);
}

void TrendSeries::draw(Pool& p) {
    while (p.pieces.size() < p.runs.size()) {
        addPiece(p);
        p.drawn.append(QList<QPointF>());
    }
    for (qsizetype i = 0; i < p.pieces.size(); ++i) {
        const QList<QPointF> want = p.runs.value(i);
        const QList<QPointF>& had = p.drawn[i];
        if (want != had) {
            if (want.isEmpty())
                p.lines[i]->clear();
            else if (!had.isEmpty() && want.size() > had.size() &&
                     std::equal(had.begin(), had.end(), want.begin()))
                p.lines[i]->append(want.mid(had.size())); // the run grew: cheaper than anew
            else
                p.lines[i]->replace(want);
            p.drawn[i] = want;
        }
        p.pieces[i]->setVisible(i < p.runs.size());
    }
}

QList<QPointF> TrendSeries::points(const QAbstractAxis* y) const {
    QList<QPointF> all;
    for (const Pool& p : pools_)
        if (!y || p.y == y)
            for (const QList<QPointF>& run : p.runs)
                all += run;
    return all;
}
