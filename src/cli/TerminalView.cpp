// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/TerminalView.h"

#include "cli/Interrupt.h"

namespace lpt51::cli {

namespace {

// The bar's verb for a step that walks bytes; none for the others.
const char* Verb(session::Step step) {
    switch (step) {
        case session::Step::Write:
            return "Writing";
        case session::Step::ReadBack:
        case session::Step::Verify:
            return "Verifying";
        case session::Step::ReadOut:
            return "Reading";
        default:
            return nullptr;
    }
}

}  // namespace

void TerminalView::stepStarted(session::Step step, int, int) {
    // The verify's questions are answered Yes unseen: the differences are
    // listed after it.
    prompts_.setVerifying(step == session::Step::Verify);
    if (const char* verb = Verb(step)) bar_.emplace(err_, style_, clock_, verb);
}

void TerminalView::stepEnded(session::Step, bool finished) {
    prompts_.setVerifying(false);
    if (!bar_) return;
    if (finished)
        bar_->finish();
    else
        bar_->abandon();
    bar_.reset();
}

void TerminalView::bytesDone(std::size_t done, std::size_t total) {
    if (bar_) bar_->bytesDone(done, total);
}

void TerminalView::mismatch(std::uint16_t address, std::uint8_t onChip, std::uint8_t inFile) {
    differences_.push_back({address, onChip, inFile, differences_.size()});
}

bool TerminalView::stopRequested() {
    return PendingSignal() != 0;
}

}  // namespace lpt51::cli
