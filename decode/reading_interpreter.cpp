#include "decode/reading_interpreter.h"

#include <algorithm>

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
const QString kUnitV = QStringLiteral("V");
const QString kUnitOhm = QStringLiteral("\u03A9");
const QString kUnitMOhm = QStringLiteral("M\u03A9");
const QString kUnitGOhm = QStringLiteral("G\u03A9");
const QString kUnitTOhm = QStringLiteral("T\u03A9");

int id(const char* name) {
    const int i = ReplicaState::idOf(QString::fromLatin1(name));
    Q_ASSERT(i >= 0);
    return i;
}

} // namespace

ReadingInterpreter::ReadingInterpreter() {
    buildIndicatorTable();
    buildDigitTable();
    reading_ = readingOf(ValueText_, UnitText_, VRangeText_, IRangeText_);
}

void ReadingInterpreter::buildIndicatorTable() {
    using A = Action;
    struct Bit {
        const char* names[5] = {};
        Action action = A::None;
    };
    struct Row {
        int nibble;
        Bit bits[4];
    };
    // The indicator nibbles in the order they are read: later bits override earlier ones, so
    // AC wins over DC, the highest unit bit decides the unit, and PI overrides Timed.
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
    static_assert(std::size(rows) == std::tuple_size_v<decltype(indicators_)>);
    for (size_t i = 0; i < std::size(rows); ++i) {
        indicators_[i].nibble = rows[i].nibble;
        for (size_t b = 0; b < 4; ++b) {
            IndicatorBit& out = indicators_[i].bits[b];
            out.action = rows[i].bits[b].action;
            size_t n = 0;
            for (const char* name : rows[i].bits[b].names)
                if (name)
                    out.ids[n++] = id(name);
        }
    }
}

void ReadingInterpreter::buildDigitTable() {
    struct Pos {
        int c1, c2;
        bool upper;
        const char* digit;
        const char* point1;
        const char* point2;
        const QString* text;
    };
    // Codes 1-4 take a byte's low nibble first, codes 5-8 the high nibble of one byte and the
    // low nibble of the byte before it, codes 9-13 a byte's nibbles in order.
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
    for (size_t i = 0; i < std::size(pos); ++i) {
        const Pos& p = pos[i];
        digits_[i] = {{p.c1, p.c2},
                      p.upper,
                      id(p.digit),
                      {id(p.point1), p.point2 ? id(p.point2) : -1},
                      p.text};
    }
    for (size_t i = 0; i < 4; ++i)
        mainDigits_[i] = digits_[i].digit;

    conOk_ = id("CONok");
    conOkN_ = id("CONokN");
    rsUsb_ = id("rsUSB");
    kd_ = id("KD");
    label3_ = id("Label3");
    label7_ = id("Label7");
}

void ReadingInterpreter::ShowData740(const QString& frame) {
    startFrame();
    FrameSigns signs;
    if (frame.size() < 44 || QStringView(frame).mid(40, 4) != u"0D0A") {
        finishReading(signs);
        return;
    }

    r_.DispInit(false);
    r_.show(kd_);
    // The unit is the one this frame shows: a frame without a unit sign (the meter's own PI
    // result, a count) has none, rather than the unit of a frame before it.
    UnitText_.truncate(0);
    lightIndicators(frame, signs);
    readDigits(frame, signs);
    // The insulation-test range follows the first two test-voltage digits as they now stand.
    if (!signs.dc && !signs.ac)
        applyRangeRules();
    if (signs.minus)
        ValueText_.prepend(QLatin1Char('-'));
    finishReading(signs);

    bool anyMain = false;
    for (int e : mainDigits_)
        anyMain = anyMain || r_.visible(e);
    // Several unit signs at once is the meter's power-on display test, not a reading: the
    // picture shows it, the table does not get it.
    if (anyMain && !reading_.displayTest && record_)
        record_(1);

    if (pause_ && pauseMs_ > 0)
        pause_(pauseMs_);
}

void ReadingInterpreter::startFrame() {
    ValueText_.truncate(0);
    IRangeText_ = kContinuous;
    r_.show(conOk_);
    r_.hide(conOkN_);
    r_.show(rsUsb_);
}

void ReadingInterpreter::lightIndicators(QStringView f, FrameSigns& signs) {
    for (const Indicator& ind : indicators_) {
        const int v = HexDigitValue(f.mid(ind.nibble - 1, 1));
        for (int b = 0; b < 4; ++b) {
            if (!nibbleBit(v, b))
                continue;
            const IndicatorBit& bit = ind.bits[size_t(b)];
            for (int e : bit.ids) {
                if (e < 0)
                    break;
                r_.show(e);
            }
            applyIndicator(bit.action, signs);
        }
    }
}

void ReadingInterpreter::applyIndicator(Action action, FrameSigns& signs) {
    switch (action) {
    case Action::None:
        break;
    case Action::Dc:
        signs.dc = true;
        VRangeText_ = kDcv;
        r_.hide(kd_);
        break;
    case Action::Ac:
        signs.ac = true;
        VRangeText_ = kAcv;
        r_.hide(kd_);
        break;
    case Action::Minus:
        signs.minus = true;
        break;
    case Action::UnitV:
        UnitText_ = kUnitV;
        ++signs.unitSigns;
        break;
    case Action::UnitOhm:
        UnitText_ = kUnitOhm;
        ++signs.unitSigns;
        break;
    case Action::UnitMOhm:
        UnitText_ = kUnitMOhm;
        ++signs.unitSigns;
        break;
    case Action::UnitGOhm:
        UnitText_ = kUnitGOhm;
        ++signs.unitSigns;
        break;
    case Action::Timed:
        IRangeText_ = kTimed;
        break;
    case Action::Pi:
        IRangeText_ = kPi;
        break;
    }
}

void ReadingInterpreter::readDigits(QStringView f, FrameSigns& signs) {
    for (size_t i = 0; i < digits_.size(); ++i) {
        const DigitPos& d = digits_[i];
        const QChar pair[2] = {f[d.chars[0] - 1], f[d.chars[1] - 1]};
        const DigitCode code =
            d.upper ? DigitCodeUpper(QStringView(pair, 2)) : DigitCodeMain(QStringView(pair, 2));
        const QChar glyph = code[0];
        const bool point = code[1] == u'P';
        if (glyph == u'G')
            continue; // an unknown pattern leaves the position as it was
        if (glyph == u'H') {
            r_.hide(d.digit);
            continue;
        }
        r_.show(d.digit);
        r_.setCaption(d.digit, QStringView(&glyph, 1));
        if (i < 4) {
            readMainDigit(d, i, glyph, point, signs);
            continue;
        }
        for (int p : d.points)
            if (p >= 0)
                r_.setVisible(p, point);
        if (point && d.pointText)
            IRangeText_ = *d.pointText;
    }
}

void ReadingInterpreter::readMainDigit(const DigitPos& d, size_t i, QChar glyph, bool point,
                                       FrameSigns& signs) {
    if (glyph == u'@') {
        ValueText_.append(QLatin1Char('L'));
        signs.overRange = true;
    } else {
        ValueText_.append(glyph);
        signs.digits = true;
        signs.mantissa = signs.mantissa * 10 + (glyph.unicode() - u'0');
        if (signs.decimals >= 0)
            ++signs.decimals;
    }
    if (!point) {
        r_.hide(d.points[0]);
        return;
    }
    if (i < 3) {
        ValueText_.append(decimalSep_);
        if (signs.decimals < 0)
            signs.decimals = 0;
    } else {
        signs.teraSign = true;
    }
    r_.show(d.points[0]);
}

void ReadingInterpreter::applyRangeRules() {
    const QStringView first =
        r_.visible(label3_) ? QStringView(r_.caption(label3_)) : QStringView();
    const QStringView second =
        r_.visible(label7_) ? QStringView(r_.caption(label7_)) : QStringView();
    if (first.isEmpty() && second == u"5")
        VRangeText_ = kIr500;
    if (first == u"1" && second == u"0")
        VRangeText_ = kIr1000;
    if (first == u"2" && second == u"5")
        VRangeText_ = kIr2500;
    if (first == u"5" && second == u"0")
        VRangeText_ = kIr5000;
}

void ReadingInterpreter::finishReading(const FrameSigns& signs) {
    int unitSigns = signs.unitSigns;
    if (signs.teraSign && ++unitSigns == 1)
        UnitText_ = kUnitTOhm;
    reading_.text = ValueText_;
    reading_.unit = unitOf(UnitText_);
    reading_.function = VRangeText_;
    reading_.mode = IRangeText_;
    reading_.displayTest = unitSigns > 1;
    // The number from the digits themselves: the separator may be any character of the locale's.
    if (signs.overRange) {
        reading_.value = {ValueReading::BeyondRange, 0};
    } else if (signs.digits) {
        // One division by an exact power of ten: the nearest double, as a parser would read it.
        static constexpr double kTens[] = {1, 10, 100, 1000, 10000};
        const double v = double(signs.mantissa) / kTens[std::max(signs.decimals, 0)];
        reading_.value = {ValueReading::Number, signs.minus ? -v : v};
    } else {
        reading_.value = {};
    }
}
