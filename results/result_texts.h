#pragma once

#include "results/test_result.h"
#include "results/verdict.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// Test results as text: the lines of `z4072 results`, the comma-separated export.

// Text typed by people, made safe to print on a terminal or in a TAB-separated line: control
// characters (tabs, line breaks, escapes) are shown as "\t", "\n" or "\xHH".
QString printable(const QString& text);

// R(1 min) at 40 °C as the list shows it: the ohms; "not corrected" when no object temperature
// was given; "-" when there is no R(1 min) to correct.
QString r40Text(const std::optional<double>& r40, bool r1minKnown);

// The header and one line of `z4072 results list` (TAB-separated).
QString listHeader();
QString listLine(const TestResult& result);

// The list's flag of a result that a TREND: line flags: "TREND: 62 % below".
QString trendFlagText(int fallPct);

// The instrument as a page prints it: "KR740, serial number 12345"; "not recorded" for a
// result saved before instruments were kept.
QString instrumentText(const Instrument& instrument);
// The calibration due date, with "(PAST DUE on the test date)" when it had run out on the
// result's date.
QString calibrationText(const TestResult& result);
// The line that says a calibration had run out on the result's date; none when it had not.
std::optional<QString> calibrationWarning(const TestResult& result);

// The figures of a result as label and text pairs: R(30 s) .. the meter's PI.
QList<QPair<QString, QString>> figureLines(const TestResult& result);
// The asset and conditions as label and text pairs.
QList<QPair<QString, QString>> fieldLines(const TestResult& result);

// Every field, figure, the verdict and its rule, one "Label: text" a line, the TREND line where
// there is one, and the CALIBRATION PAST DUE line where the calibration had run out.
QString showText(const TestResult& result, const Verdict& verdict,
                 const std::optional<QString>& trend);

// The export: a header, one row a result; figures as plain numbers (ohms, °C, %, kV, V, ratios),
// empty where not available. RFC 4180 quoting, UTF-8, CR LF.
QString csvHeader();
QString csvRow(const TestResult& result, const Verdict& verdict);
