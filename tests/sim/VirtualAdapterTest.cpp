// SPDX-License-Identifier: GPL-3.0-or-later
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <set>
#include <string>
#include <vector>

#include "Sequences.h"

namespace lpt51::sim::test {
namespace {

using ::testing::HasSubstr;

std::string faultText(const VirtualAdapter& adapter) {
    std::string text;
    for (const Fault& f : adapter.faults()) text += f.what + "\n";
    return text;
}

bool anyFault(const VirtualAdapter& adapter, const std::string& part) {
    return faultText(adapter).find(part) != std::string::npos;
}

// Neither erased nor zero, and different at neighbouring addresses.
std::vector<std::uint8_t> pattern(std::size_t n) {
    std::vector<std::uint8_t> bytes(n);
    for (std::size_t a = 0; a < n; ++a) bytes[a] = static_cast<std::uint8_t>(0x5A ^ (a * 7));
    return bytes;
}

TEST(Signature, EachChipKindAnswersItsBytes) {
    struct Case {
        PortKind port;
        ChipKind chip;
        std::array<std::uint8_t, 3> expected;
    };
    const Case cases[] = {
        {PortKind::Bidirectional, ChipKind::Part12V, {0x1E, 0x51, 0xFF}},
        {PortKind::Bidirectional, ChipKind::Part5V, {0x1E, 0x51, 0x05}},
        {PortKind::Bidirectional, ChipKind::Empty, {0xFF, 0xFF, 0xFF}},
        {PortKind::Bidirectional, ChipKind::Foreign, {0x1E, 0x52, 0xFF}},
        // Open-drain P0 without pull-ups cannot make a one.
        {PortKind::NoPullUps, ChipKind::Part12V, {0x00, 0x00, 0x00}},
        {PortKind::NoPullUps, ChipKind::Empty, {0x00, 0x00, 0x00}},
        // The data register reads back the last byte written: the 0x80 mode byte.
        {PortKind::OutputOnly, ChipKind::Part12V, {0x80, 0x80, 0x80}},
    };
    for (const Case& c : cases) {
        Rig rig(c.port, c.chip);
        EXPECT_EQ(rig.signature(), c.expected) << static_cast<int>(c.chip);
        if (c.port != PortKind::OutputOnly) {
            EXPECT_EQ(faultText(rig.adapter), "");
        }
    }
}

TEST(Signature, OutputOnlyPortFightsTheChipWhenReadAnyway) {
    // The port cannot let go of the lines, so enabling the chip's output
    // shorts them: the reason no operation reads on such a port.
    Rig rig(PortKind::OutputOnly, ChipKind::Part12V);
    rig.signature();
    EXPECT_TRUE(anyFault(rig.adapter, "bus contention")) << faultText(rig.adapter);
}

TEST(Latches, TakeWhatTheLinesCarryNotTheDataRegister) {
    struct Case {
        PortKind port;
        std::uint8_t latched;
    };
    const Case cases[] = {
        {PortKind::Bidirectional, 0xFF}, {PortKind::NoPullUps, 0x00}, {PortKind::OutputOnly, 0x4C}};
    for (const Case& c : cases) {
        Rig rig(c.port, ChipKind::Part12V);
        rig.bus.SetControl(control::kInput);
        rig.bus.PutData(0x4C);
        rig.bus.SetControl(control::kLowStrobe);
        rig.bus.SetControl(control::kHighStrobe);
        EXPECT_EQ(rig.adapter.lowLatch(), c.latched);
        EXPECT_EQ(rig.adapter.highLatch(), c.latched);
        // Closing the latch in the same write that turns the lines around
        // keeps what the lines carried before it.
        rig.bus.SetControlOut(control::kRest);
        rig.bus.SetControl(control::kLowStrobe);
        rig.bus.SetControl(control::kInput);
        EXPECT_EQ(rig.adapter.lowLatch(), 0x4C);
        EXPECT_EQ(rig.adapter.highLatch(), c.latched);
    }
}

// The descriptor's mode bytes and P2.7 levels, put on the adapter as the
// chip operations put them, are what the model's decoder reads back: the
// chip operations and the virtual chip cannot disagree on a mode.
TEST(Descriptor, EveryModeDecodesBackToItsOperation) {
    for (const chip::ModeEntry& m : chip::kAt89c51.modes) {
        for (const chip::Variant v : {chip::Variant::Volts12, chip::Variant::Volts5}) {
            Rig rig(PortKind::Bidirectional, ChipKind::Empty);
            rig.bus.LatchHigh(static_cast<std::uint8_t>(m.modeByte(v) | 0x0A), 1);
            // The mode's control value without its PROG pulse: P2.7 and the
            // direction of the lines.
            rig.bus.SetControl(static_cast<std::uint8_t>(m.control & ~control_bits::kProgLow));
            const ChipPins pins = rig.adapter.pins();
            EXPECT_EQ(DecodeMode(pins), m.operation) << m.name;
            EXPECT_EQ(pins.address, 0xA00) << m.name;
            EXPECT_EQ(pins.twelveVolts, m.programs && v == chip::Variant::Volts12) << m.name;
        }
    }
    ChipPins undefined{};
    undefined.p27 = true;  // P2.7 alone selects nothing
    EXPECT_EQ(DecodeMode(undefined), std::nullopt);
    // Between operations the high latch holds the idle mode: no mode, no 12 V.
    Rig idle(PortKind::Bidirectional, ChipKind::Part12V);
    idle.bus.LatchIdle(1);
    EXPECT_EQ(idle.adapter.highLatch(), chip::kAt89c51.idleMode);
    EXPECT_EQ(DecodeMode(idle.adapter.pins()), std::nullopt);
    EXPECT_FALSE(idle.adapter.pins().twelveVolts);
}

TEST(Programming, WriteThenReadOutGivesTheImageOnBothVariants) {
    for (ChipKind kind : {ChipKind::Part12V, ChipKind::Part5V}) {
        for (PortKind port : {PortKind::Bidirectional, PortKind::NoPullUps}) {
            const bool twelve = kind == ChipKind::Part12V;
            Rig rig(port, kind);
            rig.erase(twelve);
            const auto image = pattern(chip::kCodeSize);
            rig.write(twelve, 0, image);
            EXPECT_EQ(rig.adapter.programPulses(), chip::kCodeSize);
            EXPECT_TRUE(std::equal(image.begin(), image.end(), rig.adapter.chip().code.begin()));
            const auto read = rig.readOut();
            if (port == PortKind::Bidirectional) {
                EXPECT_TRUE(std::equal(image.begin(), image.end(), read.begin()));
                EXPECT_EQ(rig.verifyByte(0x123), image[0x123]);
            } else {
                EXPECT_EQ(read[0x10], 0x00);  // no pull-ups: every line reads low
            }
            EXPECT_EQ(faultText(rig.adapter), "");
        }
    }
}

// Each mistake of a hand-built adapter, as the chip in the socket meets it.
TEST(Wiring, AMiswiredAdapterIsWiredSoAtTheSocket) {
    const std::vector<std::uint8_t> one{0x02};
    {
        // Address lines swapped: the byte lands elsewhere, and reads back
        // through the same wires, so a verify cannot tell.
        Rig rig(PortKind::Bidirectional, ChipKind::Part12V, "swap:A3,A4");
        rig.write(true, 0x008, one);
        EXPECT_EQ(rig.adapter.chip().code[0x010], 0x02);
        EXPECT_EQ(rig.verifyByte(0x008), 0x02);
    }
    {
        // Data lines swapped at P0: the cell holds other bits, again read back unchanged.
        Rig rig(PortKind::Bidirectional, ChipKind::Part12V, "swap:D1,D3");
        rig.write(true, 0, one);
        EXPECT_EQ(rig.adapter.chip().code[0], 0x08);
        EXPECT_EQ(rig.verifyByte(0), 0x02);
        EXPECT_EQ(rig.signature()[1], 0x51);  // bits 1 and 3 are equal in the device byte
    }
    {
        // A grounded data line: the latches and P0 all see it low.
        Rig rig(PortKind::Bidirectional, ChipKind::Part12V, "grounded:D2");
        rig.write(true, 0x004, std::vector<std::uint8_t>{0x0F});
        EXPECT_EQ(rig.adapter.chip().code[0x000], 0x0B);
        rig.bus.PutData(0xFF);
        EXPECT_EQ(rig.bus.GetData(), 0xFB);
    }
    {
        Rig rig(PortKind::Bidirectional, ChipKind::Empty, "no-pull-up:D5");
        rig.bus.SetControl(control::kInput);
        EXPECT_EQ(rig.bus.GetData(), 0xDF);
    }
    {
        // P2.7 open floats high: the write mode needs no more, but the chip
        // never drives P0 to be read.
        Rig rig(PortKind::Bidirectional, ChipKind::Part12V, "open:P2.7");
        rig.write(true, 0, one);
        EXPECT_EQ(rig.adapter.chip().code[0], 0x02);
        EXPECT_EQ(rig.verifyByte(0), 0xFF);
    }
    for (const char* word : {"vpp-5v", "open:PROG", "stuck-low:P3.6"}) {
        Rig rig(PortKind::Bidirectional, ChipKind::Part12V, word);
        rig.write(true, 0, one);
        EXPECT_EQ(rig.adapter.chip().code[0], 0xFF) << word;
    }
    {
        Rig rig(PortKind::Bidirectional, ChipKind::Empty, "vpp-12v");
        rig.bus.LatchIdle(1);
        EXPECT_EQ(rig.adapter.socketPin(chip::socket_pins::kVpp), PinLevel::Volts12);
        EXPECT_TRUE(rig.adapter.pins().twelveVolts);
    }
}

TEST(Programming, OutputOnlyPortProgramsAndErases) {
    Rig rig(PortKind::OutputOnly, ChipKind::Part5V);
    rig.erase(false);
    const std::vector<std::uint8_t> bytes{0x12, 0x34, 0x00, 0xA5};
    rig.write(false, 0x7FE, bytes, true);
    EXPECT_EQ(rig.adapter.chip().code[0x7FE], 0x12);
    EXPECT_EQ(rig.adapter.chip().code[0x801], 0xA5);
    EXPECT_EQ(rig.adapter.chip().code[0x802], 0xFF);
    EXPECT_EQ(rig.bus.GetData(), 0x00);  // the release's last byte, not the lines
    rig.erase(false);
    EXPECT_EQ(rig.adapter.chip().code[0x7FE], 0xFF);
    EXPECT_EQ(rig.adapter.erasePulses(), 2u);
    EXPECT_EQ(faultText(rig.adapter), "");
}

TEST(Programming, CellsOnlyLoseBitsUntilErased) {
    ChipState chip = ChipState::erased(ChipKind::Part12V);
    chip.weakCells = {0x200};
    chip.stuckMask = 0x81;
    Rig rig(PortKind::Bidirectional, chip);
    rig.write(true, 0x100, std::vector<std::uint8_t>{0xF0});
    rig.write(true, 0x100, std::vector<std::uint8_t>{0x3C});
    EXPECT_EQ(rig.adapter.chip().code[0x100], 0x30);
    rig.write(true, 0x200, std::vector<std::uint8_t>{0x00});
    EXPECT_EQ(rig.verifyByte(0x200), 0x81);  // the stuck bits stay at one
    rig.erase(true);
    EXPECT_EQ(rig.verifyByte(0x100), 0xFF);
    EXPECT_EQ(faultText(rig.adapter), "");
}

TEST(LockBits, EachBitTakesEffectAndEraseClearsThem) {
    Rig rig(PortKind::Bidirectional, ChipKind::Part12V);
    rig.write(true, 0x040, std::vector<std::uint8_t>{0x11, 0x22});
    rig.lock(true, true, false, false);
    EXPECT_EQ(rig.adapter.chip().lockBits, (std::array<bool, 3>{true, false, false}));
    EXPECT_EQ(faultText(rig.adapter), "");

    rig.write(true, 0x042, std::vector<std::uint8_t>{0x33});
    EXPECT_TRUE(anyFault(rig.adapter, "programming while locked")) << faultText(rig.adapter);
    EXPECT_EQ(rig.adapter.chip().code[0x042], 0xFF);
    EXPECT_EQ(rig.verifyByte(0x040), 0x11);  // LB1 alone still reads
    rig.adapter.clearFaults();

    rig.lock(true, false, true, true);
    EXPECT_EQ(rig.adapter.chip().lockBits, (std::array<bool, 3>{true, true, true}));
    EXPECT_EQ(rig.verifyByte(0x040), VirtualAdapter::lockedReadPattern(0x040));
    EXPECT_NE(rig.verifyByte(0x041), 0x22);
    EXPECT_EQ(rig.signature()[1], 0x51);  // the signature stays readable

    rig.erase(true);
    EXPECT_EQ(rig.adapter.chip().lockBits, (std::array<bool, 3>{false, false, false}));
    EXPECT_EQ(rig.verifyByte(0x040), 0xFF);
    EXPECT_EQ(faultText(rig.adapter), "");
}

TEST(LockBits, FiveVoltPartTakesItsOwnModeBytes) {
    Rig rig(PortKind::OutputOnly, ChipKind::Part5V);
    rig.lock(false, true, true, true);
    EXPECT_EQ(rig.adapter.chip().lockBits, (std::array<bool, 3>{true, true, true}));
    EXPECT_EQ(faultText(rig.adapter), "");
}

TEST(Sockets, EmptyAndForeignChipsTakeNothing) {
    for (ChipKind kind : {ChipKind::Empty, ChipKind::Foreign}) {
        ChipState chip = ChipState::erased(kind);
        chip.code[5] = 0x00;
        Rig rig(PortKind::Bidirectional, chip);
        rig.erase(true);
        rig.write(true, 0, std::vector<std::uint8_t>{0x00, 0x01});
        rig.lock(true, true, true, true);
        EXPECT_EQ(rig.adapter.chip().code[0], 0xFF);
        EXPECT_EQ(rig.adapter.chip().code[5], 0x00);
        EXPECT_EQ(rig.adapter.chip().lockBits, (std::array<bool, 3>{false, false, false}));
        EXPECT_EQ(rig.adapter.programPulses(), 0u);
        EXPECT_EQ(rig.adapter.erasePulses(), 0u);
        EXPECT_EQ(rig.verifyByte(0), 0xFF);
        EXPECT_EQ(faultText(rig.adapter), "");
    }
}

TEST(Faults, WrongProgrammingVoltageProgramsNothing) {
    {
        Rig rig(PortKind::Bidirectional, ChipKind::Part5V);
        rig.write(true, 0, std::vector<std::uint8_t>{0x00});
        rig.erase(true);
        EXPECT_THAT(faultText(rig.adapter), HasSubstr("12 V on EA/VPP of the 5 V part"));
        EXPECT_EQ(rig.adapter.chip().code[0], 0xFF);
        EXPECT_EQ(rig.adapter.erasePulses(), 0u);
    }
    {
        ChipState chip = ChipState::erased(ChipKind::Part12V);
        chip.code[0] = 0x00;
        Rig rig(PortKind::Bidirectional, chip);
        rig.write(false, 1, std::vector<std::uint8_t>{0x00});
        rig.erase(false);
        rig.lock(false, true, false, false);
        EXPECT_THAT(faultText(rig.adapter), HasSubstr("5 V on EA/VPP of the 12 V part"));
        EXPECT_EQ(rig.adapter.faults().size(), 3u);
        EXPECT_EQ(rig.adapter.chip().code[0], 0x00);
        EXPECT_EQ(rig.adapter.chip().code[1], 0xFF);
        EXPECT_FALSE(rig.adapter.chip().lockBits[0]);
    }
}

// A code byte latched and on the lines, ready for its pulse.
void prepareByte(Rig& rig, std::uint16_t address, std::uint8_t byte) {
    rig.bus.LatchLow(static_cast<std::uint8_t>(address), 1);
    rig.bus.LatchHigh(static_cast<std::uint8_t>(0x30 | (address >> 8)), 1);
    rig.bus.PutData(byte);
    rig.bus.Sleep(1);
}

// PROG low for one bus delay, well inside the datasheet's window.
void shortPulse(Rig& rig) {
    rig.bus.SetControl(control::kPulse);
    rig.bus.BusDelay(1);
    rig.bus.SetControl(control::kRest);
}

TEST(Faults, PulseWidthsOutsideTheDatasheetWindow) {
    Rig rig(PortKind::Bidirectional, ChipKind::Part12V);
    rig.bus.LatchIdle(1);
    prepareByte(rig, 0x010, 0x00);
    rig.bus.SetControl(control::kPulse);
    rig.bus.BusDelay(12);  // 120 us
    rig.bus.SetControl(control::kRest);
    EXPECT_THAT(faultText(rig.adapter), HasSubstr("PROG pulse of 120.0 us for code byte 010"));

    rig.adapter.clearFaults();
    rig.bus.Sleep(3);
    prepareByte(rig, 0x011, 0x00);
    rig.bus.SetControl(control::kPulse);
    rig.bus.SetControl(control::kRest);  // no wait at all
    EXPECT_THAT(faultText(rig.adapter), HasSubstr("PROG pulse of 0.0 us"));
    EXPECT_EQ(rig.adapter.chip().code[0x010], 0x00) << "a long pulse still programs";
    EXPECT_EQ(rig.adapter.chip().code[0x011], 0xFF);

    // An erase pulse cut short.
    rig.adapter.chip().code[0] = 0x00;
    rig.adapter.clearFaults();
    rig.bus.LatchIdle(1);
    rig.bus.LatchHigh(0x40, 1);
    rig.bus.SetControl(control::kInput);
    rig.bus.SetControl(control::kInputEnable);
    rig.bus.BusDelay(20);
    rig.bus.SetControl(control::kPulseEnable);
    rig.bus.Sleep(9);
    rig.bus.SetControlOut(control::kRest);
    EXPECT_THAT(faultText(rig.adapter), HasSubstr("erase pulse of 9000.0 us (10 ms needed)"));
    EXPECT_EQ(rig.adapter.chip().code[0], 0x00);

    // A lock-bit pulse with no wait at all.
    rig.adapter.clearFaults();
    rig.bus.LatchIdle(1);
    rig.bus.LatchHigh(0x70, 1);
    rig.bus.Sleep(1);
    rig.bus.SetControl(control::kPulse);
    rig.bus.SetControl(control::kRest);
    EXPECT_THAT(faultText(rig.adapter), HasSubstr("PROG pulse of 0.0 us for lock bit 1"));
    EXPECT_FALSE(rig.adapter.chip().lockBits[0]);
}

TEST(Faults, AddressDataOrModeChangedDuringThePulseProgramNothing) {
    Rig rig(PortKind::Bidirectional, ChipKind::Part12V);
    rig.bus.LatchIdle(1);
    // The data lines change.
    prepareByte(rig, 0x030, 0x00);
    rig.bus.SetControl(control::kPulse);
    rig.bus.PutData(0x0F);
    rig.bus.BusDelay(1);
    rig.bus.SetControl(control::kRest);
    // The low latch opens and takes another address.
    rig.bus.Sleep(3);
    prepareByte(rig, 0x031, 0x00);
    rig.bus.SetControl(control::kPulse);
    rig.bus.BusDelay(1);
    rig.bus.SetControl(0x0E);  // still PROG low, and the low latch follows the lines (00)
    rig.bus.SetControl(control::kRest);
    EXPECT_THAT(faultText(rig.adapter),
                HasSubstr("address or data changed during the PROG pulse for 030: nothing "
                          "programmed\naddress or data changed during the PROG pulse for 031"));
    // P2.7 falls: the pulse ends in reading mode, with address and data as they were.
    rig.bus.Sleep(3);
    prepareByte(rig, 0x032, 0x00);
    rig.bus.SetControl(control::kPulse);
    rig.bus.BusDelay(1);
    rig.bus.SetControl(control::kPulseEnable);
    rig.bus.SetControl(control::kInputEnable);
    rig.bus.SetControl(control::kRest);
    EXPECT_THAT(faultText(rig.adapter), HasSubstr("mode changed during the PROG pulse from write "
                                                  "code byte to read code byte"));
    for (std::uint16_t a = 0x030; a <= 0x032; ++a) EXPECT_EQ(rig.adapter.chip().code[a], 0xFF) << a;
    EXPECT_EQ(rig.adapter.programPulses(), 0u);
}

TEST(Faults, PulseOrReadDuringTheWriteCycle) {
    Rig rig(PortKind::Bidirectional, ChipKind::Part12V);
    rig.bus.LatchIdle(1);
    prepareByte(rig, 0x020, 0x0F);
    shortPulse(rig);
    // The next byte 1 ms later, long before the 2 ms cycle is over.
    prepareByte(rig, 0x021, 0x00);
    shortPulse(rig);
    EXPECT_THAT(faultText(rig.adapter), HasSubstr("PROG pulse during the write cycle"));
    EXPECT_EQ(rig.adapter.chip().code[0x021], 0xFF);

    rig.adapter.clearFaults();
    rig.bus.Sleep(3);
    prepareByte(rig, 0x022, 0x55);
    shortPulse(rig);
    // Data polling: bit 7 inverted, the other bits undefined and changing.
    std::set<int> polled;
    for (int i = 0; i < 8; ++i) {
        const std::uint8_t b = rig.readByte(0x022, 1, 1, 1);
        EXPECT_EQ(b & 0x80, 0x80);
        polled.insert(b);
    }
    EXPECT_GT(polled.size(), 4u);
    EXPECT_EQ(faultText(rig.adapter), "");
    rig.readByte(0x023, 1, 1, 1);
    EXPECT_THAT(faultText(rig.adapter),
                HasSubstr("read of 023 in read code byte during the write cycle of 022"));
    // Once the cycle is over the byte reads true.
    rig.bus.Sleep(2);
    rig.adapter.clearFaults();
    EXPECT_EQ(rig.readByte(0x022, 1, 1, 1), 0x55);
    EXPECT_EQ(faultText(rig.adapter), "");
}

TEST(Faults, ProgrammingVoltageSetUpAndHold) {
    Rig rig(PortKind::Bidirectional, ChipKind::Part12V);
    rig.bus.LatchIdle(1);
    rig.bus.LatchLow(0x00, 1);
    // 12 V applied by the strobe and the pulse straight after it.
    rig.bus.PutData(0x30);
    rig.bus.SetControl(control::kHighStrobe);
    rig.bus.SetControl(control::kRest);
    shortPulse(rig);
    EXPECT_THAT(faultText(rig.adapter), HasSubstr("set up only 0.0 us before PROG went low"));
    EXPECT_EQ(rig.adapter.chip().code[0], 0xFF);

    rig.adapter.clearFaults();
    rig.bus.Sleep(3);
    shortPulse(rig);
    rig.bus.PutData(0x80);
    rig.bus.SetControl(control::kHighStrobe);  // 12 V off at once
    EXPECT_THAT(faultText(rig.adapter), HasSubstr("held only 0.0 us after PROG went high"));
}

TEST(Faults, EnablingTheChipBeforeTurningTheLinesAroundIsContention) {
    Rig rig(PortKind::Bidirectional, ChipKind::Part12V);
    rig.adapter.chip().code[0x345] = 0x3C;
    rig.bus.LatchIdle(1);
    rig.bus.LatchLow(0x45, 1);
    rig.bus.LatchHigh(0xB3, 1);
    rig.bus.SetControl(0x03);  // P2.7 low while the port still drives
    rig.bus.BusDelay(4);
    rig.bus.SetControl(control::kInputEnable);
    rig.bus.BusDelay(20);
    EXPECT_EQ(rig.bus.GetData(), 0x3C);
    EXPECT_THAT(faultText(rig.adapter), HasSubstr("bus contention: port drives B3 while the chip "
                                                  "drives 3C"));
    EXPECT_EQ(rig.adapter.faults().size(), 1u);
}

// tEHQZ: after P2.7 rises the chip drives the byte it read for 48 periods
// of its crystal. The port driving the lines then fights it, and a latch
// closing on them keeps the chip's byte: 3C has bit 7 clear, so the high
// latch would hold 12 V on EA/VPP. A moment later both are clean.
TEST(Faults, TheChipDrivesP0For48PeriodsAfterP27Rises) {
    for (const double mhz : {3.0, 24.0}) {
        SCOPED_TRACE(mhz);
        Rig rig(PortKind::Bidirectional, ChipKind::Part12V, ChipTimingModel{mhz});
        rig.adapter.chip().code[0x045] = 0x3C;
        const Clock::Duration float48 = rig.adapter.timing().setupTime();
        const auto readThenRaiseP27 = [&] {
            rig.readByte(0x045, 1, 4, 20);
            rig.adapter.writeControl(control::kInput);
        };
        const std::uint8_t highLatchOpen = control::kInput & ~control_bits::kHighLatchHolds;
        for (const bool early : {true, false}) {
            const Clock::Duration after = early ? float48 - std::chrono::microseconds(1) : float48;
            rig.adapter.clearFaults();
            readThenRaiseP27();
            rig.clock.advance(after);
            rig.adapter.writeControl(control::kRest);
            EXPECT_EQ(anyFault(rig.adapter, "while the chip drives 3C"), early)
                << faultText(rig.adapter);

            rig.adapter.clearFaults();
            readThenRaiseP27();
            rig.adapter.writeControl(highLatchOpen);
            rig.clock.advance(after);
            rig.adapter.writeControl(control::kInput);
            EXPECT_EQ(faultText(rig.adapter),
                      early ? "high latch closed on the lines while the chip drives 3C\n" : "");
            EXPECT_EQ(rig.adapter.highLatch(), early ? 0x3C : 0xFF);
            rig.clock.advance(float48);
            rig.bus.SetControlOut(control::kRest);
        }
    }
}

TEST(Faults, ReadBeforeTheDataIsValidAndPulsesInReadModes) {
    Rig rig(PortKind::Bidirectional, ChipKind::Part12V);
    rig.bus.LatchIdle(1);
    rig.bus.LatchLow(0x00, 1);
    rig.bus.LatchHigh(0xB0, 1);
    rig.bus.SetControl(control::kInput);
    rig.bus.SetControl(control::kInputEnable);
    rig.bus.GetData();
    EXPECT_THAT(faultText(rig.adapter), HasSubstr("after address or enable changed"));

    rig.adapter.clearFaults();
    rig.bus.SetControl(control::kPulseEnable);
    rig.bus.BusDelay(1);
    rig.bus.SetControl(control::kInputEnable);
    EXPECT_THAT(faultText(rig.adapter), HasSubstr("PROG pulse in read code byte"));
}

TEST(Faults, TheDriversClaimPulseCountsOnlyWhereTheChipTakesIt) {
    // A claim restores the kernel's 0x0C: both latches open, PROG low.
    Rig rest(PortKind::Bidirectional, ChipKind::Part12V);
    rest.bus.PutData(0x00);  // the latches take 00: a mode that programs nothing
    rest.adapter.writeControlFromDriver(0x0C);
    rest.clock.advance(std::chrono::milliseconds(500));
    rest.bus.SetControlOut(control::kRest);
    EXPECT_EQ(faultText(rest.adapter), "");
    EXPECT_EQ(rest.adapter.driverPulses(), 1u);

    // Lines left in the write mode (an interrupted write): the chip takes it.
    Rig cut(PortKind::Bidirectional, ChipKind::Part12V);
    cut.bus.LatchHigh(0x35, 1);
    cut.bus.PutData(0x35);
    cut.clock.advance(std::chrono::milliseconds(1));
    cut.adapter.writeControlFromDriver(0x0C);
    cut.clock.advance(std::chrono::milliseconds(500));
    cut.bus.SetControlOut(control::kRest);
    EXPECT_THAT(faultText(cut.adapter), HasSubstr("programmed, but beyond the datasheet"));
    EXPECT_EQ(cut.adapter.chip().code[0x535], 0x35);
    EXPECT_EQ(cut.adapter.driverPulses(), 0u);
}

}  // namespace
}  // namespace lpt51::sim::test
