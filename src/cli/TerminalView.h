// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <vector>

#include "cli/CliPrompts.h"
#include "cli/ProgressBar.h"
#include "session/Operations.h"

namespace lpt51::cli {

// A running operation on the terminal: a progress bar for each step that
// walks bytes, the verify's differences kept for the listing after it, and
// Ctrl-C, SIGTERM or SIGHUP as a request to stop between two bytes.
class TerminalView final : public session::OperationView {
  public:
    TerminalView(std::ostream& err, ProgressStyle style, const Clock& clock, CliPrompts& prompts)
        : err_(err), style_(style), clock_(clock), prompts_(prompts) {}

    void stepStarted(session::Step step, int index, int count) override;
    void stepEnded(session::Step step, bool finished) override;
    void bytesDone(std::size_t done, std::size_t total) override;
    void mismatch(std::uint16_t address, std::uint8_t onChip, std::uint8_t inFile) override;
    bool stopRequested() override;

    const std::vector<chip::ByteDifference>& differences() const { return differences_; }

  private:
    std::ostream& err_;
    ProgressStyle style_;
    const Clock& clock_;
    CliPrompts& prompts_;
    std::optional<ProgressBar> bar_;
    std::vector<chip::ByteDifference> differences_;
};

}  // namespace lpt51::cli
