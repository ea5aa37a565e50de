#include "results/result_columns.h"

#include "core/csv_cell.h"
#include "results/result_store.h"
#include "results/store_sql.h"

#include <QDateTime>

#include <array>

using namespace resultsdb;

namespace {

QVariant ohmsOf(const ResistanceAt& at) {
    return at.ok() ? QVariant(at.ohms) : QVariant(QMetaType::fromType<double>());
}

ResistanceAt resistanceOf(const QVariant& ohms, const QVariant& status) {
    ResistanceAt at;
    const int s = status.toInt();
    at.status = s >= ResistanceAt::Measured && s <= ResistanceAt::Unsteady
                    ? ResistanceAt::Status(s)
                    : ResistanceAt::NoReading;
    if (at.status == ResistanceAt::Measured) {
        if (ohms.isNull())
            at.status = ResistanceAt::NoReading;
        else
            at.ohms = ohms.toDouble();
    }
    return at;
}

using Csv = ResultColumn::Csv;
using Row = ResultColumn::Row;
using R = const TestResult&;
using V = const Verdict&;

// The table reads best a column a line, so its lambdas are spelt short: VALUE what the column
// holds of result r and verdict v, READ what it takes back into r from its value `own` (and any
// other column of the row).
#define VALUE(expr) []([[maybe_unused]] R r, [[maybe_unused]] V v) -> QVariant { return expr; }
#define READ(stmt)                                                                                 \
    [](TestResult& r, [[maybe_unused]] const QVariant& own, [[maybe_unused]] const Row& row) {     \
        stmt;                                                                                      \
    }

const ResultColumn kColumns[] = {
    {"id", "id", Csv::Integer, true, VALUE(r.id), READ(r.id = own.toLongLong())},
    {"tested_on", "date", Csv::Word, false, VALUE(r.date.toString(kDateFormat)),
     READ(r.date = QDate::fromString(own.toString(), kDateFormat))},
    {"start_time", "start_time", Csv::Word, false, VALUE(r.startTime.toString(kTimeFormat)),
     READ(r.startTime = QTime::fromString(own.toString(), kTimeFormat))},
    {"asset_id", "asset_id", Csv::TypedText, false, VALUE(text(r.assetId)),
     READ(r.assetId = own.toString())},
    {"asset_kind", "asset_kind", Csv::Word, false, VALUE(assetKindKey(r.kind)),
     READ(r.kind = assetKindOf(own.toString()).value_or(AssetKind::Other))},
    {"rated_kv", "rated_kv", Csv::Number, false, VALUE(number(r.ratedKv)),
     READ(r.ratedKv = numberOf(own))},
    {"insulation_class", "insulation_class", Csv::Word, false, VALUE(text(r.insulationClass)),
     READ(r.insulationClass = own.toString())},
    {"object_temp_c", "object_temp_c", Csv::Number, false, VALUE(number(r.objectTempC)),
     READ(r.objectTempC = numberOf(own))},
    {"ambient_temp_c", "ambient_temp_c", Csv::Number, false, VALUE(number(r.ambientTempC)),
     READ(r.ambientTempC = numberOf(own))},
    {"humidity_pct", "humidity_pct", Csv::Number, false, VALUE(number(r.humidityPct)),
     READ(r.humidityPct = numberOf(own))},
    {"operator_name", "operator", Csv::TypedText, false, VALUE(text(r.operatorName)),
     READ(r.operatorName = own.toString())},
    {"location", "location", Csv::TypedText, false, VALUE(text(r.location)),
     READ(r.location = own.toString())},
    {"function_text", "function", Csv::Text, false, VALUE(text(r.function)),
     READ(r.function = own.toString())},
    {"test_volts", "test_volts", Csv::Number, false, VALUE(number(r.testVolts())), nullptr},
    {"duration_ms", "duration_s", Csv::Seconds, false, VALUE(r.durationMs),
     READ(r.durationMs = own.toLongLong())},
    {"r30_ohms", "r30s_ohms", Csv::Number, false, VALUE(ohmsOf(r.r30s)),
     READ(r.r30s = resistanceOf(own, row["r30_status"]))},
    {"r30_status", nullptr, Csv::None, false, VALUE(int(r.r30s.status)), nullptr},
    {"r1_ohms", "r1min_ohms", Csv::Number, false, VALUE(ohmsOf(r.r1min)),
     READ(r.r1min = resistanceOf(own, row["r1_status"]))},
    {"r1_status", nullptr, Csv::None, false, VALUE(int(r.r1min.status)), nullptr},
    {"r10_ohms", "r10min_ohms", Csv::Number, false, VALUE(ohmsOf(r.r10min)),
     READ(r.r10min = resistanceOf(own, row["r10_status"]))},
    {"r10_status", nullptr, Csv::None, false, VALUE(int(r.r10min.status)), nullptr},
    {"r40_ohms", "r40_ohms", Csv::Number, false, VALUE(number(r.r40())), nullptr},
    {"dar", "dar", Csv::Number, false, VALUE(number(r.dar)), READ(r.dar = numberOf(own))},
    {"pi", "pi", Csv::Number, false, VALUE(number(r.pi)), READ(r.pi = numberOf(own))},
    {"meter_pi", "meter_pi", Csv::Number, false, VALUE(number(r.meterPi)),
     READ(r.meterPi = numberOf(own))},
    {"min_mohm", "min_mohm", Csv::Number, false, VALUE(number(r.minMohm)),
     READ(r.minMohm = numberOf(own))},
    {"min_pi", "min_pi", Csv::Number, false, VALUE(number(r.minPi)), READ(r.minPi = numberOf(own))},
    {"min_dar", "min_dar", Csv::Number, false, VALUE(number(r.minDar)),
     READ(r.minDar = numberOf(own))},
    {"verdict", "verdict", Csv::Word, false, VALUE(outcomeText(v.outcome)), nullptr},
    {"verdict_reasons", "reasons", Csv::Text, false, VALUE(text(v.summary())), nullptr},
    {"notes", "notes", Csv::TypedText, false, VALUE(text(r.notes)), READ(r.notes = own.toString())},
    {"instrument_model", "instrument_model", Csv::TypedText, false, VALUE(text(r.instrument.model)),
     READ(r.instrument.model = own.toString())},
    {"instrument_serial", "instrument_serial", Csv::TypedText, false,
     VALUE(text(r.instrument.serial)), READ(r.instrument.serial = own.toString())},
    {"calibration_due", "calibration_due", Csv::Word, false,
     VALUE(text(r.instrument.calibrationDue.toString(kDateFormat))),
     READ(r.instrument.calibrationDue = QDate::fromString(own.toString(), kDateFormat))},
    // Worked out by the store after the save (refreshTrends), never inserted.
    {"trend_pct", "trend_pct", Csv::Number, true,
     VALUE(r.trendFallPct ? QVariant(*r.trendFallPct) : QVariant(QMetaType::fromType<int>())),
     READ(r.trendFallPct = own.isNull() ? std::nullopt : std::optional<int>(own.toInt()))},
    {"trend_previous_id", nullptr, Csv::None, true, VALUE(r.trendPreviousId),
     READ(r.trendPreviousId = own.toLongLong())},
    {"source", nullptr, Csv::None, false, VALUE(text(r.source)), READ(r.source = own.toString())},
    {"saved_at", nullptr, Csv::None, false,
     VALUE(QDateTime::currentDateTime().toString(Qt::ISODate)), nullptr},
};

#undef VALUE
#undef READ

QString csvCell(Csv form, const QVariant& v) {
    switch (form) {
    case Csv::None:
        break;
    case Csv::Integer:
        return QString::number(v.toLongLong());
    case Csv::Number:
        return v.isNull() ? QString() : QString::number(v.toDouble(), 'g', 12);
    case Csv::Seconds:
        return QString::number(double(v.toLongLong()) / 1000.0, 'g', 12);
    case Csv::Word:
        return v.toString();
    case Csv::Text:
        return ::csvCell(v.toString());
    case Csv::TypedText:
        return csvTextCell(v.toString());
    }
    return {};
}

const ResultListColumn kListColumns[] = {
    {"ID", "id", nullptr},
    {"Date", "tested_on || ' ' || start_time", "tested_on %1, start_time %1"},
    {"Asset", "asset_id", nullptr},
    {"Kind", "asset_kind", nullptr},
    {"Test voltage", "test_volts", nullptr},
    {"R(1 min)", "r1_ohms", nullptr},
    {"R40", "r40_ohms", nullptr},
    {"DAR", "dar", nullptr},
    {"PI", "pi", nullptr},
    {"Verdict", "verdict", nullptr},
    {"Trend", "trend_pct", nullptr},
};
static_assert(std::size(kListColumns) == ResultStore::ColumnCount);

} // namespace

QVariant ResultColumn::Row::operator[](const char* column) const {
    return q_.value(record_.indexOf(QLatin1String(column)));
}

std::span<const ResultColumn> resultColumns() {
    return kColumns;
}

QString insertedColumns() {
    QStringList names;
    for (const ResultColumn& c : kColumns)
        if (!c.generated)
            names << QLatin1String(c.name);
    return names.join(QStringLiteral(", "));
}

QVariantList insertedValues(const TestResult& r, const Verdict& v) {
    QVariantList values;
    for (const ResultColumn& c : kColumns)
        if (!c.generated)
            values << c.value(r, v);
    return values;
}

QString selectedColumns() {
    QStringList names;
    for (const ResultColumn& c : kColumns)
        names << QLatin1String(c.name);
    return names.join(QStringLiteral(", "));
}

TestResult resultOf(const QSqlQuery& q) {
    const ResultColumn::Row row(q);
    TestResult r;
    for (const ResultColumn& c : kColumns)
        if (c.read)
            c.read(r, row[c.name], row);
    return r;
}

QStringList csvNames() {
    QStringList names;
    for (const ResultColumn& c : kColumns)
        if (c.csv != Csv::None)
            names << QLatin1String(c.csvName);
    return names;
}

QStringList csvCells(const TestResult& r, const Verdict& v) {
    QStringList cells;
    for (const ResultColumn& c : kColumns)
        if (c.csv != Csv::None)
            cells << csvCell(c.csv, c.value(r, v));
    return cells;
}

std::span<const ResultListColumn> resultListColumns() {
    return kListColumns;
}
