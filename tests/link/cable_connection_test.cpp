#include "decode/frame_assembler.h"
#include "link/cable_connection.h"
#include "tests/link/hid/hid_test_util.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>
#include <QTimer>

namespace {

const QString kFeatureLine = QStringLiteral("60 09 00 00 03 00 00 00 00 ");

class Cable : public ::testing::Test, public SimFixture {
protected:
    // Builds the controller and the connection as the window does, on what is plugged in now.
    void start() {
        controller = std::make_unique<TJvHidDeviceController>(nullptr, sim);
        link = std::make_unique<CableConnection>();
        link->setWatchObserver([this] { ++watched; });
        link->setIdleCounter([this] { return assembler.IdleReportCount(); },
                             [this] { assembler.resetIdleReportCount(); });
        link->setMessageBox([this](const QString& text) { messages << text; });
        link->setReportHandler([this](quint8 id, const quint8* data, quint16 size) {
            ++reports;
            assembler.Read380(id, data, size);
        });
        link->attach(controller.get());
    }
    void TearDown() override {
        controller.reset();
        link.reset();
        EXPECT_EQ(sim->openHandles(), 0);
    }
    int lines(const QString& text) const { return int(link->HistoryListBox.Items.count(text)); }
    void ticks(int n) {
        for (int i = 0; i < n; ++i)
            link->ConTimerTimer();
    }
    bool connected() const {
        return link->USBCon && link->state() == CableConnection::State::Connected;
    }
    TJvHidDevice* selected() const { return link->DevListBox.Selected(); }
    // Waits, without running the event loop, until `dev`'s reader has handed a report over.
    static void waitForHandOff(TJvHidDevice* dev) {
        QDeadlineTimer deadline(5000);
        while (!dev->HandOffPending() && !deadline.hasExpired())
            QThread::yieldCurrentThread();
        ASSERT_TRUE(dev->HandOffPending());
    }

    SimHidDeviceSpec keyboard() const {
        SimHidDeviceSpec k;
        k.vendorId = 0x1A2B;
        k.productId = 0xC3;
        return k;
    }

    int watched = 0;
    FrameAssembler assembler;
    std::unique_ptr<TJvHidDeviceController> controller;
    std::unique_ptr<CableConnection> link;
    QStringList messages;
    int reports = 0;
    QList<int> seen;
};

TEST_F(Cable, StartUpListsEveryDeviceAndSelectsTheLastExactCableRow) {
    sim->plug(cableSpec(), false);
    sim->plug(keyboard(), false);
    SimHidDeviceSpec numbered = cableSpec();
    numbered.serial = QStringLiteral("A1B2");
    sim->plug(numbered, false);
    sim->plug(cableSpec(), false);
    sim->plug(cableSpec(QStringLiteral("USB to serial")), false);
    start();

    const TDevListBox& rows = link->DevListBox;
    ASSERT_EQ(rows.Count(), 5);
    EXPECT_EQ(rows.Text(0), u"USB to Serial");
    EXPECT_EQ(rows.Text(1), u"Device VID=1A2B PID=00C3");
    EXPECT_EQ(rows.Text(2), u"USB to Serial (Serial=A1B2)");
    EXPECT_EQ(rows.Text(3), u"USB to Serial");
    EXPECT_EQ(rows.ItemIndex, 3);
    for (int i = 0; i < rows.Count(); ++i) {
        ASSERT_NE(rows.Object(i), nullptr);
        EXPECT_TRUE(rows.Object(i)->CheckedOut());
    }
    EXPECT_NE(link->state(), CableConnection::State::Connected);
    EXPECT_FALSE(link->USBCon);
    EXPECT_EQ(link->CurDevice, nullptr);
    EXPECT_EQ(link->HistoryListBox.Count(), 0) << "devices present at start are no arrivals";
}

TEST_F(Cable, ConnectAttachesTheReassemblyAndDisconnectDetachesIt) {
    auto cable = sim->plug(cableSpec(), false);
    start();

    link->toggle();
    EXPECT_TRUE(connected());
    EXPECT_EQ(link->CurDevice, selected());
    ASSERT_TRUE(selected()->ReaderRunning());
    const QByteArray feature(reinterpret_cast<const char*>(CableConnection::kFeatureReport.data()),
                             10);
    ASSERT_EQ(cable->featureReports().size(), 1u);
    EXPECT_EQ(cable->featureReports()[0], feature);
    EXPECT_EQ(link->HistoryListBox.Items, QStringList{kFeatureLine});
    EXPECT_EQ(link->HistoryListBox.ItemIndex, 0);

    cable->pushReport(report({0, 0xF2, 0x11, 0x22, 0, 0, 0, 0, 0}));
    ASSERT_TRUE(runUntil([&] { return reports == 1; }));
    EXPECT_EQ(std::vector<quint8>(assembler.frameBytes().begin(), assembler.frameBytes().end()),
              (std::vector<quint8>{0x11, 0x22}));

    link->toggle();
    EXPECT_FALSE(link->USBCon);
    EXPECT_NE(link->state(), CableConnection::State::Connected);
    EXPECT_FALSE(selected()->ReaderRunning());
    EXPECT_EQ(cable->featureReports().size(), 2u);
    EXPECT_EQ(lines(kFeatureLine), 2);
    EXPECT_TRUE(messages.isEmpty());

    // Not connected: no reader is left to read the cable.
    cable->pushReport(report({0, 0xF0}));
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(reports, 1);
    EXPECT_EQ(cable->queuedReports(), 1);
    EXPECT_EQ(cable->waitingReaders(), 0);
}

TEST_F(Cable, WithoutACableConnectTellsTheUserAndStaysDisconnected) {
    sim->plug(keyboard(), false);
    sim->plug(cableSpec(QStringLiteral("USB to Serial ")), false);
    start();
    ASSERT_EQ(link->DevListBox.ItemIndex, -1);

    link->toggle();
    EXPECT_EQ(messages, QStringList{CableConnection::kNoCableMessage});
    EXPECT_FALSE(link->USBCon);
    EXPECT_NE(link->state(), CableConnection::State::Connected);
    EXPECT_EQ(link->CurDevice, nullptr);
    EXPECT_EQ(link->HistoryListBox.Count(), 0);
}

TEST_F(Cable, ACableThatMayNotBeOpenedForReadingIsTriedAndTheRefusalLogged) {
    SimHidDeviceSpec locked = cableSpec();
    locked.access = SimHidDeviceSpec::Access::QueryOnly;
    auto cable = sim->plug(locked, false);
    start();
    ASSERT_EQ(link->DevListBox.ItemIndex, 0);

    link->toggle();
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_FALSE(link->USBCon);
    EXPECT_NE(link->state(), CableConnection::State::Connected);
    EXPECT_FALSE(selected()->ReaderRunning());
    EXPECT_EQ(link->HistoryListBox.Items,
              (QStringList{kFeatureLine, QStringLiteral("OPEN ERROR: Permission denied (D)")}));
    EXPECT_TRUE(cable->featureReports().empty()) << "a query-only handle sends no feature";
}

TEST_F(Cable, TheSilenceWatchDropsTheLinkAtTheThirdTickAfterTheLimit) {
    auto cable = sim->plug(cableSpec(), false);
    start();
    link->toggle();
    ASSERT_TRUE(connected());

    for (int i = 0; i < CableConnection::kSilentReports - 1; ++i)
        cable->pushReport(report({0, 0xF0}));
    ASSERT_TRUE(runUntil([&] { return reports == CableConnection::kSilentReports - 1; }));
    ticks(3);
    EXPECT_TRUE(connected()) << "1899 idle reports are not silence yet";
    EXPECT_EQ(link->ConTickCount, 0);

    cable->pushReport(report({0, 0xF0}));
    ASSERT_TRUE(runUntil([&] { return reports == CableConnection::kSilentReports; }));
    ticks(2);
    EXPECT_TRUE(messages.isEmpty()) << "only every third tick looks";
    ticks(1);
    EXPECT_EQ(messages, QStringList{CableConnection::kSilentMeterMessage});
    EXPECT_FALSE(link->USBCon);
    EXPECT_EQ(link->state(), CableConnection::State::MeterSilent);
    EXPECT_FALSE(selected()->ReaderRunning());
    EXPECT_EQ(assembler.IdleReportCount(), 0);
    ticks(6);
    EXPECT_EQ(messages.size(), 1);

    // Every third tick the watch looks (and the window puts the link icon back to "no frames").
    const int looked = watched;
    ticks(3);
    EXPECT_EQ(watched, looked + 1);

    // A click connects again, in black.
    link->toggle();
    EXPECT_TRUE(connected());
    EXPECT_TRUE(selected()->ReaderRunning());
}

// The cable pulled out while connected: its read errors and its removal are logged, then the
// connection ends as DISCONNECT ends it (the reader joined, no report left half-handled) and one
// message says so. Plugged in again, it is selected and connects.
TEST_F(Cable, TheConnectedCableUnpluggedEndsTheConnectionWithOneMessage) {
    auto cable = sim->plug(cableSpec(), false);
    start();
    QStringList historyAtMessage;
    link->setMessageBox([&](const QString& text) {
        messages << text;
        historyAtMessage = link->HistoryListBox.Items;
    });
    link->toggle();
    ASSERT_TRUE(connected());

    cable->failReads(5);
    ASSERT_TRUE(runUntil([&] { return link->HistoryListBox.Count() == 2; }));
    EXPECT_EQ(link->HistoryListBox.Items[1], u"READ ERROR: Input/output error (5)");

    // A report read but not yet handled when the cable goes still reaches the reassembly.
    cable->pushReport(report({0, 0xF1, 0x7A, 0, 0, 0, 0, 0, 0}));
    waitForHandOff(selected());
    sim->unplug(cable);
    EXPECT_EQ(reports, 1);
    EXPECT_EQ(messages, QStringList{CableConnection::kCableUnpluggedMessage});
    EXPECT_TRUE(historyAtMessage.contains(QStringLiteral("Removal of USB to Serial")));
    EXPECT_EQ(lines(QStringLiteral("Removal of USB to Serial")), 1);
    EXPECT_FALSE(link->USBCon);
    EXPECT_EQ(link->state(), CableConnection::State::Disconnected);
    EXPECT_EQ(link->ConnectedDevice(), nullptr);
    EXPECT_EQ(link->DevListBox.Count(), 0);
    EXPECT_EQ(link->CurDevice, nullptr);
    EXPECT_EQ(controller->Count(), 0) << "the unplugged object was given back and dropped";
    EXPECT_EQ(lines(kFeatureLine), 1) << "no feature report to a cable that is gone";
    ticks(3);
    EXPECT_EQ(messages.size(), 1);

    link->toggle(); // CONNECT without a cable
    EXPECT_EQ(messages.last(), CableConnection::kNoCableMessage);
    EXPECT_FALSE(link->USBCon);

    sim->plug(cableSpec());
    EXPECT_EQ(lines(QStringLiteral("Arrival of USB to Serial")), 1);
    EXPECT_EQ(link->DevListBox.ItemIndex, 0);
    link->toggle();
    EXPECT_TRUE(connected());
    EXPECT_TRUE(selected()->ReaderRunning());
    EXPECT_EQ(messages.size(), 2);
}

// Other devices come and go while connected: the cable's object stays lent and read, reports
// read during the rebuild are handled in order, and only the others' objects are replaced.
TEST_F(Cable, OtherDevicesComingAndGoingWhileConnectedLoseNoReport) {
    auto cable = sim->plug(cableSpec(), false);
    auto mouse = sim->plug(keyboard(), false);
    start();
    link->setReportHandler([this](quint8, const quint8* data, quint16) { seen << data[1]; });
    link->toggle();
    ASSERT_TRUE(connected());
    TJvHidDevice* connectedCable = selected();
    int next = 0;
    auto push = [&] { cable->pushReport(report({0, 0xF1, next++, 0, 0, 0, 0, 0, 0})); };

    push();
    waitForHandOff(connectedCable); // a hand-off waits while the list is rebuilt
    push();
    sim->unplug(mouse);
    push();
    auto second = sim->plug(keyboard());
    push();
    sim->plug(cableSpec(QStringLiteral("USB to Serial")));
    push();
    sim->unplug(second);
    push();
    ASSERT_TRUE(runUntil([&] { return seen.size() == next; })) << seen.size();
    for (int i = 0; i < next; ++i)
        EXPECT_EQ(seen[i], i);

    EXPECT_TRUE(connected());
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(selected(), connectedCable) << "the connected cable stays selected";
    EXPECT_EQ(link->CurDevice, connectedCable);
    EXPECT_EQ(link->ConnectedDevice(), connectedCable);
    EXPECT_TRUE(connectedCable->ReaderRunning());
    ASSERT_EQ(link->DevListBox.Count(), 2);
    EXPECT_EQ(link->DevListBox.ItemIndex, 0) << "not the later cable: the connected one";
    EXPECT_TRUE(link->DevListBox.Object(1)->CheckedOut());
    EXPECT_EQ(link->HistoryListBox.Items,
              (QStringList{kFeatureLine, QStringLiteral("Removal of Device VID=1A2B PID=00C3"),
                           QStringLiteral("Arrival of Device VID=1A2B PID=00C3"),
                           QStringLiteral("Arrival of USB to Serial"),
                           QStringLiteral("Removal of Device VID=1A2B PID=00C3")}));

    // DISCONNECT stops the connected cable, as it would have without the events.
    link->toggle();
    EXPECT_FALSE(link->USBCon);
    EXPECT_FALSE(connectedCable->ReaderRunning());
    EXPECT_EQ(cable->featureReports().size(), 2u);
    // Not connected, a rebuild selects by the rule again: the later cable.
    sim->plug(keyboard());
    EXPECT_EQ(link->DevListBox.ItemIndex, 1);
    EXPECT_EQ(link->DevListBox.Text(1), u"USB to Serial");
}

TEST_F(Cable, ReadErrorLinesUseTheSystemTextWithoutItsTrailingPunctuation) {
    class Wordy : public SimHidPlatform {
    public:
        QString errorText(quint32) const override {
            return QStringLiteral("The device is not ready. \r\n.");
        }
    };
    sim = std::make_shared<Wordy>();
    start();
    link->HidCtlDeviceDataError(nullptr, 0x1F);
    link->HidCtlDeviceDataError(nullptr, 0xC000009D);
    EXPECT_EQ(link->HistoryListBox.Items,
              (QStringList{QStringLiteral("READ ERROR: The device is not ready (1F)"),
                           QStringLiteral("READ ERROR: The device is not ready (C000009D)")}));
    EXPECT_EQ(link->HistoryListBox.ItemIndex, 1);
}

TEST_F(Cable, AHoldDuringAReportHoldsOnlyTheReader) {
    auto cable = sim->plug(cableSpec(), false);
    start();
    link->setReportHandler([this](quint8, const quint8*, quint16) {
        ++reports;
        link->holdReader(10000);
    });
    link->toggle();
    cable->pushReport(report({0, 0xF0}));
    cable->pushReport(report({0, 0xF0}));
    ASSERT_TRUE(runUntil([&] { return reports == 1; }));
    // The event loop goes on during the hold; the reader does not.
    int ticked = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticked; });
    timer.start(1);
    ASSERT_TRUE(runUntil([&] { return ticked >= 3; }));
    EXPECT_EQ(reports, 1);
    EXPECT_EQ(cable->queuedReports(), 1);
    link->toggle(); // disconnecting does not wait out the hold
    EXPECT_FALSE(selected()->ReaderRunning());
}

TEST_F(Cable, DetachingLetsGoOfTheControllerAndTheRows) {
    sim->plug(cableSpec(), false);
    start();
    link->toggle();
    link->detach();
    EXPECT_EQ(link->DevListBox.Count(), 0);
    ASSERT_EQ(controller->Count(), 1);
    EXPECT_FALSE(controller->At(0)->CheckedOut());
    sim->plug(cableSpec()); // the controller no longer calls into the connection
    EXPECT_EQ(link->HistoryListBox.Count(), 1);
}

} // namespace

namespace {

// The udev rule that lets a desktop user open the cable: each bridge is granted to the seat's
// user and kept awake, and nothing is opened to everybody.
TEST(UdevRule, GrantsEachBridgeToTheSeatUserAndKeepsItAwake) {
    QFile f(QStringLiteral(Z4072_UDEV_RULE));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QStringList rules;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (!line.trimmed().isEmpty() && !line.trimmed().startsWith('#'))
            rules << QString::fromLatin1(line);
    for (const char* id : {"1a86:e008", "04fa:2490"}) {
        const QStringList vp = QString::fromLatin1(id).split(u':');
        const QString match =
            QStringLiteral("idVendor}==\"%1\", ATTRS{idProduct}==\"%2\"").arg(vp[0], vp[1]);
        const QString usb =
            QStringLiteral("idVendor}==\"%1\", ATTR{idProduct}==\"%2\"").arg(vp[0], vp[1]);
        bool access = false, awake = false;
        for (const QString& r : rules) {
            access = access || (r.contains(u"SUBSYSTEM==\"hidraw\"") && r.contains(match) &&
                                r.contains(u"TAG+=\"uaccess\""));
            awake = awake || (r.contains(u"SUBSYSTEM==\"usb\"") && r.contains(usb) &&
                              r.contains(u"ATTR{power/control}=\"on\""));
        }
        EXPECT_TRUE(access) << id;
        EXPECT_TRUE(awake) << id;
    }
    for (const QString& r : rules)
        EXPECT_FALSE(r.contains(u"MODE")) << r.toStdString();
}

} // namespace
