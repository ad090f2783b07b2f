#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "chip/Progress.h"
#include "port/Clock.h"

namespace lpt51::cli {

struct Difference {
    std::uint16_t address = 0;
    std::uint8_t onChip = 0;
    std::uint8_t inFile = 0;
};

enum class ProgressStyle { Bar, Line, Quiet };

// Shows a write, verify or read-out on stderr: a redrawn bar on a terminal,
// one line when it ends otherwise, nothing when quiet. Between bytes it also
// checks for Ctrl-C / SIGTERM (see Interrupt.h), and it keeps the verify's
// differences.
class ProgressBar final : public chip::ProgressObserver {
  public:
    ProgressBar(std::ostream& err, ProgressStyle style, const Clock& clock, std::string verb);

    void recordFinished(std::size_t lineIndex) override;
    void bytesDone(std::size_t done, std::size_t total) override;
    void mismatch(std::uint16_t address, std::uint8_t onChip, std::uint8_t inFile) override;
    void lineAppended(const std::string& line) override;

    // Ends the bar (or prints the line) with the time taken.
    void finish();
    // Ends a drawn bar with a line break without a verdict (interrupted, failed).
    void abandon();

    const std::vector<Difference>& differences() const { return differences_; }
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
    std::vector<Difference> differences_;
};

// "Writing | #########                      |  30% 1.2 s"
// "... 1.2 s of virtual time" when the clock is virtual.
std::string BarText(const std::string& verb, std::size_t done, std::size_t total, double seconds,
                    bool virtualTime = false);

}  // namespace lpt51::cli
