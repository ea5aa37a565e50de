#include "app/cli_modes.h"

#include "app/cli_info.h"
#include "app/main_window.h"
#include "app/record_session.h"
#include "core/decimal_sep.h"
#include "decode/capture_file.h"
#include "link/device_listing.h"
#include "link/hid/sim_hid_platform.h"
#include "record/capture_decoding.h"
#include "record/insulation_runs.h"
#include "record/journal.h"
#include "record/reading_table.h"
#include "record/table_files.h"
#include "reports/data_report.h"
#include "reports/report_export.h"
#include "reports/report_form.h"
#include "sim/demonstration.h"
#include "sim/sim_cable.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTimer>

#include <cmath>
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

// --limit N, --interval S and --no-repeat: what the recording controls hold from start-up.
// 1 when args[i] is one of them (i is moved past its value), 0 when it is not, -1 for wrong
// usage with *why.
struct RuleOptions {
    bool limitGiven = false, intervalGiven = false;
    int take(const QStringList& args, qsizetype& i, RecordingSettings& settings, QString* why) {
        const QString& a = args[i];
        if (a == u"--no-repeat") {
            settings.repeat = false;
            return 1;
        }
        if (a != u"--limit" && a != u"--interval")
            return 0;
        const bool limit = a == u"--limit";
        if (limit ? limitGiven : intervalGiven) {
            *why = a + QStringLiteral(" given twice");
            return -1;
        }
        qint32 n = 0;
        if (i + 1 >= args.size() || !parseCount(args[i + 1], &n)) {
            *why = a + QStringLiteral(" needs a whole number");
            return -1;
        }
        ++i;
        if (limit) {
            settings.maxRecords = n;
            limitGiven = true;
        } else {
            settings.sampling = true;
            settings.intervalText = QString::number(n);
            intervalGiven = true;
        }
        return 1;
    }
};

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
           u"\n       z4072 report IN OUT" + u"\n       " + devicesUsage().mid(7) + u"\n       " +
           recordUsage().mid(7) + u"\n       " + analyzeUsage().mid(7);
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
    RuleOptions rules;
    QString why;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (const int r = rules.take(args, i, settings, &why); r != 0) {
            if (r < 0)
                return wrongUsage(why, decodeUsage());
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

void nameApplication() {
    QCoreApplication::setApplicationName(QStringLiteral("Z4072"));
    QCoreApplication::setApplicationVersion(QStringLiteral(Z4072_VERSION));
}

QString devicesUsage() {
    return QStringLiteral("usage: z4072 devices");
}

int runDevices(const QStringList& args) {
    if (!args.isEmpty())
        return wrongUsage(QStringLiteral("devices takes no arguments"), devicesUsage());
    const std::shared_ptr<HidPlatform> platform = makeSystemHidPlatform();
    if (!platform->available()) {
        printErr(QStringLiteral("The system's HID layer could not be started: no HID device can "
                                "be listed."));
        return 1;
    }
    for (const QString& line : describeDevices(listDevicesAsTheWindowDoes(platform), *platform))
        printOut(line);
    return 0;
}

QString recordUsage() {
    return QStringLiteral("usage: z4072 record OUT [--simulate | --replay CAPTURE] [--limit N] "
                          "[--interval S] [--no-repeat] [--duration SECONDS]");
}

int runRecord(const QStringList& args) {
    RecordOptions options;
    Options::Hid hid = Options::Hid::System;
    QString replayPath;
    RuleOptions rules;
    bool durationGiven = false;
    QString why;
    QStringList files;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (const int r = rules.take(args, i, options.settings, &why); r != 0) {
            if (r < 0)
                return wrongUsage(why, recordUsage());
        } else if (a == u"--simulate" || a == u"--replay") {
            if (hid != Options::Hid::System)
                return wrongUsage(QStringLiteral("--simulate and --replay exclude each other"),
                                  recordUsage());
            hid = a == u"--simulate" ? Options::Hid::Simulate : Options::Hid::Replay;
            if (hid == Options::Hid::Replay) {
                if (i + 1 >= args.size() || args[i + 1].isEmpty())
                    return wrongUsage(a + QStringLiteral(" needs a file name"), recordUsage());
                replayPath = args[++i];
            }
        } else if (a == u"--duration") {
            bool ok = false;
            const double seconds = i + 1 < args.size() ? args[i + 1].toDouble(&ok) : 0;
            if (durationGiven || !ok || !(seconds > 0) || seconds > 1e9)
                return wrongUsage(durationGiven ? QStringLiteral("--duration given twice")
                                                : QStringLiteral("--duration needs a number of "
                                                                 "seconds above 0"),
                                  recordUsage());
            options.durationMs = std::max<qint64>(1, std::llround(seconds * 1000.0));
            durationGiven = true;
            ++i;
        } else if (a.startsWith(u"--")) {
            return wrongUsage(QStringLiteral("unknown option \"%1\"").arg(a), recordUsage());
        } else {
            files << a;
        }
    }
    if (files.size() != 1 || files[0].isEmpty())
        return wrongUsage(QString(), recordUsage());
    options.out = files[0];
    options.settings.decimalSep = GetDecimalSep();

    std::shared_ptr<HidPlatform> platform;
    if (hid == Options::Hid::Simulate) {
        platform = simulatedCable(std::make_shared<sim::SimCable>(&sim::demonstration));
    } else if (hid == Options::Hid::Replay) {
        if (!checkCapture(replayPath, &why)) {
            printErr(why);
            return 1;
        }
        platform = simulatedCable(std::make_shared<sim::CaptureCable>(replayPath));
    }
    RecordSession session(platform ? platform : makeSystemHidPlatform(), options, journalFolder());
    StopOnSignals signals([&session] { session.stop(); });
    return session.exec();
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
    static const std::pair<const char16_t*, Mode> windowless[] = {{u"convert", &runConvert},
                                                                  {u"decode", &runDecode},
                                                                  {u"devices", &runDevices},
                                                                  {u"record", &runRecord},
                                                                  {u"analyze", &runAnalyze}};
    for (const auto& [name, mode] : windowless)
        if (!args.isEmpty() && args[0] == name) {
            QCoreApplication app(argc, argv);
            nameApplication();
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
    nameApplication();
    // Lets the desktop match the window to z4072.desktop (its icon and name in the task bar).
    QGuiApplication::setDesktopFileName(QStringLiteral("z4072"));

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
    // Every recorded row is kept against a crash; what a crash left is offered once shown.
    window.keepJournal(journalFolder());
    QTimer::singleShot(0, &window, &TFrmTest::offerRecovery);
    return QApplication::exec();
}

} // namespace cli
