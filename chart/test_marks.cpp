#include "chart/test_marks.h"

#include "chart/chart_axes.h"

#include <QChart>
#include <QFontMetricsF>
#include <QPainter>
#include <QValueAxis>

TestMarks::TestMarks(QChart* chart, QValueAxis* x) : QGraphicsItem(chart), chart_(chart), x_(x) {
    setZValue(50); // over the curves, under the legend
    QObject::connect(chart, &QChart::plotAreaChanged, chart, [this] {
        prepareGeometryChange();
        update();
    });
    QObject::connect(x, &QValueAxis::rangeChanged, chart, [this] { update(); });
}

void TestMarks::setReached(double seconds) {
    if (seconds == reached_)
        return;
    reached_ = seconds;
    update();
}

QList<double> TestMarks::shown() const {
    QList<double> marks;
    for (const TestMark& m : kTestMarks)
        if (reached_ >= m.seconds)
            marks << m.seconds;
    return marks;
}

QRectF TestMarks::boundingRect() const {
    return chart_->plotArea();
}

void TestMarks::paint(QPainter* p, const QStyleOptionGraphicsItem*, QWidget*) {
    const QRectF plot = chart_->plotArea();
    const double span = x_->max() - x_->min();
    if (plot.isEmpty() || !(span > 0))
        return;
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(9);
    p->setFont(font);
    const QFontMetricsF fm(font);
    for (const TestMark& m : kTestMarks) {
        if (reached_ < m.seconds || m.seconds < x_->min() || m.seconds > x_->max())
            continue;
        const double x = plot.left() + (m.seconds - x_->min()) / span * plot.width();
        p->setPen(QPen(QColor(0x90, 0x40, 0x00), 1, Qt::DashLine));
        p->drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
        const QString label = QString::fromLatin1(m.label);
        const double w = fm.horizontalAdvance(label);
        const double left = std::min(x + 2, plot.right() - w - 1);
        p->setPen(QColor(0x90, 0x40, 0x00));
        p->drawText(QPointF(left, plot.bottom() - 3), label);
    }
}
