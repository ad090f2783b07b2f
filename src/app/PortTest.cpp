#include "app/MainWindow.h"
#include "app/ResistorAdvice.h"

namespace lpt51::app {

void Form1::Test1Click() {
    if (!portReady()) return;
    session_.bus()->SetControl(control::kInput);
    const std::string text = context_.dialogs->inputBox(
        "Test", "Now measure current and write value to the line in mA!", "");
    const QString separator = context_.locale.decimalPoint();
    const char decimal = separator.size() == 1 ? separator.at(0).toLatin1() : '.';
    const std::optional<long double> current = ParseReading(text, decimal);
    if (!current) {
        prompts_.showMessage(kNotANumber);
    } else {
        for (const std::string& message : ResistorAdvice(*current)) {
            prompts_.showMessage(message);
        }
    }
    session_.bus()->SetControlOut(control::kRest);
}

}  // namespace lpt51::app
