#include "link/device_listing.h"
#include "tests/link/hid/hid_test_util.h"

#include <gtest/gtest.h>

namespace {

TEST(DeviceListing, ShowsTheRowsTheWindowWouldHaveAndTheCableItWouldUse) {
    SimFixture f;
    // Nothing to connect to: what to check, the udev rule among it.
    const QStringList nothing = describeDevices(listDevicesAsTheWindowDoes(f.sim), *f.sim);
    EXPECT_EQ(nothing.value(0), u"No HID devices found.");
    EXPECT_TRUE(nothing.join(u'\n').contains(u"sudo install -m 644 packaging/70-z4072.rules"))
        << nothing.join(u'\n').toStdString();

    SimHidDeviceSpec serial = cableSpec();
    serial.serial = QStringLiteral("0001");
    f.sim->plug(serial, false);
    SimHidDeviceSpec nameless = cableSpec(QString());
    nameless.vendorId = 0x1A2B;
    nameless.productId = 0x00C3;
    f.sim->plug(nameless, false);
    const std::vector<ListedDevice> two = listDevicesAsTheWindowDoes(f.sim);
    ASSERT_EQ(two.size(), 2u);
    EXPECT_FALSE(two[0].selected);
    const QStringList noCable = describeDevices(two, *f.sim);
    ASSERT_GE(noCable.size(), 6);
    EXPECT_EQ(noCable[0], u"  USB to Serial (Serial=0001)  1A86:E008  read/write  " + two[0].path);
    EXPECT_EQ(noCable[1], u"  Device VID=1A2B PID=00C3     1A2B:00C3  read/write  " + two[1].path);
    EXPECT_TRUE(noCable[3].startsWith(u"No \"USB to Serial\" cable")) << noCable[3].toStdString();
    EXPECT_TRUE(noCable.contains(u"What to check:"));

    // The cable that CONNECT would use, which this user may not open: marked, and the hint.
    SimHidDeviceSpec refused = cableSpec();
    refused.access = SimHidDeviceSpec::Access::QueryOnly;
    f.sim->plug(refused, false);
    const std::vector<ListedDevice> three = listDevicesAsTheWindowDoes(f.sim);
    ASSERT_EQ(three.size(), 3u);
    EXPECT_TRUE(three[2].selected);
    EXPECT_FALSE(three[2].readWrite);
    EXPECT_EQ(three[2].openError, 13u);
    const QStringList lines = describeDevices(three, *f.sim);
    EXPECT_EQ(lines[2], u"* USB to Serial                1A86:E008  no read/write (Permission "
                        u"denied)  " +
                            three[2].path);
    EXPECT_EQ(lines[4], u"* the cable that CONNECT uses");
    EXPECT_TRUE(lines[5].startsWith(u"The cable 1A86:E008 may not be opened"))
        << lines[5].toStdString();
    EXPECT_TRUE(lines.join(u' ').contains(u"70-z4072.rules"));
}

} // namespace
