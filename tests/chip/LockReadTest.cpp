// SPDX-License-Identifier: GPL-3.0-or-later
#include "ChipFixture.h"
#include "chip/Devices.h"
#include "chip/Lock.h"
#include "chip/ReadOut.h"

namespace lpt51::chiptest {
namespace {

using namespace lpt51::chip;

using Lock = RecordedChip;

void DrivenLockBit(Expect& e, std::uint8_t mode) {
    e.latchIdle(1).pd(mode).d(1).sc(5).d(1).sc(7).s(1).sc(0x0F).d(1).sc(7);
}

TEST_F(Lock, BitsOneAndTwoPulseDrivenBitThreeWithLinesAsInputs) {
    state.BidiMode = 0;
    for (const char* dev : {kDevice12V, kDevice5V}) {
        restart();
        lines.control = 0x07;
        const bool v12 = dev == kDevice12V;
        EXPECT_TRUE(LockChip(ctx, dev, {true, true, true}).locked());
        Expect e;
        DrivenLockBit(e, v12 ? 0x70 : 0xF0);
        DrivenLockBit(e, v12 ? 0x40 : 0xC0);
        e.latchIdle(1).latchHigh(v12 ? 0x60 : 0xE0, 1).sc(0x27).d(4).sc(0x23).s(1);
        // P2.7 rises after bit 3's pulse with the lines as inputs: the bus
        // cannot know the mode drives nothing, and gives them 24 us.
        e.sc(0x0B).d(1).sc(7);
        e.releaseBus(4);
        EXPECT_EQ(transcript(), e.text()) << dev;
        EXPECT_EQ(prompts.texts(), std::vector<std::string>{"Lock Bit 1 2 3 burn successful."});
    }
}

TEST_F(Lock, MessageNamesTheChosenBits) {
    EXPECT_EQ(LockMessage({true, false, false}), "Lock Bit 1   burn successful.");
    EXPECT_EQ(LockMessage({false, true, false}), "Lock Bit  2  burn successful.");
    EXPECT_EQ(LockMessage({false, false, true}), "Lock Bit   3 burn successful.");
    EXPECT_EQ(LockMessage({true, false, true}), "Lock Bit 1  3 burn successful.");
}

TEST_F(Lock, NoBitChosenSendsOnlyReleaseBusAndOneMessage) {
    state.BidiMode = 0;
    EXPECT_FALSE(LockChip(ctx, kDevice12V, {}).locked());
    EXPECT_EQ(transcript(), Expect().releaseBus().text());
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{kNoLockBitSelect});
}

TEST_F(Lock, RefusedDeviceCheckSendsNothing) {
    EXPECT_FALSE(LockChip(ctx, kNoSelect, {true, true, true}).locked());
    EXPECT_TRUE(recorder.log().empty());
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{kSelectProcessor});
}

using ReadOut = RecordedChip;

TEST_F(ReadOut, EachByteUsesFourTimesDelaysAndTheLongStrobe) {
    lines.reads.assign(4096, 0xFF);
    const image::Lines text = ReadChip(ctx, nullptr);
    Expect first;
    first.latchIdle(4).latchLow(0x00, 4).latchHigh(0xB0, 4).readStrobe(10, 40, 0xFF);
    first.latchIdle(4).latchLow(0x01, 4);
    EXPECT_EQ(transcript().substr(0, first.text().size()), first.text());
    EXPECT_EQ(busyUnits(), 4096u * 90 + 2);
    EXPECT_EQ(sleepMs(), 0u);
    EXPECT_EQ(state.AddrLow, 0xFF);
    EXPECT_EQ(state.AddrHigh, 0x0F);
    const std::string tail = Expect(0x23).releaseBus(14).text();
    EXPECT_EQ(transcript().substr(transcript().size() - tail.size()), tail);
    ASSERT_EQ(text.size(), 257u);
    EXPECT_EQ(text[0], ":10000000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF00");
    EXPECT_EQ(text[1], ":10001000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF0");
    EXPECT_EQ(text[255], ":100FF000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF01");
    EXPECT_EQ(text[256], ":00000001FF");
}

TEST_F(ReadOut, LinesCarryAddressesAndChecksumsAndReachTheObserverAsTheyComplete) {
    for (unsigned a = 0; a < 4096; ++a) lines.reads.push_back(a < 0x100 ? 0x00 : a & 0x0F);
    struct Lines : ProgressObserver {
        std::vector<std::string> seen;
        void lineAppended(const std::string& l) override { seen.push_back(l); }
    } observer;
    const image::Lines text = ReadChip(ctx, &observer);
    EXPECT_EQ(text[0], ":1000000000000000000000000000000000000000F0");
    EXPECT_EQ(text[16], ":10010000000102030405060708090A0B0C0D0E0F77");
    EXPECT_EQ(observer.seen, text);
}

TEST_F(ReadOut, BytesFormMatchesTheText) {
    for (unsigned a = 0; a < 4096; ++a) lines.reads.push_back(static_cast<std::uint8_t>(a * 7));
    const auto bytes = ReadChipBytes(ctx, nullptr);
    EXPECT_EQ(bytes[0], 0);
    EXPECT_EQ(bytes[4095], static_cast<std::uint8_t>(4095 * 7));
    EXPECT_EQ(state.AddrHigh, 0x0F);
}

}  // namespace
}  // namespace lpt51::chiptest
