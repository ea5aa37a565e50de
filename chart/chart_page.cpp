#include "chart/chart_page.h"

#include "chart/chart_timeline.h"
#include "record/reading_table.h"
#include "record/test_model.h"

#include <QHash>

#include <algorithm>
#include <cmath>

namespace {

// Keys of the pieces: a test's is its index + 1; a stretch outside the tests gets one of its own.
constexpr quint32 kStretch = 0x80000000u;

struct PieceFacts {
    int test = -1;
    quint32 function = 0;
    int firstRow = 0;
    int lane = 0;
};

// Gathers the page's ranges and legend as the points are made.
class PageBuilder {
public:
    explicit PageBuilder(ChartPage& page) : page_(page) {}

    // A point of piece `key`; the first one of a piece makes its legend entry.
    template <typename Facts, typename Title> void met(quint32 key, Facts facts, Title title) {
        if (key == lastKey_ || facts_.contains(key)) {
            lastKey_ = key;
            return;
        }
        lastKey_ = key;
        const PieceFacts f = facts();
        facts_.insert(key, f);
        addEntry(f, title());
    }
    void value(int lane, double v) {
        if (lane == 0) {
            ++page_.ohmPoints;
            if (v > 0) {
                page_.minOhms = std::min(page_.minOhms.value_or(v), v);
                page_.maxOhms = std::max(page_.maxOhms.value_or(v), v);
            }
        } else {
            ++page_.voltPoints;
            page_.minVolts = std::min(page_.minVolts.value_or(v), v);
            page_.maxVolts = std::max(page_.maxVolts.value_or(v), v);
        }
    }
    // The runs as pieces.
    void finish(const QList<QList<LaneRun>>& lanes) {
        for (qsizetype lane = 0; lane < lanes.size(); ++lane)
            for (const LaneRun& run : lanes[lane]) {
                const PieceFacts f = facts_.value(run.key);
                page_.pieces.push_back({int(lane), f.test, f.function, f.firstRow, run.points});
            }
    }

private:
    void addEntry(const PieceFacts& facts, const QString& title) {
        int& listed = listed_[size_t(facts.lane)];
        if (listed < kLegendEntries) {
            page_.legend.push_back({facts.lane, facts.function, title});
            ++listed;
        } else {
            ++page_.hiddenEntries[facts.lane];
        }
    }

    ChartPage& page_;
    QHash<quint32, PieceFacts> facts_;
    quint32 lastKey_ = 0;
    std::array<int, ChartPage::kLanes> listed_{};
};

QString stretchTitle(const ReadingTable& table, int row) {
    return clockText(table.timeMs(row)) + u' ' + table.vRange(row);
}

} // namespace

ChartPage countPage(const ReadingTable& table, int first, int count, int maxDrawn) {
    ChartPage page;
    page.x = ChartPage::X::Rows;
    page.firstRow = first;
    page.rows = count;
    page.xLo = first + 1;
    page.xHi = first + count;
    page.rowX.reserve(size_t(count));
    for (int i = 0; i < count; ++i)
        page.rowX.push_back(double(first + i + 1));
    const auto runs = laneRuns(
        [&](qint64 i) -> LanePoint {
            const ValueReading& v = table.valueReading(int(i));
            if (v.kind != ValueReading::Number)
                return {};
            return {0, double(v.counts), double(i + 1), 0};
        },
        1, first, count, maxDrawn);
    for (const LaneRun& run : runs.value(0))
        page.pieces.push_back({0, -1, 0, 0, run.points});
    return page;
}

ChartPage elapsedPage(const TestModel& tests, int test, int maxDrawn, int fromRow) {
    ChartPage page;
    page.x = ChartPage::X::Elapsed;
    page.test = test;
    if (test < 0 || test >= tests.count())
        return page;
    const ReadingTable& table = tests.table();
    const InsulationRun& run = tests.run(test);
    page.firstRow = run.firstRow;
    page.rows = run.lastRow - run.firstRow + 1;
    page.origin = table.sampleTime(run.firstRow);
    page.originKnown = true;
    const std::vector<qint64> elapsed = elapsedOfRows(table, run);
    page.rowX.assign(size_t(page.rows), qQNaN());
    PageBuilder b(page);
    const quint32 function = table.textId(run.firstRow, ReadingTable::V_Range);
    b.met(
        quint32(test) + 1,
        [&] {
            return PieceFacts{test, function, run.firstRow, 0};
        },
        [&] { return tests.title(test); });
    const int from = std::clamp(fromRow, run.firstRow, run.lastRow + 1);
    const auto runs = laneRuns(
        [&](qint64 row) -> LanePoint {
            const size_t i = size_t(row - run.firstRow);
            const double x = double(elapsed[i]) / 1000.0;
            page.rowX[i] = x;
            const std::optional<double> ohms = table.sample(int(row)).si();
            if (!ohms || *ohms < 0)
                return {};
            b.value(0, *ohms);
            return {0, *ohms, x, quint32(test) + 1};
        },
        1, from, run.lastRow + 1 - from, maxDrawn);
    b.finish(runs);
    page.xLo = 0;
    page.xHi = double(run.durationMs) / 1000.0;
    return page;
}

ChartPage clockPage(const TestModel& tests, const ChartTimeline& timeline, int first, int count,
                    qint64 slots, int maxDrawn) {
    ChartPage page;
    page.x = ChartPage::X::Clock;
    page.firstRow = first;
    page.rows = count;
    page.origin = timeline.origin();
    page.originKnown = true;
    page.rowX.assign(size_t(std::max(count, 0)), qQNaN());
    if (count <= 0)
        return page;
    const ReadingTable& table = tests.table();
    const std::vector<InsulationRun>& runs = tests.runs().runs();
    // The tests that the page's rows may belong to, met in row order.
    auto test = std::lower_bound(runs.begin(), runs.end(), first,
                                 [](const InsulationRun& r, int row) { return r.lastRow < row; });
    PageBuilder b(page);
    quint32 stretch = kStretch;
    struct Last {
        int lane = -1;
        quint32 function = 0;
        TestMode mode = TestMode::None;
        qint64 atMs = 0;
    } last;
    double lo = qInf(), hi = -qInf();
    ChartTimeline::Walk walk(timeline, first);
    const auto lanes = laneRuns(
        [&](qint64 r) -> LanePoint {
            const int row = int(r);
            while (test != runs.end() && test->lastRow < row)
                ++test;
            const int inTest =
                test != runs.end() && test->firstRow <= row ? int(test - runs.begin()) : -1;
            if (table.isTimeNull(row)) {
                last.lane = -1;
                return {};
            }
            // Every timed row has its place, also where the plot has a gap (for the tips).
            const qint64 atMs = walk.at(row);
            const double x = double(atMs) / 1000.0;
            page.rowX[size_t(row - first)] = x;
            lo = std::min(lo, x);
            hi = std::max(hi, x);
            const ValueReading& value = table.valueReading(row);
            const UnitScale scale = scaleOf(table.unitKind(row));
            const int lane = scale.quantity == UnitScale::Voltage ? 1 : 0;
            if (value.kind != ValueReading::Number || scale.quantity == UnitScale::NoQuantity ||
                (lane == 0 && value.number < 0)) {
                last.lane = -1;
                return {};
            }
            const double v = value.number * scale.factor;
            const quint32 function = table.textId(row, ReadingTable::V_Range);
            const TestMode mode = table.testMode(row);
            quint32 key;
            if (inTest >= 0) {
                key = quint32(inTest) + 1;
                b.met(
                    key,
                    [&] {
                        return PieceFacts{inTest, function, test->firstRow, 0};
                    },
                    [&] { return tests.title(inTest); });
                last.lane = -1; // the next stretch starts afresh after a test
            } else {
                // A stretch of one function and mode, without a long pause.
                if (last.lane != lane || last.function != function || last.mode != mode ||
                    atMs - last.atMs > InsulationRuns::kMaxGapMs) {
                    ++stretch;
                    b.met(
                        stretch,
                        [&] {
                            return PieceFacts{-1, function, row, lane};
                        },
                        [&] { return stretchTitle(table, row); });
                }
                key = stretch;
                last = {lane, function, mode, atMs};
            }
            b.value(lane, v);
            return {lane, v, x, key};
        },
        ChartPage::kLanes, first, count, maxDrawn);
    b.finish(lanes);
    if (!std::isfinite(lo)) {
        // Nothing on the page has a time: the page's place on the line all the same.
        lo = double(timeline.at(first)) / 1000.0;
        hi = lo;
    }
    page.dataHi = hi;
    // A page not yet full keeps room for the rows to come at the pace so far.
    const double pace = count >= 2 ? std::max((hi - lo) / (count - 1), 1e-3) : 1.0;
    page.xLo = lo;
    page.xHi = std::max(hi, lo + pace * double(std::max<qint64>(slots, count) - 1));
    return page;
}

QColor functionColour(const ReadingTable& table, quint32 function) {
    const QString& text = table.textById(function);
    if (const std::optional<double> volts = table.testVoltsOfText(function)) {
        // One hue per test voltage, the higher the warmer.
        static const std::pair<double, QColor> kByVolts[] = {
            {250, QColor(0x2E, 0x8B, 0x57)},  {500, QColor(0x1F, 0x77, 0xB4)},
            {1000, QColor(0x00, 0x80, 0xFF)}, {2500, QColor(0x94, 0x4D, 0xC8)},
            {5000, QColor(0xD6, 0x27, 0x28)}, {1e12, QColor(0x8C, 0x56, 0x4B)}};
        for (const auto& [upTo, colour] : kByVolts)
            if (*volts <= upTo)
                return colour;
    }
    if (text.startsWith(u"DCV"))
        return QColor(0, 96, 192);
    if (text.startsWith(u"ACV"))
        return QColor(0, 150, 170);
    return QColor(0x70, 0x70, 0x70);
}
