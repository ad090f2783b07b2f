#include "sim/VirtualChip.h"

#include <cstdio>
#include <utility>

namespace lpt51::sim {

using chip::kAt89c51;
using chip::Operation;

namespace {

const chip::Timing& kTiming = kAt89c51.timing;

// The second signature byte of the chip ChipKind::Foreign stands for.
constexpr std::uint8_t kForeignDevice = 0x52;

bool programs(std::optional<Operation> mode) {
    return mode && kAt89c51.mode(*mode).programs;
}

std::string micros(Clock::Duration d) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f us", static_cast<double>(d.count()) / 1000.0);
    return text;
}

std::uint8_t signatureByte(ChipKind kind, std::uint16_t address) {
    const unsigned first = kAt89c51.signatureAddress;
    if (address == first) return kAt89c51.manufacturer;
    if (address == first + 1) return kind == ChipKind::Foreign ? kForeignDevice : kAt89c51.device;
    if (address == first + 2) {
        return kAt89c51.signature(kind == ChipKind::Part5V ? chip::Variant::Volts5
                                                           : chip::Variant::Volts12);
    }
    return 0xFF;  // not defined by the datasheet: the cells read erased
}

}  // namespace

std::optional<Operation> DecodeMode(const ChipPins& pins) {
    for (const chip::ModeEntry& m : kAt89c51.modes) {
        if (m.p26 == pins.p26 && m.p27() == pins.p27 && m.p36 == pins.p36 && m.p37 == pins.p37) {
            return m.operation;
        }
    }
    return std::nullopt;
}

const char* ModeName(std::optional<Operation> mode) {
    return mode ? kAt89c51.mode(*mode).name : "undefined mode";
}

std::string Hex(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

ChipState ChipState::erased(ChipKind kind) {
    ChipState state;
    state.kind = kind;
    state.code.fill(0xFF);
    return state;
}

VirtualChip::VirtualChip(const Clock& clock, ChipState state, FaultLog& log)
    : clock_(clock), state_(std::move(state)), log_(log) {}

std::optional<std::uint8_t> VirtualChip::output(const ChipPins& pins) const {
    if (state_.kind == ChipKind::Empty) return std::nullopt;
    const std::optional<Operation> mode = DecodeMode(pins);
    if (mode == Operation::ReadSignature) return signatureByte(state_.kind, pins.address);
    if (mode != Operation::ReadCode) return std::nullopt;
    if (writeCycleEnd_ && clock_.now() < *writeCycleEnd_) {
        return static_cast<std::uint8_t>(lastWritten_ ^ 0x80);
    }
    if (state_.lockBits[0] && state_.lockBits[1]) return lockedReadPattern(pins.address);
    return state_.code[pins.address % chip::kCodeSize];
}

void VirtualChip::pinsChanged(const ChipPins& pins) {
    if (!last_) {
        last_ = pins;
        outputChangedAt_ = clock_.now();
        return;
    }
    if (pins.twelveVolts != last_->twelveVolts) onVppChange(last_->twelveVolts);
    if (DecodeMode(pins) != DecodeMode(*last_) || pins.address != last_->address) {
        outputChangedAt_ = clock_.now();
    }
    last_ = pins;
}

void VirtualChip::onVppChange(bool wasTwelveVolts) {
    const Clock::Duration now = clock_.now();
    if (progLowAt_ && programs(pulseMode_)) {
        fault("voltage changed during a pulse", std::string("programming voltage changed to ") +
                                                    (wasTwelveVolts ? "5 V" : "12 V") +
                                                    " during the PROG pulse");
        pulseRejected_ = true;
    } else if (lastProgrammingPulseEnd_ && now - *lastProgrammingPulseEnd_ < kTiming.vppSetupHold) {
        fault("programming voltage held too briefly", "programming voltage held only " +
                                                          micros(now - *lastProgrammingPulseEnd_) +
                                                          " after PROG went high (10 us needed)");
    }
    vppChangedAt_ = now;
}

void VirtualChip::progFell(const ChipPins& pins, bool fromDriver) {
    const Clock::Duration now = clock_.now();
    progLowAt_ = now;
    pulseMode_ = DecodeMode(pins);
    pulseFromDriver_ = fromDriver;
    pulseAddress_ = pins.address;
    pulseData_ = pins.lines;
    pulseRejected_ = false;
    if (writeCycleEnd_ && now < *writeCycleEnd_) {
        fault("pulse during the write cycle",
              "PROG pulse during the write cycle of the previous byte (" +
                  micros(*writeCycleEnd_ - now) + " left)");
        pulseRejected_ = true;
    }
    if (programs(pulseMode_) && vppChangedAt_ && now - *vppChangedAt_ < kTiming.vppSetupHold) {
        fault("programming voltage set up too briefly", "programming voltage set up only " +
                                                            micros(now - *vppChangedAt_) +
                                                            " before PROG went low (10 us needed)");
        pulseRejected_ = true;
    }
}

void VirtualChip::progRose(const ChipPins& pins) {
    const Clock::Duration now = clock_.now();
    const Clock::Duration width = now - progLowAt_.value_or(now);
    progLowAt_.reset();
    if (!programs(pulseMode_)) {
        if (pulseFromDriver_) {
            ++driverPulses_;
            return;
        }
        fault("pulse in a mode that programs nothing", std::string("PROG pulse in ") +
                                                           ModeName(pulseMode_) + " (address " +
                                                           Hex(pulseAddress_, 3) + "): ignored");
        return;
    }
    lastProgrammingPulseEnd_ = now;
    const std::optional<Operation> mode = DecodeMode(pins);
    if (mode != pulseMode_) {
        fault("mode changed during a pulse",
              std::string("mode changed during the PROG pulse from ") + ModeName(pulseMode_) +
                  " to " + ModeName(mode) + ": nothing programmed");
        return;
    }
    if (pulseRejected_) return;
    switch (*pulseMode_) {
        case Operation::ProgramCode:
            programCodeByte(pins, width);
            break;
        case Operation::LockBit1:
            programLockBit(0, width, pins.twelveVolts);
            break;
        case Operation::LockBit2:
            programLockBit(1, width, pins.twelveVolts);
            break;
        case Operation::LockBit3:
            programLockBit(2, width, pins.twelveVolts);
            break;
        case Operation::Erase:
            eraseChip(width, pins.twelveVolts);
            break;
        case Operation::ReadCode:
        case Operation::ReadSignature:
            break;
    }
}

// The checks every programming pulse shares: a chip that takes it and the
// voltage its variant needs.
bool VirtualChip::programmingAllowed(bool twelveVolts, const char* what) {
    if (state_.kind == ChipKind::Empty || state_.kind == ChipKind::Foreign) return false;
    if (state_.kind == ChipKind::Part5V && twelveVolts) {
        fault("wrong programming voltage", std::string("12 V on EA/VPP of the 5 V part during ") +
                                               what + ": nothing programmed");
        return false;
    }
    if (state_.kind == ChipKind::Part12V && !twelveVolts) {
        fault("wrong programming voltage", std::string("5 V on EA/VPP of the 12 V part during ") +
                                               what + ": nothing programmed");
        return false;
    }
    return true;
}

void VirtualChip::programCodeByte(const ChipPins& pins, Clock::Duration width) {
    const std::uint16_t address = pulseAddress_;
    if (pins.address != address || pins.lines != pulseData_) {
        fault("address or data changed during a pulse",
              "address or data changed during the PROG pulse for " + Hex(address, 3) +
                  ": nothing programmed");
        return;
    }
    const std::string what = "code byte " + Hex(address, 3);
    if (width < kTiming.minPulse) {
        fault("pulse too short", "PROG pulse of " + micros(width) + " for " + what +
                                     " (1 to 110 us): nothing programmed");
        return;
    }
    if (!programmingAllowed(pins.twelveVolts, "a code byte write")) return;
    if (width > kTiming.maxPulse) {
        stretchedPulse(width, what, address, 0);
        if (state_.overlongPulses == OverlongPulse::ProgramsNothing) return;
    }
    if (state_.lockBits[0]) {
        fault("programming while locked",
              "programming while locked (LB1 set): code byte " + Hex(address, 3) + " unchanged");
        return;
    }
    std::uint8_t value = pulseData_;
    for (std::uint16_t weak : state_.weakCells) {
        if ((weak % chip::kCodeSize) == address) value |= state_.stuckMask;
    }
    state_.code[address] &= value;
    lastWritten_ = pulseData_;
    writeCycleEnd_ = clock_.now() + kTiming.writeCycle;
    ++programPulses_;
}

void VirtualChip::stretchedPulse(Clock::Duration width, const std::string& what,
                                 std::uint16_t address, int lockBit) {
    const bool nothing = state_.overlongPulses == OverlongPulse::ProgramsNothing;
    Fault f{clock_.now(),
            "PROG pulse of " + micros(width) + " for " + what + " (1 to 110 us): " +
                (nothing ? "nothing programmed" : "programmed, but beyond the datasheet"),
            kStretchedPulseKind, std::nullopt, lockBit};
    if (lockBit == 0) f.codeByte = address;
    log_.add(std::move(f));
}

void VirtualChip::programLockBit(std::size_t bit, Clock::Duration width, bool twelveVolts) {
    const std::string what = "lock bit " + std::to_string(bit + 1);
    if (width < kTiming.minPulse) {
        fault("pulse too short", "PROG pulse of " + micros(width) + " for " + what +
                                     " (1 to 110 us): nothing programmed");
        return;
    }
    if (!programmingAllowed(twelveVolts, "a lock bit write")) return;
    if (width > kTiming.maxPulse) {
        stretchedPulse(width, what, 0, static_cast<int>(bit) + 1);
        if (state_.overlongPulses == OverlongPulse::ProgramsNothing) return;
    }
    state_.lockBits[bit] = true;
}

void VirtualChip::eraseChip(Clock::Duration width, bool twelveVolts) {
    if (width < kTiming.erasePulse) {
        fault("erase pulse too short",
              "erase pulse of " + micros(width) + " (10 ms needed): nothing erased");
        return;
    }
    if (!programmingAllowed(twelveVolts, "chip erase")) return;
    state_.code.fill(0xFF);
    state_.lockBits = {false, false, false};
    ++erasePulses_;
}

void VirtualChip::beforeRead(const ChipPins& pins) {
    if (!output(pins)) return;
    const Clock::Duration now = clock_.now();
    if (writeCycleEnd_ && now < *writeCycleEnd_) {
        fault("read during the write cycle", "read of " + Hex(pins.address, 3) +
                                                 " during the write cycle (" +
                                                 micros(*writeCycleEnd_ - now) + " left)");
    } else if (now - outputChangedAt_ < kTiming.readAccess) {
        fault("read before the data was valid",
              "read of " + Hex(pins.address, 3) + " only " + micros(now - outputChangedAt_) +
                  " after address or enable changed (data not yet valid)");
    }
}

}  // namespace lpt51::sim
