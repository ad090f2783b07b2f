// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/WindowView.h"

namespace lpt51::app {

namespace {

bool WalksBytes(session::Step step) {
    return step == session::Step::Write || step == session::Step::ReadBack ||
           step == session::Step::Verify || step == session::Step::ReadOut;
}

}  // namespace

QString StepTitle(session::Step step, int index, int count) {
    const QString name = QString::fromLatin1(session::StepName(step));
    // Each step's dialog starts at 0 % again: the count says how far the whole has come.
    if (count < 2) return name;
    return QStringLiteral("step %1 of %2: %3").arg(index).arg(count).arg(name);
}

WindowView::WindowView(QWidget* window, QPlainTextEdit& view, const Clock& clock,
                       std::function<int()> signalled, AroundStep aroundStep)
    : window_(window),
      view_(view),
      clock_(clock),
      signalled_(std::move(signalled)),
      aroundStep_(std::move(aroundStep)) {}

void WindowView::stepStarted(session::Step step, int index, int count) {
    if (aroundStep_) aroundStep_(step, true, true);
    if (WalksBytes(step)) {
        progress_.emplace(window_, view_, clock_, StepTitle(step, index, count), signalled_);
    }
}

void WindowView::stepEnded(session::Step step, bool finished) {
    if (progress_) {
        progress_->close();
        progress_.reset();
    }
    if (aroundStep_) aroundStep_(step, false, finished);
}

void WindowView::recordFinished(std::size_t lineIndex) {
    if (progress_) progress_->recordFinished(lineIndex);
}

void WindowView::bytesDone(std::size_t done, std::size_t total) {
    if (progress_) progress_->bytesDone(done, total);
}

void WindowView::lineAppended(const std::string& line) {
    if (progress_) progress_->lineAppended(line);
}

bool WindowView::stopRequested() {
    return progress_ ? progress_->stopRequested() : signalled_ && signalled_() != 0;
}

}  // namespace lpt51::app
