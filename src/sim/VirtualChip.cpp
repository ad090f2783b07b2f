// SPDX-License-Identifier: GPL-3.0-or-later
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

VirtualChip::VirtualChip(const Clock& clock, ChipState state, FaultLog& log, ChipTimingModel timing)
    : clock_(clock), timing_(timing), state_(std::move(state)), log_(log) {}

std::string VirtualChip::needed() const {
    char text[48];
    std::snprintf(text, sizeof text, " (%s needed at %g MHz)", micros(timing_.setupTime()).c_str(),
                  timing_.oscMHz);
    return text;
}

std::optional<std::uint8_t> VirtualChip::output(const ChipPins& pins) const {
    if (const std::optional<std::uint8_t> byte = driven(pins)) return byte;
    // P2.7 rising now: the adapter asks before the chip has seen it.
    if (last_ && !last_->p27 && pins.p27) {
        if (const std::optional<std::uint8_t> byte = driven(*last_)) return byte;
    }
    if (floatEnd_ && clock_.now() < *floatEnd_) return floatByte_;
    return std::nullopt;
}

std::optional<std::uint8_t> VirtualChip::driven(const ChipPins& pins) const {
    if (state_.kind == ChipKind::Empty) return std::nullopt;
    const std::optional<Operation> mode = DecodeMode(pins);
    if (mode == Operation::ReadSignature) return signatureByte(state_.kind, pins.address);
    if (mode != Operation::ReadCode) return std::nullopt;
    if (writeCycleEnd_ && clock_.now() < *writeCycleEnd_) {
        // Data polling: the complement of the written bit 7, the rest undefined.
        if (pins.address != writingAddress_) return noise();
        return static_cast<std::uint8_t>((~lastWritten_ & 0x80) | (noise() & 0x7F));
    }
    if (state_.lockBits[0] && state_.lockBits[1]) return lockedReadPattern(pins.address);
    return state_.code[pins.address % chip::kCodeSize];
}

void VirtualChip::pinsChanged(const ChipPins& pins) {
    const Clock::Duration now = clock_.now();
    if (!last_) {
        // Whatever the pins show at power-up has been so for long.
        const Clock::Duration longAgo = now - std::chrono::seconds(1);
        last_ = pins;
        outputChangedAt_ = now;
        addressChangedAt_ = linesChangedAt_ = longAgo;
        if (pins.p27) p27HighAt_ = longAgo;
        return;
    }
    checkHold(pins);
    if (pins.p27 != last_->p27) {
        if (pins.p27) {
            p27HighAt_ = now;
            if (const std::optional<std::uint8_t> byte = driven(*last_)) {
                floatByte_ = *byte;
                floatEnd_ = now + timing_.setupTime();
            }
        } else {
            p27HighAt_.reset();
        }
    }
    if (pins.twelveVolts != last_->twelveVolts) {
        onVppChange(last_->twelveVolts);
        if (pins.twelveVolts) {
            p27BeforeVpp_.reset();
            if (p27HighAt_) p27BeforeVpp_ = now - *p27HighAt_;
        }
    }
    if (pins.address != last_->address) addressChangedAt_ = now;
    if (pins.lines != last_->lines) linesChangedAt_ = now;
    if (DecodeMode(pins) != DecodeMode(*last_) || pins.address != last_->address) {
        outputChangedAt_ = now;
    }
    last_ = pins;
}

// Address and data are held for 48 periods after a code byte's PROG rises.
void VirtualChip::checkHold(const ChipPins& pins) {
    if (!codePulseEnd_) return;
    const Clock::Duration since = clock_.now() - *codePulseEnd_;
    if (since >= timing_.setupTime()) {
        codePulseEnd_.reset();
        return;
    }
    const auto byte = [this] { return Hex(last_->address, 3); };
    if (pins.address != last_->address && !addressHoldBroken_) {
        addressHoldBroken_ = true;
        fault("address or data held too briefly", "address of code byte " + byte() + " held only " +
                                                      micros(since) + " after PROG went high" +
                                                      needed());
    }
    if (pins.lines != last_->lines && !dataHoldBroken_) {
        dataHoldBroken_ = true;
        fault("address or data held too briefly", "data of code byte " + byte() + " held only " +
                                                      micros(since) + " after PROG went high" +
                                                      needed());
    }
}

// What must have stood still for 48 periods when PROG falls.
void VirtualChip::checkSetup(const ChipPins& pins) {
    const Clock::Duration now = clock_.now();
    const Clock::Duration setup = timing_.setupTime();
    if (pulseMode_ == Operation::ProgramCode) {
        const std::string byte = Hex(pins.address, 3);
        if (now - addressChangedAt_ < setup) {
            fault("address or data set up too briefly",
                  "address of code byte " + byte + " set up only " +
                      micros(now - addressChangedAt_) + " before PROG went low" + needed());
        }
        if (now - linesChangedAt_ < setup) {
            fault("address or data set up too briefly",
                  "data of code byte " + byte + " set up only " + micros(now - linesChangedAt_) +
                      " before PROG went low" + needed());
        }
    }
    if (pins.twelveVolts && vppChangedAt_) {
        if (!p27BeforeVpp_) {
            fault("programming voltage before P2.7",
                  "programming voltage switched on while P2.7 was low");
        } else if (*p27BeforeVpp_ < setup) {
            fault("programming voltage before P2.7", "programming voltage switched on only " +
                                                         micros(*p27BeforeVpp_) +
                                                         " after P2.7 went high" + needed());
        }
        p27BeforeVpp_ = setup;  // judged once each time it comes on
    }
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
    if (programs(pulseMode_) && !fromDriver && state_.kind != ChipKind::Empty &&
        state_.kind != ChipKind::Foreign) {
        checkSetup(pins);
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
    writingAddress_ = address;
    writeCycleEnd_ = clock_.now() + timing_.writeCycle;
    codePulseEnd_ = clock_.now();
    addressHoldBroken_ = dataHoldBroken_ = false;
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

std::optional<std::uint8_t> VirtualChip::beforeRead(const ChipPins& pins) {
    // xorshift: the undefined bits of this read.
    noise_ ^= noise_ << 13;
    noise_ ^= noise_ >> 17;
    noise_ ^= noise_ << 5;
    if (!output(pins)) return std::nullopt;
    const Clock::Duration now = clock_.now();
    const bool polling = DecodeMode(pins) == Operation::ReadCode && pins.address == writingAddress_;
    if (writeCycleEnd_ && now < *writeCycleEnd_ && !polling) {
        fault("read during the write cycle",
              "read of " + Hex(pins.address, 3) + " in " + ModeName(DecodeMode(pins)) +
                  " during the write cycle of " + Hex(writingAddress_, 3) + " (" +
                  micros(*writeCycleEnd_ - now) + " left)");
    }
    if (now - outputChangedAt_ < timing_.setupTime()) {
        fault("read before the data was valid",
              "read of " + Hex(pins.address, 3) + " only " + micros(now - outputChangedAt_) +
                  " after address or enable changed (data not yet valid, " + needed().substr(2));
        return noise();
    }
    return std::nullopt;
}

}  // namespace lpt51::sim
