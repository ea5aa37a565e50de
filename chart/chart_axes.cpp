#include "chart/chart_axes.h"

#include "core/sample_time.h"

#include <QCategoryAxis>
#include <QDateTime>

#include <algorithm>
#include <cmath>
#include <span>

double niceStep(double span, int ticks) {
    if (!(span > 0) || ticks < 1)
        return 1;
    const double raw = span / ticks;
    const double p = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0})
        if (raw <= m * p)
            return m * p;
    return 10 * p;
}

double clockStep(double span, int ticks) {
    static constexpr double kSteps[] = {1,   2,   5,    10,   15,   30,    60,    120,  300,
                                        600, 900, 1800, 3600, 7200, 10800, 21600, 43200};
    const double raw = span / std::max(ticks, 1);
    for (double s : kSteps)
        if (raw <= s)
            return s;
    return std::ceil(raw / 86400) * 86400;
}

QString ohmLabel(int m, int decade) {
    static const char16_t* const kUnit[] = {u"\u03A9",  u"k\u03A9", u"M\u03A9",
                                            u"G\u03A9", u"T\u03A9", u"P\u03A9"};
    const int group = std::clamp(decade >= 0 ? decade / 3 : -((2 - decade) / 3), 0, 5);
    const double v = m * std::pow(10.0, decade - 3 * group);
    return QString::number(v, 'g', 6) + u' ' + QString::fromUtf16(kUnit[group]);
}

QString elapsedText(double seconds) {
    const qint64 s = std::llround(seconds);
    const qint64 a = s < 0 ? -s : s;
    return QStringLiteral("%1%2:%3")
        .arg(s < 0 ? QStringLiteral("-") : QString())
        .arg(a / 60)
        .arg(a % 60, 2, 10, QLatin1Char('0'));
}

QList<AxisLabel> ohmLabels(double lo, double hi, int maxLabels) {
    static const int kDecades[] = {1};
    static const int kHalves[] = {1, 2, 5};
    static const int kAll[] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    const double span = hi - lo;
    // The finest steps that the span and the room allow: every step, 1-2-5, every decade, then
    // every second decade and so on.
    std::span<const int> steps = span > 2.5   ? std::span<const int>(kDecades)
                                 : span > 0.8 ? std::span<const int>(kHalves)
                                              : std::span<const int>(kAll);
    int everyDecades = 1;
    for (;;) {
        QList<AxisLabel> labels;
        for (int d = int(std::floor(lo)); d <= int(std::ceil(hi)); ++d) {
            if (((d % everyDecades) + everyDecades) % everyDecades != 0)
                continue;
            for (int m : steps) {
                const double at = d + std::log10(double(m));
                if (at >= lo - 1e-9 && at <= hi + 1e-9)
                    labels.append({ohmLabel(m, d), at});
            }
        }
        if (labels.size() <= std::max(maxLabels, 1) || everyDecades > 12)
            return labels;
        if (steps.size() > 1)
            steps =
                steps.size() > 3 ? std::span<const int>(kHalves) : std::span<const int>(kDecades);
        else
            ++everyDecades;
    }
}

QList<AxisLabel> voltLabels(double lo, double hi, double step) {
    QList<AxisLabel> labels;
    if (!(step > 0) || !(hi > lo))
        return labels;
    for (double v = std::ceil(lo / step - 1e-9) * step; v <= hi + 1e-9; v += step)
        labels.append(
            {QString::number(std::abs(v) < step * 1e-9 ? 0.0 : v, 'g', 6) + QStringLiteral(" V"),
             v});
    return labels;
}

QList<AxisLabel> xLabels(double lo, double hi, bool elapsed) {
    QList<AxisLabel> labels;
    if (!(hi > lo) || !std::isfinite(lo) || !std::isfinite(hi))
        return labels;
    // Row numbers step by whole rows.
    const double step = elapsed ? clockStep(hi - lo, 5) : niceStep(std::max(hi - lo, 5.0), 5);
    for (double v = std::ceil(lo / step) * step; v <= hi + 1e-9; v += step)
        labels.append({elapsed ? elapsedText(v) : QString::number(qint64(std::llround(v))), v});
    return labels;
}

QList<AxisLabel> clockLabels(double lo, double hi, const SampleTime& origin, int ticks) {
    QList<AxisLabel> labels;
    if (!(hi > lo) || !std::isfinite(lo) || !std::isfinite(hi))
        return labels;
    const double step = clockStep(hi - lo, ticks);
    const qint64 stepMs = qint64(step * 1000);
    const qint64 loMs = qint64(std::floor(lo * 1000));
    const qint64 hiMs = qint64(std::ceil(hi * 1000));
    // The clock (ms of the day, counting on past midnight) at X = 0.
    const qint64 originOfDay = origin.msOfDay;
    if (origin.epochMs) {
        const QDateTime first = QDateTime::fromMSecsSinceEpoch(*origin.epochMs + loMs);
        const QDateTime last = QDateTime::fromMSecsSinceEpoch(*origin.epochMs + hiMs);
        const bool days = first.date() != last.date();
        // Ticks at whole steps of the local clock.
        const qint64 dayMs = first.time().msecsSinceStartOfDay();
        qint64 at = loMs + (stepMs - dayMs % stepMs) % stepMs;
        for (; at <= hiMs; at += stepMs) {
            const QDateTime t = QDateTime::fromMSecsSinceEpoch(*origin.epochMs + at);
            const QString clock = t.toString(step >= 60 && days ? QStringLiteral("HH:mm")
                                                                : QStringLiteral("HH:mm:ss"));
            labels.append(
                {days ? t.toString(QStringLiteral("MM-dd ")) + clock : clock, double(at) / 1000.0});
        }
        return labels;
    }
    const qint64 startOfDay = originOfDay + loMs;
    qint64 at = loMs + (stepMs - startOfDay % stepMs) % stepMs;
    const bool days =
        (originOfDay + hiMs) / SampleTime::kDayMs != (originOfDay + loMs) / SampleTime::kDayMs;
    for (; at <= hiMs; at += stepMs) {
        const qint64 clock = originOfDay + at;
        const qint64 day = clock / SampleTime::kDayMs;
        const QString text = QTime::fromMSecsSinceStartOfDay(int(clock % SampleTime::kDayMs))
                                 .toString(step >= 60 && days ? QStringLiteral("HH:mm")
                                                              : QStringLiteral("HH:mm:ss"));
        labels.append(
            {day > 0 ? QStringLiteral("+%1d ").arg(day) + text : text, double(at) / 1000.0});
    }
    return labels;
}

void setAxisLabels(QCategoryAxis* axis, const QList<AxisLabel>& labels) {
    const QStringList names = axis->categoriesLabels();
    bool same = names.size() == labels.size();
    for (qsizetype i = 0; same && i < labels.size(); ++i)
        same = names[i] == labels[i].text && axis->endValue(names[i]) == labels[i].at;
    // A category ends at its label's value; the first starts well below the range, so that no
    // grid line marks its start.
    const double start = axis->min() - (axis->max() - axis->min()) - 1;
    if (same && axis->startValue() <= axis->min())
        return;
    for (const QString& name : names)
        axis->remove(name);
    axis->setStartValue(start);
    for (const AxisLabel& l : labels)
        axis->append(l.text, l.at);
    if (axis->orientation() == Qt::Vertical || names.isEmpty())
        measureLabelsAgain(axis);
}

void measureLabelsAgain(QAbstractAxis* axis) {
    if (axis->labelsVisible()) {
        axis->setLabelsVisible(false);
        axis->setLabelsVisible(true);
    }
}
