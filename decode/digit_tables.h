#pragma once

#include <QString>
#include <QStringView>

// Two characters: the glyph ("0"-"9", "@" for the L pattern, "H" blank, "G" unknown) and the
// point flag ("N" off, "P" on).
using DigitCode = QString;

// One digit position as its eight segments light it: the glyph of its code and its point.
struct DigitGlyph {
    char glyph; // '0'-'9', '@' for the L pattern, 'H' blank, 'G' a pattern the table does not know
    bool point;
};

// The main, time and memory digits: the point is the segment of value 0x80.
DigitGlyph mainDigit(quint8 segments);
// The test-voltage digits, wired differently: the point is the segment of value 0x08.
DigitGlyph upperDigit(quint8 segments);

// One hexadecimal character ("0"-"9", "A"-"F") as a number 0-15.
int HexDigitValue(QStringView text);

// The digit code of the first two characters of `text` for the main, time and memory digits.
DigitCode DigitCodeMain(QStringView text);

// The digit code of the first two characters of `text` for the test-voltage digits.
DigitCode DigitCodeUpper(QStringView text);

// True when bit `bit` (0-3) of the nibble value is set.
inline bool nibbleBit(int value, int bit) {
    return ((value >> bit) & 1) != 0;
}
