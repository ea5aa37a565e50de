#pragma once

#include <QGraphicsItem>
#include <QList>

class QChart;
class QValueAxis;

// The marks of an insulation test over the elapsed view's plot: a dashed line at 30 s, 1 min and
// 10 min where the test reached them, each named at the top ("1 min"), for reading R(30 s),
// R(1 min) and R(10 min) off the curve.
class TestMarks : public QGraphicsItem {
public:
    TestMarks(QChart* chart, QValueAxis* x);

    // The marks up to `reached` seconds; none for a negative time.
    void setReached(double seconds);
    // The marks drawn, in seconds.
    QList<double> shown() const;

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    QChart* chart_;
    QValueAxis* x_;
    double reached_ = -1;
};
