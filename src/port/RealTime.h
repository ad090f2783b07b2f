#pragma once

#include <sched.h>

#include <optional>
#include <string>

#include "port/Clock.h"

namespace lpt51 {

// While it lives, the calling thread runs at real-time priority (SCHED_FIFO)
// and the process's memory is locked, where the system permits: no other
// task pre-empts a pulse and no page fault stretches one. Both are undone
// when it ends. On a clock that does not run in real time it does nothing,
// and inside a thread that already runs at SCHED_FIFO (an outer section)
// it leaves everything to that one.
class RealTimeSection {
  public:
    explicit RealTimeSection(const Clock& clock);
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

  private:
    bool scheduled_ = false;
    bool locked_ = false;
    int scheduleError_ = 0;
    int lockError_ = 0;
    int savedPolicy_ = SCHED_OTHER;
    sched_param savedParam_{};
};

// Why operations cannot run unpre-empted on this system, and the remedy;
// nothing when they can. Tries both for a moment and undoes them.
std::optional<std::string> RealTimeRefusal();

}  // namespace lpt51
