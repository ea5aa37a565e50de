// The trend chart's lanes: the charts and axes they are made of, the axes fitted and labelled
// for a page, and the two lanes laid out one above the other so that one X is one place in both.
#include "chart/chart_axes.h"
#include "chart/chart_style.h"
#include "chart/lane_legend.h"
#include "chart/test_marks.h"
#include "chart/trend_chart.h"

#include <QCategoryAxis>
#include <QGraphicsLayout>
#include <QLineSeries>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

using namespace chart_style;

namespace {

// The chart without axes or series: silver fading to white behind a white plot area, no legend.
QChart* newChart() {
    auto* c = new QChart;
    c->setAnimationOptions(QChart::NoAnimation);
    QLinearGradient back(0, 0, 0, 1);
    back.setCoordinateMode(QGradient::ObjectMode);
    back.setColorAt(0, kSilver);
    back.setColorAt(1, Qt::white);
    c->setBackgroundBrush(back);
    c->setBackgroundRoundness(0);
    c->setBackgroundPen(QPen(kSilver));
    c->setPlotAreaBackgroundBrush(Qt::white);
    c->setPlotAreaBackgroundPen(QPen(kSilver));
    c->setPlotAreaBackgroundVisible(true);
    c->setTitle(QStringLiteral("  "));
    c->setTitleFont(arialPx(13));
    c->setTitleBrush(Qt::black);
    c->legend()->hide();
    // The tool strip lies over the top edge; keep the plot below it.
    c->setMargins(QMargins(1, 16, 6, 1));
    return c;
}

// An axis whose ticks the chart sets as its range changes, labelled in `format`.
void withDynamicTicks(QValueAxis* axis, const char* format) {
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setLabelFormat(QString::fromLatin1(format));
    axis->setLabelsFont(arialPx(10));
}

} // namespace

void TrendChart::setUpChart() {
    auto* c = newChart();
    voltLane = newChart();
    // One ground for both lanes: the upper one fades to white, the lower one is white.
    voltLane->setBackgroundBrush(Qt::white);
    voltLane->setBackgroundPen(Qt::NoPen);
    voltLane->setTitle(QString());
    // The view lets go of the chart it made for itself: without a delete it would stay behind.
    QChart* made = chart();
    setChart(c);
    delete made;
    scene()->addItem(voltLane); // the scene owns it
    addAxes();
    voltLane->hide();

    // Series order matters: index 0 is the area, index 1 the line.
    Series2 = new TrendSeries(TrendSeries::Area, QStringLiteral("Series2"));
    Series1 = new TrendSeries(TrendSeries::Line, QStringLiteral("Series1"));
    for (TrendSeries* s : {Series2, Series1}) {
        s->addLane(c, axisX, axisY);
        s->addLane(c, axisX, axisOhm);
        // Volts in the colour of their axis.
        s->addLane(voltLane, axisVoltX, axisVolt,
                   s->kind() == TrendSeries::Area ? QColor(200, 224, 255) : QColor(), kVoltBlue);
    }
    // Zooming works on the chart's series: an empty one for each pair of axes carries the zoom
    // to the axes, which the pieces of curve are drawn against.
    const std::pair<QChart*, std::pair<QAbstractAxis*, QAbstractAxis*>> pairs[] = {
        {c, {axisX, axisY}}, {c, {axisX, axisOhm}}, {voltLane, {axisVoltX, axisVolt}}};
    for (const auto& [lane, axes] : pairs) {
        auto* anchor = new QLineSeries;
        anchor->setObjectName(QStringLiteral("zoom"));
        lane->addSeries(anchor);
        anchor->attachAxis(axes.first);
        anchor->attachAxis(axes.second);
    }
    legends_[0] = new LaneLegend(c);
    legends_[1] = new LaneLegend(voltLane);
    marks_ = new TestMarks(c, axisX);

    setRenderHint(QPainter::Antialiasing);
    setRubberBand(QChartView::RectangleRubberBand);
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
    setBackgroundBrush(kSilver);
    viewport()->setCursor(Qt::CrossCursor);
    setMouseTracking(true);
}

void TrendChart::addAxes() {
    QChart* c = chart();
    axisY = new QValueAxis;
    axisY->setRange(kAxisMin, kAxisMax);
    withDynamicTicks(axisY, "%d");
    axisY->setTickAnchor(0);
    axisY->setTickInterval(5500);
    axisY->setMinorTickCount(4);
    axisY->setGridLinePen(QPen(kSilver, 1, Qt::DotLine));
    auto labelled = [](QCategoryAxis* axis) {
        axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
        axis->setLabelsFont(arialPx(10));
        axis->setGridLinePen(QPen(kSilver, 1, Qt::DotLine));
    };
    axisX = new QCategoryAxis;
    labelled(axisX);
    axisOhm = new QCategoryAxis;
    labelled(axisOhm);
    axisOhm->setRange(kOhmDecadeLow, kOhmDecadeHigh);
    axisVoltX = new QCategoryAxis;
    labelled(axisVoltX);
    axisVolt = new QCategoryAxis;
    labelled(axisVolt);
    axisVolt->setLabelsColor(kVoltBlue);
    c->addAxis(axisX, Qt::AlignBottom);
    c->addAxis(axisY, Qt::AlignLeft);
    c->addAxis(axisOhm, Qt::AlignLeft);
    voltLane->addAxis(axisVoltX, Qt::AlignBottom);
    voltLane->addAxis(axisVolt, Qt::AlignLeft);
    // The labels follow the range, so a zoom into one decade still has some, and the lower
    // lane follows the upper one's X.
    connect(axisOhm, &QValueAxis::rangeChanged, this, &TrendChart::labelOhmAxis);
    connect(axisX, &QValueAxis::rangeChanged, this, &TrendChart::xRangeChanged);
    // A zoom or new labels lay a lane out anew: keep the lanes in line.
    for (QChart* lane : {chart(), voltLane})
        connect(lane, &QChart::plotAreaChanged, this, [this] {
            labelOhmAxis(); // as many as the lane has room for
            if (voltLane->isVisible())
                alignLanes();
            else
                placeLegends();
        });
    labelOhmAxis();
}

void TrendChart::labelOhmAxis() {
    // The chart cuts a vertical axis' labels to "..." when they are less than about 20 pixels
    // apart.
    const double height = chart()->plotArea().height();
    const int room = height > 0 ? std::max(2, int(height / 21) + 1) : 100;
    setAxisLabels(axisOhm, ohmLabels(axisOhm->min(), axisOhm->max(), room));
}

void TrendChart::setXRange(double lo, double hi) {
    if (axisX->min() != lo || axisX->max() != hi)
        axisX->setRange(lo, hi);
    else if (labelledFor_ != XLabels{page_.x, page_.origin.msOfDay, page_.origin.epochMs, lo, hi})
        xRangeChanged(lo, hi); // the labels of another view, or of another clock, go
}

void TrendChart::xRangeChanged(double lo, double hi) {
    // What X counts is the page's: rows, elapsed time or the clock; the labels of any other
    // view go.
    labelledFor_ = {page_.x, page_.origin.msOfDay, page_.origin.epochMs, lo, hi};
    const QList<AxisLabel> labels = page_.x == ChartPage::X::Clock
                                        ? clockLabels(lo, hi, page_.origin)
                                        : xLabels(lo, hi, page_.x == ChartPage::X::Elapsed);
    setAxisLabels(axisX, labels);
    axisVoltX->setRange(lo, hi);
    setAxisLabels(axisVoltX, labels);
}

double TrendChart::fitPhysicalAxes(const ChartPage& page) {
    // Whole decades around the readings on view.
    double lo = kOhmDecadeLow;
    double hi = kOhmDecadeHigh;
    if (page.maxOhms) {
        lo = std::floor(std::log10(*page.minOhms) + 1e-9);
        hi = std::max(std::ceil(std::log10(*page.maxOhms) - 1e-9), lo + 1);
    }
    axisOhm->setRange(lo, hi);
    double vlo = std::min(0.0, page.minVolts.value_or(0));
    double vhi = std::max(0.0, page.maxVolts.value_or(0));
    // As many labels as the lane has room for (as it was last laid out).
    const double laneHeight = voltLane->isVisible() ? voltLane->plotArea().height() : 100;
    const int vticks = std::clamp(int(laneHeight / 28), 1, 5);
    const double vstep = niceStep(std::max(vhi - vlo, double(vticks)), vticks); // whole volts
    vlo = std::floor(vlo / vstep) * vstep;
    vhi = std::max(std::ceil(vhi / vstep) * vstep, vlo + vstep);
    if (axisVolt->min() != vlo || axisVolt->max() != vhi || axisVolt->count() == 0) {
        axisVolt->setRange(vlo, vhi);
        setAxisLabels(axisVolt, voltLabels(vlo, vhi, vstep));
    }
    return lo;
}

void TrendChart::showAxis(QAbstractAxis* axis, bool show) {
    if (axis->isVisible() == show)
        return;
    axis->setVisible(show);
    if (show)
        measureLabelsAgain(axis);
}

void TrendChart::layoutLanes() {
    QChart* upper = chart();
    const QRectF all(QPointF(0, 0), QSizeF(viewport()->size()));
    const bool counts = view_ == View::Counts;
    const bool ohms = counts || lanesShown_[0], volts = !counts && lanesShown_[1];
    // Laying the lanes out is the dearest part of a redraw: only when what they hold changed.
    const LaneLayout now{all.size(),
                         stripHeight_,
                         counts,
                         ohms,
                         volts,
                         !legends_[0]->entries().isEmpty(),
                         !legends_[1]->entries().isEmpty()};
    if (now == laidOut_)
        return;
    laidOut_ = now;
    axisX->setLabelsVisible(!volts);
    if (volts && !voltLane->isVisible()) {
        voltLane->show();
        measureLabelsAgain(axisVolt);
        measureLabelsAgain(axisVoltX);
    }
    voltLane->setVisible(volts);
    for (int k = 0; k < 2; ++k)
        legends_[k]->setVisible(!counts && lanesShown_[k] && !legends_[k]->entries().isEmpty());
    if (!volts) {
        upper->setGeometry(all);
        setLaneMargins(upper, QMargins(1, stripHeight_, 6, 1));
        placeLegends();
        return;
    }
    // The resistance lane takes most of the height; without resistances it shrinks to the strip.
    const double stripAndTitle = stripHeight_ + 16;
    const double xLabels = 20;
    const double free = std::max(all.height() - stripAndTitle - xLabels, 20.0);
    const double upperHeight =
        ohms ? stripAndTitle + std::round(free * 0.58) : std::min(stripAndTitle, all.height() / 2);
    upper->setGeometry(QRectF(0, 0, all.width(), upperHeight));
    voltLane->setGeometry(QRectF(0, upperHeight, all.width(), all.height() - upperHeight));
    setLaneMargins(upper, QMargins(1, stripHeight_, 6, 4));
    setLaneMargins(voltLane, QMargins(1, 4, 6, 1));
    alignLanes();
}

void TrendChart::setLaneMargins(QChart* lane, const QMargins& margins) {
    laneMargins_[lane == voltLane] = margins;
    // Beside the plot, two lanes keep the margins that align them (see alignLanes).
    QMargins m = margins;
    if (voltLane->isVisible()) {
        m.setLeft(lane->margins().left());
        m.setRight(lane->margins().right());
    }
    if (lane->margins() != m)
        lane->setMargins(m);
}

void TrendChart::alignLanes() {
    // Each lane lays itself out around its own labels; widen the margins of the one whose plot
    // starts further left (or ends further right), so that one X is one place in both.
    if (aligning_ || !voltLane->isVisible() || !legends_[0])
        return;
    aligning_ = true;
    QChart* lanes[2] = {chart(), voltLane};
    double labels[2], rightLabels[2]; // what each lane's axes take beside its plot
    double left = 0, right = 0;
    for (int k = 0; k < 2; ++k) {
        const QRectF p = lanes[k]->plotArea();
        const QMargins m = lanes[k]->margins();
        labels[k] = p.left() - m.left();
        rightLabels[k] = lanes[k]->size().width() - m.right() - p.right();
        left = std::max(left, laneMargins_[k].left() + labels[k]);
        right = std::max(right, laneMargins_[k].right() + rightLabels[k]);
    }
    for (int k = 0; k < 2; ++k) {
        QMargins m = lanes[k]->margins();
        m.setLeft(int(std::round(left - labels[k])));
        m.setRight(int(std::round(right - rightLabels[k])));
        if (lanes[k]->margins() != m) {
            lanes[k]->setMargins(m);
            lanes[k]->layout()->activate();
        }
    }
    aligning_ = false;
    placeLegends();
}

void TrendChart::placeLegends() {
    if (!legends_[0])
        return; // still being made
    legends_[0]->setPos(chart()->plotArea().topLeft() + QPointF(3, 3));
    legends_[1]->setPos(voltLane->plotArea().topLeft() + QPointF(3, 3));
}

void TrendChart::showEvent(QShowEvent* event) {
    QChartView::showEvent(event);
    // Labels measured while the chart was never shown are measured as empty.
    for (QAbstractAxis* axis :
         {static_cast<QAbstractAxis*>(axisX), static_cast<QAbstractAxis*>(axisY),
          static_cast<QAbstractAxis*>(axisOhm), static_cast<QAbstractAxis*>(axisVoltX),
          static_cast<QAbstractAxis*>(axisVolt)})
        if (axis->isVisible())
            measureLabelsAgain(axis);
}

void TrendChart::resizeEvent(QResizeEvent* event) {
    QChartView::resizeEvent(event);
    layoutStrip();
}
