#pragma once

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>

#include <array>
#include <vector>

// The 8-bit code page of the table files (GBK): one byte for ASCII, two for other characters.
// Table files are mostly ASCII; the general converters are slow for that, so these two copy
// ASCII themselves and remember each other character once it has been converted.

// The code page's name, as QStringEncoder and QStringDecoder know it.
inline constexpr char kCodePageName[] = "GBK";

// Whether the code page holds the character, so that it reads back as itself.
bool inCodePage(char32_t u);

// Decodes a stream of code-page bytes, given a piece at a time, exactly as a QStringDecoder
// decodes the whole stream. ASCII and well-formed pairs are decoded here; from the first byte
// sequence that is not, the rest goes through the general decoder.
class CodePageDecoder {
public:
    CodePageDecoder();
    // Appends the characters of the next piece to `out`. A lead byte at the end of the piece
    // waits for the piece that follows.
    void decode(QByteArrayView bytes, QString& out);
    // The end of the stream: appends what an unfinished pair leaves.
    void finish(QString& out);

private:
    char16_t pair(quint8 lead, quint8 trail);
    void decodeGeneral(QByteArrayView bytes, QString& out);
    // Decodes ASCII and well-formed pairs into `d` up to the end, or up to the first sequence
    // that is not simple, where it returns. A lead byte at the end waits in lead_.
    const quint8* decodeSimple(const quint8* p, const quint8* end, char16_t*& d);

    // Characters of the pairs lead 0x81..0xFE, trail 0x40..0xFE; 0 not asked yet, kNone for a
    // pair that is no single character. Single bytes 0x80 and 0xFF are held as trail 0x3F.
    static constexpr char16_t kNone = 0xFFFF;
    std::vector<char16_t> pairs_;
    QStringDecoder probe_;
    QStringDecoder general_;
    bool generalOnly_ = false;
    int lead_ = -1; // a lead byte waiting for its trail
};

// Encodes text in the code page, as a QStringEncoder does.
class CodePageEncoder {
public:
    CodePageEncoder();
    void encode(QStringView text, QByteArray& out);

private:
    struct Bytes {
        char b[2];
        quint8 size = 0; // 0: not asked yet
    };
    QStringEncoder enc_;
    std::vector<Bytes> known_; // by UTF-16 unit, surrogates excluded
};
