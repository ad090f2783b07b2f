// SPDX-License-Identifier: GPL-3.0-or-later
// The adapter check's automatic stage on whatever port the machine offers at
// 0x378, through the project's own libieee1284 backend: run under the
// emulated port, it shows what the stage makes of the kernel's register
// rules and of a miswired adapter (LPT51_EMU_WIRING). Prints each finding on
// a line; exits 0 when there is none, 1 when there are, 3 without a port.
#include <cstdio>
#include <string>

#include "backend/Backend.h"
#include "chip/AdapterCheck.h"
#include "port/Bus.h"
#include "port/Calibration.h"

namespace {

class SilentPrompts final : public lpt51::Prompts {
  public:
    void showMessage(const std::string& text) override { std::printf("%s\n", text.c_str()); }
    lpt51::Answer ask(lpt51::QuestionKind, const std::string&) override {
        return lpt51::Answer::No;
    }
};

}  // namespace

int main() {
    const auto backend = lpt51::Backend::open(lpt51::BackendOptions{});
    if (!backend->usable()) {
        std::fprintf(stderr, "%s\n", backend->problem().c_str());
        return 3;
    }
    lpt51::Bus bus(*backend->port(), backend->clock(),
                   lpt51::DelayUnitFromMHz(lpt51::MeasureCpuMHz()));
    SilentPrompts prompts;
    lpt51::chip::ProgrammerState state;
    lpt51::chip::ChipContext ctx{bus, prompts, state};
    const lpt51::chip::StageResult result = lpt51::chip::CheckPort(ctx);
    for (const lpt51::chip::Finding& f : result.findings) std::printf("%s\n", f.text.c_str());
    if (result.skipped) std::printf("%s\n", result.skipped->c_str());
    return result.findings.empty() ? 0 : 1;
}
