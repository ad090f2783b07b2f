// SPDX-License-Identifier: GPL-3.0-or-later
#include "port/RealTime.h"

#include <pthread.h>
#include <sys/mman.h>
#include <sys/resource.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

namespace lpt51 {

namespace {

// The section whose thread this is, while one is scheduled.
thread_local RealTimeSection* current = nullptr;

long ReadNumber(const char* path) {
    std::ifstream in(path);
    long value = 0;
    return in >> value ? value : 0;
}

class SystemCalls final : public Scheduler {
  public:
    int get(int& policy, sched_param& param) override {
        return pthread_getschedparam(pthread_self(), &policy, &param);
    }
    int set(int policy, const sched_param& param) override {
        return pthread_setschedparam(pthread_self(), policy, &param);
    }
    bool timeLimited() override {
        rlimit cpu{};
        return getrlimit(RLIMIT_RTTIME, &cpu) == 0 && cpu.rlim_cur != RLIM_INFINITY;
    }
    // Pages are locked as they are touched, not all at once: mapped but
    // untouched space (a sanitizer's shadow, thread stacks) stays untouched.
    int lockMemory() override {
        return mlockall(MCL_CURRENT | MCL_FUTURE | MCL_ONFAULT) == 0 ? 0 : errno;
    }
    void unlockMemory() override { munlockall(); }
};

}  // namespace

Scheduler& SystemScheduler() {
    static SystemCalls calls;
    return calls;
}

std::optional<RealTimeBudget> KernelRealTimeBudget() {
    const long runtime = ReadNumber("/proc/sys/kernel/sched_rt_runtime_us");
    const long period = ReadNumber("/proc/sys/kernel/sched_rt_period_us");
    if (runtime < 0 || period <= 0 || runtime >= period) return std::nullopt;
    return RealTimeBudget{std::chrono::microseconds(runtime), std::chrono::microseconds(period)};
}

RealTimeSection::RealTimeSection(const Clock& clock, std::optional<RealTimeBudget> budget,
                                 Scheduler& scheduler)
    : clock_(clock), scheduler_(scheduler) {
    if (!clock.realTime()) return;
    if (current != nullptr) return;
    if (scheduler_.get(savedPolicy_, savedParam_) != 0) return;
    if (savedPolicy_ == SCHED_FIFO) return;
    // A limit on real-time CPU time (as rtkit sets) would kill the program
    // in the middle of a read-out, which busy-waits for seconds on end.
    if (scheduler_.timeLimited()) {
        scheduleError_ = kTimeLimited;
    } else {
        // Halfway up: level with the kernel's threaded interrupt handlers,
        // below its watchdog and migration threads.
        raised_.sched_priority =
            (sched_get_priority_min(SCHED_FIFO) + sched_get_priority_max(SCHED_FIFO)) / 2;
        scheduleError_ = scheduler_.set(SCHED_FIFO, raised_);
        scheduled_ = scheduleError_ == 0;
    }
    if (scheduled_) {
        fifo_ = true;
        since_ = clock_.now();
        if (budget) {
            // A tenth of the period to spare (half the budget, if that is
            // less), for the steps between two looks at the clock. Each
            // period then holds no more than the span at SCHED_FIFO,
            // wherever the kernel's periods begin.
            fifoSpan_ = std::max(budget->runtime - budget->period / 10, budget->runtime / 2);
            restSpan_ = budget->period - *fifoSpan_;
        }
        current = this;
    }
    lockError_ = scheduler_.lockMemory();
    locked_ = lockError_ == 0;
}

RealTimeSection::~RealTimeSection() {
    // The program locks no memory of its own otherwise, so all of it goes.
    if (locked_) scheduler_.unlockMemory();
    if (scheduled_) {
        scheduler_.set(savedPolicy_, savedParam_);
        current = nullptr;
    }
}

void RealTimeSection::BetweenSteps() {
    if (current != nullptr) current->share();
}

void RealTimeSection::share() {
    if (!fifoSpan_) return;
    const Clock::Duration now = clock_.now();
    if (now - since_ < (fifo_ ? *fifoSpan_ : restSpan_)) return;
    // Refused only if the limits changed since: then stay as it is.
    if (setFifo(!fifo_)) fifo_ = !fifo_;
    since_ = now;
}

bool RealTimeSection::setFifo(bool on) {
    return (on ? scheduler_.set(SCHED_FIFO, raised_) : scheduler_.set(savedPolicy_, savedParam_)) ==
           0;
}

std::optional<std::string> RealTimeRefusal() {
    const RealClock clock;
    const RealTimeSection trial(clock);
    if (trial.scheduleError() == 0 && trial.lockError() == 0) return std::nullopt;
    std::string why;
    if (trial.scheduleError() == RealTimeSection::kTimeLimited)
        why +=
            "real-time scheduling (RLIMIT_RTTIME limits its CPU time, and a read-out "
            "busy-waits for seconds: start it with that limit unlimited, e.g. prlimit "
            "--rttime=unlimited)";
    else if (trial.scheduleError() != 0)
        why += std::string("real-time scheduling (SCHED_FIFO: ") +
               std::strerror(trial.scheduleError()) + ")";
    if (trial.lockError() != 0) {
        if (!why.empty()) why += " and ";
        why +=
            std::string("locking its memory (mlockall: ") + std::strerror(trial.lockError()) + ")";
    }
    return "The system refuses this program " + why +
           ", so other tasks and page faults may stretch a pulse beyond what the chip allows. "
           "To allow them, give the program the capabilities: sudo setcap "
           "cap_sys_nice,cap_ipc_lock+ep on its executable; or raise your user's limits in "
           "/etc/security/limits.conf (\"USER - rtprio 50\" and \"USER - memlock unlimited\") "
           "and log in again.";
}

}  // namespace lpt51
