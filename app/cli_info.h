#pragma once

#include <QStringList>

namespace cli {

// "--version" and "--help" (also "-h"), given alone: prints the answer on stdout, sets *status
// to 0 and returns true. Any other arguments: false, nothing printed.
bool printInfo(const QStringList& args, int* status);

// What --help prints: the usage of every mode.
QString helpText();

} // namespace cli
