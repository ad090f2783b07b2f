#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "port/Clock.h"
#include "port/Port.h"

namespace lpt51::sim {

// What sits in the socket.
enum class ChipKind {
    Part12V,    // AT89C51, 12 V programming (signature 1E 51 FF)
    Part5V,     // AT89C51, 5 V programming (signature 1E 51 05)
    Empty,      // nothing drives P0
    Foreign,    // another chip: other signature bytes, does not take this programming
};

// How the PC port behaves.
enum class PortKind {
    Bidirectional,  // bit 5 turns the drivers off; undriven lines read 0xFF (pull-ups)
    OutputOnly,     // SPP: bit 5 does nothing; the data register reads back the last byte written
    NoPullUps,      // bidirectional, but undriven lines read 0x00
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
class VirtualAdapter final : public Port {
public:
    VirtualAdapter(const Clock& clock, PortKind portKind, ChipState chip);
    ~VirtualAdapter() override;

    std::uint8_t readData() override;
    void writeData(std::uint8_t value) override;
    std::uint8_t readControl() override;
    void writeControl(std::uint8_t value) override;

    PortKind portKind() const { return portKind_; }
    const ChipState& chip() const { return chip_; }
    ChipState& chip() { return chip_; }

    const std::vector<Fault>& faults() const { return faults_; }
    void clearFaults() { faults_.clear(); }

    // How many code bytes a PROG pulse has programmed, and erase pulses seen:
    // tests use these to tell "nothing happened" from "happened and failed".
    std::size_t programPulses() const { return programPulses_; }
    std::size_t erasePulses() const { return erasePulses_; }

private:
    struct Model;  // latches, lines, timing state
    const Clock& clock_;
    PortKind portKind_;
    ChipState chip_;
    std::vector<Fault> faults_;
    std::size_t programPulses_ = 0;
    std::size_t erasePulses_ = 0;
    Model* model_;
};

}  // namespace lpt51::sim
