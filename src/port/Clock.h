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

    // The busy wait of `units` delay units, `iterations` (units x DelayUnit)
    // decrements of `counter`. The real clock runs the loop on the counter in
    // memory (an iteration count of 0 runs no loop instead of wrapping), and
    // never ends it before units x 10 us.
    virtual void busyWait(volatile std::uint32_t& counter, std::uint32_t iterations,
                          std::uint32_t units) = 0;

    // Sleeps at least `ms` milliseconds.
    virtual void sleepMs(unsigned ms) = 0;

    // Time since an arbitrary start, for pulse-width checks and progress.
    virtual Duration now() const = 0;
};

// Busy waits on the CPU and sleeps in the operating system.
class RealClock final : public Clock {
  public:
    // No delay unit ends sooner, however fast the loop ran its iterations.
    static constexpr Duration kShortestUnit = std::chrono::microseconds(10);

    void busyWait(volatile std::uint32_t& counter, std::uint32_t iterations,
                  std::uint32_t units) override;
    void sleepMs(unsigned ms) override;
    Duration now() const override;
};

// Nothing waits: virtual time advances by the amount each wait stands for.
class VirtualClock final : public Clock {
  public:
    static constexpr Duration kDelayUnit = std::chrono::microseconds(10);

    void busyWait(volatile std::uint32_t& counter, std::uint32_t iterations,
                  std::uint32_t units) override;
    void sleepMs(unsigned ms) override;
    Duration now() const override { return now_; }

    void advance(Duration d) { now_ += d; }

  private:
    Duration now_{0};
};

}  // namespace lpt51
