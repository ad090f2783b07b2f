// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "port/Clock.h"
#include "port/RecordingPort.h"
#include "sim/VirtualAdapter.h"

namespace lpt51 {

// How a port trace is written down. Each event carries its time since the
// first event and appends its text to `out`; the tracer decides when that
// text reaches the file.
class TraceFormat {
  public:
    using Duration = Clock::Duration;

    virtual ~TraceFormat() = default;

    // The first bytes of every trace in this format: a file that starts with
    // them may be replaced by a new trace.
    virtual std::string signature() const = 0;
    virtual std::string header() const = 0;

    virtual void access(std::string& out, Duration at, const PortAccess& access) = 0;
    virtual void busyWait(std::string& out, Duration at, std::uint32_t units,
                          std::uint32_t iterations) = 0;
    virtual void sleep(std::string& out, Duration at, unsigned ms) = 0;
    // A busy wait of an exact time rather than of delay units.
    virtual void exactWait(std::string& out, Duration at, Duration d) = 0;
    // A fault the virtual adapter noticed.
    virtual void fault(std::string& out, Duration at, const std::string& what) = 0;
    // The trace ends here: whatever is still pending, then the closing text.
    virtual void end(std::string& out, Duration at) = 0;
};

// One line of text per access, wait, sleep or fault: "      12.500 write control 06".
std::unique_ptr<TraceFormat> MakeTextTrace(const std::string& description);

// Signals for the port's lines and, when `adapter` is not null, for the
// virtual adapter's and the chip's side.
std::unique_ptr<TraceFormat> MakeVcdTrace(const std::string& description,
                                          const sim::VirtualAdapter* adapter);

}  // namespace lpt51
