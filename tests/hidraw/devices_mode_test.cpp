// `z4072 devices` on the emulated machine: the program itself, run as the user runs it.

#include "tests/hidraw/hidraw_test_util.h"

#include <QProcess>

namespace {

using namespace hidraw_test;

struct Outcome {
    int status = -1;
    QStringList out;
    QString err;
};

Outcome devices() {
    QProcess p;
    p.start(QStringLiteral(Z4072_EXE), {QStringLiteral("devices")});
    Outcome r;
    if (!p.waitForFinished(30000))
        return r;
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

using DevicesMode = Emulated;

TEST_F(DevicesMode, ListsTheMachinesDevicesAndMarksTheCable) {
    Outcome none = devices();
    EXPECT_EQ(none.status, 0) << none.err.toStdString();
    EXPECT_EQ(none.out.value(0), u"No HID devices found.");
    EXPECT_TRUE(none.out.contains(u"What to check:")) << none.out.join(u'\n').toStdString();

    rig::HidrawProfile nameless;
    nameless.vendorId = 0x1A2B;
    nameless.productId = 0x00C3;
    nameless.product.reset();
    auto other = bus.plug(nameless);
    rig::HidrawProfile bridge;
    bridge.vendorId = 0x04FA;
    bridge.productId = 0x2490;
    bridge.descriptor = rig::bridgeDescriptor04fa2490();
    auto cable = bus.plug(bridge);
    cable->refuseOpen(true);

    Outcome two = devices();
    EXPECT_EQ(two.status, 0) << two.err.toStdString();
    ASSERT_GE(two.out.size(), 4) << two.out.join(u'\n').toStdString();
    EXPECT_EQ(two.out[0], QStringLiteral("  Device VID=1A2B PID=00C3  1A2B:00C3  read/write  ") +
                              other->node());
    EXPECT_EQ(two.out[1],
              QStringLiteral("* USB to Serial             04FA:2490  no read/write (Permission "
                             "denied)  ") +
                  cable->node());
    EXPECT_EQ(two.out[2], u"* the cable that CONNECT uses");
    EXPECT_TRUE(two.out[3].startsWith(u"The cable 04FA:2490 may not be opened"));
    EXPECT_TRUE(cable->features().empty()) << "listing sends nothing to a device";
}

} // namespace
