#include "chart/chart_axes.h"
#include "chart/chart_data.h"
#include "chart/chart_paging.h"
#include "chart/trend_chart.h"
#include "record/reading_table.h"
#include "record/test_model.h"

#include <QApplication>
#include <QCategoryAxis>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QToolButton>
#include <QToolTip>
#include <QValueAxis>

#include <QPointer>

#include "tests/reading_rows.h"
#include "tests/test_app.h"

#include <gtest/gtest.h>

namespace {

using B = ChartPaging::Buttons;

// The test program may already have its application object.
TEST(ChartPaging, NextAndPreviousGreyOnlyWhenPressedAtTheirEnd) {
    ChartPaging p;
    p.setPointsPerPage(10);
    p.setPointCount(25, false);
    EXPECT_EQ(p.pageCount(), 3);
    EXPECT_EQ(p.buttons(), (B{true, true, true, true}));

    p.next();
    p.next();
    EXPECT_EQ(p.page(), 3);
    EXPECT_EQ(p.buttons(), (B{true, true, true, true}));
    p.next(); // at the end: greys Next and Last, stays
    EXPECT_EQ(p.page(), 3);
    EXPECT_EQ(p.buttons(), (B{true, true, false, false}));

    p.previous();
    p.previous(); // onto page 1: First and Previous stay enabled
    EXPECT_EQ(p.page(), 1);
    EXPECT_EQ(p.buttons(), (B{true, true, true, true}));
    p.previous(); // once more: now they grey
    EXPECT_EQ(p.page(), 1);
    EXPECT_EQ(p.buttons(), (B{false, false, true, true}));

    p.last();
    EXPECT_EQ(p.page(), 3);
    EXPECT_EQ(p.buttons(), (B{true, true, false, false}));
    EXPECT_EQ(p.firstPointOnPage(), 20);
    EXPECT_EQ(p.slotsOnPage(), 10); // the last page keeps the width of a full page
    p.first();
    EXPECT_EQ(p.page(), 1);
    EXPECT_EQ(p.buttons(), (B{false, false, true, true}));
}

TEST(ChartPaging, PageSizeZeroIsOnePageAndShrinkingMovesToTheLastPage) {
    ChartPaging p;
    p.setPointCount(250, false);
    p.last();
    EXPECT_EQ(p.page(), 3);
    p.setPointsPerPage(0);
    EXPECT_EQ(p.pageCount(), 1);
    EXPECT_EQ(p.page(), 1);
    EXPECT_EQ(p.slotsOnPage(), 250);
    p.next();
    EXPECT_EQ(p.page(), 1);
    EXPECT_EQ(p.buttons(), (B{true, true, false, false}));

    p.setPointsPerPage(50);
    p.last();
    p.setPointsPerPage(100); // 3 pages now: page 5 is beyond them
    EXPECT_EQ(p.page(), 3);
}

TEST(ChartPaging, NewPointsAreFollowedOnlyFromTheLastPage) {
    ChartPaging p;
    p.setPointsPerPage(10);
    p.setPointCount(10, true);
    EXPECT_EQ(p.page(), 1);
    p.setPointCount(11, true);
    EXPECT_EQ(p.page(), 2);
    p.first();
    p.setPointCount(31, true);
    EXPECT_EQ(p.page(), 1);
    p.last();
    p.setPointCount(5, false); // rows removed
    EXPECT_EQ(p.page(), 1);
}

TEST(ChartPaging, AFullLastPageHoldsTheNewestPoints) {
    ChartPaging p;
    p.setFullLastPage(true);
    p.setPointsPerPage(100);
    p.setPointCount(60, true);
    EXPECT_EQ(p.firstPointOnPage(), 0); // fewer points than a page
    p.setPointCount(250, true);
    EXPECT_EQ(p.page(), 3);
    EXPECT_EQ(p.firstPointOnPage(), 160); // moves on by a fifth of a page: 90 points on view
    p.setPointCount(260, true);
    EXPECT_EQ(p.firstPointOnPage(), 160);
    p.setPointCount(261, true);
    EXPECT_EQ(p.firstPointOnPage(), 180);
    p.previous();
    EXPECT_EQ(p.firstPointOnPage(), 100);
    p.setPointCount(301, true); // not on the last page: nothing moves
    EXPECT_EQ(p.firstPointOnPage(), 100);
}

class ChartTest : public ::testing::Test {
protected:
    void SetUp() override {
        app();
        chart = std::make_unique<TrendChart>();
        chart->resize(361, 209);
        chart->setMessageSink(
            [this](bool error, const QString& text) { (error ? errors : infos).append(text); });
        chart->setTests(&tests);
        chart->startUp();
    }
    void addRows(int n, const QString& value = QStringLiteral("1.000"),
                 const QString& unit = QStringLiteral("M\u03A9")) {
        for (int i = 0; i < n; ++i) {
            table.append(readingRow(table.rowCount() + 1, -1, value, unit, {}, {}));
        }
    }
    // A reading of an insulation test at `seconds` after 06:27:19.
    void reading(int seconds, const QString& value, const QString& unit,
                 const QString& function = QStringLiteral("IR:1000V 40G\u03A9"),
                 const QString& mode = {}) {
        table.append(readingRow(table.rowCount() + 1, (6 * 3600 + 27 * 60 + 19 + seconds) * 1000,
                                value, unit, function, mode));
    }

    ReadingTable table;
    TestModel tests{table};
    std::unique_ptr<TrendChart> chart;
    QStringList errors, infos;
};

TEST_F(ChartTest, StartsInThePhysicalViewWithTheAreaSeriesAndAllPagingButtonsEnabled) {
    EXPECT_EQ(chart->view(), TrendChart::View::Physical);
    EXPECT_FALSE(chart->countView->isChecked());
    EXPECT_TRUE(chart->axisOhm->isVisible());
    EXPECT_FALSE(chart->voltLaneShown());
    EXPECT_FALSE(chart->axisY->isVisible());
    EXPECT_EQ(chart->xAxis(), TrendChart::XAxis::ElapsedTime);
    EXPECT_EQ(
        chart->axisOhm->categoriesLabels().join(u'|'),
        u"100 k\u03A9|1 M\u03A9|10 M\u03A9|100 M\u03A9|1 G\u03A9|10 G\u03A9|100 G\u03A9|1 T\u03A9");
    EXPECT_TRUE(chart->series(0).points().isEmpty());
    EXPECT_TRUE(chart->figures->isHidden());
    chart->countView->click();
    EXPECT_TRUE(chart->series(0).isActive());
    EXPECT_FALSE(chart->series(1).isActive());
    EXPECT_EQ(chart->series(0).kind(), TrendSeries::Area);
    EXPECT_EQ(chart->series(1).name(), u"Series1");
    EXPECT_EQ(chart->paging().pointsPerPage(), 100);
    EXPECT_EQ(chart->Bt10->text(), u"1");
    EXPECT_TRUE(chart->BtFill->isChecked());
    EXPECT_FALSE(chart->TbFd->isHidden());
    EXPECT_TRUE(chart->TbSx->isHidden());
    for (QToolButton* b : {chart->BtFirst, chart->BTPrevious, chart->BtNext, chart->BTlast})
        EXPECT_TRUE(b->isEnabled());
    EXPECT_EQ(chart->axisY->min(), -11000);
    EXPECT_EQ(chart->axisY->max(), 11000);
    EXPECT_TRUE(chart->series(0).points().isEmpty());
    EXPECT_TRUE(chart->axisY->isVisible());
    EXPECT_FALSE(chart->axisOhm->isVisible());
}

TEST_F(ChartTest, ClosingTheChartFreesEverySeries) {
    addRows(250); // pieces beyond the first, for the area's runs too
    QCoreApplication::processEvents();
    QList<QPointer<QObject>> parts;
    for (TrendSeries* s : {chart->Series1, chart->Series2})
        for (PlotItem* item : s->items())
            parts.append(item);
    ASSERT_FALSE(parts.isEmpty());
    chart.reset();
    for (const QPointer<QObject>& p : parts)
        EXPECT_TRUE(p.isNull()) << "a series outlives its chart";
}

TEST_F(ChartTest, FillSwitchAndClearChooseTheActiveSeries) {
    chart->BtFill->setChecked(false);
    chart->BtFillClick();
    EXPECT_FALSE(chart->series(0).isActive());
    EXPECT_TRUE(chart->series(1).isActive());
    chart->BtNewClick();
    EXPECT_TRUE(chart->series(1).isActive());
    EXPECT_FALSE(chart->series(0).isActive());
    chart->BtFill->setChecked(true);
    chart->BtFillClick();
    EXPECT_TRUE(chart->series(0).isActive());
    EXPECT_FALSE(chart->series(1).isActive());
    chart->ShowSeries(1);
    EXPECT_TRUE(chart->series(1).isActive());
    EXPECT_FALSE(chart->series(0).isActive());
}

TEST_F(ChartTest, DeleteGraphicShowsAnEmptyPlotWithTheAxesOfStartUp) {
    struct Axes {
        double x0, x1, y0, y1, ohm0, ohm1;
        bool operator==(const Axes&) const = default;
    };
    auto axes = [this] {
        return Axes{chart->axisX->min(), chart->axisX->max(),   chart->axisY->min(),
                    chart->axisY->max(), chart->axisOhm->min(), chart->axisOhm->max()};
    };
    for (bool counts : {true, false}) {
        chart->countView->setChecked(counts);
        const Axes fresh = axes();
        reading(0, "12.50", QStringLiteral("T\u03A9"));
        reading(1, "230", "V", "ACV  600V");
        reading(2, "0.020", QStringLiteral("M\u03A9"));
        ASSERT_FALSE(chart->series(0).points().isEmpty());
        chart->BtNewClick();
        for (int i : {0, 1})
            EXPECT_TRUE(chart->series(i).points().isEmpty()) << "no point after a clear";
        EXPECT_EQ(axes(), fresh);
    }
}

TEST_F(ChartTest, PageNumberDisplayFollowsTheButtonsButNotThePageSize) {
    chart->setView(TrendChart::View::Counts);
    addRows(250);
    EXPECT_EQ(chart->paging().page(), 3); // followed the new rows
    chart->BtFirstClick();
    EXPECT_EQ(chart->Bt10->text(), u"1");
    EXPECT_FALSE(chart->BtFirst->isEnabled());
    EXPECT_FALSE(chart->BTPrevious->isEnabled());
    chart->BtNextClick();
    EXPECT_EQ(chart->Bt10->text(), u"2");
    EXPECT_TRUE(chart->BtFirst->isEnabled());
    chart->BTlastClick();
    EXPECT_EQ(chart->Bt10->text(), u"3");
    EXPECT_FALSE(chart->BtNext->isEnabled());
    EXPECT_EQ(chart->axisX->min(), 201);
    EXPECT_EQ(chart->axisX->max(), 300);

    chart->Maxrecord->setText(QStringLiteral("0"));
    EXPECT_EQ(chart->paging().page(), 1);
    EXPECT_EQ(chart->Bt10->text(), u"3"); // kept until a paging button is used
    EXPECT_EQ(chart->series(0).points().size(), 250);
    chart->BtNextClick();
    EXPECT_EQ(chart->Bt10->text(), u"1");
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(ChartTest, PageSizeTextThatIsNoNumberOrNegativeIsRefused) {
    chart->Maxrecord->setText(QStringLiteral("50"));
    chart->Maxrecord->setText(QString());
    chart->Maxrecord->setText(QStringLiteral("-5"));
    EXPECT_EQ(errors, (QStringList{QStringLiteral("'' is not a valid integer value"),
                                   QStringLiteral("MaxPointsPerPage must be >= 0")}));
    EXPECT_EQ(chart->paging().pointsPerPage(), 50);

    // Typed or pasted, only digits reach the field.
    chart->Maxrecord->setText(QStringLiteral("1"));
    chart->Maxrecord->setCursorPosition(1);
    chart->Maxrecord->insert(QStringLiteral("-3")); // what a paste does
    EXPECT_EQ(chart->Maxrecord->text(), u"1");
    chart->Maxrecord->insert(QStringLiteral("0"));
    EXPECT_EQ(chart->Maxrecord->text(), u"10");
    chart->Maxrecord->setText(QStringLiteral("1"));
    chart->Maxrecord->setCursorPosition(1);
    QKeyEvent minus(QEvent::KeyPress, Qt::Key_Minus, Qt::NoModifier, QStringLiteral("-"));
    QApplication::sendEvent(chart->Maxrecord, &minus);
    QKeyEvent two(QEvent::KeyPress, Qt::Key_2, Qt::NoModifier, QStringLiteral("2"));
    QApplication::sendEvent(chart->Maxrecord, &two);
    EXPECT_EQ(chart->Maxrecord->text(), u"12");
}

TEST_F(ChartTest, CountViewPlotKeepsInStepWithTheTable) {
    chart->countView->click();
    addRows(3);
    addRows(1, QStringLiteral("0L"));
    addRows(2, QStringLiteral("-2.50"));
    const QList<QPointF> pts = chart->series(0).points();
    ASSERT_EQ(pts.size(), 5);
    EXPECT_EQ(pts.front(), QPointF(1, 1000));
    EXPECT_EQ(pts.back(), QPointF(6, -250));
    EXPECT_EQ(chart->series(0).pieceCount(), 2); // "0L" leaves a gap
    EXPECT_EQ(chart->series(1).points(), pts);
    EXPECT_EQ(chart->pointText(chart->rowAtX(6)), u"No 6 \u00B7 -2.50 M\u03A9");

    table.removeRow(0);
    EXPECT_EQ(chart->series(1).points().front(), QPointF(1, 1000));
    EXPECT_EQ(chart->series(1).points().size(), 4);

    chart->BtNewClick(); // clears the chart, not the table
    EXPECT_TRUE(chart->series(0).points().isEmpty());
    addRows(2, QStringLiteral("3"));
    EXPECT_EQ(chart->series(0).points(), (QList<QPointF>{{6, 3}, {7, 3}}));
    EXPECT_EQ(chart->rowAtX(2), -1); // cleared away
    table.removeRow(0);              // a row before the cleared point moves the plotted rows up
    EXPECT_EQ(chart->series(0).points(), (QList<QPointF>{{5, 3}, {6, 3}}));

    table.clear();
    EXPECT_TRUE(chart->series(0).points().isEmpty());
    EXPECT_EQ(chart->rowAtX(0), -1);
    table.suspendUpdates();
    addRows(120);
    table.resumeUpdates();
    EXPECT_EQ(chart->paging().pageCount(), 2);
    EXPECT_EQ(chart->series(0).points().size(), 100);
}

TEST_F(ChartTest, PhysicalViewDrawsOhmsAndVoltsInLanesOfTheirOwn) {
    chart->setXAxis(TrendChart::XAxis::Clock);
    const QString G = QStringLiteral("G\u03A9"), M = QStringLiteral("M\u03A9");
    reading(-6, "0.4", "V", "DCV  600V");
    reading(-5, "512.0", M);
    reading(-4, "2,961", G); // recorded under a locale with a decimal comma
    reading(-3, "0L", G);
    reading(-2, "0.050", M); // 50 kΩ: below the axis' usual floor, and a test of its own
    reading(0, "2.961", G);
    reading(1, "230.1", "V", "ACV  600V");
    reading(2, "", G);
    reading(3, "0.000", M); // a dead short

    // X is the clock: seconds from the first row.
    const QList<QPointF> ohms = chart->series(0).points(chart->axisOhm);
    ASSERT_EQ(ohms.size(), 5);
    EXPECT_EQ(ohms[0].x(), 1);
    EXPECT_DOUBLE_EQ(ohms[0].y(), std::log10(512e6));
    EXPECT_EQ(ohms[1].x(), 2);
    EXPECT_DOUBLE_EQ(ohms[1].y(), std::log10(2.961e9));
    EXPECT_EQ(ohms[2].x(), 4);
    EXPECT_DOUBLE_EQ(ohms[2].y(), std::log10(50e3));
    EXPECT_EQ(ohms[3].x(), 6);
    EXPECT_EQ(ohms[4], QPointF(9, 4)); // on the floor of the axis
    EXPECT_EQ(chart->series(0).points(chart->axisVolt), (QList<QPointF>{{0, 0.4}, {7, 230.1}}));
    // Three tests (the "0L" leaves a gap in the first) and two stretches of volts.
    EXPECT_EQ(chart->series(0).pieceCount(), 5);
    // Each test in its function's colour: both at 1000 V alike, the volts in another.
    const PlotRun* first = chart->series(0).piece(0);
    const PlotRun* volts = chart->series(0).piece(3);
    ASSERT_TRUE(first && volts);
    EXPECT_EQ(chart->series(0).piece(1)->line, first->line);
    EXPECT_NE(volts->line, first->line);
    EXPECT_TRUE(first->fill.isValid());
    chart->BtFill->click(); // the line series: no fill
    EXPECT_FALSE(chart->series(1).piece(0)->fill.isValid());
    EXPECT_EQ(chart->series(1).points(chart->axisOhm), ohms);

    // Whole decades around the readings on view; volts from zero.
    EXPECT_EQ(chart->axisOhm->min(), 4);
    EXPECT_EQ(chart->axisOhm->max(), 10);
    EXPECT_EQ(chart->axisOhm->categoriesLabels().front(), u"10 k\u03A9");
    EXPECT_EQ(chart->axisVolt->min(), 0);
    EXPECT_GE(chart->axisVolt->max(), 230.1);
    EXPECT_LE(chart->axisVolt->max(), 500);
    EXPECT_EQ(chart->axisVolt->categoriesLabels().front(), u"0 V");
    EXPECT_EQ(chart->axisX->categoriesLabels().front(), u"06:27:30"); // at whole steps

    // The voltage lane lies below the resistance lane, over the same X.
    chart->resize(600, 400);
    chart->show();
    EXPECT_TRUE(chart->voltLaneShown());
    const QRectF upper = chart->chart()->mapRectToScene(chart->chart()->plotArea());
    const QRectF lower = chart->voltLane->mapRectToScene(chart->voltLane->plotArea());
    EXPECT_GT(lower.top(), upper.bottom());
    EXPECT_NEAR(lower.left(), upper.left(), 0.5);
    EXPECT_NEAR(lower.width(), upper.width(), 0.5);
    EXPECT_GT(upper.height(), lower.height());
    EXPECT_EQ(chart->axisVoltX->min(), chart->axisX->min());
    EXPECT_EQ(chart->axisVoltX->max(), chart->axisX->max());
    EXPECT_EQ(chart->legendText(0), u"06:27:14 IR:1000V 40G\u03A9\n06:27:17 IR:1000V 40G\u03A9\n"
                                    u"06:27:22 IR:1000V 40G\u03A9");
    EXPECT_EQ(chart->legendText(1), u"06:27:13 DCV  600V\n06:27:20 ACV  600V");
    // The pointer finds rows in either lane.
    const double span = chart->axisX->max() - chart->axisX->min();
    const QPointF onVolt(lower.left() + lower.width() * (7 - chart->axisX->min()) / span,
                         lower.center().y());
    EXPECT_EQ(chart->rowAtViewPos(chart->mapFromScene(onVolt)), 6);

    EXPECT_EQ(chart->pointText(5), u"No 6 \u00B7 06:27:19 \u00B7 2.961 G\u03A9");
    EXPECT_EQ(chart->pointText(chart->rowAtX(3)), u"No 4 \u00B7 06:27:16 \u00B7 0L G\u03A9");
    EXPECT_EQ(chart->pointText(7), u"No 8 \u00B7 06:27:21 \u00B7 (no value) G\u03A9");

    // The count view is one click away, and back; its axis keeps no label of the clock.
    chart->countView->click();
    EXPECT_EQ(chart->view(), TrendChart::View::Counts);
    const QList<QPointF> counts = chart->series(1).points(chart->axisY);
    EXPECT_TRUE(counts.contains(QPointF(3, 2961)));
    EXPECT_TRUE(counts.contains(QPointF(7, 2301)));
    EXPECT_TRUE(chart->series(1).points(chart->axisOhm).isEmpty());
    EXPECT_FALSE(chart->voltLaneShown());
    EXPECT_FALSE(chart->voltLane->isVisible());
    EXPECT_TRUE(chart->legendText(0).isEmpty());
    for (const QString& label : chart->axisX->categoriesLabels())
        EXPECT_FALSE(label.contains(u':')) << label.toStdString();
    chart->countView->click();
    EXPECT_EQ(chart->series(1).points(chart->axisOhm), ohms);

    // A table of volts only has no use for the resistance lane.
    table.clear();
    addRows(3, QStringLiteral("12.5"), QStringLiteral("V"));
    EXPECT_FALSE(chart->axisOhm->isVisible());
    EXPECT_TRUE(chart->voltLaneShown());
    EXPECT_GT(chart->voltLane->plotArea().height(), 200);
}

TEST_F(ChartTest, TeraohmsArePlottedAndRowsWithoutAUnitAreGaps) {
    chart->setXAxis(TrendChart::XAxis::Clock);
    const QString T = QStringLiteral("T\u03A9");
    reading(0, "1.200", T);
    reading(1, "2.60", "");     // the meter's own PI result
    reading(2, "2.60", "NULL"); // the same, read back from a text table
    reading(3, "900.0", QStringLiteral("G\u03A9"));
    const QList<QPointF> ohms = chart->series(0).points(chart->axisOhm);
    ASSERT_EQ(ohms.size(), 2);
    EXPECT_DOUBLE_EQ(ohms[0].y(), std::log10(1.2e12));
    EXPECT_EQ(ohms[1].x(), 3);
    EXPECT_DOUBLE_EQ(ohms[1].y(), std::log10(900e9));
    EXPECT_EQ(chart->series(0).pieceCount(), 2);
    EXPECT_TRUE(chart->series(0).points(chart->axisVolt).isEmpty());
    EXPECT_EQ(chart->axisOhm->max(), 13);
    EXPECT_EQ(chart->axisOhm->categoriesLabels().back(), u"10 T\u03A9");
    EXPECT_EQ(chart->pointText(1), u"No 2 \u00B7 06:27:20 \u00B7 2.60");
    EXPECT_EQ(chart->pointText(2), u"No 3 \u00B7 06:27:21 \u00B7 2.60");
}

TEST_F(ChartTest, TheToolStripKeepsWorkingOnTheClock) {
    chart->setXAxis(TrendChart::XAxis::Clock);
    const QString M = QStringLiteral("M\u03A9");
    // One test read every second, rising from 100 MΩ by 4 MΩ a reading.
    for (int i = 0; i < 250; ++i)
        reading(i, QString::number(100 + 4 * i) + QStringLiteral(".0"), M);
    EXPECT_EQ(chart->paging().page(), 3);
    QList<QPointF> pts = chart->series(0).points(chart->axisOhm);
    ASSERT_EQ(pts.size(), 90); // the last page holds the newest rows, most of a page
    EXPECT_DOUBLE_EQ(pts.front().y(), std::log10(740e6));
    EXPECT_EQ(pts.front().x(), 160); // seconds on the clock from the first row
    EXPECT_EQ(chart->axisOhm->min(), 8);
    EXPECT_EQ(chart->axisOhm->max(), 10);

    chart->BtFirstClick();
    pts = chart->series(0).points(chart->axisOhm);
    ASSERT_EQ(pts.size(), 100);
    EXPECT_EQ(pts.front().x(), 0);
    EXPECT_EQ(chart->axisOhm->min(), 8); // 100 .. 496 MΩ
    EXPECT_EQ(chart->axisOhm->max(), 9);

    chart->BtFill->click();
    EXPECT_TRUE(chart->series(1).isActive());
    EXPECT_FALSE(chart->series(0).isActive());
    EXPECT_EQ(chart->series(1).points(chart->axisOhm), pts);

    // Zoomed into less than a decade, the axis labels the steps in between.
    const QRectF plot = chart->chart()->plotArea();
    chart->chart()->zoomIn(
        QRectF(plot.left(), plot.top() + plot.height() / 4, plot.width() / 2, plot.height() / 2));
    EXPECT_LT(chart->axisOhm->max() - chart->axisOhm->min(), 0.8);
    EXPECT_GT(chart->axisOhm->categoriesLabels().size(), 0);
    EXPECT_EQ(chart->axisVoltX->max(), chart->axisX->max()); // the lanes keep one X
    chart->BtNextClick();                                    // a new page is shown whole
    EXPECT_EQ(chart->axisOhm->min(), 8);
    EXPECT_EQ(chart->axisOhm->max(), 9);
    EXPECT_EQ(chart->axisOhm->categoriesLabels().join(u' '),
              u"100 M\u03A9 200 M\u03A9 500 M\u03A9 1 G\u03A9");

    chart->Maxrecord->setText(QStringLiteral("0"));
    EXPECT_EQ(chart->series(1).points(chart->axisOhm).size(), 250);
    chart->BtNewClick();
    EXPECT_TRUE(chart->series(1).points().isEmpty());
    reading(250, QStringLiteral("1.000"), QStringLiteral("G\u03A9"));
    EXPECT_EQ(chart->series(1).points(), (QList<QPointF>{{0, 9}})); // the clock starts anew
}

TEST_F(ChartTest, TheElapsedViewShowsOneTestWholeFromZero) {
    for (int t : {-30, -20, -10})
        reading(t, QStringLiteral("1.5"), QStringLiteral("V"), QStringLiteral("DCV  600V"));
    // No test yet: the clock, paged.
    EXPECT_EQ(chart->page().x, ChartPage::X::Clock);
    EXPECT_TRUE(chart->BtNext->isEnabled());
    for (int t = 0; t <= 600; t += 10)
        reading(t, QString::number(1 + t / 100.0, 'f', 3), QStringLiteral("G\u03A9"));
    // The test whole, although a page holds 100 points: 0:00 to 10:00, no volts, no pages.
    EXPECT_EQ(chart->page().x, ChartPage::X::Elapsed);
    const QList<QPointF> ohms = chart->series(0).points(chart->axisOhm);
    ASSERT_EQ(ohms.size(), 61);
    EXPECT_EQ(ohms.front().x(), 0);
    EXPECT_EQ(ohms.back().x(), 600);
    EXPECT_TRUE(chart->series(0).points(chart->axisVolt).isEmpty());
    EXPECT_FALSE(chart->voltLaneShown());
    EXPECT_EQ(chart->axisX->min(), 0);
    EXPECT_EQ(chart->axisX->max(), 600);
    EXPECT_EQ(chart->axisX->categoriesLabels().join(u' '), u"0:00 2:00 4:00 6:00 8:00 10:00");
    for (QToolButton* b : {chart->BtFirst, chart->BTPrevious, chart->BtNext, chart->BTlast})
        EXPECT_FALSE(b->isEnabled());
    EXPECT_EQ(chart->rowAtX(301), 3 + 30); // the nearest reading in time
    EXPECT_EQ(chart->legendText(0), u"06:27:19 IR:1000V 40G\u03A9");
    EXPECT_FALSE(chart->testList->isHidden());
    EXPECT_EQ(chart->testList->count(), 1);
    EXPECT_EQ(chart->testList->currentText(), u"06:27:19 IR:1000V 40G\u03A9");

    // The switch: the clock, every row in order, the volts in their lane.
    chart->timeAxis->click();
    EXPECT_EQ(chart->xAxis(), TrendChart::XAxis::Clock);
    EXPECT_TRUE(chart->testList->isHidden());
    EXPECT_EQ(chart->page().x, ChartPage::X::Clock);
    EXPECT_EQ(chart->series(0).points(chart->axisVolt).front().x(), 0);
    EXPECT_EQ(chart->series(0).points(chart->axisOhm).front().x(), 30);
    EXPECT_TRUE(chart->axisX->categoriesLabels().front().contains(u':'));
    EXPECT_TRUE(chart->BTlast->isEnabled());
    chart->timeAxis->click();
    EXPECT_EQ(chart->page().x, ChartPage::X::Elapsed);
    for (const QString& label : chart->axisX->categoriesLabels())
        EXPECT_FALSE(label.startsWith(u"06:")) << "no clock label left behind";

    // A test across midnight counts on.
    table.clear();
    for (int ms : {86'390'000, 0, 10'000})
        table.append(readingRow(table.rowCount() + 1, ms, QStringLiteral("2.000"),
                                QStringLiteral("G\u03A9")));
    EXPECT_EQ(chart->series(0).points(chart->axisOhm),
              (QList<QPointF>{{0, std::log10(2e9)}, {10, std::log10(2e9)}, {20, std::log10(2e9)}}));
}

TEST_F(ChartTest, TheTestInProgressIsOnViewElseThePickedOneElseTheLast) {
    const QString G = QStringLiteral("G\u03A9");
    const QString ir = QStringLiteral("IR:1000V 40G\u03A9");
    // A loaded table of two tests: the last one is on view.
    table.suspendUpdates();
    for (int t = 0; t <= 60; t += 10)
        reading(t, QStringLiteral("1.000"), G, ir, QStringLiteral("Timed"));
    for (int t = 70; t <= 130; t += 10) // the PI test right after: a test of its own
        reading(t, QStringLiteral("2.000"), G, ir, QStringLiteral("PI"));
    table.resumeUpdates();
    ASSERT_EQ(tests.count(), 2);
    EXPECT_EQ(chart->runOnView(), 1);
    EXPECT_EQ(chart->testList->count(), 2);
    // Picked from the list: that one, from 0:00.
    chart->testList->activated(0);
    EXPECT_EQ(chart->runOnView(), 0);
    EXPECT_EQ(chart->series(0).points(chart->axisOhm).size(), 7);
    EXPECT_EQ(chart->series(0).points(chart->axisOhm).front().x(), 0);
    EXPECT_EQ(chart->testList->currentIndex(), 0);
    // Recording: a new test begins and is followed as it grows, whole at every moment.
    for (int t = 400; t <= 700; t += 10) {
        reading(t, QStringLiteral("3.000"), G, QStringLiteral("IR:500V 20G\u03A9"));
        ASSERT_EQ(chart->runOnView(), 2);
        ASSERT_EQ(chart->series(0).points(chart->axisOhm).size(), (t - 400) / 10 + 1);
        ASSERT_EQ(chart->axisX->min(), 0);
        ASSERT_GE(chart->axisX->max(), t - 400);
    }
    EXPECT_EQ(chart->testList->count(), 3);
    EXPECT_EQ(chart->testList->currentIndex(), 2);
    // Picked while recording, the pick stays until the next test begins.
    chart->testList->activated(1);
    reading(710, QStringLiteral("3.000"), G, QStringLiteral("IR:500V 20G\u03A9"));
    EXPECT_EQ(chart->runOnView(), 1);
    reading(900, QStringLiteral("3.000"), G, QStringLiteral("IR:500V 20G\u03A9"));
    EXPECT_EQ(chart->runOnView(), 3);
    // Deleting the graphic leaves the tests before it off the list.
    chart->BtNewClick();
    EXPECT_EQ(chart->testList->count(), 0);
}

TEST_F(ChartTest, WhileRecordingTheClockFollowsTheNewestRowsWithoutAnEmptyPage) {
    chart->setXAxis(TrendChart::XAxis::Clock);
    chart->Maxrecord->setText(QStringLiteral("10"));
    for (int i = 0; i < 25; ++i) {
        reading(i, QStringLiteral("1.000"), QStringLiteral("G\u03A9"));
        const QList<QPointF> pts = chart->series(0).points(chart->axisOhm);
        ASSERT_GE(pts.size(), std::min(i + 1, 8)) << "after row " << i + 1;
        ASSERT_LE(pts.size(), 10);
        EXPECT_EQ(pts.back().x(), i) << "the newest row is on view";
        EXPECT_GE(chart->axisX->min(), 0) << "no time before the table's first row";
    }
    EXPECT_EQ(chart->Bt10->text(), u"3");
    // Paged back, the view stays where the user put it.
    chart->BtFirstClick();
    reading(25, QStringLiteral("1.000"), QStringLiteral("G\u03A9"));
    EXPECT_EQ(chart->series(0).points(chart->axisOhm).back().x(), 9);
    // The count view pages as ever: its last page holds what is left.
    chart->setView(TrendChart::View::Counts);
    chart->BTlastClick();
    EXPECT_EQ(chart->series(0).points(chart->axisY).size(), 6);
}

TEST_F(ChartTest, ThePointTipStaysWhileThePointerIsOnThePoint) {
    chart->setXAxis(TrendChart::XAxis::Clock);
    chart->resize(600, 300);
    chart->show();
    for (int i = 0; i < 20; ++i)
        reading(i, QStringLiteral("1.000"), QStringLiteral("G\u03A9"));
    const QRect column = chart->pointColumn(4);
    ASSERT_FALSE(column.isEmpty());
    const QPoint at(column.center().x(), chart->viewport()->height() / 2);
    EXPECT_EQ(chart->rowAtViewPos(at), 4);
    QMouseEvent move(QEvent::MouseMove, at, chart->viewport()->mapToGlobal(at), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(chart->viewport(), &move);
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text(), chart->pointText(4));
    // New rows redraw the chart; the tip stays.
    reading(20, QStringLiteral("1.100"), QStringLiteral("G\u03A9"));
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text(), chart->pointText(4));
    QToolTip::hideText();
}

TEST_F(ChartTest, TheStripShowsTheFiguresOfTheTestOnView) {
    const QString G = QStringLiteral("G\u03A9");
    // A ten-minute test read every 10 s: 1 GΩ at 30 s, 1.5 GΩ at 1 min, 3.3 GΩ at 10 min.
    auto at = [](int t) {
        const double g = t <= 30   ? 0.5 + t / 60.0
                         : t <= 60 ? 1 + (t - 30) / 60.0
                                   : 1.5 + (t - 60) / 300.0;
        return QString::number(g, 'f', 3);
    };
    for (int t = 0; t <= 60; t += 10)
        reading(t, at(t), G);
    EXPECT_EQ(chart->figures->text(), u"Test 06:27:19   DAR 1.50   PI -");
    EXPECT_TRUE(
        chart->figures->toolTip().contains(u"R(10 min): not available (the test ended before)"));
    for (int t = 70; t <= 600; t += 10)
        reading(t, at(t), G);
    EXPECT_EQ(chart->figures->text(), u"Test 06:27:19   DAR 1.50   PI 2.20");
    EXPECT_TRUE(chart->figures->toolTip().contains(u"R(10 min): 3.300 G\u03A9"));
    // The meter ends its PI test by showing its own result, without a unit.
    reading(605, QStringLiteral("2.19"), QString(), QStringLiteral("IR:1000V 40G\u03A9"),
            QStringLiteral("PI"));
    EXPECT_EQ(chart->figures->text(), u"Test 06:27:19   DAR 1.50   PI 2.20   Meter PI 2.19");
    EXPECT_TRUE(chart->figures->toolTip().contains(u"by the meter at the end of the test: 2.19"));
    // Then a short test at 500 V: it is the one on view now.
    for (int t = 0; t <= 40; t += 5)
        reading(700 + t, QString::number(100 + t), QStringLiteral("M\u03A9"),
                QStringLiteral("IR:500V 20G\u03A9"));
    EXPECT_EQ(chart->runOnView(), 1);
    EXPECT_EQ(chart->figures->text(), u"Test 06:38:59   DAR -   PI -");

    // On the clock, the last test with a row on the page.
    chart->setXAxis(TrendChart::XAxis::Clock);
    chart->Maxrecord->setText(QStringLiteral("50")); // rows 1-50: the first test only
    EXPECT_EQ(chart->runOnView(), 0);
    EXPECT_EQ(chart->figures->text(), u"Test 06:27:19   DAR 1.50   PI 2.20   Meter PI 2.19");
    chart->BtNextClick();
    EXPECT_EQ(chart->runOnView(), 1);
    chart->countView->click(); // the count view shows them too
    EXPECT_FALSE(chart->figures->isHidden());
    EXPECT_EQ(chart->runOnView(), 1);

    // Below the strip on the small chart, beside it when there is room.
    chart->show();
    EXPECT_EQ(chart->figures->y(), 26);
    chart->resize(800, 300);
    EXPECT_EQ(chart->figures->pos(), QPoint(364, 7));
    // The elapsed view's list of tests comes first, beside the strip too.
    chart->countView->click();
    chart->timeAxis->click();
    EXPECT_EQ(chart->testList->pos(), QPoint(364, 3));
    EXPECT_GT(chart->figures->x(), chart->testList->geometry().right());

    chart->BtNewClick();
    EXPECT_TRUE(chart->figures->isHidden());
    reading(800, QStringLiteral("0.4"), QStringLiteral("V"), QStringLiteral("DCV  600V"));
    EXPECT_TRUE(chart->figures->isHidden());
}

TEST_F(ChartTest, EnlargeThenRestoreReturnsTheExactBounds) {
    QScrollArea area;
    auto* client = new QWidget;
    client->setFixedSize(800, 900);
    area.setWidget(client);
    area.resize(619, 526);
    chart->setParent(client);
    chart->setGeometry(18, 612, 361, 209);
    area.show();
    area.verticalScrollBar()->setValue(300);
    EXPECT_EQ(chart->formBounds(), QRect(18, 312, 361, 209));

    chart->TbSxClick();
    EXPECT_TRUE(chart->TbFd->isHidden());
    EXPECT_FALSE(chart->TbSx->isHidden());
    EXPECT_EQ(chart->formBounds().topLeft(), QPoint(2, 30));
    EXPECT_EQ(chart->width(), area.frameGeometry().width() - 12);
    EXPECT_EQ(chart->height(), area.frameGeometry().height() - 90);
    EXPECT_EQ((QRect(chart->SavedChartLeft, chart->SavedChartTop, chart->SavedChartWidth,
                     chart->SavedChartHeight)),
              QRect(18, 312, 361, 209));

    chart->TbSxClick();
    EXPECT_EQ(chart->geometry(), QRect(18, 612, 361, 209));
    EXPECT_FALSE(chart->TbFd->isHidden());
    EXPECT_TRUE(chart->TbSx->isHidden());
    chart->setParent(nullptr);
}

TEST_F(ChartTest, ANearTopChartWithoutSavedBoundsEnlargesInsteadOfVanishing) {
    QWidget host;
    host.resize(619, 560);
    chart->setParent(&host);
    chart->setGeometry(18, 20, 361, 209);
    chart->TbSxClick();
    EXPECT_EQ(chart->geometry(),
              QRect(2, 30, host.frameGeometry().width() - 12, host.frameGeometry().height() - 90));
    EXPECT_FALSE(chart->TbSx->isHidden());
    chart->TbSxClick();
    EXPECT_EQ(chart->geometry(), QRect(18, 20, 361, 209));
    chart->setParent(nullptr);
}

TEST_F(ChartTest, AHugePageIsThinnedAndDrawnOnceAfterABurstOfRows) {
    chart->countView->click();
    chart->Maxrecord->setText(QStringLiteral("0"));
    table.suspendUpdates();
    addRows(20000);
    table.resumeUpdates();
    addRows(1, QStringLiteral("9999")); // a peak at the very end
    chart->refresh();                   // what the deferred redraw does
    const QList<QPointF> pts = chart->series(0).points();
    EXPECT_LE(pts.size(), TrendChart::kMaxDrawnPoints);
    EXPECT_GT(pts.size(), 100);
    EXPECT_EQ(pts.back(), QPointF(20001, 9999));
    EXPECT_EQ(chart->axisX->min(), 1);
    EXPECT_EQ(chart->axisX->max(), 20001);
}

TEST_F(ChartTest, SavesThePageAsABitmapAndNamesTheFileWritten) {
    QTemporaryDir dir;
    const QString folder = dir.path() + u'/';
    chart->setPictureFolder(folder);
    chart->setClock([] { return QDateTime(QDate(2006, 12, 25), QTime(14, 30, 59)); });
    addRows(150);
    chart->BtNextClick();
    chart->BtSaveClick();
    const QString file = folder + QStringLiteral("0612251430page2.bmp");
    ASSERT_TRUE(errors.isEmpty()) << errors.join(u'\n').toStdString();
    EXPECT_EQ(infos, QStringList{u"graphic has saved on " + QDir::toNativeSeparators(file)});
    QFile bmp(file);
    ASSERT_TRUE(bmp.open(QIODevice::ReadOnly));
    EXPECT_EQ(bmp.read(2), "BM");
    QImage image(file);
    EXPECT_EQ(image.size(), chart->size());
    EXPECT_EQ(image.pixelColor(image.width() / 2, image.height() - 2), QColor(Qt::white));

    // A fresh installation: the folder is made.
    infos.clear();
    const QString fresh = folder + QStringLiteral("new/TestGraph/");
    chart->setPictureFolder(fresh);
    chart->BtSaveClick();
    ASSERT_TRUE(errors.isEmpty()) << errors.join(u'\n').toStdString();
    EXPECT_EQ(infos, QStringList{u"graphic has saved on " +
                                 QDir::toNativeSeparators(fresh + u"0612251430page2.bmp")});
    EXPECT_TRUE(QFile::exists(fresh + u"0612251430page2.bmp"));

    // A folder that cannot be: the message says why, and nothing claims success.
    infos.clear();
    QFile blocker(folder + QStringLiteral("plain"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    chart->setPictureFolder(folder + QStringLiteral("plain/TestGraph/"));
    chart->BtSaveClick();
    EXPECT_TRUE(infos.isEmpty());
    ASSERT_EQ(errors.size(), 1);
    const QString expected =
        QStringLiteral("Cannot create file \"%1\". %2 is a file, not a folder.")
            .arg(QDir::toNativeSeparators(folder +
                                          QStringLiteral("plain/TestGraph/0612251430page2.bmp")),
                 QDir::toNativeSeparators(folder + QStringLiteral("plain")));
    EXPECT_EQ(errors[0], expected);
}

} // namespace
