#include "app/cli_modes.h"

#include "app/cli_info.h"
#include "app/cli_results.h"
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
#include "record/test_model.h"
#include "reports/data_report.h"
#include "reports/report_export.h"
#include "reports/report_form.h"
#include "sim/demonstration.h"
#include "sim/pi_programme.h"
#include "sim/sim_cable.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
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
    for (const TableFileMessage& m : said) {
        ok ? printOut(m.text) : printErr(m.text);
        if (!ok && !m.detail.isEmpty())
            printErr(m.detail);
    }
    return ok ? 0 : 1;
}

// Loads a table file as the window's Open Data does; what it would show on failure goes to stderr.
bool loadTableFrom(const QString& in, ReadingTable& table) {
    std::vector<TableFileMessage> said;
    if (LoadTableFile(in, table, false, [&](const TableFileMessage& m) { said.push_back(m); }))
        return true;
    for (const TableFileMessage& m : said) {
        printErr(m.text);
        if (!m.detail.isEmpty())
            printErr(m.detail);
    }
    return false;
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

// A capture that --replay would play is read to the end first: a broken one fails at once.
bool replayIsSound(const Options& options) {
    QString error;
    if (options.hid != Options::Hid::Replay || checkCapture(options.replayPath, &error))
        return true;
    printErr(error);
    return false;
}

// The simulated cable that --simulate or --replay asks for; null for the system's HID layer.
std::shared_ptr<HidPlatform> simulatedCableFor(const Options& options) {
    switch (options.hid) {
    case Options::Hid::System:
        break;
    case Options::Hid::Simulate:
        return simulatedCable(std::make_shared<sim::SimCable>(
            options.simulation == u"pi" ? sim::piTestFromFirstFrame()
                                        : sim::MeterScript(&sim::demonstration)));
    case Options::Hid::Replay:
        return simulatedCable(std::make_shared<sim::CaptureCable>(options.replayPath));
    }
    return nullptr;
}

// --simulate, --replay and --capture, as the window and record take them.
Options windowOptions(const Arguments& a) {
    Options o;
    if (a.has("--simulate")) {
        o.hid = Options::Hid::Simulate;
        if (!a.value("--simulate").isEmpty())
            o.simulation = a.value("--simulate");
    } else if (a.has("--replay"))
        o.hid = Options::Hid::Replay;
    o.replayPath = a.value("--replay");
    o.capturePath = a.value("--capture");
    return o;
}

// --limit N, --interval S and --no-repeat: what the recording controls hold from start-up.
void applyRecordingOptions(const Arguments& a, RecordingSettings& settings) {
    if (a.has("--limit"))
        settings.maxRecords = qint32(a.number("--limit"));
    if (a.has("--interval")) {
        settings.sampling = true;
        settings.intervalText = QString::number(qint32(a.number("--interval")));
    }
    if (a.has("--no-repeat"))
        settings.repeat = false;
    settings.decimalSep = GetDecimalSep();
}

// Every input report that reaches the frame reassembly goes to --capture's file, if one is given.
bool openCapture(const Options& options, CaptureWriter& capture) {
    QString error;
    if (options.capturePath.isEmpty() ||
        capture.open(options.capturePath, QDateTime::currentDateTime(), &error))
        return true;
    printErr(error);
    return false;
}

// The window; the files first, so that a mode that cannot run fails before any window opens.
int runWindow(const Arguments& a) {
    const Options options = windowOptions(a);
    CaptureWriter capture;
    if (!replayIsSound(options) || !openCapture(options, capture))
        return 1;
    QElapsedTimer sinceStart;
    sinceStart.start();

    QApplication app(*a.argc, a.argv);
    nameApplication();
    // Lets the desktop match the window to z4072.desktop (its icon and name in the task bar).
    QGuiApplication::setDesktopFileName(QStringLiteral("z4072"));
    TFrmTest window(nullptr, simulatedCableFor(options));
    // Opens as the last run left it; what this run changes stays for the next.
    window.keepSettings();
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

// Loads table file IN into an empty table and saves it as OUT.
int runConvert(const Arguments& a) {
    ReadingTable table;
    if (!loadTableFrom(a.files[0], table))
        return 1;
    return saveTableAs(table, a.files[1]);
}

// Records what the capture's reports show, on the capture's clock, and saves the table as OUT.
int runDecode(const Arguments& a) {
    CaptureDecodeSettings settings;
    applyRecordingOptions(a, settings);
    ReadingTable table;
    QString error;
    if (!decodeCapture(a.files[0], settings, table, &error)) {
        printErr(error);
        return 1;
    }
    return saveTableAs(table, a.files[1]);
}

// Records from the cable without a window until stopped (SIGINT, SIGTERM, the duration) or the
// cable fails; each row goes to OUT, the journal and stdout as it comes.
int runRecord(const Arguments& a) {
    const Options cable = windowOptions(a);
    RecordOptions options;
    options.out = a.files[0];
    applyRecordingOptions(a, options.settings);
    if (a.has("--duration"))
        options.durationMs = std::max<qint64>(1, std::llround(a.number("--duration") * 1000.0));
    CaptureWriter capture;
    if (!replayIsSound(cable) || !openCapture(cable, capture))
        return 1;
    QElapsedTimer sinceStart;
    sinceStart.start();
    std::shared_ptr<HidPlatform> platform = simulatedCableFor(cable);
    RecordSession session(platform ? platform : makeSystemHidPlatform(), options, journalFolder());
    if (capture.isOpen())
        session.chain().setReportTap([&](quint8 id, const quint8* data, quint16 size) {
            capture.write(double(sinceStart.nsecsElapsed()) / 1e9, id, data, size);
        });
    StopOnSignals signals([&session] { session.stop(); });
    return session.exec();
}

// Loads table file IN and writes its data report as OUT.
int writeDataReport(const QString& in, const QString& out, ReportFormat format) {
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
    if (!writeReport(report, out, format, &error)) {
        printErr(QStringLiteral("Cannot create file \"%1\". %2").arg(out, error));
        return 1;
    }
    return 0;
}

// The data report of a table file, written as OUT's extension says.
int runReport(const Arguments& a) {
    const auto format = reportFormatOf(a.files[1]);
    if (!format) {
        printErr(QStringLiteral("The report is saved as %1.").arg(reportExtensions()));
        return kWrongUsage;
    }
    // Fonts and page painting need a GUI application, not a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::optional<QGuiApplication> app;
    if (!QCoreApplication::instance())
        app.emplace(*a.argc, a.argv);
    return writeDataReport(a.files[0], a.files[1], *format);
}

// The HID devices as the window's device list sees them, one line each, the cable that CONNECT
// would use marked; 1 when the system's HID layer cannot start.
int runDevices(const Arguments&) {
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

// One line per insulation test run in table file IN: its first row number, start time,
// function, duration in seconds, R(30 s), R(1 min), R(10 min), DAR, PI; TAB-separated, "-"
// where not available.
int runAnalyze(const Arguments& a) {
    ReadingTable table;
    if (!loadTableFrom(a.files[0], table))
        return 1;
    const TestModel tests(table);
    const InsulationRuns& runs = tests.runs();
    QByteArray out;
    for (const InsulationRun& run : runs.runs())
        out += analysisLine(table, run).toLocal8Bit() + '\n';
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

const Option kSimulate{.name = "--simulate",
                       .takes = Takes::OptionalWord,
                       .value = "[pi]",
                       .group = 1,
                       .choices = "demo pi"};
const Option kReplay{"--replay", Takes::FileName, "CAPTURE", 1};
// A limit of 0 would record nothing, however long it ran.
const Option kLimit{"--limit", Takes::Count, "N"};
const Option kInterval{"--interval", Takes::WholeNumber, "S"};
const Option kNoRepeat{"--no-repeat"};
const Option kCapture{"--capture", Takes::FileName, "CAPTURE"};

// The results commands go before --version and --help.
std::vector<Mode> withResultModes(std::vector<Mode> modes) {
    const auto alone = std::find_if(modes.begin(), modes.end(),
                                    [](const Mode& m) { return m.start == Start::Alone; });
    const std::vector<Mode> results = resultModes();
    modes.insert(alone, results.begin(), results.end());
    return modes;
}

// The modes: what each takes, what --help says of it, how it starts.
const std::vector<Mode> kModes = withResultModes({
    {"",
     {},
     {kSimulate.explained("the window on a simulated cable and meter that runs a "
                          "demonstration of the meter's modes; with pi, a whole 10-minute "
                          "polarization-index test in real time, from CONNECT to the meter's "
                          "PI result"),
      kReplay.explained("the window on a simulated cable that plays CAPTURE"),
      kCapture.explained(
          "(beside any of the above) append every input report that reaches the frame "
          "reassembly to CAPTURE")},
     "the window, on the computer's HID devices",
     Start::Own,
     &runWindow},
    {"convert",
     {"IN", "OUT"},
     {},
     "load table file IN, save it as OUT (.xml: XML data packet, any other extension: "
     "tab-separated text)",
     Start::Core,
     &runConvert},
    {"decode",
     {"CAPTURE", "OUT"},
     {kLimit, kInterval, kNoRepeat},
     "run CAPTURE's reports through reassembly, interpretation and the recording rules, "
     "save the table as OUT",
     Start::Core,
     &runDecode},
    {"report",
     {"IN", "OUT"},
     {},
     "load table file IN, write its data report as OUT (.pdf .html .txt .csv)",
     Start::Own,
     &runReport},
    {"devices",
     {},
     {},
     "list the HID devices as the window sees them: name, vendor:product, read/write or "
     "not, path; the cable that CONNECT uses marked with *",
     Start::Core,
     &runDevices},
    {"record",
     {"OUT"},
     {kSimulate,
      kReplay,
      kCapture,
      kLimit,
      kInterval,
      kNoRepeat,
      {"--duration", Takes::Seconds, "SECONDS"}},
     "no window: connect to the cable (or the simulated one) and record its readings until "
     "Ctrl+C, SIGTERM or SECONDS; each row goes to stdout and to OUT (tab-separated: a line "
     "at a time; .xml: written at the end); --capture appends every input report to CAPTURE "
     "as the window's does. Exit 1 when the cable is missing, unplugged or its meter silent",
     Start::Core,
     &runRecord},
    {"analyze",
     {"IN"},
     {},
     "load table file IN, print one line per insulation test in it: first row number, "
     "start time, function, duration (s), R(30 s), R(1 min), R(10 min), DAR, PI "
     "(TAB-separated, \"-\" where not available)",
     Start::Core,
     &runAnalyze},
    {"--version", {}, {}, "the version", Start::Alone, &printVersion},
    {"--help", {}, {}, "this text", Start::Alone, &printHelp, "-h"},
});

const Mode& windowMode() {
    return kModes.front();
}

// The mode the first argument (or two) names, which is taken off; the window when none is
// named, nullptr for "results" with no known command after it.
const Mode* modeFor(QStringList& args) {
    for (const Mode& m : kModes) {
        const QStringList words = QString::fromLatin1(m.name).split(u' ');
        const bool named =
            *m.name && args.size() >= words.size() && args.mid(0, words.size()) == words;
        const bool aliased = m.alias && !args.isEmpty() && args[0] == QLatin1String(m.alias);
        if ((named || aliased) && (m.start != Start::Alone || args.size() == 1)) {
            args.remove(0, named ? words.size() : 1);
            return &m;
        }
    }
    if (!args.isEmpty() && args[0] == u"results")
        return nullptr;
    return &windowMode();
}

// What follows wrong usage: the mode's usage line; all of them where no mode was named.
QString usageOf(const Mode& mode) {
    return &mode == &windowMode() ? usage() : u"usage: " + synopsis(mode);
}

int runMode(const Mode& mode, const QStringList& args, Arguments& parsed) {
    QString why;
    if (!parseArguments(mode, args, parsed, &why))
        return wrongUsage(why, usageOf(mode));
    const int status = mode.run(parsed);
    if (status == kWrongUsage)
        printErr(usageOf(mode));
    return status;
}

} // namespace

const std::vector<Mode>& modes() {
    return kModes;
}

QString usage() {
    QStringList lines;
    for (const Mode& m : modes())
        if (m.start != Start::Alone)
            lines << synopsis(m);
    return u"usage: " + lines.join(QStringLiteral("\n       "));
}

bool parse(const QStringList& args, Options& out, QString* error) {
    out = Options{};
    Arguments parsed;
    QString why;
    if (!parseArguments(windowMode(), args, parsed, &why)) {
        if (error)
            *error = why;
        return false;
    }
    out = windowOptions(parsed);
    return true;
}

void nameApplication() {
    QCoreApplication::setApplicationName(QStringLiteral("Z4072"));
    QCoreApplication::setApplicationVersion(QStringLiteral(Z4072_VERSION));
}

int run(int argc, char* argv[]) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const QStringList given = args;
    const Mode* found = modeFor(args);
    if (!found)
        return unknownResultsCommand(given);
    const Mode& mode = *found;
    Arguments parsed;
    parsed.argc = &argc;
    parsed.argv = argv;
    if (mode.start != Start::Core)
        return runMode(mode, args, parsed);
    QCoreApplication app(argc, argv);
    nameApplication();
    return runMode(mode, args, parsed);
}

} // namespace cli
