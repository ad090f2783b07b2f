// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sched.h>

#include <optional>
#include <string>

#include "port/Clock.h"

namespace lpt51 {

// The kernel lets real-time tasks run for `runtime` of every `period`
// (sched_rt_runtime_us of sched_rt_period_us: 950 ms of 1 s by default), and
// stops one that spins past it until the period ends: tens of milliseconds,
// wherever the task is, in the middle of a pulse as readily as not.
struct RealTimeBudget {
    Clock::Duration runtime;
    Clock::Duration period;
};

// The kernel's budget, or nothing when it sets none (-1) or cannot be read.
std::optional<RealTimeBudget> KernelRealTimeBudget();

// The calls a section makes on the calling thread's scheduling and on the
// process's memory; tests give their own, which need no privileges.
class Scheduler {
  public:
    virtual ~Scheduler() = default;
    // pthread_getschedparam and pthread_setschedparam: 0 or an errno.
    virtual int get(int& policy, sched_param& param) = 0;
    virtual int set(int policy, const sched_param& param) = 0;
    // Whether RLIMIT_RTTIME limits the CPU time a real-time thread may take.
    virtual bool timeLimited() = 0;
    // mlockall (0 or an errno) and munlockall.
    virtual int lockMemory() = 0;
    virtual void unlockMemory() = 0;
};

// The system's own calls.
Scheduler& SystemScheduler();

// While it lives, the calling thread runs at real-time priority (SCHED_FIFO)
// and the process's memory is locked, where the system permits: no other
// task pre-empts a pulse and no page fault stretches one. Both are undone
// when it ends. On a clock that does not run in real time it does nothing,
// and inside a thread that already runs at SCHED_FIFO (an outer section)
// it leaves everything to that one.
//
// Under a budget the thread leaves SCHED_FIFO for a share of every period at
// a point the bus chooses, between two steps (Clock::betweenSteps), and takes
// it again once that share is over, so that the kernel never has to stop it.
// On an idle processor it runs on unhindered all the while.
class RealTimeSection {
  public:
    explicit RealTimeSection(const Clock& clock,
                             std::optional<RealTimeBudget> budget = KernelRealTimeBudget(),
                             Scheduler& scheduler = SystemScheduler());
    ~RealTimeSection();
    RealTimeSection(const RealTimeSection&) = delete;
    RealTimeSection& operator=(const RealTimeSection&) = delete;

    bool scheduled() const { return scheduled_; }
    bool locked() const { return locked_; }
    // scheduleError() when a limit on real-time CPU time forbids the raise.
    static constexpr int kTimeLimited = -1;

    // errno of the refused call, 0 when it was granted or not tried.
    int scheduleError() const { return scheduleError_; }
    int lockError() const { return lockError_; }

    // Leaves or takes SCHED_FIFO again, as the budget says, for the
    // section on the calling thread; without one it does nothing.
    static void BetweenSteps();

  private:
    void share();
    bool setFifo(bool on);

    const Clock& clock_;
    Scheduler& scheduler_;
    // At SCHED_FIFO for this long, then the rest of the period without it.
    std::optional<Clock::Duration> fifoSpan_;
    Clock::Duration restSpan_{0};
    bool fifo_ = false;
    Clock::Duration since_{0};
    bool scheduled_ = false;
    bool locked_ = false;
    int scheduleError_ = 0;
    int lockError_ = 0;
    int savedPolicy_ = SCHED_OTHER;
    sched_param savedParam_{};
    sched_param raised_{};
};

// Why operations cannot run unpre-empted on this system, and the remedy;
// nothing when they can. Tries both for a moment and undoes them.
std::optional<std::string> RealTimeRefusal();

}  // namespace lpt51
