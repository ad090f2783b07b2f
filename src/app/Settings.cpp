#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

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
    std::string text = "Your CPU speed is: ";
    char number[32];
    const auto printed = std::to_chars(number, number + sizeof number, std::trunc(CpuMHz));
    text.append(number, printed.ptr);
    text += " MHz.\r\rLPT mode is ";
    text += state.BidiMode == 1 ? "Bidirectional" : "SPP (Normal)";
    text += ".";
    if (bus_) {
        // Timed now, on the clock the commands use: what a pulse of one unit lasts.
        std::snprintf(number, sizeof number, "%.1f", MeasureDelayUnitNs(*bus_, 20) / 1000.0);
        text += "\r\rOne delay unit lasts ";
        text += number;
        text += " us (" + std::to_string(DelayUnit) + " turns of the busy wait).";
        if (dynamic_cast<const RealClock*>(&bus_->clock()) != nullptr) {
            if (const std::optional<std::string> refusal = RealTimeRefusal())
                text += "\r\r" + *refusal;
        }
    }
    text +=
        "\r\rThis programmer drives a passive adapter on the parallel port and programs "
        "AT89C51 chips at 12 V or 5 V.";
    text += "\r\rUse it at your own risk; check the adapter's wiring before you insert a chip.";
    context_.dialogs->showMessage(text);
}

}  // namespace lpt51::app
