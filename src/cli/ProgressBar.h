// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "chip/Progress.h"
#include "port/Clock.h"

namespace lpt51::cli {

enum class ProgressStyle { Bar, Line, Quiet };

// Shows a write, verify or read-out on stderr: a redrawn bar on a terminal,
// one line when it ends otherwise, nothing when quiet.
class ProgressBar final : public chip::ProgressObserver {
  public:
    ProgressBar(std::ostream& err, ProgressStyle style, const Clock& clock, std::string verb);

    void bytesDone(std::size_t done, std::size_t total) override;

    // Ends the bar (or prints the line) with the time taken.
    void finish();
    // Ends a drawn bar with a line break without a verdict (interrupted, failed).
    void abandon();

    std::size_t bytes() const { return done_; }

  private:
    double seconds() const;
    // "1.2 s", or "1.2 s of virtual time".
    std::string timeTaken() const;
    void draw();

    std::ostream& err_;
    ProgressStyle style_;
    const Clock& clock_;
    std::string verb_;
    Clock::Duration start_;
    std::size_t done_ = 0;
    std::size_t total_ = 0;
    int shownPercent_ = -1;
    bool drawn_ = false;
};

// "Writing | #########                      |  30% 1.2 s"
// "... 1.2 s of virtual time" when the clock is virtual.
std::string BarText(const std::string& verb, std::size_t done, std::size_t total, double seconds,
                    bool virtualTime = false);

}  // namespace lpt51::cli
