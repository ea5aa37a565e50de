// The cable connection and the window on the system's HID layer, with emulated devices in
// place of the cable: the device list as the user's machine shows it, CONNECT from the feature
// request to the recorded reading, the cable pulled out and plugged in again, and a cable that
// the user may not open.

#include "tests/hidraw/hidraw_test_util.h"

#include "app/main_window.h"
#include "app/panel_button.h"
#include "link/cable_connection.h"
#include "record/reading_table.h"
#include "sim/sim_cable.h"

#include <cerrno>
#include <cmath>
#include <string>

namespace {

using namespace hidraw_test;

QStringList rows(const CableConnection& c) {
    QStringList out;
    for (int i = 0; i < c.DevListBox.Count(); ++i)
        out << c.DevListBox.Text(i);
    return out;
}

int linesStarting(const CableConnection& c, const QString& start) {
    int n = 0;
    for (const QString& line : c.HistoryListBox.Items)
        n += line.startsWith(start);
    return n;
}

// The link alone, as the window attaches it.
struct Link {
    Link() {
        controller = std::make_unique<TJvHidDeviceController>(nullptr, makeSystemHidPlatform());
        link.setMessageBox([this](const QString& text) { messages << text; });
        link.attach(controller.get());
    }
    ~Link() { link.detach(); }

    CableConnection link;
    std::unique_ptr<TJvHidDeviceController> controller;
    QStringList messages;
};

// The window, on the computer's HID devices, with a meter behind the emulated cable.
struct Window {
    Window() {
        w = std::make_unique<TFrmTest>();
        w->chain().setPauseDuration(0);
        w->cable().setMessageBox([this](const QString& text) { messages << text; });
    }
    // A cable whose meter shows one insulation reading from the moment it is configured.
    std::shared_ptr<rig::HidrawDevice> plugCable(rig::HidrawBus& bus, bool announce = true) {
        auto cable = bus.plug({}, announce);
        meter = std::make_shared<sim::SimCable>(
            [](double) {
                return std::optional<sim::MeterDisplay>(
                    sim::MeterDisplay::insulation("123.4", u"M\u03A9", 1000));
            },
            sim::CablePace{8, 2400, 10, 150});
        cable->feed(meter);
        return cable;
    }
    // A cable whose meter counts up by one each frame (100, 101, ...), so a lost frame shows
    // as a gap. It reports every 20 ms: the node's queue holds more than a second of them.
    std::shared_ptr<rig::HidrawDevice> plugCountingCable(rig::HidrawBus& bus) {
        auto cable = bus.plug({});
        meter = std::make_shared<sim::SimCable>(
            [](double seconds) {
                const long frame = std::lround(seconds / 0.15);
                return std::optional<sim::MeterDisplay>(sim::MeterDisplay::insulation(
                    std::to_string(100 + frame % 900), u"M\u03A9", 1000));
            },
            sim::CablePace{20, 2400, 10, 150});
        cable->feed(meter);
        return cable;
    }
    int rows() const { return w->cds1->rowCount(); }
    CableConnection& link() { return w->cable(); }

    std::unique_ptr<TFrmTest> w;
    std::shared_ptr<sim::SimCable> meter;
    QStringList messages;
};

using RealCable = Emulated;

TEST_F(RealCable, TheDeviceListShowsWhatTheMachineHas) {
    rig::HidrawProfile serial;
    serial.serial = QStringLiteral("0001");
    bus.plug(serial);
    auto first = bus.plug({});
    rig::HidrawProfile nameless;
    nameless.vendorId = 0x1A2B;
    nameless.productId = 0x00C3;
    nameless.product.reset();
    bus.plug(nameless);
    rig::HidrawProfile other;
    other.vendorId = 0x04FA;
    other.productId = 0x2490;
    other.descriptor = rig::bridgeDescriptor04fa2490();
    auto second = bus.plug(other);

    Link l;
    // Strings, serial numbers and IDs as the system lists them, in the window's row texts.
    EXPECT_EQ(
        rows(l.link),
        QStringList({QStringLiteral("USB to Serial (Serial=0001)"), QStringLiteral("USB to Serial"),
                     QStringLiteral("Device VID=1A2B PID=00C3"), QStringLiteral("USB to Serial")}));
    // Two cables: the later one is used; the one with a serial number never.
    ASSERT_EQ(l.link.DevListBox.ItemIndex, 3);
    TJvHidDevice* cable = l.link.DevListBox.Selected();
    EXPECT_EQ(cable->PnPInfo().DevicePath(), second->node());
    EXPECT_EQ(cable->VendorID(), 0x04FA);
    EXPECT_EQ(cable->ProductID(), 0x2490);
    EXPECT_TRUE(cable->CanReadWrite());
    l.link.toggle();
    EXPECT_EQ(l.link.state(), CableConnection::State::Connected);
    EXPECT_EQ(second->features().size(), 1u);
    EXPECT_TRUE(first->features().empty());
}

TEST_F(RealCable, ConnectLightsTheReplicaAndRecordsReadings) {
    Window win;
    auto cable = win.plugCable(bus, false);
    win.w->HidCtl->DeviceChange();
    ASSERT_EQ(win.link().DevListBox.ItemIndex, 0);

    Q_EMIT win.w->Panel2->clicked();
    EXPECT_EQ(win.w->Panel2->caption(), u"DISCONNECT");
    // What reached the bridge's feature ioctl: report 0 and its 5 bytes, 2400 baud; the history
    // keeps the whole report as the program sends it.
    ASSERT_EQ(cable->features().size(), 1u);
    EXPECT_EQ(cable->features()[0].bytes, bytes({0x00, 0x60, 0x09, 0x00, 0x00, 0x03}));
    EXPECT_EQ(win.link().HistoryListBox.Items.last(), u"60 09 00 00 03 00 00 00 00 ");
    EXPECT_TRUE(win.meter->configured());

    ASSERT_TRUE(runUntil([&] { return win.w->cds1->rowCount() >= 2; }, 10000));
    const Reading& r = win.w->chain().reading();
    EXPECT_EQ(r.text, QStringLiteral("123") + win.w->DecimalSep() + QStringLiteral("4"));
    EXPECT_EQ(r.unit, Unit::MegaOhm);
    EXPECT_EQ(r.function, u"IR:1000V 40G\u03A9");
    EXPECT_TRUE(win.w->replica().shown(u"CONok"));
    EXPECT_EQ(win.w->replica().caption(u"LabelA"), u"1");
    EXPECT_TRUE(win.messages.isEmpty());

    Q_EMIT win.w->Panel2->clicked();
    EXPECT_EQ(win.w->Panel2->caption(), u"CONNECT");
    EXPECT_FALSE(win.link().CurDevice->ReaderRunning());
    EXPECT_EQ(cable->features().size(), 2u) << "disconnecting sends the report again";
}

// Pulled out while connected: the reads that fail before the list is rebuilt are logged (a few,
// not a flood), the removal is logged, the connection ends with one message and CONNECT on the
// button, and the cable plugged in again connects with one click.
// The kernel fails reads with EIO as soon as the device goes; a node already removed reads as
// "No such device".
TEST_F(RealCable, UnpluggedWhileConnectedThenPluggedInAgain) {
    for (int readError : {EIO, ENODEV}) {
        Window win;
        auto cable = win.plugCable(bus);
        CableConnection& link = win.link();
        ASSERT_TRUE(runUntil([&] { return link.DevListBox.ItemIndex == 0; }));
        Q_EMIT win.w->Panel2->clicked();
        ASSERT_TRUE(runUntil([&] { return win.w->cds1->rowCount() >= 1; }, 10000));

        const int readsBefore = cable->reads();
        const QString errorLine =
            QStringLiteral("READ ERROR: %1 (%2)")
                .arg(systemErrorText(quint32(readError)), QString::number(readError, 16).toUpper());
        if (readError == EIO) {
            cable->failReads(EIO);
            ASSERT_TRUE(runUntil([&] { return link.HistoryListBox.Items.contains(errorLine); }));
        }
        bus.unplug(cable, readError);
        ASSERT_TRUE(runUntil([&] { return linesStarting(link, QStringLiteral("Removal of ")); }));
        const int readsWhenGone = cable->reads();
        EXPECT_EQ(link.HistoryListBox.Items.filter(QStringLiteral("Removal of ")),
                  QStringList{QStringLiteral("Removal of USB to Serial")});
        // One line a turn of the reader (100 ms) until the removal is noticed: at once with
        // device events, at the next listing without them.
        const int readErrors = linesStarting(link, QStringLiteral("READ ERROR: "));
        EXPECT_LE(readErrors, 3 + Z4072_CHANGE_POLL_MS / 100)
            << link.HistoryListBox.Items.join(u'\n').toStdString();
        // Once its node has gone too, a device reads as gone whatever the read said.
        const QString goneLine = QStringLiteral("READ ERROR: No such device (13)");
        for (const QString& line : link.HistoryListBox.Items.filter(QStringLiteral("READ ERROR")))
            EXPECT_TRUE(line == errorLine || line == goneLine) << line.toStdString();
        // Each failed read was logged, but for one in flight when the reader was stopped (and
        // one report that may have come just before the cable went).
        EXPECT_LE(readsWhenGone - readsBefore - readErrors, 2);
        EXPECT_EQ(link.DevListBox.Count(), 0);
        EXPECT_EQ(win.w->Panel2->caption(), u"CONNECT");
        EXPECT_FALSE(link.USBCon);
        EXPECT_EQ(win.messages, QStringList{CableConnection::kCableUnpluggedMessage});
        EXPECT_GE(win.w->cds1->rowCount(), 1) << "the readings stay";

        auto again = win.plugCable(bus);
        ASSERT_TRUE(runUntil([&] { return link.DevListBox.ItemIndex == 0; }));
        EXPECT_EQ(
            link.HistoryListBox.Items.filter(QStringLiteral("Arrival of USB to Serial")).size(), 2);
        Q_EMIT win.w->Panel2->clicked(); // CONNECT
        EXPECT_EQ(win.w->Panel2->caption(), u"DISCONNECT");
        const int rowsBefore = win.w->cds1->rowCount();
        ASSERT_TRUE(runUntil([&] { return win.w->cds1->rowCount() > rowsBefore; }, 10000));
        // The old cable's reader ended with the rebuild: its node saw no read since.
        EXPECT_EQ(cable->reads(), readsWhenGone);
        EXPECT_EQ(win.messages.size(), 1);
        bus.unplugAll();
    }
}

// A mouse plugged in and pulled out again while the meter sends: the connection goes on, every
// frame is recorded (the meter's count has no gap), and the history has the mouse's two lines.
TEST_F(RealCable, AMousePluggedInAndOutWhileRecordingLosesNoReading) {
    Window win;
    win.plugCountingCable(bus);
    CableConnection& link = win.link();
    ASSERT_TRUE(runUntil([&] { return link.DevListBox.ItemIndex == 0; }));
    Q_EMIT win.w->Panel2->clicked();
    ASSERT_TRUE(runUntil([&] { return win.rows() >= 3; }, 10000));
    TJvHidDevice* cable = link.ConnectedDevice();
    ASSERT_NE(cable, nullptr);

    rig::HidrawProfile mouse;
    mouse.vendorId = 0x046D;
    mouse.productId = 0xC077;
    mouse.product = QStringLiteral("Optical Mouse");
    auto plugged = bus.plug(mouse);
    ASSERT_TRUE(runUntil([&] { return link.DevListBox.Count() == 2; }));
    int before = win.rows();
    ASSERT_TRUE(runUntil([&] { return win.rows() >= before + 3; }, 10000));
    bus.unplug(plugged);
    ASSERT_TRUE(runUntil([&] { return link.DevListBox.Count() == 1; }));
    before = win.rows();
    ASSERT_TRUE(runUntil([&] { return win.rows() >= before + 3; }, 10000));

    EXPECT_EQ(win.w->Panel2->caption(), u"DISCONNECT");
    EXPECT_TRUE(win.messages.isEmpty());
    EXPECT_EQ(link.ConnectedDevice(), cable);
    EXPECT_EQ(link.DevListBox.Selected(), cable);
    EXPECT_EQ(link.HistoryListBox.Items.filter(QStringLiteral("Optical Mouse")),
              (QStringList{QStringLiteral("Arrival of Optical Mouse"),
                           QStringLiteral("Removal of Optical Mouse")}));
    EXPECT_EQ(linesStarting(link, QStringLiteral("READ ERROR")), 0);
    const ReadingTable& table = *win.w->cds1;
    for (int r = 1; r < table.rowCount(); ++r)
        ASSERT_EQ(table.value(r).toInt(), table.value(r - 1).toInt() + 1)
            << "row " << r << " follows " << table.value(r - 1).toStdString();

    Q_EMIT win.w->Panel2->clicked();
    EXPECT_EQ(win.w->Panel2->caption(), u"CONNECT");
    EXPECT_FALSE(cable->ReaderRunning());
}

TEST_F(RealCable, ACableTheUserMayNotOpen) {
    auto cable = bus.plug({});
    cable->refuseOpen(true);
    Link l;
    ASSERT_EQ(l.link.DevListBox.ItemIndex, 0);
    l.link.toggle();
    EXPECT_EQ(l.link.state(), CableConnection::State::Disconnected);
    EXPECT_TRUE(l.messages.isEmpty());
    EXPECT_EQ(l.link.HistoryListBox.Items,
              QStringList({QStringLiteral("60 09 00 00 03 00 00 00 00 "),
                           QStringLiteral("OPEN ERROR: Permission denied (D)")}));
    EXPECT_TRUE(cable->features().empty()) << "nothing reaches a device that was not opened";
    EXPECT_EQ(cable->reads(), 0);
}

} // namespace
