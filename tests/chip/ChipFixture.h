// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>

#include <numeric>

#include "ChipTestSupport.h"
#include "chip/ProgrammerState.h"

namespace lpt51::chiptest {

// A chip operation on plain registers, every access and wait recorded.
struct RecordedChip : ::testing::Test {
    ChipLinesPort lines;
    RecordingPort recorder{lines};
    testing::NotingClock clock{recorder};
    Bus bus{recorder, clock, 100};
    ScriptedPrompts prompts;
    chip::ProgrammerState state;
    chip::ChipContext ctx{bus, prompts, state};

    std::string transcript() const { return clock.transcript(); }
    void restart() {
        recorder.clear();
        clock.waits.clear();
        prompts.log.clear();
    }
    std::size_t busyUnits() const {
        std::size_t n = 0;
        for (const auto& w : clock.waits)
            if (w.text[0] == 'D') n += std::stoul(w.text.substr(1));
        return n;
    }
    std::size_t sleepMs() const {
        std::size_t n = 0;
        for (const auto& w : clock.waits)
            if (w.text[0] == 'S') n += std::stoul(w.text.substr(1));
        return n;
    }
    std::size_t dataReads() const {
        std::size_t n = 0;
        for (const auto& a : recorder.log()) n += a.kind == PortAccess::Kind::ReadData;
        return n;
    }
};

}  // namespace lpt51::chiptest
