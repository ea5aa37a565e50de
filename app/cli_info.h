#pragma once

#include <QString>

namespace cli {

class Arguments;

// "--version": the version on stdout.
int printVersion(const Arguments&);
// "--help" (also "-h"): helpText() on stdout.
int printHelp(const Arguments&);

// What --help prints: what the program is, the usage of every mode, the exit statuses.
QString helpText();

} // namespace cli
