#pragma once

#include "record/insulation_runs.h"
#include "results/instrument.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <QTime>

#include <optional>
#include <vector>

class ReadingTable;

// A test result: one insulation run of the reading table, its figures, and what the technician
// says about the asset and the conditions it was tested under.

// ---- Assets

enum class AssetKind {
    MachineForm,   // rotating machine, form-wound, built after about 1970
    MachineRandom, // rotating machine, random-wound or rated below 1 kV
    MachineOld,    // rotating machine built before about 1970, or a field winding
    Cable,
    Transformer,
    Switchgear,
    Other
};
constexpr int kAssetKindCount = 7;

// The kind's word on the command line and in the database ("machine-form"), and its name for
// people ("Rotating machine, form-wound, after about 1970").
QString assetKindKey(AssetKind kind);
QString assetKindName(AssetKind kind);
std::optional<AssetKind> assetKindOf(QStringView key);
bool isMachine(AssetKind kind);

// The insulation classes a machine's PI is judged against.
const QStringList& insulationClasses(); // "A", "B", "F", "H"

// ---- The result

struct ResultReading {
    qint64 elapsedMs = 0;       // from the run's first row
    std::optional<double> ohms; // none when the reading was beyond the range
    QString text;               // as the meter showed it: "2.961 GΩ", "0L"
};

struct TestResult {
    static constexpr int kAssetIdMax = 64;

    qint64 id = 0; // 0 until stored

    // What the technician says.
    QString assetId;
    AssetKind kind = AssetKind::Other;
    std::optional<double> ratedKv;
    QString insulationClass; // empty, or one of insulationClasses(); machines only
    std::optional<double> objectTempC;
    std::optional<double> ambientTempC;
    std::optional<double> humidityPct;
    QString operatorName;
    QString location;
    QString notes;
    QDate date;
    // The site's own minimums (any asset); the resistance one is R(1 min).
    std::optional<double> minMohm;
    std::optional<double> minPi;
    std::optional<double> minDar;

    // What the run measured.
    QTime startTime;  // the run's first row
    QString function; // "IR:1000V 40GΩ"
    qint64 durationMs = 0;
    ResistanceAt r30s, r1min, r10min;
    std::optional<double> dar, pi;
    std::optional<double> meterPi; // the meter's own PI result, where recorded
    QString source;                // the table file, or empty for readings recorded live
    Instrument instrument;         // the meter it was measured with
    std::vector<ResultReading> readings;

    // What the store works out against the asset's result before (by date): the fall in per cent
    // where a TREND: line flags it, and that result's ID.
    std::optional<int> trendFallPct;
    qint64 trendPreviousId = 0;

    // R(1 min) corrected to 40 °C, when R(1 min) is measured and the temperature given.
    std::optional<double> r40() const;
    // The resistance the verdict and the trend go by: R(1 min) at 40 °C, or as measured when no
    // temperature is given; none when R(1 min) is not available.
    std::optional<double> ratingOhms() const;
    // The test voltage, from the function text.
    std::optional<double> testVolts() const { return testVoltsOf(function); }

    static std::optional<double> testVoltsOf(const QString& function);
};

// R40 = R × 0.5^((40 − T)/10): insulation resistance halves for every 10 °C it warms.
double correctedTo40(double ohms, double tempC);

// Takes the figures and readings of `run` into the result, with the day it was recorded where the
// rows know it and the table file they came from; the technician's fields are left as they are.
void takeRun(const ReadingTable& table, const InsulationRun& run, TestResult& result);

// What is wrong with the technician's fields, one clear sentence; empty when nothing is.
QString checkFields(const TestResult& result);

// Ranges the fields must lie in.
namespace ranges {
constexpr double kObjectTempMin = -30, kObjectTempMax = 150;
constexpr double kAmbientTempMin = -40, kAmbientTempMax = 60;
constexpr double kHumidityMin = 0, kHumidityMax = 100;
constexpr double kRatedKvMax = 1000;
constexpr double kRatioMax = 100;
} // namespace ranges

// A date or a figure as the pages and lines print it.
QString temperatureText(const std::optional<double>& c);
QString humidityText(const std::optional<double>& pct);
QString kvText(const std::optional<double>& kv);
QString voltsText(const std::optional<double>& v);
// R(t) as its figure or why it is not available: "2.961 GΩ", "- (beyond the range)".
QString resistanceText(const ResistanceAt& at);
