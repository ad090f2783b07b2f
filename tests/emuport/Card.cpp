// SPDX-License-Identifier: GPL-3.0-or-later
#include "Card.h"

#include <algorithm>
#include <cstdio>

#include "port/ControlBits.h"

namespace lpt51::emuport {

namespace {

using control_bits::kDataInput;
using control_bits::kProgLow;
constexpr std::uint8_t kEcrMode = 0xE0;
constexpr std::uint8_t kEcrSpp = 0x00;
constexpr std::uint8_t kEcrFifo = 0x40;
// The status lines are not wired by the adapter: the inputs float high, and
// BUSY (bit 7) reads inverted.
constexpr std::uint8_t kStatusFloating = 0x7F;

}  // namespace

Card::Card(const Settings& settings, sim::VirtualAdapter& adapter, RegisterLog& log)
    : settings_(settings), adapter_(adapter), log_(log) {
    if (settings.ecrAtBoot) ecr_ = static_cast<std::uint8_t>(*settings.ecrAtBoot);
    // The adapter starts at rest too; bit 5 may already be without effect.
    forwardControl(false);
}

bool Card::directionWorks() const {
    if (!ecr_) return true;
    const std::uint8_t mode = *ecr_ & kEcrMode;
    return mode != kEcrSpp && mode != kEcrFifo;
}

void Card::forwardControl(bool byDriver) {
    const auto value =
        static_cast<std::uint8_t>(directionWorks() ? control_ : control_ & ~kDataInput);
    if (byDriver) {
        adapter_.writeControlFromDriver(value);
    } else {
        adapter_.writeControl(value);
    }
}

std::uint8_t Card::readData(const char* cause) {
    const std::uint8_t value = adapter_.readData();
    log_.access("data", 'r', value, cause);
    return value;
}

void Card::writeData(std::uint8_t value, const char* cause) {
    log_.access("data", 'w', value, cause);
    adapter_.writeData(value);
}

std::uint8_t Card::readStatus(const char* cause) {
    log_.access("status", 'r', kStatusFloating, cause);
    return kStatusFloating;
}

std::uint8_t Card::readControl(const char* cause) {
    log_.access("control", 'r', control_, cause);
    return control_;
}

void Card::writeControl(std::uint8_t value, const char* cause, bool byDriver) {
    log_.access("control", 'w', value, cause);
    const bool wasLow = (control_ & kProgLow) != 0;
    const bool low = (value & kProgLow) != 0;
    control_ = value;
    forwardControl(byDriver);
    const double now = log_.micros();
    if (!wasLow && low && byDriver) driverProgLowSince_ = now;
    if (wasLow && !low) {
        if (driverProgLowSince_) {
            const double held = now - *driverProgLowSince_;
            longestDriverProgLow_ = std::max(longestDriverProgLow_.value_or(0.0), held);
        }
        driverProgLowSince_.reset();
    }
}

std::uint8_t Card::readEcr(const char* cause) {
    // In PS/2 and SPP mode the FIFO is empty (bit 0) and never full (bit 1).
    const auto value = static_cast<std::uint8_t>((*ecr_ & 0xFC) | 0x01);
    log_.access("ecr", 'r', value, cause);
    return value;
}

void Card::writeEcr(std::uint8_t value, const char* cause, bool byDriver) {
    log_.access("ecr", 'w', value, cause);
    const bool worked = directionWorks();
    ecr_ = value;
    if (directionWorks() != worked) forwardControl(byDriver);
}

void Card::otherAddress(unsigned long address, char direction, std::uint8_t value,
                        const char* cause) {
    char reg[24];
    std::snprintf(reg, sizeof reg, "io:0x%lX", address);
    log_.access(reg, direction, value, cause);
}

std::uint8_t Card::in(unsigned long address, const char* cause) {
    if (settings_.base) {
        const unsigned long base = *settings_.base;
        if (address == base) return readData(cause);
        if (address == base + 1) return readStatus(cause);
        if (address == base + 2) return readControl(cause);
        if (address == settings_.baseHigh() + 2 && ecr_) return readEcr(cause);
    }
    // Nothing answers: the bus floats high.
    otherAddress(address, 'r', 0xFF, cause);
    return 0xFF;
}

void Card::out(unsigned long address, std::uint8_t value, const char* cause) {
    if (settings_.base) {
        const unsigned long base = *settings_.base;
        if (address == base) return writeData(value, cause);
        if (address == base + 2) return writeControl(value, cause);
        if (address == settings_.baseHigh() + 2 && ecr_) return writeEcr(value, cause);
    }
    otherAddress(address, 'w', value, cause);
}

}  // namespace lpt51::emuport
