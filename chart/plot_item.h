#pragma once

#include <QColor>
#include <QGraphicsObject>
#include <QList>
#include <QPointF>

class QAbstractAxis;
class QChart;
class QValueAxis;

// One piece of curve and its colours.
struct PlotRun {
    QList<QPointF> points; // in the axes' values
    QColor line;
    QColor fill; // the area below the line, for a filled curve
    bool operator==(const PlotRun&) const = default;
};

// The curves of one lane of the chart, drawn over the lane's plot area against its X and Y axes:
// any number of pieces, each a line (or a line over a filled area) in its own colours. One item
// draws them all, so that a page of a thousand tests costs one paint, not a thousand series.
class PlotItem : public QGraphicsObject {
    Q_OBJECT
public:
    PlotItem(QChart* chart, QAbstractAxis* x, QAbstractAxis* y);

    void setRuns(const QList<PlotRun>& runs);
    const QList<PlotRun>& runs() const { return runs_; }
    void setFilled(bool filled);
    bool filled() const { return filled_; }

    // Where a value lies in the chart's coordinates.
    QPointF position(const QPointF& value) const;

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    void relayout();

    QChart* chart_;
    QAbstractAxis* x_;
    QAbstractAxis* y_;
    QList<PlotRun> runs_;
    bool filled_ = false;
    QRectF plot_;
};
