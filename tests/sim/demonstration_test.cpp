#include "decode/reading_interpreter.h"
#include "sim/demonstration.h"

#include <gtest/gtest.h>

#include <QSet>

namespace {

int litBars(const ReplicaState& r) {
    int n = 0;
    for (int i = 3; i <= 30; ++i)
        n += r.visible(QStringLiteral("bar%1").arg(i));
    return n;
}

TEST(Demonstration, WalksThroughEveryModeOfTheMeter) {
    ReadingInterpreter interpreter;
    const ReplicaState& replica = interpreter.display();
    QSet<QString> ranges, modes, units;
    bool lowBattery = false;
    int barsBefore = -1;
    bool barsClimb = true;
    QString lastRange;
    for (double t = 0; t < sim::demonstrationLength(); t += 1.0) {
        const std::optional<sim::MeterDisplay> shown = sim::demonstration(t);
        ASSERT_TRUE(shown.has_value()) << "the demonstration meter is never off";
        interpreter.read(sim::meterFrame(*shown));
        ranges << interpreter.VRangeText();
        modes << interpreter.IRangeText();
        units << interpreter.UnitText();
        lowBattery =
            lowBattery || (replica.visible(u"IGPower") && !replica.visible(u"powerV1") && t > 2);
        // During each plain insulation test the bar graph follows the climbing resistance.
        if (interpreter.IRangeText() == u"Continuous" &&
            interpreter.VRangeText().startsWith(u"IR") && interpreter.VRangeText() == lastRange &&
            t > 2 && t < 34) {
            barsClimb = barsClimb && litBars(replica) >= barsBefore;
        }
        lastRange = interpreter.VRangeText();
        barsBefore = litBars(replica);
    }
    EXPECT_TRUE(barsClimb);
    for (const char* r : {"IR:500V 20G\u03A9", "IR:1000V 40G\u03A9", "IR:2500 100G\u03A9",
                          "IR:5000V 1000G\u03A9", "DCV  600V", "ACV  600V"})
        EXPECT_TRUE(ranges.contains(QString::fromUtf8(r))) << r;
    for (const char* m : {"Continuous", "Timed", "PI", "COMP:GOOD", "COMP:NG"})
        EXPECT_TRUE(modes.contains(QString::fromUtf8(m))) << m;
    for (const char* u : {"V", "M\u03A9", "G\u03A9"})
        EXPECT_TRUE(units.contains(QString::fromUtf8(u))) << u;
    EXPECT_TRUE(lowBattery);
}

} // namespace
