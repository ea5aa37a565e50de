#pragma once

#include <QList>
#include <QString>

class QAbstractAxis;
class QCategoryAxis;

// Where the trend chart's axes put their labels, and what the labels say.

// A tick step of 1, 2 or 5 times a power of ten that gives about `ticks` ticks over `span` (1
// for an empty span).
double niceStep(double span, int ticks);
// A step of elapsed seconds that reads well on a clock (1, 2, 5, 10, 15, 30 s, 1, 2, 5, 10, 15,
// 30 min, 1, 2, 3, 6, 12 h, then days) and gives at most about `ticks` ticks over `span` seconds.
double clockStep(double span, int ticks);

// The label of m × 10^decade ohms with its unit: "100 kΩ", "2 MΩ", "1 TΩ".
QString ohmLabel(int m, int decade);
// Elapsed seconds as minutes and seconds, "m:ss" ("0:30", "10:00", "-1:05", "75:00").
QString elapsedText(double seconds);

// A label and the value it stands at.
struct AxisLabel {
    QString text;
    double at = 0;
    bool operator==(const AxisLabel&) const = default;
};
// Labels of the resistance axis over [lo, hi] in decades (log10 of ohms): every decade, and the
// 2 and 5 between (or every step) when the range is narrow; coarser (every second decade, ...)
// where more than `maxLabels` would not fit.
QList<AxisLabel> ohmLabels(double lo, double hi, int maxLabels = 100);
// Labels of the voltage axis: every `step` volts over [lo, hi], "0 V", "250 V".
QList<AxisLabel> voltLabels(double lo, double hi, double step);
// Labels of the X axis over [lo, hi]: row numbers, or elapsed time in "m:ss".
QList<AxisLabel> xLabels(double lo, double hi, bool elapsed);
// Labels of a clock axis over [lo, hi] seconds from `origin`, at whole steps of the clock:
// "10:26:00"; with the date ("12-10 10:26") where the span holds more than one day, or, where
// the date is not known, the days counted ("+1d 00:10").
struct SampleTime;
QList<AxisLabel> clockLabels(double lo, double hi, const SampleTime& origin, int ticks = 5);
// The marks of an insulation test that the elapsed view draws where the test reached them.
struct TestMark {
    double seconds;
    const char* label;
};
inline constexpr TestMark kTestMarks[] = {{30, "30 s"}, {60, "1 min"}, {600, "10 min"}};

// Puts labels on a category axis (each at its value), touching the axis only when they change.
void setAxisLabels(QCategoryAxis* axis, const QList<AxisLabel>& labels);

// The chart does not measure a vertical axis' labels again when they change, nor when its chart
// is shown again: without this nudge new, wider labels are cut to the width of the old ones.
void measureLabelsAgain(QAbstractAxis* axis);
