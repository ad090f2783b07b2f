// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QString>
#include <cstddef>
#include <functional>

#include "chip/Progress.h"
#include "port/Clock.h"

namespace lpt51::app {

// "Write Chip\n1024 of 4096 bytes (25 %)\nElapsed 0:05, about 0:15 left";
// "Write Chip\nStarting ..." before the total is known.
QString ProgressLabel(const QString& operation, std::size_t done, std::size_t total,
                      Clock::Duration elapsed);

// A write, verify or read-out as the user sees it: a modal progress dialog
// over the window with the operation's name, the bytes done, the time spent
// and left, and Cancel; the view shrinks by a line per record done and grows
// by a line per record read. Between bytes it lets the event loop run (the
// dialog keeps input away from the window); the operation asks stopRequested()
// before the next byte.
class OperationProgress final : public chip::ProgressObserver {
  public:
    OperationProgress(QWidget* window, QPlainTextEdit& view, const Clock& clock,
                      const QString& operation, std::function<int()> signalled);

    void recordFinished(std::size_t lineIndex) override;
    void bytesDone(std::size_t done, std::size_t total) override;
    void lineAppended(const std::string& line) override;
    // Cancel was pressed, or `signalled` says a termination signal arrived.
    bool stopRequested() const;

    const QString& operation() const { return operation_; }
    std::size_t done() const { return done_; }
    std::size_t total() const { return total_; }
    // Takes the dialog down; the window's own boxes follow it.
    void close();

  private:
    QPlainTextEdit& view_;
    const Clock& clock_;
    QString operation_;
    std::function<int()> signalled_;
    Clock::Duration start_;
    Clock::Duration shown_;  // when the dialog was last redrawn
    QProgressDialog dialog_;
    std::size_t done_ = 0;
    std::size_t total_ = 0;
};

}  // namespace lpt51::app
