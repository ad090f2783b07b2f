#pragma once

#include <optional>
#include <ostream>

#include "sim/FaultReport.h"

namespace lpt51::cli {

// On the virtual adapter, the faults it noticed while one command ran.
// Created before the command; finish() afterwards prints each fault with its
// time and the count to `err`, and turns a success into exit code 1: the
// messages before it say what the chip would have done, had the hardware
// forgiven the fault. On hardware it does nothing.
class AdapterFaults {
  public:
    // `adapter` is the virtual adapter, or null on hardware.
    explicit AdapterFaults(const sim::VirtualAdapter* adapter);
    int finish(std::ostream& err, int code) const;

  private:
    std::optional<sim::FaultReport> report_;
};

}  // namespace lpt51::cli
