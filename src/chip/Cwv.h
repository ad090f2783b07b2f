#pragma once

#include <functional>
#include <optional>
#include <string>

#include "chip/ProgrammerState.h"
#include "image/HexField.h"

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

// The image check before the erase: the refusal text when the text cannot be
// programmed (see ScanImage), or nothing.
std::optional<std::string> CwvImageRefusal(const image::Lines& lines);

// The handlers the sequence calls, each with its own window work.
struct CwvSteps {
    std::function<void()> erase;   // clearClick
    std::function<void()> write;   // writeClick
    std::function<void()> verify;  // verifyClick
};

// The whole sequence: caption refusals, image refusal (nothing erased), then
// CwvActive, erase, SkipSignature, write, verify when BidiMode is 1,
// "Task complete !", flags cleared. Returns false when refused up front.
bool RunClearWriteVerify(ChipContext& ctx, const std::string& cpuCaption, const image::Lines& lines,
                         const CwvSteps& steps);

}  // namespace lpt51::chip
