#pragma once

#include "core/reading.h"
#include "decode/digit_tables.h"
#include "replica/replica_state.h"

#include <QString>

#include <array>
#include <functional>

// Reads one meter frame: keeps a picture of the meter's display, segment for segment as the
// meter lights it (what the replica panel shows), derives the reading from the same bits, and
// offers it for recording.
class ReadingInterpreter {
public:
    using PauseFn = std::function<void(int ms)>;
    using RecordHook = std::function<void(int)>;

    // The meter's display needs this long to settle after each frame; the reader is held for it.
    static constexpr int kDefaultPauseMs = 500;

    ReadingInterpreter();
    ReadingInterpreter(const ReadingInterpreter&) = delete;
    ReadingInterpreter& operator=(const ReadingInterpreter&) = delete;

    // The picture of the meter's display as the frames have lit it.
    ReplicaState& display() { return r_; }
    const ReplicaState& display() const { return r_; }

    // The latest reading, complete once the frame that made it has been read.
    const Reading& reading() const { return reading_; }

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

    // The reading's texts as the frames have left them.
    const QString& ValueText() const { return ValueText_; }
    const QString& UnitText() const { return UnitText_; }
    const QString& VRangeText() const { return VRangeText_; }
    const QString& IRangeText() const { return IRangeText_; }

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

    // What one frame lit, gathered while it is read.
    struct FrameSigns {
        bool minus = false, dc = false, ac = false;
        int unitSigns = 0;     // main unit signs lit: more than one is the display test
        bool teraSign = false; // the fourth main digit's point, the TΩ sign
        // The main digits as a number: their digits, and how many follow the point.
        qint64 mantissa = 0;
        int decimals = -1;
        bool digits = false, overRange = false;
    };

    void buildIndicatorTable();
    void buildDigitTable();
    void startFrame();
    void lightIndicators(QStringView frame, FrameSigns& signs);
    void applyIndicator(Action action, FrameSigns& signs);
    void readDigits(QStringView frame, FrameSigns& signs);
    void readMainDigit(const DigitPos& d, size_t i, QChar glyph, bool point, FrameSigns& signs);
    void applyRangeRules();
    void finishReading(const FrameSigns& signs);

    ReplicaState r_;
    QString ValueText_ = QStringLiteral("0000");
    QString UnitText_;
    QString VRangeText_ = QStringLiteral("IR:500V 20G\u03A9");
    QString IRangeText_ = QStringLiteral("40.0A");
    Reading reading_;
    QString decimalSep_;
    PauseFn pause_;
    int pauseMs_ = kDefaultPauseMs;
    RecordHook record_;

    std::array<Indicator, 15> indicators_{};
    std::array<DigitPos, 13> digits_{};
    int conOk_, conOkN_, rsUsb_, kd_, label3_, label7_;
    std::array<int, 4> mainDigits_{};
};
