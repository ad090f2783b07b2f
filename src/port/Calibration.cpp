// SPDX-License-Identifier: GPL-3.0-or-later
#include "port/Calibration.h"

#include <pthread.h>
#include <sched.h>
#include <x86intrin.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

namespace lpt51 {

std::uint64_t SystemCalibrationHost::readTsc() {
    return __rdtsc();
}

void SystemCalibrationHost::sleepMs(unsigned ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void SystemCalibrationHost::raisePriority() {
    sched_param saved{};
    if (pthread_getschedparam(pthread_self(), &savedPolicy_, &saved) != 0) return;
    savedPriority_ = saved.sched_priority;
    sched_param top{};
    top.sched_priority = sched_get_priority_max(SCHED_FIFO);
    // Fails without CAP_SYS_NICE or an rtprio limit: the measurement then runs
    // at normal priority, which only makes it a little noisier.
    raised_ = pthread_setschedparam(pthread_self(), SCHED_FIFO, &top) == 0;
}

void SystemCalibrationHost::restorePriority() {
    if (!raised_) return;
    sched_param saved{};
    saved.sched_priority = savedPriority_;
    pthread_setschedparam(pthread_self(), savedPolicy_, &saved);
    raised_ = false;
}

double MeasureCpuMHz(CalibrationHost& host) {
    host.raisePriority();
    host.sleepMs(10);
    const std::uint64_t t0 = host.readTsc();
    host.sleepMs(500);
    const std::uint64_t t1 = host.readTsc();
    host.restorePriority();
    const auto ticks = static_cast<std::uint32_t>(t1 - t0);
    return ticks / 500000.0;
}

double MeasureCpuMHz() {
    SystemCalibrationHost host;
    return MeasureCpuMHz(host);
}

std::uint32_t DelayUnitFromMHz(double mhz) {
    if (!(mhz >= 1.0)) return 0;  // also NaN
    // A measured value is below 8590 MHz; the modulo only keeps a caller's
    // absurd value from being undefined behaviour.
    const double whole = std::trunc(mhz);
    const double wrapped = std::fmod(whole, 4294967296.0);
    return static_cast<std::uint32_t>(10u * static_cast<std::uint32_t>(wrapped));
}

double MeasureDelayUnitNs(Bus& bus, std::uint32_t units) {
    if (units == 0) units = 1;
    Clock::Duration shortest = Clock::Duration::max();
    for (int run = 0; run < 5; ++run) {
        const auto start = bus.clock().now();
        bus.BusDelay(units);
        shortest = std::min(shortest, bus.clock().now() - start);
    }
    return static_cast<double>(shortest.count()) / units;
}

}  // namespace lpt51
