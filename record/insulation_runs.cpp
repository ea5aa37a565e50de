#include "record/insulation_runs.h"

#include <QStringList>
#include <QTime>

#include <algorithm>
#include <cmath>
#include <utility>

// ---- Readings

Measurement measurementOf(const ValueReading& value, const UnitScale& scale) {
    Measurement m;
    m.quantity = scale.quantity;
    if (value.kind == ValueReading::Number) {
        m.reading = Measurement::Number;
        m.value = value.number * scale.factor;
    } else if (value.kind == ValueReading::BeyondRange) {
        m.reading = Measurement::BeyondRange;
    }
    return m;
}

// ---- Runs

void InsulationRuns::scan(const ReadingTable& table) {
    runs_.clear();
    seen_ = 0;
    open_ = false;
    append(table);
}

void InsulationRuns::append(const ReadingTable& table) {
    for (; seen_ < table.rowCount(); ++seen_) {
        const int row = seen_;
        const Sample s = table.sample(row);
        const Measurement m = measurementOf(s);
        const bool fits = !s.timeNull && s.insulation && m.quantity == Measurement::Resistance &&
                          m.reading != Measurement::NoReading;
        if (!fits) {
            open_ = false;
            continue;
        }
        const qint64 step = open_ ? elapsedMs(last_, s.time) : 0;
        const bool collapsed =
            m.reading == Measurement::Number && lastOhms_ > 0 && m.value < lastOhms_ / 10;
        if (open_ && step >= 0 && step <= kMaxGapMs && !collapsed && s.function == function_ &&
            s.mode == mode_) {
            InsulationRun& run = runs_.back();
            run.lastRow = row;
            run.durationMs += step;
        } else {
            runs_.push_back(InsulationRun{row, row, 0});
            function_ = s.function;
            mode_ = s.mode;
            lastOhms_ = -1;
            open_ = true;
        }
        last_ = s.time;
        if (m.reading == Measurement::Number)
            lastOhms_ = m.value;
    }
}

int InsulationRuns::runOf(int row) const {
    const int i = lastRunIn(row, row);
    return i >= 0 && runs_[size_t(i)].firstRow <= row ? i : -1;
}

std::vector<qint64> elapsedOfRows(const ReadingTable& table, const InsulationRun& run,
                                  qint64 untilMs) {
    std::vector<qint64> out;
    qint64 elapsed = 0;
    SampleTime prev = table.sampleTime(run.firstRow);
    for (int row = run.firstRow; row <= run.lastRow && elapsed <= untilMs; ++row) {
        const SampleTime t = table.sampleTime(row);
        elapsed += elapsedMs(prev, t);
        prev = t;
        out.push_back(elapsed);
    }
    return out;
}

int InsulationRuns::lastRunIn(int firstRow, int lastRow) const {
    // The last run that starts at or before lastRow; runs do not overlap.
    auto it = std::upper_bound(runs_.begin(), runs_.end(), lastRow,
                               [](int row, const InsulationRun& r) { return row < r.firstRow; });
    if (it == runs_.begin())
        return -1;
    --it;
    return it->lastRow >= firstRow ? int(it - runs_.begin()) : -1;
}

// ---- Figures

namespace {

// A row of a run and when it was taken.
struct RunPlace {
    int row = -1;
    qint64 at = 0; // ms after the run's first row
};

// The last row of the run taken at or before `t` ms into it and the first taken after.
std::pair<RunPlace, RunPlace> rowsAround(const ReadingTable& table, const InsulationRun& run,
                                         qint64 t) {
    RunPlace before, after;
    const std::vector<qint64> elapsed = elapsedOfRows(table, run, t);
    for (int row = run.firstRow; row < run.firstRow + int(elapsed.size()); ++row) {
        const qint64 at = elapsed[size_t(row - run.firstRow)];
        if (at > t) {
            after = {row, at};
            break;
        }
        before = {row, at};
    }
    return {before, after};
}

Measurement measuredAt(const ReadingTable& table, int row) {
    return measurementOf(table.valueReading(row), scaleOf(table.unitKind(row)));
}

ResistanceAt readAt(const ReadingTable& table, int row) {
    const Measurement m = measuredAt(table, row);
    if (m.reading != Measurement::Number)
        return {ResistanceAt::BeyondRange, 0};
    return {ResistanceAt::Measured, m.value};
}

// The resistance at `t` between two readings, straight on log-log scales; none for readings
// too far apart to say.
ResistanceAt between(const ReadingTable& table, RunPlace before, RunPlace after, qint64 t) {
    const Measurement a = measuredAt(table, before.row);
    const Measurement b = measuredAt(table, after.row);
    if (a.reading != Measurement::Number || b.reading != Measurement::Number)
        return {ResistanceAt::BeyondRange, 0};
    const double lo = std::min(a.value, b.value);
    const double hi = std::max(a.value, b.value);
    if (hi <= 0)
        return {ResistanceAt::Measured, 0};
    if (lo <= 0 || hi > 2 * lo)
        return {ResistanceAt::Unsteady, 0};
    // before.at >= t/2 > 0.
    const double u =
        std::log(double(t) / double(before.at)) / std::log(double(after.at) / double(before.at));
    return {ResistanceAt::Measured, a.value * std::pow(b.value / a.value, u)};
}

} // namespace

ResistanceAt resistanceAt(const ReadingTable& table, const InsulationRun& run, int seconds) {
    const qint64 t = qint64(seconds) * 1000;
    const auto [before, after] = rowsAround(table, run, t);
    if (before.row >= 0 && before.at == t)
        return readAt(table, before.row);
    if (before.row >= 0 && after.row >= 0 && t - before.at <= t / 2 && after.at - t <= t / 2)
        return between(table, before, after, t);

    const qint64 tolerance = t / 20;
    const bool beforeNear = before.row >= 0 && t - before.at <= tolerance;
    const bool afterNear = after.row >= 0 && after.at - t <= tolerance;
    if (beforeNear && (!afterNear || t - before.at <= after.at - t))
        return readAt(table, before.row);
    if (afterNear)
        return readAt(table, after.row);
    return {after.row < 0 ? ResistanceAt::NotReached : ResistanceAt::NoReading, 0};
}

InsulationFigures insulationFigures(const ReadingTable& table, const InsulationRun& run) {
    InsulationFigures f;
    f.r30s = resistanceAt(table, run, 30);
    f.r1min = resistanceAt(table, run, 60);
    f.r10min = resistanceAt(table, run, 600);
    auto ratio = [](const ResistanceAt& num, const ResistanceAt& den) -> std::optional<double> {
        if (!num.ok() || !den.ok() || den.ohms <= 0)
            return std::nullopt;
        return num.ohms / den.ohms;
    };
    f.dar = ratio(f.r1min, f.r30s);
    f.pi = ratio(f.r10min, f.r1min);
    return f;
}

std::optional<double> meterPiResult(const ReadingTable& table, const InsulationRun& run) {
    const int row = run.lastRow + 1;
    if (row >= table.rowCount())
        return std::nullopt;
    const Sample s = table.sample(row);
    if (s.mode != TestMode::PI || s.function != table.sample(run.lastRow).function ||
        s.unit != Unit::None || s.value.kind != ValueReading::Number)
        return std::nullopt;
    return s.value.number;
}

// ---- Texts

QString ohmsText(double ohms) {
    static constexpr Unit kUnits[] = {Unit::TeraOhm, Unit::GigaOhm, Unit::MegaOhm, Unit::KiloOhm,
                                      Unit::Ohm};
    // Four significant digits first, so that 999.96 MΩ becomes 1.000 GΩ and not 1000 MΩ.
    if (ohms > 0) {
        const double p = std::pow(10.0, std::floor(std::log10(ohms)) - 3);
        ohms = std::round(ohms / p) * p;
    }
    size_t i = 0;
    while (i + 1 < std::size(kUnits) && ohms < scaleOf(kUnits[i]).factor * (1 - 1e-12))
        ++i;
    const double v = ohms / scaleOf(kUnits[i]).factor;
    const int decimals = v >= 999.5 ? 0 : v >= 99.95 ? 1 : v >= 9.995 ? 2 : 3;
    return QString::number(v, 'f', decimals) + u' ' + unitText(kUnits[i]);
}

QString ratioText(const std::optional<double>& ratio) {
    return ratio ? QString::number(*ratio, 'f', 2) : QStringLiteral("-");
}

QString clockText(int msOfDay) {
    // By hand: the locale's formatter is slow for what is three pairs of digits.
    const int s = std::clamp(msOfDay, 0, 86'399'999) / 1000;
    const int parts[3] = {s / 3600, s / 60 % 60, s % 60};
    QString out(8, u':');
    for (int i = 0; i < 3; ++i) {
        out[i * 3] = QChar(u'0' + parts[i] / 10);
        out[i * 3 + 1] = QChar(u'0' + parts[i] % 10);
    }
    return out;
}

bool figuresMayChange(qint64 fromMs, qint64 toMs) {
    // R(t) is read from the rows within t/2 of t: once a run is past 3t/2, R(t) is what it is.
    for (const qint64 t : {30'000LL, 60'000LL, 600'000LL})
        if (toMs >= t / 2 && fromMs <= t * 3 / 2)
            return true;
    return false;
}

QString runTitle(const ReadingTable& table, const InsulationRun& run) {
    return clockText(table.timeMs(run.firstRow)) + u' ' + table.vRange(run.firstRow);
}

QString statusText(ResistanceAt::Status status) {
    switch (status) {
    case ResistanceAt::Measured:
        return QStringLiteral("measured");
    case ResistanceAt::BeyondRange:
        return QStringLiteral("beyond the range");
    case ResistanceAt::NotReached:
        return QStringLiteral("the test ended before");
    case ResistanceAt::NoReading:
        return QStringLiteral("no reading close enough");
    case ResistanceAt::Unsteady:
        return QStringLiteral("readings jump there");
    }
    return {};
}

QString analysisLine(const ReadingTable& table, const InsulationRun& run) {
    const InsulationFigures f = insulationFigures(table, run);
    auto r = [](const ResistanceAt& at) {
        return at.ok() ? ohmsText(at.ohms) : QStringLiteral("-");
    };
    const int first = run.firstRow;
    return QStringList{table.isNoNull(first) ? QStringLiteral("-")
                                             : QString::number(table.no(first)),
                       clockText(table.timeMs(first)),
                       table.vRange(first),
                       QString::number(qRound64(double(run.durationMs) / 1000.0)),
                       r(f.r30s),
                       r(f.r1min),
                       r(f.r10min),
                       ratioText(f.dar),
                       ratioText(f.pi),
                       ratioText(meterPiResult(table, run))}
        .join(u'\t');
}
