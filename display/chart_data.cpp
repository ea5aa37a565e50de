#include "chart_data.h"

#include <algorithm>

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
    QList<QList<QPointF>> runs;
    QList<QPointF> run;
    auto endRun = [&] {
        if (!run.isEmpty())
            runs.append(std::move(run));
        run = {};
    };
    if (count <= 0)
        return runs;

    if (count <= maxDrawn || maxDrawn < 2) {
        for (qint64 i = 0; i < count; ++i) {
            if (const auto y = yAt(first + i))
                run.append(QPointF(xOfFirst + double(i), *y));
            else
                endRun();
        }
        endRun();
        return runs;
    }

    // Thinned: each bucket of neighbouring points gives its lowest and highest point, in the
    // order they occur; a bucket without any number is a gap.
    const qint64 buckets = maxDrawn / 2;
    for (qint64 b = 0; b < buckets; ++b) {
        const qint64 from = b * count / buckets;
        const qint64 to = (b + 1) * count / buckets;
        std::optional<QPointF> lo, hi;
        for (qint64 i = from; i < to; ++i) {
            const auto y = yAt(first + i);
            if (!y)
                continue;
            const QPointF p(xOfFirst + double(i), *y);
            if (!lo || *y < lo->y())
                lo = p;
            if (!hi || *y > hi->y())
                hi = p;
        }
        if (!lo) {
            endRun();
            continue;
        }
        if (lo->x() == hi->x()) {
            run.append(*lo);
        } else {
            run.append(lo->x() < hi->x() ? *lo : *hi);
            run.append(lo->x() < hi->x() ? *hi : *lo);
        }
    }
    endRun();
    return runs;
}
