// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/Wiring.h"

#include <utility>

namespace lpt51::sim {

namespace {

using chip::Drive;
namespace pins = chip::socket_pins;

// The socket pin a LINE names: A0-A11, D0-D7 (P0), P2.6, P2.7, P3.6, P3.7,
// PROG; 0 for none.
int LinePin(const std::string& line) {
    for (int pin = 1; pin <= pins::kCount; ++pin) {
        if (!chip::ConnectionTo(pin)) continue;
        if (line == chip::ProgrammingName(pin)) return pin;
    }
    for (const int pin : {pins::kP26, pins::kP27, pins::kP36, pins::kP37})
        if (line == chip::SocketPinName(pin)) return pin;
    return line == "PROG" ? pins::kProg : 0;
}

int DataLineOf(const std::string& line) {
    const int pin = LinePin(line);
    for (int n = 0; n < 8; ++n)
        if (pin == pins::DataPin(n)) return n;
    return -1;
}

bool IsAddress(int pin) {
    for (int n = 0; n < 12; ++n)
        if (pin == pins::AddressPin(n)) return true;
    return false;
}

bool IsData(int pin) {
    for (int n = 0; n < 8; ++n)
        if (pin == pins::DataPin(n)) return true;
    return false;
}

}  // namespace

std::optional<std::string> ParseWiringFault(const std::string& word, WiringFault& out) {
    using Kind = WiringFault::Kind;
    WiringFault f;
    f.word = word;
    const std::size_t colon = word.find(':');
    const std::string name = word.substr(0, colon);
    const std::string operand = colon == std::string::npos ? "" : word.substr(colon + 1);
    const std::string unknown =
        "unknown fault '" + word + "' (use " + std::string(kWiringFaultForms) + ")";
    const auto needsOperand = [&](bool wanted) { return wanted == (colon != std::string::npos); };

    if (name == "none" || name == "vpp-5v" || name == "vpp-12v") {
        if (!needsOperand(false)) return unknown;
        f.kind = name == "none" ? Kind::None : name == "vpp-5v" ? Kind::Vpp5V : Kind::Vpp12V;
    } else if (name == "stuck-low" || name == "stuck-high" || name == "open") {
        if (!needsOperand(true)) return unknown;
        f.first = LinePin(operand);
        if (f.first == 0) return "unknown line '" + operand + "' in '" + word + "'";
        f.kind = name == "open"        ? Kind::Open
                 : name == "stuck-low" ? Kind::StuckLow
                                       : Kind::StuckHigh;
    } else if (name == "swap") {
        const std::size_t comma = operand.find(',');
        if (!needsOperand(true) || comma == std::string::npos) return unknown;
        f.first = LinePin(operand.substr(0, comma));
        f.second = LinePin(operand.substr(comma + 1));
        const bool address = IsAddress(f.first) && IsAddress(f.second);
        const bool data = IsData(f.first) && IsData(f.second);
        if ((!address && !data) || f.first == f.second)
            return "'" + word + "' must name two address lines or two data lines";
        f.kind = Kind::Swapped;
    } else if (name == "no-pull-up" || name == "grounded") {
        if (!needsOperand(true)) return unknown;
        f.first = DataLineOf(operand);
        if (f.first < 0) return "'" + word + "' must name a data line, D0 to D7";
        f.kind = name == "grounded" ? Kind::Grounded : Kind::NoPullUp;
    } else {
        return unknown;
    }
    out = std::move(f);
    return std::nullopt;
}

Wiring::Wiring(const WiringFault& fault) : fault_(fault) {
    for (const chip::Connection& c : chip::kAdapterWiring) {
        if (c.socketPin == 0) continue;
        Source& s = socket_[static_cast<std::size_t>(c.socketPin)];
        s.drive = c.drive;
        s.bit = c.bit;
        s.inverted = c.inverted;
        s.forced.reset();
    }
    using Kind = WiringFault::Kind;
    const auto at = [&](int pin) -> Source& { return socket_[static_cast<std::size_t>(pin)]; };
    switch (fault.kind) {
        case Kind::None:
            break;
        case Kind::StuckLow:
            at(fault.first).forced = PinLevel::Low;
            break;
        case Kind::StuckHigh:
            at(fault.first).forced = PinLevel::High;
            break;
        case Kind::Open:
            at(fault.first).forced = PinLevel::Open;
            break;
        case Kind::Swapped:
            std::swap(at(fault.first), at(fault.second));
            break;
        case Kind::NoPullUp:
            pullUps_ = static_cast<std::uint8_t>(~(1u << fault.first));
            break;
        case Kind::Grounded:
            grounded_ = static_cast<std::uint8_t>(1u << fault.first);
            break;
        case Kind::Vpp5V:
            at(pins::kVpp).forced = PinLevel::High;
            break;
        case Kind::Vpp12V:
            at(pins::kVpp).forced = PinLevel::Volts12;
            break;
    }
    for (int k = 0; k < 8; ++k) {
        const Source& s = at(pins::DataPin(k));
        lineAtP0_[static_cast<std::size_t>(k)] =
            s.drive == Drive::DataLine && !s.forced ? s.bit : -1;
    }
}

PinLevel Wiring::level(int socketPin, const Drivers& d) const {
    const Source& s = socket_[static_cast<std::size_t>(socketPin)];
    if (s.forced) return *s.forced;
    const auto bit = [&](std::uint8_t value) {
        return ((value >> s.bit) & 1) != 0 ? PinLevel::High : PinLevel::Low;
    };
    switch (s.drive) {
        case Drive::DataLine:
            return bit(d.lines);
        case Drive::ControlLine:
            return (((d.control >> s.bit) & 1) != 0) != s.inverted ? PinLevel::High : PinLevel::Low;
        case Drive::LowLatch:
            return bit(d.low);
        case Drive::HighLatch:
            return bit(d.high);
        case Drive::VppSwitch:
            return bit(d.high) == PinLevel::Low ? PinLevel::Volts12 : PinLevel::High;
        case Drive::Supply5V:
            return PinLevel::High;
        case Drive::Ground:
            return PinLevel::Low;
        case Drive::Crystal:
            return PinLevel::Open;
    }
    return PinLevel::Open;
}

}  // namespace lpt51::sim
