#include "link/cable_connection.h"

#include <QtDebug>

#include <utility>

const QString CableConnection::kCableName = QStringLiteral("USB to Serial");
const QString CableConnection::kNoCableMessage =
    QStringLiteral("USB interface cable is not securely connected, please check and re-try.");
const QString CableConnection::kSilentMeterMessage = QStringLiteral(
    "USB interface cable is securely connected, please check if the meter is ready.");
const QString CableConnection::kCableUnpluggedMessage =
    QStringLiteral("The USB interface cable was unplugged. The readings recorded so far are kept.");

namespace {

QString hex4(quint16 v) {
    return QStringLiteral("%1").arg(v, 4, 16, QLatin1Char('0')).toUpper();
}
} // namespace

void TDevListBox::DestroyAll(const TJvHidDevice* keep) {
    // Taken out first: destroying an object may run handlers that look at the list.
    std::vector<Row> rows = std::move(rows_);
    rows_.clear();
    ItemIndex = -1;
    for (Row& r : rows)
        if (r.object != keep)
            delete r.object;
}

CableConnection::CableConnection() {
    // One handler object for the whole run, so that the device sees the same handler at every
    // connect.
    read380Event_ = [this](TJvHidDevice* HidDev, quint8 ReportID, const quint8* Data,
                           quint16 Size) {
        TJvHidDevice* outer = std::exchange(handling_, HidDev);
        if (read380_)
            read380_(ReportID, Data, Size);
        handling_ = outer;
    };
}

CableConnection::~CableConnection() {
    detach();
}

void CableConnection::attach(TJvHidDeviceController* HidCtl) {
    ctl_ = HidCtl;
    HidCtl->SetOnArrival([this](TJvHidDevice* d) { HidCtlArrival(d); });
    HidCtl->SetOnEnumerate([this](TJvHidDevice* d, int i) { return HidCtlEnumerate(d, i); });
    HidCtl->SetOnDeviceChange([this](QObject* sender) { HidCtlDeviceChange(sender); });
    HidCtl->SetOnDeviceDataError(
        [this](TJvHidDevice* d, quint32 error) { HidCtlDeviceDataError(d, error); });
    HidCtl->SetOnRemoval([this](TJvHidDevice* d) { HidCtlRemoval(d); });
}

void CableConnection::detach() {
    if (TJvHidDeviceController* c = ctl_) {
        ctl_ = nullptr;
        c->SetOnArrival(nullptr);
        c->SetOnEnumerate(nullptr);
        c->SetOnRemoval(nullptr);
        c->SetOnDeviceDataError(nullptr);
        c->SetOnDeviceChange(nullptr);
    }
    // With the controller gone the objects are no longer listed anywhere and simply go.
    CurDevice = nullptr;
    reading_ = nullptr;
    keeping_ = nullptr;
    DevListBox.DestroyAll();
}

// ---- the controller's events ---------------------------------------------------------------

void CableConnection::HidCtlDeviceChange(QObject* /*Sender*/) {
    // The connection outlives the rebuild while its cable is there: the connected device object
    // stays lent and its reader reads on, so another device coming or going costs no report.
    // A cable that is gone ends the connection, and the user hears of it.
    bool cableLost = USBCon && (!reading_ || !reading_->PluggedIn());
    if (cableLost)
        endConnection();
    keeping_ = USBCon ? reading_ : nullptr;
    if (!keeping_)
        ReadBtnClick();
    DevListBox.DestroyAll(keeping_);
    CurDevice = nullptr;
    if (ctl_)
        ctl_->EnumerateDevices();
    TJvHidDevice* kept = std::exchange(keeping_, nullptr);
    for (int i = 0; i < DevListBox.Count(); ++i)
        if (kept ? DevListBox.Object(i) == kept : DevListBox.Text(i) == kCableName)
            DevListBox.ItemIndex = i;
    if (kept && DevListBox.Selected() != kept) {
        // Not listed again, so no row owns it: let it go, and the connection with it.
        endConnection();
        delete kept;
        kept = nullptr;
        cableLost = true;
        for (int i = 0; i < DevListBox.Count(); ++i)
            if (DevListBox.Text(i) == kCableName)
                DevListBox.ItemIndex = i;
    }
    CurDevice = kept;
    if (cableLost) {
        showMessage(kCableUnpluggedMessage);
        tellEnd(EndReason::CableUnplugged);
    }
}

bool CableConnection::HidCtlEnumerate(TJvHidDevice* HidDev, int Idx) {
    QString name = DeviceName(HidDev);
    TJvHidDevice* lent = nullptr;
    if (HidDev == keeping_ && HidDev->CheckedOut())
        lent = HidDev; // the connected cable: still lent, its row takes it again
    else if (ctl_)
        ctl_->CheckOutAt(Idx, lent);
    DevListBox.Add(std::move(name), lent);
    return true;
}

void CableConnection::HidCtlArrival(TJvHidDevice* HidDev) {
    addEvent(QStringLiteral("Arrival of ") + DeviceName(HidDev));
}

void CableConnection::HidCtlRemoval(TJvHidDevice* HidDev) {
    addEvent(QStringLiteral("Removal of ") + DeviceName(HidDev));
}

void CableConnection::HidCtlDeviceDataError(TJvHidDevice* /*HidDev*/, quint32 Error) {
    addEvent(QStringLiteral("READ ERROR: %1 (%2)")
                 .arg(systemMessage(Error), QString::number(Error, 16).toUpper()));
}

void CableConnection::addEvent(const QString& line) {
    HistoryListBox.Add(line);
    if (eventSeen_)
        eventSeen_(line);
}

QString CableConnection::systemMessage(quint32 code) const {
    QString text = ctl_ ? ctl_->platform().errorText(code) : systemErrorText(code);
    qsizetype n = text.size();
    while (n > 0 && (text[n - 1] == u' ' || text[n - 1] == u'\r' || text[n - 1] == u'\n' ||
                     text[n - 1] == u'.'))
        --n;
    text.truncate(n);
    return text;
}

// ---- the window's side ---------------------------------------------------------------------

QString CableConnection::DeviceName(TJvHidDevice* HidDev) {
    QString name = HidDev->ProductText();
    if (name.isEmpty())
        name = QStringLiteral("Device VID=") + hex4(HidDev->VendorID()) + QStringLiteral(" PID=") +
               hex4(HidDev->ProductID());
    const QString serial = HidDev->SerialText();
    if (!serial.isEmpty())
        name += QStringLiteral(" (Serial=") + serial + QLatin1Char(')');
    return name;
}

void CableConnection::toggle() {
    if (state_ == State::MeterSilent)
        setState(State::Disconnected);
    USBConClick();
}

void CableConnection::USBConClick() {
    const bool was = USBCon && reading_;
    USBCon = !USBCon;
    ReadBtnClick();
    SetFeatureClick();
    resetIdleReports();
    CurDevice = DevListBox.Selected();
    if (CurDevice) {
        if (!CurDevice->CanReadWrite()) {
            USBCon = false;
            // Without this line a cable the user may not open would fail without a word.
            if (const quint32 e = CurDevice->OpenError()) {
                const QString line = QStringLiteral("OPEN ERROR: %1 (%2)")
                                         .arg(systemMessage(e), QString::number(e, 16).toUpper());
                HistoryListBox.Add(line);
                qWarning().noquote() << DeviceName(CurDevice) + QStringLiteral(": ") + line;
            }
        } else if (USBCon) {
            CurDevice->SetDataHandler(read380Event_);
            reading_ = CurDevice;
        } else {
            CurDevice->SetDataHandler(nullptr);
            if (reading_ == CurDevice)
                reading_ = nullptr;
        }
    } else if (DevListBox.ItemIndex >= 0) {
        // A row whose device could not be lent cannot be connected.
        USBCon = false;
    }
    setState(USBCon ? State::Connected : State::Disconnected);
    if (was && !USBCon)
        tellEnd(EndReason::Disconnected);
}

void CableConnection::ReadBtnClick() {
    CurDevice = DevListBox.Selected();
    if (!CurDevice || !CurDevice->CanReadWrite())
        return;
    CurDevice->SetDataHandler(nullptr);
    if (reading_ == CurDevice)
        reading_ = nullptr;
}

void CableConnection::SetFeatureClick() {
    CurDevice = nullptr;
    if (DevListBox.Count() == 0 || DevListBox.ItemIndex < 0) {
        showMessage(kNoCableMessage);
        USBCon = false;
        return;
    }
    CurDevice = DevListBox.Selected();
    if (CurDevice)
        CurDevice->SendFeature(kFeatureReport.data(), int(kFeatureReport.size()));
    QString line;
    for (size_t i = 1; i < kFeatureReport.size(); ++i)
        line += QStringLiteral("%1 ").arg(kFeatureReport[i], 2, 16, QLatin1Char('0')).toUpper();
    HistoryListBox.Add(line);
}

void CableConnection::ConTimerTimer() {
    if (ConTickCount != 2) {
        ++ConTickCount;
        return;
    }
    if (idleReports() >= kSilentReports) {
        resetIdleReports();
        USBCon = false;
        stopReading();
        if (CurDevice)
            CurDevice->SetDataHandler(nullptr);
        showMessage(kSilentMeterMessage);
        if (state_ == State::Connected) {
            setState(State::MeterSilent);
            tellEnd(EndReason::MeterSilent);
        }
    }
    ConTickCount = 0;
    if (watched_)
        watched_();
}

void CableConnection::holdReader(int ms) {
    if (handling_)
        handling_->HoldReader(ms);
}

void CableConnection::stopReading() {
    if (TJvHidDevice* d = std::exchange(reading_, nullptr))
        d->SetDataHandler(nullptr); // joins the reader; a report it already read is handled
}

void CableConnection::endConnection() {
    stopReading();
    USBCon = false;
    resetIdleReports();
    setState(State::Disconnected);
}

void CableConnection::setState(State state) {
    if (state == state_)
        return;
    state_ = state;
    if (stateChanged_)
        stateChanged_();
}

void CableConnection::showMessage(const QString& text) {
    if (message_)
        message_(text);
}
