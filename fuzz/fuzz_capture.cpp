// Capture files: any bytes as a capture. Reports come out in time order with finite times, a
// malformed line ends the reading with a reason, and what was read, written again by the
// capture writer, reads back the same.

#include "decode/capture_file.h"
#include "fuzz/fuzz_common.h"

#include <cmath>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const quint8* data, size_t size) {
    using namespace fuzz;
    const QString in = writeFile("in.cap", data, size);
    CaptureReader reader;
    QString error;
    check(reader.open(in, &error), "cannot open the capture");
    std::vector<CaptureReport> reports;
    CaptureReport r;
    double last = 0;
    while (reader.next(r, &error)) {
        check(std::isfinite(r.seconds) && r.seconds >= last, "time not finite or going back");
        check(r.data.size() < 65536, "report longer than the handler takes");
        last = r.seconds;
        reports.push_back(r);
        if (reports.size() > 10000)
            break;
    }
    check(reader.atEnd() || reports.size() > 10000, "reader stopped before the end");

    const QString out = writeFile("out.cap", QByteArray());
    QFile::remove(out);
    {
        CaptureWriter writer;
        check(writer.open(out, reader.start().value_or(QDateTime::currentDateTime()), &error),
              "cannot write a capture");
        for (const CaptureReport& c : reports)
            writer.write(c.seconds, c.reportId, reinterpret_cast<const quint8*>(c.data.constData()),
                         quint16(c.data.size()));
    }

    CaptureReader back;
    check(back.open(out, &error), "cannot open the written capture");
    for (const CaptureReport& c : reports) {
        check(back.next(r, &error), "written capture ends early or is malformed");
        check(r.reportId == c.reportId && r.data == c.data, "written capture changes a report");
        const double want = QByteArray::number(c.seconds, 'f', 3).toDouble();
        check(r.seconds == want, "written capture changes a time");
    }
    check(!back.next(r, &error) && back.atEnd(), "written capture has extra reports");
    return 0;
}
