// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

#include "port/Bus.h"
#include "port/Clock.h"
#include "sim/VirtualAdapter.h"

namespace lpt51::sim::test {

// The programmer's port sequences for each chip operation, written out with
// the bus steps, so the model can be checked against a correct driver and
// against deliberately wrong variants of it.
struct Rig {
    VirtualClock clock;
    VirtualAdapter adapter;
    Bus bus{adapter, clock, 1};

    Rig(PortKind port, ChipState chip, ChipTimingModel timing = {})
        : adapter(clock, port, std::move(chip), timing) {}
    Rig(PortKind port, ChipKind kind, ChipTimingModel timing = {})
        : Rig(port, ChipState::erased(kind), timing) {}
    // An adapter wired as `fault` says (a --sim-wiring word).
    Rig(PortKind port, ChipKind kind, const std::string& fault)
        : adapter(clock, port, ChipState::erased(kind), {}, Wiring(parse(fault))) {}

    static WiringFault parse(const std::string& word) {
        WiringFault f;
        if (auto problem = ParseWiringFault(word, f)) throw std::invalid_argument(*problem);
        return f;
    }

    static std::uint8_t programMode(bool twelveVolts, std::uint8_t mode5V) {
        return twelveVolts ? static_cast<std::uint8_t>(mode5V & 0x7F) : mode5V;
    }

    std::array<std::uint8_t, 3> signature() {
        std::array<std::uint8_t, 3> bytes{};
        for (std::uint8_t i = 0; i < 3; ++i) {
            bus.LatchIdle(1);
            bus.LatchLow(static_cast<std::uint8_t>(0x30 + i), 1);
            bus.LatchHigh(0x80, 1);
            bytes[i] = bus.ReadStrobe(4, 20);
        }
        bus.SetControl(control::kRest);
        bus.SetControlOut(control::kRest);
        return bytes;
    }

    void erase(bool twelveVolts) {
        bus.LatchIdle(1);
        bus.BusDelay(20);
        bus.PutData(programMode(twelveVolts, 0xC0));
        bus.BusDelay(1);
        bus.SetControl(control::kHighStrobe);
        bus.BusDelay(1);
        bus.SetControl(control::kInput);
        bus.BusDelay(4);
        bus.SetControl(control::kInputEnable);
        bus.BusDelay(20);
        bus.SetControl(control::kPulseEnable);
        bus.Sleep(10);
        bus.SetControlOut(control::kRest);
        bus.ReleaseBus();
    }

    // One record's worth of bytes from `address` on.
    template <typename Bytes>
    void write(bool twelveVolts, std::uint16_t address, const Bytes& bytes,
               bool outputOnly = false) {
        bus.LatchIdle(1);
        bus.BusDelay(20);
        bus.SetControl(control::kRest);
        bus.BusDelay(1);
        for (std::uint8_t byte : bytes) {
            bus.LatchLow(static_cast<std::uint8_t>(address & 0xFF), 1);
            bus.LatchHigh(
                static_cast<std::uint8_t>(programMode(twelveVolts, 0xB0) | ((address >> 8) & 0x0F)),
                1);
            bus.PutData(byte);
            bus.BusDelay(1);
            bus.Sleep(1);
            if (outputOnly) bus.Sleep(1);
            bus.SetControl(control::kPulse);
            bus.BusDelay(1);
            bus.SetControl(control::kRest);
            bus.Sleep(3);
            ++address;
        }
        bus.ReleaseBus();
    }

    std::uint8_t readByte(std::uint16_t address, std::uint32_t d, std::uint32_t r1,
                          std::uint32_t r2) {
        bus.LatchIdle(d);
        bus.LatchLow(static_cast<std::uint8_t>(address & 0xFF), d);
        bus.LatchHigh(static_cast<std::uint8_t>(0xB0 | ((address >> 8) & 0x0F)), d);
        return bus.ReadStrobe(r1, r2);
    }

    // The read-out: every byte with four-times delays.
    chip::CodeBytes readOut() {
        chip::CodeBytes bytes{};
        for (std::size_t a = 0; a < bytes.size(); ++a) {
            bytes[a] = readByte(static_cast<std::uint16_t>(a), 4, 10, 40);
        }
        bus.ReleaseBus();
        return bytes;
    }

    // The verify's byte steps for one byte.
    std::uint8_t verifyByte(std::uint16_t address) {
        bus.LatchIdle(1);
        bus.BusDelay(20);
        bus.LatchLow(static_cast<std::uint8_t>(address & 0xFF), 1);
        bus.LatchHigh(static_cast<std::uint8_t>(0xB0 | ((address >> 8) & 0x0F)), 1);
        const std::uint8_t byte = bus.ReadStrobe(4, 20);
        bus.Sleep(1);
        return byte;
    }

    // Lock bits 1, 2 or 3, one command, then the release.
    void lock(bool twelveVolts, bool l1, bool l2, bool l3) {
        const std::array<std::uint8_t, 2> drivenModes{programMode(twelveVolts, 0xF0),
                                                      programMode(twelveVolts, 0xC0)};
        const std::array<bool, 2> drivenWanted{l1, l2};
        for (std::size_t i = 0; i < 2; ++i) {
            if (!drivenWanted[i]) continue;
            bus.LatchIdle(1);
            bus.PutData(drivenModes[i]);
            bus.BusDelay(1);
            bus.SetControl(control::kHighStrobe);
            bus.BusDelay(1);
            bus.SetControl(control::kRest);
            bus.Sleep(1);
            bus.SetControl(control::kPulse);
            bus.BusDelay(1);
            bus.SetControl(control::kRest);
        }
        if (l3) {
            bus.LatchIdle(1);
            bus.LatchHigh(programMode(twelveVolts, 0xE0), 1);
            bus.SetControl(control::kInput);
            bus.BusDelay(4);
            bus.SetControl(control::kInputEnable);
            bus.Sleep(1);
            bus.SetControl(control::kPulseEnable);
            bus.BusDelay(1);
            bus.SetControl(control::kRest);
        }
        bus.ReleaseBus();
    }
};

}  // namespace lpt51::sim::test
