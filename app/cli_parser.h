#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <vector>

// The command line's grammar: each mode is a row of a table that names its files and options,
// and one parser reads every mode's arguments from its row. The usage lines and --help are
// written from the same rows.
namespace cli {

// What an option takes as its value: the argument after it, whatever it looks like, or the text
// after its "=" in the same argument ("--limit=5").
enum class Takes {
    Nothing,     // a flag
    WholeNumber, // plain decimal digits that fit 32 bits
    Count,       // a whole number above 0
    Seconds,     // a decimal number above 0 and at most 10^9
    FileName,    // any text but an empty one
    // One of the words in Option::choices when the next argument is one; else nothing, so the
    // option reads as a flag: "--simulate", "--simulate pi" and "--simulate=pi".
    OptionalWord,
    Text,   // any text but an empty one
    Number, // a decimal number, also below 0: "-12.5"
};

// An option of a mode: "--limit N".
struct Option {
    const char* name;
    Takes takes = Takes::Nothing;
    // How the usage names the value: "N".
    const char* value = nullptr;
    // Options of one group (not 0; two or more of them) exclude each other.
    int group = 0;
    // Set for an option that --help gives a line of its own.
    const char* help = nullptr;
    // The words an OptionalWord option takes, separated by blanks.
    const char* choices = nullptr;
    // An option that must be given ("--asset ID"): not bracketed in the synopsis.
    bool required = false;

    constexpr Option needed() const {
        Option o = *this;
        o.required = true;
        return o;
    }
    constexpr Option explained(const char* text) const {
        Option o = *this;
        o.help = text;
        return o;
    }
};

class Arguments;

// How a mode gets its application object.
enum class Start {
    Core,  // it runs in a QCoreApplication named as the program
    Own,   // it makes its own, when it needs one (the window; report, to paint pages)
    Alone, // it needs none, and is taken only as the sole argument (--version, --help)
};

// A mode of the program: a row of the table.
struct Mode {
    // The first argument that picks it ("decode"); empty for the window, which is what runs
    // when no mode is named. A name of two words ("results add") is picked by the first two.
    const char* name;
    // The files it takes, all of them required, in their order: "CAPTURE", "OUT". The one at
    // index `repeated` (if any) takes one or more arguments: "ID…".
    std::vector<const char*> files;
    std::vector<Option> options;
    // What --help says of it.
    const char* help;
    Start start;
    // The mode itself; the exit status: 0 done, 1 failed, kWrongUsage.
    int (*run)(const Arguments&);
    // Another name that picks it: "-h".
    const char* alias = nullptr;
    int repeated = -1;
};

// The exit status of wrong usage. A mode that finds its arguments wrong after they were parsed
// says why on stderr and returns it; the usage line follows.
constexpr int kWrongUsage = 2;

// What the command line gave a mode, checked against its row.
class Arguments {
public:
    QStringList files;   // in the order of Mode::files (a repeated one as often as given)
    int* argc = nullptr; // the program's command line, for an application object
    char** argv = nullptr;

    bool has(const char* option) const { return given_.contains(QLatin1String(option)); }
    // The option's value as given; empty when it was not.
    QString value(const char* option) const { return given_.value(QLatin1String(option)); }
    // The value of a whole number or seconds option, already checked.
    double number(const char* option) const { return value(option).toDouble(); }

private:
    friend bool parseArguments(const Mode&, const QStringList&, Arguments&, QString*);
    QHash<QString, QString> given_;
};

// Reads `args` (those after the mode's name) as `mode` takes them. False, with *why saying what
// is wrong (empty when the usage line says it all), for wrong usage. A mode without options takes
// every argument as a file, so a file may be named "--x"; in a mode with options an unknown
// "--x" is wrong. An option that takes a value may be given once, its value as the next argument
// or after "=" ("--limit 5", "--limit=5"), and one option of a group.
bool parseArguments(const Mode& mode, const QStringList& args, Arguments& out, QString* why);

// "z4072 decode CAPTURE OUT [--limit N] [--interval S] [--no-repeat]"
QString synopsis(const Mode& mode);

// The lines of --help for `mode` (and for each of its options that has a help text): the
// synopsis, and its help beside it from column 29 on, wrapped at 87 columns.
QString helpLines(const Mode& mode);

} // namespace cli
