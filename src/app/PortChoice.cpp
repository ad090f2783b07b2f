// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MainWindow.h"
#include "backend/PortName.h"

namespace lpt51::app {

bool Form1::onVirtualAdapter() {
    // A backend a test gave shows what it is only by its adapter.
    Backend* backend = session_.backend();
    if (backend != nullptr && backend->virtualAdapter() != nullptr) return true;
    return NamesVirtualAdapter(session_.backendOptions().port);
}

BackendOptions Form1::virtualAdapterOptions() const {
    BackendOptions options = context_.backendOptions;
    // Its chip kept in the state directory, whatever the working directory:
    // the same chip each time it is chosen, in this window or the next.
    if (!NamesVirtualAdapter(options.port)) options.port = "sim:";
    return options;
}

BackendOptions Form1::parallelPortOptions() const {
    BackendOptions options = context_.backendOptions;
    if (NamesVirtualAdapter(options.port)) {
        const BackendOptions defaults;
        options.port = defaults.port;
        options.portNamed = false;
    }
    return options;
}

void Form1::useBackend(const BackendOptions& options) {
    session_.reopen(options);
    showTitle();
    applyProbe();
    reportPort(false);
}

void Form1::ParallelPort1Click() {
    if (onVirtualAdapter()) useBackend(parallelPortOptions());
    ParallelPort1->setChecked(!onVirtualAdapter());
}

void Form1::VirtualAdapter1Click() {
    if (!onVirtualAdapter()) useBackend(virtualAdapterOptions());
    VirtualAdapter1->setChecked(onVirtualAdapter());
}

}  // namespace lpt51::app
