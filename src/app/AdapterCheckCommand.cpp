// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/AdapterCheckDialog.h"
#include "app/MainWindow.h"
#include "app/WindowView.h"
#include "session/AdapterCheck.h"

namespace lpt51::app {

void Form1::CheckAdapter1Click() {
    if (!portReady()) return;
    AdapterCheckDialog meter(this);
    session::AdapterCheckSetup setup;
    setup.meter = &meter;
    setup.device = device();
    setup.noDevice = "not run: select the device in the socket in the Device menu first.";
    present(runOperation({}, [&](WindowView& view) {
        return session::AdapterCheck(session_, prompts_, view, setup);
    }));
}

}  // namespace lpt51::app
