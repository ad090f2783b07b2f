// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "chip/AdapterWiring.h"

namespace lpt51::sim {

// One mistake of a hand-built adapter, as --sim-wiring names it.
struct WiringFault {
    enum class Kind {
        None,
        StuckLow,   // a latch output (or P2.7, PROG) held low: "stuck-low:A5"
        StuckHigh,  // ... held high: "stuck-high:P3.6"
        Swapped,    // two address or two data lines change places at the socket: "swap:A3,A4"
        Open,       // a wire to the socket missing: "open:P2.7", "open:PROG"
        NoPullUp,   // a data line without its pull-up: "no-pull-up:D2"
        Grounded,   // a data line shorted to ground: "grounded:D2"
        Vpp5V,      // the 12 V switch stuck at 5 V: "vpp-5v"
        Vpp12V,     // ... at 12 V: "vpp-12v"
    };
    Kind kind = Kind::None;
    // The socket pins it concerns; for NoPullUp and Grounded the data line.
    int first = 0;
    int second = 0;
    std::string word;  // as given, for descriptions
};

// Reads a --sim-wiring value; an error text (without the option's name) when
// it names no fault.
std::optional<std::string> ParseWiringFault(const std::string& word, WiringFault& out);

// What --help says of --sim-wiring, and the forms a fault takes.
inline constexpr std::string_view kWiringFaultHelp =
    "a miswired virtual adapter: none (the default), stuck-low:LINE, stuck-high:LINE, "
    "open:LINE, swap:LINE,LINE (two address or two data lines), no-pull-up:Dn, grounded:Dn, "
    "vpp-5v or vpp-12v; LINE is A0-A11, D0-D7, P2.6, P2.7, P3.6, P3.7 or PROG";
inline constexpr std::string_view kWiringFaultForms =
    kWiringFaultHelp.substr(kWiringFaultHelp.find(':') + 2);

// What a socket pin carries.
enum class PinLevel : std::uint8_t { Open, Low, High, Volts12 };

// The adapter as built: the wiring table with its fault. Says what each
// socket pin carries, given the port's registers and the latches.
class Wiring {
  public:
    explicit Wiring(const WiringFault& fault = {});

    const WiringFault& fault() const { return fault_; }

    // The port's side: the register values and the latch outputs.
    struct Drivers {
        std::uint8_t lines;  // the data lines as they are (in the port's bit order)
        std::uint8_t control;
        std::uint8_t low, high;
    };
    PinLevel level(int socketPin, const Drivers& d) const;
    // As the chip's input sees it: an open pin reads high (the port pins'
    // own pull-ups; PROG and EA/VPP idle high).
    bool high(int socketPin, const Drivers& d) const {
        const PinLevel l = level(socketPin, d);
        return l != PinLevel::Low;
    }

    // The data line wired to the chip's P0.k, or -1.
    int lineAtP0(int k) const { return lineAtP0_[static_cast<std::size_t>(k)]; }
    // The data lines that have their pull-ups, and those shorted to ground.
    std::uint8_t pullUps() const { return pullUps_; }
    std::uint8_t grounded() const { return grounded_; }

  private:
    // What drives a socket pin; a pin no wire reaches is open.
    struct Source {
        chip::Drive drive = chip::Drive::Ground;
        int bit = -1;
        bool inverted = false;
        std::optional<PinLevel> forced = PinLevel::Open;
    };
    WiringFault fault_;
    std::array<Source, chip::socket_pins::kCount + 1> socket_{};
    std::array<int, 8> lineAtP0_{};
    std::uint8_t pullUps_ = 0xFF;
    std::uint8_t grounded_ = 0x00;
};

}  // namespace lpt51::sim
