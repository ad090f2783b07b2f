// SPDX-License-Identifier: GPL-3.0-or-later
#include <stdexcept>

#include "ChipFixture.h"
#include "chip/Cwv.h"
#include "chip/Devices.h"

namespace lpt51::chiptest {
namespace {

using namespace lpt51::chip;

using Cwv = RecordedChip;

const image::Lines kText = {":0100000002xx", ":00000001FF"};
const ScannedImage kImage = ScanImage(kText);

TEST_F(Cwv, StepsRunWithTheFlagsSetInOrderAndClearedAfterTheMessage) {
    std::vector<std::string> seen;
    auto note = [&](const char* step) {
        return [&, step] {
            seen.push_back(std::string(step) + " cwv=" + std::to_string(state.CwvActive) +
                           " skip=" + std::to_string(state.SkipSignature));
            return CwvStep::Continue;
        };
    };
    EXPECT_TRUE(RunClearWriteVerify(ctx, kDevice12V, kImage,
                                    {note("erase"), note("write"), note("verify")}));
    EXPECT_EQ(seen, (std::vector<std::string>{"erase cwv=1 skip=0", "write cwv=1 skip=1",
                                              "verify cwv=1 skip=1"}));
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{kTaskComplete});
    EXPECT_EQ(state.CwvActive, 0);
    EXPECT_EQ(state.SkipSignature, 0);
}

TEST_F(Cwv, OutputOnlyModeHasNoVerifyStep) {
    state.BidiMode = 0;
    int verifies = 0;
    const auto go = [] { return CwvStep::Continue; };
    RunClearWriteVerify(ctx, kDevice5V, kImage, {go, go, [&] {
                                                     ++verifies;
                                                     return CwvStep::Continue;
                                                 }});
    EXPECT_EQ(verifies, 0);
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{kTaskComplete});
}

TEST_F(Cwv, RefusalsComeBeforeTheEraseAndLeaveTheFlagsAlone) {
    const struct {
        std::string caption;
        image::Lines text;
        std::string message;
    } cases[] = {
        {kChipNone, kText, kNoProcessor},
        {kNoSelect, kText, kSelectProcessor},
        {kDevice12V,
         {"; listing", ":00000001FF"},
         "Clear-Write-Verify refused: line 1, column 2: field \" l\" is not a hexadecimal byte. "
         "The chip was not erased."},
    };
    for (const auto& c : cases) {
        restart();
        int steps = 0;
        auto count = [&] {
            ++steps;
            return CwvStep::Continue;
        };
        EXPECT_FALSE(RunClearWriteVerify(ctx, c.caption, ScanImage(c.text), {count, count, count}));
        EXPECT_EQ(steps, 0);
        EXPECT_EQ(prompts.texts(), std::vector<std::string>{c.message});
        EXPECT_EQ(state.CwvActive, 0);
        EXPECT_EQ(state.SkipSignature, 0);
    }
}

TEST_F(Cwv, AStepThatStopsOrThrowsEndsTheSequenceWithTheFlagsCleared) {
    int later = 0;
    const auto go = [] { return CwvStep::Continue; };
    const auto counted = [&] {
        ++later;
        return CwvStep::Continue;
    };
    // A refused erase: no write, no verify, no "Task complete !".
    EXPECT_FALSE(RunClearWriteVerify(ctx, kDevice12V, kImage,
                                     {[] { return CwvStep::Stop; }, counted, counted}));
    EXPECT_FALSE(
        RunClearWriteVerify(ctx, kDevice12V, kImage, {go, [] { return CwvStep::Stop; }, counted}));
    EXPECT_EQ(later, 0);
    EXPECT_TRUE(prompts.texts().empty());
    EXPECT_EQ(state.CwvActive, 0);
    EXPECT_EQ(state.SkipSignature, 0);

    EXPECT_THROW(
        RunClearWriteVerify(ctx, kDevice12V, kImage,
                            {go, []() -> CwvStep { throw std::runtime_error("file gone"); }, go}),
        std::runtime_error);
    EXPECT_EQ(state.CwvActive, 0);
    EXPECT_EQ(state.SkipSignature, 0);
}

}  // namespace
}  // namespace lpt51::chiptest
