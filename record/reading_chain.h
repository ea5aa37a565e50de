#pragma once

#include "core/reading.h"
#include "decode/frame_assembler.h"
#include "decode/reading_interpreter.h"
#include "record/reading_table.h"
#include "record/recorder.h"
#include "replica/replica_state.h"

#include <QString>

#include <functional>
#include <vector>

// What the window's recording controls hold from start-up, for a run without a window.
struct RecordingSettings {
    qint32 maxRecords = 10000;                   // the record limit
    bool sampling = false;                       // "Sampling Interval" ticked
    QString intervalText = QStringLiteral("10"); // the seconds box
    bool repeat = true;                          // "Repeat" ticked
    QString decimalSep = QStringLiteral(".");
};

// The road of a reading, from the cable's input report to a row of the table: frame reassembly
// (Read380), interpretation into a picture of the display and a reading (ShowData740), the
// recording rules (INDataToTable). The window, the modes without a window and the tools all run
// it through one of these, so they record exactly alike.
class ReadingChain {
public:
    using ReportTap = std::function<void(quint8 reportId, const quint8* data, quint16 size)>;
    // Told each row that the recording rules put into the table, once it is there.
    using RowListener = std::function<void(const ReadingTable& table, int row)>;
    // Told each reading offered for recording (a main digit shown, not the display test).
    using ReadingListener = std::function<void(const Reading& reading)>;
    // Told each frame that reached the interpretation, once the picture and the reading are
    // complete and before the reading is offered for recording.
    using FrameListener = std::function<void(const FrameReading& frame)>;
    // Holds the source of reports for `ms` after a decoded frame. It must not run the event loop
    // on behalf of the caller's source; a window holds its reader thread instead.
    using PauseFn = std::function<void(int ms)>;

    // The meter's display needs this long to settle after each frame; the reader is held for it.
    static constexpr int kDefaultPauseMs = 500;

    explicit ReadingChain(ReadingTable& table);
    ReadingChain(const ReadingChain&) = delete;
    ReadingChain& operator=(const ReadingChain&) = delete;

    // The steps, in the order a report passes them.
    void Read380(quint8 reportId, const quint8* data, quint16 size);
    void ShowData740(const MeterFrame& frame);
    void INDataToTable(int kind);

    // Reports since the last one that carried meter bytes (the silence watch's count).
    qint32 IdleReportCount() const { return assembler_.IdleReportCount(); }
    void resetIdleReportCount() { assembler_.resetIdleReportCount(); }

    // The picture of the meter's display, and the latest reading.
    ReplicaState& display() { return interpreter_.display(); }
    const Reading& reading() const { return interpreter_.reading(); }

    // Sees every report before the reassembly does (for recording a capture).
    void setReportTap(ReportTap tap) { tap_ = std::move(tap); }
    void addRowListener(RowListener listener) { listeners_.push_back(std::move(listener)); }
    void setReadingListener(ReadingListener listener) { offered_ = std::move(listener); }
    void setFrameListener(FrameListener listener) { frameSeen_ = std::move(listener); }

    // The wait after each decoded frame, once its reading has been offered.
    void setPause(PauseFn pause) { pause_ = std::move(pause); }
    void setPauseDuration(int ms) { pauseMs_ = ms; }
    int pauseDuration() const { return pauseMs_; }
    void setDecimalSep(const QString& sep) { interpreter_.setDecimalSep(sep); }
    const QString& decimalSep() const { return interpreter_.decimalSep(); }

    // The recording rules, which the record toolbar sets.
    Recorder& recorder() { return recorder_; }
    ReadingTable& table() { return table_; }
    // Sets the rules and the decimal separator as a window's controls would hold them.
    void apply(const RecordingSettings& settings);

private:
    ReadingTable& table_;
    FrameAssembler assembler_;
    ReadingInterpreter interpreter_;
    Recorder recorder_;
    ReportTap tap_;
    ReadingListener offered_;
    FrameListener frameSeen_;
    PauseFn pause_;
    int pauseMs_ = kDefaultPauseMs;
    int rsUsb_;
    std::vector<RowListener> listeners_;
};
