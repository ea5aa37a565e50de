#include "decode/frame_assembler.h"
#include "decode/reading_interpreter.h"
#include "sim/meter_display.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace {

using sim::MeterDisplay;

const QString kOhm = QStringLiteral("\u03A9");

class Interpret : public ::testing::Test {
protected:
    Interpret() { interp_.setDecimalSep(QStringLiteral(".")); }

    // The frame the meter sends for `m`; each reading offered for recording is counted.
    void show(const MeterDisplay& m) { read(sim::meterFrame(m)); }
    void read(const MeterFrame& frame) {
        if (interp_.read(frame).offered)
            records_.push_back(1);
    }
    bool on(const char* name) const { return r_.visible(QString::fromLatin1(name)); }
    QString caption(const char* name) const { return r_.caption(QString::fromLatin1(name)); }

    // Everything the replica holds, to compare before and after.
    std::vector<std::pair<bool, QString>> snapshot() const {
        std::vector<std::pair<bool, QString>> out;
        for (int i = 0; i < ReplicaState::count(); ++i)
            out.emplace_back(r_.visible(i), r_.caption(i));
        return out;
    }

    ReadingInterpreter interp_;
    ReplicaState& r_ = interp_.display();
    std::vector<int> records_;
};

TEST_F(Interpret, InsulationReadingLightsTheReplicaAndFillsTheReading) {
    show(MeterDisplay::insulation("1.234", u"G\u03A9", 1000));
    EXPECT_EQ(interp_.ValueText(), u"1.234");
    EXPECT_EQ(interp_.UnitText(), u"G" % kOhm);
    EXPECT_EQ(interp_.VRangeText(), u"IR:1000V 40G" % kOhm);
    EXPECT_EQ(interp_.IRangeText(), u"Continuous");
    EXPECT_EQ(records_, std::vector<int>{1});

    EXPECT_EQ(caption("LabelA") % caption("LabelB") % caption("LabelC") % caption("LabelD"),
              u"1234");
    EXPECT_TRUE(on("Point1"));
    EXPECT_FALSE(on("Point2"));
    EXPECT_FALSE(on("Point3"));
    EXPECT_FALSE(on("Labto"));
    EXPECT_TRUE(on("Labgo1"));
    EXPECT_FALSE(on("Labmo1"));
    EXPECT_EQ(caption("Label3") % caption("Label7") % caption("Label10") % caption("Label9"),
              u"1000");
    EXPECT_TRUE(on("danger"));
    EXPECT_TRUE(on("Label4"));
    EXPECT_TRUE(on("KD"));
    // 1.234 GΩ: the 0 mark and the segments up to 1 GΩ.
    EXPECT_TRUE(on("Bar0"));
    EXPECT_TRUE(on("bar17"));
    EXPECT_FALSE(on("bar18"));
    EXPECT_FALSE(on("bar30"));
    EXPECT_FALSE(on("labdc"));
}

TEST_F(Interpret, TheReadingIsAValue) {
    // The number comes from the digits, whatever separator the locale writes between them.
    interp_.setDecimalSep(QStringLiteral("\u066B"));
    MeterDisplay m = MeterDisplay::insulation("-12.5 ", u"V", 1000);
    m.dc = true;
    m.minus = true;
    show(m);
    const Reading& r = interp_.reading();
    EXPECT_EQ(r.text, u"-12\u066B5");
    EXPECT_EQ(r.value.kind, ValueReading::Number);
    EXPECT_DOUBLE_EQ(r.value.number, -12.5);
    EXPECT_EQ(r.unit, Unit::V);
    EXPECT_EQ(r.scale().quantity, UnitScale::Voltage);
    EXPECT_EQ(r.function, u"DCV  600V");
    EXPECT_FALSE(r.isInsulation());
    EXPECT_FALSE(r.displayTest);

    MeterDisplay over = MeterDisplay::insulation(" 0L ", u"G\u03A9", 5000);
    show(over);
    EXPECT_EQ(interp_.reading().value.kind, ValueReading::BeyondRange);
    EXPECT_EQ(interp_.reading().unit, Unit::GigaOhm);
    EXPECT_TRUE(interp_.reading().isInsulation());

    show(MeterDisplay::allSegments());
    EXPECT_TRUE(interp_.reading().displayTest);
    // A frame without its CR LF is no reading: only the preamble's texts change.
    read(MeterFrame{});
    EXPECT_EQ(interp_.reading().value.kind, ValueReading::NoReading);
    EXPECT_FALSE(interp_.reading().displayTest);
}

TEST_F(Interpret, ValueTextFollowsTheMainDigits) {
    MeterDisplay m;
    m.setMain(" 0L ");
    show(m);
    EXPECT_EQ(interp_.ValueText(), u"0L");
    EXPECT_EQ(caption("LabelC"), u"@"); // the L pattern keeps its glyph on the replica
    EXPECT_FALSE(on("LabelA"));
    EXPECT_FALSE(on("LabelD"));

    m.setMain("-12.5 ");
    show(m);
    EXPECT_EQ(interp_.ValueText(), u"-12.5");
    EXPECT_TRUE(on("LabelF"));
    EXPECT_TRUE(on("Point2"));

    interp_.setDecimalSep(QStringLiteral(","));
    m.setMain("1.234");
    show(m);
    EXPECT_EQ(interp_.ValueText(), u"1,234");
    EXPECT_FALSE(on("LabelF"));
}

TEST_F(Interpret, FourthPointIsTheTeraOhmSignAndAddsNoSeparator) {
    show(MeterDisplay::insulation("1.0", u"G\u03A9", 1000));
    MeterDisplay m;
    m.setMain("1234.");
    show(m);
    EXPECT_EQ(interp_.ValueText(), u"1234");
    EXPECT_TRUE(on("LabelD"));
    EXPECT_TRUE(on("Labto"));
    // Alone, the TΩ sign is the unit: not the GΩ of the frame before, 1000 times too low.
    EXPECT_EQ(interp_.UnitText(), u"T" % kOhm);
    EXPECT_EQ(records_.size(), 2u);
}

TEST_F(Interpret, BlankAndUnknownMainDigits) {
    show(MeterDisplay::insulation("5.678", u"M\u03A9", 500));
    records_.clear();

    // All blank: nothing shown, nothing offered.
    MeterDisplay blank;
    blank.setMain("    ");
    show(blank);
    EXPECT_EQ(interp_.ValueText(), u"");
    EXPECT_FALSE(on("LabelA") || on("LabelB") || on("LabelC") || on("LabelD"));
    EXPECT_TRUE(records_.empty());

    show(MeterDisplay::insulation("5.678", u"M\u03A9", 500));
    records_.clear();
    // A lone point is an unknown pattern: the digits keep what the last frame showed.
    MeterDisplay unknown;
    for (sim::Digit& d : unknown.main)
        d = {' ', true};
    unknown.minus = true;
    show(unknown);
    EXPECT_EQ(caption("LabelA") % caption("LabelB") % caption("LabelC") % caption("LabelD"),
              u"5678");
    EXPECT_TRUE(on("LabelA") && on("LabelB") && on("LabelC") && on("LabelD"));
    EXPECT_EQ(interp_.ValueText(), u"-");
    EXPECT_FALSE(on("Point1")); // reset with the other annunciators
    EXPECT_EQ(records_, std::vector<int>{1});
}

TEST_F(Interpret, VoltageModesOverrideTheInsulationRange) {
    MeterDisplay m = MeterDisplay::insulation("230 ", u"V", 1000);
    m.dc = true;
    show(m);
    EXPECT_EQ(interp_.VRangeText(), u"DCV  600V");
    EXPECT_FALSE(on("KD"));
    EXPECT_TRUE(on("labdc") && on("Shape1") && on("Shape4"));
    EXPECT_EQ(interp_.UnitText(), u"V");

    m.ac = true;
    show(m);
    EXPECT_EQ(interp_.VRangeText(), u"ACV  600V");
    EXPECT_TRUE(on("labac") && on("labt") && on("labdc"));
    EXPECT_FALSE(on("KD"));

    // Back to an insulation test: the strip returns with the segments of the frame.
    show(MeterDisplay::insulation("1.0", u"G\u03A9", 2500));
    EXPECT_TRUE(on("KD"));
    EXPECT_EQ(interp_.VRangeText(), u"IR:2500 100G" % kOhm);
}

TEST_F(Interpret, RangeRulesReadTheUpperDigitsAsTheyNowStand) {
    const std::pair<int, const char16_t*> cases[] = {
        {1000, u"IR:1000V 40G\u03A9"},
        {2500, u"IR:2500 100G\u03A9"},
        {5000, u"IR:5000V 1000G\u03A9"},
        {500, u"IR:500V 20G\u03A9"}, // right after 2500: the hidden "2" no longer counts
    };
    for (const auto& [volts, text] : cases) {
        show(MeterDisplay::insulation("1.0", u"G\u03A9", volts));
        EXPECT_EQ(interp_.VRangeText(), QString::fromUtf16(text)) << volts;
    }

    // A blank upper display keeps the range, whatever captions the hidden digits still hold.
    show(MeterDisplay::insulation("1.0", u"G\u03A9", 2500));
    MeterDisplay dcv;
    dcv.dc = true;
    dcv.setMain("12.0");
    show(dcv);
    ASSERT_EQ(caption("Label3"), u"2");
    ASSERT_EQ(caption("Label7"), u"5");
    ASSERT_FALSE(on("Label3") || on("Label7"));
    MeterDisplay blankUpper;
    blankUpper.setMain("12.0");
    show(blankUpper);
    EXPECT_EQ(interp_.VRangeText(), u"DCV  600V");
}

TEST_F(Interpret, TestModeTextsOverrideEachOtherInOrder) {
    MeterDisplay m = MeterDisplay::insulation("1.0", u"G\u03A9", 1000);
    m.timed = true;
    show(m);
    EXPECT_EQ(interp_.IRangeText(), u"Timed");
    EXPECT_TRUE(on("power"));

    m.pi = true;
    show(m);
    EXPECT_EQ(interp_.IRangeText(), u"PI");

    m.upper[1].point = true; // NG
    show(m);
    EXPECT_EQ(interp_.IRangeText(), u"COMP:NG");
    EXPECT_TRUE(on("Labng"));

    m.upper[2].point = true; // GOOD as well
    show(m);
    EXPECT_EQ(interp_.IRangeText(), u"COMP:GOOD");
    EXPECT_TRUE(on("Labgood") && on("Labng"));

    show(MeterDisplay::insulation("1.0", u"G\u03A9", 1000));
    EXPECT_EQ(interp_.IRangeText(), u"Continuous");
}

TEST_F(Interpret, UnitIsTheOneTheFrameShows) {
    show(MeterDisplay::insulation("1.0", u"G\u03A9", 1000));
    // The meter's own PI result: a ratio beside "PI", no unit sign. It is no resistance.
    MeterDisplay result;
    result.setMain("2.60");
    result.pi = true;
    show(result);
    EXPECT_EQ(interp_.UnitText(), u"");
    EXPECT_EQ(interp_.IRangeText(), u"PI");
    EXPECT_FALSE(on("Labgo1"));
    EXPECT_EQ(records_.size(), 2u);

    // The small signs of the timer never set the unit.
    MeterDisplay small;
    small.setMain("1.000");
    small.unitMOhm = true;
    small.smallMOhm = true;
    small.timer[3] = {'0', true};
    show(small);
    EXPECT_TRUE(on("labmo") && on("Labgo"));
    EXPECT_EQ(interp_.UnitText(), u"M" % kOhm);
}

TEST_F(Interpret, SeveralUnitSignsAreTheDisplayTestAndNotRecorded) {
    // The power-on display test lights every segment: the replica shows it all.
    show(MeterDisplay::allSegments());
    EXPECT_TRUE(on("Labv") && on("Labo") && on("Labmo1") && on("Labgo1") && on("Labto"));
    EXPECT_TRUE(on("LabelA"));
    EXPECT_TRUE(records_.empty());

    // Two main unit signs, or the TΩ sign beside one, are no reading either.
    MeterDisplay two;
    two.setMain("1.0 ");
    two.unitV = two.unitOhm = true;
    show(two);
    MeterDisplay tera;
    tera.setMain("1.000.");
    tera.unitGOhm = true;
    show(tera);
    EXPECT_TRUE(records_.empty());

    show(MeterDisplay::insulation("1.0", u"G\u03A9", 1000));
    EXPECT_EQ(records_, std::vector<int>{1});
}

TEST_F(Interpret, FrameWithoutCrLfTouchesOnlyTheTexts) {
    MeterDisplay m = MeterDisplay::insulation("1.234", u"G\u03A9", 1000);
    m.timed = true;
    show(m);
    records_.clear();
    const auto before = snapshot();
    const QString keptRange = interp_.VRangeText(), keptUnit = interp_.UnitText();

    // LF LF, CR LF a byte early, and nothing at all.
    MeterFrame broken = sim::meterFrame(MeterDisplay::allSegments());
    broken[20] = 0x0A;
    MeterFrame early = sim::meterFrame(MeterDisplay::allSegments());
    early[19] = 0x0D;
    early[20] = 0x0A;
    early[21] = 0x00;
    for (const MeterFrame& frame : {broken, early, MeterFrame{}}) {
        const FrameReading read = interpretFrame(frame, r_, interp_.reading(), u".");
        EXPECT_FALSE(read.decoded);
        EXPECT_FALSE(read.offered);
        interp_.read(frame);
        EXPECT_EQ(snapshot(), before);
        EXPECT_EQ(interp_.ValueText(), u"");
        EXPECT_EQ(interp_.IRangeText(), u"Continuous");
        EXPECT_EQ(interp_.VRangeText(), keptRange);
        EXPECT_EQ(interp_.UnitText(), keptUnit);
    }
}

// The reading of a frame depends on the picture and the reading it is given, nothing else:
// two meters read in turn each come out as if read alone.
TEST_F(Interpret, EachPictureCarriesOnlyItsOwnFrames) {
    const MeterDisplay a[] = {MeterDisplay::insulation("1.234", u"G\u03A9", 2500), [] {
                                  MeterDisplay blank; // range and digits stay from the frame before
                                  for (sim::Digit& d : blank.main)
                                      d = {' ', true};
                                  return blank;
                              }()};
    MeterDisplay dcv;
    dcv.dc = true;
    dcv.setMain("230 ");
    dcv.unitV = true;
    const MeterDisplay b[] = {dcv, MeterDisplay::insulation("5.0", u"M\u03A9", 500)};

    auto alone = [](const auto& frames) {
        auto interp = std::make_unique<ReadingInterpreter>();
        for (const MeterDisplay& m : frames)
            interp->read(sim::meterFrame(m));
        return interp;
    };
    const auto soloA = alone(a), soloB = alone(b);

    ReplicaState pictureA, pictureB;
    Reading readingA = initialReading(), readingB = initialReading();
    for (size_t i = 0; i < 2; ++i) {
        readingA = interpretFrame(sim::meterFrame(a[i]), pictureA, readingA, u"").reading;
        readingB = interpretFrame(sim::meterFrame(b[i]), pictureB, readingB, u"").reading;
    }
    auto expectAlike = [](const ReplicaState& picture, const Reading& reading,
                          const ReadingInterpreter& solo) {
        for (int e = 0; e < ReplicaState::count(); ++e) {
            EXPECT_EQ(picture.visible(e), solo.display().visible(e)) << e;
            EXPECT_EQ(picture.caption(e), solo.display().caption(e)) << e;
        }
        EXPECT_EQ(reading.text, solo.reading().text);
        EXPECT_EQ(reading.function, solo.reading().function);
        EXPECT_EQ(reading.unit, solo.reading().unit);
    };
    expectAlike(pictureA, readingA, *soloA);
    expectAlike(pictureB, readingB, *soloB);
    EXPECT_EQ(readingA.function, u"IR:2500 100G\u03A9");
    EXPECT_EQ(pictureA.caption(ReplicaState::idOf(u"LabelA")), u"1");
}

// Every segment the simulator can light reaches exactly its element(s) of the replica.
TEST_F(Interpret, SimulatorAndInterpreterAgreeOnEverySymbol) {
    using Set = void (*)(MeterDisplay&);
    const std::pair<Set, std::vector<const char*>> cases[] = {
        {[](MeterDisplay& m) { m.dc = true; }, {"labdc", "Shape1", "Shape2", "Shape3", "Shape4"}},
        {[](MeterDisplay& m) { m.ac = true; }, {"labt", "labac"}},
        {[](MeterDisplay& m) { m.minus = true; }, {"LabelF"}},
        {[](MeterDisplay& m) { m.smallMOhm = true; }, {"labmo"}},
        {[](MeterDisplay& m) { m.unitV = true; }, {"Labv"}},
        {[](MeterDisplay& m) { m.unitOhm = true; }, {"Labo"}},
        {[](MeterDisplay& m) { m.unitMOhm = true; }, {"Labmo1"}},
        {[](MeterDisplay& m) { m.unitGOhm = true; }, {"Labgo1"}},
        {[](MeterDisplay& m) { m.load = true; }, {"labLoad"}},
        {[](MeterDisplay& m) { m.save = true; }, {"labsave"}},
        {[](MeterDisplay& m) { m.time2 = true; }, {"labtime2"}},
        {[](MeterDisplay& m) { m.time1 = true; }, {"labTIME1"}},
        {[](MeterDisplay& m) { m.timed = true; }, {"power"}},
        {[](MeterDisplay& m) { m.s1 = true; }, {"labs1"}},
        {[](MeterDisplay& m) { m.s2 = true; }, {"labs2"}},
        {[](MeterDisplay& m) { m.s3 = true; }, {"labs3"}},
        {[](MeterDisplay& m) { m.symbol = true; }, {"IMmike"}},
        {[](MeterDisplay& m) { m.pi = true; }, {"labp1"}},
        {[](MeterDisplay& m) { m.memoryOne = true; }, {"stor1"}},
        {[](MeterDisplay& m) { m.circleLead = true; }, {"IMoff"}},
        {[](MeterDisplay& m) { m.battery = true; }, {"IGPower"}},
        {[](MeterDisplay& m) { m.batteryCells = 1; }, {"powerv3"}},
        {[](MeterDisplay& m) { m.batteryCells = 3; }, {"powerv3", "powerv2", "powerV1"}},
    };
    std::vector<std::pair<MeterDisplay, std::vector<QString>>> all;
    for (const auto& [set, names] : cases) {
        MeterDisplay m;
        set(m);
        all.emplace_back(m, std::vector<QString>(names.begin(), names.end()));
    }
    for (int i = 0; i < 31; ++i) {
        MeterDisplay m;
        m.bars.set(size_t(i));
        const QString name = i == 0   ? QStringLiteral("Bar0")
                             : i == 1 ? QStringLiteral("BAR1")
                                      : QStringLiteral("bar%1").arg(i);
        all.emplace_back(m, std::vector<QString>{name});
    }

    for (const auto& [m, names] : all) {
        show(m);
        std::vector<QString> lit;
        for (int id : replica::annunciatorSet())
            if (r_.visible(id))
                lit.push_back(QString::fromLatin1(replica::elements()[size_t(id)].name));
        std::vector<QString> expected = names;
        std::sort(lit.begin(), lit.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(lit, expected) << expected.front().toStdString();
        EXPECT_EQ(on("KD"), !m.dc && !m.ac);
    }
}

TEST_F(Interpret, SimulatorAndInterpreterAgreeOnEveryDigitCode) {
    struct Position {
        sim::Digit* (*digit)(MeterDisplay&);
        const char* element;
        std::vector<const char*> points;
    };
    const Position positions[] = {
        {[](MeterDisplay& m) { return &m.main[0]; }, "LabelA", {"Point1"}},
        {[](MeterDisplay& m) { return &m.main[1]; }, "LabelB", {"Point2"}},
        {[](MeterDisplay& m) { return &m.main[2]; }, "LabelC", {"Point3"}},
        {[](MeterDisplay& m) { return &m.main[3]; }, "LabelD", {"Labto"}},
        {[](MeterDisplay& m) { return &m.upper[0]; }, "Label3", {"danger"}},
        {[](MeterDisplay& m) { return &m.upper[1]; }, "Label7", {"Labng"}},
        {[](MeterDisplay& m) { return &m.upper[2]; }, "Label10", {"Labgood"}},
        {[](MeterDisplay& m) { return &m.upper[3]; }, "Label9", {"Label4"}},
        {[](MeterDisplay& m) { return &m.timer[0]; }, "H_Time1", {"Labclr"}},
        {[](MeterDisplay& m) { return &m.timer[1]; }, "H_Time2", {"Labtime", "T_dPoint1"}},
        {[](MeterDisplay& m) { return &m.timer[2]; }, "M_Time1", {"labCOMP"}},
        {[](MeterDisplay& m) { return &m.timer[3]; }, "M_Time2", {"Labgo"}},
        {[](MeterDisplay& m) { return &m.memory; }, "stor2", {"LabFUL"}},
    };
    const QString digitNames[] = {u"LabelA"_qs,  u"LabelB"_qs,  u"LabelC"_qs,  u"LabelD"_qs,
                                  u"Label3"_qs,  u"Label7"_qs,  u"Label10"_qs, u"Label9"_qs,
                                  u"H_Time1"_qs, u"H_Time2"_qs, u"M_Time1"_qs, u"M_Time2"_qs,
                                  u"stor2"_qs};
    for (const Position& p : positions) {
        for (char glyph : std::string_view("0123456789L")) {
            for (bool point : {false, true}) {
                MeterDisplay m;
                *p.digit(m) = {glyph, point};
                show(m);
                const char shownGlyph = glyph == 'L' ? '@' : glyph;
                EXPECT_TRUE(on(p.element)) << p.element << glyph;
                EXPECT_EQ(caption(p.element), QString(QLatin1Char(shownGlyph))) << p.element;
                for (const char* pe : p.points)
                    EXPECT_EQ(on(pe), point) << p.element << glyph << pe;
                // Every other digit position is blank.
                for (const QString& other : digitNames) {
                    if (other != QLatin1String(p.element)) {
                        EXPECT_FALSE(r_.visible(other))
                            << p.element << " lit " << qPrintable(other);
                    }
                }
            }
        }
    }
}

TEST_F(Interpret, ReportsFromTheCableReachTheReplica) {
    FrameAssembler assembler;
    assembler.setFrameConsumer([this](const MeterFrame& f) { read(f); });
    auto send = [&](const QByteArray& r) {
        assembler.Read380(0, reinterpret_cast<const quint8*>(r.constData()), quint16(r.size()));
    };
    for (const char* value : {"1.234", "56.78"}) {
        for (const QByteArray& r :
             sim::cableReports(sim::frameBytes(MeterDisplay::insulation(value, u"M\u03A9", 500))))
            send(r);
        const size_t before = records_.size();
        send(sim::idleReport()); // the frame ends at the first report without serial bytes
        EXPECT_EQ(records_.size(), before + 1);
        EXPECT_EQ(interp_.ValueText(), QString::fromLatin1(value));
    }
    EXPECT_EQ(records_.size(), 2u);
    EXPECT_EQ(assembler.IdleReportCount(), 1);
}

} // namespace
