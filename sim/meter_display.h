#pragma once

#include "decode/meter_frame.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <bitset>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

// One digit position of the meter's LCD: a glyph ("0"-"9", "L", or ' ' for blank) and the point
// segment that belongs to the position. Only the main digits' points are decimal points; the
// other positions' point segments light the symbols named beside each field below.
struct Digit {
    char glyph = ' ';
    bool point = false;
};

// What the meter's display shows, segment for segment.
struct MeterDisplay {
    // Main digits, left to right; the points of the first three are decimal points, the fourth
    // position's point is the big TΩ sign.
    std::array<Digit, 4> main;
    bool minus = false;

    // Test-voltage digits; their points light, in turn: the lightning bolt, "NG", "GOOD", "V".
    std::array<Digit, 4> upper;

    // Timer digits (minutes tens, units, seconds tens, units); their points light, in turn:
    // "CLR", the colon with " min : sec", "COMP", and the small GΩ sign.
    std::array<Digit, 4> timer;

    // Memory number: the leading 1 and the digit after it, whose point lights "FUL".
    bool memoryOne = false;
    Digit memory;

    // Bar graph: [0] the 0 end mark, [1] the 100 kΩ segment, ... [29] 1 TΩ, [30] the ∞ end.
    std::bitset<31> bars;

    // Function and unit signs.
    bool dc = false, ac = false;
    bool unitV = false, unitOhm = false, unitMOhm = false, unitGOhm = false;
    bool smallMOhm = false; // the timer's MΩ sign (its GΩ sign is timer[3].point)

    // Annunciators.
    bool timed = false; // the timer dial
    bool pi = false;
    bool s1 = false, s2 = false, s3 = false;
    bool load = false, save = false, time1 = false, time2 = false;
    bool symbol = false;     // the picture beside "USB"
    bool circleLead = false; // the circle-and-lead symbol
    bool battery = false;    // battery outline
    int batteryCells = 0;    // 0-3 cells lit

    // Positional text, left to right: digits, "L", ' ' for blank; "." lights the point of the
    // position before it. setMain also takes a leading "-" (the minus sign).
    void setMain(std::string_view text);
    void setUpper(std::string_view text);
    // "mm:ss" (the colon lights the colon and " min : sec"); blanks allowed.
    void setTimer(std::string_view text);
    // Lights the bar graph up to a resistance: the 0 mark always, then four segments a decade
    // from 100 kΩ up to 1 TΩ, and the ∞ end above that.
    void setBarsForOhms(double ohms);

    // Every segment lit: the pattern the meter shows at power-on.
    static MeterDisplay allSegments();
    // An insulation test: `value` as setMain takes it, in `unit` ("MΩ", "GΩ", ...), at `volts`
    // (500, 1000, 2500 or 5000) with the V sign, the bolt from 1000 V, the battery full and the bar
    // graph.
    static MeterDisplay insulation(std::string_view value, std::u16string_view unit, int volts);
    // An insulation test reading `ohms`: in MΩ below 1 GΩ, in GΩ from there on, four digits.
    static MeterDisplay insulationOhms(double ohms, int volts);
};

// `v` with four digits and the point where it belongs, for values from 0.001 to 9999.
std::string fourDigits(double v);
// Seconds as the timer digits show them, "mm:ss".
std::string timerText(int seconds);

// The 22-byte frame the meter sends for `display`: 20 bytes of segments, then CR LF.
QByteArray frameBytes(const MeterDisplay& display);

// The frame as the reassembly hands it on.
MeterFrame meterFrame(const MeterDisplay& display);
MeterFrame meterFrame(const QByteArray& frame); // its first 22 bytes, zeros beyond its end

// The cable's input reports (the bytes after the report ID, 8 a report) carrying `bytes`: a count
// byte whose low nibble is n, n serial bytes (at most 7), zero filler.
std::vector<QByteArray> cableReports(const QByteArray& bytes, int perReport = 7);
// The report the cable sends when no serial byte arrived; it also ends a frame.
QByteArray idleReport();

} // namespace sim
