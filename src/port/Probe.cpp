// SPDX-License-Identifier: GPL-3.0-or-later
#include "port/Probe.h"

namespace lpt51 {

std::uint8_t ProbePort(Bus& bus) {
    bus.PutData(0);
    bus.SetControl(control::kInput);
    bus.PutData(kProbeOutputOnly);
    return bus.GetData();
}

}  // namespace lpt51
