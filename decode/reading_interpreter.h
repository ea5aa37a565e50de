#pragma once

#include "core/reading.h"
#include "decode/meter_frame.h"
#include "replica/replica_state.h"

#include <QString>
#include <QStringView>

// What one frame made of the meter's display.
struct FrameReading {
    Reading reading;
    bool decoded = false; // it ended in CR LF, and the picture is now this frame's
    bool offered = false; // a main digit is shown and it is no display test: for recording
};

// The reading before any frame has come.
Reading initialReading();

// Reads one frame. The picture of the display goes from the state the frames before left it in
// to this frame's, segment for segment as the meter lights its own display (a digit position of
// an unknown pattern keeps what it showed); the reading comes from the same bits and, for its
// range, from `previous` (the range stays until a frame sets one). A frame that does not end
// in CR LF leaves the picture as it was and yields an empty value in continuous mode.
FrameReading interpretFrame(const MeterFrame& frame, ReplicaState& picture, const Reading& previous,
                            QStringView decimalSep);

// The picture of the meter's display and the latest reading, carried from frame to frame.
class ReadingInterpreter {
public:
    ReadingInterpreter() = default;
    ReadingInterpreter(const ReadingInterpreter&) = delete;
    ReadingInterpreter& operator=(const ReadingInterpreter&) = delete;

    // The picture of the meter's display as the frames have lit it.
    ReplicaState& display() { return picture_; }
    const ReplicaState& display() const { return picture_; }

    // The latest reading, complete once the frame that made it has been read.
    const Reading& reading() const { return reading_; }

    // The decimal separator written after a main digit whose point is lit.
    void setDecimalSep(const QString& sep) { decimalSep_ = sep; }
    const QString& decimalSep() const { return decimalSep_; }

    // One frame, into the picture and the reading.
    FrameReading read(const MeterFrame& frame);

    // The reading's texts as the frames have left them.
    const QString& ValueText() const { return reading_.text; }
    QString UnitText() const { return unitText(reading_.unit); }
    const QString& VRangeText() const { return reading_.function; }
    const QString& IRangeText() const { return reading_.mode; }

private:
    ReplicaState picture_;
    Reading reading_ = initialReading();
    QString decimalSep_;
};
