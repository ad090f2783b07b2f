// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <set>

#include "port/Clock.h"

namespace lpt51::testing {

// Virtual time, as VirtualClock keeps it, except that the busy waits that
// run while PROG is low are counted (from 0, or from the last stall()) and
// the chosen ones last 300 us longer: the process held up in mid-pulse, as a
// host that stops the machine would hold it.
class StallingClock final : public Clock {
  public:
    static constexpr Duration kStall = std::chrono::microseconds(300);

    void busyWait(volatile std::uint32_t& counter, std::uint32_t, std::uint32_t units) override {
        counter = 0;
        now_ += std::chrono::microseconds(10) * units;
        if (progLow && progLow() && stalled_.count(pulses_++) != 0) now_ += kStall;
    }
    void sleepMs(unsigned ms) override { now_ += std::chrono::milliseconds(ms); }
    void busyWaitFor(Duration d) override { now_ += d; }
    Duration now() const override { return now_; }

    // Holds up the chosen waits with PROG low, counted from now on.
    void stall(std::set<unsigned> waits) {
        stalled_ = std::move(waits);
        pulses_ = 0;
    }

    // Whether PROG is low now; nothing is held up until it is set.
    std::function<bool()> progLow;

  private:
    Duration now_{0};
    std::set<unsigned> stalled_;
    unsigned pulses_ = 0;
};

}  // namespace lpt51::testing
