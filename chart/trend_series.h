#pragma once

#include <QColor>
#include <QList>
#include <QPointF>
#include <QString>

class QAbstractAxis;
class QAbstractSeries;
class QChart;
class QLineSeries;
class QXYSeries;

// One of the chart's two series as the user sees it: an area series (filled) or a line series.
// Gaps in the readings split it into several pieces on the chart, all shown or hidden together.
// Pieces are kept per lane: a value axis with the chart and X axis it is drawn against (the
// physical view draws resistance and voltage in lanes of their own).
class TrendSeries {
public:
    enum Kind { Area, Line };
    TrendSeries(Kind kind, const QString& name);

    Kind kind() const { return kind_; }
    const QString& name() const { return name_; }
    bool isActive() const { return active_; }
    void setActive(bool active);
    // A lane: points set against `y` are drawn in `chart` over `x`, in the given colours (an
    // invalid colour takes the series' own).
    void addLane(QChart* chart, QAbstractAxis* x, QAbstractAxis* y, const QColor& fill = {},
                 const QColor& line = {});
    // The runs drawn against axis `y` on the page being shown, replacing what the series drew
    // against it.
    void setRuns(QAbstractAxis* y, const QList<QList<QPointF>>& runs);
    // The colour of the line drawn against `y`.
    QColor lineColor(const QAbstractAxis* y) const;
    // The points the series shows against `y` (against every axis when null), in X order.
    QList<QPointF> points(const QAbstractAxis* y = nullptr) const;
    // The pieces in use, over every lane.
    int pieceCount() const;
    QXYSeries* piece(int i) const;

private:
    struct Pool {
        QChart* chart = nullptr;
        QAbstractAxis* x = nullptr;
        QAbstractAxis* y = nullptr;
        QList<QList<QPointF>> runs;     // what the pool shows, or will once the series is active
        QList<QAbstractSeries*> pieces; // QAreaSeries or QLineSeries
        QList<QLineSeries*> lines;      // the line of each piece (the upper line of an area)
        QList<QList<QPointF>> drawn;    // what each piece holds
        QColor fill, line;
    };
    Pool* pool(const QAbstractAxis* y);
    void addPiece(Pool& pool);
    void paint(const Pool& pool, int piece);
    // Hands the pool's runs to its pieces; only pieces whose points changed are touched, since
    // the chart lays out a piece afresh whenever it gets points.
    void draw(Pool& pool);

    Kind kind_;
    QString name_;
    bool active_ = false;
    QList<Pool> pools_;
};
