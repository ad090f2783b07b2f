// SPDX-License-Identifier: GPL-3.0-or-later
#include "chip/Cwv.h"

#include "chip/Devices.h"
#include "chip/ImageScan.h"

namespace lpt51::chip {

std::optional<std::string> CwvCaptionRefusal(const std::string& cpuCaption) {
    if (cpuCaption == kChipNone) return std::string(kNoProcessor);
    if (cpuCaption == kNoSelect) return std::string(kSelectProcessor);
    return std::nullopt;
}

bool RunClearWriteVerify(ChipContext& ctx, const std::string& cpuCaption, const ScannedImage& image,
                         const CwvSteps& steps) {
    if (auto refusal = CwvCaptionRefusal(cpuCaption)) {
        ctx.prompts.showMessage(*refusal);
        return false;
    }
    // Erasing a chip and then finding the text unusable would lose its
    // contents for nothing, so a bad text is refused before the erase.
    if (auto refusal = RefusalText(image, ImageUse::ClearWriteVerify)) {
        ctx.prompts.showMessage(*refusal);
        return false;
    }
    CwvGuard guard(ctx.state);
    const auto stops = [](const std::function<CwvStep()>& step) {
        return step && step() == CwvStep::Stop;
    };
    if (stops(steps.erase)) return false;
    guard.skipSignature();
    if (stops(steps.write)) return false;
    if (ctx.state.BidiMode == 1 && stops(steps.verify)) return false;
    ctx.prompts.showMessage(kTaskComplete);
    return true;
}

}  // namespace lpt51::chip
