#include <string>

#include "app/MainWindow.h"

namespace lpt51::app {

namespace {

// More would not fit on the screen; the command line lists them all.
constexpr std::size_t kFaultsShown = 20;

}  // namespace

void Form1::present(const session::OperationResult& result) {
    for (const std::string& message : result.said) prompts_.showMessage(message);
    // In the same words as the command line, on every port: nothing else
    // would tell that a pulse ran long on hardware.
    if (const std::string pulses = result.pulses.text(); !pulses.empty())
        prompts_.showMessage(pulses);
    for (const std::string& message : result.messages) prompts_.showMessage(message);
    for (const std::string& note : result.notes) prompts_.showMessage(note);
    if (result.faults.empty()) return;
    std::string text;
    for (std::size_t i = 0; i < result.faults.size() && i < kFaultsShown; ++i)
        text += result.faults[i] + "\r";
    if (result.faults.size() > kFaultsShown)
        text += "... and " + std::to_string(result.faults.size() - kFaultsShown) + " more\r";
    std::string summary = result.faultSummary;
    summary[0] = 'T';
    prompts_.showMessage(text + "\r" + summary + ".");
}

void Form1::selectDevice(const char* type) {
    cpu->setText(QString::fromLatin1(type));
    state.ChipType = type;
}

}  // namespace lpt51::app
