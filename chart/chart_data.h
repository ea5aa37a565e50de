#pragma once

#include <QList>
#include <QPointF>

#include <functional>
#include <optional>

// The points of a page as pieces of curve: a piece goes on while its lane's points keep their
// key (a test, a stretch of one function) and ends at a gap. At most `maxDrawn` points come out
// of a page: a longer page is thinned to the lowest and highest point of each run of neighbours,
// so that no peak is lost and no piece takes in a point of another.
struct LanePoint {
    int lane = -1; // -1: no point (a gap on every lane)
    double y = 0;
    double x = 0;
    quint32 key = 0;
};
using LanePointAt = std::function<LanePoint(qint64 index)>;

struct LaneRun {
    quint32 key = 0;
    QList<QPointF> points;
    bool operator==(const LaneRun&) const = default;
};

// The runs of each of `lanes` lanes over points [first, first + count).
QList<QList<LaneRun>> laneRuns(const LanePointAt& at, int lanes, qint64 first, qint64 count,
                               int maxDrawn);
