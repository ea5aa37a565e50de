#include "record/reading_chain.h"
#include "sim/meter_display.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Reports run through the chain as the cable hands them in, each row told to a listener.
class Chain : public ::testing::Test {
protected:
    Chain() {
        chain_.setPauseDuration(0);
        chain_.recorder().setClock([] { return 1000; });
        chain_.addRowListener([this](const ReadingTable& t, int row) {
            told_.push_back(row);
            EXPECT_EQ(&t, &table_);
            EXPECT_EQ(row, t.rowCount() - 1) << "told before the row was in the table";
        });
    }
    void report(const QByteArray& r) {
        chain_.Read380(0, reinterpret_cast<const quint8*>(r.constData()), quint16(r.size()));
    }
    void show(const char* value) {
        for (const QByteArray& r : sim::cableReports(
                 sim::frameBytes(sim::MeterDisplay::insulation(value, u"M\u03A9", 500))))
            report(r);
        report(sim::idleReport());
    }

    ReadingTable table_;
    ReadingChain chain_{table_};
    std::vector<int> told_;
};

TEST_F(Chain, ReportsBecomeRowsUnderTheRulesAndEachRowIsToldOnce) {
    int tapped = 0;
    chain_.setReportTap([&](quint8, const quint8*, quint16) { ++tapped; });
    RecordingSettings settings;
    settings.repeat = false;
    settings.decimalSep = QStringLiteral(",");
    chain_.apply(settings);

    show("1.5");
    show("1.5"); // passed over: no repeat
    show("2.5");
    ASSERT_EQ(table_.rowCount(), 2);
    EXPECT_EQ(table_.value(0), u"1,5");
    EXPECT_EQ(table_.value(1), u"2,5");
    EXPECT_EQ(told_, (std::vector<int>{0, 1}));
    EXPECT_EQ(chain_.display().caption(ReplicaState::idOf(u"rsUSB")), u"USB");

    // The silence watch's count: reports without meter bytes since the last with some.
    EXPECT_EQ(chain_.IdleReportCount(), 1);
    for (int i = 0; i < 5; ++i)
        report(sim::idleReport());
    EXPECT_EQ(chain_.IdleReportCount(), 6);
    EXPECT_EQ(tapped, 3 * int(sim::cableReports(sim::frameBytes({})).size()) + 3 + 5);
}

TEST_F(Chain, TheReaderIsHeldOnlyAfterADecodedFrameAndItsRow) {
    std::vector<int> pauses;
    std::vector<std::pair<bool, int>> frames; // decoded, rows by then
    QString valueAtPause;
    int rowsAtPause = -1;
    chain_.setFrameListener(
        [&](const FrameReading& f) { frames.emplace_back(f.decoded, table_.rowCount()); });
    chain_.setPause([&](int ms) {
        pauses.push_back(ms);
        valueAtPause = chain_.reading().text;
        rowsAtPause = table_.rowCount();
    });
    chain_.setPauseDuration(ReadingChain::kDefaultPauseMs);
    chain_.setDecimalSep(QStringLiteral("."));
    show("1.5");
    EXPECT_EQ(pauses, std::vector<int>{500});
    EXPECT_EQ(valueAtPause, u"1.5");
    EXPECT_EQ(rowsAtPause, 1) << "the row goes in before the reader is held";
    EXPECT_EQ(frames, (std::vector<std::pair<bool, int>>{{true, 0}}));

    // A frame without its CR LF, handed in directly, holds nothing and records nothing.
    chain_.ShowData740(MeterFrame{});
    EXPECT_EQ(pauses.size(), 1u);
    EXPECT_EQ(table_.rowCount(), 1);
    EXPECT_EQ(frames.back(), std::make_pair(false, 1));

    chain_.setPauseDuration(0);
    show("2.5");
    EXPECT_EQ(pauses.size(), 1u);
    EXPECT_EQ(table_.rowCount(), 2);
}

} // namespace
