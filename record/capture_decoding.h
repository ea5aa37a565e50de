#pragma once

#include "record/reading_chain.h"
#include "record/reading_table.h"

#include <QString>

using CaptureDecodeSettings = RecordingSettings;

// Runs a capture file's reports through the frame reassembly, the reading interpretation and
// the recording rules into `table`, as the window would have seen them from the cable, but on
// the capture's clock: the one-second sampling tick fires at 1 s, 2 s, ... after the start, and
// a row's time is the start time (midnight without a "# start" line) plus the offset of the
// report that ended its frame. There is no pause after a frame: a capture loses no reports.
// False with *error (naming the line) for a capture that cannot be read or has a malformed line.
bool decodeCapture(const QString& path, const CaptureDecodeSettings& settings, ReadingTable& table,
                   QString* error);
