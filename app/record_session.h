#pragma once

#include "app/stop_signals.h" // for those who run a session until they are told to stop
#include "record/reading_chain.h"
#include "record/reading_table.h"
#include "record/table_files.h"
#include "session/meter_session.h"

#include <QDeadlineTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

class HidPlatform;

// What `z4072 record` is asked to do.
struct RecordOptions {
    QString out; // ".xml": written whole at the end; else tab-separated, grown a row at a time
    RecordingSettings settings; // as the window's recording controls would hold them
    qint64 durationMs = 0;      // 0: until stopped
};

// Recording without a window: connects to the cable as the window's CONNECT does, runs the
// reports through the same reading chain with the same recording rules on the wall clock, and
// writes each recorded row to OUT, to the journal and to stdout as it comes. It ends when told
// to stop (exit status 0), after the duration (0), or with status 1 when the cable cannot be
// connected, is unplugged, or the silence watch gives up, or OUT cannot be written.
class RecordSession : public QObject {
    Q_OBJECT
public:
    using LineSink = std::function<void(const QString& line)>;

    RecordSession(std::shared_ptr<HidPlatform> platform, RecordOptions options,
                  const QString& journalFolder);
    ~RecordSession() override;

    // Where rows and messages go: stdout and stderr unless set.
    void setOutput(LineSink rows, LineSink messages);
    // Connects and starts recording; false when it ended at once (see exitCode()).
    bool start();
    // Ends cleanly, soon after the call: disconnects, completes OUT, removes the journal (when
    // OUT holds every row).
    void stop() { end(0); }
    bool done() const { return done_; }
    int exitCode() const { return exitCode_; }
    // start(), then the event loop until the session ends; the exit status.
    int exec();

    MeterSession& session() { return session_; }
    ReadingChain& chain() { return session_.chain(); }
    CableConnection& cable() { return session_.cable(); }
    ReadingTable& table() { return table_; }
    RecordJournal& journal() { return *session_.journal(); }
    QTimer& conTimer() { return session_.conTimer(); }

Q_SIGNALS:
    void finished(int exitCode);

private:
    void rowRecorded(const ReadingTable& table, int row);
    bool openOut();
    bool completeOut();
    // Asks for the end with `code`, taken soon after (never inside a report's hand-off).
    void end(int code);
    void finish();
    void say(const QString& line);

    RecordOptions options_;
    ReadingTable table_;
    MeterSession session_;
    TextTableAppender tsv_;
    TimeTextFormatter times_;
    QString line_;
    QTimer durationTimer_;
    QDeadlineTimer deadline_;
    LineSink rows_, messages_;
    bool recording_ = false;
    bool ending_ = false;
    bool outFailed_ = false;
    bool done_ = false;
    int exitCode_ = 0;
};
