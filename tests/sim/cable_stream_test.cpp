#include "decode/frame_assembler.h"
#include "sim/cable_stream.h"
#include "sim/sim_cable.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace {

using sim::CablePace;
using sim::CableStream;
using sim::MeterDisplay;

const MeterDisplay kShown = MeterDisplay::insulation("47.5", u"G\u03A9", 2500);

std::optional<MeterDisplay> alwaysOn(double) {
    return kShown;
}

// Runs a stream's reports through the reassembly, as the window would.
struct Receiver {
    FrameAssembler assembler;
    std::vector<MeterFrame> frames;
    int serialBytes = 0;
    Receiver() {
        assembler.setFrameConsumer([this](const MeterFrame& f) { frames.push_back(f); });
    }
    void take(const QByteArray& r) {
        serialBytes += quint8(r[1]) & 0x0F;
        assembler.Read380(quint8(r[0]), reinterpret_cast<const quint8*>(r.constData()) + 1,
                          quint16(r.size() - 1));
    }
};

TEST(CableStream, CarriesTheMetersFramesAtTheSerialLinesPace) {
    CableStream stream(&alwaysOn);
    Receiver rx;
    double t = 0, last = 0;
    int reports = 0;
    while (t < 5.0) {
        const QByteArray r = stream.next(&t);
        ASSERT_EQ(r.size(), 9);
        EXPECT_EQ(r[0], '\0') << "the cable does not number its reports";
        EXPECT_EQ(quint8(r[1]) & 0xF0, 0xF0);
        EXPECT_LE(quint8(r[1]) & 0x0F, 7);
        EXPECT_NEAR(t - last, 0.008, 1e-9);
        last = t;
        rx.take(r);
        ++reports;
    }
    EXPECT_EQ(reports, 625);
    ASSERT_EQ(rx.frames.size(), 5u) << "one frame a second, each ended by an idle report";
    for (const MeterFrame& f : rx.frames)
        EXPECT_EQ(f, sim::meterFrame(kShown));
    // 2400 baud with start and stop bits is 240 bytes a second at most.
    EXPECT_EQ(rx.serialBytes, 5 * 22);
    EXPECT_GE(rx.assembler.IdleReportCount(), 1);
}

TEST(CableStream, AMeterThatIsOffLeavesOnlyIdleReports) {
    CableStream stream([](double) { return std::optional<MeterDisplay>(); });
    double t = 0;
    while (t < 3.0) {
        const QByteArray r = stream.next(&t);
        EXPECT_EQ(r, QByteArray(1, '\0') + sim::idleReport());
    }
}

TEST(CableStream, SkippingAheadNeverHandsOnHalfAFrame) {
    CableStream stream(&alwaysOn);
    double t = 0;
    while (t < 1.04) // in the middle of the second frame
        stream.next(&t);
    stream.skipTo(2.5);
    EXPECT_NEAR(stream.nextSeconds(), 2.504, 1e-9);
    Receiver rx;
    while (t < 4.5)
        rx.take(stream.next(&t));
    EXPECT_EQ(rx.frames.size(), 2u);
    EXPECT_EQ(rx.serialBytes, 2 * 22);
}

TEST(SimCable, StreamsFramesOnlyOnceTheLineIsSetToTheMetersRate) {
    const auto origin = SimReportSource::Clock::now();
    sim::SimCable cable(&alwaysOn, CablePace{}, origin);
    EXPECT_EQ(sim::cableDeviceSpec().product, u"USB to Serial");
    auto collect = [&](int n) {
        Receiver rx;
        QByteArray r;
        SimReportSource::Clock::time_point due;
        for (int i = 0; i < n; ++i) {
            EXPECT_TRUE(cable.next(r, due));
            rx.take(r);
        }
        return rx.frames.size();
    };
    EXPECT_EQ(collect(250), 0u) << "not configured";
    QByteArray wrongRate("\x00\x80\x25\x00\x00\x03\x00\x00\x00\x00", 10); // 9600
    cable.feature(wrongRate);
    EXPECT_FALSE(cable.configured());
    QByteArray feature("\x00\x60\x09\x00\x00\x03\x00\x00\x00\x00", 10);
    cable.feature(feature);
    EXPECT_TRUE(cable.configured());
    EXPECT_EQ(collect(375), 2u);
}

QString writeFile(const QTemporaryDir& dir, const char* text) {
    const QString path = dir.filePath(QStringLiteral("c.cap"));
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(text);
    return path;
}

TEST(CaptureCable, PlaysACaptureFromTheConnectOnAndThenIdles) {
    QTemporaryDir dir;
    const QString path =
        writeFile(dir, "# start 2026-12-08T14:03:27.123\n0.000 00 F2 11 22\n\n0.250 00 F0\n");

    sim::CaptureCable cable(path);
    QByteArray r;
    SimReportSource::Clock::time_point due;
    ASSERT_TRUE(cable.next(r, due));
    EXPECT_EQ(r, QByteArray(1, '\0') + sim::idleReport()) << "idle until connected";

    cable.feature(QByteArray("\x00\x60\x09\x00\x00\x03\x00\x00\x00\x00", 10));
    ASSERT_TRUE(cable.next(r, due));
    EXPECT_EQ(r, QByteArray("\x00\xF2\x11\x22", 4));
    const auto first = due;
    ASSERT_TRUE(cable.next(r, due));
    EXPECT_EQ(r, QByteArray("\x00\xF0", 2));
    EXPECT_NEAR(std::chrono::duration<double>(due - first).count(), 0.25, 1e-6);
    ASSERT_TRUE(cable.next(r, due));
    EXPECT_EQ(r, QByteArray(1, '\0') + sim::idleReport());
    EXPECT_TRUE(cable.error().isEmpty());
}

TEST(CaptureCable, AMalformedLineEndsThePlaybackAndSaysWhere) {
    QTemporaryDir dir;
    const QString path = writeFile(dir, "0.000 00 F0\n0.008 00 XYZ\n");
    sim::CaptureCable cable(path);
    cable.feature(QByteArray("\x00\x60\x09\x00\x00\x03\x00\x00\x00\x00", 10));
    QByteArray r;
    SimReportSource::Clock::time_point due;
    cable.next(r, due);
    cable.next(r, due);
    EXPECT_TRUE(cable.error().contains(u"line 2")) << cable.error().toStdString();
}

} // namespace
