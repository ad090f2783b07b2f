// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The adapter's wiring as data: every connection from the parallel port's
// connector through the two latches and the 12 V switch to the chip's socket,
// and the fixed ones (supplies, crystal). The virtual adapter takes the chip's
// pins from it, the adapter check names lines by it, and `lpt51
// adapter-wiring` prints it for the manual. Header only, like At89c51.h.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "chip/At89c51.h"
#include "port/ControlBits.h"

namespace lpt51::chip {

// The AT89C51's 40-pin DIP, as the datasheet numbers it.
namespace socket_pins {
inline constexpr int kCount = 40;
inline constexpr int kRst = 9;
inline constexpr int kP36 = 16;
inline constexpr int kP37 = 17;
inline constexpr int kXtal2 = 18;
inline constexpr int kXtal1 = 19;
inline constexpr int kGnd = 20;
inline constexpr int kP26 = 27;
inline constexpr int kP27 = 28;
inline constexpr int kPsen = 29;
inline constexpr int kProg = 30;
inline constexpr int kVpp = 31;
inline constexpr int kVcc = 40;

// P1.0-P1.7 are pins 1-8, P3.0-P3.7 pins 10-17, P2.0-P2.7 pins 21-28 and
// P0.7-P0.0 pins 32-39.
constexpr int PortPin(int port, int bit) {
    switch (port) {
        case 0:
            return 39 - bit;
        case 1:
            return 1 + bit;
        case 2:
            return 21 + bit;
        default:
            return 10 + bit;
    }
}
// A0-A7 on P1, A8-A11 on P2.0-P2.3.
constexpr int AddressPin(int line) {
    return line < 8 ? PortPin(1, line) : PortPin(2, line - 8);
}
// The data bus on P0.
constexpr int DataPin(int line) {
    return PortPin(0, line);
}
}  // namespace socket_pins

// What drives a connection.
enum class Drive : std::uint8_t {
    DataLine,     // a data register bit, straight from the connector
    ControlLine,  // a control register bit
    LowLatch,     // an output of the low latch, which takes the data lines
    HighLatch,    // an output of the high latch
    VppSwitch,    // the 12 V switch on EA/VPP, which the high latch's Q7 drives
    Supply5V,
    Ground,
    Crystal,
};

// Which latch a connection passes through or enables.
enum class Latch : std::uint8_t { None, Low, High, Both };

// One connection of the adapter.
struct Connection {
    Drive drive;
    int bit;        // the data or control register bit, or the latch output Qn; -1: none
    int db25;       // the connector pin it starts from (a latch output: its data line's); 0: none
    bool inverted;  // the port drives the pin low while the register bit is set
    Latch latch;    // a data line: the inputs of both; a control line: the enable of one
    int socketPin;  // 1 to 40; 0: it reaches no socket pin (a latch enable)
    const char* role;
};

// The standard PC pinout of the parallel port's DB-25 connector: the name
// of a pin the adapter uses.
const char* Db25Signal(int pin);

// The datasheet's name for a socket pin ("P1.3", "EA/VPP") and, where it
// has one, its name in programming mode ("A3", "D5"); empty where none.
const char* SocketPinName(int pin);
std::string ProgrammingName(int pin);

// The latch package (74HCT573): Qn is on pin 19 - n, Dn on pin 2 + n, LE on 11.
inline constexpr int kLatchEnablePin = 11;
constexpr int LatchOutputPin(int q) {
    return 19 - q;
}
constexpr int LatchInputPin(int d) {
    return 2 + d;
}

namespace wiring_detail {
using namespace socket_pins;
constexpr Connection Data(int n, const char* role) {
    return {Drive::DataLine, n, 2 + n, false, Latch::Both, DataPin(n), role};
}
constexpr Connection Low(int q) {
    return {Drive::LowLatch, q, 2 + q, false, Latch::Low, AddressPin(q), "address"};
}
constexpr Connection High(int q, int pin, const char* role) {
    return {Drive::HighLatch, q, 2 + q, false, Latch::High, pin, role};
}
}  // namespace wiring_detail

// Every connection, in the order the manual prints them. The socket pins no
// row reaches are left free.
inline constexpr auto kAdapterWiring = [] {
    using namespace wiring_detail;
    using namespace socket_pins;
    return std::to_array<Connection>({
        Data(0, "data; pull-up R10"),
        Data(1, "data; pull-up R11"),
        Data(2, "data; pull-up R12"),
        Data(3, "data; pull-up R13"),
        Data(4, "data; pull-up R14"),
        Data(5, "data; pull-up R15"),
        Data(6, "data; pull-up R16"),
        Data(7, "data; pull-up R17"),
        {Drive::ControlLine, 0, 1, true, Latch::Low, 0,
         "low latch enable: bit cleared, it follows D0-D7"},
        {Drive::ControlLine, 1, 14, true, Latch::High, 0,
         "high latch enable: bit cleared, it follows D0-D7"},
        {Drive::ControlLine, 2, 16, false, Latch::None, kP27,
         "mode; low in a read: the chip drives P0"},
        {Drive::ControlLine, 3, 17, true, Latch::None, kProg,
         "programming pulse: bit set, PROG low"},
        Low(0),
        Low(1),
        Low(2),
        Low(3),
        Low(4),
        Low(5),
        Low(6),
        Low(7),
        High(0, AddressPin(8), "address"),
        High(1, AddressPin(9), "address"),
        High(2, AddressPin(10), "address"),
        High(3, AddressPin(11), "address"),
        High(4, kP37, "mode"),
        High(5, kP36, "mode"),
        High(6, kP26, "mode"),
        {Drive::VppSwitch, 7, 9, false, Latch::High, kVpp,
         "programming voltage: Q7 low, 12 V; high, 5 V"},
        {Drive::Supply5V, -1, 0, false, Latch::None, kRst, "held high"},
        {Drive::Ground, -1, 0, false, Latch::None, kPsen, "held low"},
        {Drive::Crystal, -1, 0, false, Latch::None, kXtal2, "crystal, 3 to 24 MHz"},
        {Drive::Crystal, -1, 0, false, Latch::None, kXtal1, "crystal, 3 to 24 MHz"},
        {Drive::Ground, -1, 18, false, Latch::None, kGnd,
         "ground, with the port's (DB-25 pins 18 to 25)"},
        {Drive::Supply5V, -1, 0, false, Latch::None, kVcc, "supply"},
    });
}();

// The row driven by `drive` and `bit`, or null.
const Connection* FindConnection(Drive drive, int bit);
// The row that reaches a socket pin, or null.
const Connection* ConnectionTo(int socketPin);

// What the table says of a connection, as the manual prints it: "D3",
// "data bit 3", "low latch Q3 (pin 16)", "4 (P1.3, A3)". Empty where none.
std::string RegisterText(const Connection& c);
std::string LatchText(const Connection& c);
std::string SocketText(int socketPin);

// A data line as the adapter check names it: "D3 (DB-25 pin 5, socket pin 36)".
std::string DataLineText(int line);

// The socket pins no connection reaches, in order.
std::vector<int> FreeSocketPins();

// The whole table as a Markdown table, and the free pins after it: what
// `lpt51 adapter-wiring` prints and docs/adapter.md holds.
std::string WiringTableText();

// The table held against the descriptor's mode bits and the control bits:
// one text for each disagreement, none when it is right. Takes any table,
// so that a wrong one can be shown to fail.
std::vector<std::string> CheckWiring(std::span<const Connection> table);

}  // namespace lpt51::chip
