// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPlainTextEdit>
#include <QWidget>
#include <functional>
#include <optional>

#include "app/OperationProgress.h"
#include "session/Operations.h"

namespace lpt51::app {

// What a step's progress dialog is called: "Write Chip", or within a
// sequence "step 2 of 3: Write Chip".
QString StepTitle(session::Step step, int index, int count);

// A running operation in the window: each step that walks bytes under a
// progress dialog named after it, with the window's own work around it
// (captions, enabled states, the view) done by `aroundStep`, called with
// true as the step starts and false once it has ended.
class WindowView final : public session::OperationView {
  public:
    using AroundStep = std::function<void(session::Step step, bool starting, bool finished)>;

    WindowView(QWidget* window, QPlainTextEdit& view, const Clock& clock,
               std::function<int()> signalled, AroundStep aroundStep);

    void stepStarted(session::Step step, int index, int count) override;
    void stepEnded(session::Step step, bool finished) override;
    void recordFinished(std::size_t lineIndex) override;
    void bytesDone(std::size_t done, std::size_t total) override;
    void lineAppended(const std::string& line) override;
    bool stopRequested() override;

    // A step is walking its bytes: a signal stops it at the next one.
    bool walking() const { return progress_.has_value(); }

  private:
    QWidget* window_;
    QPlainTextEdit& view_;
    const Clock& clock_;
    std::function<int()> signalled_;
    AroundStep aroundStep_;
    std::optional<OperationProgress> progress_;
};

}  // namespace lpt51::app
