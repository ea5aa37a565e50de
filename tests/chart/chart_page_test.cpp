#include "chart/chart_axes.h"
#include "chart/chart_data.h"
#include "chart/chart_page.h"
#include "chart/chart_timeline.h"
#include "record/reading_table.h"
#include "record/test_model.h"

#include <QDateTime>

#include "tests/reading_rows.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

const QString kG = QStringLiteral("G\u03A9");
const QString kM = QStringLiteral("M\u03A9");
const QString kIR1000 = QStringLiteral("IR:1000V 40G\u03A9");
const QString kIR5000 = QStringLiteral("IR:5000V 1000G\u03A9");
const QString kDCV = QStringLiteral("DCV  600V");

TEST(ChartData, PiecesEndAtGapsAndAtAnotherKeyAlsoWhenThinned) {
    // Lane 0: keys 1, 1, gap, 2, 2; lane 1 in between.
    struct P {
        int lane;
        double y;
        quint32 key;
    };
    const std::vector<P> v = {{0, 1, 1}, {0, 2, 1}, {-1, 0, 0}, {0, 4, 2}, {1, 5, 9}, {0, 6, 2}};
    auto at = [&](qint64 i) {
        return LanePoint{v[size_t(i)].lane, v[size_t(i)].y, double(i), v[size_t(i)].key};
    };
    const auto runs = laneRuns(at, 2, 0, qint64(v.size()), 100);
    ASSERT_EQ(runs[0].size(), 3);
    EXPECT_EQ(runs[0][0].points, (QList<QPointF>{{0, 1}, {1, 2}}));
    EXPECT_EQ(runs[0][1].key, 2u);
    EXPECT_EQ(runs[0][1].points, (QList<QPointF>{{3, 4}})); // the volt between ends it
    EXPECT_EQ(runs[1][0].points, (QList<QPointF>{{4, 5}}));

    // Thinned, no peak is lost and no piece takes in a point of another key.
    auto wave = [](qint64 i) {
        return LanePoint{0, i == 50'001 ? 9000.0 : double(i % 7), double(i),
                         quint32(i < 50'000 ? 1 : 2)};
    };
    const auto thin = laneRuns(wave, 1, 0, 100'000, 1000);
    ASSERT_EQ(thin[0].size(), 2);
    int points = 0;
    double top = 0;
    for (const LaneRun& r : thin[0]) {
        points += int(r.points.size());
        for (const QPointF& p : r.points) {
            EXPECT_EQ(p.x() < 50'000, r.key == 1) << p.x();
            top = std::max(top, p.y());
        }
    }
    EXPECT_LE(points, 1002);
    EXPECT_EQ(top, 9000);
}

TEST(ChartTimeline, CountsOnPastMidnightAndOverDaysAndNeverGoesBack) {
    ReadingTable t;
    // A file's rows (no date) across midnight, then rows recorded here on two days.
    for (int ms : {86'390'000, 5'000, 15'000})
        t.append(readingRow(t.rowCount() + 1, ms, QStringLiteral("1.0"), kG));
    const QDateTime day1(QDate(2026, 12, 9), QTime(23, 0));
    ReadingRow r = readingRow(4, day1.time().msecsSinceStartOfDay(), QStringLiteral("1.0"), kG);
    r.AtMs = day1.toMSecsSinceEpoch();
    t.append(r);
    r.AtMs = *r.AtMs + 31 * 3'600'000LL; // 31 hours later
    r.TimeMs = QDateTime::fromMSecsSinceEpoch(*r.AtMs).time().msecsSinceStartOfDay();
    t.append(r);
    r.AtMs = *r.AtMs - 60'000; // the clock set back a minute
    r.TimeMs -= 60'000;
    t.append(r);
    ChartTimeline line;
    line.reset(&t, 0);
    EXPECT_EQ(line.at(0), 0);
    EXPECT_EQ(line.at(1), 15'000);
    EXPECT_EQ(line.at(2), 25'000);
    const qint64 fourth = line.at(3);
    EXPECT_GT(fourth, line.at(2));
    EXPECT_EQ(line.at(4) - fourth, 31 * 3'600'000LL);
    EXPECT_GE(line.at(5), line.at(4));
    EXPECT_FALSE(line.instantAt(0)); // the first row's day is not known

    // Far from a checkpoint, and grown row by row, the same places.
    ReadingTable long_;
    for (int i = 0; i < 1000; ++i)
        long_.append(readingRow(i + 1, (86'000 + i) % 86'400 * 1000LL, QStringLiteral("1"), kG));
    line.reset(&long_, 10);
    for (int i = 1000; i < 1300; ++i) {
        long_.append(readingRow(i + 1, (86'000 + i) % 86'400 * 1000LL, QStringLiteral("1"), kG));
        line.extend();
    }
    EXPECT_EQ(line.at(10), 0);
    EXPECT_EQ(line.at(777), 767'000);
    EXPECT_EQ(line.at(1299), 1'289'000);
}

// A table of tests as a technician records them: volts before, a timed test at 1000 V, the PI
// test right after it, the volts of the discharge, a 5000 V test.
class ChartPageTest : public ::testing::Test {
protected:
    void add(int seconds, const QString& value, const QString& unit,
             const QString& function = kIR1000, const QString& mode = QStringLiteral("Timed")) {
        ReadingRow r = readingRow(table.rowCount() + 1, (10 * 3600 + seconds) * 1000LL, value, unit,
                                  function, mode);
        r.AtMs = start + seconds * 1000LL;
        table.append(r);
    }
    void SetUp() override {
        add(0, QStringLiteral("0.4"), QStringLiteral("V"), kDCV, QStringLiteral("Continuous"));
        add(1, QStringLiteral("0.3"), QStringLiteral("V"), kDCV, QStringLiteral("Continuous"));
        for (int s = 10; s <= 70; s += 10)
            add(s, QString::number(1 + s / 100.0, 'f', 3), kG);
        for (int s = 80; s <= 200; s += 10)
            add(s, QString::number(2 + s / 100.0, 'f', 3), kG, kIR1000, QStringLiteral("PI"));
        add(210, QStringLiteral("12.4"), QStringLiteral("V"), kDCV, QStringLiteral("Continuous"));
        for (int s = 300; s <= 360; s += 10)
            add(s, QString::number(100 + s, 'f', 1), kG, kIR5000);
    }
    const qint64 start = QDateTime(QDate(2026, 12, 10), QTime(10, 0)).toMSecsSinceEpoch();
    ReadingTable table;
    TestModel tests{table};
};

TEST_F(ChartPageTest, EachTestAndEachStretchOfVoltsIsAPieceOfItsOwn) {
    ASSERT_EQ(tests.count(), 3); // the timed test and the PI test after it are two
    EXPECT_EQ(tests.title(0), u"10:00:10 IR:1000V 40G\u03A9");
    EXPECT_EQ(tests.title(1), u"10:01:20 IR:1000V 40G\u03A9");
    ChartTimeline line;
    line.reset(&table, 0);
    const ChartPage page = clockPage(tests, line, 0, table.rowCount(), 100, 4000);
    EXPECT_EQ(page.x, ChartPage::X::Clock);
    std::vector<std::pair<int, int>> pieces; // lane, test
    for (const ChartPage::Piece& p : page.pieces)
        pieces.emplace_back(p.lane, p.test);
    EXPECT_EQ(pieces, (std::vector<std::pair<int, int>>{{0, 0}, {0, 1}, {0, 2}, {1, -1}, {1, -1}}));
    EXPECT_EQ(page.pieces[0].points.size(), 7);
    EXPECT_EQ(page.pieces[0].points.front(), QPointF(10, 1.1e9));
    EXPECT_EQ(page.pieces[3].points, (QList<QPointF>{{0, 0.4}, {1, 0.3}}));
    EXPECT_EQ(page.pieces[4].points, (QList<QPointF>{{210, 12.4}}));
    // The legend names each test by its start and function, the volts likewise.
    QStringList legend;
    for (const ChartPage::LegendEntry& e : page.legend)
        legend << QString::number(e.lane) + u' ' + e.text;
    EXPECT_EQ(legend.join(u'|'), u"1 10:00:00 DCV  600V|0 10:00:10 IR:1000V 40G\u03A9|"
                                 u"0 10:01:20 IR:1000V 40G\u03A9|1 10:03:30 DCV  600V|"
                                 u"0 10:05:00 IR:5000V 1000G\u03A9");
    EXPECT_EQ(page.rowX[2], 10);
    EXPECT_EQ(page.xLo, 0);
    EXPECT_GE(page.xHi, 360);
    EXPECT_DOUBLE_EQ(*page.minOhms, 1.1e9);
    EXPECT_DOUBLE_EQ(*page.maxVolts, 12.4);
    // Colours by function: the two 1000 V tests alike, the 5000 V test and the volts not.
    const QColor a = functionColour(table, page.pieces[0].function);
    EXPECT_EQ(functionColour(table, page.pieces[1].function), a);
    EXPECT_NE(functionColour(table, page.pieces[2].function), a);
    EXPECT_NE(functionColour(table, page.pieces[3].function), a);
}

TEST_F(ChartPageTest, TheElapsedViewShowsOneTestFromZeroToItsEnd) {
    const ChartPage page = elapsedPage(tests, 1, 4000);
    EXPECT_EQ(page.x, ChartPage::X::Elapsed);
    ASSERT_EQ(page.pieces.size(), 1u);
    EXPECT_EQ(page.pieces[0].points.front().x(), 0);
    EXPECT_EQ(page.pieces[0].points.back().x(), 120);
    EXPECT_EQ(page.xLo, 0);
    EXPECT_EQ(page.xHi, 120);
    EXPECT_EQ(page.firstRow, 9);
    ASSERT_EQ(page.legend.size(), 1u);
    EXPECT_EQ(page.legend[0].text, u"10:01:20 IR:1000V 40G\u03A9");
    // Rows cleared off the chart are left out, the time still counts from the test's start.
    const ChartPage cut = elapsedPage(tests, 1, 4000, 12);
    EXPECT_EQ(cut.pieces[0].points.front().x(), 30);
}

TEST_F(ChartPageTest, ThePageNamesAFewTestsAndCountsTheRest) {
    ReadingTable many;
    TestModel t(many);
    for (int i = 0; i < 6; ++i) {
        many.append(readingRow(many.rowCount() + 1, i * 200'000, QStringLiteral("1.0"), kG));
        many.append(readingRow(many.rowCount() + 1, i * 200'000 + 1000, QStringLiteral("1.0"), kG));
    }
    ASSERT_EQ(t.count(), 6);
    ChartTimeline line;
    line.reset(&many, 0);
    const ChartPage page = clockPage(t, line, 0, many.rowCount(), 100, 4000);
    EXPECT_EQ(page.legend.size(), size_t(kLegendEntries));
    EXPECT_EQ(page.hiddenEntries[0], 6 - kLegendEntries);
    EXPECT_EQ(page.pieces.size(), 6u);
}

TEST(ChartAxes, LabelsSayTheirUnitsAndTimeReadsAsMinutesOrTheClock) {
    EXPECT_EQ(ohmLabel(1, 5), u"100 k\u03A9");
    EXPECT_EQ(ohmLabel(2, 6), u"2 M\u03A9");
    EXPECT_EQ(ohmLabel(1, 12), u"1 T\u03A9");
    EXPECT_EQ(elapsedText(0), u"0:00");
    EXPECT_EQ(elapsedText(65), u"1:05");
    EXPECT_EQ(elapsedText(4500), u"75:00");
    QStringList ohms;
    for (const AxisLabel& l : ohmLabels(5, 12, 4)) // a short lane: every second decade
        ohms << l.text;
    EXPECT_EQ(ohms.join(u' '), u"1 M\u03A9 100 M\u03A9 10 G\u03A9 1 T\u03A9");
    EXPECT_EQ(clockStep(600, 5), 120);
    EXPECT_EQ(clockStep(40, 5), 10);
    auto joined = [](const QList<AxisLabel>& labels) {
        QStringList texts;
        for (const AxisLabel& l : labels)
            texts << l.text;
        return texts.join(u'|');
    };
    EXPECT_EQ(joined(xLabels(0, 100, true)), u"0:00|0:30|1:00|1:30");
    EXPECT_EQ(joined(xLabels(151, 250, false)), u"160|180|200|220|240");

    // The clock at whole steps of the day, from a row at 10:26:55.
    const SampleTime tod(10 * 3'600'000 + 26 * 60'000 + 55'000);
    const QList<AxisLabel> clock = clockLabels(0, 300, tod);
    EXPECT_EQ(joined(clock), u"10:27:00|10:28:00|10:29:00|10:30:00|10:31:00");
    EXPECT_EQ(clock.front().at, 5);
    // Across midnight without a date: the days are counted.
    EXPECT_EQ(joined(clockLabels(0, 3 * 3600, SampleTime(23 * 3'600'000))),
              u"23:00|+1d 00:00|+1d 01:00|+1d 02:00");
    // With a date, over days: the date stands with the time.
    const QDateTime at(QDate(2026, 12, 10), QTime(20, 0));
    const SampleTime dated(at.time().msecsSinceStartOfDay(), at.toMSecsSinceEpoch());
    const QList<AxisLabel> days = clockLabels(0, 31 * 3600, dated);
    ASSERT_FALSE(days.isEmpty());
    EXPECT_EQ(days.front().text, u"12-11 00:00");
    EXPECT_EQ(days.back().text.left(6), u"12-12 ");
}

} // namespace
