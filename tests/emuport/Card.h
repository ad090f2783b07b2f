// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>

#include "RegisterLog.h"
#include "Settings.h"
#include "sim/VirtualAdapter.h"

namespace lpt51::emuport {

// The port's registers as the hardware holds them: data, status, control
// and, on a port that has one, the extended control register (ECR). Every
// access is written to the register log and reaches the virtual adapter at
// once, on the same real clock.
//
// The direction bit (control bit 5) only works while the ECR, if there is
// one, selects PS/2 mode or above: in SPP and FIFO mode the drivers stay on.
// A port that failed the kernel's PS/2 test is an output-only port in the
// adapter, so bit 5 never turns its drivers off either.
class Card {
  public:
    Card(const Settings& settings, sim::VirtualAdapter& adapter, RegisterLog& log);

    // `byDriver`: the kernel writes on its own (a claim), not for the program.
    std::uint8_t readData(const char* cause);
    void writeData(std::uint8_t value, const char* cause);
    std::uint8_t readStatus(const char* cause);
    std::uint8_t readControl(const char* cause);
    void writeControl(std::uint8_t value, const char* cause, bool byDriver = false);
    bool hasEcr() const { return ecr_.has_value(); }
    std::uint8_t readEcr(const char* cause);
    void writeEcr(std::uint8_t value, const char* cause, bool byDriver = false);

    // Byte access at an I/O address, as /dev/port gives it.
    std::uint8_t in(unsigned long address, const char* cause);
    void out(unsigned long address, std::uint8_t value, const char* cause);

    // The longest time, in microseconds, that PROG stayed low after a write
    // of the driver pulled it low; nothing when that never happened.
    std::optional<double> longestDriverProgLow() const { return longestDriverProgLow_; }

  private:
    bool directionWorks() const;
    void forwardControl(bool byDriver);
    void otherAddress(unsigned long address, char direction, std::uint8_t value, const char* cause);

    const Settings& settings_;
    sim::VirtualAdapter& adapter_;
    RegisterLog& log_;
    std::uint8_t control_ = 0x07;  // as the program left the port at rest last time
    std::optional<std::uint8_t> ecr_;
    std::optional<double> driverProgLowSince_;
    std::optional<double> longestDriverProgLow_;
};

}  // namespace lpt51::emuport
