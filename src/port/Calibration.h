// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "port/Bus.h"

namespace lpt51 {

// The operating-system and processor calls the clock measurement makes, behind
// one seam so tests can feed it tick counts.
class CalibrationHost {
  public:
    virtual ~CalibrationHost() = default;
    virtual std::uint64_t readTsc() = 0;
    virtual void sleepMs(unsigned ms) = 0;
    // Best effort: where the process may not raise its priority, nothing
    // happens and restorePriority() has nothing to undo.
    virtual void raisePriority() = 0;
    virtual void restorePriority() = 0;
};

// The time-stamp counter, nanosleep and SCHED_FIFO of this machine.
class SystemCalibrationHost final : public CalibrationHost {
  public:
    std::uint64_t readTsc() override;
    void sleepMs(unsigned ms) override;
    void raisePriority() override;
    void restorePriority() override;

  private:
    bool raised_ = false;
    int savedPolicy_ = 0;
    int savedPriority_ = 0;
};

// The processor clock in MHz: time-stamp ticks over a 500 ms sleep (after a
// 10 ms sleep that lets the raised priority take hold), the low 32 bits of
// the difference divided by 500000.
double MeasureCpuMHz(CalibrationHost& host);
double MeasureCpuMHz();

// 10 x the whole number of MHz, low 32 bits. Below 1 MHz this is 0, which
// makes every busy wait empty: the caller must treat that as a failed
// calibration.
std::uint32_t DelayUnitFromMHz(double mhz);

// The length in nanoseconds of one delay unit of `bus`, timed by its clock
// (real time on a RealClock, 10 us on a VirtualClock): the shortest of a few
// waits of `units` units, since pre-emption only ever lengthens one.
double MeasureDelayUnitNs(Bus& bus, std::uint32_t units = 100);

}  // namespace lpt51
