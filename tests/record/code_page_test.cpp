#include "record/code_page.h"
#include "record/table_texts.h"

#include <gtest/gtest.h>

#include <random>

namespace {

// Bytes as table files hold them, and as broken ones do: mostly ASCII, pairs of the code page,
// lead bytes before bytes that are no trail, the single bytes 0x80 and 0xFF, lone leads.
QByteArray someBytes(std::mt19937& rng, int n) {
    QByteArray b;
    std::uniform_int_distribution<int> pick(0, 99), byte(0, 255), lead(0x81, 0xFE),
        trail(0x40, 0xFE), ascii(0, 0x7F);
    while (b.size() < n) {
        const int k = pick(rng);
        if (k < 60) {
            b += char(ascii(rng));
        } else if (k < 85) {
            b += char(lead(rng));
            b += char(trail(rng));
        } else if (k < 88) {
            b += "\xA6\xB8";
        } else if (k < 93) {
            b += char(lead(rng));
            b += char(ascii(rng) % 0x40);
        } else {
            b += char(byte(rng));
        }
    }
    return b;
}

TEST(CodePage, DecodingInAnyPiecesGivesWhatTheGeneralDecoderGives) {
    std::mt19937 rng(13);
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE(round);
        const QByteArray bytes = someBytes(rng, 1 + round * 7 % 400);
        QStringDecoder whole(kCodePageName);
        QString expected = whole.decode(bytes);
        expected += whole.decode(QByteArray());

        CodePageDecoder dec;
        QString got;
        std::uniform_int_distribution<int> piece(1, 40);
        for (qsizetype at = 0; at < bytes.size();) {
            const qsizetype n = std::min<qsizetype>(piece(rng), bytes.size() - at);
            dec.decode(QByteArrayView(bytes).sliced(at, n), got);
            at += n;
        }
        dec.finish(got);
        ASSERT_EQ(got, expected) << bytes.toHex().toStdString();
    }
}

TEST(CodePage, EncodingGivesWhatTheGeneralEncoderGives) {
    std::mt19937 rng(7);
    const QString pool = QString::fromUtf8("aZ09 \t&\u03A9\u4E2D\u00E9\u0E01\u20AC\u3000"
                                           "\U0001F600\uE000");
    CodePageEncoder enc; // one for all: what it remembers must stay right
    for (int round = 0; round < 200; ++round) {
        QString text;
        std::uniform_int_distribution<qsizetype> pick(0, pool.size() - 1);
        for (int i = round % 30; i > 0; --i)
            text += pool[pick(rng)];
        QStringEncoder whole(kCodePageName, QStringConverter::Flag::Stateless);
        QByteArray expected("x");
        expected += whole.encode(text);
        QByteArray got("x");
        enc.encode(text, got);
        ASSERT_EQ(got.toHex(), expected.toHex()) << text.toStdString();
    }
}

TEST(TableTexts, EachTextGetsOneIdWhereverItIsMet) {
    ReadingTable table;
    TextIds ids(table);
    const QString long25 = QStringLiteral("0123456789012345678901234");
    EXPECT_EQ(ids.id(u"", 0), 0u);
    const quint32 a = ids.id(u"1.5", 0);
    const quint32 b = ids.id(u"M\u03A9", 1);
    EXPECT_NE(a, b);
    // Enough texts that the lookup grows, met in several columns.
    for (int i = 0; i < 3000; ++i)
        ids.id(QString::number(i), i % 4);
    EXPECT_EQ(ids.id(u"1.5", 3), a);
    EXPECT_EQ(ids.id(u"M\u03A9", 0), b);
    EXPECT_EQ(table.textById(ids.id(QString::number(2999), 2)), QString::number(2999));
    // Texts are cut to the field's width; two that cut alike are one text.
    const quint32 cut = ids.id(long25, 0);
    EXPECT_EQ(table.textById(cut), long25.left(20));
    EXPECT_EQ(ids.id(QStringView(long25).left(22), 1), cut);
}

} // namespace
