#include "decode/frame_assembler.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Drives the assembler with reports in the cable's layout: count byte, serial bytes, filler.
class Reassembly : public ::testing::Test {
protected:
    Reassembly() {
        asm_.setFrameConsumer([this](const QString& f) { frames_.push_back(f); });
        asm_.setReportObserver([this] { ++reports_; });
    }

    // A report of the cable's usual 8 data bytes whose count byte is `countByte`.
    void report(quint8 countByte, std::vector<quint8> serial = {}, int size = 8) {
        std::vector<quint8> data(size_t(std::max(size, 1)), 0);
        data[0] = countByte;
        for (size_t i = 0; i < serial.size() && i + 1 < data.size(); ++i)
            data[i + 1] = serial[i];
        asm_.Read380(0, data.data(), quint16(size));
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

    static std::vector<quint8> frame(quint8 fill = 0x11, bool crlf = true, size_t length = 22) {
        std::vector<quint8> f(length, fill);
        if (crlf && length >= 22) {
            f[20] = 0x0D;
            f[21] = 0x0A;
        }
        return f;
    }

    FrameAssembler asm_;
    std::vector<QString> frames_;
    int reports_ = 0;
};

TEST_F(Reassembly, FrameInReportsOfSevenThenIdleIsDecodedOnce) {
    auto f = frame();
    f[0] = 0xAB;
    send(f); // 7 + 7 + 7 + 1
    EXPECT_TRUE(frames_.empty()) << "the CR LF inside the frame must not end it";
    EXPECT_TRUE(asm_.FrameOpen());
    idle();
    ASSERT_EQ(frames_.size(), 1u);
    EXPECT_EQ(frames_[0].size(), 44);
    EXPECT_TRUE(frames_[0].startsWith(u"AB1111"));
    EXPECT_TRUE(frames_[0].endsWith(u"0D0A"));
    EXPECT_EQ(asm_.IdleReportCount(), 1);
    EXPECT_FALSE(asm_.FrameOpen());
    EXPECT_TRUE(asm_.FrameHex().isEmpty());
    EXPECT_EQ(reports_, 5);
}

TEST_F(Reassembly, FrameStaysOpenUntilAnIdleReportAndGluesTheNextBytesOn) {
    send(frame());
    send(frame(0x22));
    EXPECT_TRUE(frames_.empty());
    idle();
    // Both frames form one 88-character text; its characters 41-44 are the first CR LF.
    ASSERT_EQ(frames_.size(), 1u);
    EXPECT_EQ(frames_[0].size(), 88);
}

TEST_F(Reassembly, MalformedFramesAreDroppedSilently) {
    send(frame(0x11, true, 21));
    idle();
    send(frame(0x11, false));
    idle();
    auto f = frame();
    f[21] = 0x0B;
    send(f);
    idle();
    EXPECT_TRUE(frames_.empty());
    EXPECT_TRUE(asm_.FrameHex().isEmpty());
    EXPECT_FALSE(asm_.FrameOpen());
}

TEST_F(Reassembly, CountsAToFAndZeroEndFramesAndCountAsIdle) {
    for (quint8 count : {0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x00, 0xF0, 0x3A}) {
        send(frame());
        report(count, {0x55, 0x55});
        ASSERT_EQ(frames_.size(), 1u) << int(count);
        EXPECT_EQ(asm_.IdleReportCount(), 1) << int(count);
        EXPECT_FALSE(frames_[0].contains(u"55")) << "bytes of an idle report are not appended";
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
    EXPECT_EQ(reports_, 7); // the observer still sees it
}

TEST_F(Reassembly, IdleWithoutOpenFrameOnlyCounts) {
    for (int i = 0; i < 1900; ++i)
        idle();
    EXPECT_EQ(asm_.IdleReportCount(), 1900);
    EXPECT_TRUE(frames_.empty());
    report(0x01, {0x7D});
    EXPECT_EQ(asm_.IdleReportCount(), 0);
    EXPECT_EQ(asm_.FrameHex(), u"7D");
}

TEST_F(Reassembly, CountBeyondTheReportAppendsOnlyThePresentBytes) {
    report(0x09, {0x01, 0x02, 0x03}, 4); // says 9, holds 3
    EXPECT_EQ(asm_.FrameHex(), u"010203");
    report(0x05, {}, 1); // count byte alone
    EXPECT_EQ(asm_.FrameHex(), u"010203");
    EXPECT_TRUE(asm_.FrameOpen());
    // Huge reports are read no further than their count.
    std::vector<quint8> big(65535, 0x99);
    big[0] = 0x02;
    asm_.Read380(0, big.data(), 65535);
    EXPECT_EQ(asm_.FrameHex(), u"0102039999");
}

TEST_F(Reassembly, StateSurvivesBetweenReportStreams) {
    // A disconnect in the middle of a frame keeps the collected bytes; the next connection's
    // bytes are appended and tested together.
    auto f = frame();
    send(std::vector<quint8>(f.begin(), f.begin() + 14));
    const QString kept = asm_.FrameHex();
    EXPECT_EQ(kept.size(), 28);
    send(std::vector<quint8>(f.begin() + 14, f.end()));
    idle();
    ASSERT_EQ(frames_.size(), 1u);
    EXPECT_TRUE(frames_[0].startsWith(kept));
}

TEST_F(Reassembly, EndlessStreamWithoutIdleReportsIsBounded) {
    for (int i = 0; i < 10000; ++i)
        send(frame());
    EXPECT_LE(asm_.FrameHex().size(), FrameAssembler::kMaxFrameHexChars);
    idle();
    ASSERT_EQ(frames_.size(), 1u); // its first 44 characters are still a good frame
    EXPECT_TRUE(QStringView(frames_[0]).mid(40, 4) == u"0D0A");
}

} // namespace
