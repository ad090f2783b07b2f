// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace lpt51 {

// The adapter's view of a parallel port: the data register and the control
// register, one byte at a time. The status register is never used.
//
// Values are register values as the software writes them (the connector's
// inversion of some control lines is absorbed by the adapter's wiring).
// Control bit 5 is the data direction: set, the port stops driving the data
// lines. Every backend (hardware, virtual adapter, recorder) implements exactly
// these four operations. A port that cannot be used is refused when it is
// opened. An access that still fails on the way (the kernel refuses to turn
// the data lines round) is not thrown out of the middle of a bus step: the
// port notes it, and failure() reports it between two bytes, where the
// operation ends with the port at rest.
class Port {
  public:
    virtual ~Port() = default;

    // Reads the data register: the line levels on a bidirectional port whose
    // drivers are off, the last byte written on an output-only port.
    virtual std::uint8_t readData() = 0;
    virtual void writeData(std::uint8_t value) = 0;

    // Reads the control register as the software last set it, bit 5 included.
    virtual std::uint8_t readControl() = 0;
    virtual void writeControl(std::uint8_t value) = 0;

    // The first access that failed since the port was opened, naming the
    // action, the port and the system's reason; empty while none has.
    [[nodiscard]] virtual std::optional<std::string> failure() const { return std::nullopt; }
    // Forgets it: each operation starts afresh.
    virtual void clearFailure() {}
};

}  // namespace lpt51
