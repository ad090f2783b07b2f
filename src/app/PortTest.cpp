// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MainWindow.h"
#include "app/ResistorAdvice.h"
#include "app/WindowView.h"

namespace lpt51::app {

void Form1::Test1Click() {
    if (!portReady()) return;
    std::string text;
    const session::OperationResult result = runOperation({}, [&](WindowView& view) {
        return session::PortTest(session_, prompts_, view, [&] {
            text = context_.dialogs->inputBox(
                "Test", "Now measure current and write value to the line in mA!", "");
        });
    });
    present(result);
    if (result.outcome != session::Outcome::Done) return;
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
}

}  // namespace lpt51::app
