// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <pthread.h>
#include <sched.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <string>
#include <vector>

#include "RegisterPort.h"
#include "port/Bus.h"
#include "port/Calibration.h"
#include "port/RealTime.h"

namespace lpt51 {
namespace {

using namespace std::chrono_literals;
using testing::NotingClock;
using testing::RegisterPort;

TEST(BusDelay, CountsUnitsTimesDelayUnitIn32Bits) {
    RegisterPort registers;
    RecordingPort recorder(registers);
    NotingClock clock(recorder);
    Bus bus(recorder, clock, 29930);
    bus.BusDelay();
    bus.BusDelay(40);
    bus.setDelayUnit(0x80000000u);
    bus.BusDelay(2);  // wraps to 0: the clock must see 0, not a huge count
    bus.setDelayUnit(0);
    bus.BusDelay(20);
    ASSERT_EQ(clock.waits.size(), 4u);
    EXPECT_EQ(clock.waits[0].iterations, 29930u);
    EXPECT_EQ(clock.waits[1].iterations, 40u * 29930u);
    EXPECT_EQ(clock.waits[2].iterations, 0u);
    EXPECT_EQ(clock.waits[3].iterations, 0u);
    EXPECT_EQ(clock.waits[3].text, "D20");
}

// Virtual time that notes the control register at every step boundary and
// every busy wait the bus hands it.
class BoundaryClock final : public Clock {
  public:
    explicit BoundaryClock(const RegisterPort& port) : port_(port) {}
    void busyWait(volatile std::uint32_t& counter, std::uint32_t, std::uint32_t) override {
        counter = 0;
        waitsAt.push_back(port_.control);
    }
    void sleepMs(unsigned) override {}
    void busyWaitFor(Duration) override {}
    Duration now() const override { return Duration{0}; }
    void betweenSteps() override { boundariesAt.push_back(port_.control); }

    std::vector<std::uint8_t> waitsAt, boundariesAt;

  private:
    const RegisterPort& port_;
};

TEST(BusDelay, SchedulingMayChangeAtEveryWaitButNeverWhilePROGIsLow) {
    RegisterPort registers;
    BoundaryClock clock(registers);
    Bus bus(registers, clock, 1);
    bus.BusDelay(1);
    bus.Wait(BusWait::Units(2, 1));
    bus.Sleep(1);
    EXPECT_EQ(clock.boundariesAt.size(), 3u);
    clock.boundariesAt.clear();
    bus.TimedPulse(control::kPulse, 5);
    ASSERT_EQ(clock.waitsAt.size(), 3u);
    EXPECT_NE(clock.waitsAt.back() & control::kProgLow, 0);
    for (const std::uint8_t c : clock.boundariesAt) EXPECT_EQ(c & control::kProgLow, 0);
}

TEST(RealClock, BusyWaitEndsWithTheCounterAtZero) {
    RealClock clock;
    volatile std::uint32_t counter = 12345;
    clock.busyWait(counter, 100000, 1);
    EXPECT_EQ(counter, 0u);
}

// A steady clock that moves on 1 us each time it is read.
std::int64_t ticks = 0;
std::chrono::steady_clock::time_point Ticking() {
    return std::chrono::steady_clock::time_point(std::chrono::microseconds(++ticks));
}

TEST(RealClock, SleepEndsAtItsDeadlineNeitherBeforeNorLongAfter) {
    // The ticking clock's deadline has long passed on the system's own, so
    // the operating-system sleep returns at once and the spin does the rest.
    ticks = 0;
    RealClock clock(&Ticking);
    const auto start = clock.now();
    clock.sleepMs(15);
    EXPECT_GE(clock.now() - start, 15ms);
    EXPECT_LE(clock.now() - start, 15ms + 5us);
    EXPECT_EQ(clock.sleepAsked(), 15ms);
}

TEST(RealClock, UnitsLastTenMicrosecondsWhateverTheIterationCount) {
    // One iteration a unit, then two billion: the wait is timed by the clock
    // alone, so neither a loop far faster nor one far slower than its count
    // says changes it (the ticking clock would pass seconds of iterations).
    RegisterPort registers;
    ticks = 0;
    RealClock clock(&Ticking);
    Bus bus(registers, clock, 1);
    bus.BusDelay(5);
    EXPECT_GE(clock.busySpent(), 50us);
    EXPECT_LE(clock.busySpent(), 51us);
    bus.setDelayUnit(0x7FFFFFFFu);
    const auto start = std::chrono::steady_clock::now();
    bus.BusDelay(1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_GE(clock.busySpent(), 60us);
    EXPECT_LE(clock.busySpent(), 62us);
    // No iterations at all, from a unit of 0 or a count that wraps to 0 in
    // 32 bits: still 10 us a unit, never a wait that ends at once.
    bus.setDelayUnit(0);
    bus.BusDelay(40);
    EXPECT_GE(clock.busySpent(), 460us);
    EXPECT_LE(clock.busySpent(), 463us);
    bus.setDelayUnit(0x80000000u);
    bus.BusDelay(2);
    EXPECT_GE(clock.busySpent(), 480us);
    EXPECT_LE(clock.busySpent(), 484us);
    EXPECT_EQ(clock.busyAsked(), 480us);
    const auto before = clock.now();
    bus.Sleep(3);
    EXPECT_GE(clock.now() - before, 3ms);
    EXPECT_EQ(clock.sleepAsked(), 3ms);
    EXPECT_LE(clock.busySpent(), 484us);  // a sleep is no busy wait
}

TEST(VirtualClock, AdvancesTenMicrosecondsPerUnitAndMillisecondsPerSleep) {
    RegisterPort registers;
    VirtualClock clock;
    Bus bus(registers, clock, 0x80000000u);  // the virtual time ignores the iteration count
    bus.BusDelay(4);
    EXPECT_EQ(clock.now(), 40us);
    bus.Sleep(3);
    EXPECT_EQ(clock.now(), 3040us);
    bus.setDelayUnit(0);
    bus.BusDelay();
    EXPECT_EQ(clock.now(), 3050us);
    EXPECT_DOUBLE_EQ(MeasureDelayUnitNs(bus, 100), 10000.0);
}

// Hands out counter readings and notes every call in order.
class ScriptedHost final : public CalibrationHost {
  public:
    explicit ScriptedHost(std::vector<std::uint64_t> tsc) : tsc_(std::move(tsc)) {}
    std::uint64_t readTsc() override {
        calls.push_back("tsc");
        return tsc_.at(next_++);
    }
    void sleepMs(unsigned ms) override { calls.push_back("sleep " + std::to_string(ms)); }
    void raisePriority() override { calls.push_back("raise"); }
    void restorePriority() override { calls.push_back("restore"); }
    std::vector<std::string> calls;

  private:
    std::vector<std::uint64_t> tsc_;
    std::size_t next_ = 0;
};

TEST(MeasureCpuMHz, ReadsTheCounterAroundHalfASecondAtRaisedPriority) {
    ScriptedHost host({1000, 1000 + 1496850000ull});
    const double mhz = MeasureCpuMHz(host);
    EXPECT_DOUBLE_EQ(mhz, 2993.7);
    EXPECT_EQ(DelayUnitFromMHz(mhz), 29930u);
    const std::vector<std::string> expected{"raise",     "sleep 10", "tsc",
                                            "sleep 500", "tsc",      "restore"};
    EXPECT_EQ(host.calls, expected);
}

TEST(MeasureCpuMHz, UsesTheTickDifferenceModulo2To32) {
    // 5,000,000,000 ticks (10 GHz) wrap to 705,032,704: 1410.065408 MHz.
    ScriptedHost fast({0xFFFFFFFF00000000ull, 0xFFFFFFFF00000000ull + 5000000000ull});
    EXPECT_DOUBLE_EQ(MeasureCpuMHz(fast), 705032704 / 500000.0);
    // The 64-bit counter itself wrapping between the reads is still a small difference.
    ScriptedHost wrapped({0xFFFFFFFFFFFFFF00ull, 0x100ull + 1000000000ull - 0x200});
    EXPECT_DOUBLE_EQ(MeasureCpuMHz(wrapped), 2000.0);
}

TEST(DelayUnitFromMHz, TruncatesThenTimesTen) {
    EXPECT_EQ(DelayUnitFromMHz(1.0), 10u);
    EXPECT_EQ(DelayUnitFromMHz(1.999), 10u);
    EXPECT_EQ(DelayUnitFromMHz(8589.93), 85890u);
    EXPECT_EQ(DelayUnitFromMHz(0.999), 0u);  // below 1 MHz: no usable unit
    EXPECT_EQ(DelayUnitFromMHz(0.0), 0u);
    EXPECT_EQ(DelayUnitFromMHz(-5.0), 0u);
    EXPECT_EQ(DelayUnitFromMHz(1e12),
              static_cast<std::uint32_t>(10ull * (1000000000000ull % 4294967296ull)));
}

TEST(SystemCalibrationHost, RestoresWhateverPriorityItFound) {
    // Raising may be refused (no privilege); either way restore leaves the
    // thread as it was and a second restore is harmless.
    int policyBefore = 0;
    sched_param before{};
    ASSERT_EQ(pthread_getschedparam(pthread_self(), &policyBefore, &before), 0);
    SystemCalibrationHost host;
    host.raisePriority();
    host.restorePriority();
    host.restorePriority();
    int policyAfter = 0;
    sched_param after{};
    ASSERT_EQ(pthread_getschedparam(pthread_self(), &policyAfter, &after), 0);
    EXPECT_EQ(policyAfter, policyBefore);
    EXPECT_EQ(after.sched_priority, before.sched_priority);
    const std::uint64_t first = host.readTsc();
    EXPECT_LT(first, host.readTsc());
}

// Kilobytes of locked memory, from /proc/self/status.
long LockedKiB() {
    std::ifstream status("/proc/self/status");
    std::string word;
    while (status >> word) {
        if (word == "VmLck:") {
            long kib = -1;
            status >> kib;
            return kib;
        }
    }
    return -1;
}

TEST(RealTimeSection, UndoesWhateverItWasGranted) {
    int policyBefore = 0;
    sched_param before{};
    ASSERT_EQ(pthread_getschedparam(pthread_self(), &policyBefore, &before), 0);
    ASSERT_NE(policyBefore, SCHED_FIFO);
    const long lockedBefore = LockedKiB();
    {
        // Granted to root here; refused elsewhere, and then it must say why.
        const RealClock clock;
        const RealTimeSection section(clock);
        EXPECT_EQ(section.scheduled(), section.scheduleError() == 0);
        EXPECT_EQ(section.locked(), section.lockError() == 0);
        int policy = 0;
        sched_param now{};
        ASSERT_EQ(pthread_getschedparam(pthread_self(), &policy, &now), 0);
        EXPECT_EQ(policy == SCHED_FIFO, section.scheduled());
        // An inner section leaves everything to the outer one.
        const RealTimeSection inner(clock);
        if (section.scheduled()) {
            EXPECT_FALSE(inner.scheduled() || inner.locked());
            EXPECT_EQ(inner.scheduleError(), 0);
        }
    }
    int policyAfter = 0;
    sched_param after{};
    ASSERT_EQ(pthread_getschedparam(pthread_self(), &policyAfter, &after), 0);
    EXPECT_EQ(policyAfter, policyBefore);
    EXPECT_EQ(after.sched_priority, before.sched_priority);
    EXPECT_EQ(LockedKiB(), lockedBefore);

    // Virtual time needs nothing.
    const VirtualClock virtualClock;
    const RealTimeSection none(virtualClock);
    EXPECT_FALSE(none.scheduled() || none.locked() || none.scheduleError() || none.lockError());
}

// A steady clock the test moves by hand.
std::chrono::steady_clock::time_point handNow{};
std::chrono::steady_clock::time_point HandMoved() {
    return handNow;
}

// The thread's scheduling as a section would see it, granted or refused as
// the test says, every change noted: no privileges needed.
class NotedScheduler final : public Scheduler {
  public:
    int get(int& p, sched_param& param) override {
        p = policy;
        param.sched_priority = priority;
        return 0;
    }
    int set(int p, const sched_param& param) override {
        if (p == SCHED_FIFO && refuseFifo != 0) return refuseFifo;
        policy = p;
        priority = param.sched_priority;
        changes.push_back(p == SCHED_FIFO ? "fifo" : "other");
        return 0;
    }
    bool timeLimited() override { return limited; }
    int lockMemory() override {
        if (refuseLock == 0) locked = true;
        return refuseLock;
    }
    void unlockMemory() override { locked = false; }

    int policy = SCHED_OTHER;
    int priority = 0;
    int refuseFifo = 0;
    int refuseLock = 0;
    bool limited = false;
    bool locked = false;
    std::vector<std::string> changes;
};

TEST(RealTimeSection, LeavesFifoForAShareOfEveryPeriodSoTheKernelNeverStopsIt) {
    // The kernel's default: 950 ms in every second. The section keeps 100 ms
    // to spare, then lets the rest of the second go by at normal priority.
    // A budget of less than a fifth of the period keeps half of it instead.
    struct Case {
        RealTimeBudget budget;
        std::chrono::milliseconds fifo;
    };
    for (const Case& c : {Case{{950ms, 1s}, 850ms}, Case{{300ms, 1s}, 200ms},
                          Case{{100ms, 1s}, 50ms}, Case{{40ms, 50ms}, 35ms}}) {
        SCOPED_TRACE(c.fifo.count());
        handNow = {};
        const RealClock clock(&HandMoved);
        NotedScheduler scheduler;
        scheduler.priority = 5;
        const auto period = std::chrono::duration_cast<std::chrono::milliseconds>(c.budget.period);
        const auto at = [&scheduler](std::chrono::milliseconds t) {
            handNow = std::chrono::steady_clock::time_point{} + t;
            RealTimeSection::BetweenSteps();
            return scheduler.policy;
        };
        {
            const RealTimeSection section(clock, c.budget, scheduler);
            ASSERT_TRUE(section.scheduled() && section.locked());
            EXPECT_TRUE(scheduler.locked);
            EXPECT_EQ(
                scheduler.priority,
                (sched_get_priority_min(SCHED_FIFO) + sched_get_priority_max(SCHED_FIFO)) / 2);
            EXPECT_EQ(at(c.fifo - 1ms), SCHED_FIFO);
            EXPECT_EQ(at(c.fifo), SCHED_OTHER);
            EXPECT_EQ(scheduler.priority, 5);
            EXPECT_EQ(at(period - 1ms), SCHED_OTHER);
            EXPECT_EQ(at(period), SCHED_FIFO);
            EXPECT_EQ(at(period + c.fifo - 1ms), SCHED_FIFO);
            // Looked at late: the next share is counted from then.
            EXPECT_EQ(at(period + c.fifo + 1ms), SCHED_OTHER);
            EXPECT_EQ(at(2 * period), SCHED_OTHER);
            EXPECT_EQ(at(2 * period + 1ms), SCHED_FIFO);
            // An inner section, even while the outer one is out of FIFO, is
            // not the one that decides.
            EXPECT_EQ(at(2 * period + c.fifo + 1ms), SCHED_OTHER);
            const RealTimeSection inner(clock, c.budget, scheduler);
            EXPECT_FALSE(inner.scheduled());
            EXPECT_EQ(scheduler.policy, SCHED_OTHER);
        }
        EXPECT_EQ(scheduler.policy, SCHED_OTHER);
        EXPECT_EQ(scheduler.priority, 5);
        EXPECT_FALSE(scheduler.locked);
        const std::vector<std::string> changes{"fifo", "other", "fifo", "other",
                                               "fifo", "other", "other"};
        EXPECT_EQ(scheduler.changes, changes);
        RealTimeSection::BetweenSteps();  // no section: nothing to change
        EXPECT_EQ(scheduler.changes, changes);
    }

    // Without a budget it stays at SCHED_FIFO however long it runs.
    handNow = {};
    const RealClock clock(&HandMoved);
    NotedScheduler scheduler;
    {
        const RealTimeSection section(clock, std::nullopt, scheduler);
        handNow += std::chrono::hours(1);
        RealTimeSection::BetweenSteps();
        EXPECT_EQ(scheduler.policy, SCHED_FIFO);
    }
    EXPECT_EQ(scheduler.changes, (std::vector<std::string>{"fifo", "other"}));
}

TEST(RealTimeSection, WhatIsRefusedIsNeitherUndoneNorShared) {
    handNow = {};
    const RealClock clock(&HandMoved);
    NotedScheduler refused;
    refused.refuseFifo = EPERM;
    refused.refuseLock = ENOMEM;
    {
        const RealTimeSection section(clock, RealTimeBudget{950ms, 1s}, refused);
        EXPECT_FALSE(section.scheduled() || section.locked());
        EXPECT_EQ(section.scheduleError(), EPERM);
        EXPECT_EQ(section.lockError(), ENOMEM);
        handNow += 2s;
        RealTimeSection::BetweenSteps();
    }
    EXPECT_TRUE(refused.changes.empty());
    // A limit on real-time CPU time: not even tried, and said why.
    NotedScheduler limited;
    limited.limited = true;
    {
        const RealTimeSection section(clock, RealTimeBudget{950ms, 1s}, limited);
        EXPECT_EQ(section.scheduleError(), RealTimeSection::kTimeLimited);
        EXPECT_TRUE(section.locked());
    }
    EXPECT_TRUE(limited.changes.empty());
    EXPECT_FALSE(limited.locked);
    // A thread already at SCHED_FIFO belongs to someone else's section.
    NotedScheduler fifo;
    fifo.policy = SCHED_FIFO;
    {
        const RealTimeSection section(clock, RealTimeBudget{950ms, 1s}, fifo);
        EXPECT_FALSE(section.scheduled() || section.locked());
    }
    EXPECT_TRUE(fifo.changes.empty());
}

}  // namespace
}  // namespace lpt51
