#pragma once

#include "link/cable_connection.h"
#include "link/hid/hid_device_controller.h"
#include "record/journal.h"
#include "record/reading_chain.h"
#include "record/reading_table.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

class HidPlatform;

// One session with the meter: the cable connection over the HID controller, the road from
// report to row, the silence watch, the recording rules and the journal. The window and
// `z4072 record` each hold one and show or print what it says.
class MeterSession : public QObject {
    Q_OBJECT
public:
    using EndReason = CableConnection::EndReason;

    // The session records into `table` (not owned), on `platform`'s devices.
    MeterSession(std::shared_ptr<HidPlatform> platform, ReadingTable& table,
                 QObject* parent = nullptr);
    ~MeterSession() override;

    // Connects to the selected cable; false when it could not be (the reason went to a message
    // or the history).
    bool connectCable();
    void disconnectCable();
    // CONNECT / DISCONNECT, whichever the state asks for.
    void toggle();
    bool isConnected() const { return cable_.USBCon; }
    CableConnection::State state() const { return cable_.state(); }
    // Sends the feature report to the selected cable again.
    void sendFeature() { cable_.SetFeatureClick(); }

    // The steps of the road, for a source of reports other than the cable (tests, tools).
    void Read380(quint8 reportId, const quint8* data, quint16 size) {
        chain_.Read380(reportId, data, size);
    }
    // The silence watch's tick (every 100 ms) and the sampling interval's (every second); the
    // session's own timers run them once started.
    void ConTimerTimer();
    void SampInterTimeTimer() { chain_.recorder().SampInterTimeTimer(); }
    void startTimers();
    void stopTimers();
    // Stops the readers and lets go of the devices: the session records nothing after it.
    void closeController();

    // Keeps every recorded row in a journal in `folder` until discardJournal().
    void keepJournal(const QString& folder);
    RecordJournal* journal() { return journal_.get(); }
    void discardJournal();

    // The cable's device list and history (the window's hidden lists), the controller.
    CableConnection& cable() { return cable_; }
    TJvHidDeviceController* controller() const { return controller_; }
    // The picture of the meter's display, the latest reading, the recording rules.
    ReadingChain& chain() { return chain_; }
    ReplicaState& display() { return chain_.display(); }
    Recorder& recorder() { return chain_.recorder(); }

    QTimer& conTimer() { return conTimer_; }
    QTimer& sampTimer() { return sampTimer_; }

Q_SIGNALS:
    void connected();
    void ended(CableConnection::EndReason why);
    // The state changed (connected, disconnected, the meter fell silent).
    void stateChanged();
    // A row went into the table (and into the journal, when one is kept).
    void rowRecorded(int row);
    // A line added to the history: a device event, a read error, a journal that cannot be kept.
    void historyLine(const QString& line);
    // The journal cannot be kept (said once; recording goes on without it).
    void journalFailed(const QString& line);
    // What the window shows in a box with one OK button.
    void message(const QString& text);

private:
    // The link icon: lit (with the USB label shown) or out.
    void showLink(bool alive);

    ReadingChain chain_;
    CableConnection cable_;
    TJvHidDeviceController* controller_ = nullptr;
    std::unique_ptr<RecordJournal> journal_;
    QTimer conTimer_, sampTimer_;
    int conOk_, conOkN_, rsUsb_;
};
