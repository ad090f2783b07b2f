// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "backend/TraceFile.h"
#include "backend/TraceFormat.h"
#include "port/Clock.h"
#include "port/Port.h"
#include "port/RecordingPort.h"
#include "sim/VirtualAdapter.h"

namespace lpt51 {

// Writes every register access, busy wait and sleep of a port to a trace
// file, with the time of the clock that times the port. The port and the
// clock wear the two wrappers below, which report to it.
class Tracer {
  public:
    // `adapter` (may be null) is looked at after each access for the chip's
    // side and for faults. Returns null and sets `problem` when the file
    // cannot be written.
    static std::unique_ptr<Tracer> open(const std::string& path, const std::string& description,
                                        const Clock& clock, const sim::VirtualAdapter* adapter,
                                        std::string& problem);
    ~Tracer();

    void access(const PortAccess& access);
    void busyWait(std::uint32_t units, std::uint32_t iterations);
    void sleep(unsigned ms);
    void exactWait(Clock::Duration d);

    // Writes out what has collected; call when an operation has finished.
    // The first time a write has failed, returns what to tell the user.
    std::optional<std::string> finishOperation();

  private:
    Tracer(std::unique_ptr<TraceFile> file, std::unique_ptr<TraceFormat> format, const Clock& clock,
           const sim::VirtualAdapter* adapter);
    // Time since the first event: the start-up's clock measurement may lie
    // between opening the trace and the first access.
    Clock::Duration elapsed();
    void flushBetweenSteps();

    std::unique_ptr<TraceFile> file_;
    std::unique_ptr<TraceFormat> format_;
    const Clock& clock_;
    const sim::VirtualAdapter* adapter_;
    std::optional<Clock::Duration> origin_;
    std::size_t faultsSeen_ = 0;
    bool progLow_ = false;
    bool failureTold_ = false;
};

// Passes every access on to the inner port, then tells the tracer.
class TracingPort final : public ObservedPort {
  public:
    TracingPort(Port& inner, Tracer& tracer) : ObservedPort(inner), tracer_(tracer) {}

  private:
    void seen(const PortAccess& access) override { tracer_.access(access); }

    Tracer& tracer_;
};

// Tells the tracer of every wait as it begins, then waits on the inner clock.
class TracingClock final : public Clock {
  public:
    TracingClock(Clock& inner, Tracer& tracer) : inner_(inner), tracer_(tracer) {}

    void busyWait(volatile std::uint32_t& counter, std::uint32_t iterations,
                  std::uint32_t units) override;
    void sleepMs(unsigned ms) override;
    void busyWaitFor(Duration d) override;
    Duration now() const override { return inner_.now(); }
    bool realTime() const override { return inner_.realTime(); }
    void betweenSteps() override { inner_.betweenSteps(); }

  private:
    Clock& inner_;
    Tracer& tracer_;
};

}  // namespace lpt51
