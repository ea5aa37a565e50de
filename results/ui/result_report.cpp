#include "results/ui/result_report.h"

#include "results/result_texts.h"
#include "results/ui/result_curve.h"

#include <cmath>

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>

namespace {

constexpr double kLine = 5.0;           // mm a line of 9-point text takes
constexpr double kSmallestCurve = 40.0; // mm, the least the curve is given

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

// How many lines a text takes in a box of the given width (mm) when it wraps at words; measured
// at 72 dots an inch, where a point is a dot, so the answer does not depend on the screen.
int linesOf(const QString& text, const QFont& font, double widthMm) {
    static const QImage device = [] {
        QImage image(1, 1, QImage::Format_RGB32);
        image.setDotsPerMeterX(2835);
        image.setDotsPerMeterY(2835);
        return image;
    }();
    const QFontMetricsF metrics(font, &device);
    // A little narrower than the box: the page's own hinting may set a word a hair wider.
    const double width = widthMm / 25.4 * 72.0 * 0.96;
    const QRectF box = metrics.boundingRect(QRectF(0, 0, width, 1e6), Qt::TextWordWrap, text);
    return std::max(1, int(std::ceil(box.height() / metrics.lineSpacing() - 0.01)));
}

// Label and value pairs in a column from (x, y); the y below them. A value too long for its
// column takes the lines it needs.
double pairs(Layout& l, double x, double y, double width,
             const QList<QPair<QString, QString>>& lines) {
    const double labelWidth = 38;
    for (const auto& [label, value] : lines) {
        const QFont font = sans(9, true);
        const double height = kLine * linesOf(value, font, width - labelWidth);
        l.add(x, y, labelWidth, kLine, label, sans(9), QColor(0x40, 0x40, 0x40));
        l.add(x + labelWidth, y, width - labelWidth, height, value, font);
        y += height;
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

QRectF ResultReport::curveBox(int page) const {
    return layOut(page).curve;
}

QList<ReportText> ResultReport::pageTexts(int page) const {
    return layOut(page).texts;
}

ResultReport::PageLayout ResultReport::layOut(int page, double curveHeight) const {
    Layout l;
    // The curve's place when the fields above it take their usual lines.
    QRectF curve(kMargin, 90, kPaperWidth - 2 * kMargin, curveHeight);
    if (page < 1 || page > int(pages_.size()))
        return {l.texts, curve};
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

    // The figures under the curve, which moves down where the fields took more lines.
    curve.moveTop(std::max(curve.top(), below + (notes != u"-" ? 2 * kLine : 0) + 4));
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
        const int lines = linesOf(text, sans(9), width - 30);
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

    // Lines to sign. Texts that would run into them take their room from the curve.
    const double sign = kPaperHeight - kMargin - 22;
    if (const double over = y + 2 - sign; over > 0 && curveHeight > kSmallestCurve)
        return layOut(page, std::max(kSmallestCurve, curveHeight - over));
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
    return {l.texts, curve};
}

void ResultReport::paintPage(QPainter& p, int page, double dotsPerMm) const {
    const PageLayout layout = layOut(page);
    paintReportTexts(p, layout.texts, dotsPerMm, Qt::TextWordWrap);
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
        const QRectF c = layout.curve;
        paintResultCurve(p, QRectF(mm(c.x()), mm(c.y()), mm(c.width()), mm(c.height())),
                         pages_[size_t(page - 1)].result, sans(8));
    }
    p.restore();
}
