// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/VirtualAdapter.h"

#include <utility>

#include "port/Bus.h"
#include "port/ControlBits.h"

namespace lpt51::sim {

using namespace control_bits;
namespace mode_bits = chip::mode_bits;

// The port's registers as last written and the two latches. The port is
// taken to start at rest (latches holding, P2.7 high, no pulse, lines
// driving), the high latch in the idle mode: the real power-up state is
// undefined.
struct VirtualAdapter::Latches {
    std::uint8_t data = 0x00;
    std::uint8_t control = control::kRest;
    std::uint8_t low = 0x00;
    std::uint8_t high = chip::kAt89c51.idleMode;
    bool contention = false;
};

VirtualAdapter::VirtualAdapter(const Clock& clock, PortKind portKind, ChipState chip,
                               ChipTimingModel timing, Wiring wiring)
    : clock_(clock),
      portKind_(portKind),
      wiring_(std::move(wiring)),
      log_(clock),
      chip_(clock, std::move(chip), log_, timing),
      latches_(std::make_unique<Latches>()) {
    chip_.pinsChanged(pins());
}

VirtualAdapter::~VirtualAdapter() = default;

std::uint8_t VirtualAdapter::lines() const {
    return linesWith(chipOutput());
}

std::uint8_t VirtualAdapter::linesWith(std::optional<std::uint8_t> chip) const {
    // Where a line has no pull-up, nobody driving it reads 0.
    const std::uint8_t undriven = portKind_ == PortKind::NoPullUps ? 0x00 : wiring_.pullUps();
    // P0 is open drain: the chip only pulls lines low, on the lines its pins
    // are wired to; the pull-ups (or nothing) make the ones.
    std::uint8_t pulledLow = 0;
    for (int k = 0; chip && k < 8; ++k) {
        const int line = wiring_.lineAtP0(k);
        if (line >= 0 && ((*chip >> k) & 1) == 0)
            pulledLow |= static_cast<std::uint8_t>(1u << line);
    }
    const std::uint8_t driven = portDrives() ? latches_->data : undriven;
    return static_cast<std::uint8_t>(driven & ~pulledLow & ~wiring_.grounded());
}

std::uint8_t VirtualAdapter::lowLatch() const {
    return latches_->low;
}
std::uint8_t VirtualAdapter::highLatch() const {
    return latches_->high;
}

Wiring::Drivers VirtualAdapter::drivers(std::uint8_t lines) const {
    const Latches& l = *latches_;
    return {lines, l.control, l.low, l.high};
}

// Every pin as the wiring table (and its fault) connects it.
VirtualAdapter::ChipPins VirtualAdapter::inputs() const {
    using namespace chip::socket_pins;
    const Wiring::Drivers d = drivers(linesWith(std::nullopt));
    ChipPins p{};
    for (int a = 0; a < 12; ++a) {
        if (wiring_.high(AddressPin(a), d)) p.address |= static_cast<std::uint16_t>(1u << a);
    }
    p.p26 = wiring_.high(kP26, d);
    p.p27 = wiring_.high(kP27, d);
    p.p36 = wiring_.high(kP36, d);
    p.p37 = wiring_.high(kP37, d);
    p.twelveVolts = wiring_.level(kVpp, d) == PinLevel::Volts12;
    p.portDrives = portDrives();
    return p;
}

VirtualAdapter::ChipPins VirtualAdapter::pins() const {
    ChipPins p = inputs();
    const std::optional<std::uint8_t> output = chipOutput();
    p.chipDrives = output.has_value();
    // P0 as the chip's pins see the lines.
    const Wiring::Drivers d = drivers(linesWith(output));
    p.lines = 0;
    for (int k = 0; k < 8; ++k) {
        if (wiring_.high(chip::socket_pins::DataPin(k), d))
            p.lines |= static_cast<std::uint8_t>(1u << k);
    }
    return p;
}

PinLevel VirtualAdapter::socketPin(int pin) const {
    return wiring_.level(pin, drivers(lines()));
}

bool VirtualAdapter::progLow(std::uint8_t control) const {
    Wiring::Drivers d = drivers(latches_->data);
    d.control = control;
    return wiring_.level(chip::socket_pins::kProg, d) == PinLevel::Low;
}

bool VirtualAdapter::portDrives() const {
    return portKind_ == PortKind::OutputOnly || !(latches_->control & kDataInput);
}

std::optional<std::uint8_t> VirtualAdapter::chipOutput() const {
    return chip_.output(inputs());
}

// Open latches follow the lines, and the lines may depend on the mode the
// high latch selects; a few rounds reach a steady state.
void VirtualAdapter::settle() {
    Latches& l = *latches_;
    for (int round = 0; round < 4; ++round) {
        const std::uint8_t now = lines();
        const std::uint8_t low = (l.control & kLowLatchHolds) ? l.low : now;
        const std::uint8_t high = (l.control & kHighLatchHolds) ? l.high : now;
        if (low == l.low && high == l.high) break;
        l.low = low;
        l.high = high;
    }
    chip_.pinsChanged(pins());
    checkContention();
}

void VirtualAdapter::checkContention() {
    Latches& l = *latches_;
    const std::optional<std::uint8_t> chip = chipOutput();
    const bool contention = chip.has_value() && portDrives();
    if (contention && !l.contention) {
        log_.add("bus contention", "bus contention: port drives " + Hex(l.data) +
                                       " while the chip drives " + Hex(*chip));
    }
    l.contention = contention;
}

std::uint8_t VirtualAdapter::readData() {
    const std::optional<std::uint8_t> early = chip_.beforeRead(pins());
    if (portKind_ == PortKind::OutputOnly) return latches_->data;
    return early ? linesWith(early) : lines();
}

void VirtualAdapter::writeData(std::uint8_t value) {
    latches_->data = value;
    settle();
}

std::uint8_t VirtualAdapter::readControl() {
    return latches_->control;
}

void VirtualAdapter::writeControl(std::uint8_t value) {
    Latches& l = *latches_;
    // Open latches follow the lines as they are now: the chip may have let
    // go of them since the last write.
    const std::uint8_t holds = kLowLatchHolds | kHighLatchHolds;
    if ((l.control & holds) != holds) settle();
    const std::uint8_t closing = static_cast<std::uint8_t>(~l.control & value & holds);
    if (closing != 0) {
        if (const std::optional<std::uint8_t> chip = chipOutput()) {
            log_.add("latch closed on the chip's output",
                     std::string(closing & kHighLatchHolds ? "high" : "low") +
                         " latch closed on the lines while the chip drives " + Hex(*chip));
        }
    }
    const bool progWasLow = progLow(l.control);
    const bool progIsLow = progLow(value);
    // PROG going high is judged on the mode it ended in: P2.7 or the drivers
    // changing in the same write change nothing the pulse has done.
    if (progWasLow && !progIsLow) chip_.progRose(pins());
    l.control = value;
    settle();
    if (!progWasLow && progIsLow) chip_.progFell(pins(), driverWriting_);
}

void VirtualAdapter::writeControlFromDriver(std::uint8_t value) {
    driverWriting_ = true;
    writeControl(value);
    driverWriting_ = false;
}

}  // namespace lpt51::sim
