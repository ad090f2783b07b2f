// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// The bits of the parallel port's control register as the adapter uses them.
// Bits 0-3 drive the four control lines. The program speaks in register
// values, as the adapter's wiring is described; libieee1284 takes line
// levels, which for strobe, auto feed and select in are the inverse of the
// register bit (kInvertedLines).
namespace lpt51::control_bits {

inline constexpr std::uint8_t kLowLatchHolds = 0x01;   // strobe: set, the low latch holds
inline constexpr std::uint8_t kHighLatchHolds = 0x02;  // auto feed: set, the high latch holds
inline constexpr std::uint8_t kP27High = 0x04;         // init: the chip's P2.7
inline constexpr std::uint8_t kProgLow = 0x08;         // select in: set, PROG is low
inline constexpr std::uint8_t kIrqEnable = 0x10;       // the port's interrupt, not wired
inline constexpr std::uint8_t kDataInput = 0x20;       // set: the data lines are inputs

// The four bits that reach the connector.
inline constexpr std::uint8_t kLines = kLowLatchHolds | kHighLatchHolds | kP27High | kProgLow;

// Lines whose level is the inverse of their register bit (strobe, auto
// feed, select in), as libieee1284's C1284_INVERTED names them.
inline constexpr std::uint8_t kInvertedLines = kLowLatchHolds | kHighLatchHolds | kProgLow;

}  // namespace lpt51::control_bits

namespace lpt51 {

// Control register values the bus steps OR into bits 0-5.
namespace control {
using namespace control_bits;

// Bits 0-2 set: latches hold, P2.7 high.
inline constexpr std::uint8_t kRest = kLowLatchHolds | kHighLatchHolds | kP27High;
// Bit 0 cleared: the low latch follows the lines.
inline constexpr std::uint8_t kLowStrobe = kHighLatchHolds | kP27High;
// Bit 1 cleared: the high latch follows the lines.
inline constexpr std::uint8_t kHighStrobe = kLowLatchHolds | kP27High;
// PROG low, P2.7 high.
inline constexpr std::uint8_t kPulse = kRest | kProgLow;
// PROG low, P2.7 low.
inline constexpr std::uint8_t kPulseEnable = kLowLatchHolds | kHighLatchHolds | kProgLow;
// Data lines to input.
inline constexpr std::uint8_t kInput = kRest | kDataInput;
// Input and P2.7 low: the chip drives.
inline constexpr std::uint8_t kInputEnable = kLowLatchHolds | kHighLatchHolds | kDataInput;
// SetControl keeps bits 4-7; SetControlOut keeps 4, 6, 7.
inline constexpr std::uint8_t kKeepBits = static_cast<std::uint8_t>(~kLines);
inline constexpr std::uint8_t kKeepBitsDrive = static_cast<std::uint8_t>(kKeepBits & ~kDataInput);
}  // namespace control

}  // namespace lpt51
