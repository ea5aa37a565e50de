#include "session/meter_session.h"

MeterSession::MeterSession(std::shared_ptr<HidPlatform> platform, ReadingTable& table,
                           QObject* parent)
    : QObject(parent), chain_(table), conOk_(ReplicaState::idOf(u"CONok")),
      conOkN_(ReplicaState::idOf(u"CONokN")), rsUsb_(ReplicaState::idOf(u"rsUSB")) {
    cable_.setIdleCounter([this] { return chain_.IdleReportCount(); },
                          [this] { chain_.resetIdleReportCount(); });
    cable_.setReportHandler(
        [this](quint8 id, const quint8* data, quint16 size) { chain_.Read380(id, data, size); });
    // The cable's reader waits out the pause after each frame; the main thread does not.
    chain_.setPause([this](int ms) { cable_.holdReader(ms); });
    chain_.setFrameListener([this](const FrameReading&) { showLink(true); });
    chain_.addRowListener([this](const ReadingTable& t, int row) {
        if (journal_)
            journal_->append(t, row);
        Q_EMIT rowRecorded(row);
    });
    cable_.setMessageBox([this](const QString& text) { Q_EMIT message(text); });
    cable_.setEventObserver([this](const QString& line) { Q_EMIT historyLine(line); });
    cable_.setStateObserver([this] {
        Q_EMIT stateChanged();
        if (cable_.state() == CableConnection::State::Connected)
            Q_EMIT connected();
    });
    cable_.setEndObserver([this](EndReason why) { Q_EMIT ended(why); });
    cable_.setWatchObserver([this] { showLink(false); });

    controller_ = new TJvHidDeviceController(this, std::move(platform));
    cable_.attach(controller_);

    conTimer_.setObjectName(QStringLiteral("ConTimer"));
    conTimer_.setInterval(100);
    connect(&conTimer_, &QTimer::timeout, this, &MeterSession::ConTimerTimer);
    sampTimer_.setObjectName(QStringLiteral("SampInterTime"));
    sampTimer_.setInterval(1000);
    connect(&sampTimer_, &QTimer::timeout, this, &MeterSession::SampInterTimeTimer);
}

MeterSession::~MeterSession() {
    // The controller goes first: it stops the cable's reader while the chain is still whole.
    cable_.setStateObserver(nullptr);
    cable_.setEndObserver(nullptr);
    cable_.setMessageBox(nullptr);
    cable_.setEventObserver(nullptr);
    closeController();
}

void MeterSession::closeController() {
    stopTimers();
    delete std::exchange(controller_, nullptr);
}

bool MeterSession::connectCable() {
    if (!cable_.USBCon)
        cable_.toggle();
    return cable_.USBCon;
}

void MeterSession::disconnectCable() {
    if (cable_.USBCon)
        cable_.toggle();
}

void MeterSession::toggle() {
    cable_.toggle();
}

void MeterSession::ConTimerTimer() {
    cable_.ConTimerTimer();
}

void MeterSession::showLink(bool alive) {
    // The link icon is lit by each frame and put out each time the silence watch looks.
    display().setVisible(conOk_, alive);
    display().setVisible(conOkN_, !alive);
    if (alive)
        display().show(rsUsb_);
}

void MeterSession::startTimers() {
    conTimer_.start();
    sampTimer_.start();
}

void MeterSession::stopTimers() {
    conTimer_.stop();
    sampTimer_.stop();
}

void MeterSession::keepJournal(const QString& folder) {
    journal_ = std::make_unique<RecordJournal>(folder);
    journal_->setFailureSink([this](const QString& line) {
        cable_.HistoryListBox.Add(line);
        Q_EMIT historyLine(line);
        Q_EMIT journalFailed(line);
    });
}

void MeterSession::discardJournal() {
    if (journal_)
        journal_->discard();
}
