#pragma once

#include <QLocale>
#include <QString>
#include <QStringView>

// Times of day as the table's text files hold them: the system's long time format.

// The system's long time format, without a time zone (a table holds local times of day only).
QString longTimeFormat();
// Formats times of day in that format; quick for the common 24-hour "HH:mm:ss". Keep one for
// many times: looking up the locale's format is the slow part.
class TimeTextFormatter {
public:
    TimeTextFormatter();
    void append(QString& out, int msOfDay) const;
    QString text(int msOfDay) const;
    // The format is the 24-hour "HH:mm:ss".
    bool isPlain() const { return plain_; }
    // A time in that format: eight characters, whatever the locale's format.
    static constexpr int kPlainSize = 8;
    static void plainText(int msOfDay, char (&out)[kPlainSize]) {
        const int s = msOfDay / 1000;
        const int parts[3] = {s / 3600, s / 60 % 60, s % 60};
        for (int i = 0; i < 3; ++i) {
            out[i * 3] = char('0' + parts[i] / 10 % 10);
            out[i * 3 + 1] = char('0' + parts[i] % 10);
            if (i < 2)
                out[i * 3 + 2] = ':';
        }
    }

private:
    QString format_;
    bool plain_;
};

// Reads times of day as the long or short time format writes them; the common 24-hour formats
// without the locale's parser, which is slow for a million rows. Keep one for many times.
class TimeTextParser {
public:
    TimeTextParser();
    bool parse(QStringView text, int* msOfDay) const {
        const QStringView t = text.trimmed();
        return (plain_ && parsePlain(t, msOfDay)) || parseByLocale(t, msOfDay);
    }

private:
    // "H:mm:ss" or "HH:mm:ss"; here for the loop of a load to have it in place.
    static bool parsePlain(QStringView t, int* msOfDay) {
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
    bool parseByLocale(QStringView t, int* msOfDay) const;

    QLocale locale_;
    QString formats_[4];
    bool plain_;
};

// A time of day in that format, and back; back also takes the short format. False on other text.
QString timeText(int msOfDay);
bool parseTimeText(const QString& text, int* msOfDay);
