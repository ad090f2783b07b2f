// SPDX-License-Identifier: GPL-3.0-or-later
// Stretched programming pulses, made on the virtual clock: a clock that holds
// up chosen pulses as a stopped process would, and a chip that takes nothing
// from a pulse past its limit, so every way of mending one runs here.
#include <gtest/gtest.h>

#include <set>

#include "../StallingClock.h"
#include "ChipTestSupport.h"
#include "chip/Devices.h"
#include "chip/Lock.h"
#include "chip/Write.h"
#include "sim/VirtualAdapter.h"

namespace lpt51::chiptest {
namespace {

using namespace lpt51::chip;
using namespace std::chrono_literals;
using lpt51::testing::StallingClock;
using sim::OverlongPulse;
using sim::PortKind;

struct StalledChip {
    StalledChip(PortKind port, OverlongPulse overlong, std::set<unsigned> stalled)
        : adapter(clock, port, Chip(overlong)) {
        clock.stall(std::move(stalled));
        clock.progLow = [this] { return (adapter.readControl() & control_bits::kProgLow) != 0; };
        state.BidiMode = port == PortKind::OutputOnly ? 0 : 1;
    }
    static sim::ChipState Chip(OverlongPulse overlong) {
        sim::ChipState s = sim::ChipState::erased(sim::ChipKind::Part12V);
        s.overlongPulses = overlong;
        return s;
    }
    // Every fault the model saw, each a stretched pulse that the program
    // measured too: none went unnoticed.
    void expectOnlyMeasuredStretches() const {
        for (const sim::Fault& f : adapter.faults()) {
            ASSERT_EQ(f.kind, sim::kStretchedPulseKind) << f.what;
            bool measured = false;
            for (const StretchedPulse& p : pulses.pulses) {
                measured = measured || (f.lockBit != 0 ? p.lockBit == f.lockBit
                                                       : p.lockBit == 0 && f.codeByte == p.address);
            }
            EXPECT_TRUE(measured) << "not measured by the program: " << f.what;
        }
    }

    StallingClock clock;
    sim::VirtualAdapter adapter;
    Bus bus{adapter, clock, 10};
    ScriptedPrompts prompts;
    ProgrammerState state;
    PulseChecks pulses;
    ChipContext ctx{bus, prompts, state, &pulses};
};

const image::Lines kImage = {":0401000011223344xx", ":00000001FF"};

TEST(PulseMending, APulseOfExactlyTheLimitIsNotStretched) {
    const Clock::Duration limit = kAt89c51.timing.maxPulse;
    EXPECT_EQ(limit, 110us);
    EXPECT_FALSE(Stretched(limit));
    EXPECT_TRUE(Stretched(limit + 1ns));
}

TEST(PulseMending, AStretchedCodeBytePulseIsMendedOrEndsTheWrite) {
    struct Case {
        const char* name;
        PortKind port;
        OverlongPulse overlong;
        std::set<unsigned> stalled;  // pulse 1 is the byte at 0101's first
        PulseOutcome outcome;
        unsigned stretched;
    };
    const Case cases[] = {
        {"the long pulse did program",
         PortKind::Bidirectional,
         OverlongPulse::Programs,
         {1},
         PulseOutcome::ReadBackCorrect,
         1},
        {"a second pulse programs",
         PortKind::Bidirectional,
         OverlongPulse::ProgramsNothing,
         {1},
         PulseOutcome::ProgrammedAgain,
         1},
        {"the second pulse is stretched too",
         PortKind::Bidirectional,
         OverlongPulse::ProgramsNothing,
         {1, 2},
         PulseOutcome::ProgrammedAgain,
         2},
        {"three stretched pulses",
         PortKind::Bidirectional,
         OverlongPulse::ProgramsNothing,
         {1, 2, 3},
         PulseOutcome::CouldNotBeMended,
         3},
        {"output-only: once more",
         PortKind::OutputOnly,
         OverlongPulse::ProgramsNothing,
         {1},
         PulseOutcome::ProgrammedAgain,
         1},
        {"output-only: three stretched",
         PortKind::OutputOnly,
         OverlongPulse::ProgramsNothing,
         {1, 2, 3},
         PulseOutcome::CouldNotBeMended,
         3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StalledChip v(c.port, c.overlong, c.stalled);
        const WriteResult w = WriteImage(v.ctx, kDevice12V, ScanImage(kImage), nullptr);
        v.expectOnlyMeasuredStretches();
        ASSERT_EQ(w.pulses.pulses.size(), 1u);
        const StretchedPulse& p = w.pulses.pulses[0];
        EXPECT_EQ(p.address, 0x101);
        EXPECT_EQ(p.outcome, c.outcome);
        EXPECT_EQ(p.stretched, c.stretched);
        EXPECT_EQ(v.pulses.pulses.size(), 1u) << "the session's log sees it too";
        EXPECT_GT(w.pulses.longest(), 300us);
        const auto& code = v.adapter.chip().code;
        if (c.outcome != PulseOutcome::CouldNotBeMended) {
            EXPECT_TRUE(w.completed);
            EXPECT_EQ(WriteFinalMessage(w, v.state), std::string(kFileWasBurn));
            EXPECT_EQ(code[0x100], 0x11);
            EXPECT_EQ(code[0x101], 0x22);
            EXPECT_EQ(code[0x103], 0x44);
            continue;
        }
        // The write stops at the byte: the rest stays erased, and the
        // message says where, what was read and what to do.
        EXPECT_FALSE(w.completed);
        EXPECT_EQ(code[0x102], 0xFF);
        ASSERT_TRUE(w.failure.has_value());
        EXPECT_EQ(WriteFinalMessage(w, v.state), w.failure);
        EXPECT_NE(w.failure->find("code byte 0101"), std::string::npos) << *w.failure;
        EXPECT_NE(w.failure->find("erase it and write again"), std::string::npos);
        if (c.port == PortKind::Bidirectional) {
            EXPECT_NE(w.failure->find("reads FF instead of 22"), std::string::npos) << *w.failure;
        }
    }
}

TEST(PulseMending, AStretchedLockBitPulseIsGivenAgain) {
    StalledChip v(PortKind::Bidirectional, OverlongPulse::ProgramsNothing, {1});
    const LockResult r = LockChip(v.ctx, kDevice12V, {true, true, false});
    v.expectOnlyMeasuredStretches();
    ASSERT_TRUE(r.locked());
    ASSERT_EQ(r.pulses.pulses.size(), 1u);
    EXPECT_EQ(r.pulses.pulses[0].lockBit, 2);
    EXPECT_EQ(r.pulses.pulses[0].outcome, PulseOutcome::ProgrammedAgain);
    EXPECT_EQ(v.adapter.chip().lockBits, (std::array<bool, 3>{true, true, false}));
    EXPECT_EQ(v.prompts.log.back().text, LockMessage({true, true, false}));
    EXPECT_EQ(r.pulses.text(),
              "1 programming pulse was longer than 110 us (the longest 310.0 us): lock bit 2 "
              "programmed again.");
}

}  // namespace
}  // namespace lpt51::chiptest
