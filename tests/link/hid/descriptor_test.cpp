#include "link/hid/hid_descriptor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

HidReportLayout parse(const std::vector<quint8>& d) {
    return parseReportDescriptor(d.data(), d.size());
}

// A HID-to-UART bridge: vendor-defined page, 8-byte input and output reports, no report IDs.
const std::vector<quint8> kBridge = {
    0x06, 0xA0, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x09, 0x02, 0xA1, 0x00, 0x06, 0xA1, 0xFF, 0x09,
    0x03, 0x09, 0x04, 0x15, 0x80, 0x25, 0x7F, 0x35, 0x00, 0x45, 0xFF, 0x75, 0x08, 0x95, 0x08,
    0x81, 0x02, 0x09, 0x05, 0x09, 0x06, 0x15, 0x80, 0x25, 0x7F, 0x35, 0x00, 0x45, 0xFF, 0x75,
    0x08, 0x95, 0x08, 0x91, 0x02, 0x09, 0x07, 0x75, 0x08, 0x95, 0x05, 0xB1, 0x02, 0xC0, 0xC0};

// The boot keyboard: modifier byte, reserved byte, six key codes; LED output.
const std::vector<quint8> kKeyboard = {
    0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15, 0x00, 0x25, 0x01,
    0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0x95, 0x01, 0x75, 0x08, 0x81, 0x01, 0x95, 0x05, 0x75, 0x01,
    0x05, 0x08, 0x19, 0x01, 0x29, 0x05, 0x91, 0x02, 0x95, 0x01, 0x75, 0x03, 0x91, 0x01, 0x95, 0x06,
    0x75, 0x08, 0x15, 0x00, 0x25, 0x65, 0x05, 0x07, 0x19, 0x00, 0x29, 0x65, 0x81, 0x00, 0xC0};

// A mouse (report 1: 3 buttons, padding, X, Y) with a consumer control (report 2: one 16-bit
// usage), a 6-byte input report 4 declared between Push and Pop followed by one more 16-bit
// field of report 2, and a feature-only report 3.
// clang-format off
const std::vector<quint8> kComposite = {
    0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x85, 0x01, 0x09, 0x01, 0xA1, 0x00, 0x05, 0x09,
    0x19, 0x01, 0x29, 0x03, 0x15, 0x00, 0x25, 0x01, 0x95, 0x03, 0x75, 0x01, 0x81, 0x02,
    0x95, 0x01, 0x75, 0x05, 0x81, 0x03, 0x05, 0x01, 0x09, 0x30, 0x09, 0x31, 0x15, 0x81,
    0x25, 0x7F, 0x75, 0x08, 0x95, 0x02, 0x81, 0x06, 0xC0, 0xC0,
    0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x02, 0x15, 0x00, 0x26, 0xFF, 0x03, 0x19,
    0x00, 0x2A, 0xFF, 0x03, 0x75, 0x10, 0x95, 0x01, 0x81, 0x00,
    0xA4, 0x85, 0x04, 0x75, 0x08, 0x95, 0x06, 0x81, 0x02, 0xB4,
    0x81, 0x00,
    0xC0,
    0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x03, 0x75, 0x08, 0x96, 0x00, 0x01,
    0xB1, 0x02, 0xC0};
// clang-format on

TEST(ReportDescriptor, GivesInputLengthAndNumberingOfRealDevices) {
    const HidReportLayout bridge = parse(kBridge);
    ASSERT_TRUE(bridge.valid);
    EXPECT_FALSE(bridge.numbered);
    EXPECT_EQ(bridge.inputReportLength, 9);

    // The bridge's one feature report (ID 0) carries 5 bytes.
    EXPECT_EQ(bridge.featureReportLength[0], 6);
    EXPECT_EQ(bridge.featureReportLength[1], 0);

    const HidReportLayout keyboard = parse(kKeyboard);
    ASSERT_TRUE(keyboard.valid);
    EXPECT_FALSE(keyboard.numbered);
    EXPECT_EQ(keyboard.inputReportLength, 9);

    const HidReportLayout composite = parse(kComposite);
    ASSERT_TRUE(composite.valid);
    EXPECT_TRUE(composite.numbered);
    // Report 4 (6 bytes) is the longest; the 256-byte feature report does not count.
    EXPECT_EQ(composite.inputReportLength, 7);
    EXPECT_EQ(composite.featureReportLength[3], 257);
    EXPECT_EQ(composite.featureReportLength[0], 0) << "a numbered device has no report 0";
    EXPECT_EQ(composite.featureReportLength[1], 0) << "report 1 is input only";
}

TEST(ReportDescriptor, PopRestoresTheReportThatFieldsBelongTo) {
    // Report 2 grows to 4 bytes after the Pop, still shorter than report 4 ...
    std::vector<quint8> d = kComposite;
    // ... unless report 4 shrinks to one byte: then report 2 (4 bytes) is the longest.
    for (size_t i = 0; i + 1 < d.size(); ++i)
        if (d[i] == 0x95 && d[i + 1] == 0x06)
            d[i + 1] = 0x01;
    EXPECT_EQ(parse(d).inputReportLength, 5);
}

TEST(ReportDescriptor, RejectsBrokenDescriptors) {
    std::vector<quint8> cut(kKeyboard.begin(), kKeyboard.end() - 1); // no End Collection
    EXPECT_FALSE(parse(cut).valid);
    std::vector<quint8> midItem = {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x26, 0xFF};
    EXPECT_FALSE(parse(midItem).valid);
    EXPECT_FALSE(parse({0xB4}).valid) << "Pop without Push";
    EXPECT_FALSE(parse({0x85, 0x00}).valid) << "report ID 0 is reserved";
    EXPECT_FALSE(parse({0xC0}).valid);

    const HidReportLayout empty = parse({});
    EXPECT_TRUE(empty.valid);
    EXPECT_EQ(empty.inputReportLength, 0);
    // Long items are skipped whole.
    EXPECT_EQ(
        parse({0xFE, 0x02, 0x10, 0x81, 0x81, 0x75, 0x08, 0x95, 0x02, 0x81, 0x02}).inputReportLength,
        3);
    // A long item whose data runs past the end is a truncated descriptor, however short.
    EXPECT_FALSE(parse({0x75, 0x08, 0x95, 0x02, 0x81, 0x02, 0xFE, 0x04, 0x10, 0x81}).valid);
    EXPECT_FALSE(parse({0xFE, 0xFE, 0xEF, 0x4B}).valid);
    // Fields so large that their bit count would wrap 64 bits: invalid, not a short report.
    const std::vector<quint8> huge = {0x77, 0xFF, 0xFF, 0xFF, 0xFF, 0x97, 0xFF, 0xFF, 0xFF, 0xFF};
    for (quint8 main : {quint8(0x81), quint8(0xB1)}) {
        std::vector<quint8> d = huge;
        for (int k = 0; k < 3; ++k)
            d.insert(d.end(), {main, 0x02});
        EXPECT_FALSE(parse(d).valid) << int(main);
    }
}

// What goes to the device: its declared feature report, the given bytes cut or padded to it.
TEST(ReportDescriptor, SizesFeatureReportsAsTheDeviceDeclaresThem) {
    const std::vector<quint8> cable = {0x00, 0x60, 0x09, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00};
    using Bytes = std::vector<quint8>;
    EXPECT_EQ(sizeFeatureReport(parse(kBridge), cable.data(), cable.size()),
              Bytes({0x00, 0x60, 0x09, 0x00, 0x00, 0x03}));
    const HidReportLayout composite = parse(kComposite);
    const Bytes three = {0x03, 0xAA};
    const Bytes sized = sizeFeatureReport(composite, three.data(), three.size());
    ASSERT_EQ(sized.size(), 257u);
    EXPECT_EQ(sized[1], 0xAA);
    EXPECT_EQ(std::count(sized.begin(), sized.end(), 0), 255);
    EXPECT_TRUE(sizeFeatureReport(composite, cable.data(), cable.size()).empty())
        << "no feature report 0 on a numbered device";
    EXPECT_TRUE(sizeFeatureReport(parse(kKeyboard), cable.data(), cable.size()).empty());
    // Nothing known of the device: the bytes go as given.
    EXPECT_EQ(sizeFeatureReport(HidReportLayout{}, cable.data(), cable.size()), cable);
    EXPECT_TRUE(sizeFeatureReport(parse(kBridge), cable.data(), 0).empty());
}

} // namespace
