// Writes the fuzz targets' seed corpora: the simulator's meter as a report stream and a
// capture, the table it records saved in both formats, and the cable's report descriptor.
// Usage: fuzz_seeds OUT_DIR (the corpora in the repository were made with it).

#include "decode/capture_file.h"
#include "record/reading_chain.h"
#include "record/table_files.h"
#include "sim/meter_display.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdio>
#include <vector>

namespace {

QDir outDir;

void put(const QString& target, const QString& name, const QByteArray& bytes) {
    outDir.mkpath(target);
    QFile f(outDir.filePath(target + u'/' + name));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(f.fileName()));
        std::exit(1);
    }
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A few minutes of the meter: insulation tests at each voltage, a DC voltage, a timed test.
std::vector<sim::MeterDisplay> displays() {
    using sim::MeterDisplay;
    std::vector<MeterDisplay> out{MeterDisplay::allSegments(),
                                  MeterDisplay::insulation("1.234", u"G\u03A9", 1000),
                                  MeterDisplay::insulation("512", u"M\u03A9", 500),
                                  MeterDisplay::insulation("12.5", u"G\u03A9", 2500),
                                  MeterDisplay::insulation("L", u"M\u03A9", 5000)};
    MeterDisplay dcv;
    dcv.setMain("-230");
    dcv.dc = true;
    dcv.unitV = true;
    out.push_back(dcv);
    MeterDisplay timed = MeterDisplay::insulation("3.05", u"T\u03A9", 1000);
    timed.timed = true;
    timed.setTimer("01:30");
    out.push_back(timed);
    return out;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds OUT_DIR\n");
        return 2;
    }
    outDir = QDir(QString::fromLocal8Bit(argv[1]));

    // The report stream, as the stream target reads it, and as a capture.
    std::vector<QByteArray> reports;
    for (const sim::MeterDisplay& d : displays()) {
        for (const QByteArray& r : sim::cableReports(sim::frameBytes(d)))
            reports.push_back(r);
        reports.push_back(sim::idleReport());
        reports.push_back(sim::idleReport());
    }
    for (quint8 rules : {quint8(0x0D), quint8(0x0E)}) {
        QByteArray s(1, char(rules));
        s.append(char(1));
        for (size_t i = 0; i < reports.size(); ++i) {
            s.append(char(reports[i].size() | (i % 9 == 0 ? 0x40 : 0)));
            s.append(reports[i]);
        }
        put(QStringLiteral("fuzz_report_stream"),
            QStringLiteral("demo_") + QString::number(rules, 16), s);
    }

    const QString tmp = outDir.filePath(QStringLiteral("tmp.cap"));
    QFile::remove(tmp);
    {
        CaptureWriter w;
        QString error;
        w.open(tmp, QDateTime(QDate(2026, 12, 8), QTime(14, 3, 27, 123)), &error);
        double t = 0;
        for (const QByteArray& r : reports) {
            w.write(t, 0, reinterpret_cast<const quint8*>(r.constData()), quint16(r.size()));
            t += 0.008;
        }
    }
    put(QStringLiteral("fuzz_capture"), QStringLiteral("demo.cap"), readAll(tmp));
    QFile::remove(tmp);

    // The table those frames record, saved in both formats.
    ReadingTable table;
    ReadingChain chain(table);
    int clock = 14 * 3'600'000 + 3 * 60'000 + 27'000;
    chain.recorder().setClock([&] { return clock += 1000; });
    chain.setDecimalSep(QStringLiteral("."));
    chain.setPauseDuration(0);
    for (const QByteArray& r : reports)
        chain.Read380(0, reinterpret_cast<const quint8*>(r.constData()), quint16(r.size()));
    ReadingRow blank; // a row without values: empty cells, "NULL" in the files
    blank.No = 99;
    blank.NoNull = false;
    blank.TimeNull = false;
    table.append(blank);

    for (const char* ext : {"txt", "xml"}) {
        const QString path = outDir.filePath(QStringLiteral("tmp.") + QLatin1String(ext));
        QString error;
        const bool xml = ext[0] == 'x';
        if (!(xml ? saveXmlTable(table, path, &error) : saveTextTable(table, path, &error))) {
            std::fprintf(stderr, "cannot save: %s\n", qPrintable(error));
            return 1;
        }
        const QString target =
            xml ? QStringLiteral("fuzz_table_xml") : QStringLiteral("fuzz_table_text");
        put(target, QStringLiteral("recorded.") + QLatin1String(ext), readAll(path));
        QFile::remove(path);
    }
    put(QStringLiteral("fuzz_table_text"), QStringLiteral("header_only.txt"),
        "No\tTime\tValue\tUnit\tFunction\tRemark\r\n");
    put(QStringLiteral("fuzz_table_text"), QStringLiteral("short_lines.txt"),
        "No\tTime\r\n7\r\n8\t10:00:01\tx\n\t10:00:02\t\t\t\t\r9\tNULL\r\n");

    // The HID-to-UART cable: vendor page, 8-byte input and output reports, a feature report.
    static const quint8 bridge[] = {
        0x06, 0xA0, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x09, 0x02, 0xA1, 0x00, 0x06, 0xA1, 0xFF, 0x09,
        0x03, 0x09, 0x04, 0x15, 0x80, 0x25, 0x7F, 0x35, 0x00, 0x45, 0xFF, 0x75, 0x08, 0x95, 0x08,
        0x81, 0x02, 0x09, 0x05, 0x09, 0x06, 0x15, 0x80, 0x25, 0x7F, 0x35, 0x00, 0x45, 0xFF, 0x75,
        0x08, 0x95, 0x08, 0x91, 0x02, 0x09, 0x07, 0x75, 0x08, 0x95, 0x05, 0xB1, 0x02, 0xC0, 0xC0};
    put(QStringLiteral("fuzz_hid_descriptor"), QStringLiteral("bridge"),
        QByteArray(reinterpret_cast<const char*>(bridge), sizeof bridge));
    // Numbered reports with Push/Pop and a long item.
    static const quint8 numbered[] = {0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x85, 0x01, 0x75, 0x08,
                                      0x95, 0x03, 0x81, 0x02, 0xA4, 0x85, 0x04, 0x95, 0x06, 0x81,
                                      0x02, 0xB4, 0xFE, 0x02, 0x10, 0xAA, 0xBB, 0x81, 0x00, 0xC0};
    put(QStringLiteral("fuzz_hid_descriptor"), QStringLiteral("numbered"),
        QByteArray(reinterpret_cast<const char*>(numbered), sizeof numbered));
    return 0;
}
