#pragma once

#include "chart/chart_data.h"
#include "core/sample_time.h"

#include <QColor>
#include <QList>
#include <QString>

#include <optional>
#include <vector>

class ChartTimeline;
class ReadingTable;
class TestModel;

// What one page of the trend chart shows, worked out from the table, its tests and the view,
// without widgets: the pieces of curve in each lane with what each piece is, the span of each
// axis, and what the legends name.
struct ChartPage {
    // What X counts: the row's place in the table (count view), seconds since the start of the
    // test on view, or seconds along the table's clock.
    enum class X { Rows, Elapsed, Clock };
    // Lanes: resistance (log10 of ohms; also the count view's counts), voltage.
    static constexpr int kLanes = 2;

    struct Piece {
        int lane = 0;
        int test = -1;        // the test it draws (a TestModel index), or -1
        quint32 function = 0; // its function (the table's text id)
        int firstRow = 0;     // its first row
        QList<QPointF> points;
    };
    struct LegendEntry {
        int lane = 0;
        quint32 function = 0;
        QString text; // "10:26:55 IR:1000V 40GΩ"
    };

    X x = X::Rows;
    double xLo = 0, xHi = 1;
    double dataHi = 0; // the X of the page's last row with a place
    std::vector<Piece> pieces;
    // Over the positive resistances and the voltages on the page (none: no reading of the kind).
    std::optional<double> minOhms, maxOhms, minVolts, maxVolts;
    qint64 ohmPoints = 0, voltPoints = 0;
    std::vector<LegendEntry> legend;    // in the order met
    int hiddenEntries[kLanes] = {0, 0}; // entries of each lane met beyond the ones listed
    // The table rows [firstRow, firstRow + rows) that the page covers and the X of each (NaN
    // for a row that is not plotted), for the pointer's tips.
    int firstRow = 0;
    int rows = 0;
    std::vector<double> rowX;
    // The test the elapsed view shows, and the clock of the page's X = 0.
    int test = -1;
    SampleTime origin;
    bool originKnown = false;
};

// Legends list this many entries of a lane; the rest are counted.
inline constexpr int kLegendEntries = 3;

// The count view: rows [first, first + count) by their place in the table (from 1), every
// reading as the display counts it.
ChartPage countPage(const ReadingTable& table, int first, int count, int maxDrawn);
// The elapsed view: test `test` of `tests` whole, from 0:00 to its end.
// Rows before `fromRow` are left out (the chart was cleared in the middle of the test).
ChartPage elapsedPage(const TestModel& tests, int test, int maxDrawn, int fromRow = 0);
// The clock view: rows [first, first + count) along `timeline`; each test, and each stretch of
// one function, a piece of its own. `slots` is what a full page holds (the axis keeps room for
// the rows to come at the pace so far).
ChartPage clockPage(const TestModel& tests, const ChartTimeline& timeline, int first, int count,
                    qint64 slots, int maxDrawn);

// The colour a function's curve is drawn in: one per test voltage for insulation tests, blues
// for volts, grey for the rest.
QColor functionColour(const ReadingTable& table, quint32 function);
