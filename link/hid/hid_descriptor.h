#pragma once

#include <QtGlobal>

#include <array>
#include <cstddef>
#include <vector>

// What the reader and the feature requests need to know from a HID report descriptor.
struct HidReportLayout {
    bool valid = false;
    // The descriptor declares report IDs, so every report starts with its ID byte.
    bool numbered = false;
    // Bytes of the longest input report, including the report ID byte (which is counted, as
    // 0, also for devices without numbered reports); 0 when the device has no input report.
    quint16 inputReportLength = 0;
    // Bytes of each feature report by report ID, the ID byte included as above; 0 where the
    // device declares no such feature report.
    std::array<quint16, 256> featureReportLength{};
};

// Parses a report descriptor: the main, global and local items of the HID class definition,
// with Push/Pop. A truncated or contradictory descriptor gives an invalid layout.
HidReportLayout parseReportDescriptor(const quint8* data, std::size_t size);

// A feature report as the device declares it: the report ID byte, then the data cut or padded
// with zeros to the length that the layout gives for that ID. Empty when the layout is valid and
// declares no feature report with that ID; the bytes as given when the layout is not valid.
std::vector<quint8> sizeFeatureReport(const HidReportLayout& layout, const quint8* report,
                                      std::size_t length);
