// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdint>

namespace lpt51 {

// Everything on the bus that takes time goes through a Clock: the busy wait
// and the operating-system sleep. The real clock spins and sleeps; the
// virtual clock only advances a counter, so tests and the virtual adapter see
// exact times without waiting.
class Clock {
  public:
    using Duration = std::chrono::nanoseconds;

    virtual ~Clock() = default;

    // The busy wait of `units` delay units of 10 us. `iterations` is the
    // count the delay unit stands for (units x DelayUnit), for traces; the
    // real clock waits by the clock, not by counting, and leaves `counter`
    // at 0. A wait of 0 units is none.
    virtual void busyWait(volatile std::uint32_t& counter, std::uint32_t iterations,
                          std::uint32_t units) = 0;

    // Sleeps at least `ms` milliseconds.
    virtual void sleepMs(unsigned ms) = 0;

    // Spins for `d` exactly, not rounded to delay units: the waits of a
    // timing built from the chip's own limits.
    virtual void busyWaitFor(Duration d) = 0;

    // Time since an arbitrary start, for pulse-width checks and progress.
    virtual Duration now() const = 0;

    // Whether the waits take real time, so that another task could stretch
    // them: asked instead of the clock's type, since a clock may be wrapped.
    virtual bool realTime() const { return false; }

    // The bus is between two steps and no programming pulse is running:
    // where a real clock's thread may change how it is scheduled
    // (RealTimeSection). Virtual time has nothing to do here.
    virtual void betweenSteps() {}
};

// Busy waits on the CPU and sleeps in the operating system.
class RealClock final : public Clock {
  public:
    // Every delay unit lasts this long, whatever the processor.
    static constexpr Duration kUnit = std::chrono::microseconds(10);
    // A sleep wakes this long before its deadline and spins the rest, so it
    // ends within a few microseconds after it, never before.
    static constexpr Duration kSpinBeforeDeadline = std::chrono::microseconds(150);

    // The steady clock every wait is timed by; tests give one they move.
    using SteadyNow = std::chrono::steady_clock::time_point (*)();
    explicit RealClock(SteadyNow steadyNow = &std::chrono::steady_clock::now)
        : steadyNow_(steadyNow) {}

    void busyWait(volatile std::uint32_t& counter, std::uint32_t iterations,
                  std::uint32_t units) override;
    void sleepMs(unsigned ms) override;
    void busyWaitFor(Duration d) override;
    Duration now() const override;
    bool realTime() const override { return true; }
    void betweenSteps() override;

    // What the waits add up to so far: the time the busy waits took, the
    // busy waits asked for (10 us a unit, and the exact ones) and the sleeps
    // asked for. The last two are the floor an operation's time is measured
    // against; what the first has over the second, the host held them up.
    Duration busySpent() const { return busySpent_; }
    Duration busyAsked() const { return busyAsked_; }
    Duration sleepAsked() const { return sleepAsked_; }

  private:
    SteadyNow steadyNow_;
    Duration busySpent_{0};
    Duration busyAsked_{0};
    Duration sleepAsked_{0};
};

// Nothing waits: virtual time advances by the amount each wait stands for.
class VirtualClock final : public Clock {
  public:
    static constexpr Duration kDelayUnit = std::chrono::microseconds(10);

    void busyWait(volatile std::uint32_t& counter, std::uint32_t iterations,
                  std::uint32_t units) override;
    void sleepMs(unsigned ms) override;
    void busyWaitFor(Duration d) override { now_ += d; }
    Duration now() const override { return now_; }

    void advance(Duration d) { now_ += d; }

  private:
    Duration now_{0};
};

}  // namespace lpt51
