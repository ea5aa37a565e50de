#pragma once

#include "link/hid/hid_device_controller.h"

#include <QPointer>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <vector>

// The never-shown list of HID devices: one row per plugged-in device, in the controller's order.
// Each row owns the device object that was checked out for it, until the next rebuild.
class TDevListBox {
public:
    struct Row {
        QString text;
        TJvHidDevice* object = nullptr;
    };

    int Count() const { return int(rows_.size()); }
    const QString& Text(int i) const { return rows_[size_t(i)].text; }
    TJvHidDevice* Object(int i) const { return rows_[size_t(i)].object; }
    void Add(QString text, TJvHidDevice* object) { rows_.push_back({std::move(text), object}); }
    // Destroys the rows' device objects (first row to last), which gives them back to the
    // controller, then removes the rows. `keep`, if a row holds it, stays checked out: its new
    // row takes it again.
    void DestroyAll(const TJvHidDevice* keep = nullptr);

    // The selected row, -1 for none.
    int ItemIndex = -1;
    // The selected row's device object; null when no row is selected.
    TJvHidDevice* Selected() const {
        return ItemIndex >= 0 && ItemIndex < Count() ? Object(ItemIndex) : nullptr;
    }

private:
    std::vector<Row> rows_;
};

// The never-shown event history: lines are appended, the newest is selected, none is removed.
class THistoryListBox {
public:
    void Add(const QString& line) {
        Items.append(line);
        ItemIndex = int(Items.size()) - 1;
    }
    int Count() const { return int(Items.size()); }

    QStringList Items;
    int ItemIndex = -1;
};

// The link to the meter's cable: keeps the list of HID devices that the controller reports,
// picks the "USB to Serial" cable from it, runs the connect/disconnect cycle (feature report,
// frame handler attached to the cable's reports) and watches for a meter that stopped sending.
// It says what happened (its state, messages, history lines); what the window shows of it is
// the window's. Everything here runs on the main thread.
class CableConnection {
public:
    // Connected: the cable's reports are read. MeterSilent: not connected, because the silence
    // watch gave up (until the next connect or disconnect).
    enum class State { Disconnected, Connected, MeterSilent };
    // Why a connection ended: asked for, the meter fell silent, the cable was pulled out.
    enum class EndReason { Disconnected, MeterSilent, CableUnplugged };
    using ReportFn = std::function<void(quint8 reportId, const quint8* data, quint16 size)>;
    using MessageFn = std::function<void(const QString& text)>;
    using PanelFn = std::function<void()>;

    static constexpr std::array<quint8, 10> kFeatureReport{0x00, 0x60, 0x09, 0x00, 0x00,
                                                           0x03, 0x00, 0x00, 0x00, 0x00};
    // Reports without meter bytes after which the meter counts as silent.
    static constexpr int kSilentReports = 1900;
    static const QString kCableName;
    static const QString kNoCableMessage;
    static const QString kSilentMeterMessage;
    static const QString kCableUnpluggedMessage;

    CableConnection();
    ~CableConnection();
    CableConnection(const CableConnection&) = delete;
    CableConnection& operator=(const CableConnection&) = delete;

    // Where the cable's reports go while connected (the frame reassembly).
    void setReportHandler(ReportFn read380) { read380_ = std::move(read380); }
    // Shows a message with one OK button; modal in the window, recorded in tests.
    void setMessageBox(MessageFn show) { message_ = std::move(show); }
    // Told whenever the state changed.
    void setStateObserver(PanelFn observer) { stateChanged_ = std::move(observer); }
    // Told when a connection ended, once its messages are out.
    void setEndObserver(std::function<void(EndReason)> observer) { ended_ = std::move(observer); }
    // Told each time the silence watch looks (every third tick), after it has.
    void setWatchObserver(PanelFn observer) { watched_ = std::move(observer); }
    // Told each history line of a device event (arrival, removal, read error), as it is added.
    void setEventObserver(MessageFn observer) { eventSeen_ = std::move(observer); }
    // Where the silence watch reads, and restarts, the count of reports without meter bytes
    // (the frame reassembly keeps it).
    void setIdleCounter(std::function<qint32()> count, std::function<void()> reset) {
        idleCount_ = std::move(count);
        resetIdle_ = std::move(reset);
    }

    // The device whose reports go to the frame reassembly; null when not connected.
    TJvHidDevice* ConnectedDevice() const { return reading_; }

    // Attaches the handlers to the controller in the order the window does while it is built;
    // attaching the device-change handler runs the first pass, which fills the device list.
    void attach(TJvHidDeviceController* HidCtl);
    // Lets go of the controller and of the rows' device objects (the window is closing).
    void detach();

    // The controller's events.
    void HidCtlDeviceChange(QObject* Sender);
    bool HidCtlEnumerate(TJvHidDevice* HidDev, int Idx);
    void HidCtlArrival(TJvHidDevice* HidDev);
    void HidCtlRemoval(TJvHidDevice* HidDev);
    void HidCtlDeviceDataError(TJvHidDevice* HidDev, quint32 Error);

    QString DeviceName(TJvHidDevice* HidDev);
    // Connects when not connected, disconnects when connected (the window's CONNECT button).
    void toggle();
    void USBConClick();
    void ReadBtnClick();
    void SetFeatureClick();
    void ConTimerTimer();

    // Called while a report is being handled: the reader that handed it in waits `ms` before
    // it reads the next one; the main thread carries on.
    void holdReader(int ms);

    TDevListBox DevListBox;
    THistoryListBox HistoryListBox;
    TJvHidDevice* CurDevice = nullptr;
    // USBCon's down state: the connection flag.
    bool USBCon = false;
    State state() const { return state_; }
    // Ticks of ConTimer since the silence watch last looked.
    qint32 ConTickCount = 0;

    TJvHidDeviceController* HidCtl() const { return ctl_; }

private:
    void setState(State state);
    void tellEnd(EndReason why) {
        if (ended_)
            ended_(why);
    }
    void stopReading();
    // Ends the connection as DISCONNECT does, without the feature report (the cable is gone).
    void endConnection();
    void addEvent(const QString& line);
    void showMessage(const QString& text);
    QString systemMessage(quint32 code) const;

    qint32 idleReports() const { return idleCount_ ? idleCount_() : 0; }
    void resetIdleReports() {
        if (resetIdle_)
            resetIdle_();
    }

    State state_ = State::Disconnected;
    std::function<qint32()> idleCount_;
    std::function<void()> resetIdle_;
    QPointer<TJvHidDeviceController> ctl_; // empty once the controller is gone
    ReportFn read380_;
    MessageFn message_;
    PanelFn stateChanged_;
    std::function<void(EndReason)> ended_;
    PanelFn watched_;
    MessageFn eventSeen_;
    TJvHidDataEvent read380Event_;
    TJvHidDevice* handling_ = nullptr; // the device whose report is being handled
    TJvHidDevice* reading_ = nullptr;  // the connected device, whose reader runs read380_
    TJvHidDevice* keeping_ = nullptr;  // during a rebuild: the connected device, kept lent
};
