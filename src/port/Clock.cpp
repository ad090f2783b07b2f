// SPDX-License-Identifier: GPL-3.0-or-later
#include "port/Clock.h"

#include "port/RealTime.h"

#include <sys/prctl.h>

#include <thread>

namespace lpt51 {

void RealClock::busyWait(volatile std::uint32_t& counter, std::uint32_t /*iterations*/,
                         std::uint32_t units) {
    // The wait spins on the steady clock to its deadline. An iteration count
    // cannot promise the time: the loop's speed changes with the processor,
    // its frequency and what else runs (one unit took anywhere from 10 to
    // 65 us on the machines tried), and the chip's timings are built from
    // 10 us units. Looking at the clock between reads costs a few dozen
    // nanoseconds, so the wait ends within that of the deadline.
    const auto start = steadyNow_();
    const auto until = start + kUnit * units;
    auto now = start;
    while (now < until) now = steadyNow_();
    counter = 0;
    busySpent_ += now - start;
    busyAsked_ += kUnit * units;
}

void RealClock::sleepMs(unsigned ms) {
    sleepAsked_ += std::chrono::milliseconds(ms);
    const auto until = steadyNow_() + std::chrono::milliseconds(ms);
    // The kernel's default timer slack (50 us) and the wake-up latency would
    // add about 100 us to every sleep, 8192 times in a 4 KiB write; so the
    // thread sleeps with a slack of 1 ns until shortly before the deadline
    // and spins on the steady clock to it. Looping on the clock also keeps a
    // signal from ending the sleep early.
    const int slack = prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0);
    prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
    const auto wake = until - kSpinBeforeDeadline;
    while (steadyNow_() < wake) std::this_thread::sleep_until(wake);
    if (slack > 0) prctl(PR_SET_TIMERSLACK, static_cast<unsigned long>(slack), 0, 0, 0);
    while (steadyNow_() < until) {
    }
}

void RealClock::busyWaitFor(Duration d) {
    const auto start = steadyNow_();
    const auto until = start + d;
    auto now = start;
    while (now < until) now = steadyNow_();
    busySpent_ += now - start;
    busyAsked_ += d;
}

void RealClock::betweenSteps() {
    RealTimeSection::BetweenSteps();
}

Clock::Duration RealClock::now() const {
    return std::chrono::duration_cast<Duration>(steadyNow_().time_since_epoch());
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
