#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

// When a sample was taken: its local time of day, which is what the table files keep, and where
// it is known its instant, in milliseconds since the epoch. Rows recorded here know both; rows
// loaded from a table file know the time of day only (their date is not in the file).
struct SampleTime {
    static constexpr int kDayMs = 86'400'000;

    int msOfDay = 0; // 0 .. kDayMs - 1
    std::optional<qint64> epochMs;

    SampleTime() = default;
    // A time of day whose date is not known (implicit: that is all a table file says).
    SampleTime(int msOfDay) : msOfDay(msOfDay) {}
    SampleTime(int msOfDay, qint64 epochMs) : msOfDay(msOfDay), epochMs(epochMs) {}

    // The instant with its local time of day.
    static SampleTime at(qint64 epochMs);
    static SampleTime now();
};

// Milliseconds from one sample to a later one: the difference of the instants where both are
// known; else from one time of day to the next, counting on past midnight (23:59:50 then
// 00:00:10 is 20 s later), so never negative. Every reader of a table's times goes through this.
qint64 elapsedMs(const SampleTime& from, const SampleTime& to);

// The time of day `offsetMs` (>= 0) after `startMsOfDay`.
int timeOfDayAfter(int startMsOfDay, qint64 offsetMs);

// An instant as the journal keeps it: local date and time with milliseconds and the offset from
// UTC, "2026-12-10T10:26:55.123+01:00"; and read back (none for any other text). The local time of
// day is the text's own, so reading needs no time zone rules.
QString instantText(qint64 epochMs);
std::optional<SampleTime> sampleTimeOf(QStringView instantText);
