#include "decode/reading_interpreter.h"

#include "decode/digit_tables.h"

#include <algorithm>
#include <array>

namespace {

const QString kContinuous = QStringLiteral("Continuous");
const QString kTimed = QStringLiteral("Timed");
const QString kPi = QStringLiteral("PI");
const QString kCompNg = QStringLiteral("COMP:NG");
const QString kCompGood = QStringLiteral("COMP:GOOD");
const QString kDcv = QStringLiteral("DCV  600V");
const QString kAcv = QStringLiteral("ACV  600V");
const QString kIr500 = QStringLiteral("IR:500V 20G\u03A9");
const QString kIr1000 = QStringLiteral("IR:1000V 40G\u03A9");
const QString kIr2500 = QStringLiteral("IR:2500 100G\u03A9");
const QString kIr5000 = QStringLiteral("IR:5000V 1000G\u03A9");

enum class Action : quint8 { None, Dc, Ac, Minus, UnitV, UnitOhm, UnitMOhm, UnitGOhm, Timed, Pi };

struct IndicatorBit {
    std::array<int, 5> ids{-1, -1, -1, -1, -1};
    Action action = Action::None;
};
struct Indicator {
    int nibble; // counted from 1
    std::array<IndicatorBit, 4> bits;
};
struct DigitPos {
    int nibbles[2];           // counted from 1: the high, then the low half of the pattern
    bool upper;               // decoded with the test-voltage table
    int digit;                // element showing the glyph
    int points[2];            // element(s) lit by the point segment, -1 for none
    const QString* pointText; // mode set by a lit point, or nullptr
};

int id(const char* name) {
    const int i = ReplicaState::idOf(QString::fromLatin1(name));
    Q_ASSERT(i >= 0);
    return i;
}

// Which elements each segment bit of a frame lights, by element index: built once.
struct Layout {
    std::array<Indicator, 15> indicators{};
    std::array<DigitPos, 13> digits{};
    int kd, label3, label7;

    Layout() {
        buildIndicators();
        buildDigits();
        kd = id("KD");
        label3 = id("Label3");
        label7 = id("Label7");
    }

    void buildIndicators() {
        using A = Action;
        struct Bit {
            const char* names[5] = {};
            Action action = A::None;
        };
        struct Row {
            int nibble;
            Bit bits[4];
        };
        // The indicator nibbles in the order they are read: later bits override earlier ones,
        // so AC wins over DC, the highest unit bit decides the unit, and PI overrides Timed.
        const Row rows[] = {
            {1, {{{"bar6"}}, {{"bar5"}}, {{"bar4"}}, {{"bar3"}}}},
            {2, {{{"bar7"}}, {{"bar8"}}, {{"bar9"}}, {{"bar10"}}}},
            {3, {{{"bar14"}}, {{"bar13"}}, {{"bar12"}}, {{"bar11"}}}},
            {4, {{{"bar15"}}, {{"bar16"}}, {{"bar17"}}, {{"bar18"}}}},
            {5, {{{"bar22"}}, {{"bar21"}}, {{"bar20"}}, {{"bar19"}}}},
            {6, {{{"bar23"}}, {{"bar24"}}, {{"bar25"}}, {{"bar26"}}}},
            {7, {{{"bar30"}}, {{"bar29"}}, {{"bar28"}}, {{"bar27"}}}},
            {8,
             {{{"labdc", "Shape1", "Shape2", "Shape3", "Shape4"}, A::Dc},
              {{"labt", "labac"}, A::Ac},
              {{"LabelF"}, A::Minus},
              {{"labmo"}}}},
            {9, {{{}}, {{}}, {{}}, {{"Labgo"}}}},
            {39, {{{"IMoff"}}, {{"Bar0"}}, {{"BAR1"}}, {{"bar2"}}}},
            {40, {{{"IGPower"}}, {{"powerv3"}}, {{"powerv2"}}, {{"powerV1"}}}},
            {29,
             {{{"Labv"}, A::UnitV},
              {{"Labo"}, A::UnitOhm},
              {{"Labmo1"}, A::UnitMOhm},
              {{"Labgo1"}, A::UnitGOhm}}},
            {20, {{{"labLoad"}}, {{"labsave"}}, {{"labtime2"}}, {{"labTIME1"}}}},
            {19, {{{"power"}, A::Timed}, {{"labs1"}}, {{"labs2"}}, {{"labs3"}}}},
            {38, {{{"IMmike"}}, {{}}, {{"labp1"}, A::Pi}, {{"stor1"}}}},
        };
        static_assert(std::size(rows) == std::tuple_size_v<decltype(indicators)>);
        for (size_t i = 0; i < std::size(rows); ++i) {
            indicators[i].nibble = rows[i].nibble;
            for (size_t b = 0; b < 4; ++b) {
                IndicatorBit& out = indicators[i].bits[b];
                out.action = rows[i].bits[b].action;
                size_t n = 0;
                for (const char* name : rows[i].bits[b].names)
                    if (name)
                        out.ids[n++] = id(name);
            }
        }
    }

    void buildDigits() {
        struct Pos {
            int n1, n2;
            bool upper;
            const char* digit;
            const char* point1;
            const char* point2;
            const QString* text;
        };
        // Codes 1-4 take a byte's low nibble first, codes 5-8 the high nibble of one byte and
        // the low nibble of the byte before it, codes 9-13 a byte's nibbles in order.
        const Pos pos[] = {
            {22, 21, false, "LabelA", "Point1", nullptr, nullptr},
            {24, 23, false, "LabelB", "Point2", nullptr, nullptr},
            {26, 25, false, "LabelC", "Point3", nullptr, nullptr},
            {28, 27, false, "LabelD", "Labto", nullptr, nullptr},
            {31, 30, true, "Label3", "danger", nullptr, nullptr},
            {33, 32, true, "Label7", "Labng", nullptr, &kCompNg},
            {35, 34, true, "Label10", "Labgood", nullptr, &kCompGood},
            {37, 36, true, "Label9", "Label4", nullptr, nullptr},
            {15, 16, false, "H_Time1", "Labclr", nullptr, nullptr},
            {13, 14, false, "H_Time2", "Labtime", "T_dPoint1", nullptr},
            {11, 12, false, "M_Time1", "labCOMP", nullptr, nullptr},
            {9, 10, false, "M_Time2", "Labgo", nullptr, nullptr},
            {17, 18, false, "stor2", "LabFUL", nullptr, nullptr},
        };
        static_assert(std::size(pos) == std::tuple_size_v<decltype(digits)>);
        for (size_t i = 0; i < std::size(pos); ++i) {
            const Pos& p = pos[i];
            digits[i] = {{p.n1, p.n2},
                         p.upper,
                         id(p.digit),
                         {id(p.point1), p.point2 ? id(p.point2) : -1},
                         p.text};
        }
    }
};

const Layout& layout() {
    static const Layout l;
    return l;
}

// What one frame lit, gathered while it is read.
struct FrameSigns {
    bool minus = false, dc = false, ac = false;
    int unitSigns = 0;     // main unit signs lit: more than one is the display test
    bool teraSign = false; // the fourth main digit's point, the TΩ sign
    // The main digits as a number: their digits, and how many follow the point.
    qint64 mantissa = 0;
    int decimals = -1;
    bool digits = false, overRange = false;
};

// One frame's reading of one picture.
class FrameReader {
public:
    FrameReader(const MeterFrame& frame, ReplicaState& picture, Reading& reading,
                QStringView decimalSep)
        : f_(frame), r_(picture), out_(reading), sep_(decimalSep), l_(layout()) {}

    void lightIndicators();
    void readDigits();
    void applyRangeRules();
    void finish();
    bool anyMainDigitShown() const;

private:
    void apply(Action action);
    void readMainDigit(const DigitPos& d, size_t i, QChar glyph, bool point);

    const MeterFrame& f_;
    ReplicaState& r_;
    Reading& out_;
    QStringView sep_;
    const Layout& l_;
    FrameSigns signs_;
};

void FrameReader::lightIndicators() {
    for (const Indicator& ind : l_.indicators) {
        const int v = frameNibble(f_, ind.nibble);
        for (int b = 0; b < 4; ++b) {
            if (!nibbleBit(v, b))
                continue;
            const IndicatorBit& bit = ind.bits[size_t(b)];
            for (int e : bit.ids) {
                if (e < 0)
                    break;
                r_.show(e);
            }
            apply(bit.action);
        }
    }
}

void FrameReader::apply(Action action) {
    switch (action) {
    case Action::None:
        break;
    case Action::Dc:
        signs_.dc = true;
        out_.function = kDcv;
        r_.hide(l_.kd);
        break;
    case Action::Ac:
        signs_.ac = true;
        out_.function = kAcv;
        r_.hide(l_.kd);
        break;
    case Action::Minus:
        signs_.minus = true;
        break;
    case Action::UnitV:
        out_.unit = Unit::V;
        ++signs_.unitSigns;
        break;
    case Action::UnitOhm:
        out_.unit = Unit::Ohm;
        ++signs_.unitSigns;
        break;
    case Action::UnitMOhm:
        out_.unit = Unit::MegaOhm;
        ++signs_.unitSigns;
        break;
    case Action::UnitGOhm:
        out_.unit = Unit::GigaOhm;
        ++signs_.unitSigns;
        break;
    case Action::Timed:
        out_.mode = kTimed;
        break;
    case Action::Pi:
        out_.mode = kPi;
        break;
    }
}

void FrameReader::readDigits() {
    for (size_t i = 0; i < l_.digits.size(); ++i) {
        const DigitPos& d = l_.digits[i];
        const quint8 segments =
            quint8(frameNibble(f_, d.nibbles[0]) << 4 | frameNibble(f_, d.nibbles[1]));
        const DigitGlyph code = d.upper ? upperDigit(segments) : mainDigit(segments);
        if (code.glyph == 'G')
            continue; // an unknown pattern leaves the position as it was
        if (code.glyph == 'H') {
            r_.hide(d.digit);
            continue;
        }
        const QChar glyph = QLatin1Char(code.glyph);
        r_.show(d.digit);
        r_.setCaption(d.digit, QStringView(&glyph, 1));
        if (i < 4) {
            readMainDigit(d, i, glyph, code.point);
            continue;
        }
        for (int p : d.points)
            if (p >= 0)
                r_.setVisible(p, code.point);
        if (code.point && d.pointText)
            out_.mode = *d.pointText;
    }
}

void FrameReader::readMainDigit(const DigitPos& d, size_t i, QChar glyph, bool point) {
    if (glyph == u'@') {
        out_.text.append(QLatin1Char('L'));
        signs_.overRange = true;
    } else {
        out_.text.append(glyph);
        signs_.digits = true;
        signs_.mantissa = signs_.mantissa * 10 + (glyph.unicode() - u'0');
        if (signs_.decimals >= 0)
            ++signs_.decimals;
    }
    if (!point) {
        r_.hide(d.points[0]);
        return;
    }
    if (i < 3) {
        out_.text.append(sep_);
        if (signs_.decimals < 0)
            signs_.decimals = 0;
    } else {
        signs_.teraSign = true;
    }
    r_.show(d.points[0]);
}

void FrameReader::applyRangeRules() {
    // The insulation-test range follows the first two test-voltage digits as they now stand.
    if (signs_.dc || signs_.ac)
        return;
    const QStringView first =
        r_.visible(l_.label3) ? QStringView(r_.caption(l_.label3)) : QStringView();
    const QStringView second =
        r_.visible(l_.label7) ? QStringView(r_.caption(l_.label7)) : QStringView();
    if (first.isEmpty() && second == u"5")
        out_.function = kIr500;
    if (first == u"1" && second == u"0")
        out_.function = kIr1000;
    if (first == u"2" && second == u"5")
        out_.function = kIr2500;
    if (first == u"5" && second == u"0")
        out_.function = kIr5000;
}

void FrameReader::finish() {
    if (signs_.minus)
        out_.text.prepend(QLatin1Char('-'));
    int unitSigns = signs_.unitSigns;
    if (signs_.teraSign && ++unitSigns == 1)
        out_.unit = Unit::TeraOhm;
    // Several unit signs at once is the meter's power-on display test, not a reading.
    out_.displayTest = unitSigns > 1;
    // The number from the digits themselves: the separator may be any character of the locale's.
    if (signs_.overRange) {
        out_.value = {ValueReading::BeyondRange, 0};
    } else if (signs_.digits) {
        // One division by an exact power of ten: the nearest double, as a parser would read it.
        static constexpr double kTens[] = {1, 10, 100, 1000, 10000};
        const double v = double(signs_.mantissa) / kTens[std::max(signs_.decimals, 0)];
        out_.value = {ValueReading::Number, signs_.minus ? -v : v};
    }
}

bool FrameReader::anyMainDigitShown() const {
    for (size_t i = 0; i < 4; ++i)
        if (r_.visible(l_.digits[i].digit))
            return true;
    return false;
}

} // namespace

Reading initialReading() {
    return readingOf(QStringLiteral("0000"), QString(), kIr500, QStringLiteral("40.0A"));
}

FrameReading interpretFrame(const MeterFrame& frame, ReplicaState& picture, const Reading& previous,
                            QStringView decimalSep) {
    FrameReading out;
    Reading& reading = out.reading;
    // Every frame starts with an empty value in continuous mode; the range stays until a frame
    // sets one, and so does the unit of a frame that is not read.
    reading.mode = kContinuous;
    reading.function = previous.function;
    reading.unit = previous.unit;
    if (!isWellFormed(frame))
        return out;

    out.decoded = true;
    picture.DispInit(false);
    picture.show(layout().kd);
    // The unit is the one this frame shows: a frame without a unit sign (the meter's own PI
    // result, a count) has none, rather than the unit of a frame before it.
    reading.unit = Unit::None;
    FrameReader read(frame, picture, reading, decimalSep);
    read.lightIndicators();
    read.readDigits();
    read.applyRangeRules();
    read.finish();
    // The display test is shown, never recorded.
    out.offered = read.anyMainDigitShown() && !reading.displayTest;
    return out;
}

FrameReading ReadingInterpreter::read(const MeterFrame& frame) {
    FrameReading out = interpretFrame(frame, picture_, reading_, decimalSep_);
    reading_ = out.reading;
    return out;
}
