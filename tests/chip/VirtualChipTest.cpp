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
    VirtualChip(ChipKind kind, PortKind port, std::uint8_t fill = 0x00)
        : adapter(clock, port, Filled(kind, fill)) {
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

TEST(VirtualChipRoundTrip, EraseWriteReadVerifyOnBothVariants) {
    for (const auto& [kind, caption] :
         {std::pair{ChipKind::Part12V, kDevice12V}, std::pair{ChipKind::Part5V, kDevice5V}}) {
        SCOPED_TRACE(caption);
        VirtualChip v(kind, PortKind::Bidirectional);

        ASSERT_TRUE(ClearChip(v.ctx, caption));
        EXPECT_EQ(Faults(v.adapter), "");
        EXPECT_EQ(v.prompts.texts(), std::vector<std::string>{kChipIsClear})
            << "signature matched: no question";
        EXPECT_EQ(v.state.ChipType, caption);

        const WriteResult w = WriteImage(v.ctx, caption, ScanImage(kImage), nullptr);
        EXPECT_TRUE(w.completed);
        EXPECT_EQ(w.bytesProgrammed, 12u);
        EXPECT_EQ(Faults(v.adapter), "");

        const auto bytes = ReadChipBytes(v.ctx, nullptr);
        EXPECT_EQ(Faults(v.adapter), "");
        EXPECT_TRUE(bytes == ImageBytes()) << "unnamed cells read 0xFF";

        const image::Lines text = ReadChip(v.ctx, nullptr);
        EXPECT_EQ(text[15], ":1000F000FFFFFFFFFFFFFFFFFFFFFFFF02A5005A0B");
        EXPECT_EQ(text[15].size(), 43u);

        v.prompts.log.clear();
        const VerifyResult r = VerifyImage(v.ctx, ScanImage(kImage), nullptr);
        EXPECT_TRUE(v.prompts.log.empty());
        EXPECT_EQ(VerifyFinalMessage(r, v.state), std::optional<std::string>(kFileCheckSuccessful));
        EXPECT_EQ(Faults(v.adapter), "");

        // The read-out text itself programs and verifies as an image.
        v.prompts.log.clear();
        EXPECT_TRUE(VerifyImage(v.ctx, ScanImage(text), nullptr).reachedEnd);
        EXPECT_TRUE(v.prompts.log.empty());
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
    ASSERT_TRUE(LockChip(v.ctx, kDevice12V, {true, true, true}));
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
