// SPDX-License-Identifier: GPL-3.0-or-later
#include <QMenu>

#include "app/MainWindow.h"
#include "app/Markers.h"
#include "chip/Devices.h"
#include "port/Probe.h"

namespace lpt51::app {

void Form1::FormCreate() {
    session_.open();
    showTitle();
    applyProbe();

    if (MarkerExists(context_.appDir, kDefault12VMarker)) {
        AT89C5112V1->setChecked(true);
        selectDevice(chip::kDevice12V);
        Def12->setText(QStringLiteral("&Set no default processor"));
    }
    if (context_.device == chip::kDevice12V) AT89C5112V1Click();
    if (context_.device == chip::kDevice5V) AT89C515V1Click();

    const chip::TimingKind timing = context_.timing.value_or(
        MarkerExists(context_.appDir, kDatasheetTimingMarker) ? chip::TimingKind::Datasheet
                                                              : chip::TimingKind::Standard);
    Datasheet1->setChecked(timing == chip::TimingKind::Datasheet);
    session_.setTiming(timing);

    reportPort(true);
}

void Form1::applyProbe() {
    const std::uint8_t probe = session_.probe();
    (onVirtualAdapter() ? VirtualAdapter1 : ParallelPort1)->setChecked(true);
    // The port cannot read: the switch goes too, so the mode cannot be turned on.
    Disabled1->setEnabled(probe != kProbeOutputOnly);
    if (probe == kProbeOutputOnly) {
        bidiOff();
    } else if (MarkerExists(context_.appDir, kBidiOffMarker) && probe == kProbeBidirectional) {
        Disabled1->setText(QStringLiteral("&Enabled Bidi."));
        bidiOff();
    } else if (!read->isEnabled()) {
        // Off on the port used before.
        bidiOn();
    }
}

void Form1::reportPort(bool starting) {
    const std::string why = refusal();
    if (why.empty()) {
        showChipCommandsAvailable();
        if (session_.pullUpsMissing()) prompts_.showMessage(session::kNoPullUps);
        return;
    }
    showChipCommandsUnavailable();
    // Without a parallel port the virtual adapter is all there is to try.
    const bool offer = starting && !onVirtualAdapter() && signalled_ == 0 &&
                       session_.refusal() == session::PortRefusal::Unusable;
    if (!offer) {
        prompts_.showMessage(why);
    } else if (context_.dialogs->offerChoice(why, kUseVirtualAdapter)) {
        useBackend(virtualAdapterOptions());
    }
}

std::string Form1::refusal() const {
    switch (session_.refusal()) {
        case session::PortRefusal::None:
            return {};
        case session::PortRefusal::NotOpened:
            return "No port has been opened.";
        case session::PortRefusal::Unusable:
            return session_.problem();
        case session::PortRefusal::SlowClock:
            return "The processor clock measured below 1 MHz, so the port timing cannot be set; "
                   "chip commands are switched off.";
    }
    return {};
}

void Form1::bidiOn() {
    Disabled1->setText(QStringLiteral("&Disabled Bidi."));
    state.BidiMode = 1;
    Test1->setEnabled(true);
    Cwv->setText(QString::fromLatin1(chip::kCwvCaptionBidi));
    // Verify stays off until the next successful write.
    read->setEnabled(true);
    Re->setEnabled(true);
}

void Form1::bidiOff() {
    state.BidiMode = 0;
    Test1->setEnabled(false);
    Cwv->setText(QString::fromLatin1(chip::kCwvCaptionOutputOnly));
    cpu->setText(QString::fromLatin1(chip::kNoSelect));
    verify->setEnabled(false);
    read->setEnabled(false);
    Re->setEnabled(false);
    Ve->setEnabled(false);
}

void Form1::showChipCommandsUnavailable() {
    // Greyed, not disabled: a disabled command could not say why it does
    // nothing, and the enabled states keep following the window's rules.
    const QString why = QString::fromStdString(refusal());
    const bool first = readyLook_.empty();
    auto grey = [this, first](QWidget* widget) {
        if (first) readyLook_.emplace_back(widget, widget->palette());
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

void Form1::showChipCommandsAvailable() {
    for (const auto& [widget, palette] : readyLook_) widget->setPalette(palette);
    readyLook_.clear();
    for (QPushButton* command : {clear, write, verify, read, lock, Cwv}) command->setToolTip({});
    actionMenu_->setToolTipsVisible(false);
    for (QAction* command : actionMenu_->actions()) command->setToolTip({});
}

bool Form1::portReady() {
    if (session_.ready()) return true;
    prompts_.showMessage(refusal());
    return false;
}

}  // namespace lpt51::app
