// The system's HID layer and the device controller on emulated hidraw devices: what is listed,
// what reaches the device's feature ioctl, what the reader hands on, and how bad device data
// and refused opens come out.

#include "tests/hidraw/hidraw_test_util.h"

#include <cerrno>
#include <vector>

namespace {

using namespace hidraw_test;

struct Seen {
    quint8 id;
    QByteArray data;
};

class SystemLayer : public Emulated {
protected:
    // A controller on the system's layer, as the window makes it.
    void start() {
        controller = std::make_unique<TJvHidDeviceController>(nullptr, makeSystemHidPlatform());
    }
    // Borrows device `i` and reads it, recording reports and errors.
    TJvHidDevice* read(int i) {
        TJvHidDevice* d = nullptr;
        EXPECT_TRUE(controller->CheckOutAt(i, d));
        if (!d)
            return nullptr;
        borrowed.push_back(d);
        d->SetOnDataError([this](TJvHidDevice*, quint32 e) { errors.push_back(e); });
        d->SetDataHandler([this](TJvHidDevice*, quint8 id, const quint8* data, quint16 size) {
            seen.push_back({id, QByteArray(reinterpret_cast<const char*>(data), size)});
        });
        return d;
    }
    void TearDown() override {
        for (TJvHidDevice* d : borrowed)
            delete d;
        controller.reset();
        Emulated::TearDown();
    }

    std::unique_ptr<TJvHidDeviceController> controller;
    std::vector<TJvHidDevice*> borrowed;
    std::vector<Seen> seen;
    std::vector<quint32> errors;
};

// The cable's 10-byte report reaches each bridge as its descriptor declares the report: ID 0
// and 5 data bytes. The bridges stall a report of any other length, so this is what makes them
// send at all.
TEST_F(SystemLayer, SendsTheFeatureReportAtTheLengthTheDeviceDeclares) {
    const quint8 report[10] = {0x00, 0x60, 0x09, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00};
    rig::HidrawProfile other;
    other.vendorId = 0x04FA;
    other.productId = 0x2490;
    other.descriptor = rig::bridgeDescriptor04fa2490();
    const std::vector<std::shared_ptr<rig::HidrawDevice>> bridges = {bus.plug({}), bus.plug(other)};
    rig::HidrawProfile numbered;
    numbered.descriptor = rig::numberedDescriptor();
    auto withIds = bus.plug(numbered);
    start();
    ASSERT_EQ(controller->Count(), 3);

    for (int i = 0; i < 2; ++i) {
        TJvHidDevice* d = nullptr;
        ASSERT_TRUE(controller->CheckOutAt(i, d));
        EXPECT_TRUE(d->SendFeature(report, 10)) << i;
        const auto sent = bridges[size_t(i)]->features();
        ASSERT_EQ(sent.size(), 1u) << i;
        EXPECT_EQ(sent[0].length, 6u) << i;
        EXPECT_EQ(sent[0].bytes, bytes({0x00, 0x60, 0x09, 0x00, 0x00, 0x03})) << i;
        delete d;
    }

    // A numbered device has no report 0: nothing goes out, as nothing would elsewhere. Its
    // report 3 goes out at its own length, a short buffer padded with zeros.
    TJvHidDevice* d = nullptr;
    ASSERT_TRUE(controller->CheckOutAt(2, d));
    EXPECT_FALSE(d->SendFeature(report, 10));
    EXPECT_TRUE(withIds->features().empty());
    const quint8 three[3] = {0x03, 0x11, 0x22};
    EXPECT_TRUE(d->SendFeature(three, 3));
    ASSERT_EQ(withIds->features().size(), 1u);
    EXPECT_EQ(withIds->features()[0].bytes, bytes({0x03, 0x11, 0x22, 0, 0, 0}));
    delete d;
}

TEST_F(SystemLayer, ReadsReportsWithTheirIdAndTheDeclaredLength) {
    auto plain = bus.plug({});
    rig::HidrawProfile numbered;
    numbered.descriptor = rig::numberedDescriptor();
    auto withIds = bus.plug(numbered);
    start();
    read(0);
    read(1);

    // hidraw hands a report of a device without report IDs over without the ID byte.
    plain->push(bytes({0xF2, 0x11, 0x22, 0, 0, 0, 0, 0}));
    ASSERT_TRUE(runUntil([&] { return seen.size() == 1; }));
    EXPECT_EQ(seen[0].id, 0);
    EXPECT_EQ(seen[0].data, bytes({0xF2, 0x11, 0x22, 0, 0, 0, 0, 0}));

    // Numbered reports keep their ID; every report comes at the longest input report's length.
    withIds->push(bytes({0x01, 1, 2, 3, 4, 5, 6, 7, 8}));
    withIds->push(bytes({0x02, 9, 8, 7}));
    ASSERT_TRUE(runUntil([&] { return seen.size() == 3; }));
    EXPECT_EQ(seen[1].id, 1);
    EXPECT_EQ(seen[1].data, bytes({1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(seen[2].id, 2);
    EXPECT_EQ(seen[2].data, bytes({9, 8, 7, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(errors.empty());
}

// Descriptors that cannot be used: the device is still read, its reports taken whole, and the
// first read says why in the history; reads of nothing and reports longer than declared are
// no trouble either.
TEST_F(SystemLayer, BadDeviceDataIsReportedOnceAndReadingGoesOn) {
    const std::vector<QByteArray> broken = {
        QByteArray(),                                             // empty
        rig::bridgeDescriptor1a86e008().chopped(1),               // truncated: no End Collection
        rig::bridgeDescriptor1a86e008() + QByteArray(4096, '\0'), // longer than the kernel's
    };
    std::vector<std::shared_ptr<rig::HidrawDevice>> devices;
    for (const QByteArray& d : broken) {
        rig::HidrawProfile profile;
        profile.descriptor = d;
        devices.push_back(bus.plug(profile));
    }
    start();
    ASSERT_EQ(controller->Count(), 3);
    for (int i = 0; i < 3; ++i) {
        seen.clear();
        errors.clear();
        TJvHidDevice* d = read(i);
        ASSERT_TRUE(d->CanReadWrite()) << i << " " << d->OpenError();
        devices[size_t(i)]->push(bytes({0xF1, 0x55, 0, 0, 0, 0, 0, 0}));
        ASSERT_TRUE(runUntil([&] { return seen.size() == 1; })) << i;
        EXPECT_EQ(seen[0].id, 0) << i;
        EXPECT_EQ(seen[0].data.size(), 64) << i;
        EXPECT_EQ(seen[0].data.left(3), bytes({0xF1, 0x55, 0})) << i;
        EXPECT_EQ(errors, std::vector<quint32>{EBADMSG}) << i;
        d->SetDataHandler(nullptr);
    }

    // A good device that sends a report longer than it declares, and reads of no bytes.
    auto longer = bus.plug({});
    controller->DeviceChange();
    seen.clear();
    errors.clear();
    read(3);
    longer->push(bytes({0xF8, 1, 2, 3, 4, 5, 6, 7, 8}));
    longer->emptyReads(12);
    longer->push(bytes({0xF8, 1, 2, 3, 4, 5, 6, 7, 8}));
    longer->push(bytes({0xF0, 0, 0, 0, 0, 0, 0, 0}));
    ASSERT_TRUE(runUntil([&] { return seen.size() == 3; }));
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(seen[size_t(i)].data, bytes({0xF8, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(seen[2].data, bytes({0xF0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(errors, std::vector<quint32>{EMSGSIZE}) << "said once, not for every report";
}

// A node the user may not open: listed, queries only, and the refusal kept for the history.
// A device gone between the listing and the opening is not listed at all.
TEST_F(SystemLayer, RefusedAndVanishedDevices) {
    auto refused = bus.plug({});
    refused->refuseOpen(true);
    start();
    ASSERT_EQ(controller->Count(), 1);
    TJvHidDevice* d = read(0);
    ASSERT_NE(d, nullptr);
    EXPECT_FALSE(d->CanReadWrite());
    EXPECT_EQ(d->OpenError(), quint32(EACCES));
    EXPECT_EQ(d->ProductText(), u"USB to Serial") << "queries still work";
    EXPECT_FALSE(d->ReaderRunning());
    EXPECT_EQ(refused->reads(), 0);

    auto platform = makeSystemHidPlatform();
    auto brief = bus.plug({}, false);
    const auto listed = platform->list();
    ASSERT_EQ(listed.size(), 2u);
    bus.unplug(brief, ENODEV, false);
    quint32 error = 0;
    EXPECT_EQ(platform->open(listed[1], HidAccess::ReadWrite, &error), nullptr);
    EXPECT_EQ(error, quint32(ENODEV));
    EXPECT_EQ(platform->open(listed[1], HidAccess::QueryOnly, &error), nullptr);
}

} // namespace
