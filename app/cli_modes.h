#pragma once

#include "app/cli_parser.h"

#include <QString>
#include <QStringList>

#include <vector>

// The program's command line: which mode to run and its arguments.
namespace cli {

// The window's options.
struct Options {
    enum class Hid { System, Simulate, Replay };
    Hid hid = Hid::System; // the window's HID layer
    // What the simulated meter does: "demo" runs through its modes, "pi" a whole
    // polarization-index test in real time.
    QString simulation = QStringLiteral("demo");
    QString replayPath;  // --replay CAPTURE
    QString capturePath; // --capture CAPTURE: every report that reaches the reassembly
};

// The modes, in the order of --help: the window first, --version and --help last. Each row says
// what the mode does; the modes without a window leave OUT alone when they fail.
const std::vector<Mode>& modes();

// The usage lines of every mode but --version and --help, printed for wrong usage of the window.
QString usage();

// Reads the window's arguments (those after the program name). False, with *error saying what
// is wrong, for arguments that make no sense.
bool parse(const QStringList& args, Options& out, QString* error);

// Names the running application "Z4072", the title of the program's message boxes, and gives
// it its version. It gets no display name: the window system would append that to the title of
// every window.
void nameApplication();

// Runs the program as the arguments say; the exit status: 0 done, 1 failed, 2 wrong usage.
int run(int argc, char* argv[]);

} // namespace cli
