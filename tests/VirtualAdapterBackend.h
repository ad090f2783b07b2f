// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "backend/Backend.h"
#include "port/ControlBits.h"
#include "sim/VirtualAdapter.h"

namespace lpt51::testing {

// The virtual adapter on a test clock of its own, as a session opens it.
template <class TestClock>
class VirtualAdapterBackend final : public Backend {
  public:
    explicit VirtualAdapterBackend(sim::ChipState chip,
                                   sim::PortKind port = sim::PortKind::Bidirectional)
        : adapter_(clock_, port, std::move(chip)) {}

    bool usable() const override { return true; }
    const std::string& problem() const override { return none_; }
    Port* port() override { return &adapter_; }
    Clock& clock() override { return clock_; }
    std::string description() const override { return "virtual adapter on a test clock"; }
    sim::VirtualAdapter* virtualAdapter() override { return &adapter_; }
    std::optional<std::string> persist() override { return std::nullopt; }

    TestClock& testClock() { return clock_; }
    sim::VirtualAdapter& adapter() { return adapter_; }
    // For a StallingClock: PROG low as the adapter's control lines have it.
    std::function<bool()> progLow() {
        return [this] { return (adapter_.readControl() & control_bits::kProgLow) != 0; };
    }

  private:
    std::string none_;
    TestClock clock_;
    sim::VirtualAdapter adapter_;
};

}  // namespace lpt51::testing
