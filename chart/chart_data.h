#pragma once

#include <QList>
#include <QPointF>
#include <QStringView>

#include <functional>
#include <optional>

// What the trend chart plots for a reading: the value as the meter's display counts it, that is
// its digits without the decimal separator, sign kept ("1.234" -> 1234, "-0.52" -> -52), which
// the chart's fixed -11000..11000 axis always fits. A text that is no number ("0L", "----",
// empty) has no plot value and leaves a gap.
std::optional<double> plotValueOf(QStringView valueText);

// The points of one page as runs without gaps. `yAt(i)` gives the plot value of point i (from 0),
// the X of point i is xOfFirst + i. At most `maxDrawn` points come out: a longer page is thinned
// to the lowest and highest value of each run of neighbouring points, so no peak is lost.
using PlotValueAt = std::function<std::optional<double>(qint64 index)>;
QList<QList<QPointF>> pageRuns(const PlotValueAt& yAt, qint64 first, qint64 count, double xOfFirst,
                               int maxDrawn);

// The same for several lanes at once (the physical view draws resistance and voltage from one
// pass over the page): `at(i)` names the lane of point i, or -1 for none. A point that is not on
// a lane ends that lane's run, so each lane shows a gap where the other has its points. A point
// may bring its own X (elapsed time); otherwise it lies at xOfFirst + i.
struct LanePoint {
    int lane = -1;
    double y = 0;
    std::optional<double> x;
};
using LaneValueAt = std::function<LanePoint(qint64 index)>;
QList<QList<QList<QPointF>>> laneRuns(const LaneValueAt& at, int lanes, qint64 first, qint64 count,
                                      double xOfFirst, int maxDrawn);
