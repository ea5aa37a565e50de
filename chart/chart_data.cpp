#include "chart/chart_data.h"

#include <algorithm>
#include <vector>

namespace {

// The runs of every lane, grown a point at a time.
class LaneRunBuilder {
public:
    explicit LaneRunBuilder(int lanes) : runs_(lanes), open_(size_t(std::max(lanes, 0))) {}
    int lanes() const { return int(open_.size()); }
    // The lane's growing run for `key`: another key ends the one before.
    QList<QPointF>& open(int lane, quint32 key) {
        LaneRun& r = open_[size_t(lane)];
        if (!r.points.isEmpty() && r.key != key)
            end(lane);
        r.key = key;
        return r.points;
    }
    void end(int lane) {
        LaneRun& r = open_[size_t(lane)];
        if (!r.points.isEmpty())
            runs_[lane].append(std::move(r));
        r = {};
    }
    // Ends the runs of every lane but `lane` (-1: of every lane).
    void endOthers(int lane) {
        for (int k = 0; k < lanes(); ++k)
            if (k != lane)
                end(k);
    }
    QList<QList<LaneRun>> finish() {
        endOthers(-1);
        return std::move(runs_);
    }

private:
    QList<QList<LaneRun>> runs_;
    std::vector<LaneRun> open_;
};

bool onLane(const LanePoint& p, int lanes) {
    return p.lane >= 0 && p.lane < lanes;
}

void addEveryPoint(LaneRunBuilder& b, const LanePointAt& at, qint64 first, qint64 count) {
    for (qint64 i = 0; i < count; ++i) {
        const LanePoint p = at(first + i);
        const bool on = onLane(p, b.lanes());
        b.endOthers(on ? p.lane : -1);
        if (on)
            b.open(p.lane, p.key).append(QPointF(p.x, p.y));
    }
}

// The lowest and highest point of a bucket on one lane, for one key.
struct Extremes {
    qint64 lo = -1, hi = -1; // indexes, -1 for none
    QPointF loAt, hiAt;
    quint32 key = 0;
    bool empty() const { return lo < 0; }
    void take(qint64 i, const QPointF& at) {
        if (lo < 0) {
            lo = hi = i;
            loAt = hiAt = at;
        } else if (at.y() < loAt.y()) {
            lo = i;
            loAt = at;
        } else if (at.y() > hiAt.y()) {
            hi = i;
            hiAt = at;
        }
    }
};

void flush(LaneRunBuilder& b, int lane, Extremes& e) {
    if (e.empty())
        return;
    QList<QPointF>& r = b.open(lane, e.key);
    if (e.lo == e.hi)
        r.append(e.loAt);
    else if (e.lo < e.hi)
        r.append({e.loAt, e.hiAt});
    else
        r.append({e.hiAt, e.loAt});
    e = {};
}

// Thinned: each bucket of neighbouring points gives, on each lane and for each key met in it,
// its lowest and highest point; a gap or another key in the bucket ends the piece as it would
// unthinned.
void addThinned(LaneRunBuilder& b, const LanePointAt& at, qint64 first, qint64 count,
                int maxDrawn) {
    std::vector<Extremes> ext(size_t(b.lanes()));
    const qint64 buckets = maxDrawn / 2;
    for (qint64 bucket = 0; bucket < buckets; ++bucket) {
        const qint64 from = bucket * count / buckets;
        const qint64 to = (bucket + 1) * count / buckets;
        for (qint64 i = from; i < to; ++i) {
            const LanePoint p = at(first + i);
            const bool on = onLane(p, b.lanes());
            for (int k = 0; k < b.lanes(); ++k)
                if (k != p.lane || !on) { // a gap on this lane
                    flush(b, k, ext[size_t(k)]);
                    b.end(k);
                }
            if (!on)
                continue;
            Extremes& e = ext[size_t(p.lane)];
            if (!e.empty() && e.key != p.key) {
                flush(b, p.lane, e);
                b.end(p.lane);
            }
            e.key = p.key;
            e.take(i, QPointF(p.x, p.y));
        }
        for (int k = 0; k < b.lanes(); ++k)
            flush(b, k, ext[size_t(k)]);
    }
}

} // namespace

QList<QList<LaneRun>> laneRuns(const LanePointAt& at, int lanes, qint64 first, qint64 count,
                               int maxDrawn) {
    LaneRunBuilder b(lanes);
    if (count <= 0)
        return b.finish();
    if (count <= maxDrawn || maxDrawn < 2)
        addEveryPoint(b, at, first, count);
    else
        addThinned(b, at, first, count, maxDrawn);
    return b.finish();
}
