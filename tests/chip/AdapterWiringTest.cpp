// SPDX-License-Identifier: GPL-3.0-or-later
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "chip/AdapterWiring.h"

namespace lpt51::chip {
namespace {

using ::testing::IsEmpty;

Connection& Row(std::span<Connection> table, Drive drive, int bit) {
    for (Connection& c : table)
        if (c.drive == drive && c.bit == bit) return c;
    throw std::runtime_error("no such row");
}

// The table agrees with the descriptor's mode bits and the control bits, and
// the check that says so does find each kind of slip a table could have.
TEST(AdapterWiring, AgreesWithTheModeBitsAndTheControlBits) {
    EXPECT_THAT(CheckWiring(kAdapterWiring), IsEmpty());

    using Slip = std::function<void(std::span<Connection>)>;
    const std::vector<std::pair<std::string, Slip>> slips = {
        {"mode bits swapped",
         [](auto t) {
             std::swap(Row(t, Drive::HighLatch, 4).socketPin,
                       Row(t, Drive::HighLatch, 5).socketPin);
         }},
        {"address line to a mode pin",
         [](auto t) { Row(t, Drive::LowLatch, 2).socketPin = socket_pins::kP26; }},
        {"latch enables exchanged",
         [](auto t) {
             std::swap(Row(t, Drive::ControlLine, 0).latch, Row(t, Drive::ControlLine, 1).latch);
         }},
        {"P2.7 taken as inverted", [](auto t) { Row(t, Drive::ControlLine, 2).inverted = true; }},
        {"PROG on P2.7",
         [](auto t) { Row(t, Drive::ControlLine, 3).socketPin = socket_pins::kP27; }},
        {"latch fed from the wrong data pin", [](auto t) { Row(t, Drive::LowLatch, 6).db25 = 7; }},
        {"12 V switch on the wrong latch bit", [](auto t) { Row(t, Drive::VppSwitch, 7).bit = 6; }},
        {"PSEN tied high",
         [](auto t) {
             for (Connection& c : t)
                 if (c.socketPin == socket_pins::kPsen) c.drive = Drive::Supply5V;
         }},
    };
    for (const auto& [name, slip] : slips) {
        auto table = kAdapterWiring;
        slip(table);
        EXPECT_FALSE(CheckWiring(table).empty()) << name;
    }
}

TEST(AdapterWiring, NamesPinsAsTheDatasheetAndThePortDo) {
    EXPECT_EQ(SocketText(socket_pins::AddressPin(3)), "4 (P1.3, A3)");
    EXPECT_EQ(SocketText(socket_pins::AddressPin(11)), "24 (P2.3, A11)");
    EXPECT_EQ(SocketText(socket_pins::DataPin(0)), "39 (P0.0, D0)");
    EXPECT_EQ(SocketText(socket_pins::kVpp), "31 (EA/VPP)");
    EXPECT_STREQ(Db25Signal(14), "nAutoFeed");
    // P3.0 to P3.5 (P3.4 is RDY/BSY, not wired) and P2.4, P2.5 take no part.
    EXPECT_EQ(FreeSocketPins(), (std::vector<int>{10, 11, 12, 13, 14, 15, 25, 26}));
}

}  // namespace
}  // namespace lpt51::chip
