#include "port/Clock.h"

#include <sys/prctl.h>

#include <thread>

namespace lpt51 {

void RealClock::busyWait(volatile std::uint32_t& counter, std::uint32_t iterations,
                         std::uint32_t units) {
    const auto start = steadyNow_();
    const auto longest = start + kLongestUnit * units;
    // The counter is volatile, so every iteration is one load, one store and
    // one test in memory; the optimiser can neither fold nor drop the loop.
    // It runs in chunks so the clock can be looked at between them.
    std::uint32_t left = iterations;
    while (left != 0) {
        const std::uint32_t chunk = left < kChunk ? left : kChunk;
        counter = chunk;
        while (counter != 0) {
            counter = counter - 1;
        }
        left -= chunk;
        // Where the loop runs slower than the time-stamp counter ticks (one
        // unit took 45 to 65 us on a virtual machine here), a one-unit
        // programming pulse would come close to the chip's 110 us limit.
        if (left != 0 && steadyNow_() >= longest) break;
    }
    counter = 0;
    // The loop's speed is not fixed either way: some processors run it
    // several times faster than the time-stamp counter ticks, some only in
    // spells (the counter's store and load renamed away), so 10 x MHz
    // iterations cannot promise the time. A unit never ends before the 10 us
    // that the chip's timings are built from.
    const auto until = start + kShortestUnit * units;
    auto now = steadyNow_();
    while (now < until) now = steadyNow_();
    busySpent_ += now - start;
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
