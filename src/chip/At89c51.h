// SPDX-License-Identifier: GPL-3.0-or-later
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

#include "port/Bus.h"
#include "port/BusWait.h"
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

// The datasheet's limits, as the virtual chip judges them.
struct Timing {
    using Duration = std::chrono::nanoseconds;
    Duration minPulse;    // code byte and lock bit PROG pulse, shortest
    Duration maxPulse;    // ... and longest
    Duration erasePulse;  // chip erase PROG pulse, shortest
    Duration writeCycle;  // self-timed write after a code byte, longest
    Duration typicalWriteCycle;
    Duration vppSetupHold;  // EA/VPP before PROG falls and after it rises
    // Address and data setup and hold around PROG, P2.7 high before the
    // programming voltage, address or P2.7 low to data valid: all 48
    // oscillator periods of the adapter's crystal.
    unsigned setupPeriods;
    double slowestOscMHz;  // the crystal while programming: 3 to 24 MHz
    double fastestOscMHz;

    // 48 periods at the slowest crystal: what a program that cannot know
    // the crystal must allow.
    constexpr Duration slowestSetup() const {
        return Duration(static_cast<Duration::rep>(setupPeriods * 1000.0 / slowestOscMHz));
    }
};

// Which waits the bus steps use.
enum class TimingKind {
    Standard,   // the program's own: delay units and sleeps, far above the chip's limits
    Datasheet,  // each wait from a datasheet limit with a margin
};

// The waits of a byte read: the idle latch (each of its four waits), after
// it, the address latch (each of its six), the lines to input before P2.7
// falls, P2.7 low to the read, and after the read.
struct ReadWaits {
    BusWait idle, settle, latch, input, access, after;
};

// The waits of a code byte write. On a bidirectional port the datasheet
// timing polls P0.7 for the end of the write cycle instead of waiting it out.
struct WriteWaits {
    BusWait idle, settle;     // the idle latch before the first record, and after it
    BusWait record;           // at rest before each record
    BusWait latch;            // each wait of the address latch
    BusWait setup;            // data on the lines to PROG low
    BusWait setupOutputOnly;  // more on an output-only port
    BusWait pulse;
    BusWait cycle;  // PROG high to the next byte, when the cycle is waited out
    bool dataPolling;
    BusWait pollHold;                      // PROG high to the lines turning to input
    BusWait pollAccess;                    // P2.7 low to the first read
    BusWait pollInterval;                  // between two reads of P0.7
    BusWait pollFloat;                     // P2.7 high to the lines driving again
    std::chrono::nanoseconds pollTimeout;  // PROG high to giving up on the cycle
};

struct EraseWaits {
    BusWait idle, settle, latch, input, setup, pulse;
};

// The waits of a lock bit. Bits 1 and 2 put their mode byte on the lines and
// strobe it in by hand; bit 3 latches it and turns the lines to input before
// P2.7 falls. A pulse stretched past the chip's limit is given again.
struct LockWaits {
    BusWait idle;    // each wait of the idle latch
    BusWait latch;   // each wait of the mode's latch
    BusWait input;   // bit 3: the lines to input before P2.7 falls
    BusWait setup;   // the mode latched to the PROG pulse
    BusWait pulse;   // PROG low, in delay units
    BusWait repeat;  // a stretched pulse's end to setting P2.7 again for the next
};

// One timing: every wait of every bus sequence that has one to choose.
struct BusTiming {
    TimingKind kind;
    const char* name;  // "standard", "datasheet"
    WriteWaits write;
    ReadWaits readOut, verify, signature;
    EraseWaits erase;
    LockWaits lock;
};

namespace timing_detail {
using std::chrono::microseconds;
using std::chrono::milliseconds;
// A margin of 1.5 times each limit, rounded up to whole microseconds; periods
// are those of the 3 MHz crystal.
inline constexpr microseconds k48Periods{24};  // 48 periods at 3 MHz are 16 us
// A port access lasts about a microsecond, on direct I/O as through the
// kernel's driver: far longer than a latch takes to follow its inputs or the
// port to let go of the lines, so these steps wait no more.
inline constexpr BusWait kLatchSettle =
    BusWait::Exact(microseconds(0),
                   "none of the chip's: the latch follows the lines within "
                   "nanoseconds, the port access itself is longer");
// The idle latch after a read closes on lines the chip may still drive: the
// bus holds that step until kDataFloat has passed since P2.7 rose, so the
// latch's own waits need keep nothing more.
inline constexpr BusWait kIdleAfterRead =
    BusWait::Exact(microseconds(0),
                   "none of the chip's: tEHQZ, the data float after P2.7 rises, is "
                   "the bus's kDataFloat before the latch closes");
inline constexpr BusWait kInput =
    BusWait::Exact(microseconds(0),
                   "none of the chip's: the port lets go of the lines within "
                   "its own access");
inline constexpr BusWait kAccess =
    BusWait::Exact(k48Periods, "tAVQV and tELQV, address and P2.7 low to data valid, 48 periods");
inline constexpr BusWait kNone{};
inline constexpr ReadWaits kDatasheetRead{.idle = kIdleAfterRead,
                                          .settle = kNone,
                                          .latch = kLatchSettle,
                                          .input = kInput,
                                          .access = kAccess,
                                          .after = kNone};
}  // namespace timing_detail

inline constexpr BusTiming kStandardTiming{
    .kind = TimingKind::Standard,
    .name = "standard",
    .write = {.idle = 1,
              .settle = 20,
              .record = 1,
              .latch = 1,
              .setup = BusWait::Units(1, 1),
              .setupOutputOnly = BusWait::Sleep(1),
              .pulse = 1,
              .cycle = BusWait::Sleep(3),
              .dataPolling = false,
              .pollHold = {},
              .pollAccess = {},
              .pollInterval = {},
              .pollFloat = {},
              .pollTimeout = std::chrono::nanoseconds(0)},
    .readOut = {.idle = 4, .settle = {}, .latch = 4, .input = 10, .access = 40, .after = {}},
    .verify =
        {.idle = 1, .settle = 20, .latch = 1, .input = 4, .access = 20, .after = BusWait::Sleep(1)},
    .signature = {.idle = 1, .settle = {}, .latch = 1, .input = 4, .access = 20, .after = {}},
    .erase =
        {.idle = 1, .settle = 20, .latch = 1, .input = 4, .setup = 20, .pulse = BusWait::Sleep(10)},
    .lock = {.idle = 1,
             .latch = 1,
             .input = 4,
             .setup = BusWait::Sleep(1),
             .pulse = 1,
             .repeat = BusWait::Sleep(2)},
};

inline constexpr BusTiming kDatasheetTiming{
    .kind = TimingKind::Datasheet,
    .name = "datasheet",
    .write =
        {
            .idle = timing_detail::kLatchSettle,
            .settle = BusWait::Exact(timing_detail::k48Periods,
                                     "tEHSH, P2.7 high before the programming voltage, 48 periods"),
            .record = timing_detail::kLatchSettle,
            .latch = timing_detail::kLatchSettle,
            .setup = BusWait::Exact(timing_detail::k48Periods,
                                    "tAVGL and tDVGL, address and data before PROG falls, 48 "
                                    "periods; tSHGL, the programming voltage 10 us before it"),
            .setupOutputOnly = {},
            .pulse = BusWait(1).keeping("tGLGH, the PROG pulse, 1 to 110 us: one 10 us unit, 6.7 "
                                        "times the shortest and 1/11 of the longest"),
            .cycle = BusWait::Exact(
                std::chrono::microseconds(3000),
                "tWC, the write cycle, at most 2.0 ms: waited out on an output-only port"),
            .dataPolling = true,
            .pollHold = BusWait::Exact(timing_detail::k48Periods,
                                       "tGHAX and tGHDX, address and data held after PROG rises, "
                                       "48 periods; tGHSL, the programming voltage 10 us"),
            .pollAccess = timing_detail::kAccess,
            .pollInterval = BusWait::Exact(
                std::chrono::microseconds(2),
                "none of the chip's: a byte's write ends at most 2 us after its cycle"),
            .pollFloat = BusWait::Exact(timing_detail::k48Periods,
                                        "tEHQZ, data float after P2.7 rises, 48 periods"),
            .pollTimeout = std::chrono::microseconds(3000),  // tWC, 1.5 x 2.0 ms
        },
    .readOut = timing_detail::kDatasheetRead,
    .verify = timing_detail::kDatasheetRead,
    .signature = timing_detail::kDatasheetRead,
    .erase =
        {
            .idle = timing_detail::kLatchSettle,
            .settle = BusWait::Exact(timing_detail::k48Periods,
                                     "tEHSH, P2.7 high before the programming voltage, 48 periods"),
            .latch = timing_detail::kLatchSettle,
            .input = timing_detail::kInput,
            .setup = BusWait::Exact(timing_detail::k48Periods,
                                    "tSHGL, the programming voltage 10 us before PROG falls"),
            .pulse = BusWait::Sleep(15).keeping("the erase pulse, at least 10 ms"),
        },
    .lock =
        {
            .idle = BusWait::Exact(std::chrono::microseconds(6),
                                   "tEHSH, P2.7 high before the programming voltage, 48 periods: "
                                   "4 x 6 us before the mode latch; tGHSL, the programming "
                                   "voltage held 10 us after the previous pulse"),
            .latch = timing_detail::kLatchSettle,
            .input = timing_detail::kInput,
            .setup = BusWait::Exact(timing_detail::k48Periods,
                                    "tSHGL, the programming voltage 10 us before PROG falls; the "
                                    "mode 48 periods"),
            .pulse = BusWait(1).keeping("tGLGH, the PROG pulse, 1 to 110 us: one 10 us unit, 6.7 "
                                        "times the shortest and 1/11 of the longest"),
            .repeat = BusWait::Exact(
                std::chrono::microseconds(3000),
                "tWC, the programming cycle a pulse may have started, at most 2.0 ms"),
        },
};

struct ChipDescriptor {
    const char* name;
    std::size_t codeSize;            // bytes of code memory from address 0
    std::uint16_t signatureAddress;  // the first of the three signature bytes
    std::uint8_t manufacturer;       // first signature byte
    std::uint8_t device;             // second signature byte
    std::array<VariantEntry, 2> variants;
    std::array<ModeEntry, 7> modes;
    // The high latch's byte between operations: no mode, the programming
    // voltage off.
    std::uint8_t idleMode;
    Timing timing;
    std::array<const BusTiming*, 2> timings;

    constexpr const BusTiming& busTiming(TimingKind kind) const {
        return *timings[kind == TimingKind::Standard ? 0 : 1];
    }
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
    .name = "AT89C51",
    .codeSize = 4096,
    .signatureAddress = 0x30,
    .manufacturer = 0x1E,
    .device = 0x51,
    .variants = {{{.variant = Variant::Volts12, .signature = 0xFF},
                  {.variant = Variant::Volts5, .signature = 0x05}}},
    .modes = {{
        {.operation = Operation::ProgramCode,
         .name = "write code byte",
         .p26 = false,
         .p36 = true,
         .p37 = true,
         .control = control::kPulse,
         .programs = true},
        {.operation = Operation::ReadCode,
         .name = "read code byte",
         .p26 = false,
         .p36 = true,
         .p37 = true,
         .control = control::kInputEnable,
         .programs = false},
        {.operation = Operation::Erase,
         .name = "chip erase",
         .p26 = true,
         .p36 = false,
         .p37 = false,
         .control = control::kPulseEnable,
         .programs = true},
        {.operation = Operation::LockBit1,
         .name = "write lock bit 1",
         .p26 = true,
         .p36 = true,
         .p37 = true,
         .control = control::kPulse,
         .programs = true},
        {.operation = Operation::LockBit2,
         .name = "write lock bit 2",
         .p26 = true,
         .p36 = false,
         .p37 = false,
         .control = control::kPulse,
         .programs = true},
        {.operation = Operation::LockBit3,
         .name = "write lock bit 3",
         .p26 = true,
         .p36 = true,
         .p37 = false,
         .control = control::kPulseEnable,
         .programs = true},
        {.operation = Operation::ReadSignature,
         .name = "read signature byte",
         .p26 = false,
         .p36 = false,
         .p37 = false,
         .control = control::kInputEnable,
         .programs = false},
    }},
    .idleMode = mode_bits::kVpp5V,
    .timing = {.minPulse = std::chrono::microseconds(1),
               .maxPulse = std::chrono::microseconds(110),
               .erasePulse = std::chrono::milliseconds(10),
               .writeCycle = std::chrono::milliseconds(2),
               .typicalWriteCycle = std::chrono::microseconds(1500),
               .vppSetupHold = std::chrono::microseconds(10),
               .setupPeriods = 48,
               .slowestOscMHz = 3.0,
               .fastestOscMHz = 24.0},
    .timings = {&kStandardTiming, &kDatasheetTiming},
};

// The port layer latches the idle mode and waits out the data float without
// knowing the chip; both must be the descriptor's, the float with the
// datasheet timing's margin over 48 periods of the slowest crystal.
static_assert(kAt89c51.idleMode == kIdleMode);
static_assert(kDataFloat.nominal() >= kAt89c51.timing.slowestSetup() * 3 / 2);

// The descriptor's own consistency, checked where it is compiled.
namespace descriptor_check {
// Every operation has exactly one row, so mode() never falls back.
constexpr bool EachOperationOnce() {
    for (const ModeEntry& m : kAt89c51.modes) {
        int rows = 0;
        for (const ModeEntry& n : kAt89c51.modes) rows += n.operation == m.operation;
        if (rows != 1) return false;
    }
    return true;
}
// No two modes share their pins: the chip could not tell them apart.
constexpr bool ModesDiffer() {
    for (std::size_t i = 0; i < kAt89c51.modes.size(); ++i) {
        for (std::size_t j = i + 1; j < kAt89c51.modes.size(); ++j) {
            const ModeEntry& a = kAt89c51.modes[i];
            const ModeEntry& b = kAt89c51.modes[j];
            if (a.p26 == b.p26 && a.p27() == b.p27() && a.p36 == b.p36 && a.p37 == b.p37)
                return false;
        }
    }
    return true;
}
// A mode applies PROG exactly when it programs, and keeps both latches holding.
constexpr bool ControlsFitTheirModes() {
    for (const ModeEntry& m : kAt89c51.modes) {
        if (((m.control & control_bits::kProgLow) != 0) != m.programs) return false;
        const std::uint8_t holds = control_bits::kLowLatchHolds | control_bits::kHighLatchHolds;
        if ((m.control & holds) != holds) return false;
        // A read lowers P2.7, which makes the chip drive P0: the lines must be inputs.
        if (!m.programs && (m.control & control_bits::kDataInput) == 0) return false;
    }
    return true;
}
// The idle mode selects none of the table's modes and keeps 12 V off.
constexpr bool IdleIsNoMode() {
    constexpr std::uint8_t idle = kAt89c51.idleMode;
    if ((idle & mode_bits::kVpp5V) == 0 || (idle & mode_bits::kAddressHigh) != 0) return false;
    for (const ModeEntry& m : kAt89c51.modes) {
        if (m.modeByte(Variant::Volts5) == idle && m.p27()) return false;
    }
    return true;
}
// Both timings keep the datasheet's window for a code byte's or a lock bit's
// PROG pulse, counting a delay unit as 10 us.
constexpr bool PulsesInWindow(const BusTiming& t) {
    for (const BusWait& w : {t.write.pulse, t.lock.pulse}) {
        if (w.nominal() < kAt89c51.timing.minPulse || w.nominal() > kAt89c51.timing.maxPulse)
            return false;
    }
    return t.erase.pulse.nominal() >= kAt89c51.timing.erasePulse;
}
static_assert(EachOperationOnce());
static_assert(ModesDiffer());
static_assert(ControlsFitTheirModes());
static_assert(IdleIsNoMode());
static_assert(PulsesInWindow(kStandardTiming) && PulsesInWindow(kDatasheetTiming));
static_assert(kAt89c51.busTiming(TimingKind::Standard).kind == TimingKind::Standard);
static_assert(kAt89c51.busTiming(TimingKind::Datasheet).kind == TimingKind::Datasheet);
static_assert(kAt89c51.signatureAddress + 2 < kAt89c51.codeSize);
}  // namespace descriptor_check

inline constexpr std::size_t kCodeSize = kAt89c51.codeSize;
using CodeBytes = std::array<std::uint8_t, kCodeSize>;

}  // namespace lpt51::chip
