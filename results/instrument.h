#pragma once

#include <QDate>
#include <QString>

class QSettings;

// The meter a result was measured with, as the technician set it once: its model, serial number
// and the date its calibration is due. Kept with every result and printed on its page.
struct Instrument {
    static constexpr const char* kDefaultModel = "KR740";

    QString model = QString::fromLatin1(kDefaultModel);
    QString serial;
    QDate calibrationDue; // invalid: not given

    // Whether the calibration had run out on `day` (a result measured then is said to be so).
    bool calibrationPastDue(const QDate& day) const {
        return calibrationDue.isValid() && day.isValid() && calibrationDue < day;
    }
    bool operator==(const Instrument&) const = default;
};

// The instrument as the settings keep it ("instrument/model", "instrument/serial",
// "instrument/calibrationDue" as yyyy-MM-dd); what is missing or makes no sense gives the default.
Instrument instrumentOf(const QSettings& settings);
void keepInstrument(QSettings& settings, const Instrument& instrument);
