#include "record/code_page.h"

#include <atomic>
#include <cstring>

namespace {

constexpr int kLeadFirst = 0x81, kLeadLast = 0xFE;
constexpr int kTrailFirst = 0x3F, kTrailLast = 0xFE; // 0x3F: the single bytes 0x80, 0xFF
constexpr int kTrails = kTrailLast - kTrailFirst + 1;

bool isLead(quint8 b) {
    return b >= kLeadFirst && b <= kLeadLast;
}

} // namespace

bool inCodePage(char32_t u) {
    auto roundTrips = [](char32_t c) {
        const QString text = QString::fromUcs4(&c, 1);
        QStringEncoder enc(kCodePageName);
        const QByteArray bytes = enc.encode(text);
        QStringDecoder dec(kCodePageName);
        const QString back = dec.decode(bytes);
        return !enc.hasError() && !dec.hasError() && back == text;
    };
    if (u > 0xFFFF)
        return roundTrips(u);
    // 0 not asked yet, 1 held, 2 not held.
    static std::array<std::atomic<quint8>, 0x10000> known{};
    std::atomic<quint8>& k = known[u];
    quint8 v = k.load(std::memory_order_relaxed);
    if (v == 0) {
        v = roundTrips(u) ? 1 : 2;
        k.store(v, std::memory_order_relaxed);
    }
    return v == 1;
}

// ---- decoding ----

CodePageDecoder::CodePageDecoder()
    : pairs_(size_t(kLeadLast - kLeadFirst + 2) * kTrails, 0),
      probe_(kCodePageName, QStringConverter::Flag::Stateless), general_(kCodePageName) {}

// The character of a pair (lead 0 for the single bytes 0x80 and 0xFF), kNone when the pair is
// not simply one character.
char16_t CodePageDecoder::pair(quint8 lead, quint8 trail) {
    const bool single = lead == 0;
    if (!single && (trail < 0x40 || trail > kTrailLast || trail == 0x7F))
        return kNone;
    const size_t at =
        size_t(single ? 0 : lead - kLeadFirst + 1) * kTrails +
        size_t(single ? (trail == 0x80 ? 0 : kTrailLast - kTrailFirst) : trail - kTrailFirst);
    char16_t& c = pairs_[at];
    if (c == 0) {
        const char bytes[2] = {char(single ? trail : lead), char(trail)};
        const QString s = probe_.decode(QByteArrayView(bytes, single ? 1 : 2));
        const bool one = !probe_.hasError() && s.size() == 1 && !s[0].isSurrogate() &&
                         s[0].unicode() != kNone && s[0] != QChar::ReplacementCharacter;
        probe_.resetState();
        c = one ? s[0].unicode() : kNone;
    }
    return c;
}

void CodePageDecoder::decodeGeneral(QByteArrayView bytes, QString& out) {
    generalOnly_ = true;
    if (lead_ >= 0) {
        const char lead = char(lead_);
        lead_ = -1;
        out += general_.decode(QByteArrayView(&lead, 1));
    }
    out += general_.decode(bytes);
}

namespace {

// Copies ASCII, the bulk of a table file, eight bytes at a time where it can; stops at the
// first byte that is not ASCII.
const quint8* copyAscii(const quint8* p, const quint8* end, char16_t*& d) {
    while (end - p >= 8) {
        quint64 w;
        std::memcpy(&w, p, 8);
        if (w & 0x8080808080808080ull)
            break;
        for (int i = 0; i < 8; ++i)
            d[i] = p[i];
        d += 8;
        p += 8;
    }
    while (p < end && *p < 0x80)
        *d++ = *p++;
    return p;
}

} // namespace

const quint8* CodePageDecoder::decodeSimple(const quint8* p, const quint8* end, char16_t*& d) {
    while ((p = copyAscii(p, end, d)) < end) {
        char16_t c;
        if (!isLead(*p)) {
            c = pair(0, *p); // 0x80 or 0xFF on its own
        } else if (p + 1 == end) {
            lead_ = *p;
            return end;
        } else {
            c = pair(p[0], p[1]);
        }
        if (c == kNone)
            return p;
        *d++ = c;
        p += isLead(*p) ? 2 : 1;
    }
    return p;
}

void CodePageDecoder::decode(QByteArrayView bytes, QString& out) {
    if (generalOnly_) {
        out += general_.decode(bytes);
        return;
    }
    const auto* p = reinterpret_cast<const quint8*>(bytes.data());
    const quint8* const end = p + bytes.size();
    // No byte gives more than one character: room for all of them, cut back at the end.
    const qsizetype start = out.size();
    out.resize(start + bytes.size() + 1);
    char16_t* const first = reinterpret_cast<char16_t*>(out.data()) + start;
    char16_t* d = first;
    if (lead_ >= 0 && p < end) {
        const char16_t c = pair(quint8(lead_), *p);
        if (c == kNone) {
            out.resize(start);
            decodeGeneral(bytes, out);
            return;
        }
        *d++ = c;
        ++p;
        lead_ = -1;
    }
    p = decodeSimple(p, end, d);
    out.resize(start + (d - first));
    if (p < end)
        decodeGeneral(QByteArrayView(reinterpret_cast<const char*>(p), end - p), out);
}

void CodePageDecoder::finish(QString& out) {
    if (lead_ >= 0)
        decodeGeneral(QByteArrayView(), out);
    if (generalOnly_)
        out += general_.decode(QByteArrayView());
}

// ---- encoding ----

CodePageEncoder::CodePageEncoder()
    : enc_(kCodePageName, QStringConverter::Flag::Stateless), known_(0x10000) {}

void CodePageEncoder::encode(QStringView text, QByteArray& out) {
    qsizetype at = out.size();
    out.resize(at + text.size() * 2 + 2); // grown below for anything longer
    const char16_t* p = text.utf16();
    const char16_t* const end = p + text.size();
    auto room = [&](qsizetype n) {
        if (at + n > out.size())
            out.resize(at + n + (end - p) * 2);
    };
    while (p < end) {
        const char16_t c = *p;
        if (c < 0x80) {
            out.data()[at++] = char(c);
            ++p;
            continue;
        }
        Bytes& k = known_[c];
        if (k.size != 0) {
            room(2);
            out.data()[at] = k.b[0];
            out.data()[at + 1] = k.b[1];
            at += k.size;
            ++p;
            continue;
        }
        // Surrogates go to the encoder a whole run at a time with the character after them, so
        // that it pairs them, or finds them unpaired, as in the whole text; other characters
        // are remembered.
        qsizetype n = 1;
        if (QChar::isSurrogate(c)) {
            while (p + n < end && QChar::isSurrogate(p[n]))
                ++n;
            n += p + n < end ? 1 : 0;
        }
        const QByteArray b = enc_.encode(QStringView(p, n));
        if (n == 1 && !QChar::isSurrogate(c) && (b.size() == 1 || b.size() == 2)) {
            k.size = quint8(b.size());
            std::memcpy(k.b, b.constData(), size_t(b.size()));
        }
        p += n;
        room(b.size());
        std::memcpy(out.data() + at, b.constData(), size_t(b.size()));
        at += b.size();
    }
    out.resize(at);
}
