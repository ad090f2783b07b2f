// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "chip/At89c51.h"
#include "port/Clock.h"

namespace lpt51::sim {

// What sits in the socket.
enum class ChipKind {
    Part12V,  // AT89C51, 12 V programming (signature 1E 51 FF)
    Part5V,   // AT89C51, 5 V programming (signature 1E 51 05)
    Empty,    // nothing drives P0
    Foreign,  // another chip: signature 1E 52 FF, drives its (erased) code when read and
              // ignores every programming and erase pulse
};

// The datasheet gives no behaviour for a pulse past its limit. A real cell
// most likely programs (and is over-stressed); a chip that takes nothing
// from such a pulse is the worst case a programmer must survive.
enum class OverlongPulse { Programs, ProgramsNothing };

// The chip's persistent part: what survives between runs in a state file.
struct ChipState {
    ChipKind kind = ChipKind::Part12V;
    chip::CodeBytes code{};          // flash cells
    std::array<bool, 3> lockBits{};  // LB1, LB2, LB3
    // Cells whose bits will not clear when programmed (a worn chip): each
    // entry is an address whose cell keeps the bits of `stuckMask` at 1.
    std::vector<std::uint16_t> weakCells;
    std::uint8_t stuckMask = 0xFF;
    // What a code-byte or lock-bit pulse longer than 110 us does.
    OverlongPulse overlongPulses = OverlongPulse::Programs;

    static ChipState erased(ChipKind kind);
};

// The kind of a fault whose pulse was longer than the datasheet allows.
inline constexpr const char* kStretchedPulseKind = "pulse too long";

// One fault the model noticed, at the virtual or real time it happened.
struct Fault {
    Clock::Duration at;
    std::string what;  // e.g. "bus contention: port drives 5A while the chip drives 3C"
    std::string kind;  // e.g. "bus contention": faults of one kind are counted together
    // What a programming pulse was for: a code byte, or a lock bit (1 to 3).
    std::optional<std::uint16_t> codeByte;
    int lockBit = 0;
};

// Where the adapter and the chip both put what they notice.
class FaultLog {
  public:
    explicit FaultLog(const Clock& clock) : clock_(clock) {}
    void add(std::string kind, std::string what) {
        faults_.push_back(Fault{clock_.now(), std::move(what), std::move(kind), std::nullopt, 0});
    }
    void add(Fault fault) { faults_.push_back(std::move(fault)); }
    const std::vector<Fault>& faults() const { return faults_; }
    void clear() { faults_.clear(); }

  private:
    const Clock& clock_;
    std::vector<Fault> faults_;
};

// What the datasheet leaves to the part and to the adapter: the crystal on
// the adapter and how long this part's write cycle lasts.
struct ChipTimingModel {
    double oscMHz = 12.0;                                          // 3 to 24 MHz while programming
    Clock::Duration writeCycle = std::chrono::microseconds(1500);  // at most 2 ms

    // 48 oscillator periods: every setup, hold and access time around PROG
    // and the reads.
    Clock::Duration setupTime() const {
        return Clock::Duration(static_cast<Clock::Duration::rep>(
            chip::kAt89c51.timing.setupPeriods * 1000.0 / oscMHz + 0.999));
    }
};

// The chip's programming pins as the adapter drives them, and who drives
// P0, for anything that shows the chip's side of the bus.
struct ChipPins {
    std::uint16_t address;  // A0-A11: P1 and P2.0-P2.3
    bool p26, p27, p36, p37;
    bool twelveVolts;  // 12 V on EA/VPP; otherwise the logic-high 5 V
    bool portDrives;   // the PC port drives the data lines (P0)
    bool chipDrives;   // the chip drives P0 with its output
    std::uint8_t lines;
};

// The operation the mode pins select, by the datasheet's mode table; nothing
// for a combination the table does not list.
std::optional<chip::Operation> DecodeMode(const ChipPins& pins);

// "write code byte", or "undefined mode".
const char* ModeName(std::optional<chip::Operation> mode);

// Two or three upper-case hexadecimal digits, for fault texts.
std::string Hex(unsigned value, int digits = 2);

// The AT89C51 (or what else is in the socket) on its programming pins, judged
// by the datasheet's facts, never by the programmer's sequences.
//
// What the model decides where the datasheet leaves it open:
// - Reading the code memory with LB1 and LB2 set returns the fixed pattern
//   lockedReadPattern(address), not the content.
// - A code-byte or lock-bit pulse shorter than 1 us, an erase pulse shorter
//   than 10 ms, a pulse during the write cycle, a pulse with the programming
//   voltage wrong for the variant or set up less than 10 us before it, a
//   pulse in a mode that programs nothing, and a code-byte pulse while LB1
//   is set each log a fault and change nothing.
// - A code-byte or lock-bit pulse longer than 110 us logs a fault and, as
//   ChipState::overlongPulses says, programs (by default: a longer pulse
//   over-stresses the cell rather than failing to program it) or not.
// - Programming voltage removed less than 10 us after a pulse logs a fault;
//   the pulse itself stands.
// - An empty socket and a foreign chip take no pulse and log nothing: the
//   host cannot tell, except from what it reads back.
// - A read less than 48 oscillator periods after the address, mode or output
//   enable changed logs a fault and reads undefined data (bits that change
//   from read to read).
// - During the write cycle that follows a code-byte pulse (its length set in
//   ChipTimingModel), a read of that byte in the read-code mode returns bit 7
//   of the byte being written inverted and bits 0 to 6 undefined: the chip's
//   data polling. A read of anything else then logs a fault.
// - A code-byte pulse with the address or the data set up less than 48
//   periods before PROG falls, or either changed less than 48 periods after
//   it rises, and a programming pulse with 12 V switched on less than 48
//   periods after P2.7 went high (or while it was low), log a fault; the
//   pulse still programs.
// - After P2.7 rises from a read the chip goes on driving P0 with the byte
//   it drove for 48 periods of its crystal (tEHQZ, the longest the datasheet
//   allows): the port driving the lines then is bus contention, and a latch
//   closing on them takes the chip's byte (the adapter logs both).
// - The voltage on EA/VPP is only judged when a PROG pulse is given: the
//   high latch passes through arbitrary values while it follows undriven lines.
class VirtualChip {
  public:
    VirtualChip(const Clock& clock, ChipState state, FaultLog& log, ChipTimingModel timing = {});

    const ChipTimingModel& timing() const { return timing_; }

    const ChipState& state() const { return state_; }
    ChipState& state() { return state_; }

    // What the chip drives on P0 with its pins so, before the open drain.
    std::optional<std::uint8_t> output(const ChipPins& pins) const;

    // The pins as they are now, after any change of the adapter's outputs.
    void pinsChanged(const ChipPins& pins);
    // PROG went low with the pins so; fromDriver: the port driver's own write.
    void progFell(const ChipPins& pins, bool fromDriver);
    // PROG went high; the pins as they were while it was low.
    void progRose(const ChipPins& pins);
    // The host reads the lines. Returns what the chip drives in place of its
    // output when that is not valid yet (read too early), else nothing.
    std::optional<std::uint8_t> beforeRead(const ChipPins& pins);

    std::size_t programPulses() const { return programPulses_; }
    std::size_t erasePulses() const { return erasePulses_; }
    std::size_t driverPulses() const { return driverPulses_; }

    static std::uint8_t lockedReadPattern(std::uint16_t address) {
        return static_cast<std::uint8_t>((address & 0xFF) ^ 0xA5);
    }

  private:
    // What the chip drives with the pins so, leaving out the data float.
    std::optional<std::uint8_t> driven(const ChipPins& pins) const;
    void onVppChange(bool wasTwelveVolts);
    void programCodeByte(const ChipPins& pins, Clock::Duration width);
    void programLockBit(std::size_t bit, Clock::Duration width, bool twelveVolts);
    void eraseChip(Clock::Duration width, bool twelveVolts);
    bool programmingAllowed(bool twelveVolts, const char* what);
    void fault(const char* kind, std::string what) { log_.add(kind, std::move(what)); }
    void stretchedPulse(Clock::Duration width, const std::string& what, std::uint16_t address,
                        int lockBit);
    void checkHold(const ChipPins& pins);
    void checkSetup(const ChipPins& pins);
    std::string needed() const;  // "(16.0 us needed at 3 MHz)"
    std::uint8_t noise() const { return static_cast<std::uint8_t>(noise_ >> 24); }

    const Clock& clock_;
    ChipTimingModel timing_;
    ChipState state_;
    FaultLog& log_;
    std::size_t programPulses_ = 0;
    std::size_t erasePulses_ = 0;
    std::size_t driverPulses_ = 0;

    // The pins last seen.
    std::optional<ChipPins> last_;

    // The PROG pulse under way, if any, and what it started on.
    std::optional<Clock::Duration> progLowAt_;
    std::optional<chip::Operation> pulseMode_;
    bool pulseFromDriver_ = false;
    std::uint16_t pulseAddress_ = 0;
    std::uint8_t pulseData_ = 0;
    bool pulseRejected_ = false;

    std::optional<Clock::Duration> vppChangedAt_;
    std::optional<Clock::Duration> lastProgrammingPulseEnd_;

    // The self-timed write cycle after a code byte.
    std::optional<Clock::Duration> writeCycleEnd_;
    std::uint8_t lastWritten_ = 0xFF;
    std::uint16_t writingAddress_ = 0;

    // The byte the chip still drives after P2.7 rose from a read, and until when.
    std::uint8_t floatByte_ = 0xFF;
    std::optional<Clock::Duration> floatEnd_;

    // When the chip's output last changed its address, mode or enable.
    Clock::Duration outputChangedAt_{0};
    // For the setup and hold times around PROG.
    Clock::Duration addressChangedAt_{0};
    Clock::Duration linesChangedAt_{0};
    std::optional<Clock::Duration> p27HighAt_;  // none while P2.7 is low
    // How long P2.7 had been high when 12 V came on; none: it was low.
    std::optional<Clock::Duration> p27BeforeVpp_;
    std::optional<Clock::Duration> codePulseEnd_;  // the hold times still run
    bool addressHoldBroken_ = false;
    bool dataHoldBroken_ = false;
    // Undefined bits: a new value for every read.
    std::uint32_t noise_ = 0x9E3779B9u;
};

}  // namespace lpt51::sim
