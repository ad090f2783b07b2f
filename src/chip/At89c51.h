#pragma once

// The AT89C51 as data: what the datasheet says about its code memory, its
// signature, its programming modes and their timing, in the terms of the
// adapter that drives it. The chip operations build their port sequences from
// it and the virtual adapter judges them by it, so the two cannot drift apart.
// Header only, on std and port/ headers alone: sim/ includes it too.

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>

#include "port/ControlBits.h"

namespace lpt51::chip {

// What the mode pins ask the chip to do.
enum class Operation {
    ProgramCode,
    ReadCode,
    Erase,
    LockBit1,
    LockBit2,
    LockBit3,
    ReadSignature,
};

// The two parts differ only in the voltage EA/VPP takes while programming.
enum class Variant { Volts12, Volts5 };

// The byte the adapter's high latch holds: address bits A8-A11, three of the
// mode pins, and the programming voltage. P2.7 comes from the control
// register (control_bits::kP27High), not from the latch.
namespace mode_bits {
inline constexpr std::uint8_t kAddressHigh = 0x0F;
inline constexpr std::uint8_t kP37 = 0x10;
inline constexpr std::uint8_t kP36 = 0x20;
inline constexpr std::uint8_t kP26 = 0x40;
inline constexpr std::uint8_t kVpp5V = 0x80;  // cleared: 12 V on EA/VPP
}  // namespace mode_bits

// One row of the datasheet's mode table.
struct ModeEntry {
    Operation operation;
    const char* name;  // for messages: "write code byte"
    bool p26, p36, p37;
    // The control value that applies the mode: its PROG pulse for a mode that
    // programs, its output enable for a read. Its P2.7 bit is the mode's P2.7.
    std::uint8_t control;
    // Programming modes take a PROG pulse with the variant's voltage on
    // EA/VPP; the read modes keep EA/VPP at the logic-high 5 V.
    bool programs;

    constexpr bool p27() const { return (control & control_bits::kP27High) != 0; }

    // The high latch's byte for this mode, address bits clear.
    constexpr std::uint8_t modeByte(Variant variant) const {
        std::uint8_t b = 0;
        if (p26) b |= mode_bits::kP26;
        if (p36) b |= mode_bits::kP36;
        if (p37) b |= mode_bits::kP37;
        if (!(programs && variant == Variant::Volts12)) b |= mode_bits::kVpp5V;
        return b;
    }
};

// One of the two parts: its third signature byte.
struct VariantEntry {
    Variant variant;
    std::uint8_t signature;  // at kSignatureAddress + 2
};

struct Timing {
    using Duration = std::chrono::nanoseconds;
    Duration minPulse;      // code byte and lock bit PROG pulse, shortest
    Duration maxPulse;      // ... and longest
    Duration erasePulse;    // chip erase PROG pulse, shortest
    Duration writeCycle;    // self-timed write after a code byte
    Duration vppSetupHold;  // EA/VPP before PROG falls and after it rises
    Duration readAccess;    // address and enable to data valid (48 periods at 12 MHz)
};

struct ChipDescriptor {
    const char* name;
    std::size_t codeSize;            // bytes of code memory from address 0
    std::uint16_t signatureAddress;  // the first of the three signature bytes
    std::uint8_t manufacturer;       // first signature byte
    std::uint8_t device;             // second signature byte
    std::array<VariantEntry, 2> variants;
    std::array<ModeEntry, 7> modes;
    Timing timing;

    constexpr const ModeEntry& mode(Operation op) const {
        for (const ModeEntry& m : modes) {
            if (m.operation == op) return m;
        }
        return modes[0];  // not reached: every operation has a row
    }
    constexpr std::uint8_t modeByte(Operation op, Variant variant) const {
        return mode(op).modeByte(variant);
    }
    constexpr std::uint8_t signature(Variant variant) const {
        return variants[variant == Variant::Volts12 ? 0 : 1].signature;
    }
};

inline constexpr ChipDescriptor kAt89c51{
    "AT89C51",
    4096,
    0x30,
    0x1E,
    0x51,
    {{{Variant::Volts12, 0xFF}, {Variant::Volts5, 0x05}}},
    {{
        {Operation::ProgramCode, "write code byte", false, true, true, control::kPulse, true},
        {Operation::ReadCode, "read code byte", false, true, true, control::kInputEnable, false},
        {Operation::Erase, "chip erase", true, false, false, control::kPulseEnable, true},
        {Operation::LockBit1, "write lock bit 1", true, true, true, control::kPulse, true},
        {Operation::LockBit2, "write lock bit 2", true, false, false, control::kPulse, true},
        {Operation::LockBit3, "write lock bit 3", true, true, false, control::kPulseEnable, true},
        {Operation::ReadSignature, "read signature byte", false, false, false,
         control::kInputEnable, false},
    }},
    {std::chrono::microseconds(1), std::chrono::microseconds(110), std::chrono::milliseconds(10),
     std::chrono::milliseconds(2), std::chrono::microseconds(10), std::chrono::microseconds(4)},
};

inline constexpr std::size_t kCodeSize = kAt89c51.codeSize;
using CodeBytes = std::array<std::uint8_t, kCodeSize>;

}  // namespace lpt51::chip
