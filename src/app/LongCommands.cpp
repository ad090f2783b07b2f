// SPDX-License-Identifier: GPL-3.0-or-later
#include <QApplication>
#include <QPointer>
#include <QTimer>

#include "app/MainWindow.h"
#include "app/ViewText.h"
#include "app/WindowView.h"
#include "chip/At89c51.h"
#include "chip/Devices.h"
#include "chip/ImageScan.h"
#include "chip/ReadOut.h"
#include "image/AppFiles.h"
#include "image/ImageFile.h"
#include "image/TextFile.h"

namespace lpt51::app {

void Form1::reloadView(const image::Lines& before) {
    if (currentImageFile.empty()) {
        SetViewLines(*RichEdit1, before);
        return;
    }
    image::Lines lines;
    if (std::optional<std::string> error = image::LoadImageFile(currentImageFile, lines)) {
        // Keep the text the command started from rather than a half-deleted view.
        SetViewLines(*RichEdit1, before);
        prompts_.showMessage(*error);
        return;
    }
    SetViewLines(*RichEdit1, lines);
}

session::OperationResult Form1::runOperation(
    const image::Lines& lines,
    const std::function<session::OperationResult(WindowView&)>& operation) {
    WindowView view(
        this, *RichEdit1, session_.clock(), [this] { return signalled_; },
        [this, &lines](session::Step step, bool starting, bool finished) {
            aroundStep(step, starting, finished, lines);
        });
    // A command's button is disabled while it runs, and Qt moves the focus
    // on to the next one (Lock Chip after Read Chip): a key pressed then
    // would run that one. The focus goes back once the button is enabled again.
    const QPointer<QWidget> focused = focusWidget();
    activeView_ = &view;
    session::OperationResult result = operation(view);
    activeView_ = nullptr;
    if (focused && focused->isEnabled()) focused->setFocus();
    return result;
}

void Form1::aroundStep(session::Step step, bool starting, bool finished,
                       const image::Lines& lines) {
    switch (step) {
        case session::Step::Write:
            if (starting) {
                write->setText(QString::fromLatin1(chip::kWritingCaption));
                write->setEnabled(false);
                return;
            }
            reloadView(lines);
            write->setText(QString::fromLatin1(chip::kWriteCaption));
            write->setEnabled(true);
            if (state.BidiMode == 1 && finished) {
                Ve->setEnabled(true);
                verify->setEnabled(true);
            }
            return;
        case session::Step::Verify:
            if (starting) {
                verify->setText(QString::fromLatin1(chip::kCheckingCaption));
                verify->setEnabled(false);
                return;
            }
            reloadView(lines);
            verify->setEnabled(true);
            verify->setText(QString::fromLatin1(chip::kVerifyCaption));
            return;
        case session::Step::ReadOut:
            if (starting)
                readOutStarting();
            else if (!finished)
                readOutStopped();
            else
                read->setEnabled(true);
            return;
        default:
            return;
    }
}

void Form1::signalArrived(int sig) {
    signalled_ = sig;
    // A question on screen (a verify mismatch) would hold the operation or
    // the handler: it is answered No, a file dialog cancelled.
    closeModalDialogs();
    // A running operation stops at its next byte; its handler ends the program.
    if (activeView_ == nullptr || !activeView_->walking()) endIfSignalled();
}

void Form1::closeModalDialogs() {
    for (int i = 0; i < 8; ++i) {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || modal->objectName() == QStringLiteral("progress")) return;
        modal->close();
    }
}

void Form1::endIfSignalled() {
    if (signalled_ == 0 || exitQueued_) return;
    exitQueued_ = true;
    QTimer::singleShot(0, this, [this] {
        // A box a handler opened after the signal must not hold up the end.
        closeModalDialogs();
        Exit1Click();
    });
}

void Form1::writeClick() {
    if (!portReady()) return;
    const image::Lines lines = ViewLines(*RichEdit1);
    const chip::ScannedImage image = chip::ScanImage(lines);
    present(runOperation(lines, [&](WindowView& view) {
        return session::Write(session_, prompts_, view, device(), image);
    }));
    endIfSignalled();
}

void Form1::verifyClick() {
    if (!portReady()) return;
    // A text the walk refuses (the listing, say) is said before anything
    // changes: the view keeps its text and its kind.
    const image::Lines lines = ViewLines(*RichEdit1);
    const chip::ScannedImage image = chip::ScanImage(lines);
    present(runOperation(
        lines, [&](WindowView& view) { return session::Verify(session_, prompts_, view, image); }));
    endIfSignalled();
}

void Form1::readClick() {
    if (!portReady()) return;
    session::OperationResult result = runOperation(
        {}, [&](WindowView& view) { return session::ReadOut(session_, prompts_, view); });
    if (result.endedIn == session::Step::ReadOut && !result.messages.empty())
        result.messages.front() += " The view shows what it showed before.";
    present(result);
    if (result.outcome == session::Outcome::Done) readOutFinished(result.readOut.bytes);
    endIfSignalled();
}

void Form1::readOutStarting() {
    beforeReadOut_ =
        ViewBefore{caption_,      listingFile_,           Label4->text(),       StaticText2->text(),
                   listingShown_, StaticText2->palette(), ViewLines(*RichEdit1)};
    // The chip's image is no file of the user's until it is saved.
    listingShown_ = false;
    setCaption(QString());
    Label4->setText(QString::number(chip::kCodeSize));
    QPalette palette = StaticText2->palette();
    palette.setColor(QPalette::WindowText, Qt::black);
    StaticText2->setPalette(palette);
    StaticText2->setText(QStringLiteral(" IntelHex File"));
    RichEdit1->clear();
    read->setEnabled(false);
}

void Form1::readOutStopped() {
    const ViewBefore& before = *beforeReadOut_;
    caption_ = before.title;
    listingFile_ = before.listingTitle;
    listingShown_ = before.listing;
    showTitle();
    Label4->setText(before.size);
    StaticText2->setText(before.status);
    StaticText2->setPalette(before.statusPalette);
    SetViewLines(*RichEdit1, before.lines);
    read->setEnabled(true);
}

void Form1::readOutFinished(const chip::CodeBytes& bytes) {
    read->setEnabled(true);
    Save1->setEnabled(true);
    save->setEnabled(true);
    Hex->setEnabled(false);
    Hexa1->setEnabled(false);
    Disa->setEnabled(true);
    dis51->setEnabled(true);
    refreshAppDir();
    image::DeleteQuietly(tempPath(image::kTempD51));  // a missing listing is no error
    const std::string tempHex = tempPath(image::kTempHex);
    if (std::optional<std::string> error = image::SaveLines(tempHex, chip::ReadOutLines(bytes))) {
        prompts_.showMessage(*error);
        return;
    }
    currentImageFile = tempHex;
}

void Form1::CwvClick() {
    if (!portReady()) return;
    const image::Lines lines = ViewLines(*RichEdit1);
    const chip::ScannedImage image = chip::ScanImage(lines);
    present(runOperation(lines, [&](WindowView& view) {
        return session::ClearWriteVerify(session_, prompts_, view, device(), image);
    }));
    endIfSignalled();
}

}  // namespace lpt51::app
