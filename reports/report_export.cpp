#include "reports/report_export.h"

#include "core/csv_cell.h"

#include "record/code_page.h"

#include <QFileInfo>
#include <QHash>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QSaveFile>
#include <QStringEncoder>

#include <algorithm>
#include <cmath>

std::optional<ReportFormat> reportFormatOf(const QString& fileName) {
    const QString ext = QFileInfo(fileName).suffix().toLower();
    if (ext == u"pdf")
        return ReportFormat::Pdf;
    if (ext == u"html" || ext == u"htm")
        return ReportFormat::Html;
    if (ext == u"txt")
        return ReportFormat::Text;
    if (ext == u"csv")
        return ReportFormat::Csv;
    return std::nullopt;
}

QString reportFilter(ReportFormat format) {
    switch (format) {
    case ReportFormat::Pdf:
        return QStringLiteral("PDF document (*.pdf)");
    case ReportFormat::Html:
        return QStringLiteral("HTML document (*.html *.htm)");
    case ReportFormat::Text:
        return QStringLiteral("Text file (*.txt)");
    case ReportFormat::Csv:
        return QStringLiteral("Comma separated text (*.csv)");
    }
    return {};
}

QString reportExtensions() {
    return QStringLiteral(".pdf, .html, .htm, .txt or .csv");
}

namespace {

constexpr double kMmPerChar = 2.0; // plain text: 95 characters over the 190 mm band

// The texts of a page, band by band.
template <typename Fn> void forEachBand(const PagedReport& report, int page, Fn fn) {
    const QList<ReportText> texts = report.pageTexts(page);
    for (qsizetype i = 0; i < texts.size();) {
        qsizetype j = i;
        while (j < texts.size() && texts[j].band == texts[i].band)
            ++j;
        QList<ReportText> band = texts.mid(i, j - i);
        std::stable_sort(band.begin(), band.end(), [](const ReportText& a, const ReportText& b) {
            return a.box.x() < b.box.x();
        });
        fn(band);
        i = j;
    }
}

QString mm(double v) {
    return QString::number(v, 'g', 5) + QStringLiteral("mm");
}

QString cssColour(const QColor& c) {
    return c.name(QColor::HexRgb);
}

bool writeBytes(const QString& fileName, const QByteArray& bytes, QString* error) {
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

QByteArray toCodePage(const QString& text) {
    QStringEncoder enc(kCodePageName);
    if (!enc.isValid())
        return text.toUtf8();
    return enc.encode(text);
}

} // namespace

QString reportText(const PagedReport& report) {
    QString out;
    const int bandChars = int(DataReport::kBandWidth / kMmPerChar);
    for (int page = 1; page <= report.pageCount(); ++page) {
        if (page > 1)
            out += u'\f';
        forEachBand(report, page, [&](const QList<ReportText>& band) {
            QString line;
            for (const ReportText& t : band) {
                if (t.text.isEmpty())
                    continue;
                const int col =
                    t.centred ? std::max(0, int((bandChars - t.text.size()) / 2))
                              : int(std::lround((t.box.x() - DataReport::kMargin) / kMmPerChar));
                if (!line.isEmpty() && line.size() >= col)
                    line += u' '; // a text that runs on keeps one blank before the next
                else if (line.size() < col)
                    line += QString(col - line.size(), u' ');
                line += t.text;
            }
            out += line + QStringLiteral("\r\n");
        });
    }
    return out;
}

QString reportCsv(const PagedReport& report) {
    QString out;
    for (int page = 1; page <= report.pageCount(); ++page) {
        forEachBand(report, page, [&](const QList<ReportText>& band) {
            QStringList cells;
            for (const ReportText& t : band)
                cells << csvCell(t.text);
            out += cells.join(u',') + QStringLiteral("\r\n");
        });
    }
    return out;
}

QByteArray reportHtml(const PagedReport& report) {
    // One class a look (font and colour), so the many detail texts stay short.
    QHash<QString, int> classes;
    QString css;
    QString body;
    for (int page = 1; page <= report.pageCount(); ++page) {
        body += QStringLiteral("<div class=\"page\">\n");
        for (const ReportText& t : report.pageTexts(page)) {
            if (t.text.isEmpty())
                continue;
            const QString look = QStringLiteral("font-family:Arial,'Liberation Sans',sans-serif;"
                                                "font-size:%1pt;font-weight:%2;%3color:%4")
                                     .arg(t.font.pointSizeF())
                                     .arg(t.font.bold() ? u"bold" : u"normal")
                                     .arg(t.font.underline() ? u"text-decoration:underline;" : u"")
                                     .arg(cssColour(t.color));
            auto it = classes.find(look);
            if (it == classes.end()) {
                it = classes.insert(look, int(classes.size()));
                css += QStringLiteral(".s%1{%2}\n").arg(*it).arg(look);
            }
            body += QStringLiteral("<span class=\"s%1\" style=\"left:%2;top:%3")
                        .arg(*it)
                        .arg(mm(t.box.x()), mm(t.box.y()));
            if (t.centred)
                body += QStringLiteral(";width:%1;text-align:center").arg(mm(t.box.width()));
            body += QStringLiteral("\">") + t.text.toHtmlEscaped() + QStringLiteral("</span>\n");
        }
        body += QStringLiteral("</div>\n");
    }
    QString html =
        QStringLiteral(
            "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n"
            "<title>%1</title>\n<style>\n"
            "body{margin:0;background:#808080}\n"
            ".page{position:relative;width:210mm;height:297mm;margin:6mm auto;background:#fff;"
            "overflow:hidden;page-break-after:always;break-after:page}\n"
            ".page span{position:absolute;white-space:pre;line-height:1.15}\n"
            "@page{size:A4 portrait;margin:0}\n"
            "@media print{body{background:none}.page{margin:0}}\n")
            .arg(report.title().toHtmlEscaped());
    html += css + QStringLiteral("</style>\n</head>\n<body>\n") + body +
            QStringLiteral("</body>\n</html>\n");
    return html.toUtf8();
}

bool writeReportPdf(const PagedReport& report, QIODevice* device, QString* error) {
    QPdfWriter writer(device);
    writer.setResolution(600);
    writer.setTitle(report.title());
    writer.setCreator(QStringLiteral("Z4072"));
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(),
                                     QPageLayout::Millimeter));
    QPainter painter;
    if (!painter.begin(&writer)) {
        if (error)
            *error = QStringLiteral("The PDF writer could not start");
        return false;
    }
    const double dotsPerMm = writer.resolution() / 25.4;
    for (int page = 1; page <= report.pageCount(); ++page) {
        if (page > 1)
            writer.newPage();
        report.paintPage(painter, page, dotsPerMm);
    }
    return painter.end();
}

bool writeReport(const PagedReport& report, const QString& fileName, ReportFormat format,
                 QString* error) {
    switch (format) {
    case ReportFormat::Html:
        return writeBytes(fileName, reportHtml(report), error);
    case ReportFormat::Text:
        return writeBytes(fileName, toCodePage(reportText(report)), error);
    case ReportFormat::Csv:
        return writeBytes(fileName, toCodePage(reportCsv(report)), error);
    case ReportFormat::Pdf:
        break;
    }
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    if (!writeReportPdf(report, &file, error))
        return false;
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

void setUpReportPrinter(QPrinter& printer) {
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(),
                                      QPageLayout::Millimeter));
    printer.setFullPage(true); // the report keeps its own 10 mm margins
    printer.setCopyCount(1);
    printer.setDuplex(QPrinter::DuplexNone);
    printer.setPrintRange(QPrinter::AllPages);
    printer.setPaperSource(QPrinter::Upper); // the first bin
}

bool printReport(const PagedReport& report, QPrinter& printer, int from, int to) {
    if (from <= 0)
        from = 1;
    if (to <= 0 || to > report.pageCount())
        to = report.pageCount();
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    const double dotsPerMm = printer.resolution() / 25.4;
    for (int page = from; page <= to; ++page) {
        if (page > from)
            printer.newPage();
        report.paintPage(painter, page, dotsPerMm);
    }
    return painter.end();
}
