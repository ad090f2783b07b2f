// SPDX-License-Identifier: GPL-3.0-or-later
#include "port/Calibration.h"
#include "port/RealTime.h"
#include "session/Session.h"

namespace lpt51::session {

Facts Session::facts() {
    Facts f;
    f.cpuMHz = mhz_;
    f.nominalClock = nominal_;
    f.delayUnit = delayUnit_;
    f.bidirectional = state_.BidiMode == 1;
    f.probe = probe_;
    f.pullUpsMissing = pullUpsMissing();
    if (backend_ != nullptr) f.port = backend_->description();
    if (bus_) {
        // On the clock the commands use: what a pulse of one unit lasts.
        f.delayUnitUs = MeasureDelayUnitNs(*bus_, 20) / 1000.0;
        f.realTimeClock = bus_->clock().realTime();
    } else {
        // Without a port, what the operations would run on once there is one.
        f.realTimeClock = !nominal_;
    }
    f.timing = state_.waits().name;
    f.timingText = timing() == chip::TimingKind::Datasheet
                       ? "every wait from the chip's datasheet limits with a margin of 1.5, "
                         "for a 3 to 24 MHz crystal on the adapter and a short cable"
                       : "the program's own waits, far above the chip's limits";
    if (f.realTimeClock) f.realTimeRefusal = RealTimeRefusal();
    if (setup_.filesDirectory) f.filesDirectory = setup_.filesDirectory();
    f.version = LPT51_VERSION;
    return f;
}

}  // namespace lpt51::session
