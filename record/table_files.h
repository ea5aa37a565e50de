#pragma once

#include "record/reading_table.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

// Table files. A name ending in ".xml" (any case) holds the table's XML data packet; any other
// name holds tab-separated text. Both are in the 8-bit code page (GBK), and a save writes a
// temporary file that replaces the target only once it is complete.

// What a save or load tells the user.
struct TableFileMessage {
    enum Kind {
        Information, // a plain box titled with the application's title
        Error        // title "Error", error icon
    };
    Kind kind = Information;
    QString text;
    // What went wrong, for a reader who can act on it ("FILE: line 3: Time is not a time of
    // day"); the window shows `text` only.
    QString detail;
};
using TableFileMessageSink = std::function<void(const TableFileMessage&)>;

// The titles that the grid gives the six fields; the header line of a text file.
QStringList tableFileHeader();

// True when the file name's extension (from the last dot of the last path component) is ".xml".
bool isXmlTableFile(const QString& fileName);

// The system's long time format, without a time zone (a table holds local times of day only).
QString longTimeFormat();
// Formats times of day in that format; quick for the common 24-hour "HH:mm:ss". Keep one for
// many times: looking up the locale's format is the slow part.
class TimeTextFormatter {
public:
    TimeTextFormatter();
    void append(QString& out, int msOfDay) const;
    QString text(int msOfDay) const;
    // The format is the 24-hour "HH:mm:ss".
    bool isPlain() const { return plain_; }
    // A time in that format: eight characters, whatever the locale's format.
    static constexpr int kPlainSize = 8;
    static void plainText(int msOfDay, char (&out)[kPlainSize]) {
        const int s = msOfDay / 1000;
        const int parts[3] = {s / 3600, s / 60 % 60, s % 60};
        for (int i = 0; i < 3; ++i) {
            out[i * 3] = char('0' + parts[i] / 10 % 10);
            out[i * 3 + 1] = char('0' + parts[i] % 10);
            if (i < 2)
                out[i * 3 + 2] = ':';
        }
    }

private:
    QString format_;
    bool plain_;
};

// A time of day in that format, and back; back also takes the short format. False on other text.
QString timeText(int msOfDay);
bool parseTimeText(const QString& text, int* msOfDay);

// One row as a line of tab-separated text, without its line end, appended to `out`.
void appendTextRow(QString& out, const ReadingTable& table, int row,
                   const TimeTextFormatter& times);

// Splits `Text` at every `Delimiter` into `Dest`: always at least one cell, empty cells kept.
void SplitText(const QString& Text, QChar Delimiter, QStringList& Dest);

// Writes the table to the file, then tells the sink the outcome. Returns true when written.
bool SaveTableFile(const ReadingTable& table, const QString& fileName,
                   const TableFileMessageSink& tell);
// Reads the file into the table (text: after the rows there; XML: in their place), emptying
// it first when `emptyFirst`. Every failure ends in "Failed to Load File!"; rows from the lines
// before the failure stay, and after a failed XML load the table is empty.
bool LoadTableFile(const QString& fileName, ReadingTable& table, bool emptyFirst,
                   const TableFileMessageSink& tell);

// The formats themselves, without messages; *error says what went wrong.
bool saveTextTable(const ReadingTable& table, const QString& fileName, QString* error);
bool saveXmlTable(const ReadingTable& table, const QString& fileName, QString* error);
enum class TextLoad {
    AllLines,
    WholeLinesOnly // a last line without its line end is left out: its writer was cut off
};
bool loadTextTable(const QString& fileName, ReadingTable& table, QString* error,
                   TextLoad how = TextLoad::AllLines);
bool loadXmlTable(const QString& fileName, ReadingTable& table, QString* error);

// A tab-separated table file that grows a line at a time as rows are recorded: the header first
// when the file is new or empty, then one line a row, each written whole with a single write so
// that a program killed between two rows leaves only whole lines behind.
class TextTableAppender {
public:
    TextTableAppender();
    ~TextTableAppender();
    TextTableAppender(const TextTableAppender&) = delete;
    TextTableAppender& operator=(const TextTableAppender&) = delete;

    // Opens `fileName` for appending, creating it (and its folder entry on the disk). A file
    // whose last line has no line end gets one first, so that the rows start on lines of their
    // own.
    bool open(const QString& fileName, QString* error);
    bool isOpen() const;
    // Takes the file's exclusive lock without waiting; false with *error when another program
    // holds it. The lock goes with the file's closing, or with the program however it ends.
    bool tryLock(QString* error);
    void close();

    // Appends row `row` of `table`; false with *error when the line could not be written whole.
    bool append(const ReadingTable& table, int row, QString* error);
    // Returns once everything written so far is on the disk.
    bool sync(QString* error);
    // The text of the line last appended, without its line end.
    const QString& lastLine() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};
