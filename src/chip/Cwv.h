// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "chip/ImageScan.h"
#include "chip/ProgrammerState.h"

namespace lpt51::chip {

// Sets CwvActive for its lifetime; skipSignature() sets SkipSignature. Both are
// cleared on destruction (SkipSignature first), also when a step throws.
class CwvGuard {
  public:
    explicit CwvGuard(ProgrammerState& state) : state_(state) { state_.CwvActive = 1; }
    ~CwvGuard() {
        state_.SkipSignature = 0;
        state_.CwvActive = 0;
    }
    CwvGuard(const CwvGuard&) = delete;
    CwvGuard& operator=(const CwvGuard&) = delete;

    void skipSignature() { state_.SkipSignature = 1; }

  private:
    ProgrammerState& state_;
};

// The caption checks of the sequence ("      none" first, then "   No Select"):
// the refusal message, or nothing when the sequence may start.
std::optional<std::string> CwvCaptionRefusal(const std::string& cpuCaption);

// What a step tells the sequence: go on, or end here (a refused erase must
// not be followed by a write, nor a stopped write by a verify).
enum class CwvStep { Continue, Stop };

// The steps the sequence calls, each with its front end's own work.
struct CwvSteps {
    std::function<CwvStep()> erase;
    std::function<CwvStep()> write;
    std::function<CwvStep()> verify;
};

// The whole sequence: caption refusals, image refusal (nothing erased), then
// CwvActive, erase, SkipSignature, write, verify when BidiMode is 1,
// "Task complete !", flags cleared. Returns true when every step ran to its
// end and said Continue; false when refused up front or a step stopped it
// (then without "Task complete !").
bool RunClearWriteVerify(ChipContext& ctx, const std::string& cpuCaption, const ScannedImage& image,
                         const CwvSteps& steps);

}  // namespace lpt51::chip
