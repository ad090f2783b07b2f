#include "port/RealTime.h"

#include <pthread.h>
#include <sys/mman.h>
#include <sys/resource.h>

#include <cerrno>
#include <cstring>

namespace lpt51 {

RealTimeSection::RealTimeSection(const Clock& clock) {
    if (!clock.realTime()) return;
    if (pthread_getschedparam(pthread_self(), &savedPolicy_, &savedParam_) != 0) return;
    if (savedPolicy_ == SCHED_FIFO) return;
    // A limit on real-time CPU time (as rtkit sets) would kill the program
    // in the middle of a read-out, which busy-waits for seconds on end.
    rlimit cpu{};
    if (getrlimit(RLIMIT_RTTIME, &cpu) == 0 && cpu.rlim_cur != RLIM_INFINITY) {
        scheduleError_ = kTimeLimited;
    } else {
        // Halfway up: level with the kernel's threaded interrupt handlers,
        // below its watchdog and migration threads.
        sched_param raised{};
        raised.sched_priority =
            (sched_get_priority_min(SCHED_FIFO) + sched_get_priority_max(SCHED_FIFO)) / 2;
        scheduleError_ = pthread_setschedparam(pthread_self(), SCHED_FIFO, &raised);
        scheduled_ = scheduleError_ == 0;
    }
    // Pages are locked as they are touched, not all at once: mapped but
    // untouched space (a sanitizer's shadow, thread stacks) stays untouched.
    if (mlockall(MCL_CURRENT | MCL_FUTURE | MCL_ONFAULT) == 0) {
        locked_ = true;
    } else {
        lockError_ = errno;
    }
}

RealTimeSection::~RealTimeSection() {
    // The program locks no memory of its own otherwise, so all of it goes.
    if (locked_) munlockall();
    if (scheduled_) pthread_setschedparam(pthread_self(), savedPolicy_, &savedParam_);
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
