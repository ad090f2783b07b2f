// SPDX-License-Identifier: GPL-3.0-or-later
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../SocketMeter.h"
#include "ChipTestSupport.h"
#include "chip/AdapterCheck.h"
#include "chip/AdapterWiring.h"
#include "chip/Devices.h"
#include "sim/VirtualAdapter.h"

namespace lpt51::chiptest {
namespace {

using namespace lpt51::chip;
using sim::ChipKind;
using sim::PortKind;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

using testing::SocketMeter;

struct CheckRig {
    VirtualClock clock;
    sim::VirtualAdapter adapter;
    Bus bus{adapter, clock, 1};
    ScriptedPrompts prompts;
    ProgrammerState state;
    ChipContext ctx{bus, prompts, state};
    SocketMeter meter{adapter};

    CheckRig(const std::string& fault, ChipKind chip, PortKind port = PortKind::Bidirectional)
        : adapter(clock, port, sim::ChipState::erased(chip), {}, sim::Wiring(Parse(fault))) {
        state.BidiMode = port == PortKind::OutputOnly ? 0 : 1;
    }
    static sim::WiringFault Parse(const std::string& word) {
        sim::WiringFault f;
        EXPECT_EQ(sim::ParseWiringFault(word, f), std::nullopt) << word;
        return f;
    }
    // At rest: both latches holding, P2.7 high, PROG high, the lines driving,
    // the high latch in the idle mode.
    void expectAtRest(const char* stage) {
        EXPECT_EQ(adapter.readControl() & 0x3F, control::kRest) << stage;
        EXPECT_EQ(adapter.highLatch(), kAt89c51.idleMode) << stage;
    }
};

std::string Texts(const StageResult& r) {
    std::string text;
    for (const Finding& f : r.findings) text += f.text + "\n";
    return text;
}

TEST(AdapterCheck, ACorrectAdapterPassesEveryStageAndTheChipEndsErased) {
    for (const ChipKind kind : {ChipKind::Part12V, ChipKind::Part5V}) {
        CheckRig empty("none", ChipKind::Empty);
        const StageResult automatic = CheckPort(empty.ctx);
        EXPECT_EQ(Texts(automatic), "");
        EXPECT_EQ(automatic.skipped, std::nullopt);
        empty.expectAtRest("automatic");
        const StageResult guided = CheckWithMeter(empty.ctx, empty.meter);
        EXPECT_EQ(Texts(guided), "");
        EXPECT_EQ(guided.skipped, std::nullopt);
        // Each latch output twice, EA/VPP, P2.7 and PROG twice, the data lines twice.
        EXPECT_EQ(empty.meter.asked.size(), 2u * (8 + 7 + 1 + 1 + 1 + 8));
        empty.expectAtRest("guided");

        CheckRig rig("none", kind);
        // The datasheet timing polls each byte's write cycle.
        rig.state.Timing = kind == ChipKind::Part12V ? &kStandardTiming : &kDatasheetTiming;
        rig.adapter.chip().code.fill(0x3C);
        rig.adapter.chip().lockBits = {true, false, false};
        const StageResult withChip =
            CheckWithChip(rig.ctx, kind == ChipKind::Part12V ? kDevice12V : kDevice5V);
        EXPECT_EQ(Texts(withChip), "");
        EXPECT_EQ(withChip.skipped, std::nullopt);
        rig.expectAtRest("chip");
        EXPECT_THAT(rig.adapter.faults(), IsEmpty());
        for (const std::uint8_t b : rig.adapter.chip().code) ASSERT_EQ(b, 0xFF);
        EXPECT_EQ(rig.adapter.chip().lockBits, (std::array<bool, 3>{}));
        EXPECT_EQ(rig.adapter.erasePulses(), 2u);
    }
}

// Every --sim-wiring fault, named by the stage that can see it; the stages
// before it, which cannot, find nothing.
TEST(AdapterCheck, EachWiringFaultIsNamedAtTheStageThatSeesIt) {
    struct Case {
        const char* fault;
        CheckStage stage;
        const char* named;
    };
    const Case cases[] = {
        {"grounded:D2", CheckStage::Automatic,
         "D2 (DB-25 pin 4, socket pin 37) is shorted to ground"},
        {"no-pull-up:D5", CheckStage::Automatic,
         "D5 (DB-25 pin 7, socket pin 34) reads 0 with nothing driving it: its pull-up R15"},
        {"stuck-low:A5", CheckStage::Guided,
         "A5 never goes high: check the low latch's Q5 (pin 14) to socket pin 6."},
        {"stuck-high:A10", CheckStage::Guided, "A10 never goes low: the high latch's Q2 (pin 17)"},
        {"stuck-low:P2.6", CheckStage::Guided, "P2.6 never goes high"},
        {"swap:A3,A4", CheckStage::Guided,
         "A3 and A4 are swapped: socket pin 4 gets the low "
         "latch's Q4 (pin 15) and socket pin 5 gets the low "
         "latch's Q3 (pin 16)."},
        {"swap:A8,A11", CheckStage::Guided, "A8 and A11 are swapped"},
        {"swap:D1,D3", CheckStage::Guided, "D1 and D3 are swapped"},
        {"vpp-5v", CheckStage::Guided, "EA/VPP never gets 12 V"},
        {"vpp-12v", CheckStage::Guided, "EA/VPP stays at 12 V"},
        {"open:P2.7", CheckStage::Guided,
         "P2.7 never goes high: check the wire from DB-25 pin 16 (nInit) to socket pin 28."},
        {"open:PROG", CheckStage::Guided,
         "ALE/PROG never goes high: check the wire from DB-25 pin 17 (nSelectIn) to socket pin "
         "30."},
    };
    for (const Case& c : cases) {
        CheckRig rig(c.fault, ChipKind::Empty);
        const StageResult automatic = CheckPort(rig.ctx);
        const StageResult guided = CheckWithMeter(rig.ctx, rig.meter);
        const StageResult& naming = c.stage == CheckStage::Automatic ? automatic : guided;
        EXPECT_THAT(Texts(naming), HasSubstr(c.named)) << c.fault;
        for (const Finding& f : naming.findings) EXPECT_EQ(f.stage, c.stage) << c.fault;
        if (c.stage == CheckStage::Guided) {
            EXPECT_EQ(Texts(automatic), "") << c.fault;
        }
        rig.expectAtRest(c.fault);
    }
}

// What a chip read back through a miswired adapter says. Data lines swapped
// between the connector and the socket read back what was written; only the
// signature shows them, where the two bits differ in it.
TEST(AdapterCheck, TheChipStageNamesLinesFromWhatComesBack) {
    const std::pair<const char*, const char*> cases[] = {
        {"stuck-high:A6",
         "A6 (socket pin 7) does not reach the chip: addresses that differ only in A6"},
        // An address swap reads back as written: only the signature, read at
        // another address, is amiss (A8-A11 swapped would not show at all).
        {"swap:A4,A3", "The signature reads FF FF FF, not an AT89C51's"},
        {"grounded:D2",
         "D2 (DB-25 pin 4, socket pin 37) is held low (shorted to ground): no byte reads a 1 on "
         "it, and A2 and A10, latched from it, do not reach the chip either."},
        {"no-pull-up:D5",
         "D5 (DB-25 pin 7, socket pin 34) never reads 1 from the chip: its "
         "pull-up R15 is missing"},
        {"swap:D0,D5",
         "D0 (DB-25 pin 2, socket pin 39) and D5 (DB-25 pin 7, socket pin 34) are swapped: the "
         "signature reads 1E 70 FF"},
        {"open:PROG", "Nothing was programmed, or nothing can be read"},
    };
    for (const auto& [fault, named] : cases) {
        CheckRig rig(fault, ChipKind::Part12V);
        const StageResult r = CheckWithChip(rig.ctx, kDevice12V);
        EXPECT_THAT(Texts(r), HasSubstr(named)) << fault;
        EXPECT_EQ(r.findings.size(), 1u) << fault << ": " << Texts(r);
        rig.expectAtRest(fault);
    }
}

TEST(AdapterCheck, WhatAStageCannotDoItSaysAndLeavesThePortAtRest) {
    CheckRig spp("none", ChipKind::Part12V, PortKind::OutputOnly);
    const StageResult automatic = CheckPort(spp.ctx);
    EXPECT_THAT(automatic.skipped.value_or(""), HasSubstr("output-only"));
    EXPECT_THAT(automatic.findings, IsEmpty());
    spp.expectAtRest("automatic, output-only");
    const StageResult chip = CheckWithChip(spp.ctx, kDevice12V);
    EXPECT_THAT(chip.skipped.value_or(""), HasSubstr("cannot read the chip back"));
    EXPECT_EQ(spp.adapter.erasePulses(), 0u);

    CheckRig stopped("stuck-low:A1", ChipKind::Empty);
    stopped.meter.stopAfter = 5;
    const StageResult guided = CheckWithMeter(stopped.ctx, stopped.meter);
    EXPECT_THAT(guided.skipped.value_or(""), HasSubstr("Stopped at socket pin 3"));
    EXPECT_THAT(Texts(guided), HasSubstr("A1 never goes high"));
    stopped.expectAtRest("guided, stopped");

    CheckRig refused("none", ChipKind::Part12V);
    EXPECT_THAT(CheckWithChip(refused.ctx, kNoSelect).skipped.value_or(""),
                HasSubstr("nothing was erased"));
    EXPECT_EQ(refused.adapter.erasePulses(), 0u);
}

}  // namespace
}  // namespace lpt51::chiptest
