#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "app/MainWindow.h"
#include "app/Markers.h"
#include "port/Calibration.h"

namespace lpt51::app {

void Form1::AT89C5112V1Click() {
    AT89C5112V1->setChecked(true);
    cpu->setText(QStringLiteral("AT89C51-12V"));
    state.ChipType = "AT89C51-12V";
}

void Form1::AT89C515V1Click() {
    AT89C515V1->setChecked(true);
    cpu->setText(QStringLiteral("AT89C51-5V"));
    state.ChipType = "AT89C51-5V";
}

void Form1::Def12Click() {
    if (Def12->text() == QStringLiteral("&Set AT89C51-12V as def.")) {
        AT89C5112V1->setChecked(true);
        cpu->setText(QStringLiteral("AT89C51-12V"));
        state.ChipType = "AT89C51-12V";
        Def12->setText(QStringLiteral("&Set no default processor"));
        CreateMarker(context_.appDir, kDefault12VMarker);
    } else if (Def12->text() == QStringLiteral("&Set no default processor")) {
        AT89C5112V1->setChecked(false);
        AT89C515V1->setChecked(false);
        cpu->setText(QStringLiteral("   No Select"));
        state.ChipType = "   No Select";
        Def12->setText(QStringLiteral("&Set AT89C51-12V as def."));
        DeleteMarker(context_.appDir, kDefault12VMarker);
    }
}

void Form1::Disabled1Click() {
    if (Disabled1->text() == QStringLiteral("&Disabled Bidi.")) {
        CreateMarker(context_.appDir, kBidiOffMarker);
        bidiOff();
        Disabled1->setText(QStringLiteral("&Enabled Bidi."));
    } else {
        if (MarkerExists(context_.appDir, kBidiOffMarker)) {
            DeleteMarker(context_.appDir, kBidiOffMarker);
        }
        Disabled1->setText(QStringLiteral("&Disabled Bidi."));
        state.BidiMode = 1;
        Test1->setEnabled(true);
        Cwv->setText(QStringLiteral("Clear-Write-Verify "));
        cpu->setText(QStringLiteral("   No Select"));
        // Verify stays off until the next successful write.
        read->setEnabled(true);
        Re->setEnabled(true);
    }
}

void Form1::Info2Click() {
    // One paragraph each, an empty line between them.
    std::vector<std::string> paragraphs;
    char number[32];
    const auto printed = std::to_chars(number, number + sizeof number, std::trunc(CpuMHz));
    std::string speed = "Your CPU speed is: ";
    speed.append(number, printed.ptr);
    speed += " MHz.";
    if (context_.nominalClock) {
        speed += "\rThis is a nominal figure: with virtual timing the clock is not measured.";
    }
    paragraphs.push_back(speed);
    paragraphs.push_back(std::string("LPT mode is ") +
                         (state.BidiMode == 1 ? "Bidirectional" : "SPP (Normal)") + ".");
    const std::string port =
        context_.backend != nullptr ? context_.backend->description() : std::string("no port");
    paragraphs.push_back("Port in use: " + port + ".");
    if (bus_) {
        // Timed now, on the clock the commands use: what a pulse of one unit lasts.
        std::snprintf(number, sizeof number, "%.1f", MeasureDelayUnitNs(*bus_, 20) / 1000.0);
        paragraphs.push_back(std::string("One delay unit lasts ") + number + " us (" +
                             std::to_string(DelayUnit) + " turns of the busy wait).");
        if (bus_->clock().realTime()) {
            if (const std::optional<std::string> refusal = RealTimeRefusal())
                paragraphs.push_back(*refusal);
        }
    }
    paragraphs.push_back("lpt51 version " LPT51_VERSION ".");
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
