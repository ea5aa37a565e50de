#pragma once

#include <QString>
#include <QStringList>

// The program's command line: which mode to run and its arguments.
namespace cli {

struct Options {
    enum class Hid { System, Simulate, Replay };
    Hid hid = Hid::System; // the window's HID layer
    QString replayPath;    // --replay CAPTURE
    QString capturePath;   // --capture CAPTURE: every report that reaches the reassembly
};

// The usage line printed for wrong usage.
QString usage();

// Reads the arguments after the program name. False, with *error saying what is wrong, for
// arguments that make no sense.
bool parse(const QStringList& args, Options& out, QString* error);

// The modes without a window, each given the arguments after its name; they return the exit
// status. "convert IN OUT": load table file IN into an empty table and save it as OUT.
// "decode CAPTURE OUT [--limit N] [--interval S] [--no-repeat]": record what the capture's
// reports show, on the capture's clock, and save the table as OUT. OUT is left alone on failure.
int runConvert(const QStringList& args);
int runDecode(const QStringList& args);
QString convertUsage();
QString decodeUsage();

// Names the running application "Z4072", the title of the program's message boxes, and gives
// it its version. It gets no display name: the window system would append that to the title of
// every window.
void nameApplication();
// "devices": the HID devices as the window's device list sees them, one line each, the cable
// that CONNECT would use marked; 1 when the system's HID layer cannot start.
int runDevices(const QStringList& args);
QString devicesUsage();
// "record OUT [--simulate | --replay CAPTURE] [--limit N] [--interval S] [--no-repeat]
// [--duration SECONDS]": record from the cable without a window until stopped (SIGINT, SIGTERM,
// the duration) or the cable fails; each row goes to OUT, the journal and stdout as it comes.
int runRecord(const QStringList& args);
QString recordUsage();
// "analyze IN": load table file IN as convert does and print one line per insulation test run
// in it (first row number, start time, function, duration in seconds, R(30 s), R(1 min),
// R(10 min), DAR, PI; TAB-separated, "-" where not available).
int runAnalyze(const QStringList& args);
QString analyzeUsage();

// Runs the program as the arguments say; the exit status: 0 done, 1 failed, 2 wrong usage.
int run(int argc, char* argv[]);

} // namespace cli
