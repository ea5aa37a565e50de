#pragma once

#include "sim/cable_stream.h"
#include "sim/meter_display.h"

#include <optional>

namespace sim {

// A polarization-index test as the meter runs it: the test voltage on the upper display, the
// timer counting the minutes and seconds since the start, the resistance rising as the
// insulation's absorption current dies away, and after ten minutes the meter's own result: the
// ratio R(10 min) / R(1 min) in the main digits beside "PI", with no unit sign. The result stays
// on the display, as on the meter, until the test is started again.
//
// The insulation is a leakage resistance in parallel with an absorption current that falls as a
// power of the time: R(t) = R_leak / (1 + k * t^-n). The defaults give a DAR of about 1.4 and a
// PI of 2.60, the figures of a sound, dry winding.
struct PiTestProgramme {
    static constexpr int kSeconds = 600;

    int volts = 1000;
    double leakageOhms = 12e9;
    double absorption = 53.8; // k
    double exponent = 0.6;    // n

    // The resistance `seconds` after the start (flat within the first half second).
    double ohmsAt(double seconds) const;
    // R(10 min) / R(1 min) as the meter shows it, to two decimals.
    double shownRatio() const;
    // What the display shows `seconds` after the start: the test while it runs (up to and
    // including the 600th second), the result from then on.
    MeterDisplay shown(double seconds) const;
};

// The test as a meter script that starts with the first frame the cable carries, so that it
// begins when the window connects rather than when the program starts; the meter goes on with
// its test while nobody listens.
MeterScript piTestFromFirstFrame(PiTestProgramme test = {});

} // namespace sim
