#include "record/reading_table.h"
#include "reports/data_report.h"
#include "reports/report_export.h"

#include <QApplication>
#include <QFile>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QTemporaryDir>

#include "tests/reading_rows.h"
#include "tests/test_app.h"

#include <gtest/gtest.h>

namespace {

void fill(ReadingTable& t, int n, const QString& value = QStringLiteral("1.23")) {
    for (int i = 0; i < n; ++i) {
        t.append(readingRow(i + 1, (8 * 3600 + i) * 1000, value, QStringLiteral("M\u03A9"),
                            QStringLiteral("IR:1000V 40G\u03A9"), QStringLiteral("Timed")));
    }
}

QStringList textsOf(const DataReport& report, int page, ReportText::Band kind) {
    QStringList out;
    for (const ReportText& t : report.pageTexts(page))
        if (t.kind == kind)
            out << t.text;
    return out;
}

TEST(DataReport, PageTotalRule) {
    EXPECT_EQ(DataReportPageTotal(0), 1);
    EXPECT_EQ(DataReportPageTotal(1), 1);
    EXPECT_EQ(DataReportPageTotal(37), 1);
    EXPECT_EQ(DataReportPageTotal(38), 2);
    EXPECT_EQ(DataReportPageTotal(74), 2);
    EXPECT_EQ(DataReportPageTotal(75), 3);
    EXPECT_EQ(DataReportPageTotal(10000), 271);
}

TEST(DataReport, PagesHoldThirtySevenRowsBetweenHeadersAndFooter) {
    app();
    ReadingTable t;
    fill(t, 38);
    DataReport report(&t);
    report.setAllpageCaption(QStringLiteral("2"));
    report.setPrintDate(QDate(2026, 12, 8));
    ASSERT_EQ(report.pageCount(), 2);

    const QList<ReportText> first = report.pageTexts(1);
    EXPECT_EQ(first.front().text, u" TEST DATA REPORT");
    EXPECT_TRUE(first.front().centred);
    EXPECT_TRUE(first.front().font.bold() && first.front().font.underline());
    EXPECT_EQ(first.front().color, QColor(Qt::blue));
    EXPECT_EQ(textsOf(report, 1, ReportText::ColumnHeader),
              (QStringList{"No", "Time", "Value", "Unit", "Function", "Remark"}));
    EXPECT_EQ(textsOf(report, 1, ReportText::Detail).size(), 37 * 6);
    EXPECT_EQ(textsOf(report, 2, ReportText::Detail).size(), 6);
    EXPECT_EQ(textsOf(report, 2, ReportText::PageFooter),
              (QStringList{"The Page", "2", "Of", "2"}));

    // Millimetre places: the 37th detail band ends above the footer, inside the margins.
    double lowestDetail = 0;
    for (const ReportText& x : first) {
        EXPECT_GE(x.box.left(), 10.0);
        EXPECT_LE(x.box.right(), 200.0 + 1e-9);
        if (x.kind == ReportText::Detail)
            lowestDetail = std::max(lowestDetail, x.box.top());
        if (x.kind == ReportText::PageFooter) {
            EXPECT_NEAR(x.box.top(), 297 - 10 - 10.6 + 4.2, 1e-9);
        }
    }
    EXPECT_NEAR(lowestDetail, 10 + 10.6 * 2 + 36 * 6.6 + 2.1, 1e-9);
    const QList<ReportText> row = report.pageTexts(2).mid(9, 6);
    EXPECT_EQ(row[0].text, u"38");
    EXPECT_NEAR(row[2].box.left(), 10 + 65.6, 1e-9);
    EXPECT_NEAR(row[4].box.top(), 10 + 21.2 + 1.6, 1e-9);
    EXPECT_EQ(row[5].text, u"Timed");
}

TEST(DataReport, EmptyTableStillPrintsOnePage) {
    app();
    ReadingTable t;
    DataReport report(&t);
    EXPECT_EQ(report.pageCount(), 1);
    EXPECT_TRUE(textsOf(report, 1, ReportText::Detail).isEmpty());
    EXPECT_EQ(textsOf(report, 1, ReportText::PageFooter),
              (QStringList{"The Page", "1", "Of", "1"}));
    DataReport none(nullptr);
    EXPECT_EQ(none.pageCount(), 1);
    EXPECT_EQ(textsOf(none, 1, ReportText::ColumnHeader).size(), 6);
}

TEST(ReportExport, FormatsFollowTheExtension) {
    EXPECT_EQ(reportFormatOf(QStringLiteral("a/b.PDF")), ReportFormat::Pdf);
    EXPECT_EQ(reportFormatOf(QStringLiteral("x.htm")), ReportFormat::Html);
    EXPECT_EQ(reportFormatOf(QStringLiteral("x.html")), ReportFormat::Html);
    EXPECT_EQ(reportFormatOf(QStringLiteral("x.txt")), ReportFormat::Text);
    EXPECT_EQ(reportFormatOf(QStringLiteral("x.csv")), ReportFormat::Csv);
    EXPECT_FALSE(reportFormatOf(QStringLiteral("x.xls")));
    EXPECT_FALSE(reportFormatOf(QStringLiteral("pdf")));
}

TEST(ReportExport, TextCsvAndHtmlKeepEveryTextSafely) {
    app();
    ReadingTable t;
    fill(t, 40, QStringLiteral("1,5\"<b>"));
    DataReport report(&t);
    report.setAllpageCaption(QStringLiteral("2"));

    const QString csv = reportCsv(report);
    const QStringList lines = csv.split(QStringLiteral("\r\n"));
    EXPECT_EQ(lines[1], u"No,Time,Value,Unit,Function,Remark");
    EXPECT_TRUE(lines[2].startsWith(u"1,08:00:00,\"1,5\"\"<b>\",M\u03A9,"))
        << lines[2].toStdString();
    EXPECT_EQ(lines[39], u"The Page,1,Of,2");
    EXPECT_EQ(csv.count(u"The Page"), 2);

    const QString text = reportText(report);
    EXPECT_EQ(text.count(u'\f'), 1);
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("\\n +The Page +2 +Of +2\r\n$")).match(text).hasMatch());
    const QStringList textLines = text.split(QStringLiteral("\r\n"));
    EXPECT_EQ(textLines[1].indexOf(u"Time"), textLines[2].indexOf(u"08:00:00"));

    const QString html = QString::fromUtf8(reportHtml(report));
    EXPECT_FALSE(html.contains(u"\"<b>"));
    EXPECT_TRUE(html.contains(u"1,5&quot;&lt;b&gt;"));
    EXPECT_EQ(html.count(u"<div class=\"page\">"), 2);
}

TEST(ReportExport, FilesAreWrittenWholeOrNotAtAll) {
    app();
    ReadingTable t;
    fill(t, 3);
    DataReport report(&t);
    QTemporaryDir dir;
    const QString txt = dir.filePath(QStringLiteral("r.txt"));
    QString error;
    ASSERT_TRUE(writeReport(report, txt, ReportFormat::Text, &error)) << error.toStdString();
    QFile f(txt);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().contains("M\xA6\xB8")); // the ohm sign in the 8-bit code page
    EXPECT_FALSE(
        writeReport(report, dir.filePath(QStringLiteral("no/r.pdf")), ReportFormat::Pdf, &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(ReportExport, PdfHasOnePageEachWithItsFooter) {
    app();
    ReadingTable t;
    fill(t, 75);
    DataReport report(&t);
    report.setAllpageCaption(QString::number(DataReportPageTotal(75)));
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("r.pdf"));
    QString error;
    ASSERT_TRUE(writeReport(report, pdf, ReportFormat::Pdf, &error)) << error.toStdString();
    QFile f(pdf);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    EXPECT_TRUE(bytes.startsWith("%PDF"));
    EXPECT_EQ(bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r"), 3);

    const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (tool.isEmpty())
        GTEST_SKIP() << "pdftotext is not installed";
    QProcess p;
    p.start(tool, {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    ASSERT_TRUE(p.waitForFinished(30000));
    const QString text = QString::fromUtf8(p.readAllStandardOutput());
    for (int page = 1; page <= 3; ++page)
        EXPECT_TRUE(QRegularExpression(QStringLiteral("The Page\\s+%1\\s+Of\\s+3").arg(page))
                        .match(text)
                        .hasMatch())
            << page;
    EXPECT_TRUE(text.contains(u"TEST DATA REPORT"));
    EXPECT_TRUE(text.contains(u"IR:1000V 40G\u03A9"));
}

} // namespace

namespace {

TEST(ReportExport, PrintsTheChosenPagesOnAFullA4Page) {
    app();
    ReadingTable t;
    fill(t, 100);
    DataReport report(&t);
    QTemporaryDir dir;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath(QStringLiteral("p.pdf")));
    setUpReportPrinter(printer);
    EXPECT_TRUE(printer.fullPage());
    EXPECT_EQ(printer.copyCount(), 1);
    EXPECT_EQ(printer.pageLayout().pageSize().id(), QPageSize::A4);
    EXPECT_EQ(printer.pageLayout().orientation(), QPageLayout::Portrait);
    ASSERT_TRUE(printReport(report, printer, 2, 3));
    QFile f(printer.outputFileName());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    EXPECT_EQ(bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r"), 2);
}

} // namespace
