#include "decode/capture_file.h"

#include "decode/hex_digits.h"

#include <cmath>

bool CaptureReader::open(const QString& path, QString* error) {
    file_.setFileName(path);
    if (!file_.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("Cannot open capture %1: %2").arg(path, file_.errorString());
        return false;
    }
    lineNo_ = 0;
    lastSeconds_ = 0;
    sessionOffset_ = 0;
    end_ = false;
    start_.reset();
    return true;
}

bool CaptureReader::parseLine(QByteArrayView line, CaptureReport& report, QString* error) {
    // Fields separated by runs of white space, taken in place: a capture has millions of lines.
    // (Not QByteArray::split and fromHex: they copy every field, and fromHex skips bad digits.)
    const char* p = line.data();
    const char* const end = p + line.size();
    auto isBlank = [](char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
    };
    auto nextField = [&]() {
        while (p < end && isBlank(*p))
            ++p;
        const char* from = p;
        while (p < end && !isBlank(*p))
            ++p;
        return QByteArrayView(from, p - from);
    };
    const QByteArrayView time = nextField();
    QByteArrayView field = nextField();
    if (field.isEmpty()) {
        if (error)
            *error = QStringLiteral("a report needs a time and at least the report ID");
        return false;
    }
    bool ok = false;
    const double seconds = time.toDouble(&ok);
    if (!ok || !std::isfinite(seconds) || seconds < 0) {
        if (error)
            *error = QStringLiteral("bad time \"%1\"").arg(QString::fromLatin1(time));
        return false;
    }
    QByteArray& bytes = report.data;
    bytes.clear();
    qsizetype count = 0;
    for (; !field.isEmpty(); field = nextField()) {
        if (++count > 65536) {
            if (error)
                *error = QStringLiteral("report longer than 65536 bytes");
            return false;
        }
        const int hi = field.size() == 2 ? hexValue(quint8(field[0])) : -1;
        const int lo = field.size() == 2 ? hexValue(quint8(field[1])) : -1;
        if (hi < 0 || lo < 0) {
            if (error)
                *error = QStringLiteral("bad byte \"%1\"").arg(QString::fromLatin1(field));
            return false;
        }
        if (count == 1)
            report.reportId = quint8(hi * 16 + lo);
        else
            bytes.append(char(hi * 16 + lo));
    }
    report.seconds = seconds;
    return true;
}

bool CaptureReader::next(CaptureReport& report, QString* error) {
    while (!file_.atEnd()) {
        // Into a buffer kept from line to line: reading into a fresh 1 MiB buffer for every
        // line costs more than everything else the line goes through.
        if (line_.size() != kMaxLine)
            line_.resize(kMaxLine);
        const qint64 got = file_.readLine(line_.data(), kMaxLine);
        if (got < 0)
            break;
        const QByteArrayView raw(line_.constData(), got);
        ++lineNo_;
        const QByteArrayView line = raw.trimmed();
        if (line.isEmpty())
            continue;
        if (line.startsWith('#')) {
            const QByteArray rest = line.sliced(1).trimmed().toByteArray();
            if (rest.startsWith("start ")) {
                const QString when = QString::fromLatin1(rest.mid(6).trimmed());
                QDateTime t = QDateTime::fromString(when, Qt::ISODateWithMs);
                if (!t.isValid())
                    t = QDateTime::fromString(when, Qt::ISODate);
                // A later session appended to the same file keeps its reports on the first
                // session's clock, so that times never go backwards across sessions.
                if (t.isValid() && !start_)
                    start_ = t;
                else if (t.isValid())
                    sessionOffset_ = double(start_->msecsTo(t)) / 1000.0;
            }
            continue;
        }
        QString why;
        if (!parseLine(line, report, &why)) {
            if (error)
                *error = QStringLiteral("line %1: %2").arg(lineNo_).arg(why);
            end_ = true;
            return false;
        }
        report.seconds += sessionOffset_;
        if (report.seconds < lastSeconds_) {
            if (error)
                *error = QStringLiteral("line %1: time goes backwards").arg(lineNo_);
            end_ = true;
            return false;
        }
        lastSeconds_ = report.seconds;
        return true;
    }
    end_ = true;
    return false;
}

bool CaptureWriter::open(const QString& path, const QDateTime& start, QString* error) {
    file_.setFileName(path);
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
        if (error)
            *error = QStringLiteral("Cannot open capture %1: %2").arg(path, file_.errorString());
        return false;
    }
    const QByteArray head =
        "# Z4072 capture: seconds, then report ID and data bytes in hex\n# start " +
        start.toString(Qt::ISODateWithMs).toLatin1() + '\n';
    file_.write(head);
    file_.flush();
    return true;
}

void CaptureWriter::write(double seconds, quint8 reportId, const quint8* data, quint16 size) {
    if (!file_.isOpen())
        return;
    QByteArray line = QByteArray::number(seconds, 'f', 3);
    line.reserve(line.size() + 3 * (size + 1) + 1);
    auto put = [&](quint8 b) {
        line.append(' ');
        line.append(kHexDigits[b >> 4]);
        line.append(kHexDigits[b & 15]);
    };
    put(reportId);
    for (quint16 i = 0; i < size; ++i)
        put(data[i]);
    line.append('\n');
    file_.write(line);
    file_.flush();
}
