#pragma once

#include "record/reading_table.h"
#include "record/table_files.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QString>
#include <QTimer>

#include <functional>

// The folder that holds the journals: $XDG_STATE_HOME/z4072 when XDG_STATE_HOME is an absolute
// path, else ~/.local/state/z4072.
QString journalFolder();

// A copy on disk of every row recorded while the program runs, so that a crash, a kill or a
// power cut loses none of them. It is a tab-separated table file (any tool opens it), each line
// with a seventh cell for the instant the row was recorded so that restored rows know their day,
// named
// journal-<date>-<time>-<process>.txt, made at the first row and grown a whole line a row; each
// line reaches the system at once (a killed program loses nothing) and the disk at most a
// second later (a power cut loses at most that second). Deleting rows from the table leaves it
// alone. The program holds a lock on it while it runs, so that another one never takes it for
// the journal of a program that ended abnormally; when the program ends normally it is removed.
class RecordJournal {
public:
    static constexpr int kDefaultSyncDelayMs = 1000;
    using FailureSink = std::function<void(const QString& line)>;

    explicit RecordJournal(QString folder = journalFolder());
    ~RecordJournal();
    RecordJournal(const RecordJournal&) = delete;
    RecordJournal& operator=(const RecordJournal&) = delete;

    // Keeps row `row` of `table`. When the journal cannot be made or written, the sink is told
    // once and the journal stays off for the rest of the run; recording goes on without it.
    void append(const ReadingTable& table, int row);
    // The program ends normally: the journal goes.
    void discard();

    // How long a written row may wait before it is forced to the disk; 0: at once.
    void setSyncDelay(int ms) { syncDelayMs_ = ms; }
    void setFailureSink(FailureSink sink) { sink_ = std::move(sink); }

    const QString& folder() const { return folder_; }
    // The journal's file, empty before the first row.
    const QString& path() const { return path_; }
    bool failed() const { return failed_; }
    qint64 rows() const { return rows_; }

    // Whether a file name is that of a journal, and when that journal's first row came.
    static bool isJournalName(const QString& fileName);
    static QDateTime startOf(const QString& fileName);

private:
    bool create(QString* error);
    void sync();
    void fail(const QString& why);

    QString folder_;
    QString path_;
    TextTableAppender file_;
    QTimer syncTimer_;
    QElapsedTimer sinceSync_;
    int syncDelayMs_ = kDefaultSyncDelayMs;
    bool unsynced_ = false;
    bool failed_ = false;
    qint64 rows_ = 0;
    FailureSink sink_;
};

// Makes `path` and any missing folder above it, open to the user alone; true when it is a folder
// afterwards, else *error names the folder that could not be made and why.
bool makePrivateFolder(const QString& path, QString* error);
