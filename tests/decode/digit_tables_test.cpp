#include "decode/digit_tables.h"

#include <gtest/gtest.h>

#include <map>

namespace {

struct Row {
    const char* code;
    const char* main;
    const char* upper;
};

// Every entry of both tables, as the meter wires its digit segments.
const Row kTable[] = {
    {"0N", "7D", "D7"}, {"1N", "60", "50"}, {"2N", "3E", "E3"}, {"3N", "7A", "F1"},
    {"4N", "63", "F0"}, {"5N", "5B", "B5"}, {"6N", "5F", "B7"}, {"7N", "70", "D0"},
    {"8N", "7F", "F7"}, {"9N", "7B", "F5"}, {"@N", "0D", "07"}, {"HN", "00", "00"},
    {"0P", "FD", "DF"}, {"1P", "E0", "58"}, {"2P", "BE", "EB"}, {"3P", "FA", "F9"},
    {"4P", "E3", "F8"}, {"5P", "DB", "BD"}, {"6P", "DF", "BF"}, {"7P", "F0", "D8"},
    {"8P", "FF", "FF"}, {"9P", "FB", "FD"}, {"@P", "8D", "0F"},
};

QString hex2(int b) {
    return QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper();
}

TEST(DigitTables, EveryByteDecodesAsTheTablesSayAndNothingElseIsRecognised) {
    std::map<QString, QString> mainExpected, upperExpected;
    for (const Row& r : kTable) {
        mainExpected[QString::fromLatin1(r.main)] = QString::fromLatin1(r.code);
        upperExpected[QString::fromLatin1(r.upper)] = QString::fromLatin1(r.code);
    }
    for (int b = 0; b < 256; ++b) {
        const QString in = hex2(b);
        const auto m = mainExpected.find(in);
        const auto u = upperExpected.find(in);
        EXPECT_EQ(DigitCodeMain(in), m == mainExpected.end() ? QStringLiteral("GP") : m->second)
            << in.toStdString();
        EXPECT_EQ(DigitCodeUpper(in), u == upperExpected.end() ? QStringLiteral("GP") : u->second)
            << in.toStdString();
    }
}

TEST(DigitTables, TheTwoTablesDisagreeWhereTheWiringDiffers) {
    EXPECT_EQ(DigitCodeMain(u"F0"), u"7P");
    EXPECT_EQ(DigitCodeUpper(u"F0"), u"4N");
    EXPECT_EQ(DigitCodeMain(u"E3"), u"4P");
    EXPECT_EQ(DigitCodeUpper(u"E3"), u"2N");
    EXPECT_EQ(DigitCodeMain(u"7D"), u"0N");
    EXPECT_EQ(DigitCodeUpper(u"7D"), u"GP");
    // A lone point is no digit in either group.
    EXPECT_EQ(DigitCodeMain(u"80"), u"GP");
    EXPECT_EQ(DigitCodeUpper(u"08"), u"GP");
}

TEST(DigitTables, OnlyTheFirstTwoUpperCaseCharactersCount) {
    EXPECT_EQ(DigitCodeMain(u"7D00"), u"0N");
    EXPECT_EQ(DigitCodeUpper(u"D7FF"), u"0N");
    EXPECT_EQ(DigitCodeMain(u"7d"), u"GP");
    EXPECT_EQ(DigitCodeMain(u"7"), u"GP");
    EXPECT_EQ(DigitCodeMain(u""), u"GP");
    EXPECT_EQ(DigitCodeUpper(u"ZZ"), u"GP");
}

TEST(DigitTables, HexDigitValueAndItsBits) {
    const char* digits = "0123456789ABCDEF";
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(HexDigitValue(QString(QLatin1Char(digits[i]))), i);
    const int seven = HexDigitValue(u"7");
    EXPECT_TRUE(nibbleBit(seven, 0) && nibbleBit(seven, 1) && nibbleBit(seven, 2));
    EXPECT_FALSE(nibbleBit(seven, 3));
    EXPECT_TRUE(nibbleBit(HexDigitValue(u"8"), 3));
}

} // namespace
