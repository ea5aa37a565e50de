#include "link/hid/hid_descriptor.h"

#include <algorithm>
#include <array>
#include <vector>

namespace {

// Adds a field's bits to a report's total. Saturates: a total past what any report may hold
// makes the descriptor invalid either way, and must not wrap round to a plausible length.
void addBits(quint64& total, quint64 bits) {
    total = bits > ~total ? ~quint64(0) : total + bits;
}

quint64 bytesOf(quint64 bits) {
    return bits / 8 + (bits % 8 != 0);
}

struct Globals {
    quint32 reportSize = 0;  // bits per field
    quint32 reportCount = 0; // fields per item
    quint32 reportId = 0;
};

} // namespace

HidReportLayout parseReportDescriptor(const quint8* data, std::size_t size) {
    HidReportLayout layout;
    Globals g;
    std::vector<Globals> stack;
    // Input and feature bits per report ID (0..255).
    std::array<quint64, 256> inputBits{};
    std::array<quint64, 256> featureBits{};
    std::array<bool, 256> anyFeature{};
    bool anyInput = false;
    int depth = 0;

    std::size_t i = 0;
    while (i < size) {
        const quint8 prefix = data[i];
        if (prefix == 0xFE) { // long item: skipped whole
            // Prefix, data size, tag, then the data: all of it must be there.
            if (size - i < 3 || size - i - 3 < data[i + 1])
                return {};
            i += 3 + std::size_t(data[i + 1]);
            continue;
        }
        const std::size_t n = (prefix & 0x03) == 3 ? 4 : (prefix & 0x03);
        if (i + 1 + n > size)
            return {};
        quint32 value = 0;
        for (std::size_t k = 0; k < n; ++k)
            value |= quint32(data[i + 1 + k]) << (8 * k);
        i += 1 + n;

        const int type = (prefix >> 2) & 0x03;
        const int tag = prefix >> 4;
        if (type == 0) { // main
            switch (tag) {
            case 0x8: // Input
                addBits(inputBits[g.reportId], quint64(g.reportSize) * g.reportCount);
                anyInput = true;
                break;
            case 0xA: // Collection
                ++depth;
                break;
            case 0xC: // End Collection
                if (--depth < 0)
                    return {};
                break;
            case 0xB: // Feature
                addBits(featureBits[g.reportId], quint64(g.reportSize) * g.reportCount);
                anyFeature[g.reportId] = true;
                break;
            default: // Output
                break;
            }
        } else if (type == 1) { // global
            switch (tag) {
            case 0x7:
                g.reportSize = value;
                break;
            case 0x8:
                if (value == 0 || value > 255)
                    return {};
                g.reportId = value;
                layout.numbered = true;
                break;
            case 0x9:
                g.reportCount = value;
                break;
            case 0xA:
                stack.push_back(g);
                break;
            case 0xB:
                if (stack.empty())
                    return {};
                g = stack.back();
                stack.pop_back();
                break;
            default:
                break;
            }
        }
    }
    if (depth != 0)
        return {};

    quint64 longest = 0;
    if (anyInput)
        for (quint64 bits : inputBits)
            longest = std::max(longest, bits);
    const quint64 bytes = bytesOf(longest);
    if (bytes > 0xFFFE)
        return {};
    layout.inputReportLength = anyInput ? quint16(bytes + 1) : 0;
    for (std::size_t id = 0; id < featureBits.size(); ++id) {
        if (!anyFeature[id])
            continue;
        const quint64 featureBytes = bytesOf(featureBits[id]);
        if (featureBytes > 0xFFFE)
            return {};
        layout.featureReportLength[id] = quint16(featureBytes + 1);
    }
    layout.valid = true;
    return layout;
}

std::vector<quint8> sizeFeatureReport(const HidReportLayout& layout, const quint8* report,
                                      std::size_t length) {
    if (length == 0)
        return {};
    if (!layout.valid)
        return {report, report + length};
    const std::size_t declared = layout.featureReportLength[report[0]];
    if (declared == 0)
        return {};
    std::vector<quint8> out(declared, 0);
    std::copy_n(report, std::min(length, declared), out.begin());
    return out;
}
