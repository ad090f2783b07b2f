#include "cli/ChipSteps.h"

#include <vector>

#include "chip/HexText.h"
#include "chip/Signature.h"
#include "chip/Verify.h"
#include "chip/Write.h"
#include "cli/Differences.h"

namespace lpt51::cli {

bool WriteStep(CommandRun& r, chip::ChipContext& ctx, std::optional<std::string>* message) {
    if (!chip::RunDeviceCheck(ctx, r.options.device)) return false;
    ProgressBar bar(r.err, r.style(), ctx.bus.clock(), "Writing");
    const chip::WriteResult w = chip::WriteImage(ctx, r.options.device, r.image, &bar);
    if (w.completed)
        bar.finish();
    else
        bar.abandon();
    std::optional<std::string> m = chip::WriteFinalMessage(w, ctx.state);
    if (message != nullptr && w.completed)
        *message = m;
    else if (m)
        ctx.prompts.showMessage(*m);
    return w.completed;
}

bool ReadBackStep(CommandRun& r, chip::ChipContext& ctx) {
    ProgressBar bar(r.err, r.options.quiet ? ProgressStyle::Quiet : r.style(), ctx.bus.clock(),
                    "Verifying");
    r.prompts.setVerifying(true);
    const chip::VerifyResult v = chip::VerifyImage(ctx, r.image, &bar);
    r.prompts.setVerifying(false);
    ctx.state.VerifyFailed = 0;
    bar.finish();
    if (v.mismatches == 0) return true;
    constexpr std::size_t kNamed = 4;
    const std::vector<Difference>& d = bar.differences();
    std::string where;
    for (std::size_t i = 0; i < d.size() && i < kNamed; ++i) {
        where += (i == 0 ? "" : ", ") + chip::Hex2(d[i].address >> 8) +
                 chip::Hex2(d[i].address & 0xFF) + " (chip " + chip::Hex2(d[i].onChip) + ", file " +
                 chip::Hex2(d[i].inFile) + ")";
    }
    if (v.mismatches > kNamed) where += " and " + std::to_string(v.mismatches - kNamed) + " more";
    r.err << "lpt51: written, but reading back " << v.mismatches
          << (v.mismatches == 1 ? " byte differs" : " bytes differ") << " from the file, at "
          << where << ": the chip may be locked or not erased.\n";
    return false;
}

bool VerifyStep(CommandRun& r, chip::ChipContext& ctx) {
    ProgressBar bar(r.err, r.style(), ctx.bus.clock(), "Verifying");
    r.prompts.setVerifying(true);
    const chip::VerifyResult v = chip::VerifyImage(ctx, r.image, &bar);
    r.prompts.setVerifying(false);
    if (v.refusal)
        bar.abandon();
    else
        bar.finish();
    if (v.mismatches > 0) ReportDifferences(r.out, bar.differences(), v.mismatches);
    if (auto m = chip::VerifyFinalMessage(v, ctx.state)) ctx.prompts.showMessage(*m);
    const bool ok = !v.refusal && v.mismatches == 0 && ctx.state.VerifyFailed == 0;
    ctx.state.VerifyFailed = 0;
    return ok;
}

chip::CodeBytes ReadWholeChip(CommandRun& r, chip::ChipContext& ctx) {
    ProgressBar bar(r.err, r.style(), ctx.bus.clock(), "Reading");
    const auto bytes = chip::ReadChipBytes(ctx, &bar);
    bar.finish();
    return bytes;
}

}  // namespace lpt51::cli
