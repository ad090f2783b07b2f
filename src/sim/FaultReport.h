// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "port/Clock.h"
#include "sim/VirtualAdapter.h"

namespace lpt51::sim {

// What the virtual adapter noticed during one command, for the user: on
// real hardware the same sequence may have failed without a word, so the
// command's own messages are not to be trusted where it noticed something.
class FaultReport {
  public:
    // Faults listed one by one; the rest are counted by kind.
    static constexpr std::size_t kShown = 10;

    // Notes where the command starts: only later faults are its own.
    explicit FaultReport(const VirtualAdapter& adapter);

    // The command's faults so far.
    std::vector<Fault> faults() const;
    std::size_t count() const;
    // "at 12.345 ms: erase pulse of 9.0 us (10 ms needed): nothing erased",
    // the time counted from the command's start, for the first kShown of
    // `faults`; then "and 1953 more: 1950 programming while locked, 3 read
    // during the write cycle". Without `faults`, the command's own.
    std::vector<std::string> lines(const std::vector<Fault>& faults) const;
    std::vector<std::string> lines() const { return lines(faults()); }
    // "the virtual adapter noticed 2 faults: real hardware may not have done
    // what the messages above say"
    static std::string summary(std::size_t count);
    std::string summary() const { return summary(count()); }

  private:
    const VirtualAdapter& adapter_;
    std::size_t first_;
    Clock::Duration start_;
};

}  // namespace lpt51::sim
