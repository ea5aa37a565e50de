#include "decode/reading_interpreter.h"

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

ReadingInterpreter::ReadingInterpreter(UnitState& state, ReplicaState& replica)
    : s_(state), r_(replica) {
    buildTables();
}

void ReadingInterpreter::buildTables() {
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
    s_.ValueText.truncate(0);
    bool minus = false;
    bool dc = false;
    bool ac = false;
    s_.IRangeText = kContinuous;
    r_.show(conOk_);
    r_.hide(conOkN_);
    r_.show(rsUsb_);

    if (frame.size() < 44 || QStringView(frame).mid(40, 4) != u"0D0A")
        return;

    r_.DispInit(false);
    r_.show(kd_);
    // The unit is the one this frame shows: a frame without a unit sign (the meter's own PI
    // result, a count) has none, rather than the unit of a frame before it.
    s_.UnitText.truncate(0);
    int unitSigns = 0;

    const QStringView f(frame);
    auto nibble = [&](int k) { return HexDigitValue(f.mid(k - 1, 1)); };

    for (const Indicator& ind : indicators_) {
        const int v = nibble(ind.nibble);
        for (int b = 0; b < 4; ++b) {
            if (!nibbleBit(v, b))
                continue;
            const IndicatorBit& bit = ind.bits[size_t(b)];
            for (int e : bit.ids) {
                if (e < 0)
                    break;
                r_.show(e);
            }
            switch (bit.action) {
            case Action::None:
                break;
            case Action::Dc:
                dc = true;
                s_.VRangeText = kDcv;
                r_.hide(kd_);
                break;
            case Action::Ac:
                ac = true;
                s_.VRangeText = kAcv;
                r_.hide(kd_);
                break;
            case Action::Minus:
                minus = true;
                break;
            case Action::UnitV:
                s_.UnitText = kUnitV;
                ++unitSigns;
                break;
            case Action::UnitOhm:
                s_.UnitText = kUnitOhm;
                ++unitSigns;
                break;
            case Action::UnitMOhm:
                s_.UnitText = kUnitMOhm;
                ++unitSigns;
                break;
            case Action::UnitGOhm:
                s_.UnitText = kUnitGOhm;
                ++unitSigns;
                break;
            case Action::Timed:
                s_.IRangeText = kTimed;
                break;
            case Action::Pi:
                s_.IRangeText = kPi;
                break;
            }
        }
    }

    bool teraSign = false; // the point of the fourth main digit is the TΩ sign
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
            s_.ValueText.append(glyph == u'@' ? QChar(u'L') : glyph);
            if (point) {
                if (i < 3)
                    s_.ValueText.append(decimalSep_);
                else
                    teraSign = true;
                r_.show(d.points[0]);
            } else {
                r_.hide(d.points[0]);
            }
            continue;
        }
        for (int p : d.points)
            if (p >= 0)
                r_.setVisible(p, point);
        if (point && d.pointText)
            s_.IRangeText = *d.pointText;
    }

    // The insulation-test range follows the first two test-voltage digits as they now stand.
    if (!dc && !ac) {
        const QStringView first =
            r_.visible(label3_) ? QStringView(r_.caption(label3_)) : QStringView();
        const QStringView second =
            r_.visible(label7_) ? QStringView(r_.caption(label7_)) : QStringView();
        if (first.isEmpty() && second == u"5")
            s_.VRangeText = kIr500;
        if (first == u"1" && second == u"0")
            s_.VRangeText = kIr1000;
        if (first == u"2" && second == u"5")
            s_.VRangeText = kIr2500;
        if (first == u"5" && second == u"0")
            s_.VRangeText = kIr5000;
    }

    if (minus)
        s_.ValueText.prepend(QLatin1Char('-'));

    if (teraSign) {
        ++unitSigns;
        if (unitSigns == 1)
            s_.UnitText = kUnitTOhm;
    }
    // Several unit signs at once is the meter's power-on display test, not a reading: the replica
    // shows it, the table does not get it.
    const bool displayTest = unitSigns > 1;

    bool anyMain = false;
    for (int e : mainDigits_)
        anyMain = anyMain || r_.visible(e);
    if (anyMain && !displayTest && record_)
        record_(1);

    if (pause_ && pauseMs_ > 0)
        pause_(pauseMs_);
}
