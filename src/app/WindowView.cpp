#include "app/WindowView.h"

namespace lpt51::app {

namespace {

bool WalksBytes(session::Step step) {
    return step == session::Step::Write || step == session::Step::ReadBack ||
           step == session::Step::Verify || step == session::Step::ReadOut;
}

}  // namespace

WindowView::WindowView(QWidget* window, QPlainTextEdit& view, const Clock& clock,
                       std::function<int()> signalled, AroundStep aroundStep)
    : window_(window),
      view_(view),
      clock_(clock),
      signalled_(std::move(signalled)),
      aroundStep_(std::move(aroundStep)) {}

void WindowView::stepStarted(session::Step step, int, int) {
    if (aroundStep_) aroundStep_(step, true, true);
    if (WalksBytes(step)) {
        progress_.emplace(window_, view_, clock_, QString::fromLatin1(session::StepName(step)),
                          signalled_);
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
