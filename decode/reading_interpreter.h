#pragma once

#include "core/unit_state.h"
#include "decode/digit_tables.h"
#include "replica/replica_state.h"

#include <QString>

#include <array>
#include <functional>

// Reads one meter frame: lights the replica segment for segment as the meter's display is lit,
// derives the reading's four texts from the same bits, and offers the reading for recording.
class ReadingInterpreter {
public:
    using PauseFn = std::function<void(int ms)>;
    using RecordHook = std::function<void(int)>;

    // The meter's display needs this long to settle after each frame; the reader is held for it.
    static constexpr int kDefaultPauseMs = 500;

    ReadingInterpreter(UnitState& state, ReplicaState& replica);

    // The decimal separator written after a main digit whose point is lit.
    void setDecimalSep(const QString& sep) { decimalSep_ = sep; }
    const QString& decimalSep() const { return decimalSep_; }

    // Called once per decoded frame, after the replica and the reading are complete, with the
    // time the source of reports must wait before handing on the next one. It must not run the
    // event loop on behalf of the caller's source; a window holds its reader thread instead.
    void setPause(PauseFn pause) { pause_ = std::move(pause); }
    void setPauseDuration(int ms) { pauseMs_ = ms; }
    int pauseDuration() const { return pauseMs_; }

    // Offers the reading for recording; called with 1 when a main digit is shown.
    void setRecordHook(RecordHook hook) { record_ = std::move(hook); }

    // One frame text: two upper-case hex digits per byte, 44 characters for a whole frame.
    void ShowData740(const QString& frameHex);

private:
    enum class Action : quint8 {
        None,
        Dc,
        Ac,
        Minus,
        UnitV,
        UnitOhm,
        UnitMOhm,
        UnitGOhm,
        Timed,
        Pi
    };
    struct IndicatorBit {
        std::array<int, 5> ids{-1, -1, -1, -1, -1};
        Action action = Action::None;
    };
    struct Indicator {
        int nibble; // 1-based character of the frame text
        std::array<IndicatorBit, 4> bits;
    };
    struct DigitPos {
        int chars[2];             // 1-based characters of the frame text, in reading order
        bool upper;               // decoded with the test-voltage table
        int digit;                // element showing the glyph
        int points[2];            // element(s) lit by the point segment, -1 for none
        const QString* pointText; // IRangeText set by a lit point, or nullptr
    };

    void buildTables();

    UnitState& s_;
    ReplicaState& r_;
    QString decimalSep_;
    PauseFn pause_;
    int pauseMs_ = kDefaultPauseMs;
    RecordHook record_;

    std::array<Indicator, 15> indicators_{};
    std::array<DigitPos, 13> digits_{};
    int conOk_, conOkN_, rsUsb_, kd_, label3_, label7_;
    std::array<int, 4> mainDigits_{};
};
