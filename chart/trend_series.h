#pragma once

#include "chart/plot_item.h"

#include <QColor>
#include <QList>
#include <QPointF>
#include <QString>

class QAbstractAxis;
class QChart;

// One of the chart's two series as the user sees it: an area series (filled) or a line series,
// of which one is shown at a time. Gaps in the readings, and the change from one test or one
// function to the next, split it into pieces of curve, each in its own colours. Pieces are kept
// per lane: a value axis with the chart and X axis it is drawn against (the physical view draws
// resistance and voltage in lanes of their own).
class TrendSeries {
public:
    enum Kind { Area, Line };
    TrendSeries(Kind kind, const QString& name);

    Kind kind() const { return kind_; }
    const QString& name() const { return name_; }
    bool isActive() const { return active_; }
    void setActive(bool active);
    // A lane: runs set against `y` are drawn in `chart` over `x`; a run without colours of its
    // own takes the lane's (an invalid colour takes the series' own).
    void addLane(QChart* chart, QAbstractAxis* x, QAbstractAxis* y, const QColor& fill = {},
                 const QColor& line = {});
    // The pieces drawn against axis `y` on the page being shown, replacing what the series drew
    // against it.
    void setRuns(QAbstractAxis* y, QList<PlotRun> runs);
    // The lane's own line colour, and the colours a piece of `line` colour gets in this series.
    QColor lineColor(const QAbstractAxis* y) const;
    PlotRun coloured(const QAbstractAxis* y, const QColor& line) const;
    // The points the series shows against `y` (against every axis when null), in X order.
    QList<QPointF> points(const QAbstractAxis* y = nullptr) const;
    // The pieces, over every lane.
    int pieceCount() const;
    const PlotRun* piece(int i) const;
    // What draws the series in each lane (owned by the lanes' charts).
    QList<PlotItem*> items() const;

private:
    struct Lane {
        QAbstractAxis* y = nullptr;
        PlotItem* item = nullptr; // owned by its chart
        QColor fill, line;
    };
    const Lane* lane(const QAbstractAxis* y) const;

    Kind kind_;
    QString name_;
    bool active_ = false;
    QList<Lane> lanes_;
};
