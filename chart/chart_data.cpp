#include "chart/chart_data.h"

#include <algorithm>
#include <vector>

std::optional<double> plotValueOf(QStringView text) {
    text = text.trimmed();
    bool negative = false;
    if (text.startsWith(u'-')) {
        negative = true;
        text = text.mid(1);
    }
    qint64 counts = 0;
    int digits = 0;
    int separators = 0;
    for (QChar c : text) {
        if (c.isDigit() && c.unicode() < 128) {
            if (++digits > 12)
                return std::nullopt;
            counts = counts * 10 + (c.unicode() - u'0');
        } else if (c == u'.' || c == u',') {
            if (++separators > 1)
                return std::nullopt;
        } else {
            return std::nullopt;
        }
    }
    if (digits == 0)
        return std::nullopt;
    return double(negative ? -counts : counts);
}

QList<QList<QPointF>> pageRuns(const PlotValueAt& yAt, qint64 first, qint64 count, double xOfFirst,
                               int maxDrawn) {
    auto lanes = laneRuns(
        [&yAt](qint64 i) {
            const auto y = yAt(i);
            return y ? LanePoint{0, *y, std::nullopt} : LanePoint{};
        },
        1, first, count, xOfFirst, maxDrawn);
    return lanes.value(0);
}

namespace {

// The runs of every lane, grown a point at a time: a lane's run goes on until a gap on that lane.
class LaneRunBuilder {
public:
    explicit LaneRunBuilder(int lanes) : runs_(lanes), open_(size_t(std::max(lanes, 0))) {}
    int lanes() const { return int(open_.size()); }
    // The lane's run that is still growing.
    QList<QPointF>& open(int lane) { return open_[size_t(lane)]; }
    void end(int lane) {
        if (!open_[size_t(lane)].isEmpty())
            runs_[lane].append(std::move(open_[size_t(lane)]));
        open_[size_t(lane)] = {};
    }
    // Ends the runs of every lane but `lane` (-1: of every lane).
    void endOthers(int lane) {
        for (int k = 0; k < lanes(); ++k)
            if (k != lane)
                end(k);
    }
    QList<QList<QList<QPointF>>> finish() {
        endOthers(-1);
        return std::move(runs_);
    }

private:
    QList<QList<QList<QPointF>>> runs_;
    std::vector<QList<QPointF>> open_;
};

void addEveryPoint(LaneRunBuilder& b, const LaneValueAt& at, qint64 first, qint64 count,
                   double xOfFirst) {
    for (qint64 i = 0; i < count; ++i) {
        const LanePoint p = at(first + i);
        const bool on = p.lane >= 0 && p.lane < b.lanes();
        b.endOthers(on ? p.lane : -1);
        if (on)
            b.open(p.lane).append(QPointF(p.x.value_or(xOfFirst + double(i)), p.y));
    }
}

// The lowest and highest point of a bucket on one lane.
struct Extremes {
    qint64 lo = -1, hi = -1; // indexes, -1 for none
    QPointF loAt, hiAt;
    void take(qint64 i, const QPointF& at) {
        if (lo < 0) {
            *this = {i, i, at, at};
        } else if (at.y() < loAt.y()) {
            lo = i;
            loAt = at;
        } else if (at.y() > hiAt.y()) {
            hi = i;
            hiAt = at;
        }
    }
};

// A bucket's extremes onto each lane's run, in the order they occur; a lane without a point in
// the bucket has a gap there.
void addExtremes(LaneRunBuilder& b, const std::vector<Extremes>& ext) {
    for (int k = 0; k < b.lanes(); ++k) {
        const Extremes& e = ext[size_t(k)];
        if (e.lo < 0) {
            b.end(k);
            continue;
        }
        QList<QPointF>& r = b.open(k);
        if (e.lo == e.hi)
            r.append(e.loAt);
        else if (e.lo < e.hi)
            r.append({e.loAt, e.hiAt});
        else
            r.append({e.hiAt, e.loAt});
    }
}

// Thinned: each bucket of neighbouring points gives, on each lane, its lowest and highest point.
void addThinned(LaneRunBuilder& b, const LaneValueAt& at, qint64 first, qint64 count,
                double xOfFirst, int maxDrawn) {
    std::vector<Extremes> ext(size_t(b.lanes()));
    const qint64 buckets = maxDrawn / 2;
    for (qint64 bucket = 0; bucket < buckets; ++bucket) {
        const qint64 from = bucket * count / buckets;
        const qint64 to = (bucket + 1) * count / buckets;
        std::fill(ext.begin(), ext.end(), Extremes{});
        for (qint64 i = from; i < to; ++i) {
            const LanePoint p = at(first + i);
            if (p.lane >= 0 && p.lane < b.lanes())
                ext[size_t(p.lane)].take(i, QPointF(p.x.value_or(xOfFirst + double(i)), p.y));
        }
        addExtremes(b, ext);
    }
}

} // namespace

QList<QList<QList<QPointF>>> laneRuns(const LaneValueAt& at, int lanes, qint64 first, qint64 count,
                                      double xOfFirst, int maxDrawn) {
    LaneRunBuilder b(lanes);
    if (count <= 0)
        return b.finish();
    if (count <= maxDrawn || maxDrawn < 2)
        addEveryPoint(b, at, first, count, xOfFirst);
    else
        addThinned(b, at, first, count, xOfFirst, maxDrawn);
    return b.finish();
}
