#include "core/reading.h"

#include <algorithm>

namespace {

bool isOhmSign(char16_t u) {
    return u == 0x03A9 || u == 0x2126;
}

} // namespace

Unit unitOf(QStringView text) {
    text = text.trimmed();
    if (text.isEmpty() || text == u"NULL")
        return Unit::None;
    if (isOhmSign(text.back().unicode())) {
        const QStringView prefix = text.chopped(1);
        if (prefix.isEmpty())
            return Unit::Ohm;
        if (prefix.size() > 1)
            return Unit::Other;
        switch (prefix.front().unicode()) {
        case u'k':
        case u'K':
            return Unit::KiloOhm;
        case u'M':
            return Unit::MegaOhm;
        case u'G':
            return Unit::GigaOhm;
        case u'T':
            return Unit::TeraOhm;
        default:
            return Unit::Other;
        }
    }
    if (text == u"V")
        return Unit::V;
    if (text == u"mV")
        return Unit::MilliV;
    if (text == u"kV")
        return Unit::KiloV;
    return Unit::Other;
}

QString unitText(Unit unit) {
    switch (unit) {
    case Unit::None:
    case Unit::Other:
        return {};
    case Unit::V:
        return QStringLiteral("V");
    case Unit::MilliV:
        return QStringLiteral("mV");
    case Unit::KiloV:
        return QStringLiteral("kV");
    case Unit::Ohm:
        return QStringLiteral("\u03A9");
    case Unit::KiloOhm:
        return QStringLiteral("k\u03A9");
    case Unit::MegaOhm:
        return QStringLiteral("M\u03A9");
    case Unit::GigaOhm:
        return QStringLiteral("G\u03A9");
    case Unit::TeraOhm:
        return QStringLiteral("T\u03A9");
    }
    return {};
}

namespace {

struct NumberText {
    qint64 mantissa = 0; // signed
    int decimals = 0;
};

// A Value text as a number: at most 15 digits and one separator ("." or ","), an optional
// leading "-", blanks and control characters around it ignored.
std::optional<NumberText> numberText(QStringView text) {
    // Plain code units: this runs for every row of a file that is loaded.
    if (text.isEmpty())
        return std::nullopt;
    const char16_t* p = text.utf16();
    const char16_t* end = p + text.size();
    while (p < end && *p <= u' ')
        ++p;
    while (end > p && end[-1] <= u' ')
        --end;
    bool negative = false;
    if (p < end && *p == u'-') {
        negative = true;
        ++p;
    }
    qint64 mantissa = 0;
    int digits = 0;
    int decimals = -1; // -1 until the separator
    for (; p < end; ++p) {
        const char16_t u = *p;
        if (u >= u'0' && u <= u'9') {
            if (++digits > 15)
                return std::nullopt;
            mantissa = mantissa * 10 + (u - u'0');
            if (decimals >= 0)
                ++decimals;
        } else if ((u == u'.' || u == u',') && decimals < 0) {
            decimals = 0;
        } else {
            return std::nullopt;
        }
    }
    if (digits == 0)
        return std::nullopt;
    return NumberText{negative ? -mantissa : mantissa, std::max(decimals, 0)};
}

double numberOf(const NumberText& n) {
    static constexpr double kTens[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                       1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const double v = double(n.mantissa);
    return n.decimals > 0 ? v / kTens[n.decimals] : v;
}

} // namespace

std::optional<double> readingNumber(QStringView text) {
    if (const auto n = numberText(text))
        return numberOf(*n);
    return std::nullopt;
}

bool isBeyondRange(QStringView text) {
    text = text.trimmed();
    if (text.startsWith(u'>'))
        return true;
    bool sawL = false;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'L' || u == u'l')
            sawL = true;
        else if (!((u >= u'0' && u <= u'9') || u == u'O' || u == u'o' || u == u'.' || u == u',' ||
                   u == u'-' || u == u' '))
            return false;
    }
    return sawL;
}

ValueReading valueOf(QStringView text) {
    if (const auto n = numberText(text))
        return {ValueReading::Number, numberOf(*n), n->mantissa, qint8(n->decimals)};
    if (isBeyondRange(text))
        return {ValueReading::BeyondRange, 0};
    return {};
}

std::optional<double> testVoltsOf(QStringView function) {
    if (!isInsulationFunction(function))
        return std::nullopt;
    qsizetype end = 3;
    while (end < function.size() && (function[end].isDigit() || function[end] == u'.'))
        ++end;
    bool ok = false;
    const double v = function.mid(3, end - 3).toDouble(&ok);
    if (!ok || v <= 0)
        return std::nullopt;
    return function.mid(end).startsWith(u"kV") ? v * 1000 : v;
}

TestMode testModeOf(QStringView text) {
    text = text.trimmed();
    if (text.isEmpty() || text == u"NULL")
        return TestMode::None;
    if (text == u"Continuous")
        return TestMode::Continuous;
    if (text == u"Timed")
        return TestMode::Timed;
    if (text == u"PI")
        return TestMode::PI;
    if (text == u"COMP:NG")
        return TestMode::CompNG;
    if (text == u"COMP:GOOD")
        return TestMode::CompGood;
    return TestMode::Other;
}

Reading readingOf(const QString& value, const QString& unit, const QString& function,
                  const QString& mode) {
    Reading r;
    r.text = value;
    r.value = valueOf(value);
    r.unit = unitOf(unit);
    r.function = function;
    r.mode = mode;
    return r;
}
