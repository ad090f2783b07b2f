// SPDX-License-Identifier: GPL-3.0-or-later
// The write and verify walks on arbitrary text, against the virtual adapter:
// whatever the text, no crash, and no byte lands outside the chip.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "chip/Devices.h"
#include "chip/ProgrammerState.h"
#include "chip/Prompts.h"
#include "chip/Verify.h"
#include "chip/Write.h"
#include "image/HexField.h"
#include "port/Bus.h"
#include "port/Clock.h"
#include "sim/VirtualAdapter.h"

namespace {

class YesToAll final : public lpt51::Prompts {
  public:
    void showMessage(const std::string&) override {}
    lpt51::Answer ask(lpt51::QuestionKind, const std::string&) override {
        return lpt51::Answer::Yes;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const lpt51::image::Lines lines = lpt51::image::SplitLines(text);

    lpt51::VirtualClock clock;
    lpt51::sim::VirtualAdapter adapter(
        clock, lpt51::sim::PortKind::Bidirectional,
        lpt51::sim::ChipState::erased(lpt51::sim::ChipKind::Part12V));
    lpt51::Bus bus(adapter, clock, 10);
    YesToAll prompts;
    lpt51::chip::ProgrammerState state;
    lpt51::chip::ChipContext ctx{bus, prompts, state};

    (void)lpt51::chip::WriteImage(ctx, lpt51::chip::kDevice12V, lpt51::chip::ScanImage(lines),
                                  nullptr);
    (void)lpt51::chip::VerifyImage(ctx, lpt51::chip::ScanImage(lines), nullptr);
    return 0;
}
