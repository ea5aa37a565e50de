#pragma once

#include "app/cli_parser.h"

#include <vector>

// `z4072 results ...`: test results kept in the results database, from the command line.
namespace cli {

// The rows of the modes table for results add, list, show, report and export.
std::vector<Mode> resultModes();

// What the program says to "z4072 results" followed by no known command.
int unknownResultsCommand(const QStringList& args);

} // namespace cli
