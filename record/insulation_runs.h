#pragma once

#include "core/reading.h"
#include "record/reading_table.h"

#include <QString>
#include <QStringView>

#include <limits>
#include <optional>
#include <vector>

// What the recorded rows measured, and the figures of an insulation test: the runs of readings
// that make up one test, the resistance at 30 s, 1 min and 10 min into it, and from these the
// dielectric absorption ratio DAR = R(1 min) / R(30 s) and the polarization index
// PI = R(10 min) / R(1 min).

// ---- Readings

// What a row measured (read from its typed sample).
struct Measurement {
    using Quantity = UnitScale::Quantity;
    static constexpr Quantity NoQuantity = UnitScale::NoQuantity;
    static constexpr Quantity Resistance = UnitScale::Resistance;
    static constexpr Quantity Voltage = UnitScale::Voltage;
    enum Reading { NoReading, Number, BeyondRange };
    Quantity quantity = NoQuantity;
    Reading reading = NoReading;
    double value = 0; // ohms or volts when the reading is a number
};
Measurement measurementOf(const ValueReading& value, const UnitScale& scale);
inline Measurement measurementOf(const Sample& s) {
    return measurementOf(s.value, s.scale());
}

// ---- Runs

// One insulation test as the table recorded it: consecutive rows of one insulation function
// ("IR:..." in V_Range) in one test mode, each a resistance reading (a number, or beyond the
// range) with a time. A run ends at a row that does not fit it:
//  - another function or test mode (a timed test and the PI test after it are two tests), a unit
//    that is no resistance, a Value that is no reading, a missing time;
//  - more than kMaxGapMs between two rows, or a time earlier than the row before (rows whose
//    date is not known count on past midnight: 23:59:50 then 00:00:10 is 20 s later);
//  - a reading below a tenth of the run's last number (the test was stopped and started again,
//    the insulation broke down, or the meter shows its own result instead of a reading).
struct InsulationRun {
    int firstRow = 0; // table rows, inclusive
    int lastRow = 0;
    qint64 durationMs = 0; // from the first row's time to the last's
};

class InsulationRuns {
public:
    static constexpr qint64 kMaxGapMs = 90'000;

    // Finds the runs of the whole table afresh.
    void scan(const ReadingTable& table);
    // Takes in the rows appended since the last scan or append (from rowsSeen() on).
    void append(const ReadingTable& table);
    int rowsSeen() const { return seen_; }

    const std::vector<InsulationRun>& runs() const { return runs_; }
    // The last run with a row in [firstRow, lastRow], or -1.
    int lastRunIn(int firstRow, int lastRow) const;

    // Whether the last row taken in belongs to the last run (a test that further rows may
    // continue).
    bool lastRunOpen() const { return open_; }
    // The run that holds `row`, or -1.
    int runOf(int row) const;

private:
    std::vector<InsulationRun> runs_;
    int seen_ = 0;
    bool open_ = false;    // the last row seen belongs to runs_.back()
    SampleTime last_;      // its time
    double lastOhms_ = -1; // the run's last number, or -1 before the first
    quint32 function_ = 0; // the run's V_Range (text id)
    TestMode mode_ = TestMode::None;
};

// Milliseconds from a run's first row to each of its rows, in row order; with `untilMs`, only up to
// the first row beyond it.
std::vector<qint64> elapsedOfRows(const ReadingTable& table, const InsulationRun& run,
                                  qint64 untilMs = std::numeric_limits<qint64>::max());

// ---- Figures

// The resistance R(t) at t seconds after a run's first row, taken as follows:
//  1. a reading recorded exactly at t;
//  2. else the readings just before and just after t, when both lie within t/2 of it: read off
//     the straight line through them on logarithmic time and resistance scales (the way the
//     absorption curve is drawn); not available when they differ by more than a factor of 2;
//  3. else the nearest reading within t/20 of t (1.5 s at 30 s, 3 s at 1 min, 30 s at 10 min);
//  4. else not available.
// A reading beyond the range at the chosen place makes R(t) not available too.
struct ResistanceAt {
    enum Status {
        Measured,
        BeyondRange, // the reading there was beyond the range
        NotReached,  // the run ended before t
        NoReading,   // no reading close enough to t
        Unsteady     // the readings either side of t differ by more than a factor of 2
    };
    Status status = NoReading;
    double ohms = 0;
    bool ok() const { return status == Measured; }
};

struct InsulationFigures {
    ResistanceAt r30s, r1min, r10min;
    std::optional<double> dar; // R(1 min) / R(30 s)
    std::optional<double> pi;  // R(10 min) / R(1 min)
};

// Rows further than this from a run's start no longer change its figures.
constexpr qint64 kFiguresSettleMs = 900'000;
// Whether a run that grew from `fromMs` to `toMs` long may have other figures now.
bool figuresMayChange(qint64 fromMs, qint64 toMs);

ResistanceAt resistanceAt(const ReadingTable& table, const InsulationRun& run, int seconds);
InsulationFigures insulationFigures(const ReadingTable& table, const InsulationRun& run);

// The meter's own PI result, where the table holds one: the row right after the run, of the
// same function, in test mode "PI", showing a number with no unit sign (the meter shows the
// ratio in place of a reading when its PI test ends).
std::optional<double> meterPiResult(const ReadingTable& table, const InsulationRun& run);

// ---- Texts

// A resistance with four significant digits and its unit, as the meter shows it: "2.961 GΩ",
// "512.0 MΩ", "87.00 kΩ".
QString ohmsText(double ohms);
// A ratio to two decimals, "-" when not available.
QString ratioText(const std::optional<double>& ratio);
// A time of day as "HH:mm:ss".
QString clockText(int msOfDay);
// A run's name for people: its start time and function, "10:26:55 IR:1000V 40GΩ".
QString runTitle(const ReadingTable& table, const InsulationRun& run);
// Why a resistance is not available, in a few words ("beyond the range").
QString statusText(ResistanceAt::Status status);

// One line of `z4072 analyze`: first row number, start time, function, duration in seconds,
// R(30 s), R(1 min), R(10 min), DAR, PI and the meter's own PI result, separated by TABs; "-"
// for what is not available.
QString analysisLine(const ReadingTable& table, const InsulationRun& run);
