#include "decode/digit_tables.h"

#include "decode/hex_digits.h"

#include <array>

namespace {

// Stroke patterns of the glyphs "0"-"9" and "@", point bit clear. The two digit groups wire the
// same strokes to different bits, so each has its own pattern set and its own point bit.
constexpr char kGlyphs[] = "0123456789@";
constexpr std::array<quint8, 11> kMainPatterns = {0x7D, 0x60, 0x3E, 0x7A, 0x63, 0x5B,
                                                  0x5F, 0x70, 0x7F, 0x7B, 0x0D};
constexpr std::array<quint8, 11> kUpperPatterns = {0xD7, 0x50, 0xE3, 0xF1, 0xF0, 0xB5,
                                                   0xB7, 0xD0, 0xF7, 0xF5, 0x07};

using GlyphTable = std::array<DigitGlyph, 256>;

constexpr GlyphTable buildTable(const std::array<quint8, 11>& patterns, quint8 pointBit) {
    GlyphTable table{};
    for (DigitGlyph& g : table)
        g = {'G', true};
    table[0] = {'H', false};
    for (std::size_t i = 0; i < patterns.size(); ++i) {
        table[patterns[i]] = {kGlyphs[i], false};
        table[quint8(patterns[i] | pointBit)] = {kGlyphs[i], true};
    }
    return table;
}

constexpr GlyphTable kMainTable = buildTable(kMainPatterns, 0x80);
constexpr GlyphTable kUpperTable = buildTable(kUpperPatterns, 0x08);

DigitCode codeOf(QStringView text, const GlyphTable& table) {
    // Lower case and anything else are not in the tables.
    const int hi = text.size() >= 2 ? upperHexValue(text[0].unicode()) : -1;
    const int lo = text.size() >= 2 ? upperHexValue(text[1].unicode()) : -1;
    if (hi < 0 || lo < 0)
        return QStringLiteral("GP");
    const DigitGlyph g = table[std::size_t(hi * 16 + lo)];
    const char code[2] = {g.glyph, g.point ? 'P' : 'N'};
    return QString::fromLatin1(code, 2);
}

} // namespace

DigitGlyph mainDigit(quint8 segments) {
    return kMainTable[segments];
}

DigitGlyph upperDigit(quint8 segments) {
    return kUpperTable[segments];
}

int HexDigitValue(QStringView text) {
    const int v = text.size() == 1 ? upperHexValue(text[0].unicode()) : -1;
    // Anything else is read as a decimal number; digit codes hold only upper-case hex digits.
    return v >= 0 ? v : text.toString().toInt();
}

DigitCode DigitCodeMain(QStringView text) {
    return codeOf(text, kMainTable);
}

DigitCode DigitCodeUpper(QStringView text) {
    return codeOf(text, kUpperTable);
}
