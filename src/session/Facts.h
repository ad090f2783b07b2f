// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace lpt51::session {

// What Info reports about a session; each front end words it its own way.
struct Facts {
    double cpuMHz = 0;
    bool nominalClock = false;  // with virtual timing the clock is not measured
    std::uint32_t delayUnit = 0;
    // What one delay unit lasts on the bus's clock, timed now; none without a bus.
    std::optional<double> delayUnitUs;
    bool bidirectional = true;  // the programmer's mode (the user may have switched it off)
    std::uint8_t probe = 0xFF;
    bool pullUpsMissing = false;
    std::optional<std::string> port;  // the backend's description; none without one
    bool realTimeClock = false;       // the bus runs on real time
    // Why operations cannot run unpre-empted; only asked on a real clock.
    std::optional<std::string> realTimeRefusal;
    // Which waits the operations use: "standard" or "datasheet", and in
    // words what that timing is.
    std::string timing;
    std::string timingText;
    std::string filesDirectory;
    std::string version;
};

}  // namespace lpt51::session
