#include "sim/demonstration.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace sim {

namespace {

// `v` with four digits and a point where it belongs, for values from 0.001 to 9999.
std::string fourDigits(double v) {
    char buf[16];
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

// A resistance on the display: MΩ below 1 GΩ, GΩ above.
MeterDisplay insulationAt(double ohms, int volts) {
    if (ohms < 1e9)
        return MeterDisplay::insulation(fourDigits(ohms / 1e6), u"M\u03A9", volts);
    return MeterDisplay::insulation(fourDigits(ohms / 1e9), u"G\u03A9", volts);
}

// Climbs from `from` to `to` ohms, evenly on the logarithmic scale, as `u` goes from 0 to 1.
double climb(double from, double to, double u) {
    return from * std::pow(to / from, std::clamp(u, 0.0, 1.0));
}

std::string clock(int seconds) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d:%02d", seconds / 60 % 100, seconds % 60);
    return buf;
}

MeterDisplay comparator(double ohms, bool good) {
    MeterDisplay m = insulationAt(ohms, 1000);
    m.setTimer(" 10.0");
    m.smallMOhm = true;
    m.upper[good ? 2 : 1].point = true; // GOOD or NG
    return m;
}

struct Scene {
    double length;
    MeterDisplay (*show)(double t, double u); // t: seconds into the scene, u: 0..1
};

const Scene kScenes[] = {
    {2, [](double, double) { return MeterDisplay::allSegments(); }},
    {8, [](double, double u) { return insulationAt(climb(0.5e6, 15e9, u), 500); }},
    {8, [](double, double u) { return insulationAt(climb(2e6, 35e9, u), 1000); }},
    {8, [](double, double u) { return insulationAt(climb(10e6, 90e9, u), 2500); }},
    {8, [](double, double u) { return insulationAt(climb(50e6, 900e9, u), 5000); }},
    // A timed test: the timer counts down while the resistance settles.
    {10,
     [](double t, double u) {
         MeterDisplay m = insulationAt(climb(120e6, 480e6, u), 1000);
         m.timed = true;
         m.setTimer(clock(std::max(0, 10 - int(t))));
         return m;
     }},
    // A PI test: the elapsed time while it runs, then the ratio of the two readings.
    {10,
     [](double t, double u) {
         MeterDisplay m;
         if (t < 7) {
             m = insulationAt(climb(200e6, 520e6, u * 10 / 7), 1000);
             m.setTimer(clock(int(t)));
         } else {
             m = MeterDisplay::insulation("2.60", u"", 1000);
             m.bars.reset();
         }
         m.pi = true;
         return m;
     }},
    // The comparator with its limit of 100 MΩ in the timer digits: GOOD above it, NG below.
    {5, [](double, double u) { return comparator(climb(150e6, 180e6, u), true); }},
    {5, [](double, double u) { return comparator(climb(60e6, 45e6, u), false); }},
    {6,
     [](double t, double) {
         MeterDisplay m;
         m.setMain(fourDigits(12.5 + 0.1 * std::sin(t)));
         m.dc = m.unitV = true;
         m.battery = true;
         m.batteryCells = 3;
         return m;
     }},
    {6,
     [](double t, double) {
         MeterDisplay m;
         m.setMain(fourDigits(230.0 + 1.5 * std::sin(t * 1.3)));
         m.ac = m.unitV = true;
         m.battery = true;
         m.batteryCells = 3;
         return m;
     }},
    // Low battery: the empty gauge blinks.
    {6,
     [](double t, double u) {
         MeterDisplay m = insulationAt(climb(5e6, 9e6, u), 500);
         m.batteryCells = 0;
         m.battery = int(t) % 2 == 0;
         return m;
     }},
};

} // namespace

double demonstrationLength() {
    double total = 0;
    for (const Scene& s : kScenes)
        total += s.length;
    return total;
}

std::optional<MeterDisplay> demonstration(double seconds) {
    double t = std::fmod(std::max(seconds, 0.0), demonstrationLength());
    for (const Scene& s : kScenes) {
        if (t < s.length)
            return s.show(t, t / s.length);
        t -= s.length;
    }
    return kScenes[0].show(0, 0);
}

} // namespace sim
