// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/Session.h"

#include "chip/HexText.h"
#include "port/Calibration.h"
#include "port/Probe.h"

namespace lpt51::session {

Session::Session(SessionSetup setup) : setup_(std::move(setup)) {
    setTiming(setup_.timing);
}

Session::~Session() = default;

void Session::open() {
    if (setup_.measureCpuMHz) {
        mhz_ = setup_.measureCpuMHz();
        nominal_ = setup_.nominalClock;
    } else if (TimedVirtually(setup_.backend)) {
        mhz_ = kNominalVirtualMHz;
        nominal_ = true;
    } else {
        mhz_ = MeasureCpuMHz();
    }
    delayUnit_ = DelayUnitFromMHz(mhz_);
    report("clock " + std::to_string(mhz_) + " MHz (" + (nominal_ ? "nominal" : "measured") +
           "), delay unit " + std::to_string(delayUnit_));
    // A clock measured below 1 MHz gives no delay unit to derive the bus
    // timing from: nothing is opened.
    if (delayUnit_ == 0) {
        refusal_ = PortRefusal::SlowClock;
        return;
    }
    if (setup_.openBackend) {
        backend_ = setup_.openBackend();
    } else {
        owned_ = Backend::open(setup_.backend);
        backend_ = owned_.get();
    }
    if (backend_ == nullptr) {
        refusal_ = PortRefusal::NotOpened;
        return;
    }
    if (!backend_->usable() || backend_->port() == nullptr) {
        refusal_ = PortRefusal::Unusable;
        return;
    }
    report("port: " + backend_->description());
    bus_ = std::make_unique<Bus>(*backend_->port(), backend_->clock(), delayUnit_);
    probe_ = ProbePort(*bus_);
    report("probe read " + chip::Hex2(probe_) +
           (probe_ == kProbeOutputOnly ? ": the port only drives its data lines" : ""));
    // Only a port that still reads its own 3 is known not to turn around; a
    // port without pull-ups is warned about and otherwise taken as bidirectional.
    state_.BidiMode = probe_ == kProbeOutputOnly ? 0 : 1;
    bus_->SetControlOut(control::kRest);
    bus_->PutData(0);
    refusal_ = PortRefusal::None;
}

void Session::reopen(const BackendOptions& backend) {
    // Released first: the new one may be the same chip's state file.
    bus_.reset();
    backend_ = nullptr;
    owned_.reset();
    refusal_ = PortRefusal::NotOpened;
    probe_ = 0xFF;
    state_.BidiMode = 1;
    setup_.openBackend = nullptr;
    setup_.backend = backend;
    open();
}

void Session::report(const std::string& text) const {
    if (setup_.stage) setup_.stage(text);
}

std::string Session::problem() const {
    return backend_ != nullptr ? backend_->problem() : std::string();
}

std::string Session::notice() const {
    return backend_ != nullptr && ready() ? backend_->notice() : std::string();
}

bool Session::pullUpsMissing() const {
    return probe_ != kProbeOutputOnly && probe_ != kProbeBidirectional;
}

}  // namespace lpt51::session
