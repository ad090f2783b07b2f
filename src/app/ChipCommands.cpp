// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MainWindow.h"
#include "app/WindowView.h"
#include "chip/Devices.h"

namespace lpt51::app {

void Form1::clearClick() {
    if (!portReady()) return;
    present(runOperation(
        {}, [&](WindowView& view) { return session::Erase(session_, prompts_, view, device()); }));
}

void Form1::lockClick() {
    if (!portReady()) return;
    const chip::LockSelection bits{l1->isChecked(), l2->isChecked(), l3->isChecked()};
    present(runOperation({}, [&](WindowView& view) {
        return session::Lock(session_, prompts_, view, device(), bits);
    }));
}

void Form1::SignatClick() {
    if (!portReady()) return;
    const session::OperationResult result = runOperation(
        {}, [&](WindowView& view) { return session::ReadSignature(session_, prompts_, view); });
    if (!result.chipType.empty()) cpu->setText(QString::fromStdString(result.chipType));
    present(result);
}

void Form1::AUTO1Click() {
    selectDevice(chip::kAutoDetect);
}

}  // namespace lpt51::app
