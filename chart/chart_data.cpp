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
            return y ? LanePoint{0, *y} : LanePoint{};
        },
        1, first, count, xOfFirst, maxDrawn);
    return lanes.value(0);
}

QList<QList<QList<QPointF>>> laneRuns(const LaneValueAt& at, int lanes, qint64 first, qint64 count,
                                      double xOfFirst, int maxDrawn) {
    QList<QList<QList<QPointF>>> runs(lanes);
    std::vector<QList<QPointF>> run(size_t(std::max(lanes, 0)));
    auto endRun = [&](int lane) {
        if (!run[size_t(lane)].isEmpty())
            runs[lane].append(std::move(run[size_t(lane)]));
        run[size_t(lane)] = {};
    };
    auto endOthers = [&](int lane) {
        for (int k = 0; k < lanes; ++k)
            if (k != lane)
                endRun(k);
    };
    if (count <= 0)
        return runs;

    if (count <= maxDrawn || maxDrawn < 2) {
        for (qint64 i = 0; i < count; ++i) {
            const LanePoint p = at(first + i);
            const bool on = p.lane >= 0 && p.lane < lanes;
            endOthers(on ? p.lane : -1);
            if (on)
                run[size_t(p.lane)].append(QPointF(xOfFirst + double(i), p.y));
        }
        endOthers(-1);
        return runs;
    }

    // Thinned: each bucket of neighbouring points gives, on each lane, its lowest and highest
    // point in the order they occur; a bucket without any point on a lane is a gap there.
    struct Extremes {
        qint64 lo = -1, hi = -1; // indexes, -1 for none
        double loY = 0, hiY = 0;
    };
    std::vector<Extremes> ext(static_cast<size_t>(lanes));
    const qint64 buckets = maxDrawn / 2;
    for (qint64 b = 0; b < buckets; ++b) {
        const qint64 from = b * count / buckets;
        const qint64 to = (b + 1) * count / buckets;
        std::fill(ext.begin(), ext.end(), Extremes{});
        for (qint64 i = from; i < to; ++i) {
            const LanePoint p = at(first + i);
            if (p.lane < 0 || p.lane >= lanes)
                continue;
            Extremes& e = ext[size_t(p.lane)];
            if (e.lo < 0) {
                e = {i, i, p.y, p.y};
            } else if (p.y < e.loY) {
                e.lo = i;
                e.loY = p.y;
            } else if (p.y > e.hiY) {
                e.hi = i;
                e.hiY = p.y;
            }
        }
        for (int k = 0; k < lanes; ++k) {
            const Extremes& e = ext[size_t(k)];
            QList<QPointF>& r = run[size_t(k)];
            if (e.lo < 0) {
                endRun(k);
                continue;
            }
            const QPointF lo(xOfFirst + double(e.lo), e.loY);
            const QPointF hi(xOfFirst + double(e.hi), e.hiY);
            if (e.lo == e.hi)
                r.append(lo);
            else if (e.lo < e.hi)
                r.append({lo, hi});
            else
                r.append({hi, lo});
        }
    }
    endOthers(-1);
    return runs;
}
