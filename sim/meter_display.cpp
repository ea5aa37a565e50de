#include "sim/meter_display.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace sim {

namespace {

// The seven strokes of a digit, as bits of a stroke set.
enum Stroke : int { A = 1, B = 2, C = 4, D = 8, E = 16, F = 32, G = 64 };

int strokesOf(char glyph) {
    switch (glyph) {
    case '0':
        return A | B | C | D | E | F;
    case '1':
        return B | C;
    case '2':
        return A | B | D | E | G;
    case '3':
        return A | B | C | D | G;
    case '4':
        return B | C | F | G;
    case '5':
        return A | C | D | F | G;
    case '6':
        return A | C | D | E | F | G;
    case '7':
        return A | B | C;
    case '8':
        return A | B | C | D | E | F | G;
    case '9':
        return A | B | C | D | F | G;
    case 'L':
        return D | E | F;
    default:
        return 0;
    }
}

// How each digit group wires its strokes to the bits of its segment byte.
struct Wiring {
    int a, b, c, d, e, f, g, point;
};
constexpr Wiring kMainWiring{0x10, 0x20, 0x40, 0x08, 0x04, 0x01, 0x02, 0x80};
constexpr Wiring kUpperWiring{0x80, 0x40, 0x10, 0x01, 0x02, 0x04, 0x20, 0x08};

int pattern(const Digit& digit, const Wiring& w, bool upper) {
    const int s = strokesOf(digit.glyph);
    int p = 0;
    p |= (s & A) ? w.a : 0;
    p |= (s & B) ? w.b : 0;
    p |= (s & C) ? w.c : 0;
    p |= (s & D) ? w.d : 0;
    p |= (s & E) ? w.e : 0;
    p |= (s & F) ? w.f : 0;
    p |= (s & G) ? w.g : 0;
    // The test-voltage group lights its 4 with the top stroke and without the upper left one.
    if (upper && digit.glyph == '4')
        p = w.a | w.b | w.c | w.g;
    return p | (digit.point ? w.point : 0);
}

void setPositional(std::string_view text, Digit* out, int count) {
    int i = -1;
    for (char ch : text) {
        if (ch == '.' || ch == ':') {
            if (i >= 0)
                out[i].point = true;
            continue;
        }
        if (++i >= count)
            break;
        out[i].glyph = ch;
        out[i].point = false;
    }
    for (++i; i < count; ++i)
        out[i] = Digit{};
}

} // namespace

void MeterDisplay::setMain(std::string_view text) {
    minus = !text.empty() && text.front() == '-';
    if (minus)
        text.remove_prefix(1);
    setPositional(text, main.data(), 4);
}

void MeterDisplay::setUpper(std::string_view text) {
    setPositional(text, upper.data(), 4);
}

void MeterDisplay::setTimer(std::string_view text) {
    setPositional(text, timer.data(), 4);
}

void MeterDisplay::setBarsForOhms(double ohms) {
    bars.reset();
    bars.set(0);
    for (int i = 1; i <= 29; ++i)
        if (ohms >= 1e5 * std::pow(10.0, (i - 1) / 4.0) * (1 - 1e-9))
            bars.set(size_t(i));
    if (ohms > 1e12)
        bars.set(30);
}

MeterDisplay MeterDisplay::allSegments() {
    MeterDisplay m;
    m.setMain("8.8.8.8.");
    m.minus = true;
    m.setUpper("8.8.8.8.");
    m.setTimer("8.8.8.8.");
    m.memoryOne = true;
    m.memory = {'8', true};
    m.bars.set();
    m.dc = m.ac = true;
    m.unitV = m.unitOhm = m.unitMOhm = m.unitGOhm = m.smallMOhm = true;
    m.timed = m.pi = m.s1 = m.s2 = m.s3 = true;
    m.load = m.save = m.time1 = m.time2 = true;
    m.symbol = m.circleLead = m.battery = true;
    m.batteryCells = 3;
    return m;
}

MeterDisplay MeterDisplay::insulation(std::string_view value, std::u16string_view unit, int volts) {
    MeterDisplay m;
    m.setMain(value);
    m.unitV = unit == u"V";
    m.unitOhm = unit == u"\u03A9";
    m.unitMOhm = unit == u"M\u03A9";
    m.unitGOhm = unit == u"G\u03A9";
    if (volts == 500)
        m.setUpper(" 500");
    else if (volts == 1000 || volts == 2500 || volts == 5000)
        m.setUpper(std::to_string(volts));
    // The bolt shares its segment byte with the first voltage digit; at 500 V that digit is
    // blank, and a lone point there is a pattern the program does not read.
    m.upper[0].point = volts >= 1000;
    m.upper[3].point = true; // the V after the test voltage
    m.battery = true;
    m.batteryCells = 3;

    // The bar graph follows the reading.
    QString digits;
    for (char ch : value)
        if ((ch >= '0' && ch <= '9') || ch == '.')
            digits += QLatin1Char(ch);
    bool ok = false;
    double ohms = digits.toDouble(&ok);
    if (ok) {
        if (m.unitMOhm)
            ohms *= 1e6;
        else if (m.unitGOhm)
            ohms *= 1e9;
        m.setBarsForOhms(ohms);
    }
    return m;
}

MeterDisplay MeterDisplay::insulationOhms(double ohms, int volts) {
    if (ohms < 1e9)
        return insulation(fourDigits(ohms / 1e6), u"M\u03A9", volts);
    return insulation(fourDigits(ohms / 1e9), u"G\u03A9", volts);
}

std::string fourDigits(double v) {
    char buf[32];
    for (int decimals = 3; decimals >= 0; --decimals) {
        std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
        int digits = 0;
        for (const char* p = buf; *p; ++p)
            digits += (*p >= '0' && *p <= '9');
        if (digits <= 4)
            return buf;
    }
    return "9999";
}

std::string timerText(int seconds) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d:%02d", seconds / 60 % 100, seconds % 60);
    return buf;
}

QByteArray frameBytes(const MeterDisplay& m) {
    QByteArray f(22, '\0');
    auto bit = [&](int byte, int mask, bool on) {
        if (on)
            f[byte - 1] = char(quint8(f[byte - 1]) | mask);
    };
    auto bar = [&](int i) { return m.bars.test(size_t(i)); };

    // Bar graph, bytes 1-4 and 20.
    bit(1, 0x10, bar(6)), bit(1, 0x20, bar(5)), bit(1, 0x40, bar(4)), bit(1, 0x80, bar(3));
    bit(1, 0x01, bar(7)), bit(1, 0x02, bar(8)), bit(1, 0x04, bar(9)), bit(1, 0x08, bar(10));
    bit(2, 0x10, bar(14)), bit(2, 0x20, bar(13)), bit(2, 0x40, bar(12)), bit(2, 0x80, bar(11));
    bit(2, 0x01, bar(15)), bit(2, 0x02, bar(16)), bit(2, 0x04, bar(17)), bit(2, 0x08, bar(18));
    bit(3, 0x10, bar(22)), bit(3, 0x20, bar(21)), bit(3, 0x40, bar(20)), bit(3, 0x80, bar(19));
    bit(3, 0x01, bar(23)), bit(3, 0x02, bar(24)), bit(3, 0x04, bar(25)), bit(3, 0x08, bar(26));
    bit(4, 0x10, bar(30)), bit(4, 0x20, bar(29)), bit(4, 0x40, bar(28)), bit(4, 0x80, bar(27));
    bit(20, 0x20, bar(0)), bit(20, 0x40, bar(1)), bit(20, 0x80, bar(2));

    // Function signs and the timer's MΩ sign.
    bit(4, 0x01, m.dc), bit(4, 0x02, m.ac), bit(4, 0x04, m.minus), bit(4, 0x08, m.smallMOhm);

    // Annunciators.
    bit(10, 0x10, m.timed), bit(10, 0x20, m.s1), bit(10, 0x40, m.s2), bit(10, 0x80, m.s3);
    bit(10, 0x01, m.load), bit(10, 0x02, m.save), bit(10, 0x04, m.time2), bit(10, 0x08, m.time1);
    bit(15, 0x10, m.unitV), bit(15, 0x20, m.unitOhm), bit(15, 0x40, m.unitMOhm);
    bit(15, 0x80, m.unitGOhm);
    bit(19, 0x01, m.symbol), bit(19, 0x04, m.pi), bit(19, 0x08, m.memoryOne);
    bit(20, 0x10, m.circleLead), bit(20, 0x01, m.battery);
    bit(20, 0x02, m.batteryCells >= 1), bit(20, 0x04, m.batteryCells >= 2);
    bit(20, 0x08, m.batteryCells >= 3);

    // Main digits: one byte each, nibbles in swapped order.
    for (int i = 0; i < 4; ++i) {
        const int p = pattern(m.main[size_t(i)], kMainWiring, false);
        f[10 + i] = char(((p & 0x0F) << 4) | (p >> 4));
    }
    // Test-voltage digits straddle bytes 15-19: the high nibble of one byte, then the low
    // nibble of the byte before it.
    for (int i = 0; i < 4; ++i) {
        const int p = pattern(m.upper[size_t(i)], kUpperWiring, true);
        const int hi = 15 + i, lo = 14 + i; // zero-based byte indexes
        f[hi] = char((quint8(f[hi]) & 0x0F) | (p & 0xF0));
        f[lo] = char((quint8(f[lo]) & 0xF0) | (p & 0x0F));
    }
    // Timer digits, bytes 8 down to 5, and the memory digit, byte 9.
    for (int i = 0; i < 4; ++i)
        f[7 - i] = char(pattern(m.timer[size_t(i)], kMainWiring, false));
    f[8] = char(pattern(m.memory, kMainWiring, false));

    f[20] = '\r';
    f[21] = '\n';
    return f;
}

MeterFrame meterFrame(const QByteArray& frame) {
    MeterFrame out{};
    std::copy_n(frame.constData(), std::min<qsizetype>(frame.size(), qsizetype(out.size())),
                out.begin());
    return out;
}

MeterFrame meterFrame(const MeterDisplay& display) {
    return meterFrame(frameBytes(display));
}

std::vector<QByteArray> cableReports(const QByteArray& bytes, int perReport) {
    perReport = std::clamp(perReport, 1, 7);
    std::vector<QByteArray> out;
    for (qsizetype i = 0; i < bytes.size(); i += perReport) {
        const qsizetype n = std::min<qsizetype>(perReport, bytes.size() - i);
        QByteArray r(8, '\0');
        r[0] = char(0xF0 | n);
        for (qsizetype k = 0; k < n; ++k)
            r[1 + k] = bytes[i + k];
        out.push_back(r);
    }
    return out;
}

QByteArray idleReport() {
    QByteArray r(8, '\0');
    r[0] = char(0xF0);
    return r;
}

} // namespace sim
