#include "app/cli_results.h"

#include "record/insulation_runs.h"
#include "record/reading_table.h"
#include "record/table_files.h"
#include "record/test_model.h"
#include "reports/report_export.h"
#include "results/result_store.h"
#include "results/result_texts.h"
#include "results/ui/result_report.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSaveFile>
#include <QSettings>

#include <cstdio>
#include <optional>

namespace cli {

namespace {

void errLine(const QString& text) {
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

int written() {
    return std::fflush(stdout) == 0 ? 0 : 1;
}

void outText(const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
}

// Reading never makes a database: a path where none is is said, and nothing is created.
bool openStore(const Arguments& a, ResultStore& store,
               ResultStore::Opening opening = ResultStore::Opening::ExistingOnly) {
    QString error;
    if (store.open(a.value("--database"), &error, opening))
        return true;
    errLine(error);
    return false;
}

// A number option that was given; the parser has checked that it is one.
std::optional<double> numberOption(const Arguments& a, const char* name) {
    if (!a.has(name))
        return std::nullopt;
    return a.number(name);
}

// The previous result of the same asset and the TREND line against it, if any.
std::optional<QString> trendOf(ResultStore& store, const TestResult& r) {
    QString error;
    const std::optional<TestResult> previous = store.previousOf(r, &error);
    return previous ? trendLine(r, *previous) : std::nullopt;
}

// Fills the technician's fields from the options; false (wrong usage, said) for a kind or
// class that does not exist or a date that is no date.
bool fieldsFrom(const Arguments& a, TestResult& r) {
    r.assetId = a.value("--asset");
    if (a.has("--kind")) {
        const std::optional<AssetKind> kind = assetKindOf(a.value("--kind"));
        if (!kind) {
            QStringList kinds;
            for (int k = 0; k < kAssetKindCount; ++k)
                kinds << assetKindKey(AssetKind(k));
            errLine(QStringLiteral("Unknown kind \"%1\": one of %2.")
                        .arg(printable(a.value("--kind")), kinds.join(QStringLiteral(", "))));
            return false;
        }
        r.kind = *kind;
    }
    if (a.has("--class")) {
        r.insulationClass = a.value("--class").toUpper();
        if (!insulationClasses().contains(r.insulationClass)) {
            errLine(QStringLiteral("Unknown insulation class \"%1\": one of A, B, F, H.")
                        .arg(printable(a.value("--class"))));
            return false;
        }
    }
    auto dateOption = [&](const char* name, QDate& out) {
        if (!a.has(name))
            return true;
        out = QDate::fromString(a.value(name), Qt::ISODate);
        if (out.isValid() && a.value(name).size() == 10)
            return true;
        errLine(QLatin1String(name) + QStringLiteral(" needs a date as YYYY-MM-DD."));
        return false;
    };
    if (!dateOption("--date", r.date))
        return false;
    // The instrument as the window's settings keep it, unless given here.
    r.instrument = instrumentOf(QSettings());
    if (a.has("--instrument-model"))
        r.instrument.model = a.value("--instrument-model");
    if (a.has("--instrument-serial"))
        r.instrument.serial = a.value("--instrument-serial");
    if (!dateOption("--calibration-due", r.instrument.calibrationDue))
        return false;
    r.ratedKv = numberOption(a, "--rated-kv");
    r.objectTempC = numberOption(a, "--temperature");
    r.ambientTempC = numberOption(a, "--ambient");
    r.humidityPct = numberOption(a, "--humidity");
    r.operatorName = a.value("--operator");
    r.location = a.value("--location");
    r.notes = a.value("--notes");
    r.minMohm = numberOption(a, "--min-mohm");
    r.minPi = numberOption(a, "--min-pi");
    r.minDar = numberOption(a, "--min-dar");
    return true;
}

int runAdd(const Arguments& a) {
    TestResult r;
    if (!fieldsFrom(a, r))
        return kWrongUsage;
    const QString tableFile = a.files[0];
    // The table first: a file that is missing or no table is said as analyze says it.
    ReadingTable table;
    std::vector<TableFileMessage> said;
    if (!LoadTableFile(tableFile, table, false,
                       [&](const TableFileMessage& m) { said.push_back(m); })) {
        for (const TableFileMessage& m : said) {
            errLine(m.text);
            if (!m.detail.isEmpty())
                errLine(m.detail);
        }
        return 1;
    }
    // A table file holds times of day only: the day is the file's, unless given.
    const bool dateGiven = a.has("--date");
    if (!dateGiven)
        r.date = QFileInfo(tableFile).lastModified().date();
    r.source = QFileInfo(tableFile).absoluteFilePath();
    // The fields are checked before the database is opened: bad input changes nothing.
    if (const QString problem = checkFields(r); !problem.isEmpty()) {
        errLine(problem + QStringLiteral(" Nothing was saved."));
        return 1;
    }
    const TestModel tests(table);
    const InsulationRuns& runs = tests.runs();
    const int count = int(runs.runs().size());
    if (count == 0) {
        errLine(QStringLiteral("\"%1\" holds no insulation test run. Nothing was saved.")
                    .arg(tableFile));
        return 1;
    }
    const qint64 n = a.has("--run") ? qint64(a.number("--run")) : count;
    if (n < 1 || n > count) {
        errLine(QStringLiteral("There is no run %1: \"%2\" holds %3 insulation test run%4. "
                               "Nothing was saved.")
                    .arg(n)
                    .arg(tableFile)
                    .arg(count)
                    .arg(count == 1 ? QString() : QStringLiteral("s")));
        return 1;
    }
    const QDate given = r.date;
    const QString source = r.source;
    takeRun(table, runs.runs()[size_t(n - 1)], r);
    // A date given wins over the day the rows know (a journal's rows know theirs).
    if (dateGiven || !r.date.isValid())
        r.date = given;
    r.source = source;
    ResultStore store;
    if (!openStore(a, store, ResultStore::Opening::MayCreate))
        return 1;
    QString error;
    if (!store.save(r, &error)) {
        errLine(error);
        return 1;
    }
    const Verdict v = judge(r);
    QString out =
        QStringList{QString::number(r.id), outcomeText(v.outcome), v.summary()}.join(u'\t') + u'\n';
    if (const std::optional<QString> trend = trendOf(store, r))
        out += *trend + u'\n';
    outText(out);
    // Saved all the same: the page says it too.
    if (const std::optional<QString> warning = calibrationWarning(r))
        errLine(*warning);
    return written();
}

int runList(const Arguments& a) {
    ResultStore store;
    if (!openStore(a, store))
        return 1;
    ResultStore::Filter filter;
    filter.asset = a.value("--asset");
    QString error;
    const std::vector<TestResult> results = store.list(filter, &error);
    if (!error.isEmpty()) {
        errLine(
            QStringLiteral("The results cannot be read from \"%1\": %2").arg(store.name(), error));
        return 1;
    }
    QString out = listHeader() + u'\n';
    for (const TestResult& r : results)
        out += listLine(r) + u'\n';
    outText(out);
    return written();
}

// The result IDs given; none (said: wrong usage) when one is no ID.
std::optional<QList<qint64>> idsOf(const QStringList& texts) {
    QList<qint64> ids;
    for (const QString& text : texts) {
        bool ok = false;
        const qint64 id = text.toLongLong(&ok);
        if (!ok || id <= 0) {
            errLine(QStringLiteral("\"%1\" is no result ID (a whole number above 0).")
                        .arg(printable(text)));
            return std::nullopt;
        }
        ids << id;
    }
    return ids;
}

// The results the IDs name, with readings; none (said) when one is missing.
std::optional<std::vector<TestResult>> resultsNamed(ResultStore& store, const QList<qint64>& ids) {
    std::vector<TestResult> out;
    for (const qint64 id : ids) {
        QString error;
        std::optional<TestResult> r = store.load(id, true, &error);
        if (!r) {
            errLine(error.isEmpty()
                        ? QStringLiteral("There is no test result with ID %1 in \"%2\".")
                              .arg(id)
                              .arg(store.name())
                        : error);
            return std::nullopt;
        }
        out.push_back(std::move(*r));
    }
    return out;
}

int runShow(const Arguments& a) {
    const std::optional<QList<qint64>> ids = idsOf(a.files);
    if (!ids)
        return kWrongUsage;
    ResultStore store;
    if (!openStore(a, store))
        return 1;
    const auto results = resultsNamed(store, *ids);
    if (!results)
        return 1;
    const TestResult& r = results->front();
    outText(showText(r, judge(r), trendOf(store, r)) + u'\n');
    return written();
}

int runReportOf(const Arguments& a) {
    QStringList given = a.files;
    const QString out = given.takeLast();
    if (!out.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) {
        errLine(QStringLiteral("The report is saved as .pdf."));
        return kWrongUsage;
    }
    const std::optional<QList<qint64>> ids = idsOf(given);
    if (!ids)
        return kWrongUsage;
    ResultStore store;
    if (!openStore(a, store))
        return 1;
    const auto results = resultsNamed(store, *ids);
    if (!results)
        return 1;
    std::vector<ResultPage> pages;
    for (const TestResult& r : *results)
        pages.push_back({r, judge(r), trendOf(store, r)});
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::optional<QGuiApplication> app;
    if (!QCoreApplication::instance())
        app.emplace(*a.argc, a.argv);
    const ResultReport report(std::move(pages));
    QString error;
    if (!writeReport(report, out, ReportFormat::Pdf, &error)) {
        errLine(QStringLiteral("Cannot create file \"%1\". %2").arg(out, error));
        return 1;
    }
    return 0;
}

int runExport(const Arguments& a) {
    const QString out = a.files[0];
    ResultStore store;
    if (!openStore(a, store))
        return 1;
    QString error;
    const std::vector<TestResult> results = store.list({}, &error);
    if (!error.isEmpty()) {
        errLine(
            QStringLiteral("The results cannot be read from \"%1\": %2").arg(store.name(), error));
        return 1;
    }
    QString csv = csvHeader() + QStringLiteral("\r\n");
    for (const TestResult& r : results)
        csv += csvRow(r, judge(r)) + QStringLiteral("\r\n");
    QSaveFile file(out);
    if (!file.open(QIODevice::WriteOnly) || file.write(csv.toUtf8()) < 0 || !file.commit()) {
        errLine(QStringLiteral("Cannot create file \"%1\". %2").arg(out, file.errorString()));
        return 1;
    }
    return 0;
}

} // namespace

std::vector<Mode> resultModes() {
    const Option db{"--database", Takes::Text, "URL"};
    return {
        {"results add",
         {"TABLE"},
         {Option{"--asset", Takes::Text, "ID"}.needed(),
          {"--run", Takes::WholeNumber, "N"},
          {"--kind", Takes::Text, "KIND"},
          {"--rated-kv", Takes::Number, "KV"},
          {"--class", Takes::Text, "C"},
          {"--temperature", Takes::Number, "C"},
          {"--ambient", Takes::Number, "C"},
          {"--humidity", Takes::Number, "PCT"},
          {"--operator", Takes::Text, "NAME"},
          {"--location", Takes::Text, "TEXT"},
          {"--notes", Takes::Text, "TEXT"},
          {"--date", Takes::Text, "YYYY-MM-DD"},
          {"--min-mohm", Takes::Number, "X"},
          {"--min-pi", Takes::Number, "X"},
          {"--min-dar", Takes::Number, "X"},
          {"--instrument-model", Takes::Text, "MODEL"},
          {"--instrument-serial", Takes::Text, "SERIAL"},
          {"--calibration-due", Takes::Text, "YYYY-MM-DD"},
          db},
         "save insulation test run N of table file TABLE (counted from 1 as analyze lists them; "
         "default the last) as a test result of asset ID, judged by the asset's KIND "
         "(machine-form, machine-random, machine-old, cable, transformer, switchgear, other; "
         "default other), rated voltage, insulation class (A, B, F, H) and object temperature "
         "(degrees C), or by the site's minimums (megohms, PI, DAR); the date is TABLE's unless "
         "given; the instrument (model, serial number, the date its calibration is due) is the "
         "window's Settings unless given. "
         "Prints the new ID, PASS, FAIL or NOT ASSESSED and the reasons (TAB-separated), then "
         "any TREND: line; a calibration past due on the test's date is said on stderr",
         Start::Core,
         &runAdd},
        {"results list",
         {},
         {{"--asset", Takes::Text, "ID"}, db},
         "list the test results (of asset ID): a header line, then one TAB-separated line a "
         "result",
         Start::Core,
         &runList},
        {"results show",
         {"ID"},
         {db},
         "print test result ID: every field and figure, the verdict and its rule, any TREND: "
         "line",
         Start::Core,
         &runShow},
        {"results report",
         {"ID", "OUT.pdf"},
         {db},
         "write one signed-off report page per test result ID as PDF file OUT.pdf",
         Start::Own,
         &runReportOf,
         nullptr,
         0},
        {"results export",
         {"OUT.csv"},
         {db},
         "write every test result as comma-separated text OUT.csv: a header, one row a result, "
         "figures as plain numbers (ohms, degrees C, ratios). The results database is URL "
         "(postgresql://user@host/name, or an SQLite file), else the setting results/database, "
         "else $XDG_DATA_HOME/z4072/results.sqlite",
         Start::Core,
         &runExport},
    };
}

int unknownResultsCommand(const QStringList& args) {
    errLine(args.size() < 2 ? QStringLiteral("results needs a command: add, list, show, report "
                                             "or export")
                            : QStringLiteral("unknown results command \"%1\"").arg(args[1]));
    QStringList lines;
    for (const Mode& m : resultModes())
        lines << synopsis(m);
    errLine(u"usage: " + lines.join(QStringLiteral("\n       ")));
    return kWrongUsage;
}

} // namespace cli
