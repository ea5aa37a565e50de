#pragma once

#include <QtGlobal>

#include <array>
#include <cstddef>

// One frame of the meter: 20 bytes of display segments, then CR LF.
inline constexpr std::size_t kMeterFrameBytes = 22;
using MeterFrame = std::array<quint8, kMeterFrameBytes>;

// A frame is well formed when it ends in CR LF; nothing else in it is checked.
constexpr bool isWellFormed(const MeterFrame& frame) {
    return frame[20] == 0x0D && frame[21] == 0x0A;
}

// Nibble `k` of the frame, counted from 1: byte j holds nibbles 2j - 1 (its high four bits) and
// 2j (its low four bits).
constexpr int frameNibble(const MeterFrame& frame, int k) {
    const quint8 b = frame[std::size_t((k - 1) / 2)];
    return (k % 2 != 0) ? (b >> 4) : (b & 0x0F);
}
