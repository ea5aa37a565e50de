#include "session/meter_session.h"
#include "sim/meter_display.h"
#include "tests/link/hid/hid_test_util.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

namespace {

using Why = CableConnection::EndReason;

// A session on a simulated cable, with what it says collected.
class Session : public ::testing::Test, public SimFixture {
protected:
    void start() {
        session = std::make_unique<MeterSession>(sim, table);
        session->chain().setPauseDuration(0);
        QObject::connect(session.get(), &MeterSession::connected, [this] { ++connects; });
        QObject::connect(session.get(), &MeterSession::ended,
                         [this](Why why) { ends.push_back(why); });
        QObject::connect(session.get(), &MeterSession::rowRecorded,
                         [this](int row) { rows.push_back(row); });
        QObject::connect(session.get(), &MeterSession::message,
                         [this](const QString& text) { messages << text; });
    }
    void TearDown() override {
        session.reset();
        EXPECT_EQ(sim->openHandles(), 0);
    }
    // One frame of the meter through the session, as the cable's reader hands it on.
    void show(const char* value) {
        auto reports = sim::cableReports(
            sim::frameBytes(sim::MeterDisplay::insulation(value, u"M\u03A9", 500)));
        reports.push_back(sim::idleReport());
        for (const QByteArray& r : reports)
            session->Read380(0, reinterpret_cast<const quint8*>(r.constData()), quint16(r.size()));
    }

    ReadingTable table;
    std::unique_ptr<MeterSession> session;
    int connects = 0;
    std::vector<Why> ends;
    std::vector<int> rows;
    QStringList messages;
};

TEST_F(Session, SaysWhenItConnectsAndWhyItEnds) {
    auto cable = sim->plug(cableSpec(), false);
    start();
    EXPECT_FALSE(session->isConnected());
    ASSERT_TRUE(session->connectCable());
    EXPECT_EQ(connects, 1);
    session->disconnectCable();
    EXPECT_EQ(ends, std::vector<Why>{Why::Disconnected});

    // The silence watch gives up: the meter-silent state until the next connect.
    ASSERT_TRUE(session->connectCable());
    const quint8 idle[8] = {};
    for (int i = 0; i < CableConnection::kSilentReports; ++i)
        session->Read380(0, idle, 8);
    for (int i = 0; i < 3; ++i)
        session->ConTimerTimer();
    EXPECT_EQ(session->state(), CableConnection::State::MeterSilent);
    EXPECT_EQ(ends.back(), Why::MeterSilent);
    EXPECT_EQ(messages.last(), CableConnection::kSilentMeterMessage);
    EXPECT_FALSE(session->display().visible(u"CONok")) << "the watch puts the link icon out";

    // The cable pulled out: its message, then the end with its reason.
    ASSERT_TRUE(session->connectCable());
    EXPECT_EQ(session->state(), CableConnection::State::Connected);
    sim->unplug(cable);
    EXPECT_EQ(ends.back(), Why::CableUnplugged);
    EXPECT_EQ(messages.last(), CableConnection::kCableUnpluggedMessage);
    EXPECT_FALSE(session->isConnected());
    EXPECT_EQ(connects, 3);
    EXPECT_EQ(ends.size(), 3u);
}

TEST_F(Session, TheLinkIconIsLitByFramesAndPutOutByTheWatch) {
    start();
    const ReplicaState& r = session->display();
    auto lit = [&] { return r.visible(u"CONok") && !r.visible(u"CONokN"); };
    auto dark = [&] { return !r.visible(u"CONok") && r.visible(u"CONokN"); };
    EXPECT_TRUE(dark());
    session->display().hide(ReplicaState::idOf(u"rsUSB"));
    show("1.234");
    EXPECT_TRUE(lit());
    EXPECT_TRUE(r.visible(u"rsUSB"));
    // The watch looks every third tick, whether or not frames come.
    session->ConTimerTimer();
    session->ConTimerTimer();
    EXPECT_TRUE(lit());
    session->ConTimerTimer();
    EXPECT_TRUE(dark());
    // Reports that end no good frame leave it out.
    const quint8 part[8] = {0x03, 1, 2, 3};
    const quint8 idle[8] = {};
    session->Read380(0, part, 8);
    session->Read380(0, idle, 8);
    EXPECT_TRUE(dark());
    show("5.678");
    EXPECT_TRUE(lit());
}

TEST_F(Session, RowsGoToTheTableAndTheJournal) {
    QTemporaryDir dir;
    start();
    session->keepJournal(dir.path());
    session->recorder().setRepeat(false);
    show("1.234");
    show("1.234");
    show("5.678");
    EXPECT_EQ(rows, (std::vector<int>{0, 1}));
    EXPECT_EQ(table.rowCount(), 2);
    EXPECT_EQ(session->journal()->rows(), 2);
    EXPECT_EQ(session->chain().reading().value.number, 5.678);
    session->discardJournal();
    EXPECT_FALSE(QFile::exists(session->journal()->path()));
}

} // namespace
