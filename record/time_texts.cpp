#include "record/time_texts.h"

#include <QTime>

QString longTimeFormat() {
    // Qt's long format ends in the time zone ("t"); a time of day without a date has none.
    const QString f = QLocale().timeFormat(QLocale::LongFormat);
    QString out;
    bool quoted = false;
    for (QChar c : f) {
        if (c == u'\'')
            quoted = !quoted;
        if (!quoted && c == u't')
            continue;
        out += c;
    }
    return out.simplified();
}

TimeTextFormatter::TimeTextFormatter()
    : format_(longTimeFormat()), plain_(format_ == u"HH:mm:ss") {}

void TimeTextFormatter::append(QString& out, int ms) const {
    if (!plain_) {
        out += QLocale().toString(QTime::fromMSecsSinceStartOfDay(ms), format_);
        return;
    }
    char text[kPlainSize];
    plainText(ms, text);
    out += QLatin1StringView(text, kPlainSize);
}

QString TimeTextFormatter::text(int msOfDay) const {
    QString out;
    append(out, msOfDay);
    return out;
}

QString timeText(int msOfDay) {
    return TimeTextFormatter().text(msOfDay);
}

TimeTextParser::TimeTextParser()
    : formats_{longTimeFormat(), locale_.timeFormat(QLocale::ShortFormat),
               QStringLiteral("H:mm:ss"), QStringLiteral("H:mm")},
      plain_(formats_[0] == u"HH:mm:ss" || formats_[0] == u"H:mm:ss") {}

bool TimeTextParser::parseByLocale(QStringView t, int* msOfDay) const {
    for (const QString& f : formats_) {
        const QTime time = locale_.toTime(t.toString(), f);
        if (time.isValid()) {
            *msOfDay = time.msecsSinceStartOfDay();
            return true;
        }
    }
    return false;
}

bool parseTimeText(const QString& text, int* msOfDay) {
    return TimeTextParser().parse(text, msOfDay);
}
