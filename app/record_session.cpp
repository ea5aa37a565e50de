#include "app/record_session.h"

#include "record/journal_recovery.h"

#include <QEventLoop>
#include <QSaveFile>

#include <cstdio>

RecordSession::RecordSession(std::shared_ptr<HidPlatform> platform, RecordOptions options,
                             const QString& journalFolder)
    : options_(std::move(options)), cable_(s_, replica_), journal_(journalFolder) {
    chain_ = std::make_unique<ReadingChain>(s_, replica_, table_);
    chain_->apply(options_.settings);
    chain_->addRowListener([this](const ReadingTable& table, int row) { rowRecorded(table, row); });
    // The reader waits out the pause after each frame, as in the window.
    chain_->interpreter().setPause([this](int ms) { cable_.holdReader(ms); });
    cable_.setReportHandler(
        [this](quint8 id, const quint8* data, quint16 size) { chain_->Read380(id, data, size); });
    // The window's message boxes: here each ends the recording (the silence watch, a cable
    // pulled out). Another device coming or going does not touch the connection.
    cable_.setMessageBox([this](const QString& text) {
        if (ending_)
            return;
        say(text);
        end(1);
    });
    cable_.setEventObserver([this](const QString& line) { say(line); });
    journal_.setFailureSink([this](const QString& line) { say(line); });
    setOutput({}, {});

    hidCtl_ = new TJvHidDeviceController(this, std::move(platform));
    cable_.attach(hidCtl_);

    conTimer_.setInterval(100);
    connect(&conTimer_, &QTimer::timeout, this, [this] { cable_.ConTimerTimer(); });
    sampTimer_.setInterval(1000);
    connect(&sampTimer_, &QTimer::timeout, this,
            [this] { chain_->recorder().SampInterTimeTimer(); });
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
    // The controller goes first: it stops the cable's reader while the chain is still whole.
    delete hidCtl_;
    hidCtl_ = nullptr;
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
    const QStringList left = orphanJournals(journal_.folder());
    if (!left.isEmpty())
        say(QStringLiteral("Readings of a run that did not end normally are kept in %1; "
                           "the window offers to restore them.")
                .arg(left.join(QStringLiteral(", "))));
    cable_.Panel2Click();
    if (!ending_ && !cable_.USBCon) // the refusal is already on stderr
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
    conTimer_.start();
    sampTimer_.start();
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
    journal_.append(table, row);
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
    if (s_.RecordNo > s_.MaxRecords)
        say(QStringLiteral("The record limit of %1 readings is reached: later readings are not "
                           "recorded.")
                .arg(s_.MaxRecords));
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
    conTimer_.stop();
    sampTimer_.stop();
    durationTimer_.stop();
    if (cable_.USBCon && cable_.DevListBox.Selected())
        cable_.Panel2Click(); // disconnect: the reader stops, the cable hears the feature report
    if (recording_ && !completeOut()) {
        exitCode_ = 1;
        say(QStringLiteral("The readings are kept in ") +
            (journal_.path().isEmpty() ? QStringLiteral("no journal") : journal_.path()));
    } else {
        journal_.discard();
    }
    recording_ = false;
    Q_EMIT finished(exitCode_);
}
