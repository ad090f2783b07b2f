// SPDX-License-Identifier: GPL-3.0-or-later
#include "chip/AdapterWiring.h"

#include <bit>

namespace lpt51::chip {

namespace {

using namespace socket_pins;

std::string N(int n) {
    return std::to_string(n);
}

// The single bit of a mask, as an index.
constexpr int BitOf(std::uint8_t mask) {
    return std::countr_zero(mask);
}

}  // namespace

const char* Db25Signal(int pin) {
    static constexpr const char* kData[] = {"D0", "D1", "D2", "D3", "D4", "D5", "D6", "D7"};
    if (pin >= 2 && pin <= 9) return kData[pin - 2];
    switch (pin) {
        case 1:
            return "nStrobe";
        case 14:
            return "nAutoFeed";
        case 16:
            return "nInit";
        case 17:
            return "nSelectIn";
        default:
            return pin >= 18 && pin <= 25 ? "ground" : "";
    }
}

const char* SocketPinName(int pin) {
    static constexpr const char* kNames[kCount + 1] = {
        "",      "P1.0",  "P1.1", "P1.2",     "P1.3",   "P1.4", "P1.5", "P1.6", "P1.7",
        "RST",   "P3.0",  "P3.1", "P3.2",     "P3.3",   "P3.4", "P3.5", "P3.6", "P3.7",
        "XTAL2", "XTAL1", "GND",  "P2.0",     "P2.1",   "P2.2", "P2.3", "P2.4", "P2.5",
        "P2.6",  "P2.7",  "PSEN", "ALE/PROG", "EA/VPP", "P0.7", "P0.6", "P0.5", "P0.4",
        "P0.3",  "P0.2",  "P0.1", "P0.0",     "VCC"};
    return pin >= 1 && pin <= kCount ? kNames[pin] : "";
}

std::string ProgrammingName(int pin) {
    for (int line = 0; line < 12; ++line) {
        if (AddressPin(line) == pin) return "A" + N(line);
    }
    for (int line = 0; line < 8; ++line) {
        if (DataPin(line) == pin) return "D" + N(line);
    }
    return {};
}

const Connection* FindConnection(Drive drive, int bit) {
    for (const Connection& c : kAdapterWiring) {
        if (c.drive == drive && c.bit == bit) return &c;
    }
    return nullptr;
}

const Connection* ConnectionTo(int socketPin) {
    for (const Connection& c : kAdapterWiring) {
        if (socketPin != 0 && c.socketPin == socketPin) return &c;
    }
    return nullptr;
}

std::string RegisterText(const Connection& c) {
    switch (c.drive) {
        case Drive::DataLine:
            return "data bit " + N(c.bit);
        case Drive::ControlLine:
            return "control bit " + N(c.bit) + (c.inverted ? ", inverted" : "");
        case Drive::LowLatch:
        case Drive::HighLatch:
        case Drive::VppSwitch:
            return "data bit " + N(c.bit) + ", latched by control bit " +
                   N(c.drive == Drive::LowLatch ? BitOf(control_bits::kLowLatchHolds)
                                                : BitOf(control_bits::kHighLatchHolds));
        default:
            return {};
    }
}

std::string LatchText(const Connection& c) {
    const char* which = c.latch == Latch::Low ? "low latch " : "high latch ";
    switch (c.drive) {
        case Drive::DataLine:
            return "D" + N(c.bit) + " of both (pin " + N(LatchInputPin(c.bit)) + ")";
        case Drive::ControlLine:
            if (c.latch == Latch::None) return {};
            return which + std::string("LE (pin ") + N(kLatchEnablePin) + ")";
        case Drive::LowLatch:
        case Drive::HighLatch:
            return which + std::string("Q") + N(c.bit) + " (pin " + N(LatchOutputPin(c.bit)) + ")";
        case Drive::VppSwitch:
            return which + std::string("Q") + N(c.bit) + " (pin " + N(LatchOutputPin(c.bit)) +
                   "), to the 12 V switch";
        default:
            return {};
    }
}

std::string SocketText(int socketPin) {
    if (socketPin == 0) return {};
    std::string text = N(socketPin) + " (" + SocketPinName(socketPin);
    const std::string programming = ProgrammingName(socketPin);
    if (!programming.empty()) text += ", " + programming;
    return text + ")";
}

std::string DataLineText(int line) {
    const Connection* c = FindConnection(Drive::DataLine, line);
    return "D" + N(line) + " (DB-25 pin " + N(c->db25) + ", socket pin " + N(c->socketPin) + ")";
}

std::vector<int> FreeSocketPins() {
    std::vector<int> free;
    for (int pin = 1; pin <= kCount; ++pin) {
        if (ConnectionTo(pin) == nullptr) free.push_back(pin);
    }
    return free;
}

std::string WiringTableText() {
    std::string text =
        "| DB-25 | Signal | Register | Latch | Socket pin | Role |\n"
        "|---|---|---|---|---|---|\n";
    for (const Connection& c : kAdapterWiring) {
        std::string pin = c.db25 == 0 ? "" : N(c.db25);
        std::string signal = c.db25 == 0 ? "" : Db25Signal(c.db25);
        if (c.drive == Drive::Ground && c.db25 != 0) pin += "-25";
        if (c.drive == Drive::Supply5V) signal = "+5 V";
        if (c.drive == Drive::Ground && c.db25 == 0) signal = "ground";
        if (c.drive == Drive::Crystal) signal = "crystal";
        text += "| " + pin + " | " + signal + " | " + RegisterText(c) + " | " + LatchText(c) +
                " | " + SocketText(c.socketPin) + " | " + c.role + " |\n";
    }
    text += "\nFree socket pins:";
    const std::vector<int> free = FreeSocketPins();
    for (std::size_t i = 0; i < free.size(); ++i) {
        text += (i == 0 ? " " : ", ") + SocketText(free[i]);
    }
    return text + ".\n";
}

std::vector<std::string> CheckWiring(std::span<const Connection> table) {
    std::vector<std::string> problems;
    const auto count = [&](Drive drive, int bit) {
        int n = 0;
        for (const Connection& c : table) n += c.drive == drive && c.bit == bit;
        return n;
    };
    const auto find = [&](Drive drive, int bit) -> const Connection* {
        for (const Connection& c : table) {
            if (c.drive == drive && c.bit == bit) return &c;
        }
        return nullptr;
    };
    // The socket pin a row must reach, by the datasheet's name for it.
    const auto expect = [&](Drive drive, int bit, const std::string& what, const char* pinName) {
        const Connection* c = find(drive, bit);
        if (count(drive, bit) != 1) {
            problems.push_back(what + ": " + N(count(drive, bit)) + " rows, not one");
        } else if (std::string(SocketPinName(c->socketPin)) != pinName) {
            problems.push_back(what + " reaches socket pin " + N(c->socketPin) + " (" +
                               SocketPinName(c->socketPin) + "), not " + pinName);
        }
    };

    for (int n = 0; n < 8; ++n) {
        const std::string p0 = "P0." + N(n);
        expect(Drive::DataLine, n, "data bit " + N(n), p0.c_str());
        const std::string p1 = "P1." + N(n);
        expect(Drive::LowLatch, n, "low latch Q" + N(n), p1.c_str());
    }
    for (int n = 0; n < 4; ++n) {
        const std::string p2 = "P2." + N(n);
        expect(Drive::HighLatch, n, "high latch Q" + N(n) + " (address high bits)", p2.c_str());
    }
    if (mode_bits::kAddressHigh != 0x0F) problems.push_back("the address high bits are not Q0-Q3");
    expect(Drive::HighLatch, BitOf(mode_bits::kP37), "mode bit P3.7", "P3.7");
    expect(Drive::HighLatch, BitOf(mode_bits::kP36), "mode bit P3.6", "P3.6");
    expect(Drive::HighLatch, BitOf(mode_bits::kP26), "mode bit P2.6", "P2.6");
    expect(Drive::VppSwitch, BitOf(mode_bits::kVpp5V), "programming voltage select", "EA/VPP");
    expect(Drive::ControlLine, BitOf(control_bits::kP27High), "control bit P2.7", "P2.7");
    expect(Drive::ControlLine, BitOf(control_bits::kProgLow), "control bit PROG", "ALE/PROG");

    for (const auto& [mask, latch] : {std::pair{control_bits::kLowLatchHolds, Latch::Low},
                                      std::pair{control_bits::kHighLatchHolds, Latch::High}}) {
        const Connection* c = find(Drive::ControlLine, BitOf(mask));
        if (c == nullptr || c->latch != latch || c->socketPin != 0) {
            problems.push_back("control bit " + N(BitOf(mask)) + " must enable the " +
                               (latch == Latch::Low ? "low" : "high") + " latch alone");
        }
    }
    for (const Connection& c : table) {
        if (c.drive == Drive::ControlLine &&
            c.inverted != ((control_bits::kInvertedLines >> c.bit) & 1)) {
            problems.push_back("control bit " + N(c.bit) + (c.inverted ? " is" : " is not") +
                               " marked inverted, unlike the port's line");
        }
        // A latch output takes the data line of its own number.
        const bool latched = c.drive == Drive::LowLatch || c.drive == Drive::HighLatch ||
                             c.drive == Drive::VppSwitch || c.drive == Drive::DataLine;
        if (latched && c.db25 != 2 + c.bit) {
            problems.push_back("bit " + N(c.bit) + " starts at DB-25 pin " + N(c.db25) +
                               ", not at D" + N(c.bit) + "'s pin " + N(2 + c.bit));
        }
    }
    for (const auto& [pin, drive] :
         {std::pair{kRst, Drive::Supply5V}, std::pair{kPsen, Drive::Ground},
          std::pair{kVcc, Drive::Supply5V}, std::pair{kGnd, Drive::Ground}}) {
        int n = 0;
        for (const Connection& c : table) n += c.socketPin == pin && c.drive == drive;
        if (n != 1)
            problems.push_back(std::string(SocketPinName(pin)) + " is not tied as it must be");
    }
    for (int pin = 1; pin <= kCount; ++pin) {
        int n = 0;
        for (const Connection& c : table) n += c.socketPin == pin;
        if (n > 1) problems.push_back("socket pin " + N(pin) + " is reached by " + N(n) + " rows");
    }
    return problems;
}

}  // namespace lpt51::chip
