#include "decode/frame_assembler.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace {

// Drives the assembler with reports in the cable's layout: count byte, serial bytes, filler.
class Reassembly : public ::testing::Test {
protected:
    Reassembly() {
        asm_.setFrameConsumer([this](const MeterFrame& f) { frames_.push_back(f); });
    }

    // A report of the cable's usual 8 data bytes whose count byte is `countByte`.
    void report(quint8 countByte, std::vector<quint8> serial = {}, int size = 8) {
        std::vector<quint8> data(size_t(std::max(size, 1)), 0);
        data[0] = countByte;
        for (size_t i = 0; i < serial.size() && i + 1 < data.size(); ++i)
            data[i + 1] = serial[i];
        asm_.Read380(0, data.data(), quint16(size));
    }
    std::vector<quint8> collected() const {
        return {asm_.frameBytes().begin(), asm_.frameBytes().end()};
    }
    void idle() { report(0x00); }

    // Sends the bytes in reports of up to seven serial bytes each.
    void send(const std::vector<quint8>& bytes) {
        for (size_t i = 0; i < bytes.size(); i += 7) {
            std::vector<quint8> chunk(bytes.begin() + long(i),
                                      bytes.begin() + long(std::min(bytes.size(), i + 7)));
            report(quint8(0xF0 | chunk.size()), chunk);
        }
    }

    static std::vector<quint8> frame(quint8 fill = 0x11, bool crlf = true) {
        std::vector<quint8> f(22, fill);
        if (crlf) {
            f[20] = 0x0D;
            f[21] = 0x0A;
        }
        return f;
    }

    static MeterFrame asFrame(const std::vector<quint8>& bytes) {
        MeterFrame f{};
        std::copy_n(bytes.begin(), f.size(), f.begin());
        return f;
    }

    FrameAssembler asm_;
    std::vector<MeterFrame> frames_;
};

TEST_F(Reassembly, FrameInReportsOfSevenThenIdleIsDecodedOnce) {
    auto f = frame();
    f[0] = 0xAB;
    send(f); // 7 + 7 + 7 + 1
    EXPECT_TRUE(frames_.empty()) << "the CR LF inside the frame must not end it";
    EXPECT_TRUE(asm_.FrameOpen());
    idle();
    ASSERT_EQ(frames_.size(), 1u);
    EXPECT_EQ(frames_[0], asFrame(f));
    EXPECT_EQ(asm_.IdleReportCount(), 1);
    EXPECT_FALSE(asm_.FrameOpen());
    EXPECT_TRUE(asm_.frameBytes().empty());
}

TEST_F(Reassembly, AFrameSplitAnywhereArrivesWhole) {
    std::vector<quint8> f = frame();
    std::iota(f.begin(), f.begin() + 20, quint8(0x41)); // every byte its own value
    for (int at = 1; at < 22; ++at) {
        // Two reports of up to nine bytes each around the split, then the idle report.
        std::vector<quint8> left(f.begin(), f.begin() + at), right(f.begin() + at, f.end());
        for (const std::vector<quint8>* part : {&left, &right})
            for (size_t i = 0; i < part->size(); i += 9) {
                const size_t n = std::min<size_t>(9, part->size() - i);
                report(quint8(n), {part->begin() + long(i), part->begin() + long(i + n)}, 10);
            }
        idle();
        ASSERT_EQ(frames_.size(), 1u) << "split after byte " << at;
        EXPECT_EQ(frames_[0], asFrame(f)) << "split after byte " << at;
        frames_.clear();
    }
}

TEST_F(Reassembly, FrameStaysOpenUntilAnIdleReportAndGluesTheNextBytesOn) {
    send(frame());
    send(frame(0x22));
    EXPECT_TRUE(frames_.empty());
    idle();
    // Both frames form one of 44 bytes; its bytes 21-22 are the first CR LF, and only the
    // first frame is read.
    ASSERT_EQ(frames_.size(), 1u);
    EXPECT_EQ(frames_[0], asFrame(frame()));
}

TEST_F(Reassembly, BytesBeyondTheTwentySecondAreCountedNotRead) {
    // A 23rd byte after the CR LF: the frame is read from its first 22.
    std::vector<quint8> f = frame(0x33);
    f.push_back(0x77);
    send(f);
    EXPECT_EQ(asm_.frameLength(), 23);
    EXPECT_EQ(asm_.frameBytes().size(), 22u);
    idle();
    ASSERT_EQ(frames_.size(), 1u);
    EXPECT_EQ(frames_[0], asFrame(f));

    // One byte too early: the CR LF sits at bytes 22-23, so bytes 21-22 are not CR LF.
    std::vector<quint8> late = frame(0x33);
    late.insert(late.begin(), 0x44);
    send(late);
    idle();
    EXPECT_EQ(frames_.size(), 1u);
}

TEST_F(Reassembly, MalformedFramesAreDroppedSilently) {
    // A byte short: it ends in CR LF, but at bytes 20-21.
    auto shortFrame = frame();
    shortFrame.erase(shortFrame.begin());
    send(shortFrame);
    idle();
    send(frame(0x11, false));
    idle();
    auto f = frame();
    f[21] = 0x0B;
    send(f);
    idle();
    // LF CR.
    f = frame();
    std::swap(f[20], f[21]);
    send(f);
    idle();
    EXPECT_TRUE(frames_.empty());
    EXPECT_TRUE(asm_.frameBytes().empty());
    EXPECT_FALSE(asm_.FrameOpen());
}

TEST_F(Reassembly, CountsAToFAndZeroEndFramesAndCountAsIdle) {
    for (quint8 count : {0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x00, 0xF0, 0x3A}) {
        send(frame());
        report(count, {0x55, 0x55});
        ASSERT_EQ(frames_.size(), 1u) << int(count);
        EXPECT_EQ(asm_.IdleReportCount(), 1) << int(count);
        EXPECT_EQ(frames_[0], asFrame(frame())) << "bytes of an idle report are not appended";
        frames_.clear();
    }
}

TEST_F(Reassembly, HighNibbleOfTheCountByteIsIgnored) {
    auto f = frame();
    for (size_t i = 0; i < f.size(); i += 2)
        report(quint8(0x52), {f[i], f[i + 1]});
    idle();
    EXPECT_EQ(frames_.size(), 1u);
}

TEST_F(Reassembly, ReportWithoutDataBytesEndsTheFrameButIsNotCounted) {
    idle();
    idle();
    send(frame());
    EXPECT_EQ(asm_.IdleReportCount(), 0);
    asm_.Read380(0, nullptr, 0);
    EXPECT_EQ(frames_.size(), 1u);
    EXPECT_EQ(asm_.IdleReportCount(), 0);
    EXPECT_FALSE(asm_.FrameOpen());
}

TEST_F(Reassembly, IdleWithoutOpenFrameOnlyCounts) {
    for (int i = 0; i < 1900; ++i)
        idle();
    EXPECT_EQ(asm_.IdleReportCount(), 1900);
    EXPECT_TRUE(frames_.empty());
    report(0x01, {0x7D});
    EXPECT_EQ(asm_.IdleReportCount(), 0);
    EXPECT_EQ(collected(), std::vector<quint8>{0x7D});
}

TEST_F(Reassembly, CountBeyondTheReportAppendsOnlyThePresentBytes) {
    report(0x09, {0x01, 0x02, 0x03}, 4); // says 9, holds 3
    EXPECT_EQ(collected(), (std::vector<quint8>{1, 2, 3}));
    report(0x05, {}, 1); // count byte alone
    EXPECT_EQ(collected(), (std::vector<quint8>{1, 2, 3}));
    EXPECT_TRUE(asm_.FrameOpen());
    // Huge reports are read no further than their count.
    std::vector<quint8> big(65535, 0x99);
    big[0] = 0x02;
    asm_.Read380(0, big.data(), 65535);
    EXPECT_EQ(collected(), (std::vector<quint8>{1, 2, 3, 0x99, 0x99}));
}

TEST_F(Reassembly, StateSurvivesBetweenReportStreams) {
    // A disconnect in the middle of a frame keeps the collected bytes; the next connection's
    // bytes are appended and tested together.
    auto f = frame();
    send(std::vector<quint8>(f.begin(), f.begin() + 14));
    EXPECT_EQ(asm_.frameLength(), 14);
    send(std::vector<quint8>(f.begin() + 14, f.end()));
    idle();
    ASSERT_EQ(frames_.size(), 1u);
    EXPECT_EQ(frames_[0], asFrame(f));
}

TEST_F(Reassembly, EndlessStreamWithoutIdleReportsIsBounded) {
    for (int i = 0; i < 10000; ++i)
        send(frame());
    EXPECT_EQ(asm_.frameBytes().size(), 22u);
    idle();
    ASSERT_EQ(frames_.size(), 1u); // its first 22 bytes are still a good frame
    EXPECT_EQ(frames_[0], asFrame(frame()));
}

} // namespace
