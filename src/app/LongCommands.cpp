#include <QApplication>
#include <QTimer>
#include <filesystem>

#include "app/MainWindow.h"
#include "app/OperationProgress.h"
#include "app/ViewText.h"
#include "chip/At89c51.h"
#include "chip/Cwv.h"
#include "chip/Devices.h"
#include "chip/ImageScan.h"
#include "chip/ReadOut.h"
#include "chip/Signature.h"
#include "chip/Verify.h"
#include "chip/Write.h"
#include "image/TextFile.h"

namespace lpt51::app {
namespace {

using session::Outcome;

constexpr const char* kPartlyProgrammed =
    "The port is at rest; the chip may be partly programmed: erase it and write it again.";
constexpr const char* kNotChanged = "The port is at rest; the chip was not changed.";

}  // namespace

void Form1::reloadView(const image::Lines& before) {
    if (currentImageFile.empty()) {
        SetViewLines(*RichEdit1, before);
        return;
    }
    image::Lines lines;
    if (std::optional<std::string> error = image::LoadLines(currentImageFile, lines)) {
        // Keep the text the command started from rather than a half-deleted view.
        SetViewLines(*RichEdit1, before);
        prompts_.showMessage(*error);
        return;
    }
    SetViewLines(*RichEdit1, lines);
}

bool Form1::runOperation(OperationProgress& progress, const std::function<void()>& operation) {
    stopped_ = false;
    byteLoopRunning_ = true;
    try {
        // A signal that came before the first byte leaves the chip alone.
        if (signalled_ != 0) throw OperationStopped{signalled_};
        operation();
    } catch (const OperationStopped&) {
        // Stopped between two bytes: nothing is half-latched, and the port
        // goes to rest as at the end of a finished operation.
        session_.bus()->ReleaseBus();
        stopped_ = true;
    }
    byteLoopRunning_ = false;
    progress.close();
    return !stopped_;
}

void Form1::reportStop(const OperationProgress& progress, const std::string& chipState) {
    std::string text = progress.operation().toStdString() + " stopped ";
    if (progress.done() == 0) {
        text += "before the first byte.\r";
        text += kNotChanged;
    } else {
        text += "after " + std::to_string(progress.done()) + " of " +
                std::to_string(progress.total()) + " bytes.\r" + chipState;
    }
    prompts_.showMessage(text);
}

void Form1::signalArrived(int sig) {
    signalled_ = sig;
    // A question on screen (a verify mismatch) would hold the operation or
    // the handler: it is answered No, a file dialog cancelled.
    closeModalDialogs();
    // A running operation stops at its next byte; its handler ends the program.
    if (!byteLoopRunning_) endIfSignalled();
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
    if (std::optional<std::string> refusal = chip::RefusalText(image, chip::ImageUse::Write)) {
        prompts_.showMessage(*refusal);
        return;
    }
    const std::string caption = cpu->text().toStdString();
    runChipCommand(sim::ChipUse::Changes, [&](chip::ChipContext& ctx) {
        if (!chip::RunDeviceCheck(ctx, caption)) return Outcome::Failed;
        write->setText(QString::fromLatin1(chip::kWritingCaption));
        write->setEnabled(false);
        OperationProgress progress(this, *RichEdit1, ctx.bus.clock(),
                                   QString::fromLatin1(chip::kWriteCaption),
                                   [this] { return signalled_; });
        chip::WriteResult result;
        const bool finished = runOperation(
            progress, [&] { result = chip::WriteImage(ctx, caption, image, &progress); });
        reloadView(lines);
        write->setText(QString::fromLatin1(chip::kWriteCaption));
        if (!finished) {
            reportStop(progress, kPartlyProgrammed);
        } else if (std::optional<std::string> message = chip::WriteFinalMessage(result, state)) {
            prompts_.showMessage(*message);
        }
        write->setEnabled(true);
        if (state.BidiMode == 1 && result.completed) {
            Ve->setEnabled(true);
            verify->setEnabled(true);
        }
        return !finished ? Outcome::Stopped : session::Judged(result.completed);
    });
    endIfSignalled();
}

void Form1::verifyClick() {
    if (!portReady()) return;
    // A text the walk refuses (the listing, say) is said before anything
    // changes: the view keeps its text and its kind.
    const image::Lines lines = ViewLines(*RichEdit1);
    const chip::ScannedImage image = chip::ScanImage(lines);
    if (std::optional<std::string> refusal = chip::RefusalText(image, chip::ImageUse::Verify)) {
        prompts_.showMessage(*refusal);
        return;
    }
    runChipCommand(sim::ChipUse::Reads, [&](chip::ChipContext& ctx) {
        verify->setText(QString::fromLatin1(chip::kCheckingCaption));
        verify->setEnabled(false);
        OperationProgress progress(this, *RichEdit1, ctx.bus.clock(),
                                   QString::fromLatin1(chip::kVerifyCaption),
                                   [this] { return signalled_; });
        chip::VerifyResult result;
        const bool finished =
            runOperation(progress, [&] { result = chip::VerifyImage(ctx, image, &progress); });
        reloadView(lines);
        if (!finished) {
            reportStop(progress, kNotChanged);
        } else if (std::optional<std::string> message = chip::VerifyFinalMessage(result, state)) {
            prompts_.showMessage(*message);
        }
        const bool same = finished && result.mismatches == 0 && state.VerifyFailed == 0;
        state.VerifyFailed = 0;
        verify->setEnabled(true);
        verify->setText(QString::fromLatin1(chip::kVerifyCaption));
        return !finished ? Outcome::Stopped : session::Judged(same);
    });
    endIfSignalled();
}

void Form1::readClick() {
    if (!portReady()) return;
    runChipCommand(sim::ChipUse::Reads, [this](chip::ChipContext& ctx) { return readOut(ctx); });
    endIfSignalled();
}

session::Outcome Form1::readOut(chip::ChipContext& ctx) {
    // What a stopped read-out puts back.
    const QString titleBefore = caption_;
    const QString listingTitleBefore = listingFile_;
    const bool listingBefore = listingShown_;
    const QString sizeBefore = Label4->text();
    const QString statusBefore = StaticText2->text();
    const QPalette statusPaletteBefore = StaticText2->palette();
    const image::Lines viewBefore = ViewLines(*RichEdit1);

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

    OperationProgress progress(this, *RichEdit1, ctx.bus.clock(), QStringLiteral("Read Chip"),
                               [this] { return signalled_; });
    image::Lines lines;
    if (!runOperation(progress, [&] { lines = chip::ReadChip(ctx, &progress); })) {
        caption_ = titleBefore;
        listingFile_ = listingTitleBefore;
        listingShown_ = listingBefore;
        showTitle();
        Label4->setText(sizeBefore);
        StaticText2->setText(statusBefore);
        StaticText2->setPalette(statusPaletteBefore);
        SetViewLines(*RichEdit1, viewBefore);
        read->setEnabled(true);
        reportStop(progress, std::string(kNotChanged) + " The view shows what it showed before.");
        return Outcome::Stopped;
    }

    read->setEnabled(true);
    Save1->setEnabled(true);
    save->setEnabled(true);
    Hex->setEnabled(false);
    Hexa1->setEnabled(false);
    Disa->setEnabled(true);
    dis51->setEnabled(true);
    refreshAppDir();
    std::error_code ignored;  // a missing listing is no error
    std::filesystem::remove(context_.appDir + "temxyzbg.d51", ignored);
    const std::string tempHex = context_.appDir + "temxyzbg.hex";
    if (std::optional<std::string> error = image::SaveLines(tempHex, lines)) {
        prompts_.showMessage(*error);
        return Outcome::Failed;
    }
    currentImageFile = tempHex;
    return Outcome::Done;
}

void Form1::CwvClick() {
    if (!portReady()) return;
    const std::string caption = cpu->text().toStdString();
    const chip::ScannedImage image = chip::ScanImage(ViewLines(*RichEdit1));
    runChipCommand(sim::ChipUse::Changes, [&](chip::ChipContext& ctx) {
        // A stopped write or verify, or a signal after the erase, ends the
        // sequence there: no verify of a half-written chip, no "Task complete !".
        auto step = [this](void (Form1::*handler)()) {
            return [this, handler] {
                stopped_ = false;
                (this->*handler)();
                return stopped_ || signalled_ != 0 ? chip::CwvStep::Stop : chip::CwvStep::Continue;
            };
        };
        const chip::CwvSteps steps{step(&Form1::clearClick), step(&Form1::writeClick),
                                   step(&Form1::verifyClick)};
        return session::Judged(chip::RunClearWriteVerify(ctx, caption, image, steps));
    });
    endIfSignalled();
}

}  // namespace lpt51::app
