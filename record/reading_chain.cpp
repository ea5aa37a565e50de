#include "record/reading_chain.h"

ReadingChain::ReadingChain(ReadingTable& table)
    : table_(table), recorder_(table), rsUsb_(ReplicaState::idOf(u"rsUSB")) {
    assembler_.setFrameConsumer([this](const MeterFrame& frame) { ShowData740(frame); });
    recorder_.setRowRecorded([this](int row) {
        for (const RowListener& listener : listeners_)
            listener(table_, row);
    });
}

void ReadingChain::Read380(quint8 reportId, const quint8* data, quint16 size) {
    if (tap_)
        tap_(reportId, data, size);
    display().setCaption(rsUsb_, u"USB");
    assembler_.Read380(reportId, data, size);
}

void ReadingChain::ShowData740(const MeterFrame& frame) {
    const FrameReading read = interpreter_.read(frame);
    if (frameSeen_)
        frameSeen_(read);
    if (read.offered)
        INDataToTable(1);
    if (read.decoded && pause_ && pauseMs_ > 0)
        pause_(pauseMs_);
}

void ReadingChain::INDataToTable(int kind) {
    if (offered_)
        offered_(interpreter_.reading());
    recorder_.INDataToTable(kind, interpreter_.reading());
}

void ReadingChain::apply(const RecordingSettings& settings) {
    recorder_.setMaxRecords(settings.maxRecords);
    recorder_.setRepeat(settings.repeat);
    recorder_.setSampling(settings.sampling);
    recorder_.setIntervalText(settings.intervalText);
    interpreter_.setDecimalSep(settings.decimalSep);
}
