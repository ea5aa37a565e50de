#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QString>

#include <optional>

// A recording of the cable's input reports, as text. Lines starting with "#" are comments and
// blank lines are ignored; "# start 2026-12-08T14:03:27.123" gives the local start time. Every
// other line is one report: seconds since the start (decimal, never decreasing), then the
// report's bytes as two-digit hex separated by blanks, report ID first.
struct CaptureReport {
    double seconds = 0;
    quint8 reportId = 0;
    QByteArray data; // the bytes after the report ID
};

// Reads a capture file one report at a time, so captures of any length take constant memory.
class CaptureReader {
public:
    bool open(const QString& path, QString* error);
    // The next report; false at the end or on a malformed line (then *error names the line).
    bool next(CaptureReport& report, QString* error);
    bool atEnd() const { return end_; }
    // The start time given by the first "# start" line seen so far, if any. Reports of later
    // sessions in the same file come with their seconds counted from this time.
    std::optional<QDateTime> start() const { return start_; }

    // Parses one report line; false and *error when it is malformed.
    static bool parseLine(QByteArrayView line, CaptureReport& report, QString* error);

private:
    static constexpr qint64 kMaxLine = 1 << 20; // longer lines are read in pieces
    QFile file_;
    QByteArray line_;
    qint64 lineNo_ = 0;
    double lastSeconds_ = 0;
    double sessionOffset_ = 0; // seconds from the first session's start to the current one's
    bool end_ = false;
    std::optional<QDateTime> start_;
};

// Appends reports to a capture file, flushing each line so that a crash loses nothing.
class CaptureWriter {
public:
    // Opens for appending; writes a "# start" line with `start` (local time) for a new session.
    bool open(const QString& path, const QDateTime& start, QString* error);
    void write(double seconds, quint8 reportId, const quint8* data, quint16 size);
    bool isOpen() const { return file_.isOpen(); }

private:
    QFile file_;
};
