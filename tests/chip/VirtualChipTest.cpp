// SPDX-License-Identifier: GPL-3.0-or-later
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ChipTestSupport.h"
#include "chip/Devices.h"
#include "chip/Erase.h"
#include "chip/Lock.h"
#include "chip/ReadOut.h"
#include "chip/Signature.h"
#include "chip/Verify.h"
#include "chip/Write.h"
#include "sim/VirtualAdapter.h"

namespace lpt51::chiptest {
namespace {

using namespace lpt51::chip;
using sim::ChipKind;
using sim::PortKind;

// Two data records crossing a page, an extended-address record that programs
// nothing, and a record near the top of the chip.
const image::Lines kImage = {
    ":0800FC0002A5005A0F11C3FFxx",
    ":020000040000FA",
    ":040FFC00DEADBEEFxx",
    ":00000001FF",
};

std::array<std::uint8_t, 4096> ImageBytes() {
    std::array<std::uint8_t, 4096> b;
    b.fill(0xFF);
    const std::uint8_t low[] = {0x02, 0xA5, 0x00, 0x5A, 0x0F, 0x11, 0xC3, 0xFF};
    for (int i = 0; i < 8; ++i) b[0x0FC + i] = low[i];
    const std::uint8_t high[] = {0xDE, 0xAD, 0xBE, 0xEF};
    for (int i = 0; i < 4; ++i) b[0xFFC + i] = high[i];
    return b;
}

std::string Faults(const sim::VirtualAdapter& a) {
    std::string s;
    for (const auto& f : a.faults()) s += f.what + "\n";
    return s;
}

struct VirtualChip {
    VirtualChip(ChipKind kind, PortKind port, std::uint8_t fill = 0x00,
                sim::ChipTimingModel timing = {})
        : adapter(clock, port, Filled(kind, fill), timing) {
        state.BidiMode = port == PortKind::OutputOnly ? 0 : 1;
    }
    static sim::ChipState Filled(ChipKind kind, std::uint8_t fill) {
        sim::ChipState s = sim::ChipState::erased(kind);
        s.code.fill(fill);
        return s;
    }

    VirtualClock clock;
    sim::VirtualAdapter adapter;
    Bus bus{adapter, clock, 10};
    ScriptedPrompts prompts;
    ProgrammerState state;
    ChipContext ctx{bus, prompts, state};
};

// Both timings, at the slowest, the default and the fastest crystal the chip
// may have while programming: every operation without a fault, and each
// ending at rest with 5 V on EA/VPP. At 3 MHz the chip drives P0 for 16 us
// after each read, so a port that takes the lines back sooner shows up here.
TEST(VirtualChipRoundTrip, EraseWriteReadVerifyOnBothVariantsTimingsAndCrystals) {
    for (const BusTiming* timing : {&kStandardTiming, &kDatasheetTiming}) {
        for (const double mhz : {3.0, 12.0, 24.0}) {
            for (const auto& [kind, caption] : {std::pair{ChipKind::Part12V, kDevice12V},
                                                std::pair{ChipKind::Part5V, kDevice5V}}) {
                SCOPED_TRACE(std::string(caption) + " " + timing->name + " " + std::to_string(mhz) +
                             " MHz");
                VirtualChip v(kind, PortKind::Bidirectional, 0x00, {mhz});
                v.state.Timing = timing;

                const auto atRest = [&](const char* after) {
                    EXPECT_EQ(Faults(v.adapter), "") << after;
                    EXPECT_NE(v.adapter.highLatch() & mode_bits::kVpp5V, 0) << after;
                    EXPECT_EQ(v.adapter.readControl(), control::kRest) << after;
                };
                SignatureCommand(v.ctx);
                atRest("signature");

                ASSERT_TRUE(ClearChip(v.ctx, caption));
                EXPECT_EQ(Faults(v.adapter), "");
                EXPECT_EQ(v.prompts.texts(), std::vector<std::string>{kChipIsClear})
                    << "signature matched: no question";
                EXPECT_EQ(v.state.ChipType, caption);

                const WriteResult w = WriteImage(v.ctx, caption, ScanImage(kImage), nullptr);
                EXPECT_TRUE(w.completed);
                EXPECT_EQ(w.failure, std::nullopt);
                EXPECT_EQ(w.bytesProgrammed, 12u);
                EXPECT_EQ(v.adapter.programPulses(), 11u) << "none for the 0xFF at 0x103";
                atRest("write");  // in the datasheet timing, every byte polled
                const ReadBackResult back =
                    ReadBackImage(v.ctx, ScanImage(kImage), kCodeSize, nullptr);
                EXPECT_EQ(back.compared, 12u);
                EXPECT_TRUE(back.differences.empty());
                atRest("the write's read-back");

                const auto bytes = ReadChipBytes(v.ctx, nullptr);
                atRest("read-out, as the blank check reads");
                EXPECT_TRUE(bytes == ImageBytes()) << "unnamed cells read 0xFF";

                const image::Lines text = ReadChip(v.ctx, nullptr);
                EXPECT_EQ(text[15], ":1000F000FFFFFFFFFFFFFFFFFFFFFFFF02A5005A0B");
                EXPECT_EQ(text[15].size(), 43u);

                v.prompts.log.clear();
                const VerifyResult r = VerifyImage(v.ctx, ScanImage(kImage), nullptr);
                EXPECT_TRUE(v.prompts.log.empty());
                EXPECT_EQ(VerifyFinalMessage(r, v.state),
                          std::optional<std::string>(kFileCheckSuccessful));
                atRest("verify");

                // The read-out text itself programs and verifies as an image.
                v.prompts.log.clear();
                EXPECT_TRUE(VerifyImage(v.ctx, ScanImage(text), nullptr).reachedEnd);
                EXPECT_TRUE(v.prompts.log.empty());

                EXPECT_TRUE(LockChip(v.ctx, caption, {true, true, true}).locked());
                EXPECT_EQ(v.adapter.chip().lockBits, (std::array<bool, 3>{true, true, true}));
                atRest("lock");
            }
        }
    }
}

// Polling ends each byte with its cycle: a write takes the model's cycle
// per byte and little more, whatever length the cycle has. Without the
// model's polling the write would pulse into a running cycle.
TEST(VirtualChipDataPolling, EachByteEndsWithItsWriteCycle) {
    for (const int cycleUs : {200, 1500, 2000}) {
        VirtualChip v(ChipKind::Part12V, PortKind::Bidirectional, 0xFF,
                      {3.0, std::chrono::microseconds(cycleUs)});
        v.state.Timing = &kDatasheetTiming;
        const auto start = v.clock.now();
        const WriteResult w = WriteImage(v.ctx, kDevice12V, ScanImage(kImage), nullptr);
        const auto perByte = (v.clock.now() - start) / 11;  // the 0xFF byte takes no cycle
        EXPECT_TRUE(w.completed);
        EXPECT_EQ(Faults(v.adapter), "");
        EXPECT_TRUE(v.adapter.chip().code == ImageBytes());
        EXPECT_GE(perByte, std::chrono::microseconds(cycleUs));
        EXPECT_LE(perByte, std::chrono::microseconds(cycleUs + 120)) << cycleUs;
    }
}

// A byte that reads wrong after its cycle stops the write there; a chip
// that never ends a cycle is asked about its voltage and its lock bits.
TEST(VirtualChipDataPolling, AWrongByteOrACycleThatNeverEndsStopsTheWrite) {
    sim::ChipState weak = sim::ChipState::erased(ChipKind::Part12V);
    weak.weakCells = {0x0FD};
    weak.stuckMask = 0x02;
    VirtualChip v(ChipKind::Part12V, PortKind::Bidirectional, 0xFF);
    v.adapter.chip() = weak;
    v.state.Timing = &kDatasheetTiming;
    WriteResult w = WriteImage(v.ctx, kDevice12V, ScanImage(kImage), nullptr);
    EXPECT_FALSE(w.completed);
    EXPECT_EQ(w.bytesProgrammed, 1u);
    EXPECT_EQ(WriteFinalMessage(w, v.state),
              std::optional<std::string>("Write stopped at code byte 00FD: it reads A7 instead "
                                         "of A5. The chip may be partly programmed: erase it "
                                         "and write again."));

    VirtualChip locked(ChipKind::Part12V, PortKind::Bidirectional, 0xFF);
    locked.adapter.chip().lockBits[0] = true;
    locked.state.Timing = &kDatasheetTiming;
    const auto start = locked.clock.now();
    w = WriteImage(locked.ctx, kDevice12V, ScanImage(kImage), nullptr);
    EXPECT_EQ(w.bytesProgrammed, 0u);
    EXPECT_EQ(w.failure,
              "the chip did not finish writing byte 00FC: is the programming "
              "voltage on, and is the chip locked?");
    // Given up 1.5 times the datasheet's 2 ms after the pulse, not sooner.
    EXPECT_GE(locked.clock.now() - start, std::chrono::microseconds(3000));
    EXPECT_LE(locked.clock.now() - start, std::chrono::microseconds(3200));
}

// P2.7 low and high again in the erase mode without its voltage, which
// drives nothing: it rises just before what follows, as at the end of an
// erase pulse, with no wait of the bus's after it.
void RaiseP27(sim::VirtualAdapter& adapter) {
    adapter.writeData(kAt89c51.modeByte(Operation::Erase, Variant::Volts5));
    adapter.writeControl(control::kHighStrobe);
    adapter.writeControl(control::kRest);
    adapter.writeControl(control::kRest & ~control_bits::kP27High);
    adapter.writeControl(control::kRest);
}

// Each wait of the datasheet timing, shortened below the limit it keeps, on
// the slowest crystal: the virtual chip reports it (or the write its end).
TEST(VirtualChipDatasheetLimits, EachWaitShortenedBelowItsLimitIsReported) {
    using std::chrono::microseconds;
    enum class Op { Write, WriteOutputOnly, ReadOut, Verify, Signature, Erase, Lock };
    struct Limit {
        const char* limit;
        void (*shorten)(BusTiming&);
        Op op;
        const char* report;
    };
    const Limit limits[] = {
        {"tDVGL", [](BusTiming& t) { t.write.setup = BusWait::Exact(microseconds(8), ""); },
         Op::Write, "data of code byte 0FC set up only 8.0 us before PROG went low"},
        {"tAVGL", [](BusTiming& t) { t.write.setup = BusWait::Exact(microseconds(8), ""); },
         Op::Write, "address of code byte 0FC set up only 8.0 us"},
        {"tSHGL", [](BusTiming& t) { t.write.setup = BusWait::Exact(microseconds(5), ""); },
         Op::Write, "programming voltage set up only 5.0 us before PROG went low"},
        {"tEHSH", [](BusTiming& t) { t.write.settle = {}; }, Op::Write,
         "programming voltage switched on only"},
        {"tGLGH", [](BusTiming& t) { t.write.pulse = {}; }, Op::Write, "PROG pulse of 0.0 us"},
        {"tGHDX", [](BusTiming& t) { t.write.pollHold = BusWait::Exact(microseconds(8), ""); },
         Op::Write, "data of code byte 0FC held only 8.0 us after PROG went high"},
        {"tELQV polling",
         [](BusTiming& t) { t.write.pollAccess = BusWait::Exact(microseconds(8), ""); }, Op::Write,
         "only 8.0 us after address or enable changed"},
        {"tWC polling", [](BusTiming& t) { t.write.pollTimeout = microseconds(1000); }, Op::Write,
         "the chip did not finish writing byte 00FC"},
        {"tWC", [](BusTiming& t) { t.write.cycle = BusWait::Exact(microseconds(1000), ""); },
         Op::WriteOutputOnly, "PROG pulse during the write cycle"},
        {"tAVQV read-out",
         [](BusTiming& t) { t.readOut.access = BusWait::Exact(microseconds(8), ""); }, Op::ReadOut,
         "only 8.0 us after address or enable changed"},
        {"tAVQV verify",
         [](BusTiming& t) { t.verify.access = BusWait::Exact(microseconds(8), ""); }, Op::Verify,
         "only 8.0 us after address or enable changed"},
        {"tAVQV signature",
         [](BusTiming& t) { t.signature.access = BusWait::Exact(microseconds(8), ""); },
         Op::Signature, "only 8.0 us after address or enable changed"},
        {"tEHSH erase", [](BusTiming& t) { t.erase.settle = {}; }, Op::Erase,
         "programming voltage switched on only"},
        {"tSHGL erase", [](BusTiming& t) { t.erase.setup = BusWait::Exact(microseconds(5), ""); },
         Op::Erase, "programming voltage set up only"},
        {"erase pulse", [](BusTiming& t) { t.erase.pulse = BusWait::Sleep(9); }, Op::Erase,
         "erase pulse of 9000.0 us"},
        {"tSHGL lock", [](BusTiming& t) { t.lock.setup = BusWait::Exact(microseconds(5), ""); },
         Op::Lock, "programming voltage set up only 5.0 us before PROG went low"},
        {"tGHSL lock", [](BusTiming& t) { t.lock.idle = {}; }, Op::Lock,
         "programming voltage held only 0.0 us after PROG went high"},
        {"tGLGH lock", [](BusTiming& t) { t.lock.pulse = {}; }, Op::Lock,
         "PROG pulse of 0.0 us for lock bit 1"},
    };
    for (const Limit& l : limits) {
        SCOPED_TRACE(l.limit);
        BusTiming timing = kDatasheetTiming;
        l.shorten(timing);
        VirtualChip v(ChipKind::Part12V,
                      l.op == Op::WriteOutputOnly ? PortKind::OutputOnly : PortKind::Bidirectional,
                      0xFF, {3.0});
        if (l.op == Op::ReadOut || l.op == Op::Verify) v.adapter.chip().code = ImageBytes();
        v.state.Timing = &timing;
        std::string said;
        switch (l.op) {
            case Op::Write:
                RaiseP27(v.adapter);
                [[fallthrough]];
            case Op::WriteOutputOnly:
                said =
                    WriteImage(v.ctx, kDevice12V, ScanImage(kImage), nullptr).failure.value_or("");
                break;
            case Op::ReadOut:
                ReadChipBytes(v.ctx, nullptr);
                break;
            case Op::Verify:
                VerifyImage(v.ctx, ScanImage(kImage), nullptr);
                break;
            case Op::Signature:
                SignatureCommand(v.ctx);
                break;
            case Op::Erase:
                // Without the device check, whose signature read ends with
                // the lines left to the chip for 24 us.
                RaiseP27(v.adapter);
                EraseSequence(v.bus, true, timing.erase);
                break;
            case Op::Lock:
                LockChip(v.ctx, kDevice12V, {true, true, true});
                break;
        }
        EXPECT_THAT(Faults(v.adapter) + said, ::testing::HasSubstr(l.report));
    }
}

TEST(VirtualChipVerify, ReportsTheFirstDifferingByteExactly) {
    VirtualChip v(ChipKind::Part12V, PortKind::Bidirectional, 0xFF);
    v.prompts.answers = {Answer::No};
    const VerifyResult r = VerifyImage(v.ctx, ScanImage(kImage), nullptr);
    ASSERT_EQ(v.prompts.log.size(), 1u);
    EXPECT_EQ(v.prompts.log[0].text,
              "Not correct on adress (Hex): 00FC\rOn chip =FF  In file= 02\r Continue ? ");
    EXPECT_EQ(VerifyFinalMessage(r, v.state), std::nullopt);
    EXPECT_EQ(Faults(v.adapter), "");
}

TEST(VirtualChipVerify, WritingOverAnImageWithoutEraseOnlyClearsBits) {
    VirtualChip v(ChipKind::Part12V, PortKind::Bidirectional, 0xFF);
    WriteImage(v.ctx, kDevice12V, ScanImage({":010000000Fxx", ":00000001FF"}), nullptr);
    const image::Lines other = {":01000000F0xx", ":00000001FF"};
    WriteImage(v.ctx, kDevice12V, ScanImage(other), nullptr);
    const VerifyResult r = VerifyImage(v.ctx, ScanImage(other), nullptr);
    ASSERT_EQ(v.prompts.log.size(), 1u);
    EXPECT_EQ(v.prompts.log[0].kind, QuestionKind::Error);
    EXPECT_EQ(v.prompts.log[0].text,
              "Not correct on adress (Hex): 0000\rOn chip =00  In file= F0\r Continue ? ");
    EXPECT_EQ(VerifyFinalMessage(r, v.state), std::optional<std::string>(kVerifyNotCorrect));
}

TEST(VirtualChipPorts, OutputOnlyPortErasesAndWrites) {
    VirtualChip v(ChipKind::Part12V, PortKind::OutputOnly);
    ASSERT_TRUE(ClearChip(v.ctx, kDevice12V));
    EXPECT_TRUE(WriteImage(v.ctx, kDevice12V, ScanImage(kImage), nullptr).completed);
    EXPECT_TRUE(v.adapter.chip().code == ImageBytes());
    EXPECT_EQ(Faults(v.adapter), "");
    EXPECT_EQ(v.prompts.texts(), std::vector<std::string>{kChipIsClear});
}

TEST(VirtualChipLock, LockBitsAreSetAndAnEraseClearsThem) {
    VirtualChip v(ChipKind::Part12V, PortKind::Bidirectional);
    ASSERT_TRUE(LockChip(v.ctx, kDevice12V, {true, true, true}).locked());
    EXPECT_EQ(Faults(v.adapter), "");
    EXPECT_EQ(v.adapter.chip().lockBits, (std::array<bool, 3>{true, true, true}));
    ASSERT_TRUE(ClearChip(v.ctx, kDevice12V));
    EXPECT_EQ(v.adapter.chip().lockBits, (std::array<bool, 3>{false, false, false}));
    for (auto b : v.adapter.chip().code) ASSERT_EQ(b, 0xFF);
    EXPECT_EQ(Faults(v.adapter), "");
}

TEST(VirtualChipSocket, EmptySocketAsksBothSignatureQuestions) {
    VirtualChip v(ChipKind::Empty, PortKind::Bidirectional);
    // Yes, Yes: the pull-ups read as a 12 V part and the erase goes ahead.
    EXPECT_TRUE(ClearChip(v.ctx, kDevice12V));
    EXPECT_EQ(v.prompts.texts(), (std::vector<std::string>{kNotAtmel, kNot89C51, kChipIsClear}));

    v.prompts.log.clear();
    v.prompts.answers = {Answer::No, Answer::No};
    EXPECT_FALSE(ClearChip(v.ctx, kDevice12V));
    EXPECT_EQ(v.prompts.texts(),
              (std::vector<std::string>{kNotAtmel, "Have you realy AT89C51-12V processor ?"}));
    EXPECT_EQ(v.state.ChipType, kChipNone);
}

TEST(VirtualChipSocket, ForeignChipIsQuestionedAndNoLeavesItUntouched) {
    VirtualChip v(ChipKind::Foreign, PortKind::Bidirectional, 0x5A);
    v.prompts.answers = {Answer::No, Answer::No, Answer::No};
    EXPECT_FALSE(ClearChip(v.ctx, kDevice12V));
    EXPECT_FALSE(v.prompts.log.empty());
    EXPECT_EQ(v.adapter.erasePulses(), 0u);
    EXPECT_EQ(v.adapter.chip().code[0], 0x5A);
}

TEST(VirtualChipVariant, WrongVariantSelectedShowsUpAsAFault) {
    // A 5 V part with the 12 V device chosen and the question answered Yes.
    VirtualChip v(ChipKind::Part5V, PortKind::Bidirectional);
    v.prompts.answers = {Answer::Yes};
    EXPECT_TRUE(ClearChip(v.ctx, kDevice12V));
    EXPECT_EQ(v.prompts.log.at(0).text, "Have you realy AT89C51-12V processor ?");
    WriteImage(v.ctx, kDevice12V, ScanImage(kImage), nullptr);
    EXPECT_FALSE(v.adapter.faults().empty());
}

}  // namespace
}  // namespace lpt51::chiptest
