#include "results/ui/result_report.h"

#include "results/result_texts.h"
#include "results/ui/result_curve.h"

#include <QFontMetricsF>
#include <QPainter>

namespace {

constexpr double kLine = 5.0; // mm a line of 9-point text takes

QFont sans(double points, bool bold = false) {
    QFont f(QStringLiteral("Liberation Sans"));
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

QColor outcomeColour(Verdict::Outcome o) {
    switch (o) {
    case Verdict::Pass:
        return QColor(0x00, 0x70, 0x20);
    case Verdict::Fail:
        return QColor(0xC0, 0x00, 0x00);
    case Verdict::NotAssessed:
        break;
    }
    return QColor(0x60, 0x60, 0x60);
}

struct Layout {
    QList<ReportText> texts;
    int band = 0;
    void add(double x, double y, double w, double h, const QString& text, const QFont& font,
             const QColor& colour = Qt::black) {
        texts.append({ReportText::Detail, band, QRectF(x, y, w, h), false, text, font, colour});
    }
};

// Label and value pairs in a column from (x, y); the y below them.
double pairs(Layout& l, double x, double y, double width,
             const QList<QPair<QString, QString>>& lines) {
    const double labelWidth = 38;
    for (const auto& [label, value] : lines) {
        l.add(x, y, labelWidth, kLine, label, sans(9), QColor(0x40, 0x40, 0x40));
        l.add(x + labelWidth, y, width - labelWidth, kLine, value, sans(9, true));
        y += kLine;
        ++l.band;
    }
    return y;
}

} // namespace

ResultReport::ResultReport(std::vector<ResultPage> pages) : pages_(std::move(pages)) {}

QString ResultReport::contentsText() const {
    return pages_.size() == 1 ? QStringLiteral("1 test result")
                              : QStringLiteral("%1 test results").arg(pages_.size());
}

QString ResultReport::title() const {
    return QStringLiteral("Insulation Test Result");
}

QRectF ResultReport::curveBox() {
    return QRectF(kMargin, 90, kPaperWidth - 2 * kMargin, 78);
}

QList<ReportText> ResultReport::pageTexts(int page) const {
    Layout l;
    if (page < 1 || page > int(pages_.size()))
        return l.texts;
    const ResultPage& rp = pages_[size_t(page - 1)];
    const TestResult& r = rp.result;
    const double width = kPaperWidth - 2 * kMargin;
    const double half = width / 2;

    l.add(kMargin, kMargin, width - 40, 9, title(), sans(16, true));
    l.add(kPaperWidth - kMargin - 40, kMargin + 2, 40, 6, QStringLiteral("Result ID %1").arg(r.id),
          sans(10));
    ++l.band;

    // The asset and the conditions: asset and kind across the page, the rest in two columns.
    const QList<QPair<QString, QString>> fields = fieldLines(r);
    QList<QPair<QString, QString>> wide, left, right;
    QString notes;
    for (const auto& pair : fields) {
        if (pair.first == u"Notes")
            notes = pair.second;
        else if (wide.size() < 2)
            wide << pair;
        else if (left.size() < 7)
            left << pair;
        else
            right << pair;
    }
    const double top = pairs(l, kMargin, kMargin + 14, width, wide);
    const double below =
        std::max(pairs(l, kMargin, top, half, left), pairs(l, kMargin + half, top, half, right));
    if (notes != u"-") {
        l.add(kMargin, below, 38, kLine, QStringLiteral("Notes"), sans(9),
              QColor(0x40, 0x40, 0x40));
        l.add(kMargin + 38, below, width - 38, 2 * kLine, r.notes, sans(9));
        ++l.band;
    }

    // The figures under the curve.
    const QRectF curve = curveBox();
    QList<QPair<QString, QString>> figures = figureLines(r);
    const double figTop = curve.bottom() + 4;
    const qsizetype split = (figures.size() + 1) / 2;
    const double figBelow = std::max(pairs(l, kMargin, figTop, half, figures.mid(0, split)),
                                     pairs(l, kMargin + half, figTop, half, figures.mid(split)));

    // The verdict and the rule that gave it.
    double y = figBelow + 4;
    l.add(kMargin, y, 30, 8, QStringLiteral("Verdict"), sans(12), QColor(0x40, 0x40, 0x40));
    l.add(kMargin + 30, y, width - 30, 8, outcomeText(rp.verdict.outcome), sans(14, true),
          outcomeColour(rp.verdict.outcome));
    ++l.band;
    y += 9;
    auto paragraph = [&](const QString& label, const QString& text, const QColor& colour) {
        // Long texts wrap: a line of about 100 characters at 9 points over the page's width.
        const int lines = std::max(1, int((text.size() + 99) / 100));
        l.add(kMargin, y, 30, kLine, label, sans(9), QColor(0x40, 0x40, 0x40));
        l.add(kMargin + 30, y, width - 30, lines * kLine, text, sans(9), colour);
        ++l.band;
        y += lines * kLine;
    };
    paragraph(QStringLiteral("Rule"), rp.verdict.rule, Qt::black);
    for (const QString& reason : rp.verdict.reasons)
        paragraph(QStringLiteral("Reason"), reason, outcomeColour(rp.verdict.outcome));
    for (const QString& note : rp.verdict.notes)
        paragraph(QStringLiteral("Note"), note, Qt::black);
    if (rp.trend)
        paragraph(QStringLiteral("Trend"), *rp.trend, QColor(0xC0, 0x00, 0x00));
    if (const std::optional<QString> warning = calibrationWarning(r))
        paragraph(QStringLiteral("Calibration"), *warning, QColor(0xC0, 0x00, 0x00));

    // Lines to sign.
    const double sign = kPaperHeight - kMargin - 22;
    l.add(kMargin, sign, 60, kLine, QStringLiteral("Tested by"), sans(9), QColor(0x40, 0x40, 0x40));
    l.add(kMargin + 70, sign, 40, kLine, QStringLiteral("Date"), sans(9), QColor(0x40, 0x40, 0x40));
    l.add(kMargin + 115, sign, 60, kLine, QStringLiteral("Signature"), sans(9),
          QColor(0x40, 0x40, 0x40));
    ++l.band;
    l.add(kMargin, sign + 10, 60, kLine, printable(r.operatorName), sans(10));
    l.add(kMargin + 70, sign + 10, 40, kLine, r.date.toString(Qt::ISODate), sans(10));
    ++l.band;
    l.add(kMargin, kPaperHeight - kMargin - 4, width, 5,
          QStringLiteral("Z4072 · page %1 of %2").arg(page).arg(pageCount()), sans(8),
          QColor(0x60, 0x60, 0x60));
    return l.texts;
}

void ResultReport::paintPage(QPainter& p, int page, double dotsPerMm) const {
    paintReportTexts(p, pageTexts(page), dotsPerMm, Qt::TextWordWrap);
    p.save();
    if (page >= 1 && page <= int(pages_.size())) {
        const auto mm = [&](double v) { return v * dotsPerMm; };
        // A rule under the title, and the lines to sign on.
        p.setPen(QPen(Qt::black, std::max(1.0, mm(0.3))));
        p.drawLine(QPointF(mm(kMargin), mm(kMargin + 10)),
                   QPointF(mm(kPaperWidth - kMargin), mm(kMargin + 10)));
        const double sign = kPaperHeight - kMargin - 22 + 16;
        p.setPen(QPen(Qt::black, std::max(1.0, mm(0.2))));
        for (const auto& [x, w] : {std::pair{0.0, 60.0}, {70.0, 40.0}, {115.0, 65.0}})
            p.drawLine(QPointF(mm(kMargin + x), mm(sign)), QPointF(mm(kMargin + x + w), mm(sign)));
        const QRectF c = curveBox();
        paintResultCurve(p, QRectF(mm(c.x()), mm(c.y()), mm(c.width()), mm(c.height())),
                         pages_[size_t(page - 1)].result, sans(8));
    }
    p.restore();
}
