#include "sim/VirtualAdapter.h"

#include <cstdio>
#include <utility>

namespace lpt51::sim {

namespace {

// Control register bits as they reach the adapter (4, 6 and 7 do not).
constexpr std::uint8_t kLowLatchHolds = 0x01;
constexpr std::uint8_t kHighLatchHolds = 0x02;
constexpr std::uint8_t kP27High = 0x04;
constexpr std::uint8_t kProgLow = 0x08;
constexpr std::uint8_t kDriversOff = 0x20;

// High latch outputs.
constexpr std::uint8_t kAddressBits = 0x0F;
constexpr std::uint8_t kP37 = 0x10;
constexpr std::uint8_t kP36 = 0x20;
constexpr std::uint8_t kP26 = 0x40;
constexpr std::uint8_t kVpp5V = 0x80;  // cleared: 12 V on EA/VPP

// Address and enable to data valid: 48 oscillator periods, 4 us at 12 MHz.
constexpr Clock::Duration kReadAccess = std::chrono::microseconds(4);

enum class Mode { WriteCode, ReadCode, Lock1, Lock2, Lock3, Erase, Signature, Undefined };

Mode decodeMode(bool p26, bool p27, bool p36, bool p37) {
    const unsigned key = (p26 ? 8u : 0u) | (p27 ? 4u : 0u) | (p36 ? 2u : 0u) | (p37 ? 1u : 0u);
    switch (key) {
        case 0b0111:
            return Mode::WriteCode;
        case 0b0011:
            return Mode::ReadCode;
        case 0b1111:
            return Mode::Lock1;
        case 0b1100:
            return Mode::Lock2;
        case 0b1010:
            return Mode::Lock3;
        case 0b1000:
            return Mode::Erase;
        case 0b0000:
            return Mode::Signature;
        default:
            return Mode::Undefined;
    }
}

bool needsProgrammingVoltage(Mode mode) {
    return mode == Mode::WriteCode || mode == Mode::Lock1 || mode == Mode::Lock2 ||
           mode == Mode::Lock3 || mode == Mode::Erase;
}

const char* modeName(Mode mode) {
    switch (mode) {
        case Mode::WriteCode:
            return "write code byte";
        case Mode::ReadCode:
            return "read code byte";
        case Mode::Lock1:
            return "write lock bit 1";
        case Mode::Lock2:
            return "write lock bit 2";
        case Mode::Lock3:
            return "write lock bit 3";
        case Mode::Erase:
            return "chip erase";
        case Mode::Signature:
            return "read signature byte";
        case Mode::Undefined:
            break;
    }
    return "undefined mode";
}

std::string hex(unsigned value, int digits = 2) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

std::string micros(Clock::Duration d) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f us", static_cast<double>(d.count()) / 1000.0);
    return text;
}

std::uint8_t signatureByte(ChipKind kind, std::uint16_t address) {
    switch (address) {
        case 0x030:
            return 0x1E;
        case 0x031:
            return kind == ChipKind::Foreign ? 0x52 : 0x51;
        case 0x032:
            return kind == ChipKind::Part5V ? 0x05 : 0xFF;
        default:
            return 0xFF;  // not defined by the datasheet: the cells read erased
    }
}

}  // namespace

ChipState ChipState::erased(ChipKind kind) {
    ChipState state;
    state.kind = kind;
    state.code.fill(0xFF);
    return state;
}

struct VirtualAdapter::Model {
    // The port's registers as last written. The port is taken to start at
    // rest (latches holding, P2.7 high, no pulse, lines driving), the high
    // latch in the idle mode: the real power-up state is undefined.
    std::uint8_t data = 0x00;
    std::uint8_t control = 0x07;
    std::uint8_t low = 0x00;
    std::uint8_t high = 0x80;

    // The PROG pulse under way, if any, and what it started on.
    std::optional<Clock::Duration> progLowAt;
    Mode pulseMode = Mode::Undefined;
    bool pulseFromDriver = false;
    std::uint16_t pulseAddress = 0;
    std::uint8_t pulseData = 0;
    bool pulseRejected = false;

    std::optional<Clock::Duration> vppChangedAt;
    std::optional<Clock::Duration> lastProgrammingPulseEnd;

    // The self-timed write cycle after a code byte.
    std::optional<Clock::Duration> writeCycleEnd;
    std::uint8_t lastWritten = 0xFF;

    // When the chip's output last changed its address, mode or enable.
    Clock::Duration outputChangedAt{0};
    Mode lastMode = Mode::Undefined;
    std::uint16_t lastAddress = 0;

    bool contention = false;

    Mode mode() const {
        return decodeMode(high & kP26, control & kP27High, high & kP36, high & kP37);
    }
    std::uint16_t address() const {
        return static_cast<std::uint16_t>((high & kAddressBits) << 8 | low);
    }
    bool twelveVolts() const { return !(high & kVpp5V); }
};

VirtualAdapter::VirtualAdapter(const Clock& clock, PortKind portKind, ChipState chip)
    : clock_(clock),
      portKind_(portKind),
      chip_(std::move(chip)),
      model_(std::make_unique<Model>()) {
    model_->outputChangedAt = clock_.now();
    model_->lastMode = model_->mode();
    model_->lastAddress = model_->address();
}

VirtualAdapter::~VirtualAdapter() = default;

std::uint8_t VirtualAdapter::lines() const {
    const std::uint8_t undriven = portKind_ == PortKind::NoPullUps ? 0x00 : 0xFF;
    const std::optional<std::uint8_t> chip = chipOutput();
    // P0 is open drain: the chip only pulls lines low, the pull-ups (or
    // nothing) make the ones.
    const std::uint8_t fromChip = chip ? static_cast<std::uint8_t>(*chip & undriven) : undriven;
    if (portDrives()) return chip ? static_cast<std::uint8_t>(model_->data & *chip) : model_->data;
    return fromChip;
}

std::uint8_t VirtualAdapter::lowLatch() const {
    return model_->low;
}
std::uint8_t VirtualAdapter::highLatch() const {
    return model_->high;
}

VirtualAdapter::ChipPins VirtualAdapter::pins() const {
    const Model& m = *model_;
    ChipPins p{};
    p.address = m.address();
    p.p26 = m.high & kP26;
    p.p27 = m.control & kP27High;
    p.p36 = m.high & kP36;
    p.p37 = m.high & kP37;
    p.twelveVolts = m.twelveVolts();
    p.portDrives = portDrives();
    p.chipDrives = chipOutput().has_value();
    p.lines = lines();
    return p;
}

bool VirtualAdapter::portDrives() const {
    return portKind_ == PortKind::OutputOnly || !(model_->control & kDriversOff);
}

std::optional<std::uint8_t> VirtualAdapter::chipOutput() const {
    if (chip_.kind == ChipKind::Empty) return std::nullopt;
    const Model& m = *model_;
    const std::uint16_t address = m.address();
    switch (m.mode()) {
        case Mode::Signature:
            return signatureByte(chip_.kind, address);
        case Mode::ReadCode:
            if (m.writeCycleEnd && clock_.now() < *m.writeCycleEnd) {
                return static_cast<std::uint8_t>(m.lastWritten ^ 0x80);
            }
            if (chip_.lockBits[0] && chip_.lockBits[1]) return lockedReadPattern(address);
            return chip_.code[address % ChipState::kCodeSize];
        default:
            return std::nullopt;
    }
}

void VirtualAdapter::fault(std::string what) {
    faults_.push_back(Fault{clock_.now(), std::move(what)});
}

// Open latches follow the lines, and the lines may depend on the mode the
// high latch selects; a few rounds reach a steady state.
void VirtualAdapter::settle() {
    Model& m = *model_;
    const bool wasTwelveVolts = m.twelveVolts();
    for (int round = 0; round < 4; ++round) {
        const std::uint8_t now = lines();
        const std::uint8_t low = (m.control & kLowLatchHolds) ? m.low : now;
        const std::uint8_t high = (m.control & kHighLatchHolds) ? m.high : now;
        if (low == m.low && high == m.high) break;
        m.low = low;
        m.high = high;
    }
    if (m.twelveVolts() != wasTwelveVolts) onVppChange(wasTwelveVolts);
    if (m.mode() != m.lastMode || m.address() != m.lastAddress) {
        m.lastMode = m.mode();
        m.lastAddress = m.address();
        m.outputChangedAt = clock_.now();
    }
    checkContention();
}

void VirtualAdapter::checkContention() {
    Model& m = *model_;
    const std::optional<std::uint8_t> chip = chipOutput();
    const bool contention = chip.has_value() && portDrives();
    if (contention && !m.contention) {
        fault("bus contention: port drives " + hex(m.data) + " while the chip drives " +
              hex(*chip));
    }
    m.contention = contention;
}

void VirtualAdapter::onVppChange(bool wasTwelveVolts) {
    Model& m = *model_;
    const Clock::Duration now = clock_.now();
    if (m.progLowAt && needsProgrammingVoltage(m.pulseMode)) {
        fault(std::string("programming voltage changed to ") + (wasTwelveVolts ? "5 V" : "12 V") +
              " during the PROG pulse");
        m.pulseRejected = true;
    } else if (m.lastProgrammingPulseEnd && now - *m.lastProgrammingPulseEnd < kVppSetupHold) {
        fault("programming voltage held only " + micros(now - *m.lastProgrammingPulseEnd) +
              " after PROG went high (10 us needed)");
    }
    m.vppChangedAt = now;
}

void VirtualAdapter::onProgLow() {
    Model& m = *model_;
    const Clock::Duration now = clock_.now();
    m.progLowAt = now;
    m.pulseMode = m.mode();
    m.pulseFromDriver = driverWriting_;
    m.pulseAddress = m.address();
    m.pulseData = lines();
    m.pulseRejected = false;
    if (m.writeCycleEnd && now < *m.writeCycleEnd) {
        fault("PROG pulse during the write cycle of the previous byte (" +
              micros(*m.writeCycleEnd - now) + " left)");
        m.pulseRejected = true;
    }
    if (needsProgrammingVoltage(m.pulseMode) && m.vppChangedAt &&
        now - *m.vppChangedAt < kVppSetupHold) {
        fault("programming voltage set up only " + micros(now - *m.vppChangedAt) +
              " before PROG went low (10 us needed)");
        m.pulseRejected = true;
    }
}

void VirtualAdapter::onProgHigh() {
    Model& m = *model_;
    const Clock::Duration now = clock_.now();
    const Clock::Duration width = now - m.progLowAt.value_or(now);
    m.progLowAt.reset();
    if (!needsProgrammingVoltage(m.pulseMode)) {
        if (m.pulseFromDriver) {
            ++driverPulses_;
            return;
        }
        fault(std::string("PROG pulse in ") + modeName(m.pulseMode) + " (address " +
              hex(m.pulseAddress, 3) + "): ignored");
        return;
    }
    m.lastProgrammingPulseEnd = now;
    if (m.mode() != m.pulseMode) {
        fault(std::string("mode changed during the PROG pulse from ") + modeName(m.pulseMode) +
              " to " + modeName(m.mode()) + ": nothing programmed");
        return;
    }
    if (m.pulseRejected) return;
    switch (m.pulseMode) {
        case Mode::WriteCode:
            programCodeByte(width);
            break;
        case Mode::Lock1:
            programLockBit(0, width);
            break;
        case Mode::Lock2:
            programLockBit(1, width);
            break;
        case Mode::Lock3:
            programLockBit(2, width);
            break;
        case Mode::Erase:
            eraseChip(width);
            break;
        default:
            break;
    }
}

// The checks every programming pulse shares: a chip that takes it and the
// voltage its variant needs.
bool VirtualAdapter::programmingAllowed(const char* what) {
    if (chip_.kind == ChipKind::Empty || chip_.kind == ChipKind::Foreign) return false;
    const bool twelveVolts = model_->twelveVolts();
    if (chip_.kind == ChipKind::Part5V && twelveVolts) {
        fault(std::string("12 V on EA/VPP of the 5 V part during ") + what +
              ": nothing programmed");
        return false;
    }
    if (chip_.kind == ChipKind::Part12V && !twelveVolts) {
        fault(std::string("5 V on EA/VPP of the 12 V part during ") + what +
              ": nothing programmed");
        return false;
    }
    return true;
}

void VirtualAdapter::programCodeByte(Clock::Duration width) {
    Model& m = *model_;
    const std::uint16_t address = m.pulseAddress;
    if (m.address() != address || lines() != m.pulseData) {
        fault("address or data changed during the PROG pulse for " + hex(address, 3) +
              ": nothing programmed");
        return;
    }
    if (width < kMinPulse) {
        fault("PROG pulse of " + micros(width) + " for code byte " + hex(address, 3) +
              " (1 to 110 us): nothing programmed");
        return;
    }
    if (!programmingAllowed("a code byte write")) return;
    if (width > kMaxPulse) {
        fault("PROG pulse of " + micros(width) + " for code byte " + hex(address, 3) +
              " (1 to 110 us): programmed, but beyond the datasheet");
    }
    if (chip_.lockBits[0]) {
        fault("programming while locked (LB1 set): code byte " + hex(address, 3) + " unchanged");
        return;
    }
    std::uint8_t value = m.pulseData;
    for (std::uint16_t weak : chip_.weakCells) {
        if ((weak % ChipState::kCodeSize) == address) value |= chip_.stuckMask;
    }
    chip_.code[address] &= value;
    m.lastWritten = m.pulseData;
    m.writeCycleEnd = clock_.now() + kWriteCycle;
    ++programPulses_;
}

void VirtualAdapter::programLockBit(std::size_t bit, Clock::Duration width) {
    if (width < kMinPulse) {
        fault("PROG pulse of " + micros(width) + " for lock bit " + std::to_string(bit + 1) +
              " (1 to 110 us): nothing programmed");
        return;
    }
    if (!programmingAllowed("a lock bit write")) return;
    if (width > kMaxPulse) {
        fault("PROG pulse of " + micros(width) + " for lock bit " + std::to_string(bit + 1) +
              " (1 to 110 us): programmed, but beyond the datasheet");
    }
    chip_.lockBits[bit] = true;
}

void VirtualAdapter::eraseChip(Clock::Duration width) {
    if (width < kErasePulse) {
        fault("erase pulse of " + micros(width) + " (10 ms needed): nothing erased");
        return;
    }
    if (!programmingAllowed("chip erase")) return;
    chip_.code.fill(0xFF);
    chip_.lockBits = {false, false, false};
    ++erasePulses_;
}

std::uint8_t VirtualAdapter::readData() {
    const Model& m = *model_;
    const Clock::Duration now = clock_.now();
    if (chipOutput()) {
        if (m.writeCycleEnd && now < *m.writeCycleEnd) {
            fault("read of " + hex(m.address(), 3) + " during the write cycle (" +
                  micros(*m.writeCycleEnd - now) + " left)");
        } else if (now - m.outputChangedAt < kReadAccess) {
            fault("read of " + hex(m.address(), 3) + " only " + micros(now - m.outputChangedAt) +
                  " after address or enable changed (data not yet valid)");
        }
    }
    if (portKind_ == PortKind::OutputOnly) return m.data;
    return lines();
}

void VirtualAdapter::writeData(std::uint8_t value) {
    model_->data = value;
    settle();
}

std::uint8_t VirtualAdapter::readControl() {
    return model_->control;
}

void VirtualAdapter::writeControl(std::uint8_t value) {
    Model& m = *model_;
    const bool progWasLow = m.control & kProgLow;
    const bool progLow = value & kProgLow;
    // PROG going high is judged on the mode it ended in: P2.7 or the drivers
    // changing in the same write change nothing the pulse has done.
    if (progWasLow && !progLow) onProgHigh();
    m.control = value;
    settle();
    if (!progWasLow && progLow) onProgLow();
}

void VirtualAdapter::writeControlFromDriver(std::uint8_t value) {
    driverWriting_ = true;
    writeControl(value);
    driverWriting_ = false;
}

}  // namespace lpt51::sim
