#pragma once

#include <QtGlobal>

#include <cstddef>

// What the reader needs to know from a HID report descriptor.
struct HidReportLayout {
    bool valid = false;
    // The descriptor declares report IDs, so every report starts with its ID byte.
    bool numbered = false;
    // Bytes of the longest input report, including the report ID byte (which is counted, as
    // 0, also for devices without numbered reports); 0 when the device has no input report.
    quint16 inputReportLength = 0;
};

// Parses a report descriptor: the main, global and local items of the HID class definition,
// with Push/Pop. A truncated or contradictory descriptor gives an invalid layout.
HidReportLayout parseReportDescriptor(const quint8* data, std::size_t size);
