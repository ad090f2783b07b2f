// SPDX-License-Identifier: GPL-3.0-or-later
#include "ChipFixture.h"
#include "chip/Devices.h"
#include "chip/ImageScan.h"
#include "chip/Verify.h"
#include "chip/Write.h"

namespace lpt51::chiptest {
namespace {

using namespace lpt51::chip;

struct Seen : ProgressObserver {
    std::vector<std::size_t> finished;
    std::vector<std::string> mismatches;
    std::size_t lastDone = 0, lastTotal = 0;
    void recordFinished(std::size_t i) override { finished.push_back(i); }
    void bytesDone(std::size_t d, std::size_t t) override {
        lastDone = d;
        lastTotal = t;
    }
    void mismatch(std::uint16_t a, std::uint8_t c, std::uint8_t f) override {
        mismatches.push_back(std::to_string(a) + ":" + std::to_string(c) + ":" + std::to_string(f));
    }
};

// Per byte: low address, mode byte, data, 1 ms (2 on an output-only port),
// the one-unit pulse, 3 ms.
void WriteByte(Expect& e, std::uint8_t low, std::uint8_t mode, std::uint8_t b, bool bidi = true) {
    e.latchLow(low, 1).latchHigh(mode, 1).pd(b).d(1).s(1);
    if (!bidi) e.s(1);
    e.sc(0x0F).d(1).sc(7).s(3);
}

using Write = RecordedChip;

TEST_F(Write, RecordCrossingAPageCarriesIntoTheModeByteAndOtherRecordsProgramNothing) {
    const image::Lines text = {":0200FF00A55Bxx", ":020000040000FA", ":0001000000", ":00000001FF",
                               "garbage below the end record is never read"};
    Seen seen;
    const WriteResult r = WriteImage(ctx, kDevice12V, ScanImage(text), &seen);
    EXPECT_TRUE(r.completed);
    EXPECT_EQ(r.bytesProgrammed, 2u);
    Expect e;
    e.latchIdle(1).d(20);
    e.sc(7).d(1);
    WriteByte(e, 0xFF, 0x30, 0xA5);
    WriteByte(e, 0x00, 0x31, 0x5B);
    e.releaseBus();
    EXPECT_EQ(transcript(), e.text());
    EXPECT_EQ(seen.finished, (std::vector<std::size_t>{0, 1, 2}));
    EXPECT_EQ(seen.lastDone, 2u);
    EXPECT_EQ(seen.lastTotal, 2u);
    EXPECT_EQ(WriteFinalMessage(r, state), std::optional<std::string>(kFileWasBurn));
    state.CwvActive = 1;
    EXPECT_EQ(WriteFinalMessage(r, state), std::nullopt);
}

TEST_F(Write, VariantAndPortModeChooseModeByteAndSleeps) {
    const image::Lines text = {":010ABC00c3xx", ":00000001FF"};  // lower case digits
    state.BidiMode = 0;
    WriteImage(ctx, kDevice5V, ScanImage(text), nullptr);
    Expect e;
    e.latchIdle(1).d(20).sc(7).d(1);
    WriteByte(e, 0xBC, 0xBA, 0xC3, false);
    e.releaseBus();
    EXPECT_EQ(transcript(), e.text());

    restart();
    state.BidiMode = 1;
    WriteImage(ctx, kDevice12V, ScanImage(text), nullptr);
    EXPECT_NE(transcript().find("WD 3A"), std::string::npos);
    EXPECT_EQ(sleepMs(), 4u);
    EXPECT_EQ(busyUnits(), 4u + 20 + 1 + 8 + 2);
}

TEST_F(Write, AnImageWithoutDataIsRefusedBeforeThePort) {
    const WriteResult r = WriteImage(ctx, kDevice12V, ScanImage({":00000001FF"}), nullptr);
    EXPECT_FALSE(r.completed);
    EXPECT_EQ(transcript(), "");
    EXPECT_EQ(WriteFinalMessage(r, state),
              std::optional<std::string>("Write refused: the image holds no data: nothing to "
                                         "program. Nothing was programmed."));
}

// Texts that must program nothing: each refused before the first port access.
TEST_F(Write, BadTextsAreRefusedBeforeAnyPortAccess) {
    const struct {
        image::Lines text;
        std::string refusal;
    } cases[] = {
        {{":0100000011xx", ":0200100012ZZxx", ":00000001FF"},
         "Write refused: line 2, column 12: field \"ZZ\" is not a hexadecimal byte. Nothing was "
         "programmed."},
        {{":0100000011xx"},
         "Write refused: line 1: the text ends without an end record (:00000001FF). Nothing was "
         "programmed."},
        {{},
         "Write refused: the text is empty: there is no end record (:00000001FF). Nothing was "
         "programmed."},
        {{":01100000AAxx", ":00000001FF"},
         "Write refused: line 1: the record at address 1000 lies beyond 0FFF, the chip's last "
         "address. Nothing was programmed."},
        {{":020FFF00AABBxx", ":00000001FF"},
         "Write refused: line 1: the record at address 0FFF runs past 0FFF, the chip's last "
         "address. Nothing was programmed."},
        // A non-zero extended base moves the bytes off the chip; a zero one
        // (as many tools write first) does not.
        {{":020000040000FA", ":020000040001F9", ":0400000001020304F2", ":00000001FF"},
         "Write refused: line 3: the record at address 10000 (extended linear address 0001, "
         "offset 0000) lies beyond 0FFF, the chip's last address. Nothing was programmed."},
        {{":020000021000EC", ":0400000001020304F2", ":00000001FF"},
         "Write refused: line 2: the record at address 10000 (extended segment address 1000, "
         "offset 0000) lies beyond 0FFF, the chip's last address. Nothing was programmed."},
        {{":03000004000000F9", ":00000001FF"},
         "Write refused: line 1, column 2: the extended linear address record (type 04) has a "
         "byte count of 03; it must be 02. Nothing was programmed."},
        {{":0400000011223"},
         "Write refused: line 1, column 14: the line ends where a two-digit field is expected. "
         "Nothing was programmed."},
        {{"; 8051 disassembly", "        org 0000h", ":00000001FF"},
         "Write refused: line 1, column 2: field \" 8\" is not a hexadecimal byte. Nothing was "
         "programmed."},
    };
    for (const auto& c : cases) {
        restart();
        const WriteResult r = WriteImage(ctx, kDevice12V, ScanImage(c.text), nullptr);
        EXPECT_FALSE(r.completed);
        EXPECT_TRUE(recorder.log().empty()) << c.refusal;
        EXPECT_EQ(r.refusal.value_or(""), c.refusal);
        state.CwvActive = 1;  // a refusal is shown even inside the sequence
        EXPECT_EQ(WriteFinalMessage(r, state), r.refusal);
        state.CwvActive = 0;
    }
}

TEST(ImageScanning, LastByteAt0FFFAndSkippedRecordsAreAccepted) {
    const ScannedImage s = ScanImage({":010FFF0042xx", ":0012340000", ":00000001FF"});
    ASSERT_FALSE(s.problem.has_value());
    EXPECT_EQ(s.dataBytes, 1u);
    EXPECT_EQ(s.endLine, 2u);
    ASSERT_EQ(s.records.size(), 2u);
    EXPECT_TRUE(s.records[0].data);
    EXPECT_FALSE(s.records[1].data) << "count 00 with address high 12 is not the end";

    // A segment base inside the chip moves the next records; the latest base
    // record replaces it; start address records program nothing.
    const ScannedImage m = ScanImage({":0200000200F0xx", ":0100100042xx", ":020000040000xx",
                                      ":0400000500001234xx", ":0100200043xx", ":00000001FF"});
    ASSERT_FALSE(m.problem.has_value()) << m.problem->what;
    ASSERT_EQ(m.records.size(), 5u);
    EXPECT_EQ((m.records[1].addrHigh << 8) | m.records[1].addrLow, 0x0F10);
    EXPECT_FALSE(m.records[3].data);
    EXPECT_EQ((m.records[4].addrHigh << 8) | m.records[4].addrLow, 0x0020);
    EXPECT_EQ(m.dataBytes, 2u);
}

// Per byte of the verify: idle, settle, address, read mode, strobe, 1 ms.
void VerifyByte(Expect& e, std::uint8_t low, std::uint8_t mode, std::uint8_t chip,
                bool sleep = true) {
    e.latchIdle(1).d(20).latchLow(low, 1).latchHigh(mode, 1).readStrobe(4, 20, chip);
    if (sleep) e.s(1);
}

using Verify = RecordedChip;

TEST_F(Verify, MatchingBytesReadInReadModeAndSucceed) {
    lines.reads = {0x02, 0x00};
    Seen seen;
    const VerifyResult r = VerifyImage(ctx, ScanImage({":0201FF000200xx", ":00000001FF"}), &seen);
    Expect e;
    VerifyByte(e, 0xFF, 0xB1, 0x02);
    VerifyByte(e, 0x00, 0xB2, 0x00);
    // P2.7 rises 10 us before the release drives the lines: 14 us more.
    e.releaseBus(14);
    EXPECT_EQ(transcript(), e.text());
    EXPECT_TRUE(r.reachedEnd);
    EXPECT_TRUE(prompts.log.empty());
    EXPECT_EQ(VerifyFinalMessage(r, state), std::optional<std::string>(kFileCheckSuccessful));
    EXPECT_EQ(busyUnits(), 2u * 54 + 2);
}

TEST_F(Verify, MismatchAsksTheExactErrorQuestionAndNoStopsAtThatByte) {
    lines.reads = {0xFF};
    prompts.answers = {Answer::No};
    Seen seen;
    const VerifyResult r = VerifyImage(ctx, ScanImage({":03000000020304xx", ":00000001FF"}), &seen);
    Expect e;
    VerifyByte(e, 0x00, 0xB0, 0xFF, false);
    e.releaseBus(14);
    EXPECT_EQ(transcript(), e.text());
    ASSERT_EQ(prompts.log.size(), 1u);
    EXPECT_EQ(prompts.log[0].kind, QuestionKind::Error);
    EXPECT_EQ(prompts.log[0].text,
              "Not correct on adress (Hex): 0000\rOn chip =FF  In file= 02\r Continue ? ");
    EXPECT_EQ(seen.mismatches, std::vector<std::string>{"0:255:2"});
    EXPECT_EQ(state.VerifyFailed, 1);
    EXPECT_FALSE(r.reachedEnd);
    EXPECT_EQ(r.remaining, 2u);
    EXPECT_EQ(VerifyFinalMessage(r, state), std::nullopt) << "No mid-record: no final message";
    EXPECT_TRUE(seen.finished.empty());
}

TEST_F(Verify, FinalMessageFollowsRemainingCountFailedFlagAndCwv) {
    // No at the last byte of a record: remaining is 0, so the failure is reported.
    lines.reads = {0x01, 0x00};
    prompts.answers = {Answer::No};
    VerifyResult r = VerifyImage(ctx, ScanImage({":0200000001FFxx", ":00000001FF"}), nullptr);
    EXPECT_EQ(r.remaining, 0u);
    EXPECT_EQ(VerifyFinalMessage(r, state), std::optional<std::string>(kVerifyNotCorrect));

    // Yes to every mismatch checks the whole image.
    restart();
    state.VerifyFailed = 0;
    lines.reads = {0x00, 0x00, 0x00};
    r = VerifyImage(ctx, ScanImage({":0100000001xx", ":0200100002FFxx", ":00000001FF"}), nullptr);
    EXPECT_EQ(r.mismatches, 3u);
    EXPECT_TRUE(r.reachedEnd);
    EXPECT_EQ(prompts.log.size(), 3u);
    EXPECT_EQ(prompts.log[1].text,
              "Not correct on adress (Hex): 0010\rOn chip =00  In file= 02\r Continue ? ");
    EXPECT_EQ(VerifyFinalMessage(r, state), std::optional<std::string>(kVerifyNotCorrect));
    state.CwvActive = 1;
    EXPECT_EQ(VerifyFinalMessage(r, state), std::nullopt);
}

TEST_F(Verify, AnImageWithoutDataOrABadTextComparesNothing) {
    VerifyResult r = VerifyImage(ctx, ScanImage({":00000001FF"}), nullptr);
    EXPECT_TRUE(recorder.log().empty());
    EXPECT_EQ(VerifyFinalMessage(r, state),
              std::optional<std::string>("Verify refused: the image holds no data: nothing to "
                                         "program. Nothing was compared."));

    restart();
    r = VerifyImage(ctx, ScanImage({":01200000AAxx", ":00000001FF"}), nullptr);
    EXPECT_TRUE(recorder.log().empty());
    EXPECT_EQ(r.refusal.value_or(""),
              "Verify refused: line 1: the record at address 2000 lies beyond 0FFF, the chip's "
              "last address. Nothing was compared.");
    EXPECT_EQ(VerifyFinalMessage(r, state), r.refusal);
}

}  // namespace
}  // namespace lpt51::chiptest
