// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/Interrupt.h"

namespace lpt51::cli {

namespace {

volatile std::sig_atomic_t gSignal = 0;
struct sigaction gOldInt {};
struct sigaction gOldTerm {};
struct sigaction gOldHup {};

void OnSignal(int sig) {
    gSignal = sig;
}

}  // namespace

InterruptGuard::InterruptGuard() {
    gSignal = 0;
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, &gOldInt);
    sigaction(SIGTERM, &sa, &gOldTerm);
    // A closed terminal ends the run as Ctrl-C does: the port must still be
    // put at rest and what was programmed saved.
    sigaction(SIGHUP, &sa, &gOldHup);
}

InterruptGuard::~InterruptGuard() {
    sigaction(SIGINT, &gOldInt, nullptr);
    sigaction(SIGTERM, &gOldTerm, nullptr);
    sigaction(SIGHUP, &gOldHup, nullptr);
}

int PendingSignal() {
    return gSignal;
}

void ClearInterruptFlag() {
    gSignal = 0;
}

}  // namespace lpt51::cli
