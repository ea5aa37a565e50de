#pragma once

#include "reports/paged_report.h"

#include <QColor>
#include <QDate>
#include <QFont>
#include <QList>
#include <QRectF>
#include <QString>

class QPainter;
class ReadingTable;

// The page total that the report's footer prints for a row count: one page up to 37 rows, then
// one more for every 37 rows begun.
int DataReportPageTotal(int rows);

// The data report `QuickRep1` over the reading table: A4 portrait, 10 mm margins, a page header,
// a column header, one detail band a row (37 a page) and a page footer with "The Page" n "Of"
// total. Pages are laid out on demand from the table, so no page is kept once drawn.
class DataReport : public PagedReport {
public:
    static constexpr double kMargin = 10.0;
    static constexpr double kBandWidth = 190.0;
    static constexpr double kHeaderHeight = 10.6;
    static constexpr double kDetailHeight = 6.6;
    static constexpr int kRowsPerPage = 37;

    // The table is read, not owned; rows that come later are not in this report.
    explicit DataReport(const ReadingTable* table);

    // Rows in the report: fixed when the report is built.
    int rowCount() const { return rows_; }
    // Pages laid out: one for an empty table.
    int pageCount() const override;
    QString contentsText() const override;

    void setPrintDate(const QDate& date) { printDate_ = date; }
    const QDate& printDate() const { return printDate_; }
    // The caption of the page total `Allpage`, set before printing.
    void setAllpageCaption(const QString& caption) { allpage_ = caption; }
    const QString& allpageCaption() const { return allpage_; }

    // Every text of page `page` (from 1), bands in order down the page, left to right in a band.
    QList<ReportText> pageTexts(int page) const override;
    // Draws page `page` with the painter's origin at the paper's top-left corner, on a device
    // with `dotsPerMm` dots a millimetre whose logical resolution matches (fonts are in points).
    void paintPage(QPainter& painter, int page, double dotsPerMm) const override;

private:
    const ReadingTable* table_;
    int rows_;
    QDate printDate_;
    QString allpage_ = QStringLiteral("1");
};
