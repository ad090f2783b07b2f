#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "port/Clock.h"
#include "port/Port.h"

namespace lpt51::sim {

// What sits in the socket.
enum class ChipKind {
    Part12V,  // AT89C51, 12 V programming (signature 1E 51 FF)
    Part5V,   // AT89C51, 5 V programming (signature 1E 51 05)
    Empty,    // nothing drives P0
    Foreign,  // another chip: signature 1E 52 FF, drives its (erased) code when read and
              // ignores every programming and erase pulse
};

// How the PC port behaves.
enum class PortKind {
    Bidirectional,  // bit 5 turns the drivers off; undriven lines read 0xFF (pull-ups)
    OutputOnly,     // SPP: bit 5 does nothing; the data register reads back the last byte written
    NoPullUps,      // bidirectional, but undriven lines read 0x00 (chosen: a floating TTL input
                    // may read either way; 0x00 is the value most unlike the pull-ups)
};

// The chip's persistent part: what survives between runs in a state file.
struct ChipState {
    static constexpr std::size_t kCodeSize = 4096;

    ChipKind kind = ChipKind::Part12V;
    std::array<std::uint8_t, kCodeSize> code{};  // flash cells
    std::array<bool, 3> lockBits{};              // LB1, LB2, LB3
    // Cells whose bits will not clear when programmed (a worn chip): each
    // entry is an address whose cell keeps the bits of `stuckMask` at 1.
    std::vector<std::uint16_t> weakCells;
    std::uint8_t stuckMask = 0xFF;

    static ChipState erased(ChipKind kind);
};

// One fault the model noticed, at the virtual or real time it happened.
struct Fault {
    Clock::Duration at;
    std::string what;  // e.g. "bus contention: port drives 5A while the chip drives 3C"
};

// A Port that models the passive adapter, the PC port kind and the chip in the
// socket from the hardware facts, never from the programmer's sequences, so a
// wrong sequence shows up as a wrong result or as a fault in faults().
//
// What the model decides where the datasheet leaves it open:
// - Reading the code memory with LB1 and LB2 set returns the fixed pattern
//   lockedReadPattern(address), not the content.
// - A code-byte or lock-bit pulse shorter than 1 us, an erase pulse shorter
//   than 10 ms, a pulse during the write cycle, a pulse with the programming
//   voltage wrong for the variant or set up less than 10 us before it, a
//   pulse in a mode that programs nothing, and a code-byte pulse while LB1
//   is set each log a fault and change nothing.
// - A code-byte or lock-bit pulse longer than 110 us logs a fault but does
//   program: a longer pulse over-stresses the cell rather than failing to
//   program it, and with real timing a pre-empted busy wait must not turn
//   into a silently missing byte.
// - Programming voltage removed less than 10 us after a pulse logs a fault;
//   the pulse itself stands.
// - An empty socket and a foreign chip take no pulse and log nothing: the
//   host cannot tell, except from what it reads back.
// - P0 is open drain: on a port without pull-ups the chip cannot make a one,
//   so everything read from it reads 0x00, as undriven lines do.
// - A read less than 4 us (48 periods at 12 MHz) after the address, mode or
//   output enable changed logs a fault.
// - During the 2 ms write cycle that follows a code-byte pulse, a read of the
//   code memory returns the byte being written with bit 7 inverted (the
//   chip's data polling) and logs a fault.
// - The voltage on EA/VPP is only judged when a PROG pulse is given: the
//   high latch passes through arbitrary values while it follows undriven lines.
class VirtualAdapter final : public Port {
  public:
    static constexpr Clock::Duration kMinPulse = std::chrono::microseconds(1);
    static constexpr Clock::Duration kMaxPulse = std::chrono::microseconds(110);
    static constexpr Clock::Duration kErasePulse = std::chrono::milliseconds(10);
    static constexpr Clock::Duration kWriteCycle = std::chrono::milliseconds(2);
    static constexpr Clock::Duration kVppSetupHold = std::chrono::microseconds(10);

    VirtualAdapter(const Clock& clock, PortKind portKind, ChipState chip);
    ~VirtualAdapter() override;

    std::uint8_t readData() override;
    void writeData(std::uint8_t value) override;
    std::uint8_t readControl() override;
    void writeControl(std::uint8_t value) override;

    // A control value the operating system's port driver writes on its own,
    // such as the initial value a claim restores. A PROG low that such a
    // write starts in a mode that programs nothing is the platform's, not the
    // sequence's: the chip takes nothing from it, so it is counted in
    // driverPulses() rather than logged as a fault. In a programming mode it
    // is judged as any pulse, since the chip does take it.
    void writeControlFromDriver(std::uint8_t value);
    std::size_t driverPulses() const { return driverPulses_; }

    PortKind portKind() const { return portKind_; }
    const Clock& clock() const { return clock_; }
    const ChipState& chip() const { return chip_; }
    ChipState& chip() { return chip_; }

    const std::vector<Fault>& faults() const { return faults_; }
    void clearFaults() { faults_.clear(); }

    // How many code bytes a PROG pulse has programmed, and erase pulses seen:
    // tests use these to tell "nothing happened" from "happened and failed".
    std::size_t programPulses() const { return programPulses_; }
    std::size_t erasePulses() const { return erasePulses_; }

    // What the chip puts on P0 for a code read while LB1 and LB2 are set.
    static std::uint8_t lockedReadPattern(std::uint16_t address) {
        return static_cast<std::uint8_t>((address & 0xFF) ^ 0xA5);
    }

    // The adapter's outputs, for tests that look at the lines themselves.
    std::uint8_t lines() const;
    std::uint8_t lowLatch() const;
    std::uint8_t highLatch() const;

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
    ChipPins pins() const;

  private:
    struct Model;  // latches, lines, timing state

    std::optional<std::uint8_t> chipOutput() const;
    bool portDrives() const;
    void settle();
    void checkContention();
    void onVppChange(bool wasTwelveVolts);
    void onProgLow();
    void onProgHigh();
    void programCodeByte(Clock::Duration width);
    void programLockBit(std::size_t bit, Clock::Duration width);
    void eraseChip(Clock::Duration width);
    bool programmingAllowed(const char* what);
    void fault(std::string what);

    const Clock& clock_;
    PortKind portKind_;
    ChipState chip_;
    std::vector<Fault> faults_;
    std::size_t programPulses_ = 0;
    std::size_t erasePulses_ = 0;
    std::size_t driverPulses_ = 0;
    bool driverWriting_ = false;
    std::unique_ptr<Model> model_;
};

}  // namespace lpt51::sim
