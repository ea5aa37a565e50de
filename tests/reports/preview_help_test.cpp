#include "record/reading_table.h"
#include "reports/help_viewer.h"
#include "reports/report_export.h"
#include "reports/report_form.h"
#include "reports/report_preview.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include "tests/reading_rows.h"
#include "tests/test_app.h"

#include <gtest/gtest.h>

namespace {

TEST(ReportPreview, PagesThroughALongReportDrawingOnlyThePageOnView) {
    app();
    ReadingTable t;
    for (int i = 0; i < 10000; ++i) {
        t.append(readingRow(i + 1, -1, QStringLiteral("5.00"), {}, {}, {}));
    }
    DataReport report(&t);
    ReportPreview preview(report);
    preview.show();
    EXPECT_EQ(preview.page(), 1);
    EXPECT_FALSE(preview.firstAction->isEnabled());
    EXPECT_FALSE(preview.previousAction->isEnabled());
    EXPECT_TRUE(preview.nextAction->isEnabled());
    preview.lastPage();
    EXPECT_EQ(preview.page(), 271);
    EXPECT_FALSE(preview.nextAction->isEnabled());
    preview.nextPage();
    EXPECT_EQ(preview.page(), 271);
    preview.previousPage();
    EXPECT_EQ(preview.page(), 270);
    EXPECT_TRUE(preview.firstAction->isEnabled());

    preview.setZoom(ReportPreview::Percent100);
    const QImage& picture = preview.pageView()->pagePicture();
    EXPECT_NEAR(picture.width(), 210 * preview.logicalDpiX() / 25.4, 1.5);
    EXPECT_NEAR(picture.height() / double(picture.width()), 297.0 / 210.0, 0.01);

    QTemporaryDir dir;
    const QString csv = dir.filePath(QStringLiteral("r.csv"));
    EXPECT_TRUE(preview.saveTo(csv));
    EXPECT_TRUE(QFile::exists(csv));
}

TEST(ReportForm, PreviewShowsTheReportWithThePageTotalGiven) {
    app();
    ReadingTable t;
    DataReportForm form;
    EXPECT_EQ(form.objectName(), u"QuickRep1");
    QString footer;
    form.setPreviewRunner([&](ReportPreview& preview) {
        EXPECT_EQ(preview.page(), 1);
        footer = preview.windowTitle();
    });
    form.Preview(nullptr, &t, 7);
    EXPECT_EQ(footer, u"Print Preview");

    DataReport report(&t);
    form.QuickRep1BeforePrint(report, 7);
    EXPECT_EQ(report.allpageCaption(), u"7");
}

TEST(HelpViewer, ShowsTheFileWithItsContentsAndReportsAMissingOne) {
    app();
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("kr380.html"));
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("<html><head><title>Manual</title></head><body>"
            "<h1 id=\"contents\">Contents</h1>"
            "<h2 id=\"connect\">Connecting</h2><p>Click CONNECT.</p>"
            "<h3 id=\"udev\">The <b>udev</b> rule</h3><p>Install it.</p>"
            "<h2 id=\"chart\">The chart</h2><p>Paging.</p></body></html>");
    f.close();

    HelpViewer viewer;
    ASSERT_TRUE(viewer.showContents(file));
    EXPECT_TRUE(viewer.fileLoaded());
    EXPECT_EQ(viewer.windowTitle(), u"Manual");
    ASSERT_EQ(viewer.contents()->topLevelItemCount(), 2);
    EXPECT_EQ(viewer.contents()->topLevelItem(0)->text(0), u"Connecting");
    EXPECT_EQ(viewer.contents()->topLevelItem(0)->child(0)->text(0), u"The udev rule");
    EXPECT_TRUE(viewer.find(QStringLiteral("Paging")));
    EXPECT_FALSE(viewer.find(QStringLiteral("nowhere to be found")));

    // The program's own help: every title of the contents shows whole.
    ASSERT_TRUE(viewer.showContents(QStringLiteral(Z4072_HELP_FILE)));
    viewer.show();
    QCoreApplication::processEvents();
    QTreeWidget* contents = viewer.contents();
    const int column = contents->header()->sectionSize(0);
    const QAbstractItemView& view = *contents; // where the measure is public
    EXPECT_GE(column, view.sizeHintForColumn(0));
    EXPECT_LE(column, contents->viewport()->width());
    int titles = 0;
    for (QTreeWidgetItemIterator it(contents); *it; ++it, ++titles) {
        const QRect place = contents->visualItemRect(*it);
        EXPECT_FALSE(place.isEmpty()) << (*it)->text(0).toStdString() << " is folded away";
        EXPECT_LE(place.left() + contents->fontMetrics().horizontalAdvance((*it)->text(0)),
                  contents->viewport()->width())
            << (*it)->text(0).toStdString();
    }
    EXPECT_GT(titles, 10);

    EXPECT_FALSE(viewer.showContents(dir.filePath(QStringLiteral("missing.html"))));
    EXPECT_FALSE(viewer.fileLoaded());
    EXPECT_TRUE(viewer.browser()->toPlainText().contains(u"cannot be opened"));
    EXPECT_TRUE(viewer.browser()->toPlainText().contains(u"missing.html"));
    EXPECT_EQ(viewer.contents()->topLevelItemCount(), 0);
}

} // namespace
