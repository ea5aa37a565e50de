#include "cli_modes.h"

#include "capture_decoding.h"
#include "capture_file.h"
#include "cli_info.h"
#include "data_report.h"
#include "decimal_sep.h"
#include "demonstration.h"
#include "insulation_runs.h"
#include "reading_table.h"
#include "report_export.h"
#include "report_form.h"
#include "sim_cable.h"
#include "sim_hid_platform.h"
#include "table_files.h"
#include "tfrm_test.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QGuiApplication>

#include <cstdio>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

namespace cli {

namespace {

void printErr(const QString& text) {
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

void printOut(const QString& text) {
    std::fprintf(stdout, "%s\n", text.toLocal8Bit().constData());
}

int wrongUsage(const QString& why, const QString& usageLine) {
    if (!why.isEmpty())
        printErr(why);
    printErr(usageLine);
    return 2;
}

// Saves the table as the window's Save Data does; what it would show goes to stdout on success,
// to stderr on failure.
int saveTableAs(const ReadingTable& table, const QString& out) {
    std::vector<TableFileMessage> said;
    const bool ok =
        SaveTableFile(table, out, [&](const TableFileMessage& m) { said.push_back(m); });
    for (const TableFileMessage& m : said)
        ok ? printOut(m.text) : printErr(m.text);
    return ok ? 0 : 1;
}

// Loads a table file as the window's Open Data does; what it would show on failure goes to stderr.
bool loadTableFrom(const QString& in, ReadingTable& table) {
    std::vector<TableFileMessage> said;
    if (LoadTableFile(in, table, false, [&](const TableFileMessage& m) { said.push_back(m); }))
        return true;
    for (const TableFileMessage& m : said)
        printErr(m.text);
    return false;
}

// A count as an option takes it: plain decimal digits that fit 32 bits.
bool parseCount(const QString& text, qint32* out) {
    if (text.isEmpty() || text.size() > 10)
        return false;
    for (QChar c : text)
        if (c < u'0' || c > u'9')
            return false;
    const qint64 v = text.toLongLong();
    if (v > std::numeric_limits<qint32>::max())
        return false;
    *out = qint32(v);
    return true;
}

// Checks a capture to the end before it is played, so that a broken file fails at once.
bool checkCapture(const QString& path, QString* error) {
    CaptureReader reader;
    if (!reader.open(path, error))
        return false;
    CaptureReport r;
    QString why;
    while (reader.next(r, &why)) {
    }
    if (!why.isEmpty()) {
        *error = path + QStringLiteral(": ") + why;
        return false;
    }
    return true;
}

std::shared_ptr<HidPlatform> simulatedCable(std::shared_ptr<SimReportSource> source) {
    auto platform = std::make_shared<SimHidPlatform>();
    platform->plug(sim::cableDeviceSpec(), false)->setReportSource(std::move(source));
    return platform;
}

// z4072 report IN OUT: the data report of a table file, written as OUT's extension says.
int reportMode(const QStringList& args, int argc, char* argv[]) {
    if (args.size() != 2 || args[0].isEmpty() || args[1].isEmpty()) {
        printErr(usage());
        return 2;
    }
    const QString& in = args[0];
    const QString& out = args[1];
    const auto format = reportFormatOf(out);
    if (!format) {
        printErr(QStringLiteral("The report is saved as %1.").arg(reportExtensions()));
        printErr(usage());
        return 2;
    }
    // Fonts and page painting need a GUI application, not a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::optional<QGuiApplication> app;
    if (!QCoreApplication::instance())
        app.emplace(argc, argv);
    ReadingTable table;
    const bool loaded = LoadTableFile(in, table, true, [](const TableFileMessage& m) {
        if (m.kind == TableFileMessage::Error)
            printErr(m.text);
    });
    if (!loaded)
        return 1;
    DataReport report(&table);
    DataReportForm form;
    form.QuickRep1BeforePrint(report, DataReportPageTotal(table.rowCount()));
    QString error;
    if (!writeReport(report, out, *format, &error)) {
        printErr(QStringLiteral("Cannot create file \"%1\". %2").arg(out, error));
        return 1;
    }
    return 0;
}

} // namespace

QString usage() {
    return QStringLiteral("usage: z4072 [--simulate | --replay CAPTURE] [--capture CAPTURE]") +
           u"\n       " + convertUsage().mid(7) + u"\n       " + decodeUsage().mid(7) +
           u"\n       z4072 report IN OUT\n       " + analyzeUsage().mid(7);
}

bool parse(const QStringList& args, Options& out, QString* error) {
    out = Options{};
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        auto value = [&](QString& into) {
            if (i + 1 >= args.size() || args[i + 1].isEmpty())
                return fail(a + QStringLiteral(" needs a file name"));
            if (!into.isEmpty())
                return fail(a + QStringLiteral(" given twice"));
            into = args[++i];
            return true;
        };
        if (a == u"--simulate") {
            if (out.hid != Options::Hid::System)
                return fail(QStringLiteral("--simulate and --replay exclude each other"));
            out.hid = Options::Hid::Simulate;
        } else if (a == u"--replay") {
            if (out.hid != Options::Hid::System)
                return fail(QStringLiteral("--simulate and --replay exclude each other"));
            if (!value(out.replayPath))
                return false;
            out.hid = Options::Hid::Replay;
        } else if (a == u"--capture") {
            if (!value(out.capturePath))
                return false;
        } else {
            return fail(QStringLiteral("unknown argument \"%1\"").arg(a));
        }
    }
    return true;
}

QString convertUsage() {
    return QStringLiteral("usage: z4072 convert IN OUT");
}

QString decodeUsage() {
    return QStringLiteral(
        "usage: z4072 decode CAPTURE OUT [--limit N] [--interval S] [--no-repeat]");
}

int runConvert(const QStringList& args) {
    if (args.size() != 2 || args[0].isEmpty() || args[1].isEmpty())
        return wrongUsage(args.size() == 2 ? QStringLiteral("file names must not be empty")
                                           : QString(),
                          convertUsage());
    ReadingTable table;
    if (!loadTableFrom(args[0], table))
        return 1;
    return saveTableAs(table, args[1]);
}

int runDecode(const QStringList& args) {
    QStringList files;
    CaptureDecodeSettings settings;
    bool limitGiven = false, intervalGiven = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == u"--limit" || a == u"--interval") {
            const bool limit = a == u"--limit";
            if (limit ? limitGiven : intervalGiven)
                return wrongUsage(a + QStringLiteral(" given twice"), decodeUsage());
            qint32 n = 0;
            if (i + 1 >= args.size() || !parseCount(args[i + 1], &n))
                return wrongUsage(a + QStringLiteral(" needs a whole number"), decodeUsage());
            ++i;
            if (limit) {
                settings.maxRecords = n;
                limitGiven = true;
            } else {
                settings.sampling = true;
                settings.intervalText = QString::number(n);
                intervalGiven = true;
            }
        } else if (a == u"--no-repeat") {
            settings.repeat = false;
        } else if (a.startsWith(u"--")) {
            return wrongUsage(QStringLiteral("unknown option \"%1\"").arg(a), decodeUsage());
        } else {
            files << a;
        }
    }
    if (files.size() != 2 || files[0].isEmpty() || files[1].isEmpty())
        return wrongUsage(QString(), decodeUsage());
    settings.decimalSep = GetDecimalSep();

    ReadingTable table;
    QString error;
    if (!decodeCapture(files[0], settings, table, &error)) {
        printErr(error);
        return 1;
    }
    return saveTableAs(table, files[1]);
}

QString analyzeUsage() {
    return QStringLiteral("usage: z4072 analyze IN");
}

int runAnalyze(const QStringList& args) {
    if (args.size() != 1 || args[0].isEmpty())
        return wrongUsage(QString(), analyzeUsage());
    ReadingTable table;
    if (!loadTableFrom(args[0], table))
        return 1;
    InsulationRuns runs;
    runs.scan(table);
    QByteArray out;
    for (const InsulationRun& run : runs.runs())
        out += analysisLine(table, run).toLocal8Bit() + '\n';
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

int run(int argc, char* argv[]) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    if (int status; printInfo(args, &status))
        return status;

    if (args.value(0) == u"report")
        return reportMode(args.mid(1), argc, argv);

    // Modes without a window.
    using Mode = int (*)(const QStringList&);
    static const std::pair<const char16_t*, Mode> windowless[] = {
        {u"convert", &runConvert}, {u"decode", &runDecode}, {u"analyze", &runAnalyze}};
    for (const auto& [name, mode] : windowless)
        if (!args.isEmpty() && args[0] == name) {
            QCoreApplication app(argc, argv);
            QCoreApplication::setApplicationName(QStringLiteral("Z4072"));
            QCoreApplication::setApplicationVersion(QStringLiteral(Z4072_VERSION));
            return mode(args.mid(1));
        }
    Options options;
    QString error;
    if (!parse(args, options, &error)) {
        printErr(error);
        printErr(usage());
        return 2;
    }

    // The files first: a mode that cannot run fails before any window opens.
    if (options.hid == Options::Hid::Replay && !checkCapture(options.replayPath, &error)) {
        printErr(error);
        return 1;
    }
    CaptureWriter capture;
    QElapsedTimer sinceStart;
    if (!options.capturePath.isEmpty()) {
        if (!capture.open(options.capturePath, QDateTime::currentDateTime(), &error)) {
            printErr(error);
            return 1;
        }
        sinceStart.start();
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Z4072"));
    QApplication::setApplicationDisplayName(QStringLiteral("Z4072"));
    QApplication::setApplicationVersion(QStringLiteral(Z4072_VERSION));

    std::shared_ptr<HidPlatform> platform;
    switch (options.hid) {
    case Options::Hid::System:
        break;
    case Options::Hid::Simulate:
        platform = simulatedCable(std::make_shared<sim::SimCable>(&sim::demonstration));
        break;
    case Options::Hid::Replay:
        platform = simulatedCable(std::make_shared<sim::CaptureCable>(options.replayPath));
        break;
    }

    TFrmTest window(nullptr, std::move(platform));
    if (capture.isOpen())
        window.setReportTap([&](quint8 id, const quint8* data, quint16 size) {
            capture.write(double(sinceStart.nsecsElapsed()) / 1e9, id, data, size);
        });
    window.show();
    return QApplication::exec();
}

} // namespace cli
