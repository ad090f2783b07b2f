#pragma once

// A stretched programming pulse, made on the virtual clock: the process held
// up while PROG is low, as a stopped virtual machine or firmware would hold
// it up on a real port.
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>

#include "backend/Backend.h"
#include "port/Clock.h"
#include "port/ControlBits.h"
#include "sim/VirtualAdapter.h"

namespace lpt51::test {

// Virtual time, as VirtualClock keeps it, except that the busy waits that
// run while PROG is low are counted (from 0) and the chosen ones last 300 us
// longer.
class StallingClock final : public Clock {
  public:
    void busyWait(volatile std::uint32_t& counter, std::uint32_t, std::uint32_t units) override {
        using namespace std::chrono_literals;
        counter = 0;
        now_ += 10us * units;
        if (progLow && progLow() && stalled.count(pulses_++) != 0) now_ += 300us;
    }
    void sleepMs(unsigned ms) override { now_ += std::chrono::milliseconds(ms); }
    void busyWaitFor(Duration d) override { now_ += d; }
    Duration now() const override { return now_; }

    std::function<bool()> progLow;
    std::set<unsigned> stalled;

  private:
    Duration now_{0};
    unsigned pulses_ = 0;
};

// A 12 V part whose chosen pulses are stretched, behind the virtual adapter,
// as a session opens it.
class StalledBackend final : public Backend {
  public:
    StalledBackend(sim::PortKind port, sim::OverlongPulse overlong, std::set<unsigned> stalled)
        : adapter_(clock_, port, Chip(overlong)) {
        clock_.stalled = std::move(stalled);
        clock_.progLow = [this] { return (adapter_.readControl() & control_bits::kProgLow) != 0; };
    }
    static sim::ChipState Chip(sim::OverlongPulse overlong) {
        sim::ChipState s = sim::ChipState::erased(sim::ChipKind::Part12V);
        s.overlongPulses = overlong;
        return s;
    }
    bool usable() const override { return true; }
    const std::string& problem() const override { return none_; }
    Port* port() override { return &adapter_; }
    Clock& clock() override { return clock_; }
    std::string description() const override { return "virtual adapter"; }
    sim::VirtualAdapter* virtualAdapter() override { return &adapter_; }
    std::optional<std::string> persist() override { return std::nullopt; }

    StallingClock& stallingClock() { return clock_; }

  private:
    std::string none_;
    StallingClock clock_;
    sim::VirtualAdapter adapter_;
};

}  // namespace lpt51::test
