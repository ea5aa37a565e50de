#pragma once

#include <QColor>
#include <QFont>
#include <QList>
#include <QRectF>
#include <QString>

class QPainter;

// One text printed on a page. Places and sizes are in millimetres from the paper's top-left
// corner; `band` counts the band printings on the page from 0, in order down the page.
struct ReportText {
    enum Band { PageHeader, ColumnHeader, Detail, PageFooter };
    Band kind;
    int band;
    QRectF box; // the text's box: it starts at the top-left, or is centred in it
    bool centred;
    QString text;
    QFont font;
    QColor color;
};

// A report of A4 portrait pages, as the preview shows it and the export writes it: the texts of
// each page (for HTML, plain and comma-separated text) and the page painted (for the screen, the
// printer and PDF).
class PagedReport {
public:
    static constexpr double kPaperWidth = 210.0;
    static constexpr double kPaperHeight = 297.0;

    virtual ~PagedReport() = default;
    // Pages laid out: at least one.
    virtual int pageCount() const = 0;
    // Every text of page `page` (from 1), bands in order down the page, left to right in a band.
    virtual QList<ReportText> pageTexts(int page) const = 0;
    // Draws page `page` with the painter's origin at the paper's top-left corner, on a device
    // with `dotsPerMm` dots a millimetre whose logical resolution matches (fonts are in points).
    virtual void paintPage(QPainter& painter, int page, double dotsPerMm) const = 0;
    // What the preview's status line says of the contents: "120 rows".
    virtual QString contentsText() const = 0;
    // The document's title, as a PDF's or an HTML page's metadata gives it: the pages' own.
    virtual QString title() const { return QStringLiteral("TEST DATA REPORT"); }
};

// Draws the texts with the painter's origin at the paper's top-left corner (see paintPage);
// `flags` are added to each text's alignment (Qt::TextWordWrap for texts that may wrap).
void paintReportTexts(QPainter& painter, const QList<ReportText>& texts, double dotsPerMm,
                      int flags = 0);
