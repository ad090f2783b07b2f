#include <QMenu>

#include "app/MainWindow.h"
#include "app/Markers.h"
#include "chip/Devices.h"
#include "port/Probe.h"

namespace lpt51::app {

void Form1::FormCreate() {
    session_.open();
    const std::uint8_t probe = session_.probe();
    showTitle();

    if (probe == kProbeOutputOnly) {
        // The port cannot read: the switch goes too, so the mode cannot be turned on.
        Disabled1->setEnabled(false);
        bidiOff();
    }
    if (MarkerExists(context_.appDir, kBidiOffMarker) && probe == kProbeBidirectional) {
        Disabled1->setText(QStringLiteral("&Enabled Bidi."));
        bidiOff();
    }

    if (MarkerExists(context_.appDir, kDefault12VMarker)) {
        AT89C5112V1->setChecked(true);
        selectDevice(chip::kDevice12V);
        Def12->setText(QStringLiteral("&Set no default processor"));
    }

    const chip::TimingKind timing = context_.timing.value_or(
        MarkerExists(context_.appDir, kDatasheetTimingMarker) ? chip::TimingKind::Datasheet
                                                              : chip::TimingKind::Standard);
    Datasheet1->setChecked(timing == chip::TimingKind::Datasheet);
    session_.setTiming(timing);

    if (const std::string why = refusal(); !why.empty()) {
        showChipCommandsUnavailable();
        prompts_.showMessage(why);
    } else if (session_.pullUpsMissing()) {
        prompts_.showMessage(session::kNoPullUps);
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
    if (session_.ready()) return true;
    prompts_.showMessage(refusal());
    return false;
}

}  // namespace lpt51::app
