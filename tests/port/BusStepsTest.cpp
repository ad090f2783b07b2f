// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "RegisterPort.h"
#include "port/Bus.h"
#include "port/Probe.h"

namespace lpt51 {
namespace {

using testing::NotingClock;
using testing::RegisterPort;

struct BusSteps : ::testing::Test {
    RegisterPort registers;
    RecordingPort recorder{registers};
    NotingClock clock{recorder};
    Bus bus{recorder, clock, 29930};

    std::string transcript() const { return clock.transcript(); }
    // The next step's transcript on its own.
    void forgetSoFar() {
        recorder.clear();
        clock.waits.clear();
    }
};

TEST_F(BusSteps, LatchLowAndLatchHighStrobeTheirOwnLatchWithWaitsBetween) {
    registers.control = 0x07;
    bus.LatchLow(0x5A, 1);
    EXPECT_EQ(transcript(), "WD 5A, D1, RC 07, WC 06, D1, RC 06, WC 07, D1");

    forgetSoFar();
    bus.LatchHigh(0xB3, 4);
    EXPECT_EQ(transcript(), "WD B3, D4, RC 07, WC 05, D4, RC 05, WC 07, D4");
}

TEST_F(BusSteps, LatchIdleAfterReadStrobeLatchesWithLinesStillInputsThenDrives) {
    registers.control = 0x07;
    registers.data = 0x3C;
    EXPECT_EQ(bus.ReadStrobe(4, 20), 0x3C);
    EXPECT_EQ(transcript(), "RC 07, WC 27, D4, RC 27, WC 23, D20, RD 3C");

    forgetSoFar();
    bus.LatchIdle(1);
    // Bit 5 survives every SetControl until the final SetControlOut.
    EXPECT_EQ(transcript(),
              "RC 23, WC 27, D1, WD 80, D1, RC 27, WC 25, D1, RC 25, WC 27, D1, RC 27, WC 07");

    forgetSoFar();
    bus.LatchHigh(0xB1, 1);
    EXPECT_EQ(transcript(), "WD B1, D1, RC 07, WC 05, D1, RC 05, WC 07, D1");

    // Without waits of its own, the idle latch closes only once the chip's
    // 24 us after P2.7 rose have passed; the lines drive after it.
    bus.ReadStrobe(4, 20);
    forgetSoFar();
    bus.LatchIdle(BusWait{});
    EXPECT_EQ(transcript(), "RC 23, WC 27, WD 80, RC 27, WC 25, RC 25, W24, WC 27, RC 27, WC 07");
}

TEST_F(BusSteps, ReadOutDelaysAreFourAndTenTimes) {
    registers.control = 0x07;
    bus.ReadStrobe(10, 40);
    EXPECT_EQ(transcript(), "RC 07, WC 27, D10, RC 27, WC 23, D40, RD 00");
}

TEST_F(BusSteps, ReleaseBusLatchesIdleModeAndLeavesDataZeroAndLinesDriving) {
    registers.control = 0x23;
    bus.ReleaseBus();
    // P2.7 rose after a read 10 us before the lines drive and the latch
    // closes: the rest of the chip's 24 us data float is waited out first.
    EXPECT_EQ(transcript(), "WD 80, D1, RC 23, WC 25, D1, RC 25, W14, WC 07, WD 00");
    EXPECT_EQ(registers.control, 0x07);
    EXPECT_EQ(registers.data, 0x00);
}

TEST_F(BusSteps, SleepIsOneOperatingSystemSleepAndNoPortAccess) {
    bus.Sleep(10);
    EXPECT_EQ(transcript(), "S10");
}

TEST_F(BusSteps, ProbeHasNoWaitsAndReadsWhatTheLinesShow) {
    registers.control = 0xC7;
    EXPECT_EQ(ProbePort(bus), 0x03);  // plain registers behave like an output-only port
    EXPECT_EQ(transcript(), "WD 00, RC C7, WC E7, WD 03, RD 03");
}

// Read-modify-write: which bits of the control register each step keeps.
struct ControlMask {
    std::uint8_t before;
    bool out;  // SetControlOut instead of SetControl
    std::uint8_t value;
    std::uint8_t written;
};

class ControlMasks : public ::testing::TestWithParam<ControlMask> {};

TEST_P(ControlMasks, KeepTheBitsTheStepDoesNotOwn) {
    const ControlMask c = GetParam();
    RegisterPort registers;
    registers.control = c.before;
    RecordingPort recorder(registers);
    NotingClock clock(recorder);
    Bus bus(recorder, clock, 1);
    if (c.out) {
        bus.SetControlOut(c.value);
    } else {
        bus.SetControl(c.value);
    }
    ASSERT_EQ(recorder.log().size(), 2u);
    EXPECT_EQ(recorder.log()[0], (PortAccess{PortAccess::Kind::ReadControl, c.before}));
    EXPECT_EQ(recorder.log()[1], (PortAccess{PortAccess::Kind::WriteControl, c.written}));
}

INSTANTIATE_TEST_SUITE_P(
    Bus, ControlMasks,
    ::testing::Values(ControlMask{0x27, false, 0x07, 0x27},  // bit 5 kept
                      ControlMask{0x27, true, 0x07, 0x07},   // bit 5 cleared: lines drive
                      ControlMask{0xD0, false, 0x07, 0xD7},  // 4, 6, 7 as read back
                      ControlMask{0xF0, true, 0x07, 0xD7},   // ... also by SetControlOut
                      ControlMask{0x10, false, 0x27, 0x37},  // 0x27 sets 5, leaves 4
                      ControlMask{0x00, false, 0x27, 0x27},  //
                      ControlMask{0x2F, false, 0x06, 0x26},  // old low bits never linger
                      ControlMask{0x0F, true, 0x05, 0x05},   //
                      ControlMask{0xFF, false, 0x0B, 0xFB}));

}  // namespace
}  // namespace lpt51
