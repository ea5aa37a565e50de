#include "sim/pi_programme.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

namespace sim {

double PiTestProgramme::ohmsAt(double seconds) const {
    const double t = std::max(seconds, 0.5);
    return leakageOhms / (1 + absorption * std::pow(t, -exponent));
}

double PiTestProgramme::shownRatio() const {
    return std::round(ohmsAt(kSeconds) / ohmsAt(60) * 100) / 100;
}

MeterDisplay PiTestProgramme::shown(double seconds) const {
    const int elapsed = std::clamp(int(seconds), 0, kSeconds);
    MeterDisplay m;
    if (seconds <= kSeconds) {
        m = MeterDisplay::insulationOhms(ohmsAt(elapsed), volts);
    } else {
        // The voltage is off: no bolt, no bar graph, the ratio without a unit.
        char ratio[16];
        std::snprintf(ratio, sizeof ratio, "%.2f", std::min(shownRatio(), 99.99));
        m = MeterDisplay::insulation(ratio, u"", volts);
        m.upper[0].point = false;
        m.bars.reset();
    }
    m.setTimer(timerText(elapsed));
    m.pi = true;
    return m;
}

MeterScript piTestFromFirstFrame(PiTestProgramme test) {
    auto start = std::make_shared<std::optional<double>>();
    return [test, start](double seconds) -> std::optional<MeterDisplay> {
        if (!*start)
            *start = seconds;
        return test.shown(seconds - **start);
    };
}

} // namespace sim
