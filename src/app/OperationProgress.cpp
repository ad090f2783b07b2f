// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/OperationProgress.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <algorithm>
#include <chrono>

#include "app/ViewText.h"

namespace lpt51::app {
namespace {

constexpr Clock::Duration kRedrawEvery = std::chrono::milliseconds(100);

QString MinutesSeconds(std::chrono::seconds s) {
    const long long total = s.count();
    return QStringLiteral("%1:%2").arg(total / 60).arg(total % 60, 2, 10, QLatin1Char('0'));
}

}  // namespace

QString ProgressLabel(const QString& operation, std::size_t done, std::size_t total,
                      Clock::Duration elapsed) {
    if (total == 0) return operation + QStringLiteral("\nStarting ...");
    const std::size_t percent = done >= total ? 100 : done * 100 / total;
    QString text =
        QStringLiteral("%1\n%2 of %3 bytes (%4 %)\nElapsed %5")
            .arg(operation)
            .arg(done)
            .arg(total)
            .arg(percent)
            .arg(MinutesSeconds(std::chrono::duration_cast<std::chrono::seconds>(elapsed)));
    if (done > 0 && done < total) {
        // The bytes take equal time (the same pulses and sleeps for each),
        // so the rate so far is a fair guess at the rest.
        const auto left =
            elapsed * static_cast<long long>(total - done) / static_cast<long long>(done);
        text += QStringLiteral(", about %1 left")
                    .arg(MinutesSeconds(std::chrono::ceil<std::chrono::seconds>(left)));
    }
    return text;
}

OperationProgress::OperationProgress(QWidget* window, QPlainTextEdit& view, const Clock& clock,
                                     const QString& operation, std::function<int()> signalled)
    : view_(view),
      clock_(clock),
      operation_(operation),
      signalled_(std::move(signalled)),
      start_(clock.now()),
      shown_(start_),
      dialog_(window) {
    dialog_.setObjectName(QStringLiteral("progress"));
    dialog_.setWindowTitle(operation);
    // As narrow as its label, the dialog would have its title cut short by
    // the window manager ("step 3...y Chip").
    constexpr int kTitleBarButtons = 160;
    dialog_.setMinimumWidth(std::max(
        300, QFontMetrics(dialog_.font()).horizontalAdvance(operation) + kTitleBarButtons));
    dialog_.setCancelButtonText(QStringLiteral("&Cancel"));
    dialog_.setWindowModality(Qt::WindowModal);
    dialog_.setAutoClose(false);
    dialog_.setAutoReset(false);
    dialog_.setMinimumDuration(0);
    dialog_.setRange(0, 100);
    dialog_.setValue(0);
    dialog_.setLabelText(ProgressLabel(operation_, 0, 0, Clock::Duration{0}));
    dialog_.show();
    QCoreApplication::processEvents();
}

void OperationProgress::recordFinished(std::size_t) {
    DeleteFirstViewLine(view_);
}

void OperationProgress::lineAppended(const std::string& line) {
    AppendViewLine(view_, line);
}

void OperationProgress::bytesDone(std::size_t done, std::size_t total) {
    done_ = done;
    total_ = total;
    // Redrawn a few times a second: a redraw per byte would cost the write
    // a tenth of its time.
    const Clock::Duration now = clock_.now();
    if (now - shown_ >= kRedrawEvery || done == total) {
        shown_ = now;
        dialog_.setValue(total == 0 ? 100 : static_cast<int>(done * 100 / total));
        dialog_.setLabelText(ProgressLabel(operation_, done, total, now - start_));
    }
    // Cancel is looked for after every byte, whether or not anything was redrawn.
    QCoreApplication::processEvents();
}

bool OperationProgress::stopRequested() const {
    return dialog_.wasCanceled() || (signalled_ && signalled_() != 0);
}

void OperationProgress::close() {
    dialog_.reset();
    dialog_.hide();
}

}  // namespace lpt51::app
