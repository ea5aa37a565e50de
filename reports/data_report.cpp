#include "reports/data_report.h"

#include "record/reading_table.h"
#include "record/table_files.h"

#include <QGuiApplication>
#include <QLocale>
#include <QPainter>
#include <QPalette>

#include <algorithm>

int DataReportPageTotal(int rows) {
    if (rows <= DataReport::kRowsPerPage)
        return 1;
    return rows / DataReport::kRowsPerPage + (rows % DataReport::kRowsPerPage != 0 ? 1 : 0);
}

namespace {

QFont arial(double points, bool bold = false, bool underline = false) {
    QFont f(QStringLiteral("Arial"));
    f.setPointSizeF(points);
    f.setBold(bold);
    f.setUnderline(underline);
    return f;
}

QColor infoTextColour() {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return QGuiApplication::palette().color(QPalette::ToolTipText);
    return Qt::black;
}

} // namespace

DataReport::DataReport(const ReadingTable* table)
    : table_(table), rows_(table ? table->rowCount() : 0), printDate_(QDate::currentDate()) {}

int DataReport::pageCount() const {
    return DataReportPageTotal(rows_);
}

QString DataReport::contentsText() const {
    return QStringLiteral("%1 rows").arg(rows_);
}

QList<ReportText> DataReport::pageTexts(int page) const {
    QList<ReportText> out;
    if (page < 1 || page > pageCount())
        return out;
    const double left = kMargin;
    const double right = kMargin + kBandWidth;
    int band = 0;
    double top = kMargin;
    auto text = [&](ReportText::Band kind, double x, double y, double h, const QString& s,
                    const QFont& font, const QColor& colour = Qt::black) {
        out.append(
            {kind, band, QRectF(left + x, top + y, right - left - x, h), false, s, font, colour});
    };

    // Page header.
    out.append({ReportText::PageHeader, band, QRectF(left, top + 2.1, kBandWidth, 7.0), true,
                QStringLiteral(" TEST DATA REPORT"), arial(14, true, true), Qt::blue});
    text(ReportText::PageHeader, 158.8, 5.3, 4.0, QStringLiteral("Print Date:"), arial(7));
    text(ReportText::PageHeader, 171.4, 5.3, 4.0,
         QLocale::system().toString(printDate_, QLocale::ShortFormat), arial(7));
    top += kHeaderHeight;
    ++band;

    // Column header: "Function" and "Remark" head the two range fields.
    const QFont ten = arial(10);
    const struct {
        double x;
        const char* title;
    } heads[] = {{8.5, "No"},    {33.9, "Time"},      {64.3, "Value"},
                 {99.5, "Unit"}, {123.8, "Function"}, {163.0, "Remark"}};
    for (const auto& h : heads)
        text(ReportText::ColumnHeader, h.x, 4.2, 5.0, QString::fromLatin1(h.title), ten);
    top += kHeaderHeight;
    ++band;

    // Details.
    const int first = (page - 1) * kRowsPerPage;
    const int last = std::min(rows_, first + kRowsPerPage);
    const TimeTextFormatter times;
    for (int r = first; r < last; ++r) {
        const auto kind = ReportText::Detail;
        text(kind, 8.5, 2.1, 4.5, table_->isNoNull(r) ? QString() : QString::number(table_->no(r)),
             ten);
        text(kind, 33.9, 2.1, 4.5,
             table_->isTimeNull(r) ? QString() : times.text(table_->timeMs(r)), ten);
        text(kind, 65.6, 2.1, 4.5, table_->value(r), ten);
        text(kind, 99.5, 2.1, 4.5, table_->unit(r), ten);
        text(kind, 123.8, 1.6, 4.5, table_->vRange(r), ten);
        text(kind, 164.0, 2.1, 4.5, table_->iRange(r), ten);
        top += kDetailHeight;
        ++band;
    }

    // Page footer, at the foot of the printable area.
    top = kPaperHeight - kMargin - kHeaderHeight;
    text(ReportText::PageFooter, 8.5, 4.2, 5.0, QStringLiteral("The Page"), ten, infoTextColour());
    text(ReportText::PageFooter, 24.3, 4.2, 5.0, QString::number(page), arial(8), Qt::blue);
    text(ReportText::PageFooter, 31.8, 4.2, 5.0, QStringLiteral("Of"), ten);
    text(ReportText::PageFooter, 37.0, 4.2, 5.0, allpage_, arial(9), Qt::blue);
    return out;
}

void DataReport::paintPage(QPainter& p, int page, double dotsPerMm) const {
    paintReportTexts(p, pageTexts(page), dotsPerMm);
}
