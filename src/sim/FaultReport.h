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
    // Notes where the command starts: only later faults are its own.
    explicit FaultReport(const VirtualAdapter& adapter);

    std::size_t count() const;
    // "at 12.345 ms: erase pulse of 9.0 us (10 ms needed): nothing erased",
    // the time counted from the command's start.
    std::vector<std::string> lines() const;
    // "the virtual adapter noticed 2 faults: real hardware may not have done
    // what the messages above say"
    std::string summary() const;

  private:
    const VirtualAdapter& adapter_;
    std::size_t first_;
    Clock::Duration start_;
};

}  // namespace lpt51::sim
