#include "results/instrument.h"

#include <QSettings>

namespace {
const QString kModel = QStringLiteral("instrument/model");
const QString kSerial = QStringLiteral("instrument/serial");
const QString kCalibrationDue = QStringLiteral("instrument/calibrationDue");
} // namespace

Instrument instrumentOf(const QSettings& s) {
    Instrument i;
    const QString model = s.value(kModel).toString().trimmed();
    if (!model.isEmpty())
        i.model = model;
    i.serial = s.value(kSerial).toString().trimmed();
    i.calibrationDue = QDate::fromString(s.value(kCalibrationDue).toString(), Qt::ISODate);
    return i;
}

void keepInstrument(QSettings& s, const Instrument& i) {
    s.setValue(kModel, i.model);
    s.setValue(kSerial, i.serial);
    if (i.calibrationDue.isValid())
        s.setValue(kCalibrationDue, i.calibrationDue.toString(Qt::ISODate));
    else
        s.remove(kCalibrationDue);
}
