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

namespace {

// "H:mm:ss" or "HH:mm:ss".
bool parsePlainTime(QStringView t, int* msOfDay) {
    if (t.size() != 8 && t.size() != 7)
        return false;
    const qsizetype h = t.size() - 6;
    auto digit = [&](qsizetype i) {
        return t[i] >= u'0' && t[i] <= u'9' ? t[i].unicode() - u'0' : -100;
    };
    if (t[h] != u':' || t[h + 3] != u':')
        return false;
    const int hours = h == 2 ? digit(0) * 10 + digit(1) : digit(0);
    const int minutes = digit(h + 1) * 10 + digit(h + 2);
    const int seconds = digit(h + 4) * 10 + digit(h + 5);
    if (hours < 0 || hours > 23 || minutes < 0 || minutes > 59 || seconds < 0 || seconds > 59)
        return false;
    *msOfDay = ((hours * 60 + minutes) * 60 + seconds) * 1000;
    return true;
}

} // namespace

TimeTextParser::TimeTextParser()
    : formats_{longTimeFormat(), locale_.timeFormat(QLocale::ShortFormat),
               QStringLiteral("H:mm:ss"), QStringLiteral("H:mm")},
      plain_(formats_[0] == u"HH:mm:ss" || formats_[0] == u"H:mm:ss") {}

bool TimeTextParser::parse(QStringView text, int* msOfDay) const {
    const QStringView t = text.trimmed();
    if (plain_ && parsePlainTime(t, msOfDay))
        return true;
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
