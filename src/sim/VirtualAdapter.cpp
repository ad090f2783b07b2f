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
    std::uint8_t high = kIdleMode;
    bool contention = false;
};

VirtualAdapter::VirtualAdapter(const Clock& clock, PortKind portKind, ChipState chip,
                               ChipTimingModel timing)
    : clock_(clock),
      portKind_(portKind),
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
    const std::uint8_t undriven = portKind_ == PortKind::NoPullUps ? 0x00 : 0xFF;
    // P0 is open drain: the chip only pulls lines low, the pull-ups (or
    // nothing) make the ones.
    const std::uint8_t fromChip = chip ? static_cast<std::uint8_t>(*chip & undriven) : undriven;
    if (portDrives()) {
        return chip ? static_cast<std::uint8_t>(latches_->data & *chip) : latches_->data;
    }
    return fromChip;
}

std::uint8_t VirtualAdapter::lowLatch() const {
    return latches_->low;
}
std::uint8_t VirtualAdapter::highLatch() const {
    return latches_->high;
}

VirtualAdapter::ChipPins VirtualAdapter::inputs() const {
    const Latches& l = *latches_;
    ChipPins p{};
    p.address = static_cast<std::uint16_t>((l.high & mode_bits::kAddressHigh) << 8 | l.low);
    p.p26 = l.high & mode_bits::kP26;
    p.p27 = l.control & kP27High;
    p.p36 = l.high & mode_bits::kP36;
    p.p37 = l.high & mode_bits::kP37;
    p.twelveVolts = !(l.high & mode_bits::kVpp5V);
    p.portDrives = portDrives();
    return p;
}

VirtualAdapter::ChipPins VirtualAdapter::pins() const {
    ChipPins p = inputs();
    p.chipDrives = chipOutput().has_value();
    p.lines = lines();
    return p;
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
    const bool progWasLow = l.control & kProgLow;
    const bool progLow = value & kProgLow;
    // PROG going high is judged on the mode it ended in: P2.7 or the drivers
    // changing in the same write change nothing the pulse has done.
    if (progWasLow && !progLow) chip_.progRose(pins());
    l.control = value;
    settle();
    if (!progWasLow && progLow) chip_.progFell(pins(), driverWriting_);
}

void VirtualAdapter::writeControlFromDriver(std::uint8_t value) {
    driverWriting_ = true;
    writeControl(value);
    driverWriting_ = false;
}

}  // namespace lpt51::sim
