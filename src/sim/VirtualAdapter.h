// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "port/Clock.h"
#include "port/Port.h"
#include "sim/VirtualChip.h"
#include "sim/Wiring.h"

namespace lpt51::sim {

// How the PC port behaves.
enum class PortKind {
    Bidirectional,  // bit 5 turns the drivers off; undriven lines read 0xFF (pull-ups)
    OutputOnly,     // SPP: bit 5 does nothing; the data register reads back the last byte written
    NoPullUps,      // bidirectional, but undriven lines read 0x00 (chosen: a floating TTL input
                    // may read either way; 0x00 is the value most unlike the pull-ups)
};

// A Port that models the passive adapter, the PC port kind and the chip in the
// socket from the hardware facts, never from the programmer's sequences, so a
// wrong sequence shows up as a wrong result or as a fault in faults().
//
// The adapter's part of the model: the two latches follow the data lines
// while their strobe bit is cleared, P0 is open drain (on a port without
// pull-ups the chip cannot make a one, so everything read from it reads
// 0x00, as undriven lines do), and the port and the chip driving the lines
// at once is bus contention, as is a latch closing on lines the chip drives:
// it would hold the chip's byte. The chip's part is VirtualChip.
class VirtualAdapter final : public Port {
  public:
    VirtualAdapter(const Clock& clock, PortKind portKind, ChipState chip,
                   ChipTimingModel timing = {}, Wiring wiring = Wiring());
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
    std::size_t driverPulses() const { return chip_.driverPulses(); }

    PortKind portKind() const { return portKind_; }
    const ChipTimingModel& timing() const { return chip_.timing(); }
    const Clock& clock() const { return clock_; }
    const ChipState& chip() const { return chip_.state(); }
    ChipState& chip() { return chip_.state(); }

    const std::vector<Fault>& faults() const { return log_.faults(); }
    void clearFaults() { log_.clear(); }

    // How many code bytes a PROG pulse has programmed, and erase pulses seen:
    // tests use these to tell "nothing happened" from "happened and failed".
    std::size_t programPulses() const { return chip_.programPulses(); }
    std::size_t erasePulses() const { return chip_.erasePulses(); }

    // What the chip puts on P0 for a code read while LB1 and LB2 are set.
    static std::uint8_t lockedReadPattern(std::uint16_t address) {
        return VirtualChip::lockedReadPattern(address);
    }

    // The adapter's outputs, for tests that look at the lines themselves.
    std::uint8_t lines() const;
    std::uint8_t lowLatch() const;
    std::uint8_t highLatch() const;

    using ChipPins = sim::ChipPins;
    ChipPins pins() const;

    // How the adapter is wired, and what a socket pin carries now: what a
    // meter on the socket reads.
    const Wiring& wiring() const { return wiring_; }
    PinLevel socketPin(int pin) const;

  private:
    struct Latches;

    // The pins before the chip's own output is known: no chipDrives, lines
    // as the port alone makes them.
    ChipPins inputs() const;
    std::optional<std::uint8_t> chipOutput() const;
    // The lines with the chip driving `chip` (none: not at all).
    std::uint8_t linesWith(std::optional<std::uint8_t> chip) const;
    bool portDrives() const;
    // PROG as the chip's pin has it with the control register at `control`.
    bool progLow(std::uint8_t control) const;
    Wiring::Drivers drivers(std::uint8_t lines) const;
    void settle();
    void checkContention();

    const Clock& clock_;
    PortKind portKind_;
    Wiring wiring_;
    FaultLog log_;
    VirtualChip chip_;
    bool driverWriting_ = false;
    std::unique_ptr<Latches> latches_;
};

}  // namespace lpt51::sim
