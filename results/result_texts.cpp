#include "results/result_texts.h"

#include "results/result_columns.h"
#include "results/result_store.h"

namespace {

QString orDash(const QString& text) {
    return text.isEmpty() ? QStringLiteral("-") : printable(text);
}

QString dateText(const TestResult& r) {
    return r.date.toString(Qt::ISODate) + u' ' + r.startTime.toString(QStringLiteral("HH:mm:ss"));
}

} // namespace

QString printable(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        if (c == u'\t')
            out += QStringLiteral("\\t");
        else if (c == u'\n')
            out += QStringLiteral("\\n");
        else if (c == u'\r')
            out += QStringLiteral("\\r");
        else if (c.category() == QChar::Other_Control)
            out += QStringLiteral("\\x") +
                   QString::number(c.unicode(), 16).toUpper().rightJustified(2, u'0');
        else
            out += c;
    }
    return out;
}

QString r40Text(const std::optional<double>& r40, bool r1minKnown) {
    if (r40)
        return ohmsText(*r40);
    return r1minKnown ? QStringLiteral("not corrected") : QStringLiteral("-");
}

QString listHeader() {
    // The list's own headers, in English whatever the window's language.
    return ResultStore::listHeaders().join(u'\t');
}

QString listLine(const TestResult& r) {
    const std::optional<double> r40 = r.r40();
    return QStringList{QString::number(r.id),
                       dateText(r),
                       printable(r.assetId),
                       assetKindKey(r.kind),
                       voltsText(r.testVolts()),
                       r.r1min.ok() ? ohmsText(r.r1min.ohms) : QStringLiteral("-"),
                       r40Text(r40, r.r1min.ok()),
                       ratioText(r.dar),
                       ratioText(r.pi),
                       outcomeText(judge(r).outcome),
                       r.trendFallPct ? trendFlagText(*r.trendFallPct) : QStringLiteral("-")}
        .join(u'\t');
}

QString trendFlagText(int fallPct) {
    return QStringLiteral("TREND: %1 % below").arg(fallPct);
}

QString instrumentText(const Instrument& i) {
    if (i.model.isEmpty() && i.serial.isEmpty())
        return QStringLiteral("not recorded");
    QString text = i.model.isEmpty() ? QStringLiteral("-") : printable(i.model);
    return text + QStringLiteral(", serial number ") +
           (i.serial.isEmpty() ? QStringLiteral("not given") : printable(i.serial));
}

QString calibrationText(const TestResult& r) {
    const QDate& due = r.instrument.calibrationDue;
    if (!due.isValid())
        return QStringLiteral("-");
    const QString day = due.toString(Qt::ISODate);
    return r.instrument.calibrationPastDue(r.date)
               ? day + QStringLiteral(" (PAST DUE on the test date)")
               : day;
}

std::optional<QString> calibrationWarning(const TestResult& r) {
    if (!r.instrument.calibrationPastDue(r.date))
        return std::nullopt;
    return QStringLiteral("CALIBRATION PAST DUE: the instrument's calibration was due on %1, "
                          "before the test on %2.")
        .arg(r.instrument.calibrationDue.toString(Qt::ISODate), r.date.toString(Qt::ISODate));
}

QList<QPair<QString, QString>> figureLines(const TestResult& r) {
    const std::optional<double> r40 = r.r40();
    return {
        {QStringLiteral("Function"), printable(r.function)},
        {QStringLiteral("Test voltage"), voltsText(r.testVolts())},
        {QStringLiteral("Duration"), QStringLiteral("%1 s").arg(r.durationMs / 1000)},
        {QStringLiteral("R(30 s)"), resistanceText(r.r30s)},
        {QStringLiteral("R(1 min)"), resistanceText(r.r1min)},
        {QStringLiteral("R(10 min)"), resistanceText(r.r10min)},
        {QStringLiteral("R(1 min) at 40 °C"),
         r40 ? QStringLiteral("%1 (from %2)").arg(ohmsText(*r40), temperatureText(r.objectTempC))
             : r40Text(r40, r.r1min.ok())},
        {QStringLiteral("DAR"), ratioText(r.dar)},
        {QStringLiteral("PI"), ratioText(r.pi)},
        {QStringLiteral("Meter's PI"), ratioText(r.meterPi)},
    };
}

QList<QPair<QString, QString>> fieldLines(const TestResult& r) {
    // The unit is a text, never bytes: "MΩ" read as Latin-1 printed "MÎ©".
    auto minimum = [](const std::optional<double>& v, const QString& unit) {
        return v ? QString::number(*v, 'g', 6) + unit : QStringLiteral("-");
    };
    return {
        {QStringLiteral("Asset"), printable(r.assetId)},
        {QStringLiteral("Kind"), assetKindName(r.kind)},
        {QStringLiteral("Rated voltage"), kvText(r.ratedKv)},
        {QStringLiteral("Insulation class"), orDash(r.insulationClass)},
        {QStringLiteral("Object temperature"), temperatureText(r.objectTempC)},
        {QStringLiteral("Ambient temperature"), temperatureText(r.ambientTempC)},
        {QStringLiteral("Relative humidity"), humidityText(r.humidityPct)},
        {QStringLiteral("Operator"), orDash(r.operatorName)},
        {QStringLiteral("Location"), orDash(r.location)},
        {QStringLiteral("Date"), dateText(r)},
        {QStringLiteral("Minimum resistance"), minimum(r.minMohm, QStringLiteral(" MΩ"))},
        {QStringLiteral("Minimum PI"), minimum(r.minPi, QString())},
        {QStringLiteral("Minimum DAR"), minimum(r.minDar, QString())},
        {QStringLiteral("Source"),
         r.source.isEmpty() ? QStringLiteral("recorded live") : printable(r.source)},
        {QStringLiteral("Instrument"), instrumentText(r.instrument)},
        {QStringLiteral("Calibration due"), calibrationText(r)},
        {QStringLiteral("Notes"), orDash(r.notes)},
    };
}

QString showText(const TestResult& r, const Verdict& v, const std::optional<QString>& trend) {
    QStringList lines{QStringLiteral("ID: %1").arg(r.id)};
    for (const auto& [label, text] : fieldLines(r) + figureLines(r))
        lines << label + QStringLiteral(": ") + text;
    lines << QStringLiteral("Readings: %1").arg(r.readings.size());
    lines << QStringLiteral("Verdict: ") + outcomeText(v.outcome);
    lines << QStringLiteral("Rule: ") + v.rule;
    for (const QString& reason : v.reasons)
        lines << QStringLiteral("Reason: ") + reason;
    for (const QString& note : v.notes)
        lines << QStringLiteral("Note: ") + note;
    if (trend)
        lines << *trend;
    if (const std::optional<QString> warning = calibrationWarning(r))
        lines << *warning;
    return lines.join(u'\n');
}

QString csvHeader() {
    return csvNames().join(u',');
}

QString csvRow(const TestResult& r, const Verdict& v) {
    return csvCells(r, v).join(u',');
}
