#include "decode/capture_file.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

namespace {

QString writeFile(const QTemporaryDir& dir, const QByteArray& text) {
    const QString path = dir.filePath(QStringLiteral("c.cap"));
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
    return path;
}

struct ReadAll {
    std::vector<CaptureReport> reports;
    QString error;
    bool failed = false;
};

ReadAll readAll(const QString& path) {
    ReadAll r;
    CaptureReader reader;
    if (!reader.open(path, &r.error)) {
        r.failed = true;
        return r;
    }
    CaptureReport rep;
    QString err;
    while (reader.next(rep, &err))
        r.reports.push_back(rep);
    if (!err.isEmpty()) {
        r.failed = true;
        r.error = err;
    }
    return r;
}

} // namespace

TEST(CaptureFile, WriterOutputReadsBackWithStartTimeAndBytes) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("w.cap"));
    const QDateTime start(QDate(2026, 12, 8), QTime(14, 3, 27, 123));
    {
        CaptureWriter w;
        QString err;
        ASSERT_TRUE(w.open(path, start, &err)) << err.toStdString();
        const quint8 a[] = {0xF7, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77};
        const quint8 b[] = {0xF0, 0, 0, 0, 0, 0, 0, 0};
        w.write(0.0, 0, a, sizeof a);
        w.write(0.008, 0, b, sizeof b);
        w.write(1.5, 3, nullptr, 0);
    }
    CaptureReader reader;
    QString err;
    ASSERT_TRUE(reader.open(path, &err));
    CaptureReport rep;
    ASSERT_TRUE(reader.next(rep, &err));
    ASSERT_TRUE(reader.start().has_value());
    EXPECT_EQ(*reader.start(), start);
    EXPECT_EQ(rep.reportId, 0);
    EXPECT_EQ(rep.data, QByteArray::fromHex("F711223344556677"));
    ASSERT_TRUE(reader.next(rep, &err));
    EXPECT_DOUBLE_EQ(rep.seconds, 0.008);
    ASSERT_TRUE(reader.next(rep, &err));
    EXPECT_EQ(rep.reportId, 3);
    EXPECT_TRUE(rep.data.isEmpty());
    EXPECT_FALSE(reader.next(rep, &err));
    EXPECT_TRUE(err.isEmpty());
    EXPECT_TRUE(reader.atEnd());
}

TEST(CaptureFile, CommentsBlankLinesCrLfAndLowerCaseHexAreAccepted) {
    QTemporaryDir dir;
    const auto r = readAll(writeFile(dir, "# a hand-made capture\r\n"
                                          "\r\n"
                                          "   \n"
                                          "0 00 f1 0a\r\n"
                                          "#   another comment\n"
                                          "0.25   00  F2 0D 0A  \n"));
    ASSERT_FALSE(r.failed) << r.error.toStdString();
    ASSERT_EQ(r.reports.size(), 2u);
    EXPECT_EQ(r.reports[0].data, QByteArray::fromHex("F10A"));
    EXPECT_DOUBLE_EQ(r.reports[1].seconds, 0.25);
    EXPECT_EQ(r.reports[1].data, QByteArray::fromHex("F20D0A"));
}

// A malformed line stops the run with its line number; the reports before it were delivered.
TEST(CaptureFile, MalformedLinesAreReportedWithTheirLineNumber) {
    struct Case {
        const char* text;
        size_t goodReports;
        const char* lineTag;
    };
    const Case cases[] = {
        {"0.0 00 F1\n0.1\n", 1, "line 2"},      // time only
        {"x 00 F1\n", 0, "line 1"},             // time not a number
        {"-1 00 F1\n", 0, "line 1"},            // negative time
        {"nan 00 F1\n", 0, "line 1"},           // not finite
        {"0 00 F1\n#\n0 00 G1\n", 1, "line 3"}, // not hex
        {"0 00 @1\n", 0, "line 1"},             // the characters around the letters
        {"0 00 1`\n", 0, "line 1"},
        {"0 00 g1\n", 0, "line 1"},
        {"0 00 \xC1\xE1\n", 0, "line 1"},
        {"0 00 F\n", 0, "line 1"},                 // one digit
        {"0 00 F11\n", 0, "line 1"},               // three digits
        {"1.0 00 F1\n\n0.5 00 F1\n", 1, "line 3"}, // time goes backwards
    };
    for (const Case& c : cases) {
        QTemporaryDir dir;
        const auto r = readAll(writeFile(dir, c.text));
        EXPECT_TRUE(r.failed) << c.text;
        EXPECT_EQ(r.reports.size(), c.goodReports) << c.text;
        EXPECT_TRUE(r.error.startsWith(QLatin1String(c.lineTag)))
            << c.text << " -> " << r.error.toStdString();
    }
}

TEST(CaptureFile, MissingFileIsAnErrorNamingThePath) {
    CaptureReader reader;
    QString err;
    EXPECT_FALSE(reader.open(QStringLiteral("/nonexistent/dir/x.cap"), &err));
    EXPECT_TRUE(err.contains(QLatin1String("/nonexistent/dir/x.cap")));
}

// Capturing again into the same file appends a new session instead of truncating the old one;
// the second session's reports are read on the first session's clock.
TEST(CaptureFile, WriterAppendsSessionsOnOneClock) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.cap"));
    const quint8 b[] = {0xF1, 0x41};
    const QDateTime first(QDate(2026, 12, 8), QTime(10, 0, 0));
    for (int i = 0; i < 2; ++i) {
        CaptureWriter w;
        QString err;
        ASSERT_TRUE(w.open(path, first.addSecs(60 * i), &err));
        w.write(0.0, 0, b, sizeof b);
        w.write(2.0, 0, b, sizeof b);
    }
    const auto r = readAll(path);
    ASSERT_FALSE(r.failed) << r.error.toStdString();
    ASSERT_EQ(r.reports.size(), 4u);
    EXPECT_DOUBLE_EQ(r.reports[2].seconds, 60.0);
    EXPECT_DOUBLE_EQ(r.reports[3].seconds, 62.0);
}
