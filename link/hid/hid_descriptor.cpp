// Read by hand: no library we build on parses report descriptors (hidapi hands over the bytes).

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

// One item: its prefix and its data, little-endian (none kept for a long item).
struct Item {
    quint8 prefix = 0;
    quint32 value = 0;
    int type() const { return (prefix >> 2) & 0x03; }
    int tag() const { return prefix >> 4; }
};

// The items of a descriptor one by one.
class ItemReader {
public:
    ItemReader(const quint8* data, std::size_t size) : data_(data), size_(size) {}
    bool atEnd() const { return i_ >= size_; }
    // The next item; false when the descriptor ends inside it. A long item is skipped whole and
    // comes out as its prefix alone.
    bool next(Item& item) {
        item.prefix = data_[i_];
        item.value = 0;
        if (item.prefix == 0xFE) {
            // Prefix, data size, tag, then the data: all of it must be there.
            if (size_ - i_ < 3 || size_ - i_ - 3 < data_[i_ + 1])
                return false;
            i_ += 3 + std::size_t(data_[i_ + 1]);
            return true;
        }
        const std::size_t n = (item.prefix & 0x03) == 3 ? 4 : (item.prefix & 0x03);
        if (i_ + 1 + n > size_)
            return false;
        for (std::size_t k = 0; k < n; ++k)
            item.value |= quint32(data_[i_ + 1 + k]) << (8 * k);
        i_ += 1 + n;
        return true;
    }

private:
    const quint8* data_;
    std::size_t size_;
    std::size_t i_ = 0;
};

// The report lengths that the main and global items declare.
class LayoutBuilder {
public:
    // False when the item contradicts what came before.
    bool take(const Item& item) {
        if (item.type() == 0)
            return mainItem(item.tag());
        if (item.type() == 1)
            return globalItem(item.tag(), item.value);
        return true; // local and long items say nothing about lengths
    }
    // The layout, invalid when collections are left open or a report is too long.
    HidReportLayout finish();

private:
    bool mainItem(int tag);
    bool globalItem(int tag, quint32 value);

    HidReportLayout layout_;
    Globals g_;
    std::vector<Globals> stack_;
    // Input and feature bits per report ID (0..255).
    std::array<quint64, 256> inputBits_{};
    std::array<quint64, 256> featureBits_{};
    std::array<bool, 256> anyFeature_{};
    bool anyInput_ = false;
    int depth_ = 0;
};

bool LayoutBuilder::mainItem(int tag) {
    switch (tag) {
    case 0x8: // Input
        addBits(inputBits_[g_.reportId], quint64(g_.reportSize) * g_.reportCount);
        anyInput_ = true;
        break;
    case 0xA: // Collection
        ++depth_;
        break;
    case 0xC: // End Collection
        return --depth_ >= 0;
    case 0xB: // Feature
        addBits(featureBits_[g_.reportId], quint64(g_.reportSize) * g_.reportCount);
        anyFeature_[g_.reportId] = true;
        break;
    default: // Output
        break;
    }
    return true;
}

bool LayoutBuilder::globalItem(int tag, quint32 value) {
    switch (tag) {
    case 0x7:
        g_.reportSize = value;
        break;
    case 0x8:
        if (value == 0 || value > 255)
            return false;
        g_.reportId = value;
        layout_.numbered = true;
        break;
    case 0x9:
        g_.reportCount = value;
        break;
    case 0xA:
        stack_.push_back(g_);
        break;
    case 0xB:
        if (stack_.empty())
            return false;
        g_ = stack_.back();
        stack_.pop_back();
        break;
    default:
        break;
    }
    return true;
}

HidReportLayout LayoutBuilder::finish() {
    if (depth_ != 0)
        return {};
    quint64 longest = 0;
    if (anyInput_)
        for (quint64 bits : inputBits_)
            longest = std::max(longest, bits);
    const quint64 bytes = bytesOf(longest);
    if (bytes > 0xFFFE)
        return {};
    layout_.inputReportLength = anyInput_ ? quint16(bytes + 1) : 0;
    for (std::size_t id = 0; id < featureBits_.size(); ++id) {
        if (!anyFeature_[id])
            continue;
        const quint64 featureBytes = bytesOf(featureBits_[id]);
        if (featureBytes > 0xFFFE)
            return {};
        layout_.featureReportLength[id] = quint16(featureBytes + 1);
    }
    layout_.valid = true;
    return layout_;
}

} // namespace

HidReportLayout parseReportDescriptor(const quint8* data, std::size_t size) {
    ItemReader items(data, size);
    LayoutBuilder layout;
    Item item;
    while (!items.atEnd())
        if (!items.next(item) || !layout.take(item))
            return {};
    return layout.finish();
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
