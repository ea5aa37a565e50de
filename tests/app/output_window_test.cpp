#include "app/main_window.h"
#include "chart/trend_chart.h"
#include "record/reading_table.h"
#include "reports/data_report.h"
#include "reports/help_viewer.h"
#include "reports/report_form.h"
#include "reports/report_preview.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QToolButton>

#include "tests/reading_rows.h"
#include "tests/test_app.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

void fill(ReadingTable& t, int n) {
    for (int i = 0; i < n; ++i) {
        t.append(readingRow(i + 1, -1, QStringLiteral("2.50"), {}, {}, {}));
    }
}

TEST(PrintData, PageTotalIsWorkedOutOnEveryPressAndTheTableResumedAfter) {
    app();
    TFrmTest w;
    ReadingTable& table = *w.cds1;
    int previews = 0;
    bool suspendedDuring = false;
    w.QuickRep1->setPreviewRunner([&](ReportPreview& preview) {
        ++previews;
        suspendedDuring = table.updatesSuspended();
        EXPECT_EQ(preview.page(), 1);
    });

    fill(table, 38);
    w.MajPrint->click();
    EXPECT_EQ(previews, 1);
    EXPECT_EQ(w.DataReportPages, 2);
    EXPECT_TRUE(suspendedDuring);
    EXPECT_FALSE(table.updatesSuspended());

    fill(table, 37); // 75 rows now
    w.MajPrintClick();
    EXPECT_EQ(w.DataReportPages, 3);

    // A failing preview still resumes the table.
    w.QuickRep1->setPreviewRunner([](ReportPreview&) { throw std::runtime_error("printer gone"); });
    EXPECT_THROW(w.MajPrintClick(), std::runtime_error);
    EXPECT_FALSE(table.updatesSuspended());

    // Without an open table the report counts one row.
    ReadingTable* open = w.cds1;
    w.cds1 = nullptr;
    w.QuickRep1->setPreviewRunner([](ReportPreview&) {});
    w.MajPrintClick();
    w.cds1 = open;
    EXPECT_EQ(w.DataReportPages, 1);
}

TEST(Chart, PlotsTheWindowsTable) {
    app();
    TFrmTest w;
    fill(*w.cds1, 3);
    // Readings without a unit measured nothing the physical view knows; the count view has them.
    EXPECT_TRUE(w.Chtshow->series(0).points().isEmpty());
    w.Chtshow->countView->click();
    EXPECT_EQ(w.Chtshow->series(0).points().size(), 3);
    EXPECT_EQ(w.Chtshow->series(0).points().back(), QPointF(3, 250));
    w.cds1->clear();
    EXPECT_TRUE(w.Chtshow->series(0).points().isEmpty()); // an empty chart has no point
}

TEST(Help, OpensTheHelpFileBesideTheProgramWhateverTheCurrentFolder) {
    app();
    TFrmTest w;
    const QString before = QDir::currentPath();
    QTemporaryDir elsewhere;
    ASSERT_TRUE(QDir::setCurrent(elsewhere.path()));
    w.HELP1->trigger();
    QDir::setCurrent(before);

    const QString expected = QCoreApplication::applicationDirPath() + u"/kr380.html";
    EXPECT_EQ(QDir::cleanPath(w.helpFile), QDir::cleanPath(expected));
    ASSERT_NE(w.helpViewer, nullptr);
    EXPECT_TRUE(w.helpViewer->isVisible());
    EXPECT_EQ(w.helpViewer->file(), w.helpFile);
    // The build puts the help file beside this test program as beside the program itself.
    EXPECT_TRUE(w.helpViewer->fileLoaded());
    EXPECT_TRUE(w.helpViewer->browser()->toPlainText().contains(u"udev"));
    EXPECT_EQ(w.HELP1->shortcut(), QKeySequence(Qt::Key_F1));
    w.helpViewer->close();
}

TEST(ReportMode, WritesTheReportOfATableFileByTheOutputsExtension) {
    QTemporaryDir dir;
    const QString in = dir.filePath(QStringLiteral("t.txt"));
    QFile f(in);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("No\tTime\tValue\tUnit\tFunction\tRemark\r\n");
    for (int i = 1; i <= 38; ++i)
        f.write(QByteArray::number(i) +
                "\t10:00:" + QByteArray::number(i % 60).rightJustified(2, '0') +
                "\t1.00\tM\xA6\xB8\tIR:500V 20G\xA6\xB8\tTimed\r\n");
    f.close();

    auto run = [](const QStringList& args) {
        QProcess p;
        p.setProcessChannelMode(QProcess::SeparateChannels);
        p.start(QStringLiteral(Z4072_EXE), args);
        p.waitForFinished(60000);
        return std::make_pair(p.exitCode(), QString::fromLocal8Bit(p.readAllStandardError()));
    };
    const QString csv = dir.filePath(QStringLiteral("r.csv"));
    auto [code, err] = run({QStringLiteral("report"), in, csv});
    ASSERT_EQ(code, 0) << err.toStdString();
    QFile out(csv);
    ASSERT_TRUE(out.open(QIODevice::ReadOnly));
    const QByteArray bytes = out.readAll();
    EXPECT_EQ(bytes.count("The Page,"), 2);
    EXPECT_TRUE(bytes.contains("The Page,2,Of,2\r\n"));
    EXPECT_TRUE(bytes.contains("38,10:00:38,1.00,M\xA6\xB8,"));

    EXPECT_EQ(run({QStringLiteral("report"), in, dir.filePath(QStringLiteral("r.pdf"))}).first, 0);
    EXPECT_TRUE(QFile(dir.filePath(QStringLiteral("r.pdf"))).size() > 1000);

    std::tie(code, err) = run({QStringLiteral("report"), dir.filePath(QStringLiteral("none.txt")),
                               dir.filePath(QStringLiteral("x.csv"))});
    EXPECT_EQ(code, 1);
    EXPECT_TRUE(err.contains(u"Failed to Load File!"));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("x.csv"))));
    EXPECT_EQ(run({QStringLiteral("report"), in, dir.filePath(QStringLiteral("r.doc"))}).first, 2);
    EXPECT_EQ(run({QStringLiteral("report"), in}).first, 2);
}

} // namespace
