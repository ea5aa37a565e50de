#include "sim/demonstration.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

// Climbs from `from` to `to` ohms, evenly on the logarithmic scale, as `u` goes from 0 to 1.
double climb(double from, double to, double u) {
    return from * std::pow(to / from, std::clamp(u, 0.0, 1.0));
}

MeterDisplay comparator(double ohms, bool good) {
    MeterDisplay m = MeterDisplay::insulationOhms(ohms, 1000);
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
    {8, [](double, double u) { return MeterDisplay::insulationOhms(climb(0.5e6, 15e9, u), 500); }},
    {8, [](double, double u) { return MeterDisplay::insulationOhms(climb(2e6, 35e9, u), 1000); }},
    {8, [](double, double u) { return MeterDisplay::insulationOhms(climb(10e6, 90e9, u), 2500); }},
    {8, [](double, double u) { return MeterDisplay::insulationOhms(climb(50e6, 900e9, u), 5000); }},
    // A timed test: the timer counts down while the resistance settles.
    {10,
     [](double t, double u) {
         MeterDisplay m = MeterDisplay::insulationOhms(climb(120e6, 480e6, u), 1000);
         m.timed = true;
         m.setTimer(timerText(std::max(0, 10 - int(t))));
         return m;
     }},
    // A PI test: the elapsed time while it runs, then the ratio of the two readings.
    {10,
     [](double t, double u) {
         MeterDisplay m;
         if (t < 7) {
             m = MeterDisplay::insulationOhms(climb(200e6, 520e6, u * 10 / 7), 1000);
             m.setTimer(timerText(int(t)));
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
         MeterDisplay m = MeterDisplay::insulationOhms(climb(5e6, 9e6, u), 500);
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
