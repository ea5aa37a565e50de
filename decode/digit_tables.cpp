#include "decode/digit_tables.h"

#include "decode/hex_digits.h"

#include <array>

namespace {

// Stroke patterns of the glyphs "0"-"9" and "@", point bit clear. The two digit groups wire the
// same strokes to different bits, so each has its own pattern set and its own point bit.
constexpr char kGlyphs[] = "0123456789@";
constexpr std::array<int, 11> kMainPatterns = {0x7D, 0x60, 0x3E, 0x7A, 0x63, 0x5B,
                                               0x5F, 0x70, 0x7F, 0x7B, 0x0D};
constexpr std::array<int, 11> kUpperPatterns = {0xD7, 0x50, 0xE3, 0xF1, 0xF0, 0xB5,
                                                0xB7, 0xD0, 0xF7, 0xF5, 0x07};

using CodeTable = std::array<DigitCode, 256>;

CodeTable buildTable(const std::array<int, 11>& patterns, int pointBit) {
    CodeTable table;
    table.fill(QStringLiteral("GP"));
    table[0] = QStringLiteral("HN");
    for (size_t i = 0; i < patterns.size(); ++i) {
        const char off[3] = {kGlyphs[i], 'N', 0};
        const char on[3] = {kGlyphs[i], 'P', 0};
        table[size_t(patterns[i])] = QString::fromLatin1(off, 2);
        table[size_t(patterns[i] | pointBit)] = QString::fromLatin1(on, 2);
    }
    return table;
}

DigitCode lookup(QStringView text, const CodeTable& table) {
    if (text.size() < 2)
        return QStringLiteral("GP");
    // Lower case and anything else are not in the tables.
    const int hi = upperHexValue(text[0].unicode());
    const int lo = upperHexValue(text[1].unicode());
    if (hi < 0 || lo < 0)
        return QStringLiteral("GP");
    return table[size_t(hi * 16 + lo)];
}

} // namespace

int HexDigitValue(QStringView text) {
    const int v = text.size() == 1 ? upperHexValue(text[0].unicode()) : -1;
    // Anything else is read as a decimal number; frame texts hold only upper-case hex digits.
    return v >= 0 ? v : text.toString().toInt();
}

DigitCode DigitCodeMain(QStringView text) {
    static const CodeTable table = buildTable(kMainPatterns, 0x80);
    return lookup(text, table);
}

DigitCode DigitCodeUpper(QStringView text) {
    static const CodeTable table = buildTable(kUpperPatterns, 0x08);
    return lookup(text, table);
}
