#include "app/record_session.h"

#include "record/journal_recovery.h"

#include <QEventLoop>
#include <QSaveFile>

#include <cstdio>

RecordSession::RecordSession(std::shared_ptr<HidPlatform> platform, RecordOptions options,
                             const QString& journalFolder)
    : options_(std::move(options)), session_(std::move(platform), table_) {
    session_.chain().apply(options_.settings);
    session_.keepJournal(journalFolder);
    connect(&session_, &MeterSession::rowRecorded, this,
            [this](int row) { rowRecorded(table_, row); });
    // The window's message boxes: here each goes to stderr, and the ends it tells of (the
    // silence watch, a cable pulled out) end the recording. Another device coming or going does
    // not touch the connection.
    connect(&session_, &MeterSession::message, this, [this](const QString& text) {
        if (!ending_)
            say(text);
    });
    connect(&session_, &MeterSession::ended, this, [this](CableConnection::EndReason why) {
        if (why != CableConnection::EndReason::Disconnected)
            end(1);
    });
    connect(&session_, &MeterSession::historyLine, this,
            [this](const QString& line) { say(line); });
    setOutput({}, {});

    durationTimer_.setSingleShot(true);
    durationTimer_.setTimerType(Qt::PreciseTimer);
    connect(&durationTimer_, &QTimer::timeout, this, [this] {
        if (deadline_.hasExpired())
            end(0);
        else // a long duration is waited out a day at a time
            durationTimer_.start(int(std::min<qint64>(deadline_.remainingTime(), 86'400'000)));
    });
}

RecordSession::~RecordSession() {
    // The readers stop while everything they hand reports to is whole.
    session_.closeController();
}

void RecordSession::setOutput(LineSink rows, LineSink messages) {
    rows_ = rows ? std::move(rows) : [](const QString& line) {
        std::fprintf(stdout, "%s\n", line.toLocal8Bit().constData());
        std::fflush(stdout);
    };
    messages_ = messages ? std::move(messages) : [](const QString& line) {
        std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    };
}

void RecordSession::say(const QString& line) {
    messages_(line);
}

bool RecordSession::start() {
    const QStringList left = orphanJournals(session_.journal()->folder());
    if (!left.isEmpty())
        say(QStringLiteral("Readings of a run that did not end normally are kept in %1; "
                           "the window offers to restore them.")
                .arg(left.join(QStringLiteral(", "))));
    if (!session_.connectCable() && !ending_) // the refusal is already on stderr
        end(1);
    if (!ending_ && !openOut()) {
        outFailed_ = true;
        end(1);
    }
    if (ending_) {
        finish();
        return false;
    }
    recording_ = true;
    session_.startTimers();
    if (options_.durationMs > 0) {
        deadline_.setRemainingTime(options_.durationMs, Qt::PreciseTimer);
        durationTimer_.start(int(std::min<qint64>(options_.durationMs, 86'400'000)));
    }
    return true;
}

int RecordSession::exec() {
    if (!start())
        return exitCode_;
    QEventLoop loop;
    connect(this, &RecordSession::finished, &loop, &QEventLoop::quit);
    if (!done_)
        loop.exec();
    return exitCode_;
}

bool RecordSession::openOut() {
    QString error;
    if (isXmlTableFile(options_.out)) {
        // Written whole at the end; whether it can be is known now.
        QSaveFile probe(options_.out);
        if (probe.open(QIODevice::WriteOnly)) {
            probe.cancelWriting();
            return true;
        }
        error = probe.errorString();
    } else if (tsv_.open(options_.out, &error)) {
        return true;
    }
    say(QStringLiteral("Could not save table to specified file: ") + options_.out);
    say(error);
    return false;
}

void RecordSession::rowRecorded(const ReadingTable& table, int row) {
    QString error;
    if (tsv_.isOpen()) {
        // Each line is on the disk before the next is recorded.
        if (!tsv_.append(table, row, &error) || !tsv_.sync(&error)) {
            say(QStringLiteral("Could not save table to specified file: ") + options_.out);
            say(error);
            tsv_.close();
            outFailed_ = true;
            end(1);
        }
        line_ = tsv_.lastLine();
    } else {
        line_.clear();
        appendTextRow(line_, table, row, times_);
    }
    rows_(line_);
    const Recorder& recorder = session_.recorder();
    if (recorder.RecordNo > recorder.MaxRecords)
        say(QStringLiteral("The record limit of %1 readings is reached: later readings are not "
                           "recorded.")
                .arg(recorder.MaxRecords));
}

void RecordSession::end(int code) {
    if (ending_)
        return;
    ending_ = true;
    exitCode_ = code;
    QMetaObject::invokeMethod(this, &RecordSession::finish, Qt::QueuedConnection);
}

bool RecordSession::completeOut() {
    if (outFailed_)
        return false;
    if (!isXmlTableFile(options_.out)) {
        tsv_.close();
        return true;
    }
    QString error;
    if (saveXmlTable(table_, options_.out, &error))
        return true;
    say(error);
    return false;
}

void RecordSession::finish() {
    if (done_)
        return;
    ending_ = true;
    done_ = true;
    session_.stopTimers();
    durationTimer_.stop();
    if (session_.isConnected() && session_.cable().DevListBox.Selected())
        session_.disconnectCable(); // the reader stops, the cable hears the feature report
    if (recording_ && !completeOut()) {
        exitCode_ = 1;
        const QString kept = session_.journal()->path();
        say(QStringLiteral("The readings are kept in ") +
            (kept.isEmpty() ? QStringLiteral("no journal") : kept));
    } else {
        session_.discardJournal();
    }
    recording_ = false;
    Q_EMIT finished(exitCode_);
}
