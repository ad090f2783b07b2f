// SPDX-License-Identifier: GPL-3.0-or-later
#include <string>

#include "app/MainWindow.h"

namespace lpt51::app {

void Form1::present(const session::OperationResult& result) {
    for (const std::string& message : result.said) prompts_.showMessage(message);
    // In the same words as the command line, on every port: nothing else
    // would tell that a pulse ran long on hardware.
    if (const std::string pulses = result.pulses.text(); !pulses.empty())
        prompts_.showMessage(pulses);
    for (const std::string& message : result.messages) prompts_.showMessage(message);
    for (const std::string& note : result.notes) prompts_.showMessage(note);
    // One box for all of them: the report lists a few and counts the rest.
    std::string text;
    for (const std::string& line : session::FaultReportLines(result))
        text += (text.empty() ? "" : "\r") + line;
    if (!text.empty()) prompts_.showMessage(text);
}

void Form1::selectDevice(const char* type) {
    cpu->setText(QString::fromLatin1(type));
    state.ChipType = type;
}

}  // namespace lpt51::app
