#pragma once

#include <QString>
#include <QStringView>

#include <iterator>
#include <optional>

// A reading as a value: what the meter's display said, read once. The interpretation of a frame
// makes one; rows of a table (recorded here or loaded from a file) are read into one by
// readingOf(), the one place that knows the table's texts ("0L", either decimal separator,
// "NULL" for an empty cell, the unit signs).

// The unit sign beside the value. The meter shows V, Ω, MΩ, GΩ and TΩ; files may hold kΩ, mV
// and kV too. Other: a text that is none of these.
enum class Unit : quint8 { None, V, MilliV, KiloV, Ohm, KiloOhm, MegaOhm, GigaOhm, TeraOhm, Other };

// What a unit measures, and its factor to ohms or volts.
struct UnitScale {
    enum Quantity : quint8 { NoQuantity, Resistance, Voltage };
    Quantity quantity = NoQuantity;
    double factor = 1;
};

// The unit of a Unit text: "" and "NULL" (an empty cell of a text table) are None; the ohm
// sign U+2126 counts as Ω.
Unit unitOf(QStringView text);
// The text the table keeps for a unit ("" for None and Other).
QString unitText(Unit unit);
inline UnitScale scaleOf(Unit unit) {
    // In the order of Unit.
    static constexpr UnitScale kScales[] = {{},
                                            {UnitScale::Voltage, 1},
                                            {UnitScale::Voltage, 1e-3},
                                            {UnitScale::Voltage, 1e3},
                                            {UnitScale::Resistance, 1},
                                            {UnitScale::Resistance, 1e3},
                                            {UnitScale::Resistance, 1e6},
                                            {UnitScale::Resistance, 1e9},
                                            {UnitScale::Resistance, 1e12},
                                            {}};
    static_assert(std::size(kScales) == size_t(Unit::Other) + 1);
    return kScales[size_t(unit)];
}
inline UnitScale unitScale(QStringView text) {
    return scaleOf(unitOf(text));
}

// What a Value text says.
struct ValueReading {
    enum Kind : quint8 {
        NoReading,  // "", "-", "NULL", "1.2.3", ...
        Number,     // "2.961", "2,961", "-12.5"
        BeyondRange // "0L" (the meter's L pattern, also with a point or an O for the zero), ">40.0"
    };
    Kind kind = NoReading;
    double number = 0;
    // A number as the display counts it: its digits without the separator, sign kept
    // ("1.234" -> 1234, "-0.52" -> -52), and how many of them follow the separator.
    qint64 counts = 0;
    qint8 decimals = 0;
};
ValueReading valueOf(QStringView text);

// The number in a Value text, read with either "." or "," as its decimal separator. At most one
// separator, an optional leading "-", blanks and control characters around it ignored.
std::optional<double> readingNumber(QStringView valueText);
bool isBeyondRange(QStringView valueText);

// A function text names an insulation test ("IR:...").
inline bool isInsulationFunction(QStringView function) {
    return function.startsWith(u"IR:");
}

// The test voltage an insulation function names, in volts: "IR:1000V 40GΩ" -> 1000,
// "IR:2.5kV 100GΩ" -> 2500; none for other functions.
std::optional<double> testVoltsOf(QStringView function);

// The test mode (I_Range) the meter shows beside a reading.
enum class TestMode : quint8 { None, Continuous, Timed, PI, CompNG, CompGood, Other };
TestMode testModeOf(QStringView text);

struct Reading {
    QString text; // the value as recorded: "1.234", "0L", "-12.5"
    ValueReading value;
    Unit unit = Unit::None;
    QString function; // "IR:1000V 40GΩ", "DCV  600V"
    QString mode;     // "Continuous", "Timed", "PI", "COMP:NG", "COMP:GOOD"
    // The meter's power-on display test, which lights every unit sign: shown, never recorded.
    bool displayTest = false;

    UnitScale scale() const { return scaleOf(unit); }
    bool isInsulation() const { return isInsulationFunction(function); }
};

// A row's four texts, read into a reading.
Reading readingOf(const QString& value, const QString& unit, const QString& function,
                  const QString& mode);
