// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSocketNotifier>
#include <functional>
#include <memory>

namespace lpt51::app {

// SIGTERM, SIGINT and SIGHUP (logout, shutdown, Ctrl-C in the terminal)
// reach the window as calls of `arrived` from its event loop instead of
// ending the process where it stands: a chip operation must first finish its
// byte and put the port at rest. The handler only writes to a pipe; the
// previous handlers come back on destruction. One instance at a time.
class TerminationSignals {
  public:
    explicit TerminationSignals(std::function<void(int)> arrived);
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // False when the pipe could not be made; the default handlers then stay.
    bool installed() const { return notifier_ != nullptr; }

  private:
    std::function<void(int)> arrived_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace lpt51::app
