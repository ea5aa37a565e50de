#pragma once

#include "sim/meter_display.h"

#include <optional>

namespace sim {

// A meter that walks through its modes, over and over: the power-on pattern, insulation tests
// at 500 V, 1000 V, 2500 V and 5000 V with the resistance climbing and the bar graph following
// it, a timed test, a PI test, the comparator's GOOD and NG, DC and AC volts, and a low battery.
std::optional<MeterDisplay> demonstration(double seconds);

// One pass through all the modes, in seconds.
double demonstrationLength();

} // namespace sim
