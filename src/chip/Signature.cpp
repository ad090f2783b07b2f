// SPDX-License-Identifier: GPL-3.0-or-later
#include "chip/Signature.h"

#include <cstdint>

#include "chip/At89c51.h"
#include "chip/Devices.h"

namespace lpt51::chip {

void ReadSignature(ChipContext& ctx) {
    ProgrammerState& st = ctx.state;
    st.AddrLow = kAt89c51.signatureAddress;
    st.AddrHigh = 0;
    if (st.SkipSignature != 1) {
        for (int i = 0; i < 3; ++i) {
            const std::uint8_t b = ReadByteAt(ctx, Operation::ReadSignature, st.waits().signature);
            if (i == 0 && b != kAt89c51.manufacturer &&
                ctx.prompts.ask(QuestionKind::Information, kNotAtmel) == Answer::No) {
                st.ChipType = kChipNone;
                break;
            }
            if (i == 1 && b != kAt89c51.device &&
                ctx.prompts.ask(QuestionKind::Warning, kNot89C51) == Answer::No) {
                st.ChipType = kChipNone;
                break;
            }
            if (i == 2) {
                st.ChipType = b == kAt89c51.signature(Variant::Volts5)    ? kDevice5V
                              : b == kAt89c51.signature(Variant::Volts12) ? kDevice12V
                                                                          : kChipNone;
            }
            ++st.AddrLow;
        }
        // P2.7 rises with the lines still inputs, so that the bus can leave
        // them to the chip until it lets go before they drive again.
        ctx.bus.SetControl(control::kRest);
    }
    ctx.bus.SetControlOut(control::kRest);
}

bool RunDeviceCheck(ChipContext& ctx, const std::string& cpuCaption) {
    if (cpuCaption == kNoSelect) {
        ctx.prompts.showMessage(kSelectProcessor);
        return false;
    }
    if (ctx.state.BidiMode == 1) ReadSignature(ctx);
    if (cpuCaption == kChipNone) {
        ctx.prompts.showMessage(kNoProcessor);
        return false;
    }
    if (ctx.state.BidiMode == 1 && cpuCaption != ctx.state.ChipType) {
        const std::string q = std::string(kHaveYouReallyPrefix) + cpuCaption + kHaveYouReallySuffix;
        if (ctx.prompts.ask(QuestionKind::Warning, q) == Answer::No) return false;
    }
    return true;
}

std::string SignatureCommand(ChipContext& ctx) {
    ReadSignature(ctx);
    return ctx.state.ChipType;
}

}  // namespace lpt51::chip
