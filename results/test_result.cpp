#include "results/test_result.h"

#include <QDateTime>

#include "record/reading_table.h"

#include <cmath>

namespace {

struct KindRow {
    AssetKind kind;
    const char* key;
    const char* name;
};

const KindRow kKinds[kAssetKindCount] = {
    {AssetKind::MachineForm, "machine-form", "Rotating machine, form-wound, after about 1970"},
    {AssetKind::MachineRandom, "machine-random", "Rotating machine, random-wound or below 1 kV"},
    {AssetKind::MachineOld, "machine-old",
     "Rotating machine before about 1970, or a field winding"},
    {AssetKind::Cable, "cable", "Cable"},
    {AssetKind::Transformer, "transformer", "Transformer"},
    {AssetKind::Switchgear, "switchgear", "Switchgear"},
    {AssetKind::Other, "other", "Other"},
};

bool inRange(const std::optional<double>& v, double lo, double hi) {
    return !v || (std::isfinite(*v) && *v >= lo && *v <= hi);
}

QString number(double v, int decimals) {
    QString t = QString::number(v, 'f', decimals);
    if (t.contains(u'.')) {
        while (t.endsWith(u'0'))
            t.chop(1);
        if (t.endsWith(u'.'))
            t.chop(1);
    }
    return t == u"-0" ? QStringLiteral("0") : t;
}

bool hasControl(const QString& text) {
    for (QChar c : text)
        if (c.category() == QChar::Other_Control)
            return true;
    return false;
}

} // namespace

QString assetKindKey(AssetKind kind) {
    return QString::fromLatin1(kKinds[int(kind)].key);
}

QString assetKindName(AssetKind kind) {
    return QString::fromLatin1(kKinds[int(kind)].name);
}

std::optional<AssetKind> assetKindOf(QStringView key) {
    for (const KindRow& k : kKinds)
        if (key == QLatin1String(k.key))
            return k.kind;
    return std::nullopt;
}

bool isMachine(AssetKind kind) {
    return kind == AssetKind::MachineForm || kind == AssetKind::MachineRandom ||
           kind == AssetKind::MachineOld;
}

const QStringList& insulationClasses() {
    static const QStringList classes{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("F"),
                                     QStringLiteral("H")};
    return classes;
}

double correctedTo40(double ohms, double tempC) {
    return ohms * std::pow(0.5, (40.0 - tempC) / 10.0);
}

std::optional<double> TestResult::r40() const {
    if (!r1min.ok() || !objectTempC)
        return std::nullopt;
    return correctedTo40(r1min.ohms, *objectTempC);
}

std::optional<double> TestResult::ratingOhms() const {
    if (!r1min.ok())
        return std::nullopt;
    return objectTempC ? r40() : std::optional<double>(r1min.ohms);
}

std::optional<double> TestResult::testVoltsOf(const QString& function) {
    return ::testVoltsOf(function);
}

void takeRun(const ReadingTable& table, const InsulationRun& run, TestResult& result) {
    const InsulationFigures f = insulationFigures(table, run);
    result.r30s = f.r30s;
    result.r1min = f.r1min;
    result.r10min = f.r10min;
    result.dar = f.dar;
    result.pi = f.pi;
    result.meterPi = meterPiResult(table, run);
    result.function = table.vRange(run.firstRow);
    result.durationMs = run.durationMs;
    result.startTime = QTime::fromMSecsSinceStartOfDay(table.timeMs(run.firstRow));
    // The day, where the rows know it (recorded here, or restored from the journal), and the
    // table file the rows came from, if any.
    if (const std::optional<qint64> at = table.recordedAt(run.firstRow))
        result.date = QDateTime::fromMSecsSinceEpoch(*at).date();
    if (const int source = table.sourceOf(run.firstRow))
        result.source = table.sourceFile(source);
    result.readings.clear();
    result.readings.reserve(size_t(run.lastRow - run.firstRow + 1));
    const std::vector<qint64> elapsed = elapsedOfRows(table, run);
    for (int row = run.firstRow; row <= run.lastRow; ++row) {
        const Sample s = table.sample(row);
        ResultReading r;
        r.elapsedMs = elapsed[size_t(row - run.firstRow)];
        const Measurement m = measurementOf(s);
        if (m.reading == Measurement::Number)
            r.ohms = m.value;
        r.text =
            s.unit == Unit::None ? table.value(row) : table.value(row) + u' ' + table.unit(row);
        result.readings.push_back(std::move(r));
    }
}

QString checkFields(const TestResult& r) {
    using namespace ranges;
    if (r.assetId.trimmed().isEmpty())
        return QStringLiteral("An asset ID is required.");
    if (r.assetId.toUcs4().size() > TestResult::kAssetIdMax)
        return QStringLiteral("The asset ID is longer than %1 characters.")
            .arg(TestResult::kAssetIdMax);
    if (hasControl(r.assetId))
        return QStringLiteral("The asset ID holds a control character (a tab or a line break).");
    if (!inRange(r.ratedKv, 0, kRatedKvMax) || (r.ratedKv && *r.ratedKv <= 0))
        return QStringLiteral("The rated voltage must lie above 0 and at most %1 kV.")
            .arg(kRatedKvMax);
    if (!r.insulationClass.isEmpty() && !insulationClasses().contains(r.insulationClass))
        return QStringLiteral("The insulation class is one of A, B, F and H.");
    if (!r.insulationClass.isEmpty() && !isMachine(r.kind))
        return QStringLiteral("An insulation class is given for rotating machines only.");
    if (!inRange(r.objectTempC, kObjectTempMin, kObjectTempMax))
        return QStringLiteral("The object temperature must lie between %1 and %2 °C.")
            .arg(kObjectTempMin)
            .arg(kObjectTempMax);
    if (!inRange(r.ambientTempC, kAmbientTempMin, kAmbientTempMax))
        return QStringLiteral("The ambient temperature must lie between %1 and %2 °C.")
            .arg(kAmbientTempMin)
            .arg(kAmbientTempMax);
    if (!inRange(r.humidityPct, kHumidityMin, kHumidityMax))
        return QStringLiteral("The relative humidity must lie between 0 and 100 %.");
    if (!inRange(r.minMohm, 0, 1e9))
        return QStringLiteral("The minimum resistance must be a number of MΩ, 0 or more.");
    if (!inRange(r.minPi, 0, kRatioMax) || !inRange(r.minDar, 0, kRatioMax))
        return QStringLiteral("A minimum PI or DAR must lie between 0 and %1.").arg(kRatioMax);
    if ((r.minPi || r.minDar) && !r.minMohm)
        return QStringLiteral("A minimum PI or DAR needs a minimum resistance beside it.");
    if (!r.date.isValid())
        return QStringLiteral("The date of the test is required.");
    return {};
}

QString temperatureText(const std::optional<double>& c) {
    return c ? number(*c, 1) + QStringLiteral(" °C") : QStringLiteral("-");
}

QString humidityText(const std::optional<double>& pct) {
    return pct ? number(*pct, 1) + QStringLiteral(" %") : QStringLiteral("-");
}

QString kvText(const std::optional<double>& kv) {
    return kv ? number(*kv, 3) + QStringLiteral(" kV") : QStringLiteral("-");
}

QString voltsText(const std::optional<double>& v) {
    return v ? number(*v, 0) + QStringLiteral(" V") : QStringLiteral("-");
}

QString resistanceText(const ResistanceAt& at) {
    return at.ok() ? ohmsText(at.ohms) : u"- (" + statusText(at.status) + u')';
}
