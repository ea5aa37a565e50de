#pragma once

#include "reports/data_report.h"

#include <QByteArray>
#include <QString>

#include <optional>

class QIODevice;
class QPrinter;

// What the data report can be saved as, told by the file name's extension.
enum class ReportFormat { Pdf, Html, Text, Csv };
std::optional<ReportFormat> reportFormatOf(const QString& fileName);
// The file dialog's filter line of a format, and the extensions accepted, for messages.
QString reportFilter(ReportFormat format);
QString reportExtensions();

// The report as a document of each kind. HTML is UTF-8 and keeps the page layout in
// millimetres; plain text and comma-separated text are in the 8-bit code page (GBK) with CR LF
// line ends, one line a band printing, pages parted by a form feed.
QByteArray reportHtml(const PagedReport& report);
QString reportText(const PagedReport& report);
QString reportCsv(const PagedReport& report);
// Writes every page as PDF to the device.
bool writeReportPdf(const PagedReport& report, QIODevice* device, QString* error);

// Writes the report to the file in the format; a file that cannot be written in full is left as
// it was. *error says why on failure.
bool writeReport(const PagedReport& report, const QString& fileName, ReportFormat format,
                 QString* error);

// Prints pages from..to (1-based, inclusive; 0 for all) on the printer, set up for the report.
void setUpReportPrinter(QPrinter& printer);
bool printReport(const PagedReport& report, QPrinter& printer, int from, int to);
