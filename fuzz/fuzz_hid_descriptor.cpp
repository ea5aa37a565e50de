// HID report descriptors: any bytes. The parser is compared with a plain reading of the item
// stream that counts in 128 bits, so a wrapped count or a truncated item cannot slip through.

#include "fuzz/fuzz_common.h"
#include "link/hid/hid_descriptor.h"

#include <array>
#include <vector>

namespace {

HidReportLayout reference(const quint8* d, size_t size) {
    struct G {
        unsigned __int128 bits = 0, count = 0;
        unsigned id = 0;
    } g;
    std::vector<G> stack;
    std::array<unsigned __int128, 256> input{}, feature{};
    std::array<bool, 256> anyFeature{};
    bool anyInput = false, numbered = false;
    long depth = 0;
    for (size_t i = 0; i < size;) {
        const quint8 p = d[i];
        if (p == 0xFE) {
            if (size - i < 3 || size - i - 3 < d[i + 1])
                return {};
            i += 3 + size_t(d[i + 1]);
            continue;
        }
        const size_t n = (p & 3) == 3 ? 4 : (p & 3);
        if (size - i - 1 < n)
            return {};
        unsigned __int128 v = 0;
        for (size_t k = 0; k < n; ++k)
            v |= (unsigned __int128)d[i + 1 + k] << (8 * k);
        i += 1 + n;
        const int type = (p >> 2) & 3, tag = p >> 4;
        if (type == 0 && tag == 0x8) {
            input[g.id] += g.bits * g.count;
            anyInput = true;
        } else if (type == 0 && tag == 0xB) {
            feature[g.id] += g.bits * g.count;
            anyFeature[g.id] = true;
        } else if (type == 0 && tag == 0xA) {
            ++depth;
        } else if (type == 0 && tag == 0xC) {
            if (--depth < 0)
                return {};
        } else if (type == 1 && tag == 0x7) {
            g.bits = v;
        } else if (type == 1 && tag == 0x8) {
            if (v == 0 || v > 255)
                return {};
            g.id = unsigned(v);
            numbered = true;
        } else if (type == 1 && tag == 0x9) {
            g.count = v;
        } else if (type == 1 && tag == 0xA) {
            stack.push_back(g);
        } else if (type == 1 && tag == 0xB) {
            if (stack.empty())
                return {};
            g = stack.back();
            stack.pop_back();
        }
    }
    if (depth != 0)
        return {};
    unsigned __int128 longest = 0;
    for (auto b : input)
        longest = b > longest ? b : longest;
    const unsigned __int128 bytes = (longest + 7) / 8;
    if (bytes > 0xFFFE)
        return {};
    HidReportLayout out;
    for (size_t id = 0; id < feature.size(); ++id) {
        const unsigned __int128 featureBytes = (feature[id] + 7) / 8;
        if (featureBytes > 0xFFFE)
            return {};
        out.featureReportLength[id] = anyFeature[id] ? quint16(featureBytes + 1) : 0;
    }
    out.valid = true;
    out.numbered = numbered;
    out.inputReportLength = anyInput ? quint16(bytes + 1) : 0;
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const quint8* data, size_t size) {
    using fuzz::check;
    const HidReportLayout got = parseReportDescriptor(data, size);
    const HidReportLayout want = reference(data, size);
    check(got.valid == want.valid, "valid differs from the plain reading");
    if (want.valid) {
        check(got.numbered == want.numbered, "numbered differs from the plain reading");
        check(got.inputReportLength == want.inputReportLength,
              "input report length differs from the plain reading");
        check(got.featureReportLength == want.featureReportLength,
              "feature report lengths differ from the plain reading");
    }
    return 0;
}
