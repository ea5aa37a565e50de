#pragma once

#include "sim/meter_display.h"
#include "tests/test_app.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QStringList>

#include <signal.h>

// `z4072 record ...` as a child process in the C locale, its journals in `stateHome`/z4072.
class RecordProcess {
public:
    RecordProcess(const QString& stateHome, const QStringList& args) {
        app();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("LC_ALL", "C");
        env.insert("LANG", "C");
        env.insert("XDG_STATE_HOME", stateHome);
        p_.setProcessEnvironment(env);
        p_.start(QStringLiteral(Z4072_EXE), QStringList{QStringLiteral("record")} + args);
    }
    ~RecordProcess() {
        if (p_.state() != QProcess::NotRunning) {
            p_.kill();
            p_.waitForFinished(10'000);
        }
    }

    // Waits until `n` rows have come on stdout; false when the program ended or 60 s passed.
    bool waitForRows(int n) {
        QDeadlineTimer deadline(60'000);
        while (take(), rows_.size() < n) {
            if (p_.state() == QProcess::NotRunning || deadline.hasExpired())
                return false;
            p_.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
        }
        return true;
    }
    void signal(int sig) { ::kill(pid_t(p_.processId()), sig); }
    // The exit status once it has ended by itself; -1 when it did not within 60 s or crashed.
    int finish() {
        if (!p_.waitForFinished(60'000) || p_.exitStatus() != QProcess::NormalExit) {
            take();
            return -1;
        }
        take();
        return p_.exitCode();
    }
    // The rows printed so far, one line each, and what went to stderr.
    const QStringList& rows() const { return rows_; }
    const QString& err() const { return err_; }

private:
    void take() {
        out_ += p_.readAllStandardOutput();
        err_ += QString::fromLocal8Bit(p_.readAllStandardError());
        qsizetype nl;
        while ((nl = out_.indexOf('\n')) >= 0) {
            rows_ << QString::fromLocal8Bit(out_.left(nl));
            out_.remove(0, nl + 1);
        }
    }

    QProcess p_;
    QByteArray out_;
    QStringList rows_;
    QString err_;
};

// A capture that plays the meter showing each of `values` in turn, a second apart.
inline QByteArray captureOf(const QList<const char*>& values) {
    QByteArray out;
    double t = 0.2;
    for (const char* v : values) {
        const auto display = sim::MeterDisplay::insulation(v, u"M\u03A9", 1000);
        std::vector<QByteArray> reports = sim::cableReports(sim::frameBytes(display));
        reports.push_back(sim::idleReport());
        for (const QByteArray& r : reports) {
            out += QByteArray::number(t, 'f', 3) + " 00";
            for (char b : r)
                out += ' ' + QByteArray::number(quint8(b), 16).rightJustified(2, '0').toUpper();
            out += '\n';
            t += 0.008;
        }
        t += 1.0;
    }
    return out;
}
