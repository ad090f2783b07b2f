#include "port/Clock.h"

#include <thread>

namespace lpt51 {

void RealClock::busyWait(volatile std::uint32_t& counter, std::uint32_t iterations,
                         std::uint32_t units) {
    const auto start = std::chrono::steady_clock::now();
    // The counter is volatile, so every iteration is one load, one store and
    // one test in memory; the optimiser can neither fold nor drop the loop.
    counter = iterations;
    while (counter != 0) {
        counter = counter - 1;
    }
    // The loop's speed is not fixed: some processors run it several times
    // faster than the time-stamp counter ticks, some only in spells (the
    // counter's store and load renamed away), so 10 x MHz iterations cannot
    // promise the time. A unit never ends before the 10 us that the chip's
    // timings are built from.
    const auto until = start + kShortestUnit * units;
    while (std::chrono::steady_clock::now() < until) {
    }
}

void RealClock::sleepMs(unsigned ms) {
    // sleep_for may return early on a signal in some libraries; loop on the
    // steady clock so the sleep is never shorter than asked.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_until(until);
    }
}

Clock::Duration RealClock::now() const {
    return std::chrono::duration_cast<Duration>(
        std::chrono::steady_clock::now().time_since_epoch());
}

void VirtualClock::busyWait(volatile std::uint32_t& counter, std::uint32_t /*iterations*/,
                            std::uint32_t units) {
    counter = 0;
    now_ += kDelayUnit * units;
}

void VirtualClock::sleepMs(unsigned ms) {
    now_ += std::chrono::milliseconds(ms);
}

}  // namespace lpt51
