// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>

#include "ChipFixture.h"
#include "chip/Devices.h"
#include "chip/Erase.h"
#include "chip/Signature.h"

namespace lpt51::chiptest {
namespace {

using namespace lpt51::chip;

using SignatureRead = RecordedChip;

TEST_F(SignatureRead, ReadsThreeAddressesInSignatureModeAndLeavesThePortAtRest) {
    lines.reads = {0x1E, 0x51, 0xFF};
    ReadSignature(ctx);
    Expect e;
    const std::uint8_t chipBytes[] = {0x1E, 0x51, 0xFF};
    for (int i = 0; i < 3; ++i) {
        e.latchIdle(1).latchLow(static_cast<std::uint8_t>(0x30 + i), 1).latchHigh(0x80, 1);
        e.readStrobe(4, 20, chipBytes[i]);
    }
    // P2.7 rises first, and the lines drive once the chip has let go of them.
    e.sc(7).sco(7, 24);
    EXPECT_EQ(transcript(), e.text());
    EXPECT_EQ(state.ChipType, kDevice12V);
    EXPECT_EQ(state.AddrLow, 0x33);
    EXPECT_EQ(busyUnits(), 102u);
    EXPECT_TRUE(prompts.log.empty());
    EXPECT_EQ(lines.control & 0x2F, 0x07);
}

TEST_F(SignatureRead, ThirdByteDecidesTheVariant) {
    const struct {
        std::uint8_t third;
        const char* type;
    } cases[] = {{0xFF, kDevice12V}, {0x05, kDevice5V}, {0x12, kChipNone}};
    for (const auto& c : cases) {
        restart();
        lines.reads = {0x1E, 0x51, c.third};
        ReadSignature(ctx);
        EXPECT_EQ(state.ChipType, c.type) << int(c.third);
        EXPECT_TRUE(prompts.log.empty()) << "no message for any third byte";
    }
}

TEST_F(SignatureRead, SkipSignatureTouchesOnlyTheRestStepAndKeepsChipType) {
    state.SkipSignature = 1;
    state.ChipType = kDevice5V;
    state.AddrLow = 0x77;
    state.AddrHigh = 3;
    ReadSignature(ctx);
    EXPECT_EQ(transcript(), Expect().sco(7).text());
    EXPECT_EQ(state.AddrLow, 0x30);
    EXPECT_EQ(state.AddrHigh, 0);
    EXPECT_EQ(state.ChipType, kDevice5V);
}

TEST_F(SignatureRead, WrongManufacturerAnsweredNoStopsAfterOneByte) {
    lines.reads = {0x00};
    prompts.answers = {Answer::No};
    ReadSignature(ctx);
    EXPECT_EQ(dataReads(), 1u);
    EXPECT_EQ(state.ChipType, kChipNone);
    ASSERT_EQ(prompts.log.size(), 1u);
    EXPECT_EQ(prompts.log[0].kind, QuestionKind::Information);
    EXPECT_EQ(prompts.log[0].text, kNotAtmel);
}

TEST_F(SignatureRead, EmptySocketReadsAllOnesAndTwoYesAnswersGive12V) {
    lines.reads = {0xFF, 0xFF, 0xFF};
    ReadSignature(ctx);
    ASSERT_EQ(prompts.log.size(), 2u);
    EXPECT_EQ(prompts.log[0].kind, QuestionKind::Information);
    EXPECT_EQ(prompts.log[1].kind, QuestionKind::Warning);
    EXPECT_EQ(prompts.log[1].text, kNot89C51);
    EXPECT_EQ(state.ChipType, kDevice12V);
}

using DeviceCheck = RecordedChip;

TEST_F(DeviceCheck, NoSelectIsRefusedBeforeAnyPortAccessInBothModes) {
    for (std::uint8_t bidi : {1, 0}) {
        restart();
        state.BidiMode = bidi;
        EXPECT_FALSE(RunDeviceCheck(ctx, kNoSelect));
        EXPECT_TRUE(recorder.log().empty());
        EXPECT_EQ(prompts.texts(), std::vector<std::string>{kSelectProcessor});
    }
}

TEST_F(DeviceCheck, MatchingSignatureProceedsWithoutAQuestion) {
    lines.reads = {0x1E, 0x51, 0xFF};
    EXPECT_TRUE(RunDeviceCheck(ctx, kDevice12V));
    EXPECT_TRUE(prompts.log.empty());
}

TEST_F(DeviceCheck, OtherVariantAsksAndTheAnswerDecides) {
    for (Answer a : {Answer::No, Answer::Yes}) {
        restart();
        lines.reads = {0x1E, 0x51, 0x05};
        prompts.answers = {a};
        EXPECT_EQ(RunDeviceCheck(ctx, kDevice12V), a == Answer::Yes);
        ASSERT_EQ(prompts.log.size(), 1u);
        EXPECT_EQ(prompts.log[0].kind, QuestionKind::Warning);
        EXPECT_EQ(prompts.log[0].text, "Have you realy AT89C51-12V processor ?");
    }
}

TEST_F(DeviceCheck, RejectedSignatureReachesTheUserAsTheDeviceQuestion) {
    lines.reads = {0x00};
    prompts.answers = {Answer::No, Answer::Yes};
    EXPECT_TRUE(RunDeviceCheck(ctx, kDevice12V));
    EXPECT_EQ(prompts.texts(),
              (std::vector<std::string>{kNotAtmel, "Have you realy AT89C51-12V processor ?"}));
}

TEST_F(DeviceCheck, NoneCaptionIsRefusedAfterTheSignatureRead) {
    lines.reads = {0x1E, 0x51, 0xFF};
    EXPECT_FALSE(RunDeviceCheck(ctx, kChipNone));
    EXPECT_EQ(dataReads(), 3u);
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{kNoProcessor});
}

TEST_F(DeviceCheck, OutputOnlyModeNeitherReadsNorAsks) {
    state.BidiMode = 0;
    state.ChipType = kDevice12V;
    EXPECT_TRUE(RunDeviceCheck(ctx, kDevice5V));
    EXPECT_TRUE(recorder.log().empty());
    EXPECT_TRUE(prompts.log.empty());
}

using Erase = RecordedChip;

TEST_F(Erase, SequenceLatchesEraseModeThenPulsesWithLinesAsInputs) {
    state.BidiMode = 0;  // no signature read: the erase traffic alone
    for (const char* dev : {kDevice12V, kDevice5V}) {
        restart();
        lines.control = 0x07;
        EXPECT_TRUE(ClearChip(ctx, dev));
        Expect e;
        e.latchIdle(1).d(20);
        e.pd(dev == kDevice12V ? 0x40 : 0xC0).d(1).sc(5).d(1);
        e.sc(0x27).d(4).sc(0x23).d(20).sc(0x0B).s(10).sco(7);
        e.releaseBus();
        EXPECT_EQ(transcript(), e.text()) << dev;
        EXPECT_EQ(busyUnits(), 52u);
        EXPECT_EQ(prompts.texts(), std::vector<std::string>{kChipIsClear});
    }
}

TEST_F(Erase, PulseRunsWithDirectionBitSetAndEndsAtRest) {
    state.BidiMode = 0;
    ClearChip(ctx, kDevice12V);
    const auto& log = recorder.log();
    const auto pulse =
        std::find(log.begin(), log.end(), PortAccess{PortAccess::Kind::WriteControl, 0x2B});
    EXPECT_NE(pulse, log.end());
    EXPECT_EQ(lines.control & 0x2F, 0x07);
    EXPECT_EQ(lines.data, 0);
}

TEST_F(Erase, CwvKeepsTheMessageAndARefusedCheckSendsNothing) {
    state.BidiMode = 0;
    state.CwvActive = 1;
    EXPECT_TRUE(ClearChip(ctx, kDevice12V));
    EXPECT_TRUE(prompts.log.empty());

    restart();
    state.BidiMode = 1;
    lines.reads = {0x1E, 0x51, 0x05};
    prompts.answers = {Answer::No};
    EXPECT_FALSE(ClearChip(ctx, kDevice12V));
    const std::size_t signatureAccesses = recorder.log().size();
    restart();
    lines.reads = {0x1E, 0x51, 0x05};
    ReadSignature(ctx);
    EXPECT_EQ(recorder.log().size(), signatureAccesses) << "only the signature read";
}

}  // namespace
}  // namespace lpt51::chiptest
