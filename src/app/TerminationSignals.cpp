// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/TerminationSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <csignal>

namespace lpt51::app {
namespace {

constexpr std::array<int, 3> kSignals{SIGTERM, SIGINT, SIGHUP};

// The handler's whole world: async-signal-safe writes to a pipe.
int gPipe[2] = {-1, -1};
std::array<struct sigaction, 3> gPrevious{};

void OnSignal(int sig) {
    const unsigned char byte = static_cast<unsigned char>(sig);
    [[maybe_unused]] const ssize_t n = ::write(gPipe[1], &byte, 1);
}

}  // namespace

TerminationSignals::TerminationSignals(std::function<void(int)> arrived)
    : arrived_(std::move(arrived)) {
    if (::pipe2(gPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    notifier_ = std::make_unique<QSocketNotifier>(gPipe[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
        unsigned char byte = 0;
        while (::read(gPipe[0], &byte, 1) == 1) {
            if (arrived_) arrived_(byte);
        }
    });
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &sa, &gPrevious[i]);
}

TerminationSignals::~TerminationSignals() {
    if (!notifier_) return;
    for (std::size_t i = 0; i < kSignals.size(); ++i)
        sigaction(kSignals[i], &gPrevious[i], nullptr);
    notifier_.reset();
    ::close(gPipe[0]);
    ::close(gPipe[1]);
    gPipe[0] = gPipe[1] = -1;
}

}  // namespace lpt51::app
