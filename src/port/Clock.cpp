#include "port/Clock.h"

#include <thread>

namespace lpt51 {

void RealClock::busyWait(volatile std::uint32_t& counter, std::uint32_t iterations,
                         std::uint32_t /*units*/) {
    // The counter is volatile, so every iteration is one load, one store and
    // one test in memory; the optimiser can neither fold nor drop the loop.
    counter = iterations;
    while (counter != 0) {
        counter = counter - 1;
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

void VirtualClock::sleepMs(unsigned ms) { now_ += std::chrono::milliseconds(ms); }

}  // namespace lpt51
