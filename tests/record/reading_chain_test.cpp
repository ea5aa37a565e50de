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

} // namespace
