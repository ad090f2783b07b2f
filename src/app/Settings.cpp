// SPDX-License-Identifier: GPL-3.0-or-later
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "app/MainWindow.h"
#include "app/Markers.h"
#include "chip/Devices.h"

namespace lpt51::app {

void Form1::keepSetting(const std::optional<std::string>& failure) {
    if (failure) prompts_.showMessage(*failure);
}

void Form1::AT89C5112V1Click() {
    AT89C5112V1->setChecked(true);
    selectDevice(chip::kDevice12V);
}

void Form1::AT89C515V1Click() {
    AT89C515V1->setChecked(true);
    selectDevice(chip::kDevice5V);
}

void Form1::Def12Click() {
    if (Def12->text() == QStringLiteral("&Set AT89C51-12V as def.")) {
        AT89C5112V1->setChecked(true);
        selectDevice(chip::kDevice12V);
        Def12->setText(QStringLiteral("&Set no default processor"));
        keepSetting(CreateMarker(context_.appDir, kDefault12VMarker));
    } else if (Def12->text() == QStringLiteral("&Set no default processor")) {
        AT89C5112V1->setChecked(false);
        AT89C515V1->setChecked(false);
        selectDevice(chip::kNoSelect);
        Def12->setText(QStringLiteral("&Set AT89C51-12V as def."));
        keepSetting(DeleteMarker(context_.appDir, kDefault12VMarker));
    }
}

void Form1::Datasheet1Click() {
    const bool on = Datasheet1->isChecked();
    session_.setTiming(on ? chip::TimingKind::Datasheet : chip::TimingKind::Standard);
    if (on) {
        keepSetting(CreateMarker(context_.appDir, kDatasheetTimingMarker));
    } else {
        keepSetting(DeleteMarker(context_.appDir, kDatasheetTimingMarker));
    }
}

void Form1::Disabled1Click() {
    if (Disabled1->text() == QStringLiteral("&Disabled Bidi.")) {
        keepSetting(CreateMarker(context_.appDir, kBidiOffMarker));
        bidiOff();
        Disabled1->setText(QStringLiteral("&Enabled Bidi."));
    } else {
        if (MarkerExists(context_.appDir, kBidiOffMarker)) {
            keepSetting(DeleteMarker(context_.appDir, kBidiOffMarker));
        }
        bidiOn();
        cpu->setText(QString::fromLatin1(chip::kNoSelect));
    }
}

void Form1::Info2Click() {
    const session::Facts facts = session_.facts();
    // One paragraph each, an empty line between them.
    std::vector<std::string> paragraphs;
    char number[32];
    const auto printed = std::to_chars(number, number + sizeof number, std::trunc(facts.cpuMHz));
    std::string speed = "Your CPU speed is: ";
    speed.append(number, printed.ptr);
    speed += " MHz.";
    if (facts.nominalClock) {
        speed += "\rThis is a nominal figure: with virtual timing the clock is not measured.";
    }
    paragraphs.push_back(speed);
    paragraphs.push_back(std::string("LPT mode is ") +
                         (facts.bidirectional ? "Bidirectional" : "SPP (Normal)") + ".");
    paragraphs.push_back("Port in use: " + facts.port.value_or("no port") + ".");
    paragraphs.push_back("Chip timing: " + facts.timing + ": " + facts.timingText + ".");
    if (facts.delayUnitUs) {
        std::snprintf(number, sizeof number, "%.1f", *facts.delayUnitUs);
        paragraphs.push_back(std::string("One delay unit lasts ") + number + " us (" +
                             std::to_string(facts.delayUnit) + " turns of the busy wait).");
        if (facts.realTimeRefusal) paragraphs.push_back(*facts.realTimeRefusal);
    }
    paragraphs.push_back("lpt51 version " + facts.version + ".");
    paragraphs.push_back(
        context_.windowDirectory
            ? "Settings are kept in " + facts.filesDirectory +
                  "; this window's temporary files in " + context_.windowDirectory->path() + "."
            : "Settings and temporary files are kept in " + facts.filesDirectory + ".");
    paragraphs.push_back(
        "This programmer drives a passive adapter on the parallel port and programs "
        "AT89C51 chips at 12 V or 5 V.");
    paragraphs.push_back(
        "Use it at your own risk; check the adapter's wiring before you insert a chip.");
    std::string text;
    for (const std::string& paragraph : paragraphs) {
        if (!text.empty()) text += "\r\r";
        text += paragraph;
    }
    context_.dialogs->showMessage(text);
}

}  // namespace lpt51::app
