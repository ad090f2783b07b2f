// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "chip/AdapterCheck.h"
#include "sim/VirtualAdapter.h"

namespace lpt51::testing {

// Reads the virtual adapter's socket pins as a meter would, and keeps what
// it was asked; after `stopAfter` readings it stops, as the user may.
class SocketMeter final : public chip::Meter {
  public:
    explicit SocketMeter(const sim::VirtualAdapter& adapter) : adapter_(adapter) {}
    std::optional<chip::Volts> read(const chip::Measurement& m) override {
        asked.push_back(m);
        if (stopAfter && asked.size() > *stopAfter) return std::nullopt;
        return Reading(adapter_, m.socketPin);
    }
    static chip::Volts Reading(const sim::VirtualAdapter& adapter, int socketPin) {
        switch (adapter.socketPin(socketPin)) {
            case sim::PinLevel::High:
                return chip::Volts::Five;
            case sim::PinLevel::Volts12:
                return chip::Volts::Twelve;
            default:
                return chip::Volts::Zero;  // an open pin of an empty socket reads 0 V
        }
    }
    std::vector<chip::Measurement> asked;
    std::optional<std::size_t> stopAfter;

  private:
    const sim::VirtualAdapter& adapter_;
};

}  // namespace lpt51::testing
