#include <QMenu>

#include "app/MainWindow.h"
#include "app/Markers.h"
#include "port/Calibration.h"
#include "port/Probe.h"

namespace lpt51::app {

void Form1::FormCreate() {
    state.BidiMode = 1;
    state.SkipSignature = 0;
    state.CwvActive = 0;
    state.VerifyFailed = 0;
    state.ChipType.clear();

    CpuMHz = context_.measureCpuMHz ? context_.measureCpuMHz() : 0.0;
    DelayUnit = DelayUnitFromMHz(CpuMHz);

    // Only now is the port opened: opening puts it at rest right after the
    // claim, and the probe follows at once.
    if (context_.openBackend) context_.backend = context_.openBackend();
    Backend* backend = context_.backend;
    const bool usable = backend != nullptr && backend->usable() && backend->port() != nullptr;
    // Without a port nothing is probed; the user's switch still counts, as
    // it would on a bidirectional port.
    std::uint8_t probe = kProbeBidirectional;
    if (usable) {
        bus_ = std::make_unique<Bus>(*backend->port(), backend->clock(), DelayUnit);
        probe = ProbePort(*bus_);
    }
    setCaption(caption_);

    if (probe == kProbeOutputOnly) {
        // The port cannot read: the switch goes too, so the mode cannot be turned on.
        Disabled1->setEnabled(false);
        bidiOff();
    }
    if (MarkerExists(context_.appDir, kBidiOffMarker) && probe == kProbeBidirectional) {
        Disabled1->setText(QStringLiteral("&Enabled Bidi."));
        bidiOff();
    }

    if (bus_) {
        bus_->SetControlOut(control::kRest);
        bus_->PutData(0);
    }

    if (MarkerExists(context_.appDir, kDefault12VMarker)) {
        AT89C5112V1->setChecked(true);
        cpu->setText(QStringLiteral("AT89C51-12V"));
        state.ChipType = "AT89C51-12V";
        Def12->setText(QStringLiteral("&Set no default processor"));
    }

    if (!usable) {
        refusal_ = backend != nullptr ? backend->problem() : "No port has been opened.";
    } else if (DelayUnit == 0) {
        // Every busy wait would be empty: pulses and settling times too short
        // for the chip. Refuse rather than program with them.
        refusal_ =
            "The processor clock measured below 1 MHz, so the port timing cannot be set; "
            "chip commands are switched off.";
    }
    if (!refusal_.empty()) {
        showChipCommandsUnavailable();
        context_.dialogs->showMessage(refusal_);
    } else if (probe != kProbeBidirectional && probe != kProbeOutputOnly) {
        context_.dialogs->showMessage(
            "I can not correctly detect your LPT1 port.\r"
            "You probably have not any pull up resistors on your LPT1 !! \r"
            "I suggest to you connect eight pieces of 4K7 resistors between pins 2 to 9 and +5V .");
    }
}

void Form1::bidiOff() {
    state.BidiMode = 0;
    Test1->setEnabled(false);
    Cwv->setText(QStringLiteral("Clear-Write"));
    cpu->setText(QStringLiteral("   No Select"));
    verify->setEnabled(false);
    read->setEnabled(false);
    Re->setEnabled(false);
    Ve->setEnabled(false);
}

void Form1::showChipCommandsUnavailable() {
    // Greyed, not disabled: a disabled command could not say why it does
    // nothing, and the enabled states keep following the window's rules.
    const QString why = QString::fromStdString(refusal_);
    auto grey = [](QWidget* widget) {
        QPalette palette = widget->palette();
        for (QPalette::ColorRole role :
             {QPalette::WindowText, QPalette::ButtonText, QPalette::Text}) {
            const QColor disabled = palette.color(QPalette::Disabled, role);
            palette.setColor(QPalette::Active, role, disabled);
            palette.setColor(QPalette::Inactive, role, disabled);
        }
        widget->setPalette(palette);
    };
    for (QPushButton* command : {clear, write, verify, read, lock, Cwv}) {
        grey(command);
        command->setToolTip(why);
    }
    grey(actionMenu_);
    actionMenu_->setToolTipsVisible(true);
    for (QAction* command : actionMenu_->actions()) command->setToolTip(why);
}

bool Form1::portReady() {
    if (refusal_.empty() && bus_) return true;
    context_.dialogs->showMessage(refusal_.empty() ? "No port has been opened." : refusal_);
    return false;
}

}  // namespace lpt51::app
