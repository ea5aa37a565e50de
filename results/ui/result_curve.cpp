#include "results/ui/result_curve.h"

#include "chart/chart_axes.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

const QColor kCurveColour(0x1F, 0x4E, 0x9A);
const QColor kPiColour(0xB0, 0x4A, 0x00);
const QColor kGridColour(0xD8, 0xD8, 0xD8);
const QColor kMarkColour(0x80, 0x80, 0x80);

QString decadeLabel(int decade) {
    static const char* const kNames[] = {"1 Ω",    "10 Ω",   "100 Ω", "1 kΩ",   "10 kΩ",
                                         "100 kΩ", "1 MΩ",   "10 MΩ", "100 MΩ", "1 GΩ",
                                         "10 GΩ",  "100 GΩ", "1 TΩ",  "10 TΩ",  "100 TΩ"};
    if (decade >= 0 && decade < int(std::size(kNames)))
        return QString::fromUtf8(kNames[decade]);
    return QStringLiteral("1e%1 Ω").arg(decade);
}

// The plot's frame inside the area, leaving room for the labels.
QRectF plotFrame(const QRectF& area, const QFontMetricsF& fm, bool rightAxis) {
    const double left = fm.horizontalAdvance(QStringLiteral("100 MΩ")) + fm.height() * 0.6;
    const double right =
        rightAxis ? fm.horizontalAdvance(QStringLiteral("10.0")) + fm.height() : fm.height() * 0.8;
    return area.adjusted(left, fm.height() * 0.8, -right, -fm.height() * 2.5);
}

void drawOhmAxis(QPainter& p, const QRectF& frame, int lo, int hi, const QFontMetricsF& fm) {
    for (int d = lo; d <= hi; ++d) {
        const double y = frame.bottom() - (d - lo) * frame.height() / (hi - lo);
        p.setPen(QPen(kGridColour, 0));
        p.drawLine(QPointF(frame.left(), y), QPointF(frame.right(), y));
        p.setPen(Qt::black);
        const QString label = decadeLabel(d);
        p.drawText(QPointF(frame.left() - fm.horizontalAdvance(label) - fm.height() * 0.3,
                           y + fm.ascent() / 2 - 1),
                   label);
    }
}

} // namespace

std::pair<int, int> decadesAround(double low, double high) {
    if (!(low > 0) || !(high > 0))
        return {6, 9};
    int lo = int(std::floor(std::log10(low)));
    int hi = int(std::ceil(std::log10(high)));
    if (hi <= lo)
        hi = lo + 1;
    return {lo, hi};
}

void paintResultCurve(QPainter& p, const QRectF& area, const TestResult& r, const QFont& font) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setFont(font);
    const QFontMetricsF fm(font, p.device());
    const QRectF frame = plotFrame(area, fm, false);

    double low = 0, high = 0;
    qint64 lastMs = 0;
    for (const ResultReading& reading : r.readings) {
        lastMs = std::max(lastMs, reading.elapsedMs);
        if (!reading.ohms || *reading.ohms <= 0)
            continue;
        low = low > 0 ? std::min(low, *reading.ohms) : *reading.ohms;
        high = std::max(high, *reading.ohms);
    }
    const std::pair<int, int> decades = decadesAround(low, high);
    const int lo = decades.first;
    const int hi = decades.second;
    const double minutes = std::max(1.0, double(lastMs) / 60000.0);
    const double step = niceStep(minutes, 6);
    const double spanMin = std::ceil(minutes / step - 1e-9) * step;
    auto xOf = [&](double min) { return frame.left() + min / spanMin * frame.width(); };
    auto yOf = [&](double ohms) {
        return frame.bottom() - (std::log10(ohms) - lo) / (hi - lo) * frame.height();
    };

    drawOhmAxis(p, frame, lo, hi, fm);
    for (double m = 0; m <= spanMin + 1e-9; m += step) {
        const double x = xOf(m);
        p.setPen(Qt::black);
        p.drawLine(QPointF(x, frame.bottom()), QPointF(x, frame.bottom() + fm.height() * 0.25));
        const QString label = QString::number(m, 'g', 4);
        p.drawText(QPointF(x - fm.horizontalAdvance(label) / 2, frame.bottom() + fm.height() * 1.1),
                   label);
    }
    const QString xTitle = QStringLiteral("elapsed minutes");
    p.drawText(QPointF(frame.center().x() - fm.horizontalAdvance(xTitle) / 2,
                       frame.bottom() + fm.height() * 2.1),
               xTitle);

    // The marks the figures are read at.
    const struct {
        double min;
        const char* label;
    } marks[] = {{0.5, "30 s"}, {1, "1 min"}, {10, "10 min"}};
    int line = 0;
    for (const auto& m : marks) {
        if (m.min > spanMin)
            continue;
        const double x = xOf(m.min);
        p.setPen(QPen(kMarkColour, 0, Qt::DashLine));
        p.drawLine(QPointF(x, frame.top()), QPointF(x, frame.bottom()));
        p.setPen(kMarkColour);
        // Marks close together take a line each; a mark at the right edge is labelled before it.
        const QString label = QLatin1String(m.label);
        const double width = fm.horizontalAdvance(label);
        const double labelX = x + fm.height() * 0.2 + width > frame.right()
                                  ? x - fm.height() * 0.2 - width
                                  : x + fm.height() * 0.2;
        p.drawText(QPointF(labelX, frame.top() + fm.ascent() + line * fm.height()), label);
        line = (line + 1) % 2;
    }

    // The readings, a gap where one was beyond the range.
    QPainterPath path;
    bool open = false;
    for (const ResultReading& reading : r.readings) {
        if (!reading.ohms || *reading.ohms <= 0) {
            open = false;
            continue;
        }
        const QPointF at(xOf(double(reading.elapsedMs) / 60000.0), yOf(*reading.ohms));
        if (open)
            path.lineTo(at);
        else
            path.moveTo(at);
        open = true;
    }
    p.setPen(QPen(kCurveColour, std::max(1.0, fm.height() / 8)));
    p.drawPath(path);
    if (r.readings.size() < 60) {
        p.setBrush(kCurveColour);
        for (const ResultReading& reading : r.readings)
            if (reading.ohms && *reading.ohms > 0)
                p.drawEllipse(QPointF(xOf(double(reading.elapsedMs) / 60000.0), yOf(*reading.ohms)),
                              fm.height() / 8, fm.height() / 8);
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::black, 0));
    p.drawRect(frame);
    p.restore();
}

void paintAssetTrend(QPainter& p, const QRectF& area, const std::vector<TestResult>& history,
                     const QFont& font) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setFont(font);
    const QFontMetricsF fm(font, p.device());
    const QRectF frame = plotFrame(area, fm, true);

    double low = 0, high = 0, piHigh = 2.5;
    QDate first, last;
    for (const TestResult& r : history) {
        if (!first.isValid() || r.date < first)
            first = r.date;
        if (!last.isValid() || r.date > last)
            last = r.date;
        if (const std::optional<double> ohms = r.ratingOhms(); ohms && *ohms > 0) {
            low = low > 0 ? std::min(low, *ohms) : *ohms;
            high = std::max(high, *ohms);
        }
        if (r.pi)
            piHigh = std::max(piHigh, *r.pi);
    }
    const std::pair<int, int> decades = decadesAround(low, high);
    const int lo = decades.first;
    const int hi = decades.second;
    const double piTop = std::ceil(piHigh);
    const qint64 days = first.isValid() ? std::max<qint64>(1, first.daysTo(last)) : 1;
    auto xOf = [&](const QDate& d) {
        return history.size() < 2 || first == last
                   ? frame.center().x()
                   : frame.left() + double(first.daysTo(d)) / double(days) * frame.width();
    };
    drawOhmAxis(p, frame, lo, hi, fm);
    p.setPen(kPiColour);
    for (int v = 0; v <= int(piTop); ++v) {
        const double y = frame.bottom() - v / piTop * frame.height();
        p.drawText(QPointF(frame.right() + fm.height() * 0.3, y + fm.ascent() / 2 - 1),
                   QString::number(v));
    }
    p.setPen(Qt::black);
    if (first.isValid()) {
        const QString a = first.toString(Qt::ISODate);
        const QString b = last.toString(Qt::ISODate);
        p.drawText(QPointF(frame.left(), frame.bottom() + fm.height() * 1.1), a);
        if (first != last)
            p.drawText(QPointF(frame.right() - fm.horizontalAdvance(b),
                               frame.bottom() + fm.height() * 1.1),
                       b);
    }
    const QString legend = QStringLiteral("● R(1 min) at 40 °C (left)    ■ PI (right)");
    p.drawText(QPointF(frame.left(), frame.bottom() + fm.height() * 2.2), legend);

    QPolygonF ohms, pis;
    for (const TestResult& r : history) {
        if (const std::optional<double> v = r.ratingOhms(); v && *v > 0)
            ohms << QPointF(xOf(r.date),
                            frame.bottom() - (std::log10(*v) - lo) / (hi - lo) * frame.height());
        if (r.pi)
            pis << QPointF(xOf(r.date), frame.bottom() - *r.pi / piTop * frame.height());
    }
    const double dot = std::max(1.5, fm.height() / 6);
    p.setPen(QPen(kCurveColour, std::max(1.0, fm.height() / 10)));
    p.drawPolyline(ohms);
    p.setBrush(kCurveColour);
    for (const QPointF& at : ohms)
        p.drawEllipse(at, dot, dot);
    p.setPen(QPen(kPiColour, std::max(1.0, fm.height() / 10)));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(pis);
    p.setBrush(kPiColour);
    for (const QPointF& at : pis)
        p.drawRect(QRectF(at.x() - dot, at.y() - dot, 2 * dot, 2 * dot));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::black, 0));
    p.drawRect(frame);
    p.restore();
}
