#include "record/reading_chain.h"

ReadingChain::ReadingChain(ReadingTable& table) : table_(table), recorder_(table) {
    const int rsUsb = ReplicaState::idOf(u"rsUSB");
    assembler_.setReportObserver([this, rsUsb] { display().setCaption(rsUsb, u"USB"); });
    assembler_.setFrameConsumer([this](const QString& frame) { ShowData740(frame); });
    interpreter_.setRecordHook([this](int kind) { INDataToTable(kind); });
    recorder_.setRowRecorded([this](int row) {
        for (const RowListener& listener : listeners_)
            listener(table_, row);
    });
}

void ReadingChain::Read380(quint8 reportId, const quint8* data, quint16 size) {
    if (tap_)
        tap_(reportId, data, size);
    assembler_.Read380(reportId, data, size);
}

void ReadingChain::ShowData740(const QString& frameHex) {
    interpreter_.ShowData740(frameHex);
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
