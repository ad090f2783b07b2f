// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <csignal>

namespace lpt51::cli {

// SIGINT, SIGTERM and SIGHUP set a flag instead of ending the program while installed;
// the previous handlers come back on destruction.
class InterruptGuard {
  public:
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;
};

// The signal that arrived while the guard was installed, or 0.
int PendingSignal();

void ClearInterruptFlag();

// The exit status for a run the signal `sig` ended: 128 + sig, as a shell
// reports a process the signal killed.
inline int SignalExitCode(int sig) {
    return 128 + sig;
}

}  // namespace lpt51::cli
